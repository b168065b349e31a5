// Config > Remote control...: what it offers first, the token rules, what it
// stores in the settings file and how private that file is, a port that is
// taken, the server's pane in the status bar, and the QR code drawn sharp at
// scale 1 and 2. Servers here listen on the loopback address only.
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

#include "kvremote/server.h"
#include "remote/dlg_remote.h"
#include "remote/qr_code.h"
#include "remote/remote_control.h"
#include "shell_fixture.h"

namespace {

// A port nobody listens on just now (bounded: the kernel picks it).
quint16 FreePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

int ModeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 0777);
}

QString SettingsFile() { return QSettings().fileName(); }

}  // namespace

class TestRemoteDialog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    remote::RemoteControl& control() { return *shell_->frame().remoteControl(); }

    // The dialog with the controls set as `s` says, then OK pressed.
    bool Ok(CDlgRemote& d, const remote::RemoteSettings& s) {
        d.enabledBox()->setChecked(s.enabled);
        const int index = d.addressList()->findData(s.address);
        if (index < 0) return false;
        d.addressList()->setCurrentIndex(index);
        d.httpPortBox()->setValue(s.http_port);
        d.oscPortBox()->setValue(s.osc_port);
        d.tokenEdit()->setText(s.token);
        d.readOnlyTokenEdit()->setText(s.read_only_token);
        d.allowResetBox()->setChecked(s.allow_reset);
        d.accept();
        return d.result() == QDialog::Accepted;
    }

