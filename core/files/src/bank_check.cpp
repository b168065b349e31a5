// The verdict on a bank file: the walk over its entries in the order the
// program writes them, which tells a damaged or cut file from one that is
// only out of order.
#include <algorithm>
#include <optional>
#include <string>

#include "kvfiles/bank_file.h"
#include "kvfiles/program_file.h"
#include "kvproto/image_layout.h"
#include "kvproto/messages.h"
#include "kvproto/system_block.h"

namespace kvfiles {

namespace {

namespace img = kvcom::image;
namespace msg = kvcom::message;

constexpr std::uint8_t kFileMagic[4] = {0x50, 0x01, 0x00, 0x00};

std::string At(std::size_t offset) { return "at byte " + std::to_string(offset); }

std::string Which(int memory) { return memory == 0 ? "the working program" : "memory " + std::to_string(memory); }

bool HeaderPresent(std::span<const std::uint8_t> file) {
    return file.size() >= kBankHeaderBytes && std::equal(kFileMagic, kFileMagic + 4, file.begin()) &&
           msg::HasIntro(file.subspan(4)) && file[4 + img::kCommandOffset] == kvcom::kSystemBlockCommand &&
           file[kBankHeaderBytes - 1] == msg::kEnd;
}

// The first place where the file departs from the layout the program
// writes (61 entries, memories 60 down to 1, then the working program), or
// nothing.
std::optional<std::string> LayoutNote(std::span<const std::uint8_t> file) {
    std::size_t pos = kBankHeaderBytes;
    for (int entry = 0; entry < kBankEntries; ++entry) {
        const int memory = entry == kBankEntries - 1 ? 0 : kBankEntries - 1 - entry;
        const std::string which = Which(memory);
        if (pos >= file.size()) return "the file ends before " + which;
        if (file[pos] != msg::kStart) return "there is no entry for " + which + " " + At(pos);
        const auto end = std::find(file.begin() + static_cast<std::ptrdiff_t>(pos), file.end(), msg::kEnd);
        if (end == file.end()) return which + " " + At(pos) + " has no end";
        const auto entry_bytes = file.subspan(pos, static_cast<std::size_t>(end - file.begin()) - pos + 1);
        if (std::any_of(entry_bytes.begin() + 1, entry_bytes.end() - 1, [](std::uint8_t b) { return b >= 0x80; }))
            return which + " " + At(pos) + " is cut short by another message and is left out";
        // An empty entry is fine anywhere: without a working program, the
        // table takes the model's own when it goes to the unit.
        if (entry_bytes.size() > img::kMemNumOffset && entry_bytes[img::kMemNumOffset] != memory) {
            return "the image in the place of " + which + " belongs to " + Which(entry_bytes[img::kMemNumOffset]) +
                   " and is taken as such";
        }
        pos += entry_bytes.size();
    }
    if (pos != file.size()) return std::to_string(file.size() - pos) + " stray bytes after the working program are left out";
    return std::nullopt;
}

}  // namespace

BankRead ReadBank(std::span<const std::uint8_t> file) {
    BankRead read;
    if (!HeaderPresent(file)) {
        read.refused = kvcore::Refusal{"", "not a Kalvore bank file"};
        return read;
    }
    read.table = DecodeBank(file.data(), file.size());
    for (int entry = kBankEntries - 1; entry >= 0; --entry) {
        const BankEntry& e = read.table.entries[static_cast<std::size_t>(entry)];
        if (!e.used) continue;
        if (auto broken = CheckImage(e.image)) {
            read.refused = kvcore::Refusal{Which(entry) + " " + At(e.offset), broken->reason};
            read.table = EmptyBankTable();
            return read;
        }
    }
    if (auto note = LayoutNote(file)) read.notes.push_back(*note);
    return read;
}

std::string BankNotesText(const std::vector<std::string>& notes) {
    if (notes.empty()) return {};
    std::string joined;
    for (const std::string& n : notes) joined += (joined.empty() ? "" : "; ") + n;
    return "The bank file was read, but it is not laid out as the program writes it: " + joined + ".";
}

int UsedMemories(const BankTable& table) {
    return static_cast<int>(
        std::count_if(table.entries.begin() + 1, table.entries.end(), [](const BankEntry& e) { return e.used; }));
}

}  // namespace kvfiles
