// The simulator's memories kept between runs, as a bank file (".ay").
#pragma once

#include <string>

#include "device.h"

namespace kvsim {

// Loads the device's memories, working program and current memory from a
// bank file. False (device unchanged) when the file cannot be read.
bool LoadStateFile(const std::string& path, Device& device);
// Writes them; the file is replaced whole or not at all. False on failure.
bool SaveStateFile(const std::string& path, const Device& device);

}  // namespace kvsim
