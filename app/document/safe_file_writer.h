// A whole file written safely: the bytes go to a temporary file beside the
// target, which replaces the target only once every byte is on disk, so a
// failed save never leaves a half-written file behind.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <functional>

// A file being written. Opening creates the temporary file next to the
// target; the target itself is untouched until Commit succeeds. Like every
// file step of the program, each step returns false on failure and says
// why in *why (when why is not null).
class SafeFileWriter {
public:
    // Who writes: anyone, or the owner of a reserved folder.
    enum class Writer { kAnyone, kFolderOwner };
    explicit SafeFileWriter(Writer writer = Writer::kAnyone) : writer_(writer) {}
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Refuses (for anyone but the owner) a path in a reserved folder, or in
    // a folder below it, however the path reaches it.
    bool Open(const QString& path, QString* why);
    // Writes bytes and renames the temporary file over the target. False
    // when the file is not open or any step failed (the target then keeps
    // its old content and the temporary file is removed).
    bool Commit(const QByteArray& bytes, QString* why);

    // A folder only its owner writes into (the history's), asked at every
    // Open; `why` says what it is ("where the program keeps its history,
    // and only the history writes there"). One per owner; released when the
    // owner goes.
    static void ReserveFolder(const void* owner, std::function<QString()> folder, const QString& why);
    static void ReleaseFolder(const void* owner);

private:
    Writer writer_;
    QSaveFile file_;
};

// Whether a file at `path` lands in `folder` or a folder below it, however
// the path reaches it (links resolved).
bool LandsInFolder(const QString& path, const QString& folder);
