// Layout of a program image (command 0x2C) and the helpers that split bytes
// into nibble pairs and compute the closing checksum. Shared by the image
// writer and reader, the device simulator and the bank-file codec.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvcom::image {

// Offsets in image bytes from the F0.
inline constexpr int kCommandOffset = 5;       // 0x2C
inline constexpr int kCountOffset = 6;         // filters + 15
inline constexpr int kMemNumOffset = 7;        // the memory the image belongs to
inline constexpr int kHeaderOffset = 8;        // header record, 24 bytes split
inline constexpr int kNameOffset = 28;         // header bytes 10..17: the name, 8 pairs
inline constexpr int kMarkerOffset = 56;       // marker record, then 00 00, twice
inline constexpr int kConfigOffset = 92;       // configuration record, 10 bytes split
inline constexpr int kLinkOffset = 98;         // configuration byte 3 (low nibble)
inline constexpr int kFigurationOffset = 100;  // configuration byte 4 (low nibble)
inline constexpr int kInputsOffset = 112;      // In A, In B, In SUM A+B: 12 bytes split each
inline constexpr int kInputRecordBytes = 24;
inline constexpr int kOutputsOffset = 184;  // Out 1..6: 24 bytes split each
inline constexpr int kOutputRecordBytes = 48;
inline constexpr int kFiltersOffset = 472;  // one 16-byte split record per filter
inline constexpr int kFilterRecordBytes = 32;
inline constexpr int kTrailerBytes = 16;  // sixteen 0x0F after the filters
inline constexpr int kFixedLength = 490;  // an image without filters
inline constexpr int kMaxFilters = 39;    // assignable pool rows
inline constexpr std::uint8_t kCommand = 0x2C;

inline constexpr int ImageLength(int filters) { return kFixedLength + kFilterRecordBytes * filters; }

// Writes the n bytes of `record` split into nibble pairs (low first) at `at`.
inline void PutSplit(std::uint8_t* at, const std::uint8_t* record, int n) {
    for (int i = 0; i < n; ++i) {
        at[2 * i] = record[i] & 0x0F;
        at[2 * i + 1] = (record[i] >> 4) & 0x0F;
    }
}

// Joins the nibble pair at `at` (low first) into one byte.
inline std::uint8_t JoinPair(const std::uint8_t* at) { return static_cast<std::uint8_t>(at[0] + 16 * at[1]); }

// The closing checksum of an image or system block: the sum of bytes
// [from, to) modulo 256, masked to 7 bits.
inline std::uint8_t Checksum(const std::uint8_t* bytes, std::size_t from, std::size_t to) {
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += bytes[i];
    return static_cast<std::uint8_t>(sum & 0x7F);
}

}  // namespace kvcom::image
