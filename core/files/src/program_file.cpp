#include "kvfiles/program_file.h"

#include <algorithm>
#include <string>

#include "kvproto/image_layout.h"
#include "kvproto/messages.h"

namespace kvfiles {

namespace img = kvcom::image;

namespace {

constexpr std::size_t kHeaderSize = kProgramFileHeader.size();

// Reads an image whose place in `bytes` is known to be sound enough for the
// reader, keeping what belongs to the program and not to the image.
void ReadKeeping(CDSDATA& into, const std::uint8_t* bytes, int len, int start) {
    const int mem = into.mem_num;
    const int unit = into.delay_unit;
    into.GetData(bytes, len, start);
    into.mem_num = static_cast<char>(mem);
    into.delay_unit = unit;
}

}  // namespace

std::vector<std::uint8_t> EncodeProgramFile(const CDSDATA& m) {
    std::vector<std::uint8_t> image(KV_IMAGE_MAX);
    const int n = m.SaveData(image.data());
    std::vector<std::uint8_t> out(kProgramFileHeader.begin(), kProgramFileHeader.end());
    out.insert(out.end(), image.begin(), image.begin() + n);
    return out;
}

std::optional<Refusal> CheckProgramFile(std::span<const std::uint8_t> file) {
    if (file.size() > kProgramFileMax)
        return Refusal{"", "too long for a program file (more than " + std::to_string(kProgramFileMax) + " bytes)"};
    if (file.size() < kHeaderSize + kMinImageSize) return Refusal{"", "too short to hold a program"};
    if (!std::equal(kProgramFileHeader.begin(), kProgramFileHeader.end(), file.begin()) ||
        file[kHeaderSize] != kvcom::message::kStart)
        return Refusal{"", "not a Kalvore program file"};
    return std::nullopt;
}

ProgramFileRead DecodeProgramFile(CDSDATA& into, std::span<const std::uint8_t> file) {
    ProgramFileRead read;
    read.refused = CheckProgramFile(file);
    if (read.refused) return read;
    if (auto damaged = CheckImage(file.subspan(kHeaderSize))) read.notes.push_back(damaged->reason);
    // The reader takes the whole file, header included, with the image at 4;
    // it always looks at the fixed part of an image, so it gets a buffer of
    // the full size.
    std::vector<std::uint8_t> buffer(kProgramFileMax, 0);
    std::copy(file.begin(), file.end(), buffer.begin());
    ReadKeeping(into, buffer.data(), static_cast<int>(file.size()), static_cast<int>(kHeaderSize));
    return read;
}

std::string NotesText(const std::vector<std::string>& notes) {
    if (notes.empty()) return {};
    std::string joined;
    for (const std::string& n : notes) joined += (joined.empty() ? "" : "; ") + n;
    return "The program file was read, but the program image in it is damaged (" + joined +
           "). The program writes the image anew from its settings when it saves or sends it.";
}

std::optional<Refusal> CheckImage(std::span<const std::uint8_t> image) {
    const std::size_t n = image.size();
    if (n < static_cast<std::size_t>(img::kFixedLength)) return Refusal{"", "too short for a program image"};
    if (!kvcom::message::HasIntro(image) || image[img::kCommandOffset] != img::kCommand)
        return Refusal{"", "not a program image"};
    const int filters = (static_cast<int>(n) - img::kFixedLength) / img::kFilterRecordBytes;
    if (filters > img::kMaxFilters || n != static_cast<std::size_t>(img::ImageLength(filters)))
        return Refusal{"", "a program image of " + std::to_string(n) + " bytes cannot be read"};
    if (image[n - 1] != kvcom::message::kEnd) return Refusal{"", "the program image has no end"};
    // Anything from 0x80 up inside the message would end it early on the line.
    if (std::any_of(image.begin() + 1, image.end() - 1, [](std::uint8_t b) { return b >= 0x80; }))
        return Refusal{"", "the program image holds bytes the unit cannot take"};
    if (image[n - 2] != img::Checksum(image.data(), img::kHeaderOffset, n - 2))
        return Refusal{"", "the program image's checksum is wrong"};
    return std::nullopt;
}

std::optional<Refusal> ReadImage(CDSDATA& into, std::span<const std::uint8_t> bytes, std::size_t start) {
    if (bytes.size() < start + img::kFixedLength) return Refusal{"", "too short for a program image"};
    const auto image = bytes.subspan(start);
    if (!kvcom::message::HasIntro(image) || image[img::kCommandOffset] != img::kCommand)
        return Refusal{"", "not a program image"};
    // The reader derives the filter count from the length counted from the
    // buffer's start; hand it the image alone so any start works.
    const auto end = std::find(image.begin(), image.end(), kvcom::message::kEnd);
    if (end == image.end()) return Refusal{"", "the program image has no end"};
    const int len = static_cast<int>(end - image.begin()) + 1;
    const int filters = (len - img::kFixedLength) / img::kFilterRecordBytes;
    if (len != img::ImageLength(filters) || filters > img::kMaxFilters)
        return Refusal{"", "a program image of " + std::to_string(len) + " bytes cannot be read"};
    ReadKeeping(into, image.data(), len, 0);
    return std::nullopt;
}

}  // namespace kvfiles
