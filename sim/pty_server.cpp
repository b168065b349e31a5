#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace kvsim {

namespace {

constexpr std::int64_t kNsPerByte = 520'833;  // 10 bits at 19200 baud
constexpr std::size_t kPacedChunk = 16;       // bytes written at once while pacing
constexpr std::size_t kMaxRandomChunk = 97;

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Waits until the deadline; false when the wake-up pipe says stop first.
bool PauseUntilNs(int wake_fd, std::int64_t deadline) {
    for (;;) {
        const std::int64_t left = deadline - NowNs();
        if (left <= 0) return true;
        const timespec ts{static_cast<time_t>(left / 1'000'000'000), static_cast<long>(left % 1'000'000'000)};
        pollfd fd{wake_fd, POLLIN, 0};
        if (ppoll(&fd, 1, &ts, nullptr) > 0) return false;
    }
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PtyServer::PtyServer(Device& device, PtyOptions options) : device_(device), options_(std::move(options)) {}

PtyServer::~PtyServer() { Stop(); }

std::string PtyServer::Start() {
    if (running_) return slave_path_;
    // Close-on-exec throughout: a program the host starts must not keep the
    // line up after the simulator has pulled it.
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        CloseFd(master_);
        return "";
    }
    const char* name = ptsname(master_);
    slave_path_ = name ? name : "";
    slave_ = slave_path_.empty() ? -1 : ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    int wake[2];
    if (slave_ < 0 || pipe2(wake, O_CLOEXEC) != 0) {
        CloseFd(slave_);
        CloseFd(master_);
        slave_path_.clear();
        return "";
    }
    wake_read_ = wake[0];
    wake_write_ = wake[1];
    // A raw line: no echo, no translation, until the PC sets its own mode.
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B19200);
        cfsetospeed(&tio, B19200);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    if (!options_.log_path.empty()) log_ = std::fopen(options_.log_path.c_str(), "w");
    received_words_.Reset();
    sent_words_.Reset();
    sent_messages_ = StreamParser();
    start_us_ = NowNs() / 1000;
    device_.SetObserver([this](const Bytes& bytes, const std::string& note) { Log(bytes, note); });

    stopping_ = false;
    running_ = true;
    reader_ = std::thread([this] { ReadLoop(); });
    writer_ = std::thread([this] { WriteLoop(); });
    return slave_path_;
}

void PtyServer::Stop() {
    if (!running_) return;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        stopping_ = true;
    }
    queue_cv_.notify_all();
    const char b = 1;
    (void)!::write(wake_write_, &b, 1);
    reader_.join();
    writer_.join();
    {
        std::lock_guard<std::mutex> lock(device_mutex_);
        device_.SetObserver(nullptr);
    }
    CloseFd(wake_read_);
    CloseFd(wake_write_);
    CloseFd(slave_);
    CloseFd(master_);
    if (log_) std::fclose(log_);
    log_ = nullptr;
    queue_.clear();
    running_ = false;
}

void PtyServer::WithDevice(const std::function<void(Device&)>& f) {
    std::lock_guard<std::mutex> lock(device_mutex_);
    f(device_);
}

void PtyServer::ReadLoop() {
    std::uint8_t buf[4096];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) {
            // Nothing to read (the line has no other end right now): wait a
            // little rather than spin on the hang-up.
            poll(fds + 1, 1, 10);
            if (fds[1].revents) return;
            continue;
        }
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        for (ssize_t i = 0; i < n; ++i) buf[i] = static_cast<std::uint8_t>(255 - buf[i]);  // the line is inverted

        Bytes reply;
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(device_mutex_);
            const unsigned before = device_.StateRevision();
            reply = device_.Feed(buf, static_cast<std::size_t>(n));
            changed = device_.StateRevision() != before;
        }
        if (!reply.empty()) {
            {
                std::lock_guard<std::mutex> lock(queue_mutex_);
                queue_.push_back(std::move(reply));
            }
            queue_cv_.notify_one();
        }
        if (changed && on_state_change) on_state_change();
    }
}

void PtyServer::WriteLoop() {
    std::mt19937 random(options_.seed);
    std::uniform_int_distribution<std::size_t> chunk_size(1, kMaxRandomChunk);
    for (;;) {
        Bytes out;
        {
            std::unique_lock<std::mutex> lock(queue_mutex_);
            queue_cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            out = std::move(queue_.front());
            queue_.pop_front();
        }
        const std::int64_t start = NowNs();
        std::size_t sent = 0;
        while (sent < out.size()) {
            std::size_t n = out.size() - sent;
            if (options_.random_chunks)
                n = std::min(n, chunk_size(random));
            else if (options_.line_rate)
                n = std::min(n, kPacedChunk);
            if (!WriteAll(out.data() + sent, n)) return;
            if (log_) {
                sent_messages_.Feed(
                    out.data() + sent, n, [this](const Bytes& m) { Log(m, "", true); },
                    [this](const Bytes& junk, const std::string&) { Log(junk, "", true); });
            }
            sent += n;
            std::int64_t next = 0;
            if (options_.line_rate)
                next = start + static_cast<std::int64_t>(sent) * kNsPerByte;
            else if (options_.random_chunks)
                next = NowNs() + 200'000;  // let the chunks arrive apart
            if (next && !PauseUntilNs(wake_read_, next)) return;
        }
    }
}

bool PtyServer::WriteAll(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(master_, data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        // The line is full: wait until it drains or the server stops.
        pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_read_, POLLIN, 0}};
        poll(fds, 2, 100);
        if (fds[1].revents) return false;
    }
    return true;
}

void PtyServer::Log(const Bytes& bytes, const std::string& note, bool sent) {
    if (!log_) return;
    std::lock_guard<std::mutex> lock(log_mutex_);
    const long long at = static_cast<long long>(NowNs() / 1000 - start_us_);
    const char* direction = sent ? "TX" : "RX";
    if (options_.log_in_words) {
        // A note says what became of the message; its bytes are said in words
        // when there are any.
        const bool message = note.empty();
        std::string words;
        if (!bytes.empty())
            words = message ? (sent ? sent_words_ : received_words_).Decode(bytes) : kvprog::DecodeMessage(bytes);
        if (!message) words = words.empty() ? note : note + ": " + words;
        std::fprintf(log_, "%lld %s%s\n", at, message ? direction : "",
                     message ? (" " + words).c_str() : words.c_str());
    } else {
        std::fprintf(log_, "%lld %s", at, note.empty() ? direction : note.c_str());
        for (std::uint8_t b : bytes) std::fprintf(log_, " %02X", b);
        std::fputc('\n', log_);
    }
    std::fflush(log_);
}

}  // namespace kvsim
