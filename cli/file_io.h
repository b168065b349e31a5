// kvctl's files: read whole, written atomically, and the program and bank
// files checked by the one codec of the program. Refusals become failures
// with the file problem's exit code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kvfiles/atomic_file.h"
#include "interruption.h"
#include "kvfiles/bank_file.h"

class CDSDATA;

namespace kvctl {

class Session;

// The file's bytes; more than `max_bytes` is refused. Throws Failure (file
// problem) naming the file and the reason.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t max_bytes);

// A file being written (kvfiles::AtomicFile): opened at once, so an
// unwritable place (a folder, a missing folder, no permission) is reported
// before any long operation; abandoned or interrupted, it leaves nothing
// behind, and an interruption never comes while it is put in place. Both
// throw Failure (file problem).
class FileWriter {
public:
    explicit FileWriter(const std::string& path);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void Commit(const std::vector<std::uint8_t>& bytes);

private:
    kvfiles::AtomicFile file_;
    std::unique_ptr<InterruptionScope> scope_;
};

// A program file read into a copy of `base`. Throws Failure (file problem)
// when it is refused; a damaged image is read and named in a warning.
CDSDATA ReadProgramFile(const Session& session, const std::string& path, const CDSDATA& base);

// What a bank is read for: to be looked at (the codec's verdict, as the
// windows read it), or to be restored over the unit's memories, which takes
// only a whole bank as backup and Save All write it.
enum class BankUse { kRead, kRestore };

// A bank file, checked and decoded. Throws Failure (file problem) when it is
// refused; what is out of order in a bank that is taken goes to a warning
// (or, for a restore, refuses it as well).
kvfiles::BankTable ReadBankFile(const Session& session, const std::string& path, BankUse use = BankUse::kRead);

}  // namespace kvctl
