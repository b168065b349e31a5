// Program files (".syx"): the four bytes 50 01 00 00 and one program image
// exactly as the model writes it. Encoding, decoding and the check of an
// image as the unit takes it; reading and writing files is the caller's.
// Window-free, for the command-line tool (the program 758 keeps its own
// Qt-side reader of the same format).
#pragma once

#include <kvcom/kvcom.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "kvprog/settings.h"

namespace kvprog {

inline constexpr std::array<std::uint8_t, 4> kProgramFileHeader = {0x50, 0x01, 0x00, 0x00};
// The program reads these files into a buffer of this size; longer ones are
// no program files.
inline constexpr std::size_t kProgramFileMax = 3000;

// Header plus the model's image.
std::vector<std::uint8_t> EncodeProgramFile(const CDSDATA& m);

// Reads a whole file into `into` (its memory number, cursors and delay unit
// stay). A file that is too long, too short, has another header or holds a
// broken image is refused and changes nothing.
std::optional<Refusal> DecodeProgramFile(CDSDATA& into, std::span<const std::uint8_t> file);

// Whether `image` is one complete program image as the unit takes it: the
// intro and command, the length its filter count gives, data bytes below
// 0x80, its checksum and the closing F7.
std::optional<Refusal> CheckImage(std::span<const std::uint8_t> image);

}  // namespace kvprog
