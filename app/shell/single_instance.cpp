#include "shell/single_instance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstanceLock::SingleInstanceLock(const QString& name, const QString& directory) {
    const QString dir = directory.isEmpty() ? RuntimeDirectory() : directory;
    path_ = QDir(dir).filePath(name + QStringLiteral(".lock"));
}

SingleInstanceLock::~SingleInstanceLock() { Unlock(); }

QString SingleInstanceLock::RuntimeDirectory() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    return dir;
}

bool SingleInstanceLock::TryLock() {
    if (fd_ >= 0) return true;
    problem_.clear();
    // An flock() belongs to the open file: the kernel releases it when the
    // descriptor closes, which includes the end of the process. Close-on-exec
    // keeps programs started from here from inheriting it.
    const QByteArray native = QFile::encodeName(path_);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem_ = QString::fromLocal8Bit(std::strerror(errno));
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return false;
        problem_ = QString::fromLocal8Bit(std::strerror(err));
        return true;
    }
    // Record the holder for anyone looking at the file; the lock itself is
    // what counts.
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, pid.constData(), static_cast<size_t>(pid.size()));
    }
    fd_ = fd;
    return true;
}

qint64 SingleInstanceLock::HolderPid() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    bool ok = false;
    const qint64 pid = file.read(32).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

void SingleInstanceLock::Unlock() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
