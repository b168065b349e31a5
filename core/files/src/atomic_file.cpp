#include "kvfiles/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kvfiles {

namespace {

kvcore::Refusal Refused(const std::string& path, int error) { return {path, std::strerror(error)}; }

}  // namespace

kvcore::Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::size_t max_bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Refused(path, errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return Refused(path, EISDIR);
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return Refused(path, error);
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > max_bytes) {
            ::close(fd);
            return kvcore::Refusal{path, "longer than " + std::to_string(max_bytes) + " bytes"};
        }
    }
    ::close(fd);
    return bytes;
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

std::optional<kvcore::Refusal> AtomicFile::Fail(int error) {
    Abandon();
    return Refused(path_, error);
}

std::optional<kvcore::Refusal> AtomicFile::Open(const std::string& path) {
    Abandon();
    path_ = path;
    const auto slash = path_.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Refused(path_, EISDIR);
    std::string pattern = dir + "/.kalvore-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) return Refused(path_, errno);
    temp_ = pattern;
    return std::nullopt;
}

std::optional<kvcore::Refusal> AtomicFile::Commit(const std::vector<std::uint8_t>& bytes) {
    if (fd_ < 0) return Refused(path_, EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return Fail(errno);
        done += static_cast<std::size_t>(put);
    }
    // Readable like any file the user makes (mkstemp leaves it private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0 || ::fsync(fd_) != 0) return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (::rename(temp_.c_str(), path_.c_str()) != 0) return Fail(errno);
    temp_.clear();
    return std::nullopt;
}

std::optional<kvcore::Refusal> WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    AtomicFile file;
    if (auto refused = file.Open(path)) return refused;
    return file.Commit(bytes);
}

}  // namespace kvfiles
