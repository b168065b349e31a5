// The device behind each COM port in the RS232 dialog: stored per port and
// handed to the library, typed paths that cannot be a serial port refused
// without touching the link, and the status-bar pane of the link.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "pty_pair.h"
#include "pty_port_system.h"
#include "settings/dlg_rs232.h"
#include "settings/port_problem.h"
#include "settings/port_settings.h"
#include "shell/main_frame.h"
#include "modal_answerer.h"
#include "private_settings.h"
#include "widgets/string_table.h"

namespace {

// The test's own pseudo-terminals as the machine, noting every device the
// dialog opens for a look and whether the link was up at each question.
class WatchedPorts final : public kvports::PortSystem {
public:
    std::vector<std::string> opened;
    int asked_while_link_down = 0;

    std::vector<kvports::RawPort> EnumeratePorts() override { return Note(), inner_.EnumeratePorts(); }
    bool UartPresent(const std::string& path) override { return Note(), inner_.UartPresent(path); }
    std::vector<kvports::StableLink> StableLinks() override { return Note(), inner_.StableLinks(); }
    kvports::NodeInfo Inspect(const std::string& path) override { return Note(), inner_.Inspect(path); }
    int Access(const std::string& path) override { return Note(), inner_.Access(path); }
    std::vector<kvports::Holder> Holders(unsigned long long rdev) override { return Note(), inner_.Holders(rdev); }
    int TryOpen(const std::string& path) override {
        Note();
        opened.push_back(path);
        return inner_.TryOpen(path);
    }

private:
    void Note() {
        if (LinkConnected() == 0) ++asked_while_link_down;
    }
    kvtest::PtyPortSystem inner_;
};

QVariant Stored(const QString& key) { return kvtest::TestSettings::Value(QStringLiteral("Settings/") + key); }

}  // namespace

class TestRs232Devices : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::TestSettings> settings_;

