// Banks and the library's memory table: the rows the memory operations send
// and fill, and the bank a file holds.
#include <kvcom/kvcom.h>

#include <algorithm>
#include <cstring>

#include "kvfiles/bank_file.h"

namespace kvfiles {

BankTable BankFromMemoryTable(int current) {
    BankTable table = EmptyBankTable();
    table.current = current;
    for (int m = 0; m < kBankEntries; ++m) {
        BankEntry& e = table.entries[static_cast<std::size_t>(m)];
        e.image.assign(prog_save[m], prog_save[m] + std::clamp(prog_len[m], 0, KV_IMAGE_MAX));
        e.name.assign(data_name[m], strnlen(data_name[m], 8));
        e.used = data_memoryb[m] != 0;
    }
    return table;
}

void BankToMemoryTable(const BankTable& table, MissingWorkingProgram missing) {
    for (int m = 0; m < kBankEntries; ++m) {
        const BankEntry& e = table.entries[static_cast<std::size_t>(m)];
        if (m == 0 && !e.used && missing == MissingWorkingProgram::kKeep) continue;
        const std::size_t len = std::min<std::size_t>(e.image.size(), KV_IMAGE_MAX);
        std::memset(prog_save[m], 0, sizeof prog_save[m]);
        if (len > 0) std::memcpy(prog_save[m], e.image.data(), len);
        prog_len[m] = static_cast<int>(len);
        std::memset(data_name[m], 0, sizeof data_name[m]);
        std::memcpy(data_name[m], e.name.data(), std::min<std::size_t>(e.name.size(), 8));
        data_memoryb[m] = e.used ? 1 : 0;
    }
}

void FillWorkingProgramEntry(const CDSDATA& model) {
    if (prog_len[0] >= 5) return;
    CDSDATA working(model);
    working.mem_num = 0;
    prog_len[0] = working.SaveData(prog_save[0]);
}

}  // namespace kvfiles
