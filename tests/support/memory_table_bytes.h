// The whole exported memory table as one byte string, to tell whether an
// operation touched any of it.
#pragma once

#include "hex.h"

namespace kvtest {

// prog_save, prog_len, data_name and data_memoryb, in that order.
Bytes MemoryTableBytes();
// Puts back a table taken with MemoryTableBytes.
void RestoreMemoryTable(const Bytes& bytes);

}  // namespace kvtest
