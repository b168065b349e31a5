// Program files (".syx") as the windows read and write them: the one codec
// of the program (kvfiles/program_file.h) with the file on disk and the
// user's words around it. A damaged image inside a file that can be opened
// is a note, shown beside the opened program, as kvctl shows it.
#pragma once

#include <QByteArray>
#include <QString>

class CDSDATA;

namespace programfile {

// Header plus the model's image.
QByteArray Encode(const CDSDATA& model);

// Reads the program file at `path` into `model` (its memory number, cursors
// and delay unit stay). A refused file returns false, leaves the model
// exactly as it was and says why (naming the file) in *why; a file read with
// a damaged image returns true and says so in *note (empty otherwise).
bool ReadFile(const QString& path, CDSDATA& model, QString* why, QString* note = nullptr);

// The same for bytes already read; `file_name` names them in the messages.
bool Decode(const QByteArray& file, const QString& file_name, CDSDATA& model, QString* why, QString* note = nullptr);

}  // namespace programfile
