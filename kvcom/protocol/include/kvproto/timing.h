// How long the unit's whole-program exchanges take: the line's rate, and the
// pauses and waits of the memory operations. The library paces its
// operations with these numbers; a front end that shows progress estimates
// from them and from the bytes on the line.
#pragma once

#include <cstddef>

namespace kvcom::timing {

// 19200 baud, 8N1: ten bits on the line for every byte.
inline constexpr int kBaud = 19200;
inline constexpr int kBitsPerByte = 10;
inline constexpr double kBytesPerSecond = static_cast<double>(kBaud) / kBitsPerByte;

// Seconds that `bytes` take on the line.
inline constexpr double LineSeconds(std::size_t bytes) { return static_cast<double>(bytes) / kBytesPerSecond; }

// Waits for a reply (an operation fails when it has not come by then).
inline constexpr int kIdentityTimeoutMs = 1000;
inline constexpr int kWorkingProgramTimeoutMs = 5000;
inline constexpr int kMemoryImageTimeoutMs = 1000;
inline constexpr int kDumpTimeoutMs = 30000;

// Recall of a memory: after its image came, before and after the program change.
inline constexpr int kRecallBeforeChangeMs = 500;
inline constexpr int kRecallAfterChangeMs = 500;

// Store of one memory from the model: after the configuration message,
// the image request, the image, each of the eight name characters, the
// store message and the program change.
inline constexpr int kStoreConfigMs = 1200;
inline constexpr int kStoreRequestMs = 800;
inline constexpr int kStoreImageMs = 3000;
inline constexpr int kStoreNameCharMs = 100;
inline constexpr int kStoreMessageMs = 1000;
inline constexpr int kStoreChangeMs = 500;
inline constexpr int kStoreMs =
    kStoreConfigMs + kStoreRequestMs + kStoreImageMs + 8 * kStoreNameCharMs + kStoreMessageMs + kStoreChangeMs;

// Store All: after each of its three opening messages, and after every image.
inline constexpr int kStoreAllOpeningMs = 600;
inline constexpr int kStoreAllImageMs = 1000;

}  // namespace kvcom::timing
