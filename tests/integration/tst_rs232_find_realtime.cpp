// Find unit in the RS232 dialog, on real pseudo-terminals: the silent one
// costs its second, the simulator answers; the link stays up throughout.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "pty_pair.h"
#include "pty_port_system.h"
#include "pty_server.h"
#include "settings/dlg_rs232.h"
#include "settings/port_settings.h"
#include "modal_answerer.h"
#include "private_settings.h"
#include "widgets/string_table.h"

class TestRs232FindRealtime : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        RegisterProgramStrings();
        CreateTTYInfo();
    }

    void findUnitChoosesThePortWhereTheUnitAnswers() {
        kvtest::TestSettings settings;
        kvtest::PtyPair link;
        link.AttachAsCom(1);
        rs232_port = 1;
        QVERIFY(OpenConnection() != 0);
        const int link_fd = npTTYInfo->port_handle;
        const QString link_path = QString::fromStdString(link.slave_path());

        kvtest::PtyPair silent;
        kvsim::Device device;
        kvsim::PtyServer server(device);
        const QString sim = QString::fromStdString(server.Start());
        QVERIFY(!sim.isEmpty());
        const QString quiet = QString::fromStdString(silent.slave_path());
        // Remembered for two other COM ports, so the dialog lists them.
        StoreDevice(3, quiet);
        StoreDevice(4, sim);

        CDSDATA model;  // stands for the document's model, which the view hands over
        CDlgRS232 dlg(nullptr, &model);
        kvtest::PtyPortSystem system;
        dlg.setPortSystem(&system);
        dlg.portButton(2)->setChecked(true);
        QVERIFY(!dlg.findButton()->isHidden());  // offered with a model
        dlg.findButton()->click();

        QCOMPARE(dlg.chosenDevice(2), sim);
        QCOMPARE(dlg.deviceEdit()->text(), sim);
        QVERIFY2(dlg.statusLabel()->text().contains(sim), qPrintable(dlg.statusLabel()->text()));
        QString sim_state, quiet_state, link_state;
        for (int i = 0; i < dlg.portList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = dlg.portList()->topLevelItem(i);
            if (item->data(0, Qt::UserRole).toString() == sim) sim_state = item->text(2);
            if (item->data(0, Qt::UserRole).toString() == quiet) quiet_state = item->text(2);
            if (item->data(0, Qt::UserRole).toString() == link_path) link_state = item->text(2);
        }
        QCOMPARE(sim_state, QStringLiteral("unit answered"));
        QCOMPARE(quiet_state, QStringLiteral("no answer"));
        QCOMPARE(link_state, QStringLiteral("unit connected (this program's link)"));
        // The link's own port was left alone: the same open port, never closed.
        QCOMPARE(npTTYInfo->connected.load(), 1);
        QCOMPARE(npTTYInfo->port_handle, link_fd);
        QCOMPARE(rs232_port, 1);
        CloseConnection();
        for (int p = 1; p <= 4; ++p) SetPortDevicePath(p, nullptr);
    }
};

QTEST_MAIN(TestRs232FindRealtime)
#include "tst_rs232_find_realtime.moc"
