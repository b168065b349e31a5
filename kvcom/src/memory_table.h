// Helpers over the exported memory table (prog_save, prog_len, data_name,
// data_memoryb).
#pragma once

namespace kvcom {

// Entry m becomes empty: not used, name "<None>", image F0 F7 (length 2).
void ClearMemoryEntry(int m);
// Entries 1..60 empty as above; entry 0 holds nothing, named "UNSAVED".
void ResetMemoryTable();
// All 61 entries empty as ClearMemoryEntry (what a refresh starts from).
void ClearAllMemoryEntries();

}  // namespace kvcom
