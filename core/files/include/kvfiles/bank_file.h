// The bank file (".ay"): the device's whole memory table in one file, a
// 110-byte header (4 bytes and the device's system block) followed by the
// images of memories 60 down to 1 and of the working program. The one bank
// codec of the program (the windows, kvctl, the simulator and the history
// read and write banks through it): pure functions over bytes, and the moves
// between a bank and the library's memory table. Reading and writing the
// file is the caller's.
#pragma once

#include <kvcore/refusal.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class CDSDATA;

namespace kvfiles {

inline constexpr int kBankEntries = 61;              // 0 = working program, 1..60 memories
inline constexpr std::size_t kBankFileMax = 500000;  // larger files are read up to this
inline constexpr std::size_t kBankImageMax = 5000;   // one row of the memory table
inline constexpr std::size_t kBankHeaderBytes = 110;

// One entry of the memory table.
struct BankEntry {
    std::vector<std::uint8_t> image;  // the complete image, F0 F7 when empty
    std::string name;                 // 8 characters as the PC shows them
    bool used = false;
    std::size_t offset = 0;  // where a decoded image stood in its file
};

struct BankTable {
    std::array<BankEntry, kBankEntries> entries;
    int current = 1;  // the device's current memory number
};

// The table after a reset: entry 0 "UNSAVED" without image, entries 1..60
// "<None>" with the empty image F0 F7 (what a loaded file starts from).
BankTable EmptyBankTable();

// The device's system block (command 0x2B, 106 bytes) carrying `mem_num` as its
// current memory number, checksum included.
std::vector<std::uint8_t> SystemBlock(int mem_num);

// The file: header with table.current, entries 60..1, then entry 0. Each
// entry goes out as its image bytes; an entry without image as F0 F7.
std::vector<std::uint8_t> EncodeBank(const BankTable& table);

// The memory table a file holds: every program image found by its F0 .. 2C
// signature, filed under the memory number in its byte 7, named from its
// header. Images numbered above 60 or longer than 5000 bytes are skipped,
// and so is one cut short by the next message (a byte of 0x80 or more
// before its F7); an image without a closing F7 ends the scan. At most kBankFileMax bytes
// are looked at. `current` comes from the header when it holds 1..60.
BankTable DecodeBank(const std::uint8_t* data, std::size_t n);

// What a bank file gave: the table the scan above finds, or why the file is
// refused, and a note when it departs from the layout the program writes.
// The verdict is the same for every front end:
// - refused, nothing of it taken: no bank header ("not a Kalvore bank
//   file"), or an image the scan takes that is damaged (its checksum,
//   length or bytes), since the images of a bank go to the unit as they are
//   (Store All, kvctl restore);
// - taken with a note: anything else the scan reads past (an entry cut short
//   or missing, an image skipped or in the place of another memory, stray
//   bytes after the end), so the user knows the table may hold less than
//   the file seemed to.
struct BankRead {
    BankTable table;
    std::optional<kvcore::Refusal> refused;
    std::vector<std::string> notes;
};
BankRead ReadBank(std::span<const std::uint8_t> file);

// One sentence for the notes of a bank that was taken.
std::string BankNotesText(const std::vector<std::string>& notes);

// Number of used memories 1..60.
int UsedMemories(const BankTable& table);

// The library's memory table (prog_save, prog_len, data_name, data_memoryb)
// as a bank, with `current` as the unit's current memory.
BankTable BankFromMemoryTable(int current);

// What becomes of entry 0 of the memory table when the bank holds no
// working program: emptied, as a file load does, or kept as the table has it
// (a restore sends the unit's own working program back).
enum class MissingWorkingProgram { kEmpty, kKeep };

// Replaces the memory table with the bank, entry by entry.
void BankToMemoryTable(const BankTable& table, MissingWorkingProgram missing = MissingWorkingProgram::kEmpty);

// Puts the model's own image into entry 0 of the memory table when that
// entry holds no program (fewer than 5 bytes), as memory number 0, so that a
// bank always carries a working program.
void FillWorkingProgramEntry(const CDSDATA& model);

}  // namespace kvfiles
