// Start-up of the program in this process: the port from the settings, the
// failure message for a port that cannot be opened, the single-instance
// lock, a file named on the command line, and the logo.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
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
#include "modal_answerer.h"
#include "private_settings.h"
#include "kvremote/server.h"
#include "remote/remote_control.h"
#include "widgets/logo.h"

namespace {

const QString kFailedText = QStringLiteral("RS232 Connection failed.\nPlease select another port.");

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
