// Bank files (".ay") on disk: every memory of the unit in one file.
//
// The byte layout is the codec's (tables/bank_file.h); this is the reading
// and writing around it and the link to the library's memory table. A save
// goes to a temporary file beside the target that replaces it only once
// every byte is on disk, so a failed save never leaves a half-written bank;
// a file that cannot be read leaves the memory table as it was.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include "bank_file.h"

class CDSDATA;

// Longest bank file read; anything past it is ignored.
inline constexpr qint64 kBankFileReadLimit = static_cast<qint64>(tables::kBankFileMax);

// The path with ".ay" appended when its file name has no extension.
QString WithBankSuffix(const QString& path);

// Reads at most kBankFileReadLimit bytes of path. On failure returns false
// and says why in `error`.
bool ReadBankFile(const QString& path, QByteArray& bytes, QString& error);

// A bank file being written. Opening creates the temporary file next to
// the target; the target itself is untouched until Commit succeeds.
class BankFileWriter {
public:
    explicit BankFileWriter(const QString& path);
    BankFileWriter(const BankFileWriter&) = delete;
    BankFileWriter& operator=(const BankFileWriter&) = delete;

    bool IsOpen() const { return file_.isOpen(); }
    // Writes bytes and renames the temporary file over the target. False
    // when the file never opened or any step failed (the target then keeps
    // its old content and the temporary file is removed).
    bool Commit(const QByteArray& bytes);
    // Why opening or committing failed.
    QString Error() const { return error_; }

private:
    QSaveFile file_;
    QString error_;
};

// Puts the model's own image into entry 0 of the memory table when that
// entry holds no program (fewer than 5 bytes), as memory number 0.
void FillWorkingProgramEntry(CDSDATA& model);

// The whole memory table as bank-file bytes, the header carrying the
// model's current memory number. Entry 0 must be filled first.
QByteArray EncodeMemoryTable(const CDSDATA& model);

// Replaces the memory table with what the bank bytes hold: every entry is
// reset first, then each image found is filed under its memory number.
void LoadMemoryTable(const QByteArray& bytes);
