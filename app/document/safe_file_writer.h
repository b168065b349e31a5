// A whole file written safely: the bytes go to a temporary file beside the
// target, which replaces the target only once every byte is on disk, so a
// failed save never leaves a half-written file behind.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file being written. Opening creates the temporary file next to the
// target; the target itself is untouched until Commit succeeds. Like every
// file step of the program, each step returns false on failure and says
// why in *why (when why is not null).
class SafeFileWriter {
public:
    SafeFileWriter() = default;
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool Open(const QString& path, QString* why);
    // Writes bytes and renames the temporary file over the target. False
    // when the file is not open or any step failed (the target then keeps
    // its old content and the temporary file is removed).
    bool Commit(const QByteArray& bytes, QString* why);

private:
    QSaveFile file_;
};
