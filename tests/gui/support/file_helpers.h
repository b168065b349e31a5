// Test helpers for files on disk: whole-file reads and writes, and a limit
// on how large a file may grow, to make a save fail part-way.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace kvtest {

// The whole file, or nothing when it cannot be opened.
inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Runs `write` while files may grow to `limit` bytes only: a write past it
// fails (EFBIG) instead of the process being stopped.
template <typename Write>
void WithFileSizeLimit(rlim_t limit, Write&& write) {
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = limit;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    write();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
}

}  // namespace kvtest
