// Units of a rack edited side by side: the built 758 started twice with
// --unit on two simulated units runs twice, each on its own unit; a third
// on a port already open is turned away naming the unit; 758 without
// options still runs once beside them; and none of it writes the port
// choice the windows share.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "pty_server.h"

namespace {

QString ProgramPath() { return QStringLiteral(KV_PROGRAM_758); }

struct SimUnit {
    explicit SimUnit(const std::string& log) : server(device, Options(log)) {}
    static kvsim::PtyOptions Options(const std::string& log) {
        kvsim::PtyOptions o;
        o.line_rate = false;
        o.log_path = log;
        return o;
    }
    kvsim::Device device;
    kvsim::PtyServer server;
    QString path;
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestUnitWindowsRealtime : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    std::unique_ptr<SimUnit> units_[2];
    std::vector<std::unique_ptr<QProcess>> started_;
    QByteArray settings_before_;

    QString Run() const { return home_.filePath(QStringLiteral("run")); }
    QString SettingsFile() const { return home_.filePath(QStringLiteral("config/KALVORE/KALVORE.conf")); }
    QString Log(int i) const { return home_.filePath(QStringLiteral("unit%1.log").arg(i)); }

    QProcess& Start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Run());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("KVCOM_COM1"));
        env.remove(QStringLiteral("KVCOM_COM2"));
        p->setProcessEnvironment(env);
        p->start(ProgramPath(), args);
        started_.push_back(std::move(p));
        return *started_.back();
    }

    // Until process p holds the lock of that name: its id is in the file
    // once the lock is taken.
    bool HoldsLock(const QProcess& p, const QString& name) {
        const QString file = QDir(Run()).filePath(name + QStringLiteral(".lock"));
        for (int i = 0; i < 200; ++i) {
            if (ReadAll(file).trimmed() == QByteArray::number(p.processId())) return true;
            QTest::qWait(50);
        }
        return false;
    }

    // The lock of one port: its device path with '/' written %2F.
    static QString PortLock(const QString& port) {
        return QStringLiteral("KALVORE@") + QString(port).replace(QLatin1Char('/'), QStringLiteral("%2F"));
    }

    // Until process p ends by itself; its standard error.
    QByteArray Refused(QProcess& p) {
        if (!p.waitForFinished(15000)) return "did not end by itself";
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 1)
            return "ended with " + QByteArray::number(p.exitCode());
        return p.readAllStandardError();
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(ProgramPath()), qPrintable(ProgramPath()));
        QVERIFY(QDir().mkpath(Run()));
        QFile::setPermissions(Run(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(QDir().mkpath(home_.filePath(QStringLiteral("config/KALVORE"))));
        for (int i = 0; i < 2; ++i) {
            units_[i] = std::make_unique<SimUnit>(Log(i).toStdString());
            units_[i]->path = QString::fromStdString(units_[i]->server.Start());
            QVERIFY(!units_[i]->path.isEmpty());
            // Only /dev/pts/N: PortLock below writes no other escapes.
            QVERIFY(QRegularExpression(QStringLiteral("^/dev/pts/\\d+$")).match(units_[i]->path).hasMatch());
        }
        QFile rack(home_.filePath(QStringLiteral("config/KALVORE/rack.json")));
        QVERIFY(rack.open(QIODevice::WriteOnly));
        rack.write(QStringLiteral(R"({"units": [{"alias": "main-l", "port": "%1", "groups": ["mains"]},
                                                {"alias": "sub", "port": "%2"}]})")
                       .arg(units_[0]->path, units_[1]->path)
                       .toUtf8());
        rack.close();
        // The shared choice: COM2 on a device that is not there.
        QFile settings(SettingsFile());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[Settings]\nRS232Port=2\nRS232Device2=/nonexistent/ttyKV2\n");
        settings.close();
        settings_before_ = ReadAll(SettingsFile());
    }

    void cleanupTestCase() {
        for (auto& p : started_) {
            if (p->state() == QProcess::NotRunning) continue;
            p->kill();
            p->waitForFinished(5000);
        }
        for (auto& u : units_)
            if (u) u->server.Stop();
    }

    void twoUnitsRunSideBySide() {
        QProcess& main_l = Start({QStringLiteral("--unit"), QStringLiteral("main-l")});
        QProcess& sub = Start({QStringLiteral("--unit=sub")});
        QVERIFY2(HoldsLock(main_l, PortLock(units_[0]->path)), main_l.readAllStandardError().constData());
        QVERIFY2(HoldsLock(sub, PortLock(units_[1]->path)), sub.readAllStandardError().constData());
        // Each reads its own unit when its link opens.
        QTRY_VERIFY_WITH_TIMEOUT(!ReadAll(Log(0)).isEmpty() && !ReadAll(Log(1)).isEmpty(), 10000);
        QVERIFY(!main_l.waitForFinished(300));
        QCOMPARE(main_l.state(), QProcess::Running);
        QCOMPARE(sub.state(), QProcess::Running);
    }

    void aThirdOnAnOpenPortIsRefused() {
        QProcess& first = *started_.at(0);
        // By its port, the rack still names the unit in the refusal.
        QProcess& third = Start({QStringLiteral("--port"), units_[0]->path});
        const QByteArray said = Refused(third);
        QVERIFY2(said.contains(QStringLiteral("Error: The unit main-l (%1) is already open in another 758 (PID %2).\n")
                                   .arg(units_[0]->path)
                                   .arg(first.processId())
                                   .toLocal8Bit()),
                 said.constData());
        QCOMPARE(first.state(), QProcess::Running);
    }

    void theProgramStillRunsOnceBesideThem() {
        QProcess& program = Start({});
        QVERIFY2(HoldsLock(program, QStringLiteral("KALVORE")), program.readAllStandardError().constData());
        QProcess& second = Start({});
        const QByteArray said = Refused(second);
        QVERIFY2(said.contains("Error: Application is running!"), said.constData());
        QCOMPARE(program.state(), QProcess::Running);
        for (int i = 0; i < 2; ++i) QCOMPARE(started_.at(i)->state(), QProcess::Running);
    }

    void theSharedPortChoiceIsNotWritten() { QCOMPARE(ReadAll(SettingsFile()), settings_before_); }
};

QTEST_MAIN(TestUnitWindowsRealtime)
#include "tst_unit_windows_realtime.moc"
