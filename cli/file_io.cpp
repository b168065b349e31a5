#include "file_io.h"

#include <kvcom/kvcom.h>

#include "failure.h"
#include "kvfiles/program_file.h"
#include "session.h"

namespace kvctl {

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t max_bytes) {
    auto bytes = kvfiles::ReadWholeFile(path, max_bytes);
    if (!bytes) throw Failure(kExitFile, "cannot read " + bytes.refusal().Message());
    return std::move(*bytes);
}

FileWriter::FileWriter(const std::string& path) {
    WatchInterruptions();
    if (auto refused = file_.Open(path)) throw Failure(kExitFile, "cannot write " + refused->Message());
    scope_ = std::make_unique<InterruptionScope>(file_);
}

FileWriter::~FileWriter() = default;

void FileWriter::Commit(const std::vector<std::uint8_t>& bytes) {
    const NoInterruption whole;
    if (auto refused = file_.Commit(bytes)) throw Failure(kExitFile, "cannot write " + refused->Message());
}

CDSDATA ReadProgramFile(const Session& session, const std::string& path, const CDSDATA& base) {
    const auto bytes = ReadWholeFile(path, kvfiles::kProgramFileMax + 1);
    CDSDATA program(base);
    const kvfiles::ProgramFileRead read = kvfiles::DecodeProgramFile(program, bytes);
    if (read.refused) Refused(kExitFile, *read.refused, path + " is refused");
    if (!read.notes.empty()) session.Warn(path + ": " + kvfiles::NotesText(read.notes));
    return program;
}

kvfiles::BankTable ReadBankFile(const Session& session, const std::string& path, BankUse use) {
    const auto bytes = ReadWholeFile(path, kvfiles::kBankFileMax);
    kvfiles::BankRead read = kvfiles::ReadBank(bytes);
    if (read.refused) Refused(kExitFile, *read.refused, path + " is refused");
    if (!read.notes.empty() && use == BankUse::kRestore)
        throw Failure(kExitFile, path + " is refused: " + read.notes.front() +
                                     "; a restore takes only a whole bank as backup and 758's Save All write it");
    if (!read.notes.empty()) session.Warn(path + ": " + kvfiles::BankNotesText(read.notes));
    return std::move(read.table);
}

}  // namespace kvctl
