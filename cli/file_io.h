// Files of kvctl: read whole, and written so that a failure never leaves
// a half-written file where a good one was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvctl {

// The file's bytes; more than `max_bytes` is refused. Throws Failure
// (file problem) naming the file and the reason.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t max_bytes);

// A file being written: bytes go to a temporary file beside it, which
// replaces `path` only in Commit. Opened at once, so an unwritable place is
// reported before any long operation; abandoned, it leaves nothing behind.
class FileWriter {
public:
    explicit FileWriter(std::string path);  // throws Failure (file problem)
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void Commit(const std::vector<std::uint8_t>& bytes);  // throws Failure (file problem)

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
};

}  // namespace kvctl
