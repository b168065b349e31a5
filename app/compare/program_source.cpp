#include "compare/program_source.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstring>

#include <kvcom/kvcom.h>
#include <kvprog/describe.h>

#include "kvfiles/program_file.h"

#include "compare/program_exchange.h"
#include "device/device_line.h"
#include "device/device_task.h"
#include "widgets/link_guard.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"
#include "widgets/refusal_text.h"

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("ProgramSource", text); }

// An entry shorter than this holds no program (an empty one is F0 F7).
constexpr int kEmptyEntryMax = 2;

QString EntryName(int entry) {
    return QString::fromLatin1(data_name[entry], static_cast<int>(strnlen(data_name[entry], 8))).trimmed();
}

bool FetchFromUnit(int memory, CDSDATA& into, QWidget* parent, QString* why) {
    if (!UnitConnected()) {
        if (why) *why = NotConnectedMessage();
        return false;
    }
    const QString label = memory == 0 ? Tr("Reading the working program from the unit...")
                                      : Tr("Reading memory %1 from the unit...").arg(memory);
    CDSDATA fetched(into);
    const auto n = static_cast<unsigned char>(memory);
    if (RunDeviceTask(parent, label, fetched, [n](CDSDATA& m) { return m.FetchMemory(n); }) == 0) {
        if (why) {
            const QString what =
                memory == 0
                    ? Tr("The unit did not send its working program.")
                    : Tr("The unit did not send memory %1 (a memory that holds nothing sends nothing).").arg(memory);
            *why = UnitConnected() ? what : what + QLatin1Char('\n') + WhyOperationStopped();
        }
        return false;
    }
    into = fetched;
    // What the unit plays now, after every edit sent before the read.
    if (memory == 0) device::NotifyUnitProgramRead(fetched);
    return true;
}

}  // namespace

QString SourceTitle(const ProgramSource& source) {
    switch (source.kind) {
    case ProgramSource::kPcProgram: return Tr("PC program");
    case ProgramSource::kUnitProgram: return Tr("Unit: working program");
    case ProgramSource::kUnitMemory: return Tr("Unit: memory %1").arg(source.memory);
    case ProgramSource::kFile: return Tr("File %1").arg(QFileInfo(source.path).fileName());
    case ProgramSource::kBankEntry:
        return source.memory == 0 ? Tr("Table: working program '%1'").arg(EntryName(0))
                                  : Tr("Table: memory %1 '%2'").arg(source.memory).arg(EntryName(source.memory));
    }
    return QString();
}

QList<int> BankEntriesInUse() {
    QList<int> entries;
    for (int m = 0; m < KV_MEMORIES; ++m)
        if (prog_len[m] > kEmptyEntryMax) entries.append(m);
    return entries;
}

bool ReadSource(const ProgramSource& source, CDSDATA& into, QWidget* parent, QString* why) {
    switch (source.kind) {
    case ProgramSource::kPcProgram: return true;  // `into` is the PC's program already
    case ProgramSource::kUnitProgram: return FetchFromUnit(0, into, parent, why);
    case ProgramSource::kUnitMemory:
        if (source.memory < 1 || source.memory >= KV_MEMORIES) {
            if (why) *why = Tr("There is no memory %1 (1 to 60).").arg(source.memory);
            return false;
        }
        return FetchFromUnit(source.memory, into, parent, why);
    case ProgramSource::kFile:
        if (source.path.isEmpty()) {
            if (why) *why = Tr("No file chosen.");
            return false;
        }
        {
            QString note;
            if (!ReadProgramAnyFile(source.path, into, why, &note)) return false;
            if (!note.isEmpty()) ShowMessage(parent, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), note);
            return true;
        }
    case ProgramSource::kBankEntry: {
        const int m = source.memory;
        if (m < 0 || m >= KV_MEMORIES || prog_len[m] <= kEmptyEntryMax) {
            if (why) *why = Tr("Entry %1 of the memory table holds no program.").arg(m);
            return false;
        }
        const int len = std::min(prog_len[m], KV_IMAGE_MAX);
        if (const auto refused = kvfiles::ReadImage(into, {prog_save[m], static_cast<std::size_t>(len)})) {
            if (why)
                *why = Tr("Entry %1 of the memory table: %2").arg(m).arg(RefusalText(*refused));
            return false;
        }
        return true;
    }
    }
    return false;
}
