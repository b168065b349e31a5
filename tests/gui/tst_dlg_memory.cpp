// The memory manager: its list, the selection rules, and what each button
// does to the memory table, the model and the line.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QStatusBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "device.h"
#include "memory_table_bytes.h"
#include "scripted_user.h"
#include "device/device_task.h"
#include "memory/bank_file_io.h"
#include "widgets/icons.h"
#include "widgets/link_text.h"
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

// The simulated unit answers on the recorder's line; `first` bytes of a
// reply at most (all when negative), the rest kept in `held_back`.
struct SimulatedUnit {
    kvsim::Device device;
    long first = -1;
    Bytes held_back;
    void Answer(const Bytes& message) {
        Bytes reply = device.Feed(message.data(), message.size());
        if (first >= 0 && reply.size() > std::size_t(first)) {
            held_back.assign(reply.begin() + first, reply.end());
            reply.resize(std::size_t(first));
        }
        if (!reply.empty()) kvcom::HandleChunk(reply.data(), reply.size());
    }
};

bool IsImageOf(const Bytes& msg, int memory) { return msg.size() > 8 && msg[5] == 0x2C && msg[7] == memory; }
bool IsSystemBlock(const Bytes& msg) { return msg.size() > 8 && msg[5] == 0x2B; }
bool IsDumpRequest(const Bytes& msg) { return msg == Hex("F0 00 20 18 7F 00 F7"); }

// Holds the device thread at the first message `at` picks, once the unit has
// answered it, until the test has pressed Cancel in the progress window, as
// a user would while that message goes out.
class CancelAt : public QObject {
public:
    CancelAt(WireRecorder& rec, std::function<bool(const Bytes&)> at, SimulatedUnit& unit) {
        rec.on_write = [this, at, &unit](const Bytes& msg) {
            unit.Answer(msg);
            if (held_ || !at(msg)) return;
            held_ = true;
            std::unique_lock lock(mutex_);
            reached_ = true;
            // Bounded only so that a broken window cannot hang the run.
            released_cv_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });
        };
        connect(&poll_, &QTimer::timeout, this, &CancelAt::Poll);
        poll_.start(1);
    }
    ~CancelAt() override { Release(); }

    bool pressed = false;   // Cancel was there and pressed
    QString stopping_text;  // the progress window's words right after

private:
    void Poll() {
        {
            const std::lock_guard lock(mutex_);
            if (!reached_ || released_) return;
        }
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (progress == nullptr || !progress->isVisible()) return;
        if (auto* cancel = progress->findChild<QPushButton*>(); cancel != nullptr && cancel->isVisible()) {
            QTest::mouseClick(cancel, Qt::LeftButton);
            pressed = true;
            stopping_text = progress->labelText();
        }
        Release();
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        released_cv_.notify_all();
    }

    QTimer poll_;
    bool held_ = false;  // device thread only
    std::mutex mutex_;
    std::condition_variable released_cv_;
    bool reached_ = false;
    bool released_ = false;
};

