// Shared by the fuzz targets: a reader over the fuzzer's input, the check
// that stops a run with a clear message when an invariant breaks, and the
// invariants every decoded model must keep.
#pragma once

#include <kvcom/kvcom.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvfuzz {

using Bytes = std::vector<std::uint8_t>;

// Prints "invariant broken: <what>" and aborts, so libFuzzer keeps the input.
[[noreturn]] void Broken(const char* what);
inline void Check(bool ok, const char* what) {
    if (!ok) Broken(what);
}

// Takes the input front to back; past its end every read gives 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t n) : data_(data), n_(n) {}
    bool empty() const { return pos_ >= n_; }
    std::size_t left() const { return n_ - pos_; }
    std::uint8_t Byte() { return pos_ < n_ ? data_[pos_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    // Up to `want` bytes (fewer at the end of the input).
    Bytes Take(std::size_t want);

private:
    const std::uint8_t* data_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

// A factory model made when the target was loaded. Constructing a CDSDATA
// resets the library's memory table, so targets copy this one instead.
const CDSDATA& BlankModel();

// A model that is not the factory one (configuration, link, name, values
// and a filter changed), for the decoders to read over: one that touched it
// before refusing would show.
const CDSDATA& EditedModel();

// The model's object byte for byte, to see that a refusal left it alone.
struct ObjectBytes {
    unsigned char b[sizeof(CDSDATA)];
    bool operator==(const ObjectBytes& other) const;
};
ObjectBytes BytesOf(const CDSDATA& m);

// The model's image as SaveData writes it.
Bytes Save(const CDSDATA& m);

// Every value GetData leaves behind lies in its range, and the slot lists
// and the pool agree.
void CheckModel(const CDSDATA& m);

// A written image is one whole message of the length its filters give, and
// SaveData(GetData(SaveData(m))) equals SaveData(m).
void CheckImageRoundTrip(const CDSDATA& m);

// One whole System Exclusive message: F0, data bytes below 0x80, F7.
bool IsWholeSysEx(const std::uint8_t* p, std::size_t n);

}  // namespace kvfuzz
