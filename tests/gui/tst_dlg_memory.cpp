// The memory manager: its list, the selection rules, and what each button
// does to the memory table, the model and the line.
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QRegularExpression>
#include <QStatusBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "scripted_user.h"
#include "device/device_task.h"
#include "memory/bank_file_io.h"
#include "widgets/icons.h"
#include "wire_recorder.h"

using namespace kvtest;

namespace {

QPushButton* Button(CDlgMemory& d, const char* text) {
    for (QPushButton* b : d.findChildren<QPushButton*>())
        if (b->text() == QLatin1String(text)) return b;
    return nullptr;
}

QTableWidget* List(CDlgMemory& d) { return d.findChild<QTableWidget*>(); }

void MarkUsed(int m, const char* name) {
    std::memset(data_name[m], 0, sizeof data_name[m]);
    std::strcpy(data_name[m], name);
    data_memoryb[m] = 1;
}

QImage IconImage(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

// Answers an image request as the unit would, with `image`.
void AnswerImageRequests(WireRecorder& rec, const QByteArray& image) {
    rec.on_write = [image](const Bytes& msg) {
        if (msg.size() == 8 && msg[5] == 0x02)
            kvcom::HandleChunk(reinterpret_cast<const std::uint8_t*>(image.constData()),
                               static_cast<std::size_t>(image.size()));
    };
}

// Notes each progress report with the number of messages sent by then.
struct RecordingProgress final : DeviceTaskProgress {
    const WireRecorder* rec;
    QStringList reports;
    void Report(int step, int total, const QString& text) override {
        reports << QStringLiteral("%1/%2 after %3: %4").arg(step).arg(total).arg(rec->Messages().size()).arg(text);
    }
};

}  // namespace

class TestDlgMemory : public QObject {
    Q_OBJECT

private slots:
    void init() {
        CDSDATA reset;  // construction empties the memory table
        ResetReception();
    }

    void showsTheTableWithButtonsAndNote() {
        CDSDATA model;
        MarkUsed(5, "DRUMS");
        MarkUsed(60, "LAST ONE");
        model.mem_num = 5;
        CDlgMemory d(model);

        QCOMPARE(d.windowTitle(), QStringLiteral("Memory"));
        QTableWidget* list = List(d);
        QVERIFY(list);
        QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Prog"));
        QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Memory"));
        QCOMPARE(list->rowCount(), 60);
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("1"));
        QCOMPARE(list->item(59, 0)->text(), QStringLiteral("60"));
        QCOMPARE(list->item(4, 1)->text(), QStringLiteral("DRUMS"));
        QCOMPARE(list->item(59, 1)->text(), QStringLiteral("LAST ONE"));
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("<None>"));
        QCOMPARE(IconImage(list->item(4, 0)->icon()), IconImage(icons::MemoryUsedIcon()));
        QCOMPARE(IconImage(list->item(0, 0)->icon()), IconImage(icons::MemoryEmptyIcon()));
        QVERIFY(IconImage(icons::MemoryUsedIcon()) != IconImage(icons::MemoryEmptyIcon()));
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(list->showGrid());