// Puts `image` into entry m of the memory table, as Load All does.
void PutEntry(int m, const QByteArray& image, const char* name) {
    std::memcpy(prog_save[m], image.constData(), std::size_t(image.size()));
    prog_len[m] = int(image.size());
    MarkUsed(m, name);
}

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

    // Cancel in Store All's progress window stops it before the next image:
    // the unit holds the memories that went out, whole, and the message
    // names them; its other memories and its working program are as they
    // were, and so is the PC's program.
    void cancelledStoreAllSaysWhatTheUnitHolds_data() {
        QTest::addColumn<int>("at");  // the image going out at Cancel; 0: the system block
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QString>("told");
        QTest::newRow("during the opening messages")
            << 0 << QList<int>{}
            << "Store All cancelled before anything was stored: the unit's memories and its working program are as "
               "they were.";
        QTest::newRow("after two memories")
            << 45 << QList<int>{60, 45}
            << "Store All cancelled after 2 of 4 memories: the unit now holds the PC's memories 60 and 45; its other "
               "memories and its working program are as they were.";
        QTest::newRow("before the working program")
            << 2 << QList<int>{60, 45, 33, 2}
            << "Store All cancelled after all 4 memories: the unit now holds the PC's memories 60, 45, 33 and 2; its "
               "other memories and its working program are as they were.";
    }
    void cancelledStoreAllSaysWhatTheUnitHolds() {
        QFETCH(int, at);
        QFETCH(QList<int>, stored);
        QFETCH(QString, told);
        SimulatedUnit unit;
        CDSDATA old_program;
        old_program.out_gain[0] = -40;
        for (int m : {60, 45, 33, 7}) unit.device.StoreMemory(m, old_program, "OLD");
        const Bytes working_before = unit.device.WorkingImage();
        CDSDATA model;
        model.out_gain[1] = 12;
        for (int m : {60, 45, 33, 2}) PutEntry(m, ImageOf(model, m, "NEW"), "NEW");
        const QByteArray model_before = ImageOf(model, 0, "");

        WireRecorder rec;
        CancelAt cancel(
            rec, [at](const Bytes& msg) { return at == 0 ? IsSystemBlock(msg) : IsImageOf(msg, at); }, unit);
        CDlgMemory d(model);
        QSignalSpy finished(&d, &QDialog::finished);
        ScriptedUser user;  // no copy of the unit's memories first
        user.Attach(d);
        d.storeAll();

        QVERIFY(cancel.pressed);
        QCOMPARE(cancel.stopping_text, QStringLiteral("Cancelling: the memory going out now is stored whole first..."));
        QCOMPARE(user.told, QStringList{QStringLiteral("KALVORE: ") + told});
        QCOMPARE(finished.count(), 1);
        for (int m = 1; m <= 60; ++m) {
            const kvsim::Memory& held = unit.device.MemoryAt(m);
            const bool was_unit_s = m == 60 || m == 45 || m == 33 || m == 7;
            const QString expected = stored.contains(m) ? QStringLiteral("NEW     ")
                                     : was_unit_s       ? QStringLiteral("OLD     ")
                                                        : QString();
            QCOMPARE(held.used ? QString::fromStdString(held.name) : QString(), expected);
        }
        QVERIFY(unit.device.WorkingImage() == working_before);
        QCOMPARE(ImageOf(model, 0, ""), model_before);
    }

    // The memories a cancelled Store All names: runs of three or more as a
    // range, in the order they went out.
    void memoryListsAreShortened_data() {
        QTest::addColumn<std::vector<int>>("memories");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << std::vector<int>{7} << "memory 7";
        QTest::newRow("two in a row") << std::vector<int>{60, 59} << "memories 60 and 59";
        QTest::newRow("runs and gaps") << std::vector<int>{60, 59, 58, 57, 41, 38, 37, 33, 3, 2, 1}
                                       << "memories 60 to 57, 41, 38, 37, 33 and 3 to 1";
    }
    void memoryListsAreShortened() {
        QFETCH(std::vector<int>, memories);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(linktext::MemoriesText(memories)), text);
    }

    // Cancel while the memory list is read ends the wait at once: the list
    // and the memory table stay as they were, even when the rest of the list
    // arrives afterwards, and nothing is written or stored on the strength
    // of it.
    void cancelledListKeepsTheTable_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("told");
        QTest::newRow("Refresh") << "Refresh"
                                 << "Refresh cancelled: the list shows what it held before. Nothing on the unit "
                                    "changed; it may go on sending its list for a few seconds.";
        QTest::newRow("Save All") << "Save All"
                                  << "Save All cancelled: the bank file %1 was not written, and the list shows what "
                                     "it held before. Nothing on the unit changed.";
        QTest::newRow("Store All's copy first")
            << "Store All"
            << "Store All cancelled while the unit's memories were read for a copy: nothing was stored; the unit's "
               "memories and its working program are as they were.";
    }
    void cancelledListKeepsTheTable() {
        QFETCH(QString, button);
        QFETCH(QString, told);
        SimulatedUnit unit;
        CDSDATA unit_program;
        for (int m : {50, 9}) unit.device.StoreMemory(m, unit_program, "UNIT");
        unit.first = 700;  // the system block, memory 50 and a part of 9, then the line goes quiet
        CDSDATA model;
        PutEntry(2, ImageOf(model, 2, "GONE"), "GONE");
        const Bytes table_before = MemoryTableBytes();
        QTemporaryDir dir;
        const QString bank = dir.filePath(QStringLiteral("unit.ay"));

        WireRecorder rec;
        CancelAt cancel(rec, IsDumpRequest, unit);
        CDlgMemory d(model);
        ScriptedUser user;
        user.save_path = bank;
        user.keep_copy_answer = true;
        user.Attach(d);
        Button(d, qPrintable(button))->click();
        // The rest of the list comes in after the wait has ended.
        QVERIFY(!unit.held_back.empty());
        kvcom::HandleChunk(unit.held_back.data(), unit.held_back.size());

        QVERIFY(cancel.pressed);
        QCOMPARE(cancel.stopping_text, QStringLiteral("Cancelling..."));
        QCOMPARE(user.told,
                 QStringList{QStringLiteral("KALVORE: ") + QString(told).replace(QStringLiteral("%1"), bank)});
        QVERIFY(MemoryTableBytes() == table_before);
        QCOMPARE(List(d)->item(1, 1)->text(), QStringLiteral("GONE"));
        QCOMPARE(List(d)->item(49, 1)->text(), QStringLiteral("<None>"));
        QVERIFY(QDir(dir.path()).isEmpty());  // no bank, and no half-written one either
        // Nothing went out after the request for the list.
        QVERIFY(IsDumpRequest(rec.Messages().back()));
        QVERIFY(unit.device.MemoryAt(2).used == false);
    }
};

QTEST_MAIN(TestDlgMemory)
#include "tst_dlg_memory.moc"
