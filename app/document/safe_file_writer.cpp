#include "document/safe_file_writer.h"

namespace {

bool Fail(const QSaveFile& file, QString* why) {
    if (why) *why = file.errorString();
    return false;
}

}  // namespace

bool SafeFileWriter::Open(const QString& path, QString* why) {
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
