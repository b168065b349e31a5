// The memory manager against the simulated unit on a pseudo-terminal, at
// the line's own pace: what Store All writes, Refresh lists again.
#include <QTableWidget>
#include <QtTest>

#include <cstring>

#include "scripted_user.h"
#include "pty_server.h"

using namespace kvtest;

class TestMemoryRealtime : public QObject {
    Q_OBJECT

private slots:
    void storeAllThenRefreshListsEveryMemory() {
        kvsim::Device device;
        kvsim::PtyServer server(device);
        const std::string path = server.Start();
        QVERIFY(!path.empty());
        qputenv("KVCOM_COM1", QByteArray::fromStdString(path));
        rs232_port = 1;
        QVERIFY(CreateTTYInfo());
        QVERIFY(OpenConnection());

        CDSDATA model;  // every memory empty
        model.figuration = 1;
        model.InitData();
        const struct {
            int memory;
            const char* name;
        } kept[] = {{2, "A-B=C#1"}, {45, "FORTY5"}};
        for (const auto& k : kept) {
            const QByteArray image = ImageOf(model, k.memory, k.name);
            std::memcpy(prog_save[k.memory], image.constData(), std::size_t(image.size()));
            prog_len[k.memory] = int(image.size());
        }

        {
            CDlgMemory d(model);
            ScriptedUser user;  // Store All without a copy of the unit's memories
            user.Attach(d);
            d.storeAll();  // about six seconds on the line
            QCOMPARE(d.ResultFlag(), 1);
        }
        server.WithDevice([](kvsim::Device& dev) { QCOMPARE(dev.MemoryAt(45).name, std::string("FORTY5  ")); });

        CDSDATA forget;  // the PC's table is emptied; the unit must fill it
        CDlgMemory d(model);
        d.refresh();
        auto* list = d.findChild<QTableWidget*>();
        for (int m = 1; m <= 60; ++m) {
            const QString name = m == 2    ? QStringLiteral("A-B=C#1 ")
                                 : m == 45 ? QStringLiteral("FORTY5  ")
                                           : QStringLiteral("<None>");
            QCOMPARE(list->item(m - 1, 1)->text(), name);
            QCOMPARE(data_memoryb[m], (m == 2 || m == 45) ? 1 : 0);
        }
        CloseConnection();
        server.Stop();
    }
};

QTEST_MAIN(TestMemoryRealtime)
#include "tst_memory_realtime.moc"
