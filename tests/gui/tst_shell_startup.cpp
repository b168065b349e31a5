// Start-up of the program in this process: the port from the settings, the
// failure message for a port that cannot be opened, the single-instance
// lock, a file named on the command line, a window for one unit of a rack,
// and the logo.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>
#include <csignal>

#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "document/program_file.h"
#include "pty_pair.h"
#include "routing/my758_view.h"
#include "settings/dlg_rs232.h"
#include "shell/main_frame.h"
#include "shell/my758_app.h"
#include "shell/single_instance.h"
#include "settings/port_settings.h"
#include <kvports/port_lock.h>
#include <kvports/port_system.h>
#include "modal_answerer.h"
#include "private_settings.h"
#include "kvremote/server.h"
#include "remote/remote_control.h"
#include "widgets/logo.h"

namespace {

const QString kFailedText = QStringLiteral("RS232 Connection failed.\nPlease select another port.");

// A message box's words: its text without the markup that keeps paths whole.
QString Words(const QString& text) {
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText();
}

// The resource file as built beside the program, named by the build.
QString BuiltResourceFile() { return QStringLiteral(KV_RESOURCE_FILE); }

}  // namespace

class TestShellStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::TestSettings> settings_;
    std::unique_ptr<QTemporaryDir> lock_dir_;
    std::unique_ptr<CMy758App> app_;

    CMy758App& NewApp() {
        app_ = std::make_unique<CMy758App>();
        app_->setLockDirectory(lock_dir_->path());
        app_->setResourceSearchPath({QStringLiteral("/nonexistent/kalvore.rcc")});
        return *app_;
    }

