// The shell's parts that need no window: program files, the single-instance
// lock, the key-lock indicators, the string table and the port diagnosis.
#include <QFile>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <kvcom/kvcom.h>

#include "document/program_file.h"
#include "settings/port_problem.h"
#include "shell/lock_keys.h"
#include "shell/single_instance.h"
#include "shell_fixture.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"

namespace {

// A model with something in every kind of field the image carries.
CDSDATA EditedModel() {
    CDSDATA m;
    m.figuration = 1;
    m.link_on = 1;
    m.InitData();
    m.out_gain[2] = 40;
    m.out_limit[4] = -10;
    m.out_delay[5] = 1234;
    m.out_polarity[1] = 1;
    m.out_mute[0] = 0;
    m.ina_delay = 777;
    std::strcpy(m.prog_name, "LIVE1");
    return m;
}

}  // namespace

class TestShellUnits : public QObject {
    Q_OBJECT

private slots:
    void programFileIsHeaderThenImage() {
        const CDSDATA m = EditedModel();
        const QByteArray file = programfile::Encode(m);
        QCOMPARE(file.left(4), QByteArray("\x50\x01\x00\x00", 4));
        QCOMPARE(file.mid(4), kvtest::ImageOf(m));
    }

    void programFileRoundTrip() {
        const CDSDATA saved = EditedModel();
        CDSDATA loaded;
        QVERIFY(programfile::Decode(programfile::Encode(saved), "x.syx", loaded, nullptr));
        QCOMPARE(int(loaded.figuration), 1);
        QCOMPARE(loaded.link_on, 1);
        QCOMPARE(loaded.out_gain[2], 40);
        QCOMPARE(loaded.out_limit[4], -10);
        QCOMPARE(loaded.out_delay[5], 1234);
        QCOMPARE(loaded.out_polarity[1], 1);
        QCOMPARE(loaded.out_mute[0], 0);
        QCOMPARE(loaded.ina_delay, 777);
        QCOMPARE(QByteArray(loaded.prog_name).trimmed(), QByteArray("LIVE1"));
        // Read with the image at offset 4: writing it again gives the same image.
        QCOMPARE(kvtest::ImageOf(loaded), kvtest::ImageOf(saved));
    }

