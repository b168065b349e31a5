#include "document/safe_file_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

bool Fail(const QSaveFile& file, QString* why) {
    if (why) *why = file.errorString();
    return false;
}

struct ReservedFolder {
    std::function<QString()> folder;
    QString why;
};

QHash<const void*, ReservedFolder>& Reserved() {
    static QHash<const void*, ReservedFolder> reserved;
    return reserved;
}

// The reserved folder `path` lands in (or below), as *folder with its
// reason; false for none.
bool InReservedFolder(const QString& path, QString* folder, QString* why) {
    for (const ReservedFolder& r : std::as_const(Reserved()))
        if (LandsInFolder(path, r.folder())) {
            *folder = r.folder();
            *why = r.why;
            return true;
        }
    return false;
}

}  // namespace

bool LandsInFolder(const QString& path, const QString& folder) {
    // The folder the file lands in, every link resolved (a link to a file
    // too); nothing lands in a folder that does not exist.
    const QFileInfo file(path);
    const QString lands = file.exists() ? QFileInfo(file.canonicalFilePath()).absolutePath()
                                        : QFileInfo(file.absolutePath()).canonicalFilePath();
    const QString target = QFileInfo(folder).canonicalFilePath();
    if (lands.isEmpty() || target.isEmpty()) return false;
    return lands == target || lands.startsWith(target + QLatin1Char('/'));
}

void SafeFileWriter::ReserveFolder(const void* owner, std::function<QString()> folder, const QString& why) {
    Reserved().insert(owner, {std::move(folder), why});
}

void SafeFileWriter::ReleaseFolder(const void* owner) { Reserved().remove(owner); }

bool SafeFileWriter::Open(const QString& path, QString* why) {
    QString folder, what;
    if (writer_ == Writer::kAnyone && InReservedFolder(path, &folder, &what)) {
        if (why)
            *why = QCoreApplication::translate("SafeFileWriter", "%1 is %2. Choose another folder.")
                       .arg(QDir::toNativeSeparators(folder), what);
        return false;
    }
    file_.setFileName(path);
    // Never write straight into the target, even where no temporary file
    // can be made: the old file must survive a failed save.
    file_.setDirectWriteFallback(false);
    // Unbuffered, so a short write (the disk full) shows in write()'s count:
    // a buffered flush can lose it and let commit() replace the old file
    // with a truncated one.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Fail(file_, why);
    return true;
}

bool SafeFileWriter::Commit(const QByteArray& bytes, QString* why) {
    if (!file_.isOpen()) return Fail(file_, why);
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file_.errorString();
            file_.cancelWriting();
            file_.commit();  // removes the temporary file; the target stays
            if (why) *why = reason;
            return false;
        }
        done += n;
    }
    if (!file_.commit()) return Fail(file_, why);
    return true;
}
