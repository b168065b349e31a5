// A whole file written safely: the bytes go to a temporary file beside the
// target, which replaces the target only once every byte is on disk, so a
// failed save never leaves a half-written file behind.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file being written. Opening creates the temporary file next to the
// target; the target itself is untouched until Commit succeeds.
class SafeFileWriter {
public:
    explicit SafeFileWriter(const QString& path);
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool IsOpen() const { return file_.isOpen(); }
    // Writes bytes and renames the temporary file over the target. False
    // when the file never opened or any step failed (the target then keeps
    // its old content and the temporary file is removed).
    bool Commit(const QByteArray& bytes);
    // Why opening or committing failed.
    QString Error() const { return error_; }

private:
    QSaveFile file_;
    QString error_;
};
