#include "document/program_file.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <kvcom/kvcom.h>

#include "kvfiles/program_file.h"
#include "widgets/refusal_text.h"

namespace programfile {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("programfile", text); }

}  // namespace

QByteArray Encode(const CDSDATA& model) {
    const std::vector<std::uint8_t> bytes = kvfiles::EncodeProgramFile(model);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool Decode(const QByteArray& file, const QString& file_name, CDSDATA& model, QString* why, QString* note) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                              static_cast<std::size_t>(file.size()));
    // The refusal is the codec's: "x.syx is too long for a program file
    // (more than 3000 bytes).", "x.syx is not a Kalvore program file."
    const kvfiles::ProgramFileRead read = kvfiles::DecodeProgramFile(model, bytes);
    if (read.refused) {
        if (why) *why = Tr("%1 is %2.").arg(file_name, RefusalReason(*read.refused));
        return false;
    }
    if (note) *note = read.notes.empty() ? QString() : file_name + QStringLiteral(": ") +
                                                           QString::fromStdString(kvfiles::NotesText(read.notes));
    return true;
}

bool ReadFile(const QString& path, CDSDATA& model, QString* why, QString* note) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = Tr("Cannot open %1: %2").arg(name, file.errorString());
        return false;
    }
    // Never read more than one byte past the limit: enough to refuse.
    return Decode(file.read(static_cast<qint64>(kvfiles::kProgramFileMax) + 1), name, model, why, note);
}

}  // namespace programfile
