#include "widgets/link_text.h"

#include <cctype>

#include <kvcom/kvcom.h>

namespace linktext {

namespace {

std::string Com(int port) { return "COM" + std::to_string(port); }

}  // namespace

std::string ReasonClause(const std::string& sentence) {
    std::string clause = sentence;
    while (!clause.empty() && (clause.back() == '.' || clause.back() == ' ')) clause.pop_back();
    if (!clause.empty()) clause[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(clause[0])));
    return clause;
}

std::string PaneText(int port, const std::string& path, bool connected, const std::string& reason) {
    std::string text = Com(port) + " " + path;
    if (connected) return text + " connected";
    text += " not connected";
    const std::string clause = ReasonClause(reason);
    if (!clause.empty()) text += ": " + clause;
    return text;
}

std::string UnitBackText(int port, const std::string& path) {
    return "Unit connected on " + Com(port) + " (" + path + ")";
}

std::string NotConnectedText(int port, const std::string& path, const std::string& reason) {
    std::string text = "The unit is not connected on " + Com(port) + " (" + path + ")";
    const std::string clause = ReasonClause(reason);
    text += clause.empty() ? "." : ": " + clause + ".";
    return text +
           " Nothing was sent and nothing was changed.\n"
           "Check the cable and that the unit is switched on, or choose the port in Config > RS232.";
}

std::string EditsStayText() { return "Unit not connected: edits stay on the PC"; }

std::string StoreAllStoppedText(int stored, int total, int lost_at) {
    std::string text = "stored " + std::to_string(stored) + " of " + std::to_string(total) + " memories; ";
    if (lost_at < 0) return text + "the link was lost before the first memory";
    if (lost_at == 0) return text + "the link was lost at the working program";
    return text + "the link was lost at memory " + std::to_string(lost_at);
}

std::string MemoriesText(const std::vector<int>& memories) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < memories.size();) {
        // A run of numbers each one apart from the last, either way.
        std::size_t end = i + 1;
        const int step = end < memories.size() ? memories[end] - memories[i] : 0;
        if (step == 1 || step == -1)
            while (end < memories.size() && memories[end] - memories[end - 1] == step) ++end;
        if (end - i >= 3) {
            parts.push_back(std::to_string(memories[i]) + " to " + std::to_string(memories[end - 1]));
        } else {
            end = i + 1;
            parts.push_back(std::to_string(memories[i]));
        }
        i = end;
    }
    std::string text = memories.size() == 1 ? "memory " : "memories ";
    for (std::size_t k = 0; k < parts.size(); ++k) {
        if (k > 0) text += k + 1 == parts.size() ? " and " : ", ";
        text += parts[k];
    }
    return text;
}

std::string StoreAllCancelledText(const std::vector<int>& stored, int total) {
    if (stored.empty())
        return "Store All cancelled before anything was stored: the unit's memories and its working program are as "
               "they were.";
    const int n = static_cast<int>(stored.size());
    std::string text = "Store All cancelled after ";
    if (n == total)
        text += total == 1 ? "the only memory" : "all " + std::to_string(n) + " memories";
    else
        text += std::to_string(n) + " of " + std::to_string(total) + " memories";
    text += ": the unit now holds the PC's " + MemoriesText(stored) + "; ";
    // The memories 1 to 60 not sent, and the working program, were never touched.
    if (n == KV_MEMORIES - 1) return text + "its working program is as it was.";
    return text + "its other memories and its working program are as they were.";
}

}  // namespace linktext
