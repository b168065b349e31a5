// Device commands on a line that is down, or goes down on the way, through
// the recording transport: one clear message, nothing changed, nothing
// marked used, and how far an operation came when it stopped.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "scripted_user.h"
#include "memory_table_bytes.h"
#include "routing/my758_view.h"
#include "file_helpers.h"
#include "modal_answerer.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

using namespace kvtest;

namespace {

void FillMemory(const CDSDATA& model, int m, const char* name) {
    const QByteArray image = ImageOf(model, m, name);
    std::memcpy(prog_save[m], image.constData(), std::size_t(image.size()));
    prog_len[m] = int(image.size());
    std::memset(data_name[m], 0, sizeof data_name[m]);
    std::strcpy(data_name[m], name);
    data_memoryb[m] = 1;
}

bool SaysNotConnected(const QString& text) {
    return text.contains(QStringLiteral("not connected")) && text.contains(QStringLiteral("Config > RS232"));
}

}  // namespace

class TestLinkCommands : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void init() {
        CDSDATA reset;  // construction empties the memory table
        ResetReception();
    }

    // Every memory-manager command on a dead port: one message, no
    // question, nothing on the line, the table and the file untouched.
    void memoryCommandsOnADeadPort_data() {
        QTest::addColumn<QString>("command");
        for (const char* c : {"Refresh", "Store", "Recall", "Store All", "Save All"}) QTest::newRow(c) << c;
    }
    void memoryCommandsOnADeadPort() {
        QFETCH(QString, command);
        CDSDATA model;
        FillMemory(model, 2, "KEEP2");
        model.mem_num = 5;  // empty: a Store must not mark it used
        const Bytes before = MemoryTableBytes();
        WireRecorder rec;
        rec.up = false;
        CDlgMemory d(model);
        QSignalSpy finished(&d, &QDialog::finished);
        ScriptedUser user;
        user.typed_name = QStringLiteral("GHOST5");
        user.save_path = dir_.filePath(QStringLiteral("dead.ay"));
        user.Attach(d);

        if (command == QLatin1String("Refresh")) d.refresh();
        if (command == QLatin1String("Store")) d.store();
        if (command == QLatin1String("Recall")) d.recall();
        if (command == QLatin1String("Store All")) d.storeAll();
        if (command == QLatin1String("Save All")) d.saveAll();

        QCOMPARE(user.told.size(), 1);
        QVERIFY2(SaysNotConnected(user.told.first()), qPrintable(user.told.first()));
        QVERIFY(user.questions.isEmpty());
        QVERIFY(user.name_prompts.isEmpty());
        QVERIFY(rec.events.empty());
        QVERIFY(MemoryTableBytes() == before);
        QCOMPARE(data_memoryb[5], 0);
        QVERIFY(!QFile::exists(user.save_path));
        QCOMPARE(int(model.mem_num), 5);
        QCOMPARE(finished.count(), 0);
    }

    // A Store that loses the line part way leaves the list as it was and
    // stays open.
    void storeLostPartWayLeavesTheList() {
        CDSDATA model;
        model.mem_num = 5;
        const Bytes before = MemoryTableBytes();
        WireRecorder rec;
        rec.unplug_at_write = 3;
        CDlgMemory d(model);
        QSignalSpy finished(&d, &QDialog::finished);
        ScriptedUser user;
        user.typed_name = QStringLiteral("GHOST5");
        user.Attach(d);
        d.store();
        QCOMPARE(data_memoryb[5], 0);
        QCOMPARE(TableName(5), QStringLiteral("<None>"));
        QVERIFY(MemoryTableBytes() == before);
        QCOMPARE(user.told.size(), 1);
        QVERIFY2(user.told.first().contains(QStringLiteral("Failed to store memory")) &&
                     user.told.first().contains(QStringLiteral("was lost")),
                 qPrintable(user.told.first()));
        QCOMPARE(finished.count(), 0);
    }

    // Store All pulled at a given write says how far it came. The used
    // memories go from 60 down, then the working program.
    void storeAllSaysHowFarItCame_data() {
        QTest::addColumn<int>("unplug_at_write");
        QTest::addColumn<QString>("said");
        QTest::newRow("prelude") << 2 << "stored 0 of 4 memories; the link was lost before the first memory";
        QTest::newRow("first memory") << 4 << "stored 0 of 4 memories; the link was lost at memory 60";
        QTest::newRow("third memory") << 6 << "stored 2 of 4 memories; the link was lost at memory 20";
        QTest::newRow("working program") << 8 << "stored 4 of 4 memories; the link was lost at the working program";
    }
    void storeAllSaysHowFarItCame() {
        QFETCH(int, unplug_at_write);
        QFETCH(QString, said);
        CDSDATA model;
        for (int m : {60, 45, 20, 2}) FillMemory(model, m, "M");
        WireRecorder rec;
        rec.unplug_at_write = unplug_at_write;
        CDlgMemory d(model);
        ScriptedUser user;
        user.Attach(d);
        d.storeAll();
        QCOMPARE(user.told.size(), 1);
        QVERIFY2(user.told.first().contains(said), qPrintable(user.told.first()));
    }

    // Save All without a whole list writes no file: the bank there stays.
    void saveAllAfterAFailedListWritesNoFile_data() {
        QTest::addColumn<bool>("pulled");
        QTest::newRow("silent unit") << false;
        QTest::newRow("line pulled") << true;
    }
    void saveAllAfterAFailedListWritesNoFile() {
        QFETCH(bool, pulled);
        const QString path = dir_.filePath(QStringLiteral("good.ay"));
        const QByteArray old(35760, 'g');
        WriteAll(path, old);
        CDSDATA model;
        WireRecorder rec;
        if (pulled) rec.unplug_at_write = 1;
        CDlgMemory d(model);
        ScriptedUser user;
        user.save_path = path;
        user.Attach(d);
        d.saveAll();
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("good.ay")});
        QCOMPARE(user.told.size(), 1);
        QVERIFY2(user.told.first().contains(QStringLiteral("was not written")), qPrintable(user.told.first()));
    }

    // Upload and Download on a dead port: one message, the model and the
    // document as they were.
    void viewCommandsOnADeadPort_data() {
        QTest::addColumn<bool>("download");
        QTest::newRow("Upload") << false;
        QTest::newRow("Download") << true;
    }
    void viewCommandsOnADeadPort() {
        QFETCH(bool, download);
        ShellFixture shell;
        shell.model().mem_num = 7;
        const QByteArray before = ImageOf(shell.model());
        WireRecorder rec;
        rec.up = false;
        ModalAnswerer answers;
        if (download)
            shell.view()->onDownload();
        else
            shell.view()->onUpload();
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(SaysNotConnected(answers.seen[0].text), qPrintable(answers.seen[0].text));
        QCOMPARE(ImageOf(shell.model()), before);
        QCOMPARE(int(shell.model().mem_num), 7);
        QVERIFY(!shell.doc().IsModified());
        QVERIFY(rec.events.empty());
    }

    // A Download that loses the line part way says so and leaves the
    // document modified, so it is not dropped unasked.
    void downloadLostPartWayLeavesTheDocumentModified() {
        ShellFixture shell;
        WireRecorder rec;
        rec.unplug_at_write = 3;
        ModalAnswerer answers;
        answers.ThenAccept();  // the memory-name prompt
        shell.view()->onDownload();
        QVERIFY(shell.doc().IsModified());
        QCOMPARE(answers.seen.size(), 2);
        QVERIFY2(answers.seen[1].text.contains(QStringLiteral("Download to the unit failed")),
                 qPrintable(answers.seen[1].text));
    }
};

QTEST_MAIN(TestLinkCommands)
#include "tst_link_commands.moc"
