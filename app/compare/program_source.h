// Where a program to compare comes from: the PC's program, the unit's
// working program or one of its memories (read without recalling it, so the
// unit keeps playing what it plays), a program file (".syx" or JSON), or an
// entry of the memory table (a loaded bank, or the last memory list).
#pragma once

#include <QString>
#include <QWidget>

class CDSDATA;

struct ProgramSource {
    enum Kind { kPcProgram, kUnitProgram, kUnitMemory, kFile, kBankEntry };
    Kind kind = kPcProgram;
    int memory = 1;  // kUnitMemory: 1..60; kBankEntry: 0..60
    QString path;    // kFile

    bool operator==(const ProgramSource&) const = default;
    // Whether reading it talks to the unit.
    bool FromUnit() const { return kind == kUnitProgram || kind == kUnitMemory; }
};

// "PC program", "Unit: working program", "Unit: memory 5", "File SHOW.json",
// "Bank entry 5 'SHOW3'".
QString SourceTitle(const ProgramSource& source);

// The entries of the memory table that hold a program, 0..60.
QList<int> BankEntriesInUse();

// Reads the program of `source` into `into`, which comes in as a copy of
// the PC's program (nothing here constructs a model: that would empty the
// memory table). A fetch from the unit runs on the device thread behind the
// progress window over parent. On failure returns false, leaves `into` as
// it was and says why.
bool ReadSource(const ProgramSource& source, CDSDATA& into, QWidget* parent, QString* why);