private slots:
    void init() {
        settings_ = std::make_unique<kvtest::TestSettings>();
        lock_dir_ = std::make_unique<QTemporaryDir>();
        qunsetenv("KVCOM_COM1");
        qunsetenv("KVCOM_COM2");
    }

    void cleanup() {
        app_.reset();
        CloseConnection();
        settings_.reset();
    }

    void noStoredPortMeansCom1() {
        kvtest::PtyPair pty;
        QVERIFY(pty.ok());
        pty.AttachAsCom(1);
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kRunning);
        QCOMPARE(rs232_port, 1);
        QVERIFY(npTTYInfo != nullptr);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QCOMPARE(int(npTTYInfo->port_number), 1);
        QVERIFY(answers.seen.isEmpty());
        QVERIFY(app_->frame()->isVisible());
        QCOMPARE(app_->frame()->windowTitle(), QStringLiteral("NoTitle[*] - KALVORE"));
    }

    void fileSizeLimitCannotKillTheProgram() {
        std::signal(SIGXFSZ, SIG_DFL);
        kvtest::ModalAnswerer answers;
        NewApp().InitInstance({});
        QVERIFY(std::signal(SIGXFSZ, SIG_DFL) == SIG_IGN);  // Qt 6.4 cannot QCOMPARE handler pointers
    }

    void storedPortIsOpened() {
        kvtest::TestSettings::SetValue(QStringLiteral("Settings/RS232Port"), 2);
        kvtest::PtyPair pty;
        pty.AttachAsCom(2);
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kRunning);
        QCOMPARE(rs232_port, 2);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QVERIFY(answers.seen.isEmpty());
    }

    void missingPortIsReportedOnceAndAnotherCanBeChosen() {
        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kRunning);
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].title, QStringLiteral("KALVORE"));
        QCOMPARE(answers.seen[0].text, kFailedText);
        QVERIFY2(answers.seen[0].informative.contains(QStringLiteral("/nonexistent/ttyKV1")),
                 qPrintable(answers.seen[0].informative));
        QCOMPARE(npTTYInfo->connected.load(), 0);

        // The window stays usable: Config/RS232 picks a port that works.
        CMainFrame* frame = app_->frame();
        QVERIFY(frame->isVisible() && frame->isEnabled());
        kvtest::PtyPair pty;
        pty.AttachAsCom(2);
        answers.Then([](QWidget* w) {
            auto* dlg = qobject_cast<CDlgRS232*>(w);
            QVERIFY(dlg);
            dlg->portButton(2)->setChecked(true);
            dlg->accept();
        });
        frame->action(CMainFrame::ID_RS232)->trigger();
        QCOMPARE(answers.pending(), 0);
        QCOMPARE(answers.seen.size(), 2);
        QCOMPARE(rs232_port, 2);
        QCOMPARE(npTTYInfo->connected.load(), 1);
    }

    // The remote-control server starts with the program when its settings
    // say so; a port that is taken is said in the status bar and the program
    // runs on without it; a second instance never starts one.
    void theRemoteServerStartsWithTheProgram_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("port_taken");
        QTest::addColumn<bool>("second_instance");
        QTest::addColumn<bool>("running");
        QTest::newRow("off") << false << false << false << false;
        QTest::newRow("on") << true << false << false << true;
        QTest::newRow("on, its port taken") << true << true << false << false;
        QTest::newRow("on, a second instance") << true << false << true << false;
    }
    void theRemoteServerStartsWithTheProgram() {
        QFETCH(bool, enabled);
        QFETCH(bool, port_taken);
        QFETCH(bool, second_instance);
        QFETCH(bool, running);
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost, 0));
        const quint16 port = other.serverPort();
        if (!port_taken) other.close();
        kvtest::TestSettings::SetValue(QStringLiteral("Remote/Enabled"), enabled);
        kvtest::TestSettings::SetValue(QStringLiteral("Remote/HttpPort"), port);
        kvtest::TestSettings::SetValue(QStringLiteral("Remote/OscPort"), 0);
        SingleInstanceLock first(QStringLiteral("KALVORE"), lock_dir_->path());
        if (second_instance) QVERIFY(first.TryLock());
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        kvtest::ModalAnswerer answers;
        NewApp().InitInstance({});
        remote::RemoteControl* control = app_->frame()->remoteControl();
        QCOMPARE(control->Running(), running);
        if (running) QCOMPARE(control->server().HttpPort(), port);
        const QString said = app_->frame()->statusBar()->currentMessage();
        QCOMPARE(said.contains(QStringLiteral("HTTP port %1").arg(port)), port_taken);
        QCOMPARE(answers.seen.size(), second_instance ? 1 : 0);
    }

    void secondInstanceIsRefused() {
        SingleInstanceLock first(QStringLiteral("KALVORE"), lock_dir_->path());
        QVERIFY(first.TryLock());
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kAlreadyRunning);
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(answers.seen[0].text, QStringLiteral("Application is running!"));
        // It never touched the port.
        QVERIFY(npTTYInfo == nullptr || npTTYInfo->connected.load() == 0);
    }

    // 758 --unit ALIAS / --port PATH: the unit's port in this process alone,
    // a lock of its own beside the program's, the unit in title and status
    // bar; refusals name the rack file's place and the reason.
    void aWindowForOneUnit_data() {
        QTest::addColumn<QStringList>("args");  // "PTY" stands for the unit's port
        QTest::addColumn<QString>("held");      // a lock someone else holds: "program", "port" or ""
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("unit");  // the name in the title and status bar ("" for none)
        QTest::addColumn<QString>("said");  // the one message, "" for none
        const int running = int(CMy758App::StartResult::kRunning);
        const int failed = int(CMy758App::StartResult::kFailed);
        const int refused = int(CMy758App::StartResult::kAlreadyRunning);
        const QString rack = QStringLiteral("--rack=RACK");
        QTest::newRow("alias") << QStringList{rack, QStringLiteral("--unit"), QStringLiteral("main-l")} << QString()
                               << running << QStringLiteral("main-l (PTY)") << QString();
        QTest::newRow("alias beside the program")
            << QStringList{QStringLiteral("--unit=main-l"), rack} << QStringLiteral("program") << running
            << QStringLiteral("main-l (PTY)") << QString();
        QTest::newRow("port, named by the rack") << QStringList{QStringLiteral("--port"), QStringLiteral("PTY"), rack}
                                                 << QString() << running << QStringLiteral("main-l (PTY)") << QString();
        QTest::newRow("port alone") << QStringList{QStringLiteral("--port"), QStringLiteral("PTY")} << QString()
                                    << running << QStringLiteral("PTY") << QString();
        QTest::newRow("its port already open")
            << QStringList{rack, QStringLiteral("--unit"), QStringLiteral("main-l")} << QStringLiteral("port")
            << refused << QString()
            << QStringLiteral("The unit main-l (PTY) is already open in another 758 (PID %1).")
                   .arg(QCoreApplication::applicationPid());
        QTest::newRow("port alone already open")
            << QStringList{QStringLiteral("--port"), QStringLiteral("PTY")} << QStringLiteral("port") << refused
            << QString()
            << QStringLiteral("The unit on PTY is already open in another 758 (PID %1).")
                   .arg(QCoreApplication::applicationPid());
        QTest::newRow("the program beside a unit")
            << QStringList{} << QStringLiteral("port") << running << QString() << QString();
        QTest::newRow("unknown alias") << QStringList{rack, QStringLiteral("--unit"), QStringLiteral("nobody")}
                                       << QString() << failed << QString()
                                       << QStringLiteral("RACK: the rack has no unit 'nobody' (its units: main-l)");
        QTest::newRow("no rack file") << QStringList{QStringLiteral("--unit"), QStringLiteral("main-l")} << QString()
                                      << failed << QString()
                                      << QStringLiteral("CONFIG/KALVORE/rack.json: cannot be read");
        QTest::newRow("a port that is none")
            << QStringList{QStringLiteral("--port"), QStringLiteral("COM9")} << QString() << failed << QString()
            << QStringLiteral("--port: COM9 names no port (COM1..COM4 or a device)");
        QTest::newRow("both") << QStringList{QStringLiteral("--port=PTY"), QStringLiteral("--unit=main-l")} << QString()
                              << failed << QString()
                              << QStringLiteral(
                                     "--unit: and --port cannot go together: the rack names the unit's port");
    }
    void aWindowForOneUnit() {
        QFETCH(QStringList, args);
        QFETCH(QString, held);
        QFETCH(int, result);
        QFETCH(QString, unit);
        QFETCH(QString, said);
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        kvtest::PtyPair pty;
        QVERIFY(pty.ok());
        const QString port = QString::fromStdString(pty.slave_path());
        const QString rack_file = config.filePath(QStringLiteral("rack.json"));
        {
            QFile f(rack_file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral(R"({"units": [{"alias": "main-l", "port": "%1"}]})").arg(port).toUtf8());
        }
        auto fill = [&](QString text) {
            return text.replace(QStringLiteral("RACK"), rack_file)
                .replace(QStringLiteral("CONFIG"), config.path())
                .replace(QStringLiteral("PTY"), port);
        };
        for (QString& a : args) a = fill(a);
        // The stored choice: COM2, on a device that is not there.
        kvtest::TestSettings::SetValue(QStringLiteral("Settings/RS232Port"), 2);
        kvtest::TestSettings::SetValue(QStringLiteral("Settings/RS232Device2"), QStringLiteral("/nonexistent/ttyKV2"));
        const QString stored_before = kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).toString();

        SingleInstanceLock other(held == QLatin1String("program")
                                     ? QStringLiteral("KALVORE")
                                     : QString::fromStdString(kvports::PortLockName(
                                           "KALVORE", kvports::PortLockKey(kvports::HostSystem(), port.toStdString()))),
                                 lock_dir_->path());
        if (!held.isEmpty()) QVERIFY(other.TryLock());
        kvtest::ModalAnswerer answers;
        QCOMPARE(int(NewApp().InitInstance(args)), result);
        qunsetenv("XDG_CONFIG_HOME");

        const bool plain = args.isEmpty();
        QCOMPARE(answers.seen.size(), int(!said.isEmpty()) + int(plain));  // the program: its port message
        if (!said.isEmpty()) QCOMPARE(Words(answers.seen[0].text), fill(said));
        // The shared choice is never written by a window for one unit.
        QCOMPARE(kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).toString(), stored_before);
        QVERIFY(!kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Device1")).isValid());
        if (result != int(CMy758App::StartResult::kRunning)) {
            QVERIFY(npTTYInfo == nullptr || npTTYInfo->connected.load() == 0);
            return;
        }
        CMainFrame* frame = app_->frame();
        auto* pane = frame->statusBar()->findChild<QLabel*>(QStringLiteral("unitNamePane"));
        if (plain) {
            QCOMPARE(frame->windowTitle(), QStringLiteral("NoTitle[*] - KALVORE"));
            QVERIFY(pane == nullptr);
            QCOMPARE(rs232_port, 2);
            return;
        }
        QCOMPARE(frame->windowTitle(), fill(unit) + QStringLiteral(" - NoTitle[*] - KALVORE"));
        QVERIFY(pane != nullptr);
        QCOMPARE(pane->text(), fill(unit));
        // The link is on the unit's port.
        QCOMPARE(EffectiveDevice(rs232_port), port);
        QCOMPARE(npTTYInfo->connected.load(), 1);

        // RS232 would move the window off its unit and store the shared
        // port: it says why not instead.
        frame->action(CMainFrame::ID_RS232)->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].class_name, QStringLiteral("QMessageBox"));
        QVERIFY2(Words(answers.seen[0].text).contains(fill(unit)), qPrintable(answers.seen[0].text));
        QCOMPARE(kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).toString(), stored_before);
    }

    // After a window for one unit, a start without options is the program's
    // again: stored port, its own title, RS232 offered.
    void theProgramAfterAUnit() {
        kvtest::PtyPair unit;
        NewApp().InitInstance({QStringLiteral("--port"), QString::fromStdString(unit.slave_path())});
        app_.reset();
        CloseConnection();
        qunsetenv("KVCOM_COM1");
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kRunning);
        QCOMPARE(app_->frame()->windowTitle(), QStringLiteral("NoTitle[*] - KALVORE"));
        answers.ThenReject();
        app_->frame()->action(CMainFrame::ID_RS232)->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].class_name, QStringLiteral("CDlgRS232"));
    }

    void commandLineFileIsOpenedAndKept() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("show.syx"));
        CDSDATA edited;
        edited.figuration = 2;
        edited.InitData();
        edited.out_gain[3] = 55;
        edited.ina_delay = 480;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(programfile::Encode(edited));
        }
        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        kvtest::ModalAnswerer answers;  // the port message
        QCOMPARE(NewApp().InitInstance({path}), CMy758App::StartResult::kRunning);
        QCOMPARE(app_->frame()->windowTitle(), QStringLiteral("show.syx[*] - KALVORE"));
        // The model holds the file, not factory values.
        const CDSDATA& m = app_->document()->Model();
        QCOMPARE(int(m.figuration), 2);
        QCOMPARE(m.out_gain[3], 55);
        QCOMPARE(m.ina_delay, 480);
        QVERIFY(app_->view()->button(1156)->isVisibleTo(app_->view()));
    }

    void unreadableCommandLineFileEndsStartUp() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.syx"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(programfile::Encode(CDSDATA()) + QByteArray(3000, '\0'));
        }
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({path}), CMy758App::StartResult::kFailed);
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY(answers.seen[0].text.contains(QStringLiteral("big.syx")));
    }

    void logoFromTheOutsideResourceFile() {
        QVERIFY(LoadLogo({QStringLiteral("/nonexistent/kalvore.rcc")}).isNull());
        QVERIFY2(QFile::exists(BuiltResourceFile()), qPrintable(BuiltResourceFile()));
        const QPixmap logo = LoadLogo({QStringLiteral("/nonexistent/kalvore.rcc"), BuiltResourceFile()});
        QVERIFY(!logo.isNull());
        // The file is let go again after loading.
        QVERIFY(!QFile::exists(QStringLiteral(":/kalvore-outside/logo.png")));

        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        kvtest::ModalAnswerer answers;
        CMy758App& app = NewApp();
        app.setResourceSearchPath({BuiltResourceFile()});
        QCOMPARE(app.InitInstance({}), CMy758App::StartResult::kRunning);
        QVERIFY(!app.view()->logoControl()->pixmap().isNull());
    }

    void noLogoWithoutTheFileAndNothingSaid() {
        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        kvtest::ModalAnswerer answers;
        QCOMPARE(NewApp().InitInstance({}), CMy758App::StartResult::kRunning);
        QVERIFY(app_->view()->logoControl()->pixmap().isNull());
        QCOMPARE(answers.seen.size(), 1);  // only the port message
    }

    void withoutADisplayMessagesGoToStandardError() {
        qputenv("KVCOM_COM1", "/nonexistent/ttyKV1");
        kvtest::ModalAnswerer answers;
        CMy758App& app = NewApp();
        app.setMessageMode(CMy758App::MessageMode::kStderr);
        QCOMPARE(app.InitInstance({}), CMy758App::StartResult::kRunning);
        QVERIFY(answers.seen.isEmpty());
    }
};

QTEST_MAIN(TestShellStartup)
#include "tst_shell_startup.moc"
