#include "state_file.h"

#include "kvfiles/atomic_file.h"
#include "kvfiles/bank_file.h"

namespace kvsim {

std::optional<kvcore::Refusal> LoadStateFile(const std::string& path, Device& device) {
    const auto bytes = kvfiles::ReadWholeFile(path, kvfiles::kBankFileMax);
    if (!bytes) return bytes.refusal();
    const kvfiles::BankRead read = kvfiles::ReadBank(*bytes);
    if (read.refused) return kvcore::Refusal{path, read.refused->Message()};
    device.ImportState(read.table);
    return std::nullopt;
}

std::optional<kvcore::Refusal> SaveStateFile(const std::string& path, const Device& device) {
    return kvfiles::WriteFileAtomically(path, kvfiles::EncodeBank(device.ExportState()));
}

}  // namespace kvsim
