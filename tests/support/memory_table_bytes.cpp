#include "memory_table_bytes.h"

#include <kvcom/kvcom.h>

#include <cstring>

namespace kvtest {

Bytes MemoryTableBytes() {
    Bytes t;
    auto add = [&t](const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        t.insert(t.end(), b, b + n);
    };
    add(prog_save, sizeof prog_save);
    add(prog_len, sizeof prog_len);
    add(data_name, sizeof data_name);
    add(data_memoryb, sizeof data_memoryb);
    return t;
}

void RestoreMemoryTable(const Bytes& bytes) {
    const std::uint8_t* at = bytes.data();
    auto take = [&at](void* p, std::size_t n) {
        std::memcpy(p, at, n);
        at += n;
    };
    take(prog_save, sizeof prog_save);
    take(prog_len, sizeof prog_len);
    take(data_name, sizeof data_name);
    take(data_memoryb, sizeof data_memoryb);
}

}  // namespace kvtest
