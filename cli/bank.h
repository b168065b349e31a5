// Bank files (".ay") for kvctl: the strict check a file must pass before it
// may go to the unit, and the moves between a bank and the library's
// memory table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bank_file.h"

namespace kvctl {

// Why `file` is not a whole bank as the program writes it, or nullopt: the
// header (50 01 00 00 and the system block), then exactly 61 entries, each
// F0 F7 or a sound program image, memories 60 down to 1 in that order and
// the working program last, and nothing after.
std::optional<std::string> CheckBank(std::span<const std::uint8_t> file);

// Reads, checks and decodes a bank file. Throws Failure (file problem).
tables::BankTable ReadBankFile(const std::string& path);

// The library's memory table as a bank, with `current` as the unit's
// current memory.
tables::BankTable TableFromLibrary(int current);

// Puts a bank into the library's memory table: memories 1..60 as the bank
// holds them (empty ones as F0 F7, "<None>"), and the working program.
void TableToLibrary(const tables::BankTable& bank);

// Number of used memories 1..60.
int UsedMemories(const tables::BankTable& bank);

}  // namespace kvctl
