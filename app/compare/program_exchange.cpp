#include "compare/program_exchange.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <kvcom/kvcom.h>
#include <kvprog/describe.h>
#include <kvprog/program_json.h>

#include "document/my758_doc.h"
#include "document/program_file.h"
#include "document/safe_file_writer.h"
#include "history/program_history.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"
#include "widgets/refusal_text.h"

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("ProgramExchange", text); }

const char* const kTextFilter = "Text files (*.txt);;All files (*)";
const char* const kJsonFilter = "JSON programs (*.json);;All files (*)";

bool WriteWhole(const QString& path, const QByteArray& bytes, QString* why) {
    SafeFileWriter writer;
    return writer.Open(path, why) && writer.Commit(bytes, why);
}

bool ReadLimited(const QString& path, qint64 limit, QByteArray& bytes, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = Tr("%1 could not be read: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > limit) {
        if (why) *why = Tr("%1 is too long for a program (more than %2 bytes).").arg(path).arg(limit);
        return false;
    }
    bytes = file.read(limit + 1);
    return true;
}

// The file's name with `suffix` added when it has none.
QString WithSuffix(const QString& path, const char* suffix) {
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + QLatin1String(suffix) : path;
}

QString StartDirectory(const CMy758Doc& doc) { return QFileInfo(doc.Path()).path(); }

void Tell(QWidget* parent, const QString& text) {
    ShowMessage(parent, QMessageBox::Warning, DocTemplateField(kDocWindowTitle), text);
}

}  // namespace

bool WriteProgramText(const CDSDATA& model, const QString& path, QString* why) {
    return WriteWhole(path, QByteArray::fromStdString(kvprog::DescribeText(model)), why);
}

bool WriteProgramJson(const CDSDATA& model, const QString& path, QString* why) {
    return WriteWhole(path, QByteArray::fromStdString(kvprog::ExportJson(model)), why);
}

bool ReadProgramJson(const QString& path, CDSDATA& into, QString* why) {
    QByteArray bytes;
    if (!ReadLimited(path, kProgramJsonReadLimit, bytes, why)) return false;
    const auto refused = kvprog::ImportJson(into, bytes.toStdString());
    if (!refused) return true;
    if (why) *why = Tr("%1 was refused: %2").arg(path, RefusalText(*refused));
    return false;
}

bool ReadProgramAnyFile(const QString& path, CDSDATA& into, QString* why, QString* note) {
    if (QFileInfo(path).suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0)
        return ReadProgramJson(path, into, why);
    // Decode into a copy: the model keeps its memory number and cursors.
    CDSDATA read(into);
    if (!programfile::ReadFile(path, read, why, note)) return false;
    kvprog::KeepPlaceOf(into, read);
    into = read;
    return true;
}

void TakeProgramIntoDocument(CMy758Doc& doc, const CDSDATA& program) {
    CDSDATA& model = doc.Model();
    CDSDATA taken(program);
    kvprog::KeepPlaceOf(model, taken);
    model = taken;
    doc.SetModified(true);
    // The view shows the configuration afresh; the file and title stay.
    emit doc.documentReset();
}

bool ImportJsonIntoDocument(CMy758Doc& doc, const QString& path, QString* why) {
    CDSDATA imported(doc.Model());
    if (!ReadProgramJson(path, imported, why)) return false;
    // The program it replaces stays in the history; its edits are no longer
    // the PC program's.
    history::KeepProgram(doc.Model(), Tr("Import"));
    TakeProgramIntoDocument(doc, imported);
    history::NewHistory(doc.Model(), Tr("Import"));
    return true;
}

void ExportAsTextCommand(CMy758Doc& doc, QWidget* parent) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent, Tr("Export as text"), StartDirectory(doc), Tr(kTextFilter));
    if (chosen.isEmpty()) return;
    QString why;
    if (!WriteProgramText(doc.Model(), WithSuffix(chosen, "txt"), &why))
        Tell(parent, Tr("The program was not exported:\n%1").arg(why));
}

void ExportAsJsonCommand(CMy758Doc& doc, QWidget* parent) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent, Tr("Export as JSON"), StartDirectory(doc), Tr(kJsonFilter));
    if (chosen.isEmpty()) return;
    QString why;
    if (!WriteProgramJson(doc.Model(), WithSuffix(chosen, "json"), &why))
        Tell(parent, Tr("The program was not exported:\n%1").arg(why));
}

void ImportJsonCommand(CMy758Doc& doc, QWidget* parent) {
    const QString path = QFileDialog::getOpenFileName(parent, Tr("Import JSON"), StartDirectory(doc), Tr(kJsonFilter));
    if (path.isEmpty()) return;
    QString why;
    if (!ImportJsonIntoDocument(doc, path, &why)) Tell(parent, Tr("The PC's program is unchanged.\n%1").arg(why));
}
