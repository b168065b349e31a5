// What the unit sent back while kvctl waited, read from the library's
// traffic tap: why a reply failed (nothing came, another device answered,
// a reply came damaged, a memory list stopped part way), and how far a
// memory list has come, for its progress.
#pragma once

#include <atomic>
#include <string>

namespace kvctl {

// What arrived since an exchange began.
struct Received {
    long bytes = 0;             // every byte received
    int identity_device = -1;   // device byte of the last identity reply; -1: none came
    int damaged = 0;            // whole messages of the unit of no kind it sends: a byte changed on the way
    int stray = 0;              // bytes that make no whole message: cut short, noise, a wrong line rate
    bool system_block = false;  // the block that opens a memory list came
    int images = 0;             // program images
    int last_image = -1;        // the memory number of the last one
    long image_bytes = 0;       // the bytes of those images
};

// Adds one whole message as the tap reports it to `seen`.
void Classify(const unsigned char* bytes, int len, Received& seen);

// The exchange that failed.
enum class Exchange { kFetch, kList, kMemory };

// Why `what` failed on `port` when the reply did not come whole, in the
// words of what did arrive: nothing, another device's identity, a damaged
// reply, a memory list that stopped part way. `damaged_image`: the library
// refused an image whose checksum did not match (LastReplyDamaged).
std::string NoReplyText(const std::string& port, const std::string& what, Exchange exchange, const Received& seen,
                        bool damaged_image);

// The tap, installed while the object lives (one at a time).
class LineWatch {
public:
    LineWatch();
    ~LineWatch();
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    // Forgets what came before: an exchange begins.
    void Begin();
    // What arrived since Begin.
    Received Seen() const;

private:
    static void Tap(int direction, const unsigned char* bytes, int len, long long time_us, void* context);

    // The tap runs on the library's reader thread and may not block.
    std::atomic<long> bytes_{0};
    std::atomic<int> identity_device_{-1};
    std::atomic<int> damaged_{0};
    std::atomic<int> stray_{0};
    std::atomic<bool> system_block_{false};
    std::atomic<int> images_{0};
    std::atomic<int> last_image_{-1};
    std::atomic<long> image_bytes_{0};
};

}  // namespace kvctl
