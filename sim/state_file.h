// The simulator's memories kept between runs, as a bank file (".ay").
#pragma once

#include <kvcore/refusal.h>

#include <optional>
#include <string>

#include "device.h"

namespace kvsim {

// Loads the device's memories, working program and current memory from a
// bank file. A file that cannot be read or that the bank codec refuses
// leaves the device unchanged and says why.
std::optional<kvcore::Refusal> LoadStateFile(const std::string& path, Device& device);
// Writes them; the file is replaced whole or not at all.
std::optional<kvcore::Refusal> SaveStateFile(const std::string& path, const Device& device);

}  // namespace kvsim
