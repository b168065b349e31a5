// Files read whole, and files written so that a failure never leaves a
// half-written file where a good one was: the bytes go to a temporary file
// beside the target, which replaces it only once it is whole on disk. The
// window-free writer of kvctl and the simulator (the windows use QSaveFile).
#pragma once

#include <kvcore/refusal.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvfiles {

// The file's bytes; a file longer than `max_bytes`, a folder or one that
// cannot be read is refused with the reason (place: the path).
kvcore::Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::size_t max_bytes);

// A file being written. Open makes the temporary file at once, so an
// unwritable place is known before any long operation; abandoned (destroyed
// without Commit), it leaves nothing behind.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::optional<kvcore::Refusal> Open(const std::string& path);
    // Writes the bytes, makes them durable and puts the file in place;
    // readable like any file the user makes.
    std::optional<kvcore::Refusal> Commit(const std::vector<std::uint8_t>& bytes);
    // Removes the temporary file now (a signal handler's way out).
    void Abandon();

    const std::string& path() const { return path_; }

private:
    std::optional<kvcore::Refusal> Fail(int error);

    std::string path_;
    std::string temp_;
    int fd_ = -1;
};

// Writes `bytes` to `path` through an AtomicFile.
std::optional<kvcore::Refusal> WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kvfiles
