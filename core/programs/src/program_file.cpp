#include "kvprog/program_file.h"

#include <algorithm>
#include <string>

#include "kvprog/describe.h"
#include "kvproto/image_layout.h"

namespace kvprog {

namespace img = kvcom::image;

std::vector<std::uint8_t> EncodeProgramFile(const CDSDATA& m) {
    std::vector<std::uint8_t> image(KV_IMAGE_MAX);
    const int n = m.SaveData(image.data());
    std::vector<std::uint8_t> out(kProgramFileHeader.begin(), kProgramFileHeader.end());
    out.insert(out.end(), image.begin(), image.begin() + n);
    return out;
}

std::optional<Refusal> CheckImage(std::span<const std::uint8_t> image) {
    const std::size_t n = image.size();
    if (n < static_cast<std::size_t>(img::kFixedLength)) return Refusal{"", "too short for a program image"};
    const std::uint8_t intro[] = {0xF0, 0x00, 0x20, 0x18};
    if (!std::equal(std::begin(intro), std::end(intro), image.begin()) || image[img::kCommandOffset] != img::kCommand)
        return Refusal{"", "not a program image"};
    const int filters = (static_cast<int>(n) - img::kFixedLength) / img::kFilterRecordBytes;
    if (filters > img::kMaxFilters || n != static_cast<std::size_t>(img::ImageLength(filters)))
        return Refusal{"", "a program image of " + std::to_string(n) + " bytes cannot be read"};
    if (image[n - 1] != 0xF7) return Refusal{"", "the program image has no end"};
    // Anything from 0x80 up inside the message would end it early on the line.
    if (std::any_of(image.begin() + 1, image.end() - 1, [](std::uint8_t b) { return b >= 0x80; }))
        return Refusal{"", "the program image holds bytes the unit cannot take"};
    if (image[n - 2] != img::Checksum(image.data(), img::kHeaderOffset, n - 2))
        return Refusal{"", "the program image's checksum is wrong"};
    return std::nullopt;
}

std::optional<Refusal> DecodeProgramFile(CDSDATA& into, std::span<const std::uint8_t> file) {
    if (file.size() > kProgramFileMax)
        return Refusal{"", "too long for a program file (more than " + std::to_string(kProgramFileMax) + " bytes)"};
    if (file.size() < kProgramFileHeader.size() + img::kFixedLength) return Refusal{"", "too short to hold a program"};
    if (!std::equal(kProgramFileHeader.begin(), kProgramFileHeader.end(), file.begin()))
        return Refusal{"", "not a Kalvore program file"};
    const auto image = file.subspan(kProgramFileHeader.size());
    if (auto broken = CheckImage(image)) return broken;
    return ReadImage(into, image);
}

}  // namespace kvprog
