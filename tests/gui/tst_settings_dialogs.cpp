// The Figuration and RS232 dialogs, and the About dialog's texts.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "pty_pair.h"
#include "settings/dlg_figuration.h"
#include "settings/dlg_rs232.h"
#include "shell/about_dlg.h"
#include "modal_answerer.h"
#include "private_settings.h"
#include "widgets/string_table.h"

class TestSettingsDialogs : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::TestSettings> settings_;

private slots:
    void initTestCase() {
        RegisterProgramStrings();  // as start-up does
        CreateTTYInfo();
    }
    void init() { settings_ = std::make_unique<kvtest::TestSettings>(); }
    void cleanup() {
        CloseConnection();
        settings_.reset();
    }

    void figurationOpensOnTheModel_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("Mono") << 0 << 0 << "Mono" << false;
        QTest::newRow("2 Channel 3 Way linked") << 1 << 1 << "2 Channel 3 Way" << true;
        QTest::newRow("3 Channel 2 Way unlinked") << 2 << 0 << "3 Channel 2 Way" << true;
    }

    void figurationOpensOnTheModel() {
        QFETCH(int, figuration);
        QFETCH(int, link);
        QFETCH(QString, shown);
        QFETCH(bool, enabled);
        CDSDATA m;
        m.figuration = static_cast<char>(figuration);
        m.link_on = link;
        CDlgFiguration dlg(m);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Figuration"));
        QCOMPARE(dlg.configurationList()->currentText(), shown);
        QCOMPARE(dlg.stereoLinkBox()->isChecked(), link != 0);
        QCOMPARE(dlg.stereoLinkBox()->isEnabled(), enabled);
        QCOMPARE(dlg.stereoLinkBox()->text(), QStringLiteral("Stereo Link"));
    }

    void figurationSelectionRules() {
        CDSDATA m;
        m.figuration = 2;
        m.link_on = 0;
        CDlgFiguration dlg(m);
        QComboBox* list = dlg.configurationList();
        QCheckBox* box = dlg.stereoLinkBox();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(1), QStringLiteral("2 Channel 3 Way"));
        list->setCurrentIndex(0);
        QVERIFY(!box->isChecked());
        QVERIFY(!box->isEnabled());
        list->setCurrentIndex(1);
        QVERIFY(box->isChecked());
        QVERIFY(box->isEnabled());
        box->setChecked(false);
        list->setCurrentIndex(2);
        QVERIFY(box->isChecked());  // set again, whatever it was
        // Nothing reaches the model before OK.
        QCOMPARE(int(m.figuration), 2);
        QCOMPARE(m.link_on, 0);
        box->setChecked(false);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(int(m.figuration), 2);
        QCOMPARE(m.link_on, 0);
    }

    void figurationOkStoresAndCancelDoesNot() {
        CDSDATA m;
        {
            CDlgFiguration dlg(m);
            dlg.configurationList()->setCurrentIndex(1);
            dlg.reject();
        }
        QCOMPARE(int(m.figuration), 0);
        QCOMPARE(m.link_on, 0);
        CDlgFiguration dlg(m);
        dlg.configurationList()->setCurrentIndex(1);
        dlg.accept();
        QCOMPARE(int(m.figuration), 1);
        QCOMPARE(m.link_on, 1);
    }

    void rs232OpensOnTheStoredPort() {
        {
            CDlgRS232 dlg;  // nothing stored: COM1
            QCOMPARE(dlg.windowTitle(), QStringLiteral("RS232"));
            QVERIFY(dlg.portButton(1)->isChecked());
        }
        kvtest::TestSettings::SetValue(QStringLiteral("Settings/RS232Port"), 4);
        {
            CDlgRS232 dlg;
            QCOMPARE(dlg.selectedPort(), 4);
        }
        kvtest::TestSettings::SetValue(QStringLiteral("Settings/RS232Port"), 9);
        CDlgRS232 dlg;
        QCOMPARE(dlg.selectedPort(), 0);  // out of range: none set
        for (int p = 1; p <= 4; ++p) QCOMPARE(dlg.portButton(p)->text(), QStringLiteral("COM%1").arg(p));
    }

    void com3StoresAndReopensAtOnce() {
        kvtest::PtyPair pty;
        QVERIFY(pty.ok());
        pty.AttachAsCom(3);
        kvtest::ModalAnswerer answers;
        CDlgRS232 dlg;
        dlg.portButton(3)->setChecked(true);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(answers.seen.isEmpty());
        QCOMPARE(kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).toInt(), 3);
        QCOMPARE(kvtest::TestSettings::Value(QStringLiteral("Settings/RS232PortString")).toString(),
                 QStringLiteral("COM3"));
        QCOMPARE(rs232_port, 3);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QCOMPARE(int(npTTYInfo->port_number), 3);
    }

    void rs232CancelLeavesTheLinkAlone() {
        kvtest::PtyPair pty;
        pty.AttachAsCom(1);
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
        CDlgRS232 dlg;
        dlg.portButton(2)->setChecked(true);
        dlg.reject();
        QCOMPARE(rs232_port, 1);
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QVERIFY(!kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).isValid());
    }

    void portThatCannotBeOpenedIsReported() {
        qputenv("KVCOM_COM2", "/nonexistent/ttyKV2");
        kvtest::ModalAnswerer answers;
        CDlgRS232 dlg;
        dlg.show();
        dlg.portButton(2)->setChecked(true);
        dlg.accept();
        qunsetenv("KVCOM_COM2");
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].title, QStringLiteral("KALVORE"));
        QCOMPARE(answers.seen[0].text, QStringLiteral("RS232 Connection failed.\nPlease select another port."));
        QVERIFY(answers.seen[0].informative.contains(QStringLiteral("/nonexistent/ttyKV2")));
        // Still open for another choice; the choice was stored all the same.
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        QCOMPARE(kvtest::TestSettings::Value(QStringLiteral("Settings/RS232Port")).toInt(), 2);
        QCOMPARE(npTTYInfo->connected.load(), 0);
    }

    void aboutShowsTheFixedTexts() {
        CAboutDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("About"));
        QCOMPARE(dlg.versionLabel()->text(), QStringLiteral("OV758 Version 2.30   "));
        QCOMPARE(dlg.buildLabel()->text(), QStringLiteral("Build:2009-08-23"));
        QCOMPARE(dlg.makerLabel()->text(), QStringLiteral("ORVETH"));
        QVERIFY(!dlg.noticeLabel()->text().isEmpty());
    }
};

QTEST_MAIN(TestSettingsDialogs)
#include "tst_settings_dialogs.moc"
