#include "line_watch.h"

#include <kvcom/kvcom.h>

#include "kvproto/image_layout.h"
#include "kvproto/system_block.h"

namespace kvctl {

namespace {

constexpr int kIdentityReplyLength = 11;
constexpr unsigned char kIdentityCommand = 0x06;
constexpr unsigned char kIdentityReply = 0x02;
constexpr unsigned char kOwnDevice = 0x00;  // the device number kvctl asks for

bool OurHeader(const unsigned char* b, int len) {
    return len >= 7 && b[0] == 0xF0 && b[1] == 0x00 && b[2] == 0x20 && b[3] == 0x18;
}

std::string Memories(int n) { return std::to_string(n) + (n == 1 ? " memory" : " memories"); }

}  // namespace

void Classify(const unsigned char* b, int len, Received& seen) {
    seen.bytes += len;
    const bool whole = len >= 2 && b[len - 1] == 0xF7;
    if (!OurHeader(b, len) || !whole) {
        ++seen.stray;
        return;
    }
    {
        const unsigned char command = b[kvcom::image::kCommandOffset];
        if (command == kIdentityCommand && len == kIdentityReplyLength && b[6] == kIdentityReply) {
            seen.identity_device = b[4];
            return;
        }
        if (command == kvcom::image::kCommand && len > kvcom::image::kMemNumOffset) {
            ++seen.images;
            seen.last_image = b[kvcom::image::kMemNumOffset];
            seen.image_bytes += len;
            return;
        }
        if (command == kvcom::kSystemBlockCommand && len == static_cast<int>(kvcom::kSystemBlockLength)) {
            seen.system_block = true;
            return;
        }
    }
    ++seen.damaged;
}

std::string NoReplyText(const std::string& port, const std::string& what, Exchange exchange, const Received& seen,
                        bool damaged_image) {
    const std::string unit = "the unit on " + port;
    const std::string during = " (" + what + ")";
    if (damaged_image) return unit + " sent a damaged program image" + during;
    if (seen.identity_device > 0 && seen.identity_device != kOwnDevice)
        return "a device on " + port + " answered as device " + std::to_string(seen.identity_device) +
               ", where the unit answers as device 0: another unit or another kind of device" + during;
    if (seen.damaged > 0) return unit + " sent a damaged reply" + during;
    if (exchange == Exchange::kList && seen.identity_device == kOwnDevice && (seen.system_block || seen.images > 0)) {
        if (seen.images == 0)
            return unit +
                   " stopped its memory list after its opening block: no memory came, nor the working program "
                   "that ends it";
        return unit + " stopped its memory list after memory " + std::to_string(seen.last_image) + ": " +
               Memories(seen.images) + " came, not the working program that ends it";
    }
    // Images or a list where the identity reply belongs: what an earlier
    // exchange asked for, still coming after it was given up.
    if (seen.identity_device < 0 && exchange != Exchange::kMemory && (seen.system_block || seen.images > 0))
        return unit + " was still sending an earlier reply" + during + "; try again once it has finished";
    if (seen.stray > 0 && seen.identity_device < 0 && seen.images == 0)
        return unit + " sent bytes that make no message" + during +
               ": the end of an earlier reply, or a line at another rate than 19200 baud";
    if (seen.identity_device == kOwnDevice)
        return unit +
               (exchange == Exchange::kList ? " answered but sent no memory list" : " answered but sent no program") +
               during;
    return unit + " did not answer" + during;
}

LineWatch::LineWatch() { SetTrafficTap(&LineWatch::Tap, this); }

LineWatch::~LineWatch() { SetTrafficTap(nullptr, nullptr); }

void LineWatch::Begin() {
    bytes_ = 0;
    identity_device_ = -1;
    damaged_ = 0;
    stray_ = 0;
    system_block_ = false;
    images_ = 0;
    last_image_ = -1;
    image_bytes_ = 0;
}

Received LineWatch::Seen() const {
    Received r;
    r.bytes = bytes_.load();
    r.identity_device = identity_device_.load();
    r.damaged = damaged_.load();
    r.stray = stray_.load();
    r.system_block = system_block_.load();
    r.images = images_.load();
    r.last_image = last_image_.load();
    r.image_bytes = image_bytes_.load();
    return r;
}

void LineWatch::Tap(int direction, const unsigned char* bytes, int len, long long /*time_us*/, void* context) {
    if (direction != TRAFFIC_RECEIVED) return;
    auto* self = static_cast<LineWatch*>(context);
    Received one;
    Classify(bytes, len, one);
    self->bytes_ += one.bytes;
    self->damaged_ += one.damaged;
    self->stray_ += one.stray;
    if (one.identity_device >= 0) self->identity_device_ = one.identity_device;
    if (one.system_block) self->system_block_ = true;
    if (one.images > 0) {
        self->images_ += one.images;
        self->last_image_ = one.last_image;
        self->image_bytes_ += one.image_bytes;
    }
}

}  // namespace kvctl
