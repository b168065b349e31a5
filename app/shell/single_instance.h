// The single-instance rule: a named lock that the operating system drops
// when the process ends, however it ends (a crash included), so a stale
// lock never keeps the program from starting.
#pragma once

#include <QString>

class SingleInstanceLock {
public:
    // The lock file <directory>/<name>.lock; an empty directory means the
    // user's runtime directory.
    explicit SingleInstanceLock(const QString& name, const QString& directory = QString());
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock. False when another process (or another lock object in
    // this one) holds it. When the lock file cannot be made at all the
    // rule cannot be enforced, and the program is allowed to run.
    bool TryLock();
    void Unlock();

    QString path() const { return path_; }
    // The process that holds the lock as its file records it, 0 when the
    // file tells none.
    qint64 HolderPid() const;
    // Why the lock file could not be made, when TryLock allowed the run
    // without holding a lock.
    QString problem() const { return problem_; }

    // The user's runtime directory (XDG_RUNTIME_DIR, or a private folder
    // under the temporary directory).
    static QString RuntimeDirectory();

private:
    QString path_;
    QString problem_;
    int fd_ = -1;
};
