#include "widgets/link_text.h"

#include <cctype>

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

}  // namespace linktext
