// Bank files (".ay") on disk: every memory of the unit in one file.
//
// The byte layout is the codec's (tables/bank_file.h); this is the reading
// and writing around it and the link to the library's memory table. A save
// goes through SafeFileWriter, so a failed save never leaves a half-written
// bank; a file that cannot be read leaves the memory table as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include "tables/bank_file.h"

class CDSDATA;

// Longest bank file read; anything past it is ignored.
inline constexpr qint64 kBankFileReadLimit = static_cast<qint64>(tables::kBankFileMax);

// The path with ".ay" appended when its file name has no extension.
QString WithBankSuffix(const QString& path);

// Reads at most kBankFileReadLimit bytes of path into bytes. On failure
// returns false, leaves bytes alone and says why in *why.
bool ReadBankFile(const QString& path, QByteArray& bytes, QString* why);

// Puts the model's own image into entry 0 of the memory table when that
// entry holds no program (fewer than 5 bytes), as memory number 0.
void FillWorkingProgramEntry(CDSDATA& model);

// The whole memory table as bank-file bytes, the header carrying the
// model's current memory number. Entry 0 must be filled first.
QByteArray EncodeMemoryTable(const CDSDATA& model);

// Replaces the memory table with what the bank bytes hold: every entry is
// reset first, then each image found is filed under its memory number.
void LoadMemoryTable(const QByteArray& bytes);
