// Programs as readable files beside the ".syx" program file: the program in
// words (plain text) and as JSON, and a JSON file taken in as the PC's
// program. Every save goes through SafeFileWriter; an import checks the
// whole file first and a refused one changes nothing.
#pragma once

#include <QString>

class CDSDATA;
class CMy758Doc;
class QWidget;

// Longest JSON program file read; a program is a few kilobytes.
inline constexpr qint64 kProgramJsonReadLimit = 1 << 20;

// Write the model as aligned text or as JSON to path.
bool WriteProgramText(const CDSDATA& model, const QString& path, QString* why);
bool WriteProgramJson(const CDSDATA& model, const QString& path, QString* why);

// Reads a JSON program into `into` (its memory number, cursors and delay
// unit stay). A refused file leaves `into` as it was; *why names the file,
// the place in it and the reason.
bool ReadProgramJson(const QString& path, CDSDATA& into, QString* why);

// Reads a program from a ".json" file or a ".syx" program file, by its
// suffix, into `into` (see ReadProgramJson).
bool ReadProgramAnyFile(const QString& path, CDSDATA& into, QString* why, QString* note = nullptr);

// Makes `program` the PC's program: the model takes it whole, keeping its
// memory number and cursors, the document is marked modified and the view
// shows it. Nothing is sent.
void TakeProgramIntoDocument(CMy758Doc& doc, const CDSDATA& program);

// Import JSON: reads path into the document as above; a refused file
// changes nothing. False with *why when refused.
bool ImportJsonIntoDocument(CMy758Doc& doc, const QString& path, QString* why);

// The File menu commands: ask for a file, do it, tell a failure.
void ExportAsTextCommand(CMy758Doc& doc, QWidget* parent);
void ExportAsJsonCommand(CMy758Doc& doc, QWidget* parent);
void ImportJsonCommand(CMy758Doc& doc, QWidget* parent);