        const QModelIndexList rows = list->selectionModel()->selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().row(), 4);
        QVERIFY(Button(d, "Recall")->isEnabled());
        for (const char* b : {"Refresh", "Store", "Recall", "Load All", "Store All", "Save All", "Exit"})
            QVERIFY2(Button(d, b), b);
        QVERIFY(!Button(d, "Exit")->icon().isNull());

        bool note_found = false;
        for (QLabel* l : d.findChildren<QLabel*>())
            note_found |= l->text() ==
                          QStringLiteral(
                              "Note:\nRefresh:Get all memory name from unit.\nStore:save current parameters to unit.\n"
                              "Recall:get selected memory paramters to pc.\nLoad All:Load all memory from pc file.\n"
                              "Store All:Download all memory from pc to unit.\nSave All:Save all memory to pc file.");
        QVERIFY(note_found);
    }

    // The selection sets the memory that Store and Recall address; Recall
    // needs a used memory, Store does not.
    void selectionRules() {
        CDSDATA model;
        MarkUsed(3, "USED");
        model.mem_num = 3;
        CDlgMemory d(model);
        QTableWidget* list = List(d);
        QPushButton* recall = Button(d, "Recall");
        QPushButton* store = Button(d, "Store");

        QSignalSpy verify(&d, &CDlgMemory::verifyRequested);
        list->selectRow(9);  // memory 10, empty
        QCOMPARE(model.mem_num, char(10));
        QVERIFY(!recall->isEnabled());
        QVERIFY(store->isEnabled());
        Button(d, "Verify")->click();  // the memory selected, against the PC program
        QCOMPARE(verify.size(), 1);
        QCOMPARE(verify.at(0).at(0).toInt(), 10);

        list->selectRow(2);
        QCOMPARE(model.mem_num, char(3));
        QVERIFY(recall->isEnabled());

        list->clearSelection();
        QVERIFY(!recall->isEnabled());
        QVERIFY(store->isEnabled());
    }

    // The working program (0) or a number outside the memories opens on the
    // first row, and that row is the memory addressed.
    void openingWithoutAMemorySelectsTheFirst() {
        for (char current : {char(0), char(61), char(-3)}) {
            CDSDATA model;
            MarkUsed(1, "ONE");
            model.mem_num = current;
            CDlgMemory d(model);
            const QModelIndexList rows = List(d)->selectionModel()->selectedRows();
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().row(), 0);
            QCOMPARE(model.mem_num, char(1));
            QVERIFY(Button(d, "Recall")->isEnabled());
        }
    }

    // Storing over a used memory asks first; the name typed loses its
    // trailing blanks; the line sees exactly the store operation.
    void storeOverUsedMemory() {
        CDSDATA model;
        MarkUsed(5, "OLDNAME");
        model.mem_num = 5;
        WireRecorder rec;
        CDlgMemory d(model);
        QSignalSpy finished(&d, &QDialog::finished);
        ScriptedUser user;
        user.Attach(d);

        user.confirm_answer = false;
        d.store();
        QCOMPARE(user.questions, QStringList{QStringLiteral("Warning: Confirm memory overwrite.")});
        QVERIFY(user.name_prompts.isEmpty());
        QVERIFY(rec.events.empty());
        QCOMPARE(finished.count(), 0);

        user.confirm_answer = true;
        user.typed_name = QStringLiteral("NEW  ");
        d.store();
        QCOMPARE(user.name_prompts, QStringList{QStringLiteral("5: OLDNAME")});
        QCOMPARE(QByteArray(data_name[5]), QByteArray("NEW"));
        QCOMPARE(QByteArray(model.prog_name), QByteArray("NEW"));
        QCOMPARE(data_memoryb[5], 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(d.ResultFlag(), 0);
        QVERIFY(user.told.isEmpty());

        const auto by_dialog = rec.events;
        rec.Clear();
        CDSDATA again(model);
        again.StoreMEMCur(5);
        QVERIFY2(by_dialog == rec.events, (Describe(by_dialog) + "---\n" + rec.Describe()).c_str());
    }

    // An empty memory is stored without a question, proposed as "KALVORE";
    // a name of blanks only is stored as "KALVORE"; a cancelled name prompt
    // changes and sends nothing.
    void storeIntoEmptyMemory() {
        CDSDATA model;
        model.mem_num = 8;
        WireRecorder rec;
        {
            CDlgMemory d(model);
            ScriptedUser user;
            user.Attach(d);
            d.store();  // the name prompt is cancelled
            QCOMPARE(user.name_prompts, QStringList{QStringLiteral("8: KALVORE")});
            QVERIFY(user.questions.isEmpty());
            QCOMPARE(data_memoryb[8], 0);
            QCOMPARE(TableName(8), QStringLiteral("<None>"));
            QVERIFY(rec.events.empty());
        }
        CDlgMemory d(model);
        ScriptedUser user;
        user.Attach(d);
        user.typed_name = QStringLiteral("    ");
        d.store();
        QCOMPARE(TableName(8), QStringLiteral("KALVORE"));
        QCOMPARE(QString::fromLatin1(model.prog_name), QStringLiteral("KALVORE"));
        QCOMPARE(data_memoryb[8], 1);
        QVERIFY(!rec.Messages().empty());
    }

    // What a command achieved is said in the main window's status bar, with
    // how long it took; a command that failed says no success.
    void successIsSaidInTheStatusBar_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("unit_answers");
        QTest::addColumn<QString>("said");
        QTest::newRow("Store") << "store" << true << R"(^Stored memory 8 "MIX" on the unit in \d+\.\d s$)";
        QTest::newRow("Recall") << "recall" << true << R"(^Recalled memory 4 "RECALLED" into the PC in \d+\.\d s$)";
        QTest::newRow("Recall unanswered") << "recall" << false << "^$";
        QTest::newRow("Store All") << "storeAll" << true << R"(^Stored 2 memories on the unit in \d+\.\d s$)";
    }
    void successIsSaidInTheStatusBar() {
        QFETCH(QString, command);
        QFETCH(bool, unit_answers);
        QFETCH(QString, said);
        CDSDATA model;
        CDSDATA device_program;
        const QByteArray image = ImageOf(device_program, 4, "RECALLED");
        for (int m : {4, 9}) {
            MarkUsed(m, "RECALLED");
            std::memcpy(prog_save[m], image.constData(), static_cast<std::size_t>(image.size()));
            prog_len[m] = static_cast<int>(image.size());
        }
        model.mem_num = command == QLatin1String("store") ? 8 : 4;
        WireRecorder rec;
        if (unit_answers) AnswerImageRequests(rec, image);
        QMainWindow main;
        CDlgMemory d(model, &main);
        ScriptedUser user;
        user.Attach(d);
        user.typed_name = QStringLiteral("MIX");
        QMetaObject::invokeMethod(&d, command.toLatin1().constData());
        const QString shown = main.statusBar()->currentMessage();
        QVERIFY2(QRegularExpression(said).match(shown).hasMatch(), qPrintable(shown));
    }

    // Load All's time is the loading's alone: the user who takes a while in
    // the file dialog and over the question is no part of it.
    void loadAllTimesOnlyTheLoading() {
        CDSDATA model;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("show.ay"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(EncodeMemoryTable(model));
        file.close();
        QMainWindow main;
        CDlgMemory d(model, &main);
        ScriptedUser user;
        user.Attach(d);
        d.prompts.open_path = [&path](QWidget*) {
            QTest::qSleep(1000);
            return path;
        };
        d.prompts.confirm_once = [](QWidget*, const QString&, const QString&) {
            QTest::qSleep(1000);
            return true;
        };
        d.loadAll();
        const QString shown = main.statusBar()->currentMessage();
        QVERIFY2(QRegularExpression(R"(^Loaded .+ from show\.ay into the PC in 0\.\d s$)").match(shown).hasMatch(),
                 qPrintable(shown));
    }

    // A recall that the unit answers takes the memory into the model and
    // sets the result flag; one it does not answer is reported. Both close.
    void recallSetsTheResultFlagOrReports() {
        CDSDATA model;
        CDSDATA device_program;
        device_program.figuration = 1;
        device_program.InitData();
        device_program.out_gain[3] = -20;
        const QByteArray image = ImageOf(device_program, 4, "RECALLED");
        MarkUsed(4, "RECALLED");
        model.mem_num = 4;
        {
            WireRecorder rec;
            AnswerImageRequests(rec, image);
            CDlgMemory d(model);
            ScriptedUser user;
            user.Attach(d);
            QSignalSpy finished(&d, &QDialog::finished);
            d.recall();
            QCOMPARE(d.ResultFlag(), 1);
            QCOMPARE(finished.count(), 1);
            QVERIFY(user.told.isEmpty());
            QCOMPARE(QString::fromLatin1(model.prog_name), QStringLiteral("RECALLED"));
            QCOMPARE(model.figuration, char(1));
            QCOMPARE(model.out_gain[3], -20);
            const auto messages = rec.Messages();
            QCOMPARE(messages.front(), Hex("F0 00 20 18 00 02 04 F7"));
            QCOMPARE(messages.back(), Hex("C0 03"));
        }
        {
            // One changed byte: the checksum tells, nothing is taken.
            ResetReception();
            QByteArray damaged = image;
            damaged[40] = static_cast<char>(damaged[40] ^ 0x01);
            WireRecorder rec;
            AnswerImageRequests(rec, damaged);
            model.out_gain[3] = 5;
            CDlgMemory d(model);
            ScriptedUser user;
            user.Attach(d);
            d.recall();
            QCOMPARE(d.ResultFlag(), 0);
            QCOMPARE(model.out_gain[3], 5);
            QCOMPARE(user.told.size(), 1);
            QVERIFY(user.told.front().startsWith(
                QStringLiteral("KALVORE: Recall fail!\nThe unit's reply arrived damaged")));
        }
        ResetReception();
        WireRecorder silent;
        CDlgMemory d(model);
        ScriptedUser user;
        user.Attach(d);
        QSignalSpy finished(&d, &QDialog::finished);
        d.recall();
        QCOMPARE(d.ResultFlag(), 0);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(user.told, QStringList{QStringLiteral("KALVORE: Recall fail!")});
    }

    // A refresh the unit does not answer leaves the list as it was (the
    // library keeps the memory table when a list fails), without a message.
    void silentRefreshKeepsTheList() {
        CDSDATA model;
        MarkUsed(2, "GONE");
        WireRecorder rec;
        CDlgMemory d(model);
        ScriptedUser user;
        user.Attach(d);
        d.refresh();
        QCOMPARE(List(d)->item(1, 1)->text(), QStringLiteral("GONE"));
        QCOMPARE(IconImage(List(d)->item(1, 0)->icon()), IconImage(icons::MemoryUsedIcon()));
        QVERIFY(user.told.isEmpty());
        QCOMPARE(rec.Messages().front(), Hex("F0 00 20 18 7F 06 01 F7"));
    }

    // Store All reports one step per image just before it goes out: the
    // used memories from 60 down, then the working program.
    void storeAllProgressFollowsTheImages() {
        CDSDATA model;
        for (int m : {2, 7}) {
            const QByteArray image = ImageOf(model, m, "X");
            std::memcpy(prog_save[m], image.constData(), std::size_t(image.size()));
            prog_len[m] = int(image.size());
        }
        WireRecorder rec;
        RecordingProgress progress;
        progress.rec = &rec;
        QCOMPARE(StoreAllMemories(model, progress, std::chrono::milliseconds(0)), 1);
        // Identity request, prelude and system block go first (3 messages).
        QCOMPARE(progress.reports, (QStringList{
                                       QStringLiteral("0/3 after 3: Storing memory 7 on the unit..."),
                                       QStringLiteral("1/3 after 4: Storing memory 2 on the unit..."),
                                       QStringLiteral("2/3 after 5: Storing the working program on the unit..."),
                                       QStringLiteral("3/3 after 6: Waiting for the unit..."),
                                   }));
    }

    // From the dialog, Store All sends exactly what the library's Store All
    // sends, sets the result flag and closes.
    void storeAllFromTheDialog() {
        CDSDATA model;
        const QByteArray image = ImageOf(model, 33, "MID");
        std::memcpy(prog_save[33], image.constData(), std::size_t(image.size()));
        prog_len[33] = int(image.size());
        WireRecorder rec;
        CDlgMemory d(model);
        QSignalSpy finished(&d, &QDialog::finished);
        ScriptedUser user;  // Store All without a copy of the unit's memories
        user.Attach(d);
        d.storeAll();
        QCOMPARE(d.ResultFlag(), 1);
        QCOMPARE(finished.count(), 1);

        const auto by_dialog = rec.events;
        rec.Clear();
        prog_len[0] = 0;  // built afresh from the model, as the first time
        CDSDATA again(model);
        again.SendMEMStoreAll();
        QVERIFY2(by_dialog == rec.events, (Describe(by_dialog) + "---\n" + rec.Describe()).c_str());
    }
};

QTEST_MAIN(TestDlgMemory)
#include "tst_dlg_memory.moc"