    void refusedFilesLeaveTheModelAlone_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why");
        const QByteArray good = programfile::Encode(CDSDATA());
        const QString too_short = QStringLiteral("x.syx is too short to hold a program.");
        const QString not_program = QStringLiteral("x.syx is not a Kalvore program file.");
        QTest::newRow("longer than 3000 bytes")
            << (good + QByteArray(3001 - good.size(), '\x0F'))
            << QStringLiteral("x.syx is too long for a program file (more than 3000 bytes).");
        QTest::newRow("empty") << QByteArray() << too_short;
        QTest::newRow("cut short") << good.left(493) << too_short;
        QByteArray wrong_header = good;
        wrong_header[1] = '\x02';
        QTest::newRow("other header") << wrong_header << not_program;
        QByteArray no_image = good;
        no_image[4] = '\x00';
        QTest::newRow("no image") << no_image << not_program;
    }

    void refusedFilesLeaveTheModelAlone() {
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        CDSDATA m = EditedModel();
        const QByteArray before = kvtest::ImageOf(m);
        QString said;
        QVERIFY(!programfile::Decode(file, "x.syx", m, &said));
        QCOMPARE(kvtest::ImageOf(m), before);
        QCOMPARE(int(m.figuration), 1);
        QCOMPARE(said, why);
    }

    void longestAcceptedFile() {
        // Exactly 3000 bytes is still read; the bytes after the image are
        // named in the note.
        QByteArray file = programfile::Encode(CDSDATA());
        file.append(QByteArray(3000 - file.size(), '\0'));
        CDSDATA m;
        QString note;
        QVERIFY(programfile::Decode(file, "x.syx", m, nullptr, &note));
        QVERIFY2(note.contains(QStringLiteral("cannot be read")), qPrintable(note));
    }

    void singleInstanceLock() {
        QTemporaryDir dir;
        SingleInstanceLock first(QStringLiteral("KALVORE"), dir.path());
        SingleInstanceLock second(QStringLiteral("KALVORE"), dir.path());
        QVERIFY(first.TryLock());
        QVERIFY(first.problem().isEmpty());
        QVERIFY(!second.TryLock());
        // Another name is another lock.
        SingleInstanceLock other(QStringLiteral("OTHER"), dir.path());
        QVERIFY(other.TryLock());
        first.Unlock();
        QVERIFY(second.TryLock());
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("KALVORE.lock"))));
    }

    void lockGoesWithItsOwner() {
        QTemporaryDir dir;
        {
            SingleInstanceLock held(QStringLiteral("KALVORE"), dir.path());
            QVERIFY(held.TryLock());
        }
        // The file stays behind, but nobody holds it: no stale lock.
        SingleInstanceLock next(QStringLiteral("KALVORE"), dir.path());
        QVERIFY(next.TryLock());
    }

    void lockInAnUnusableFolderDoesNotBlockTheProgram() {
        SingleInstanceLock lock(QStringLiteral("KALVORE"), QStringLiteral("/nonexistent/folder"));
        QVERIFY(lock.TryLock());
        QVERIFY(!lock.problem().isEmpty());
    }

    void lockKeysFromLeds() {
        QTemporaryDir dir;
        auto led = [&dir](const QString& name, const char* brightness) {
            QDir(dir.path()).mkpath(name);
            QFile f(dir.filePath(name + QStringLiteral("/brightness")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(brightness);
        };
        led(QStringLiteral("input3::capslock"), "0\n");
        led(QStringLiteral("input7::capslock"), "1\n");
        led(QStringLiteral("input3::numlock"), "0\n");
        led(QStringLiteral("phy0-led"), "1\n");
        const LockKeyState s = ReadLockKeys(dir.path());
        QVERIFY(s.caps.has_value() && *s.caps);  // any keyboard with it lit
        QVERIFY(s.num.has_value() && !*s.num);
        QVERIFY(!s.scroll.has_value());  // no LED: left out

        const LockKeyState none = ReadLockKeys(QStringLiteral("/nonexistent"));
        QVERIFY(!none.caps && !none.num && !none.scroll);
    }

    // The LEDs win where they tell; XKB fills in the keys they do not;
    // a key neither tells stays out of the status bar.
    void lockKeysFromLedsThenXkb() {
        using K = std::optional<bool>;
        struct Case {
            K led, xkb, shown;
        };
        const Case cases[] = {
            {true, false, true}, {false, true, false}, {{}, true, true}, {{}, false, false}, {{}, {}, {}},
        };
        for (const Case& c : cases) {
            const LockKeyState merged = MergeLockKeys({c.led, c.led, c.led}, {c.xkb, c.xkb, c.xkb});
            QCOMPARE(merged.caps, c.shown);
            QCOMPARE(merged.num, c.shown);
            QCOMPARE(merged.scroll, c.shown);
        }
        const LockKeyState mixed = MergeLockKeys({true, {}, {}}, {false, true, {}});
        QCOMPARE(mixed.caps, K(true));
        QCOMPARE(mixed.num, K(true));
        QCOMPARE(mixed.scroll, K());
        // Without an X server (these tests run offscreen) XKB tells nothing.
        const LockKeyState xkb = ReadLockKeysFromXkb();
        QVERIFY(!xkb.caps && !xkb.num && !xkb.scroll);
    }

    void stringTableThroughTheLibrary() {
        RegisterProgramStrings();
        QCOMPARE(QByteArray(TalsenLoadRCStr(1)), QByteArray("KALVORE"));
        QCOMPARE(QByteArray(TalsenLoadRCStr(2)), QByteArray("Application is running!"));
        QCOMPARE(QByteArray(TalsenLoadRCStr(3)), QByteArray("Error"));
        QCOMPARE(QByteArray(TalsenLoadRCStr(4)), QByteArray("RS232 Connection failed.\r\nPlease select another port."));
        QCOMPARE(QByteArray(TalsenLoadRCStr(5)), QByteArray("KALVORE"));
        QCOMPARE(QByteArray(TalsenLoadRCStr(6)), QByteArray(""));
        QCOMPARE(LoadProgramString(IDS_RS232_FAILED),
                 QStringLiteral("RS232 Connection failed.\nPlease select another port."));
    }

    void documentTemplateAndCommandStrings() {
        QCOMPARE(DocTemplateField(kDocDefaultName), QStringLiteral("NoTitle"));
        QCOMPARE(DocTemplateField(kDocFilter), QStringLiteral("Kalvore Files (*.syx)"));
        QCOMPARE(DocTemplateField(kDocExtension), QStringLiteral(".syx"));
        const CommandText upload = SplitCommandString(kCmdUpload);
        QCOMPARE(upload.prompt, QStringLiteral("Fetch the unit's working program into the PC"));
        QCOMPARE(upload.tooltip, QStringLiteral("Upload: fetch the unit's working program into the PC"));
        QCOMPARE(SplitCommandString("Only a prompt").tooltip, QString());
    }

    // A path is never broken across lines; the rest of the text stays as
    // it was written.
    void pathsStayWholeInMessages_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no path") << "Recall fail!"
                                 << "Recall fail!";
        QTest::newRow("a word with a slash") << "and/or"
                                             << "and/or";
        QTest::newRow("busy") << "/dev/ttyUSB0 is in use by minicom (PID 4242)."
                              << "<qt><nobr>/dev/ttyUSB0</nobr> is in use by minicom (PID 4242).</qt>";
        QTest::newRow("full stop after the path")
            << "There is no device /dev/serial/by-id/usb-FTDI_FT232R-if00-port0. Check the cable."
            << "<qt>There is no device <nobr>/dev/serial/by-id/usb-FTDI_FT232R-if00-port0</nobr>. Check the "
               "cable.</qt>";
        QTest::newRow("marks and lines") << "A & B\n(/tmp/x<y)"
                                         << "<qt>A &amp; B<br>(<nobr>/tmp/x&lt;y</nobr>)</qt>";
    }
    void pathsStayWholeInMessages() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(KeepPathsWhole(text), shown);
    }

    // A short message under a long caption leaves room for the caption and
    // the title bar's icon and buttons, so the caption is not cut ("K...E").
    void messageBoxIsAsWideAsItsCaption() {
        const QString caption = QStringLiteral("KALVORE KALVORE KALVORE KALVORE KALVORE KALVORE");
        QMessageBox box(QMessageBox::NoIcon, caption, QStringLiteral("Recall fail!"), QMessageBox::Ok);
        PrepareMessageBox(box);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const int title = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(caption);
        QVERIFY2(box.width() >= title + 150, qPrintable(QStringLiteral("%1 for %2").arg(box.width()).arg(title)));
    }

    void probeFollowsThePortVariable() {
        qputenv("KVCOM_COM4", "/nonexistent/tty-for-test");
        const int kept = rs232_port;
        rs232_port = 4;
        CreateTTYInfo();
        QCOMPARE(OpenConnection(), 0);
        const kvports::OpenFailure s = ProbePort(4);
        DestroyTTYInfo();
        rs232_port = kept;
        qunsetenv("KVCOM_COM4");
        QCOMPARE(s.path, std::string("/nonexistent/tty-for-test"));
        QCOMPARE(s.error, ENOENT);  // the cause comes from the library's open
        QVERIFY(s.group.empty());
    }
};

QTEST_MAIN(TestShellUnits)
#include "tst_shell_units.moc"