private slots:
    void initTestCase() {
        RegisterProgramStrings();
        CreateTTYInfo();
    }
    void init() {
        settings_ = std::make_unique<kvtest::TestSettings>();
        for (int p = 1; p <= 4; ++p) qunsetenv(QStringLiteral("KVCOM_COM%1").arg(p).toLatin1().constData());
    }
    void cleanup() {
        CloseConnection();
        for (int p = 1; p <= 4; ++p) SetPortDevicePath(p, nullptr);
        settings_.reset();
    }

    void deviceChoiceRoundTrip() {
        kvtest::PtyPair pty;
        QVERIFY(pty.ok());
        const QString path = QString::fromStdString(pty.slave_path());
        {
            CDlgRS232 dlg;
            dlg.portButton(2)->setChecked(true);
            QVERIFY(dlg.deviceEdit()->text().isEmpty());
            QCOMPARE(dlg.deviceEdit()->placeholderText(), QStringLiteral("/dev/ttyS1"));
            QTest::keyClicks(dlg.deviceEdit(), path);
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(Stored(QStringLiteral("RS232Device2")).toString(), path);
        QVERIFY(!Stored(QStringLiteral("RS232Device1")).isValid());
        QCOMPARE(Stored(QStringLiteral("RS232Port")).toInt(), 2);
        QCOMPARE(EffectiveDevice(2), path);
        QCOMPARE(npTTYInfo->connected.load(), 1);

        // A fresh start hands the stored device to the library again.
        SetPortDevicePath(2, nullptr);
        QCOMPARE(EffectiveDevice(2), QStringLiteral("/dev/ttyS1"));
        rs232_port = 1;
        ApplyStoredPortChoice();
        QCOMPARE(EffectiveDevice(2), path);
        QCOMPARE(rs232_port, 2);

        // The dialog shows it for COM2 only; the edit follows the COM port.
        CDlgRS232 again;
        QCOMPARE(again.selectedPort(), 2);
        QCOMPARE(again.deviceEdit()->text(), path);
        again.portButton(1)->setChecked(true);
        QVERIFY(again.deviceEdit()->text().isEmpty());
        again.portButton(2)->setChecked(true);
        QCOMPARE(again.deviceEdit()->text(), path);
        // Clearing it goes back to the built-in port.
        again.deviceEdit()->selectAll();
        QTest::keyClick(again.deviceEdit(), Qt::Key_Backspace);
        kvtest::ModalAnswerer answers;  // /dev/ttyS1 may not open here
        again.accept();
        QVERIFY(!Stored(QStringLiteral("RS232Device2")).isValid());
        QCOMPARE(EffectiveDevice(2), QStringLiteral("/dev/ttyS1"));
    }

    void unusablePathIsRefusedAndChangesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("/dev/null") << "null"
                                   << "it is not a serial port";
        QTest::newRow("folder") << "folder"
                                << "it is a folder, not a device";
        QTest::newRow("file") << "file"
                              << "it is not a device";
        QTest::newRow("vanished by-id link") << "link"
                                             << "which is not there";
        QTest::newRow("relative") << "relative"
                                  << "not an absolute path";
    }

    void unusablePathIsRefusedAndChangesNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path;
        if (kind == QLatin1String("null")) path = QStringLiteral("/dev/null");
        if (kind == QLatin1String("folder")) path = dir.path();
        if (kind == QLatin1String("relative")) path = QStringLiteral("ttyUSB0");
        if (kind == QLatin1String("file")) {
            path = dir.filePath(QStringLiteral("notes.txt"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (kind == QLatin1String("link")) {
            path = dir.filePath(QStringLiteral("usb-FTDI_FT232R_A600-if00-port0"));
            QVERIFY(::symlink("../ttyUSB7", QFile::encodeName(path).constData()) == 0);
        }

        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
        kvtest::ModalAnswerer answers;
        CDlgRS232 dlg;
        dlg.show();
        dlg.portButton(3)->setChecked(true);
        QTest::keyClicks(dlg.deviceEdit(), path);
        dlg.accept();

        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(answers.seen[0].text.contains(path) && answers.seen[0].text.contains(QStringLiteral("COM3")) &&
                     answers.seen[0].text.contains(reason),
                 qPrintable(answers.seen[0].text));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QVERIFY(!Stored(QStringLiteral("RS232Device3")).isValid());
        QVERIFY(!Stored(QStringLiteral("RS232Port")).isValid());
        QCOMPARE(EffectiveDevice(3), QStringLiteral("/dev/ttyS2"));
        QCOMPARE(rs232_port, 1);
        QCOMPARE(npTTYInfo->connected.load(), 1);  // the previous link is kept
    }

    void linkPaneNamesThePortInUse() {
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        rs232_port = 1;
        CMy758Doc* doc = new CMy758Doc;
        CMainFrame frame(doc);
        doc->setParent(&frame);
        auto* pane = frame.statusBar()->findChild<QLabel*>(QStringLiteral("linkPane"));
        QVERIFY(pane != nullptr);
        QVERIFY(OpenConnection() != 0);
        const QString path = QString::fromStdString(pty.slave_path());
        QTRY_COMPARE(pane->text(), QStringLiteral("COM1 %1 connected").arg(path));
        CloseConnection();
        QTRY_VERIFY2(pane->text().startsWith(QStringLiteral("COM1 %1 not connected").arg(path)),
                     qPrintable(pane->text()));
    }

    void busyPortIsReportedWithItsHolder() {
        // The link holds the pty; a second open through COM2 finds it busy,
        // and this very process is named as the holder.
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
        const TTYInfo* first = npTTYInfo;
        QVERIFY(first != nullptr);
        SetPortDevicePath(2, pty.slave_path().c_str());
        const int fd = ::dup(npTTYInfo->port_handle);  // keep the device held while the link moves
        rs232_port = 2;
        QCOMPARE(OpenConnection(), 0);  // the old link was closed first, but the flock goes with the open file
        const kvports::OpenFailure s = ProbePort(2);
        ::close(fd);
        rs232_port = 1;
        QCOMPARE(s.error, EBUSY);
        const QString text = PortProblemText(s);
        QVERIFY2(text.contains(QStringLiteral("this program (PID %1)").arg(::getpid())), qPrintable(text));
    }

    // Find unit with the link up leaves the link alone: its device is
    // neither opened nor asked (nothing reaches the unit), the link never
    // drops, and the unit is reported where the link holds it.
    void findUnitLeavesTheLiveLinkAlone() {
        kvtest::PtyPair unit;
        unit.AttachAsCom(1);
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
        const int link_fd = npTTYInfo->port_handle;
        const QString path = QString::fromStdString(unit.slave_path());

        CDSDATA model;
        CDlgRS232 dlg(nullptr, &model);
        WatchedPorts ports;
        dlg.setPortSystem(&ports);
        dlg.portButton(2)->setChecked(true);
        dlg.findButton()->click();

        QCOMPARE(ports.asked_while_link_down, 0);
        QCOMPARE(std::count(ports.opened.begin(), ports.opened.end(), unit.slave_path()), 0);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QCOMPARE(npTTYInfo->port_handle, link_fd);
        pollfd line{unit.master_fd(), POLLIN, 0};
        QCOMPARE(::poll(&line, 1, 0), 0);  // no identity request went out
        QCOMPARE(dlg.portList()->topLevelItemCount(), 1);
        const QTreeWidgetItem* row = dlg.portList()->topLevelItem(0);
        QCOMPARE(row->text(1), QStringLiteral("the link of COM1"));
        QCOMPARE(row->text(2), QStringLiteral("unit connected (this program's link)"));
        QCOMPARE(dlg.chosenDevice(2), path);
        QCOMPARE(
            dlg.statusLabel()->text(),
            QStringLiteral("The unit is on %1, where this program's link is open. OK uses it for COM2.").arg(path));
    }
};

QTEST_MAIN(TestRs232Devices)
#include "tst_rs232_devices.moc"