private slots:
    void init() { shell_ = std::make_unique<kvtest::ShellFixture>(); }
    void cleanup() { shell_.reset(); }

    void offersTheDefaultsFirst() {
        CDlgRemote d(control(), &shell_->frame());
        QVERIFY(d.Settings() == remote::RemoteSettings{});
        QVERIFY(!d.enabledBox()->isChecked());
        QCOMPARE(d.addressList()->currentData().toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(d.addressList()->itemData(d.addressList()->count() - 1).toString(), QStringLiteral("all"));
        QCOMPARE(d.httpPortBox()->value(), 8758);
        QCOMPARE(d.oscPortBox()->value(), 9758);
        QVERIFY(d.tokenEdit()->text().isEmpty());
        QVERIFY(!d.allowResetBox()->isChecked());
        QVERIFY(!control().Running());
    }

    // Each press makes another token of 128 bits, shown whole.
    void newTokensAreRandomAndWhole() {
        CDlgRemote d(control(), &shell_->frame());
        const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
        QSet<QString> seen;
        for (QPushButton* button : {d.newTokenButton(), d.newReadOnlyTokenButton()}) {
            for (int i = 0; i < 3; ++i) {
                button->click();
                const QString token =
                    button == d.newTokenButton() ? d.tokenEdit()->text() : d.readOnlyTokenEdit()->text();
                QVERIFY2(hex.match(token).hasMatch(), qPrintable(token));
                QVERIFY(!seen.contains(token));
                seen.insert(token);
            }
        }
        QVERIFY(d.tokenEdit()->isReadOnly());
    }

    // Who may start a server: off the loopback only with a token, never
    // one token for both rights. A refusal stays in the dialog, stores and
    // starts nothing.
    void tokenRules_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("read_only");
        QTest::addColumn<QString>("refusal");  // empty: accepted
        const QString t = QStringLiteral("0123456789abcdef0123456789abcdef");
        QTest::newRow("loopback, no token") << "127.0.0.1"
                                            << ""
                                            << ""
                                            << "";
        QTest::newRow("loopback, a token") << "127.0.0.1" << t << ""
                                           << "";
        QTest::newRow("all addresses, no token") << "all"
                                                 << ""
                                                 << ""
                                                 << "needs a token";
        QTest::newRow("all addresses, read-only token alone") << "all"
                                                              << "" << t << "needs a token";
        QTest::newRow("one token for both") << "127.0.0.1" << t << t << "must differ";
    }
    void tokenRules() {
        QFETCH(QString, address);
        QFETCH(QString, token);
        QFETCH(QString, read_only);
        QFETCH(QString, refusal);
        CDlgRemote d(control(), &shell_->frame());
        remote::RemoteSettings s;
        s.enabled = true;
        s.address = address;
        s.http_port = FreePort();
        s.osc_port = 0;
        s.token = token;
        s.read_only_token = read_only;
        const bool accepted = Ok(d, s);
        QCOMPARE(accepted, refusal.isEmpty());
        QCOMPARE(control().Running(), refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QVERIFY2(d.noteLabel()->text().contains(refusal), qPrintable(d.noteLabel()->text()));
            QVERIFY(!QSettings().contains(QStringLiteral("Remote/Enabled")));
        }
    }

    // What OK stores is what the next start-up reads, and the server it
    // starts answers on the port asked for.
    void settingsAreStoredAndRead() {
        remote::RemoteSettings s;
        s.enabled = true;
        s.http_port = FreePort();
        s.osc_port = 0;
        s.token = QString::fromStdString(kvremote::NewToken());
        s.read_only_token = QString::fromStdString(kvremote::NewToken());
        s.allow_reset = true;
        {
            CDlgRemote d(control(), &shell_->frame());
            QVERIFY(Ok(d, s));
        }
        QSettings stored;
        QCOMPARE(stored.value(QStringLiteral("Remote/Enabled")).toBool(), true);
        QCOMPARE(stored.value(QStringLiteral("Remote/Address")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(stored.value(QStringLiteral("Remote/HttpPort")).toInt(), int(s.http_port));
        QCOMPARE(stored.value(QStringLiteral("Remote/Token")).toString(), s.token);
        QCOMPARE(stored.value(QStringLiteral("Remote/ReadOnlyToken")).toString(), s.read_only_token);
        QCOMPARE(stored.value(QStringLiteral("Remote/AllowReset")).toBool(), true);
        QVERIFY(remote::ReadRemoteSettings() == s);
        QCOMPARE(control().server().HttpPort(), s.http_port);

        // A server running as asked goes on when OK changes nothing.
        CDlgRemote again(control(), &shell_->frame());
        QVERIFY(again.Settings() == s);
        QSignalSpy restarted(&control(), &remote::RemoteControl::stateChanged);
        again.accept();
        QCOMPARE(again.result(), int(QDialog::Accepted));
        QCOMPARE(restarted.count(), 0);

        // Off stops it; the tokens stay for the next time.
        CDlgRemote off(control(), &shell_->frame());
        off.enabledBox()->setChecked(false);
        off.accept();
        QVERIFY(!control().Running());
        QCOMPARE(remote::ReadRemoteSettings().token, s.token);
    }

    // The tokens are passwords: the settings file is the user's alone
    // before one is written, stays so when other settings are written after,
    // and a file left readable by others is mended at start-up.
    void theSettingsFileIsPrivateOnceItHoldsAToken() {
        QSettings().setValue(QStringLiteral("Recent File List/File1"), QStringLiteral("/tmp/a.syx"));
        QSettings().sync();
        QVERIFY(::chmod(QFile::encodeName(SettingsFile()).constData(), 0644) == 0);

        remote::RemoteSettings s;
        s.token = QString::fromStdString(kvremote::NewToken());
        QString why;
        QVERIFY2(remote::WriteRemoteSettings(s, &why), qPrintable(why));
        QCOMPARE(ModeOf(SettingsFile()), 0600);
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(), QStringLiteral("/tmp/a.syx"));

        QSettings later;
        later.setValue(QStringLiteral("Recent File List/File2"), QStringLiteral("/tmp/b.syx"));
        later.sync();
        QCOMPARE(ModeOf(SettingsFile()), 0600);

        QVERIFY(::chmod(QFile::encodeName(SettingsFile()).constData(), 0644) == 0);
        QVERIFY(!remote::SettingsFileIsPrivate());
        QVERIFY2(control().StartFromSettings(&why), qPrintable(why));  // off, but the file is looked at
        QCOMPARE(ModeOf(SettingsFile()), 0600);
    }

    // A port another program holds: said in the dialog, naming the port;
    // the dialog stays open and nothing runs.
    void aTakenPortIsSaid() {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::LocalHost, 0));
        CDlgRemote d(control(), &shell_->frame());
        remote::RemoteSettings s;
        s.enabled = true;
        s.http_port = other.serverPort();
        s.osc_port = 0;
        QVERIFY(!Ok(d, s));
        QVERIFY(!control().Running());
        const QString note = d.noteLabel()->text();
        QVERIFY2(note.contains(QStringLiteral("HTTP port %1").arg(other.serverPort())) &&
                     note.contains(QStringLiteral("did not start")),
                 qPrintable(note));
    }

    // The status bar says that the server runs; it is gone when it stops.
    void theStatusBarShowsTheServer() {
        auto* pane = shell_->frame().statusBar()->findChild<QLabel*>(QStringLiteral("remotePane"));
        QVERIFY(pane);
        QVERIFY(!pane->isVisibleTo(&shell_->frame()));
        remote::RemoteSettings s;
        s.enabled = true;
        s.http_port = FreePort();
        s.osc_port = 0;
        QString why;
        QVERIFY2(control().Apply(s, &why), qPrintable(why));
        QVERIFY(pane->isVisibleTo(&shell_->frame()));
        QCOMPARE(pane->text(), QStringLiteral("Remote: on"));
        QVERIFY(pane->toolTip().contains(QStringLiteral("http://127.0.0.1:%1/").arg(s.http_port)));
        control().Stop();
        QVERIFY(!pane->isVisibleTo(&shell_->frame()));
    }

    // Every module a square of whole device pixels, at scale 1 and 2: the
    // picture matches the symbol pixel for pixel, quiet zone included.
    void theQrCodeIsSharp_data() {
        QTest::addColumn<qreal>("dpr");
        QTest::newRow("scale 1") << 1.0;
        QTest::newRow("scale 2") << 2.0;
    }
    void theQrCodeIsSharp() {
        QFETCH(qreal, dpr);
        const QByteArray url = "http://192.168.1.20:8758/?token=0123456789abcdef0123456789abcdef";
        const remote::QrModules symbol = remote::EncodeQr(url);
        QVERIFY(symbol.size >= 21);
        const QPixmap pixmap = remote::QrPixmap(url, 3, dpr);
        const int px = qRound(3 * dpr);
        const int side = (symbol.size + 2 * remote::kQrQuietModules) * px;
        QCOMPARE(pixmap.size(), QSize(side, side));
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        const QImage image = pixmap.toImage();
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int mx = x / px - remote::kQrQuietModules, my = y / px - remote::kQrQuietModules;
                const bool inside = mx >= 0 && my >= 0 && mx < symbol.size && my < symbol.size;
                const QRgb want = inside && symbol.Dark(mx, my) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
                if (image.pixel(x, y) != want) QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        // Finder patterns where a reader looks for them.
        QVERIFY(symbol.Dark(0, 0) && symbol.Dark(6, 6) && !symbol.Dark(7, 7) && symbol.Dark(symbol.size - 1, 0));
    }

    // The dialog offers the page with its token as a QR code once a tablet
    // can reach the server, and the read-only token for watching only.
    void theDialogShowsThePageForATablet() {
        CDlgRemote d(control(), &shell_->frame());
        d.enabledBox()->setChecked(true);
        QVERIFY(d.qrLabel()->pixmap().isNull());  // 127.0.0.1 reaches no tablet
        QVERIFY(d.qrLabel()->text().contains(QStringLiteral("cannot reach")));
        d.addressList()->setCurrentIndex(d.addressList()->findData(QStringLiteral("all")));
        d.newTokenButton()->click();
        d.newReadOnlyTokenButton()->click();
        QVERIFY(!d.qrLabel()->pixmap().isNull());
        QVERIFY(d.pageEdit()->text().endsWith(QStringLiteral(":8758/?token=") + d.tokenEdit()->text()));
        d.watchOnlyBox()->setChecked(true);
        QVERIFY(d.pageEdit()->text().endsWith(QStringLiteral("?token=") + d.readOnlyTokenEdit()->text()));
    }
};

QTEST_MAIN(TestRemoteDialog)
#include "tst_remote_dialog.moc"
