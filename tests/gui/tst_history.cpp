// Undo and redo from the frame and the open channel sheet, a new history
// where the program is replaced, the history files with their limit and a
// full disk, and the questions that name what an operation will do.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <kvcom/kvcom.h>

#include "channel/dlg_settings.h"
#include "compare/program_exchange.h"
#include "device.h"
#include "device/device_line.h"
#include "document/program_file.h"
#include "document/safe_file_writer.h"
#include "document/my758_doc.h"
#include "history/dlg_history.h"
#include "history/program_history.h"
#include "memory/dlg_memory.h"
#include "memory/dlg_memory_no.h"
#include "routing/my758_view.h"
#include "settings/dlg_figuration.h"
#include "kvfiles/bank_file.h"
#include "device_queue.h"
#include "reception.h"
#include "file_helpers.h"
#include "modal_answerer.h"
#include "scripted_user.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

using kvtest::Hex;

class TestHistory : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    std::unique_ptr<QTemporaryDir> dir_;
    CDSDATA& model() { return shell_->model(); }
    CMainFrame& frame() { return shell_->frame(); }
    history::ProgramHistory& programHistory() { return *frame().programHistory(); }

    // An edit as a page makes it.
    void EditGain(int output, int gain) {
        model().cur_chan = output;
        model().out_gain[output] = gain;
        device::SendParam(model(), PC_OUT_GAIN);
    }

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        dir_ = std::make_unique<QTemporaryDir>();
        programHistory().Store() = history::HistoryStore(dir_->path());
    }
    void cleanup() {
        shell_.reset();
        dir_.reset();
    }

    // An edit on the open page is undone from the sheet and redone from the
    // frame: the unit gets the old value, then the new one, and the page
    // shows each at once.
    void undoReachesTheUnitAndTheOpenPage() {
        kvtest::WireRecorder wire;
        CDlgSettings sheet(model(), 2);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        auto* mute = sheet.Tabs()->currentWidget()->findChild<QCheckBox*>(QStringLiteral("mute"));
        QVERIFY(mute && mute->isChecked());
        mute->click();
        QCOMPARE(model().out_mute[2], 0);
        QVERIFY(frame().action(CMainFrame::ID_EDIT_UNDO)->isEnabled());
        QCOMPARE(frame().action(CMainFrame::ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Out 3 mute"));

        wire.Clear();
        sheet.findChild<QAction*>(QStringLiteral("undoAction"))->trigger();
        QCOMPARE(model().out_mute[2], 1);
        QVERIFY(mute->isChecked());
        QVERIFY(wire.Messages() == std::vector<kvtest::Bytes>{Hex("F0 00 20 18 00 2D 62 70 00 01 F7")});

        wire.Clear();
        QAction* redo = frame().action(CMainFrame::ID_EDIT_REDO);
        QVERIFY(redo->isEnabled());
        redo->trigger();
        QCOMPARE(model().out_mute[2], 0);
        QVERIFY(!mute->isChecked());
        QVERIFY(wire.Messages() == std::vector<kvtest::Bytes>{Hex("F0 00 20 18 00 2D 62 70 00 F7")});
        QVERIFY(!redo->isEnabled());
    }

    // Opening a file, New and Figuration keep the program being replaced,
    // start a new history and say so.
    void aReplacedProgramStartsANewHistory_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("Open") << QStringLiteral("Open");
        QTest::newRow("New") << QStringLiteral("New");
        QTest::newRow("Figuration") << QStringLiteral("Figuration");
        QTest::newRow("Import") << QStringLiteral("Import");
    }
    void aReplacedProgramStartsANewHistory() {
        QFETCH(QString, operation);
        kvtest::WireRecorder wire;
        QTemporaryDir files;  // not the history's folder: the document never saves there
        const QString file = files.filePath(QStringLiteral("other.syx"));
        QVERIFY(shell_->doc().SaveDocument(file));
        const QString json = files.filePath(QStringLiteral("other.json"));
        QVERIFY(WriteProgramJson(model(), json, nullptr));
        EditGain(0, 40);
        QVERIFY(programHistory().CanUndo());

        kvtest::ModalAnswerer answers;
        if (operation == QLatin1String("Open")) QVERIFY(frame().openFile(file));
        if (operation == QLatin1String("New")) frame().onFileNew();
        if (operation == QLatin1String("Import")) QVERIFY(ImportJsonIntoDocument(shell_->doc(), json, nullptr));
        if (operation == QLatin1String("Figuration")) {
            answers.ThenAccept();  // the configuration as it is
            answers.ThenPress(QStringLiteral("Reset"));
            frame().view()->onFiguration();
            QCOMPARE(answers.pending(), 0);
        }
        QVERIFY(!programHistory().CanUndo());
        QVERIFY(!frame().action(CMainFrame::ID_EDIT_UNDO)->isEnabled());
        QVERIFY2(frame().statusBar()->currentMessage().contains(QStringLiteral("new undo history")),
                 qPrintable(frame().statusBar()->currentMessage()));
        const QList<history::HistoryEntry> kept = programHistory().Store().Entries();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].reason, operation);
        // What was kept is the program with the edit, before it was replaced.
        CDSDATA read(model());
        QVERIFY(programfile::Decode(kvtest::ReadAll(kept[0].path), QStringLiteral("kept"), read, nullptr));
        QCOMPARE(read.out_gain[0], 40);
    }

    // The newest hundred entries stay, each named by time and reason and
    // listed with its program's name.
    void historyKeepsTheNewestHundred() {
        history::HistoryStore store(dir_->path());
        std::strcpy(model().prog_name, "SHOW-1");
        for (int i = 0; i < history::kMaxEntries + 3; ++i)
            QVERIFY(store.KeepProgram(model(), QStringLiteral("r%1").arg(i), nullptr));
        const QList<history::HistoryEntry> entries = store.Entries();
        QCOMPARE(entries.size(), history::kMaxEntries);
        QCOMPARE(entries.first().reason, QStringLiteral("r102"));
        QCOMPARE(entries.last().reason, QStringLiteral("r3"));
        QCOMPARE(entries.first().program_name, QStringLiteral("SHOW-1"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), history::kMaxEntries);
    }

    // File > History lists time, reason and name, shows how the chosen
    // program differs from the current one, and opens it.
    void historyWindowComparesAndOpens() {
        std::strcpy(model().prog_name, "EARLY");
        model().out_gain[1] = 10;
        programHistory().KeepProgram(QStringLiteral("Upload"));
        model().out_gain[1] = 20;
        CDlgHistory dialog(model(), programHistory().Store());
        QCOMPARE(dialog.List()->rowCount(), 1);
        QCOMPARE(dialog.List()->item(0, 1)->text(), QStringLiteral("Upload"));
        QCOMPARE(dialog.List()->item(0, 2)->text(), QStringLiteral("EARLY"));
        const QString differences = dialog.Differences()->toPlainText();
        QVERIFY2(differences.contains(QStringLiteral("gain")) && differences.contains(QStringLiteral("+4.0 dB")) &&
                     differences.contains(QStringLiteral("+2.0 dB")),
                 qPrintable(differences));
        QString opened;
        dialog.open = [&opened](const history::HistoryEntry& entry) {
            opened = entry.path;
            return true;
        };
        dialog.OpenButton()->click();
        QCOMPARE(opened, programHistory().Store().Entries().first().path);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // A kept program opens as an untitled copy named after its entry: Save
    // asks for a name, and nothing the program saves lands in the history's
    // folder; the kept file stays as it was.
    void aKeptProgramOpensAsAnUntitledCopy() {
        model().out_gain[2] = 14;
        programHistory().KeepProgram(QStringLiteral("Recall"));
        const history::HistoryEntry entry = programHistory().Store().Entries().first();
        const QByteArray kept = kvtest::ReadAll(entry.path);
        model().out_gain[2] = 0;

        kvtest::ModalAnswerer answers;
        answers.Then([](QWidget* w) {
            auto* dialog = qobject_cast<CDlgHistory*>(w);
            QVERIFY(dialog);
            dialog->List()->selectRow(0);
            dialog->OpenButton()->click();
        });
        frame().onHistory();
        QCOMPARE(answers.pending(), 0);
        QCOMPARE(model().out_gain[2], 14);
        CMy758Doc& doc = shell_->doc();
        QVERIFY(doc.Path().isEmpty());
        const QString title = QStringLiteral("Recall %1 (from history)").arg(entry.time.toString(QStringLiteral("HH:mm")));
        QCOMPARE(doc.Title(), title);
        QCOMPARE(frame().windowTitle(), title + QStringLiteral("[*] - KALVORE"));
        QVERIFY(!frame().recentFiles().contains(entry.path));

        answers.ThenReject();  // Save asks where
        QVERIFY(!doc.FileSave(&frame()));
        QCOMPARE(answers.seen.last().class_name, QStringLiteral("QFileDialog"));
        QString why;
        QVERIFY(!doc.SaveDocument(entry.path, &why));
        QVERIFY2(why.contains(QStringLiteral("history")), qPrintable(why));
        QVERIFY(!doc.SaveDocument(dir_->filePath(QStringLiteral("mine.syx")), &why));
        QCOMPARE(kvtest::ReadAll(entry.path), kept);
        // Only the history wrote there: the program the copy replaced.
        const QList<history::HistoryEntry> entries = programHistory().Store().Entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.first().reason, QStringLiteral("Open"));
    }

    // However a kept program is opened (File Open, a recent file or a
    // dropped one, the command line), it is an untitled copy: the title is
    // not the kept file's name, Save asks for a name, the recent list
    // leaves it out.
    void aKeptProgramIsACopyHoweverItIsOpened_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("File Open") << QStringLiteral("File Open");
        QTest::newRow("recent or dropped file") << QStringLiteral("recent");
        QTest::newRow("command line") << QStringLiteral("command line");
    }
    void aKeptProgramIsACopyHoweverItIsOpened() {
        QFETCH(QString, way);
        model().out_gain[2] = 14;
        programHistory().KeepProgram(QStringLiteral("Recall"));
        const history::HistoryEntry entry = programHistory().Store().Entries().first();
        model().out_gain[2] = 0;
        CMy758Doc& doc = shell_->doc();
        doc.SetModified(false);

        kvtest::ModalAnswerer answers;
        if (way == QLatin1String("File Open")) QVERIFY(doc.OpenWithReport(entry.path, &frame()));
        if (way == QLatin1String("recent")) QVERIFY(frame().openFile(entry.path));
        if (way == QLatin1String("command line")) QVERIFY(doc.OpenDocument(entry.path));
        QCOMPARE(model().out_gain[2], 14);
        QVERIFY(doc.Path().isEmpty());
        QCOMPARE(doc.Title(), history::CopyTitle(entry));
        QCOMPARE(frame().windowTitle(), history::CopyTitle(entry) + QStringLiteral("[*] - KALVORE"));
        QVERIFY(!frame().recentFiles().contains(entry.path));
        QCOMPARE(answers.seen.size(), 0);
    }

    // Nothing the program writes lands in the history's folder, whatever
    // the way there; the history itself goes on keeping programs.
    void onlyTheHistoryWritesIntoItsFolder_data() {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<bool>("through_a_link");
        for (const char* writer : {"Save", "Export as text", "Export as JSON", "bank or log file"}) {
            QTest::newRow(writer) << QString::fromLatin1(writer) << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 through a link").arg(QLatin1String(writer))))
                << QString::fromLatin1(writer) << true;
        }
    }
    void onlyTheHistoryWritesIntoItsFolder() {
        QFETCH(QString, writer);
        QFETCH(bool, through_a_link);
        programHistory().KeepProgram(QStringLiteral("Upload"));  // the folder exists
        QTemporaryDir elsewhere;
        QString folder = dir_->path();
        if (through_a_link) {
            folder = elsewhere.filePath(QStringLiteral("alias"));
            QVERIFY(QFile::link(dir_->path(), folder));
        }
        const QString path = folder + QStringLiteral("/20261208-000103-238 Recall.syx");
        QString why;
        bool written = true;
        if (writer == QLatin1String("Save")) written = shell_->doc().SaveDocument(path, &why);
        if (writer == QLatin1String("Export as text")) written = WriteProgramText(model(), path, &why);
        if (writer == QLatin1String("Export as JSON")) written = WriteProgramJson(model(), path, &why);
        if (writer == QLatin1String("bank or log file")) {
            SafeFileWriter file;
            written = file.Open(path, &why) && file.Commit(QByteArray("x"), &why);
        }
        QVERIFY(!written);
        QVERIFY2(why.contains(QStringLiteral("history")), qPrintable(why));
        QVERIFY(!QFileInfo::exists(path));
        programHistory().KeepProgram(QStringLiteral("Store"));
        QCOMPARE(programHistory().Store().Entries().size(), 2);
    }

    // A disk that takes nothing more is told once in the status bar, and
    // the operation goes on; once it takes files again, they are kept.
    void aFullDiskIsToldOnceAndNeverBlocks() {
        QSignalSpy notices(&programHistory(), &history::ProgramHistory::notice);
        kvtest::WithFileSizeLimit(64, [&] {
            programHistory().KeepProgram(QStringLiteral("Upload"));
            programHistory().KeepProgram(QStringLiteral("Download"));
        });
        QCOMPARE(notices.count(), 1);
        QVERIFY(notices[0][0].toString().contains(QStringLiteral("history could not be written")));
        QVERIFY(programHistory().Store().Entries().isEmpty());
        programHistory().KeepProgram(QStringLiteral("Store"));
        QCOMPARE(programHistory().Store().Entries().size(), 1);
    }

    // Figuration names the configuration and the reset, and asks whether
    // to reset at all when the configuration is already in use; Cancel
    // changes and sends nothing.
    void figurationNamesTheReset_data() {
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("says");
        QTest::newRow("another") << 1
                                 << QStringLiteral(
                                        "Figuration resets every parameter of the unit to the factory "
                                        "values of '2 Channel 3 Way'.");
        QTest::newRow("the same") << 0
                                  << QStringLiteral(
                                         "The unit is already set to 'Mono'. Reset every parameter of the "
                                         "unit to the factory values of 'Mono' anyway?");
    }
    void figurationNamesTheReset() {
        QFETCH(int, chosen);
        QFETCH(QString, says);
        model().out_gain[3] = 12;
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        answers.Then([chosen](QWidget* w) {
            auto* dlg = qobject_cast<CDlgFiguration*>(w);
            QVERIFY(dlg);
            dlg->configurationList()->setCurrentIndex(chosen);
            dlg->accept();
        });
        answers.ThenPress(QStringLiteral("Cancel"));
        frame().view()->onFiguration();
        QCOMPARE(answers.seen.size(), 2);
        QCOMPARE(answers.seen[1].text, says);
        QCOMPARE(int(model().figuration), 0);
        QCOMPARE(model().link_on, 0);
        QCOMPARE(model().out_gain[3], 12);
        QVERIFY(wire.events.empty());
    }

    // The Download prompt says what OK does, with the name as typed.
    void downloadPromptNamesTheConsequence() {
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        QString said;
        answers.Then([&said](QWidget* w) {
            auto* prompt = qobject_cast<CDlgMemoryNo*>(w);
            QVERIFY(prompt);
            QTest::keyClicks(prompt->nameEdit(), QStringLiteral("mix 2"));
            said = prompt->consequenceLabel()->text();
            prompt->reject();
        });
        frame().view()->onDownload();
        // The unit also stores what it is sent in its memory 1.
        QCOMPARE(said, QStringLiteral("OK replaces the unit's working program with 'MIX 2' and stores it in the "
                                      "unit's memory 1; all six outputs will be muted."));
        QVERIFY(wire.events.empty());
    }

    // Store All says how many memories it overwrites and offers a copy of
    // the unit's memories, on by default; a copy that cannot be read is
    // told and Store All still goes out.
    void storeAllOffersACopyFirst() {
        CDSDATA& m = model();
        for (int n : {4, 9}) {
            const QByteArray image = kvtest::ImageOf(m, n, "M");
            std::memcpy(prog_save[n], image.constData(), std::size_t(image.size()));
            prog_len[n] = int(image.size());
        }
        kvtest::WireRecorder wire;  // a unit that does not answer
        CDlgMemory d(m);
        kvtest::ScriptedUser user;
        user.keep_copy_answer = true;
        user.Attach(d);
        d.storeAll();
        QCOMPARE(user.confirmations.size(), 1);
        QVERIFY2(user.confirmations[0].startsWith(QStringLiteral("Store All overwrites 2 memories of the unit")),
                 qPrintable(user.confirmations[0]));
        QVERIFY(user.keep_copy_offered);
        QCOMPARE(user.told.size(), 1);
        QVERIFY(user.told[0].contains(QStringLiteral("could not be read for a copy")));
        QCOMPARE(prog_len[4], int(kvtest::ImageOf(m, 4, "M").size()));  // the PC's table is what went out
        const std::vector<kvtest::Bytes> sent = wire.Messages();
        QVERIFY(std::find(sent.begin(), sent.end(), Hex("F0 00 20 18 7F 06 0F F7")) != sent.end());
    }

    // With the copy chosen, the unit's memories go into the history as a
    // bank before Store All overwrites them with the PC's table; the Store
    // question names the memory it overwrites.
    void storeAllKeepsTheUnitsMemoriesFirst() {
        kvsim::Device unit;
        unit.StoreMemory(7, model(), "UNIT7");
        const QByteArray image = kvtest::ImageOf(model(), 4, "PC4");
        std::memcpy(prog_save[4], image.constData(), std::size_t(image.size()));
        prog_len[4] = int(image.size());
        data_memoryb[4] = 1;
        std::strcpy(data_name[4], "PC4");
        kvtest::WireRecorder wire;
        wire.on_write = [&unit](const kvtest::Bytes& message) {
            const kvtest::Bytes reply = unit.Feed(message.data(), message.size());
            if (!reply.empty()) kvcom::HandleChunk(reply.data(), reply.size());
        };
        CDlgMemory d(model());
        kvtest::ScriptedUser user;
        user.keep_copy_answer = true;
        user.confirm_answer = false;
        user.Attach(d);
        model().mem_num = 4;
        d.store();
        QCOMPARE(d.ConfirmationDetail(),
                 QStringLiteral("Memory 4 \"PC4\" on the unit will be overwritten with the PC's program."));

        d.storeAll();
        QVERIFY2(user.told.isEmpty(), qPrintable(user.told.join('\n')));
        QList<history::HistoryEntry> banks;
        for (const history::HistoryEntry& e : programHistory().Store().Entries())
            if (e.bank) banks.append(e);
        QCOMPARE(banks.size(), 1);
        QCOMPARE(banks[0].reason, QStringLiteral("Before Store All"));
        const QByteArray kept = kvtest::ReadAll(banks[0].path);
        const kvfiles::BankTable table =
            kvfiles::DecodeBank(reinterpret_cast<const std::uint8_t*>(kept.constData()), std::size_t(kept.size()));
        QVERIFY(table.entries[7].used);
        QCOMPARE(QString::fromStdString(table.entries[7].name).trimmed(), QStringLiteral("UNIT7"));
        QVERIFY(!table.entries[4].used);
        QCOMPARE(QString::fromLatin1(data_name[4]), QStringLiteral("PC4"));  // the PC's table went out
        kvtest::ResetReception();
    }

    // Load All loses nothing on the unit: its question can be switched off,
    // and the list tells where it came from.
    void loadAllAsksUntilToldNotTo() {
        kvfiles::BankTable table = kvfiles::EmptyBankTable();
        const QByteArray image = kvtest::ImageOf(model(), 3, "SHOW");
        table.entries[3].image.assign(image.begin(), image.end());
        table.entries[3].used = true;
        const std::vector<std::uint8_t> bank = kvfiles::EncodeBank(table);
        const QString path = dir_->filePath(QStringLiteral("show.ay"));
        kvtest::WriteAll(path, QByteArray(reinterpret_cast<const char*>(bank.data()), qsizetype(bank.size())));

        CDlgMemory d(model());
        d.prompts.open_path = [&path](QWidget*) { return path; };
        kvtest::ModalAnswerer answers;
        QString asked;
        answers.Then([&asked](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            asked = box->text();
            box->checkBox()->setChecked(true);
            kvtest::PressMessageBoxButton(w, QStringLiteral("OK"));
        });
        d.loadAll();
        QCOMPARE(asked, QStringLiteral("Load All replaces the PC's memory table (not the unit) with the 1 memory of "
                                       "show.ay."));
        QCOMPARE(data_memoryb[3], 1);
        QCOMPARE(d.findChild<QLabel*>(QStringLiteral("tableSource"))->text(), QStringLiteral("from show.ay"));
        d.loadAll();
        QCOMPARE(answers.seen.size(), 1);
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
