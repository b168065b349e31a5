#include "history/history_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

#include <kvcom/kvcom.h>

#include "document/program_file.h"
#include "document/safe_file_writer.h"
#include "kvfiles/program_file.h"
#include "kvproto/image_layout.h"
#include "kvproto/names.h"

namespace history {

namespace {

const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss-zzz");
constexpr int kTimeLength = 19;  // the length of kTimeFormat's text

// The program name in a program file: eight characters, nibble-split, in
// the image's header record.
QString ProgramNameOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    constexpr int kHeaderSize = static_cast<int>(kvfiles::kProgramFileHeader.size());
    const QByteArray head = file.read(kHeaderSize + 48);
    const int base = kHeaderSize + kvcom::image::kNameOffset;
    if (head.size() < base + 16) return {};
    QString name;
    for (int i = 0; i < 8; ++i) {
        const auto low = static_cast<unsigned char>(head[base + 2 * i]);
        const auto high = static_cast<unsigned char>(head[base + 2 * i + 1]);
        const unsigned char code = static_cast<unsigned char>((low & 0x0F) | ((high & 0x0F) << 4));
        if (code == 0) break;
        name.append(QLatin1Char(kvcom::NameCharFromImage(code)));
    }
    return name.trimmed();
}

// The entry a file of the history folder `dir` called `name` is; nullopt
// for a file the history did not write.
std::optional<HistoryEntry> EntryOf(const QDir& dir, const QString& name) {
    const QDateTime time = QDateTime::fromString(name.left(kTimeLength), kTimeFormat);
    const bool bank = name.endsWith(QStringLiteral(".ay"));
    if (!time.isValid() || !(bank || name.endsWith(QStringLiteral(".syx")))) return std::nullopt;
    HistoryEntry e;
    e.path = dir.filePath(name);
    e.time = time;
    e.bank = bank;
    e.reason = QFileInfo(name.mid(kTimeLength + 1)).completeBaseName();
    if (!e.bank) e.program_name = ProgramNameOf(e.path);
    return e;
}

}  // namespace

QString CopyTitle(const HistoryEntry& entry, const QDate& today) {
    const QString when = entry.time.date() == today ? entry.time.toString(QStringLiteral("HH:mm"))
                                                    : entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("%1 %2 (from history)").arg(entry.reason, when);
}

HistoryStore::HistoryStore()
    : folder_(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history")) {}

QString HistoryStore::FileName(const QDateTime& time, const QString& reason, const QString& suffix) {
    return time.toString(kTimeFormat) + QLatin1Char(' ') + reason + suffix;
}

bool HistoryStore::KeepProgram(const CDSDATA& model, const QString& reason, QString* why) {
    return Keep(programfile::Encode(model), reason, QStringLiteral(".syx"), why);
}

bool HistoryStore::KeepBank(const QByteArray& bank, const QString& reason, QString* why) {
    return Keep(bank, reason, QStringLiteral(".ay"), why);
}

bool HistoryStore::Keep(const QByteArray& bytes, const QString& reason, const QString& suffix, QString* why) {
    if (!QDir().mkpath(folder_)) {
        if (why) *why = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder_));
        return false;
    }
    // Two entries in the same millisecond still get names of their own.
    QDateTime now = QDateTime::currentDateTime();
    QString path = folder_ + QLatin1Char('/') + FileName(now, reason, suffix);
    while (QFileInfo::exists(path)) {
        now = now.addMSecs(1);
        path = folder_ + QLatin1Char('/') + FileName(now, reason, suffix);
    }
    SafeFileWriter file(SafeFileWriter::Writer::kFolderOwner);
    if (!file.Open(path, why) || !file.Commit(bytes, why)) return false;
    Prune();
    return true;
}

QList<HistoryEntry> HistoryStore::Entries() const {
    QList<HistoryEntry> entries;
    const QDir dir(folder_);
    const QStringList names =
        dir.entryList({QStringLiteral("*.syx"), QStringLiteral("*.ay")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (const QString& name : names)
        if (const std::optional<HistoryEntry> e = EntryOf(dir, name)) entries.append(*e);
    return entries;
}

QString HistoryStore::CopyTitleFor(const QString& path) const {
    if (!LandsInFolder(path, folder_)) return {};
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    if (const std::optional<HistoryEntry> e = EntryOf(file.dir(), file.fileName())) return CopyTitle(*e);
    return QStringLiteral("%1 (from history)").arg(file.completeBaseName());
}

void HistoryStore::Prune() const {
    const QList<HistoryEntry> entries = Entries();
    for (qsizetype i = kMaxEntries; i < entries.size(); ++i) QFile::remove(entries[i].path);
}

}  // namespace history
