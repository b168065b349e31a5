#include "bank.h"

#include <kvcom/kvcom.h>

#include <algorithm>
#include <cstring>

#include "failure.h"
#include "file_io.h"
#include "kvprog/program_file.h"

namespace kvctl {

namespace {

constexpr std::uint8_t kBankIntro[] = {0x50, 0x01, 0x00, 0x00, 0xF0, 0x00, 0x20, 0x18, 0x00, 0x2B};
constexpr int kMemNumByte = 7;

std::string At(std::size_t offset) { return "at byte " + std::to_string(offset); }

}  // namespace

std::optional<std::string> CheckBank(std::span<const std::uint8_t> file) {
    if (file.size() < tables::kBankHeaderBytes ||
        !std::equal(std::begin(kBankIntro), std::end(kBankIntro), file.begin()) ||
        file[tables::kBankHeaderBytes - 1] != 0xF7)
        return "not a Kalvore bank file";
    std::size_t pos = tables::kBankHeaderBytes;
    for (int entry = 0; entry < tables::kBankEntries; ++entry) {
        const int memory = entry == tables::kBankEntries - 1 ? 0 : tables::kBankEntries - 1 - entry;
        const std::string which = memory == 0 ? "the working program" : "memory " + std::to_string(memory);
        if (pos >= file.size()) return "the file ends before " + which;
        if (file[pos] != 0xF0) return "no entry for " + which + " " + At(pos);
        const auto end = std::find(file.begin() + static_cast<std::ptrdiff_t>(pos), file.end(), std::uint8_t{0xF7});
        if (end == file.end()) return which + " has no end";
        const auto entry_bytes = file.subspan(pos, static_cast<std::size_t>(end - file.begin()) - pos + 1);
        if (entry_bytes.size() == 2) {
            if (memory == 0) return "the working program is missing";
        } else {
            if (auto broken = kvprog::CheckImage(entry_bytes)) return which + " " + At(pos) + ": " + broken->reason;
            if (entry_bytes[kMemNumByte] != memory)
                return "the image in the place of " + which + " is numbered " +
                       std::to_string(entry_bytes[kMemNumByte]);
        }
        pos += entry_bytes.size();
    }
    if (pos != file.size()) return std::to_string(file.size() - pos) + " stray bytes after the working program";
    return std::nullopt;
}

tables::BankTable ReadBankFile(const std::string& path) {
    const auto bytes = ReadWholeFile(path, tables::kBankFileMax);
    if (auto refused = CheckBank(bytes)) throw Failure(kExitFile, path + " is refused: " + *refused);
    return tables::DecodeBank(bytes.data(), bytes.size());
}

tables::BankTable TableFromLibrary(int current) {
    tables::BankTable bank = tables::EmptyBankTable();
    bank.current = current;
    for (int m = 0; m < tables::kBankEntries; ++m) {
        auto& e = bank.entries[m];
        e.image.assign(prog_save[m], prog_save[m] + std::clamp(prog_len[m], 0, KV_IMAGE_MAX));
        e.name = data_name[m];
        e.used = data_memoryb[m] != 0;
    }
    return bank;
}

void TableToLibrary(const tables::BankTable& bank) {
    for (int m = 0; m < tables::kBankEntries; ++m) {
        const auto& e = bank.entries[m];
        if (m == 0 && !e.used) continue;  // the working program stays as the table has it
        const std::size_t n = std::min(e.image.size(), tables::kBankImageMax);
        std::memset(prog_save[m], 0, sizeof prog_save[m]);
        std::memcpy(prog_save[m], e.image.data(), n);
        prog_len[m] = static_cast<int>(n);
        std::memset(data_name[m], 0, sizeof data_name[m]);
        std::strncpy(data_name[m], e.used ? e.name.c_str() : "<None>", sizeof data_name[m] - 1);
        data_memoryb[m] = e.used ? 1 : 0;
    }
}

int UsedMemories(const tables::BankTable& bank) {
    return static_cast<int>(
        std::count_if(bank.entries.begin() + 1, bank.entries.end(), [](const auto& e) { return e.used; }));
}

}  // namespace kvctl
