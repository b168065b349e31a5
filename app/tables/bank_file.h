// The bank file (".ay"): the device's whole memory table in one file, a
// 110-byte header (4 bytes and the device's system block) followed by the
// images of memories 60 down to 1 and of the working program. Pure
// functions over bytes: reading and writing the file is the caller's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tables {

inline constexpr int kBankEntries = 61;              // 0 = working program, 1..60 memories
inline constexpr std::size_t kBankFileMax = 500000;  // larger files are read up to this
inline constexpr std::size_t kBankImageMax = 5000;   // one row of the memory table
inline constexpr std::size_t kBankHeaderBytes = 110;

// One entry of the memory table.
struct BankEntry {
    std::vector<std::uint8_t> image;  // the complete image, F0 F7 when empty
    std::string name;                 // 8 characters as the PC shows them
    bool used = false;
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

}  // namespace tables
