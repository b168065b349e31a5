// The simulator's input (kvsim::Device::Feed) on any byte stream, split
// into chunks anywhere, with each fault switch. Every reply is a run of
// whole System Exclusive messages; MIDI real-time bytes belong to no
// message, so a second device fed the same stream in one piece without them
// gives the same replies; the working program stays a valid program.
//
// Input: one byte of fault switches (bit 0 wrong device byte, bit 1 cut
// dumps, bits 2-3 replies to drop, bits 4-5 replies to corrupt), then chunks:
// a length byte and that many bytes.
#include "device.h"
#include "fuzz_support.h"

using namespace kvfuzz;

namespace {

void SetFaults(kvsim::Device& dev, std::uint8_t f) {
    dev.faults().wrong_device_byte = (f & 0x01) != 0;
    dev.faults().cut_dump = (f & 0x02) != 0;
    dev.faults().drop_replies = (f >> 2) & 0x03;
    dev.faults().corrupt_replies = (f >> 4) & 0x03;
}

// The replies of one Feed: whole messages back to back.
void CheckReplies(const Bytes& r) {
    std::size_t start = 0;
    while (start < r.size()) {
        std::size_t end = start + 1;
        while (end < r.size() && r[end] != 0xF7) ++end;
        Check(end < r.size() && IsWholeSysEx(r.data() + start, end - start + 1),
              "a simulator reply is not whole System Exclusive messages");
        start = end + 1;
    }
}

bool IsRealTime(std::uint8_t b) { return b >= 0xF8; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t n) {
    Input in(data, n);
    const std::uint8_t faults = in.Byte();
    kvsim::Device dev, plain;
    SetFaults(dev, faults);
    SetFaults(plain, faults);

    Bytes replies, stream;
    while (!in.empty()) {
        const Bytes chunk = in.Take(in.Byte());
        const Bytes r = dev.Feed(chunk.data(), chunk.size());
        CheckReplies(r);
        replies.insert(replies.end(), r.begin(), r.end());
        for (std::uint8_t b : chunk)
            if (!IsRealTime(b)) stream.push_back(b);
    }
    Check(plain.Feed(stream.data(), stream.size()) == replies,
          "real-time bytes or the chunking changed the simulator's replies");

    CDSDATA working(BlankModel());
    const Bytes image = dev.WorkingImage();
    working.GetData(image.data(), static_cast<int>(image.size()), 0);
    CheckModel(working);
    CheckImageRoundTrip(working);
    return 0;
}
