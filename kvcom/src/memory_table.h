// Helpers over the exported memory table (prog_save, prog_len, data_name,
// data_memoryb), and the private table a memory dump is received into.
#pragma once

#include <kvcom/kvcom.h>

namespace kvcom {

// Entry m becomes empty: not used, name "<None>", image F0 F7 (length 2).
void ClearMemoryEntry(int m);
// Entries 1..60 empty as above; entry 0 holds nothing, named "UNSAVED".
void ResetMemoryTable();
// All 61 entries empty as ClearMemoryEntry (what a refresh starts from).
void ClearAllMemoryEntries();

// A whole memory table shaped as the exported one, with the unit's current
// memory as its system block reported it.
struct MemoryTable {
    unsigned char image[KV_MEMORIES][KV_IMAGE_MAX];
    int length[KV_MEMORIES];
    char name[KV_MEMORIES][9];
    int used[KV_MEMORIES];
    int current;  // 0..60, or -1 when no system block named one
};

// All entries empty as ClearMemoryEntry; no current memory.
void ClearTable(MemoryTable& t);
// The exported table becomes `t`, every entry at once.
void CommitTable(const MemoryTable& t);

// The dump being received: the reader files into it while REV_DUMP and
// clears it as a dump begins; the listing operation reads it only after it
// has seen the dump complete, and commits it then.
extern MemoryTable dump_table;

}  // namespace kvcom
