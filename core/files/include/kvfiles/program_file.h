// Program files (".syx"): the four bytes 50 01 00 00 and one program image
// exactly as the model writes it; and the program images themselves as the
// memory table and the line carry them. The one codec of the program: the
// windows, kvctl, the simulator, the history and the fuzz targets all read
// and write programs through it. Reading and writing files is the caller's.
#pragma once

#include <kvcom/kvcom.h>
#include <kvcore/refusal.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kvfiles {

using kvcore::Refusal;

inline constexpr std::array<std::uint8_t, 4> kProgramFileHeader = {0x50, 0x01, 0x00, 0x00};
// The program reads these files into a buffer of this size; longer ones are
// no program files.
inline constexpr std::size_t kProgramFileMax = 3000;
// The shortest image: no EQ filters in use.
inline constexpr std::size_t kMinImageSize = 490;

// Header plus the model's image.
std::vector<std::uint8_t> EncodeProgramFile(const CDSDATA& m);

// What a program file gave. A file is refused only when it cannot be a
// program file at all: longer than kProgramFileMax, too short for an image,
// another header, or no F0 after it. An image that is damaged inside (its
// checksum, its length or its closing F7 does not fit) is still read, as the
// reader reads any image, and each fault is named in `notes`: the program
// writes the image anew from its settings before anything reaches the unit,
// so the damage never goes further, but the user should know the file is not
// what the program wrote.
struct ProgramFileRead {
    std::optional<Refusal> refused;
    std::vector<std::string> notes;
};

// Whether `file` can be opened as a program file (the refusal alone).
std::optional<Refusal> CheckProgramFile(std::span<const std::uint8_t> file);

// Reads a whole file into `into` (its memory number, cursors and delay unit
// stay). A refused file changes nothing.
ProgramFileRead DecodeProgramFile(CDSDATA& into, std::span<const std::uint8_t> file);

// One sentence for the notes of a file that was read: "The program file was
// read, but the program image in it is damaged (...). The program writes the
// image anew from its settings when it saves or sends it."
std::string NotesText(const std::vector<std::string>& notes);

// Whether `image` is one complete program image as the unit takes it: the
// intro and command, the length its filter count gives, data bytes below
// 0x80, its checksum and the closing F7. Images that go to the unit as they
// are (the rows of a bank) must pass it.
std::optional<Refusal> CheckImage(std::span<const std::uint8_t> image);

// Decodes a program image (F0 ... F7 with command 0x2C, at `start` in
// `bytes`, as a memory row or the line holds it) into `into` with the
// library's own reader; its memory number, cursors and delay unit stay. A
// buffer that holds no whole image is refused and changes nothing.
std::optional<Refusal> ReadImage(CDSDATA& into, std::span<const std::uint8_t> bytes, std::size_t start = 0);

}  // namespace kvfiles
