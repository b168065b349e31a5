// Bank files (".ay") on disk: every memory of the unit in one file.
//
// The layout and the verdict on a file are the bank codec's
// (kvfiles/bank_file.h), shared with kvctl; this is the reading and writing
// around it. A save goes through SafeFileWriter, so a failed save never
// leaves a half-written bank; a file that cannot be read or is refused
// leaves the memory table as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include "kvfiles/bank_file.h"

class CDSDATA;

// Longest bank file read; anything past it is ignored.
inline constexpr qint64 kBankFileReadLimit = static_cast<qint64>(kvfiles::kBankFileMax);

// The path with ".ay" appended when its file name has no extension.
QString WithBankSuffix(const QString& path);

// Reads at most kBankFileReadLimit bytes of path into bytes. On failure
// returns false, leaves bytes alone and says why in *why.
bool ReadBankFile(const QString& path, QByteArray& bytes, QString* why);

// The bank the bytes hold, by the codec's verdict: false and *why when the
// file is refused; true with the table, and *note when it is taken though
// not laid out as the program writes it.
bool DecodeBankBytes(const QByteArray& bytes, kvfiles::BankTable& table, QString* why, QString* note);

// The whole memory table as bank-file bytes, the header carrying the
// model's current memory number. Entry 0 must be filled first
// (kvfiles::FillWorkingProgramEntry).
QByteArray EncodeMemoryTable(const CDSDATA& model);

// Replaces the memory table with what the bank bytes hold, as a Load All
// does: every entry is reset first, then each image found is filed under its
// memory number. Bytes the codec refuses change nothing; returns whether the
// table was replaced.
bool LoadMemoryTable(const QByteArray& bytes);
