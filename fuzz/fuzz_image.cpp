// The program image reader (CDSDATA::GetData) on any bytes, any length and
// any start offset. Input: two bytes choose the start offset (signed, within
// a few hundred bytes either way), one byte how many bytes short of the
// buffer the length stops; the rest is the buffer.
#include <kvcom/kvcom.h>

#include "fuzz_support.h"

using namespace kvfuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    Input in(data, n);
    const int start = static_cast<std::int16_t>(in.Word()) % 600;
    const std::size_t short_by = in.Byte();
    const Bytes rest = in.Take(in.left());
    // Exactly `len` bytes on the heap: a read at len or beyond is caught.
    const std::size_t len = rest.size() > short_by ? rest.size() - short_by : 0;
    const Bytes buffer(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(len));

    CDSDATA m(BlankModel());
    m.GetData(buffer.data(), static_cast<int>(len), start);
    CheckModel(m);
    CheckImageRoundTrip(m);
    return 0;
}
