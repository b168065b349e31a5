// The built program run as separate processes: a second start is refused
// with exit code 1 while the first keeps running, and the lock of a process
// that dies (killed, as in a crash) does not keep the next start out.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "pty_pair.h"

namespace {

// The program as built, named by the build (KV_PROGRAM_758).
QString ProgramPath() { return QStringLiteral(KV_PROGRAM_758); }

}  // namespace

class TestShellProcess : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    kvtest::PtyPair pty_;

    // A private home, runtime folder and settings; no display; COM1 on a
    // pseudo-terminal.
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("KVCOM_COM1"), QString::fromStdString(pty_.slave_path()));
        return env;
    }

    void Start(QProcess& p) {
        p.setProcessEnvironment(Environment());
        p.start(ProgramPath(), {});
        QVERIFY2(p.waitForStarted(5000), qPrintable(p.errorString()));
    }

    // Until process p holds the lock: its id is written into the lock file
    // once the lock is taken. (Probing by taking the lock ourselves could
    // turn a starting instance away.)
    bool WaitForLockHeld(const QProcess& p) {
        QFile file(QDir(home_.filePath(QStringLiteral("run"))).filePath(QStringLiteral("KALVORE.lock")));
        for (int i = 0; i < 200; ++i) {
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray pid = file.readAll().trimmed();
                file.close();
                if (pid == QByteArray::number(p.processId())) return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    void Stop(QProcess& p) {
        if (p.state() == QProcess::NotRunning) return;
        p.kill();
        p.waitForFinished(5000);
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(ProgramPath()), qPrintable(ProgramPath()));
        QVERIFY(home_.isValid());
        QVERIFY(pty_.ok());
        QDir().mkpath(home_.filePath(QStringLiteral("run")));
        QFile::setPermissions(home_.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void secondInstanceEndsWithCode1() {
        QProcess first;
        Start(first);
        QVERIFY2(WaitForLockHeld(first), first.readAllStandardError().constData());

        QProcess second;
        Start(second);
        QVERIFY2(second.waitForFinished(10000), "the second instance did not end by itself");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("Error: Application is running!"));

        // The first is not disturbed.
        QVERIFY(!first.waitForFinished(300));
        QCOMPARE(first.state(), QProcess::Running);
        Stop(first);
    }

    void killedInstanceDoesNotBlockTheNext() {
        QProcess crashed;
        Start(crashed);
        QVERIFY(WaitForLockHeld(crashed));
        Stop(crashed);  // SIGKILL: no chance to clean up

        QProcess next;
        Start(next);
        QVERIFY(WaitForLockHeld(next));
        QVERIFY(!next.waitForFinished(300));
        QCOMPARE(next.state(), QProcess::Running);
        Stop(next);
    }
};

QTEST_MAIN(TestShellProcess)
#include "tst_shell_process.moc"
