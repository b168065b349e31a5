// Puts a Device on a pseudo-terminal as the processor sits on a serial
// line: the PC's bytes arrive inverted and are un-inverted before the device
// sees them; replies go out plain, paced at 19200 baud if asked, optionally
// cut into random chunks. Runs on its own threads until stopped.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "device.h"
#include "kvprog/decode.h"
#include "stream_parser.h"

namespace kvsim {

struct PtyOptions {
    bool line_rate = true;       // pace replies at 19200 baud (10 bits a byte)
    bool random_chunks = false;  // write replies in chunks of random size
    unsigned seed = 1;           // of the chunk sizes
    std::string log_path;        // every message both ways, with a timestamp; empty: no log
    bool log_in_words = false;   // log lines in words (kvsim --log) rather than bytes
};

class PtyServer {
public:
    explicit PtyServer(Device& device, PtyOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal pair and starts serving. Returns the path of
    // the slave side (what the PC opens), or "" when that failed.
    std::string Start();
    // Stops serving and closes the pair; replies not yet written are dropped.
    void Stop();
    const std::string& SlavePath() const { return slave_path_; }

    // Runs f on the device while the server cannot touch it.
    void WithDevice(const std::function<void(Device&)>& f);
    // Called on the server's thread (device unlocked) after a message changed
    // a memory or the current memory number.
    std::function<void()> on_state_change;

private:
    void ReadLoop();
    void WriteLoop();
    bool WriteAll(const std::uint8_t* data, std::size_t n);
    // A message received (note empty), a note of the device, or a reply
    // whose last byte went out (sent true).
    void Log(const Bytes& bytes, const std::string& note, bool sent = false);

    Device& device_;
    PtyOptions options_;
    std::mutex device_mutex_;

    int master_ = -1;
    int slave_ = -1;  // kept open so the line stays up while the PC is away
    int wake_read_ = -1;
    int wake_write_ = -1;
    std::string slave_path_;
    bool running_ = false;

    std::mutex queue_mutex_;
    std::condition_variable queue_cv_;
    std::deque<Bytes> queue_;
    bool stopping_ = false;

    std::thread reader_;
    std::thread writer_;
    std::mutex log_mutex_;  // the reading and the writing thread both log
    std::FILE* log_ = nullptr;
    kvprog::MessageDecoder received_words_;
    kvprog::MessageDecoder sent_words_;
    StreamParser sent_messages_;  // writer thread: cuts what went out into messages
    std::int64_t start_us_ = 0;
};

}  // namespace kvsim
