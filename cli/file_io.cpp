#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "failure.h"

namespace kvctl {

namespace {

[[noreturn]] void FileFailure(const std::string& what, const std::string& path, int error) {
    throw Failure(kExitFile, what + " " + path + ": " + std::strerror(error));
}

}  // namespace

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t max_bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) FileFailure("cannot read", path, errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        FileFailure("cannot read", path, EISDIR);
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            FileFailure("cannot read", path, error);
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > max_bytes) {
            ::close(fd);
            throw Failure(kExitFile, path + " is refused: longer than " + std::to_string(max_bytes) + " bytes");
        }
    }
    ::close(fd);
    return bytes;
}

FileWriter::FileWriter(std::string path) : path_(std::move(path)) {
    const auto slash = path_.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path_.substr(0, slash));
    std::string pattern = dir + "/.kvctl-XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) FileFailure("cannot write", path_, errno);
    temp_ = pattern;
}

FileWriter::~FileWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void FileWriter::Commit(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) FileFailure("cannot write", path_, errno);
        done += static_cast<std::size_t>(put);
    }
    // Readable like any file the user makes (mkstemp leaves it private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0 || ::fsync(fd_) != 0) FileFailure("cannot write", path_, errno);
    if (::close(fd_) != 0) {
        fd_ = -1;
        FileFailure("cannot write", path_, errno);
    }
    fd_ = -1;
    if (::rename(temp_.c_str(), path_.c_str()) != 0) FileFailure("cannot write", path_, errno);
    temp_.clear();
}

}  // namespace kvctl
