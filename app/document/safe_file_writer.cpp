#include "document/safe_file_writer.h"

SafeFileWriter::SafeFileWriter(const QString& path) : file_(path) {
    // Never write straight into the target, even where no temporary file
    // can be made: the old file must survive a failed save.
    file_.setDirectWriteFallback(false);
    // Unbuffered, so a short write (the disk full) shows in write()'s count:
    // a buffered flush can lose it and let commit() replace the old file
    // with a truncated one.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) error_ = file_.errorString();
}

bool SafeFileWriter::Commit(const QByteArray& bytes) {
    if (!file_.isOpen()) return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            error_ = file_.errorString();
            file_.cancelWriting();
            file_.commit();  // removes the temporary file; the target stays
            return false;
        }
        done += n;
    }
    if (!file_.commit()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}
