// The Compare window, Verify, and programs exported and imported as text
// and JSON: what the table lists, what Take and Send do to the model and
// the line, and that a refused import changes nothing.
#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <kvcom/kvcom.h>
#include <kvprog/describe.h>

#include "compare/dlg_compare.h"
#include "compare/program_exchange.h"
#include "device.h"
#include "device/device_line.h"
#include "history/program_history.h"
#include "reception.h"
#include "device_queue.h"
#include "document/program_file.h"
#include "modal_answerer.h"
#include "scripted_user.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

using kvtest::Bytes;

namespace {

// Files entry `m` of the memory table with the program `p`.
void FileEntry(int m, const CDSDATA& p) {
    const QByteArray image = kvtest::ImageOf(p);
    std::memcpy(prog_save[m], image.constData(), static_cast<std::size_t>(image.size()));
    prog_len[m] = static_cast<int>(image.size());
    data_memoryb[m] = 1;
}

// The rows of the table as "Channel | setting | A | B".
QStringList Rows(const QTreeWidget* table) {
    QStringList rows;
    for (int g = 0; g < table->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = table->topLevelItem(g);
        for (int r = 0; r < group->childCount(); ++r) {
            const QTreeWidgetItem* row = group->child(r);
            rows << QStringLiteral("%1 | %2 | %3 | %4").arg(group->text(0), row->text(0), row->text(1), row->text(2));
        }
    }
    return rows;
}

// Selects the table rows whose setting is `label` under `channel`.
void Select(QTreeWidget* table, const QString& channel, const QString& label) {
    for (int g = 0; g < table->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = table->topLevelItem(g);
        if (group->text(0) != channel) continue;
        for (int r = 0; r < group->childCount(); ++r)
            if (group->child(r)->text(0) == label) group->child(r)->setSelected(true);
    }
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const ProgramSource kPc{ProgramSource::kPcProgram, 1, {}};
ProgramSource Entry(int m) { return {ProgramSource::kBankEntry, m, {}}; }

}  // namespace

class TestCompare : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() { kvtest::WaitForEachSend(); }
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();  // its model's construction empties the table
        kvtest::ResetReception();
    }
    void cleanup() { shell_.reset(); }

    void tableListsEachDifferenceUnderItsChannel_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("from");  // "entry", "syx" or "json"
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("output gain") << 0 << "entry" << QStringList{"Out 3 | gain | -2.4 dB | +0.0 dB"};
        QTest::newRow("input delay and a mute")
            << 1 << "entry" << QStringList{"In A | delay | 1.000 ms | 0.000 ms", "Out 1 | mute | off | on"};
        QTest::newRow("same program") << 2 << "entry" << QStringList{};
        QTest::newRow("from a program file") << 0 << "syx" << QStringList{"Out 3 | gain | -2.4 dB | +0.0 dB"};
        QTest::newRow("from a JSON file") << 0 << "json" << QStringList{"Out 3 | gain | -2.4 dB | +0.0 dB"};
    }
    void tableListsEachDifferenceUnderItsChannel() {
        QFETCH(int, edit);
        QFETCH(QString, from);
        QFETCH(QStringList, rows);
        CDSDATA& pc = shell_->model();
        ProgramSource other = Entry(5);
        if (from == QLatin1String("entry")) FileEntry(5, pc);
        if (from == QLatin1String("syx")) {
            other = {ProgramSource::kFile, 1, dir_.filePath(QStringLiteral("other.syx"))};
            WriteFile(other.path, programfile::Encode(pc));
        }
        if (from == QLatin1String("json")) {
            other = {ProgramSource::kFile, 1, dir_.filePath(QStringLiteral("other.json"))};
            QString why;
            QVERIFY2(WriteProgramJson(pc, other.path, &why), qPrintable(why));
        }
        if (edit == 0) pc.out_gain[2] = -12;
        if (edit == 1) {
            pc.ina_delay = 48;
            pc.out_mute[0] = 0;
        }
        CDlgCompare window(shell_->doc());
        window.showComparison(kPc, pc, other, pc);  // nothing differs with itself
        QVERIFY(window.statusText().startsWith(QStringLiteral("No differences")));
        window.setSources(kPc, other);
        QVERIFY(window.compare());
        QCOMPARE(Rows(window.table()), rows);
        QCOMPARE(window.statusText().startsWith(QStringLiteral("No differences")), rows.isEmpty());
    }

    // Only the selected setting goes out, as the page would send it.
    void sendSelectedSendsExactlyThoseMessages() {
        CDSDATA& pc = shell_->model();
        FileEntry(5, pc);
        pc.out_gain[2] = -12;
        pc.out_polarity[4] = 1;
        pc.ina_delay = 20000;
        CDlgCompare window(shell_->doc());
        window.setSources(kPc, Entry(5));
        QVERIFY(window.compare());
        QCOMPARE(Rows(window.table()).size(), 3);
        Select(window.table(), QStringLiteral("Out 3"), QStringLiteral("gain"));
        Select(window.table(), QStringLiteral("In A"), QStringLiteral("delay"));

        kvtest::WireRecorder wire;
        window.sendSelected();
        const std::vector<Bytes> expected = {kvtest::Hex("F0 00 20 18 00 2D 20 20 00 20 1C 01 F7"),
                                             kvtest::Hex("F0 00 20 18 00 2D 62 62 00 3F F7")};
        QCOMPARE(wire.Messages(), expected);
        QVERIFY2(window.statusText().startsWith(QStringLiteral("2 messages sent to the unit.")),
                 qPrintable(window.statusText()));
    }

    // Send selected reads the unit again once the messages have gone, and
    // the list shows what the unit holds then.
    void sendSelectedReadsTheUnitAgain() {
        CDSDATA& pc = shell_->model();
        kvsim::Device unit;
        kvtest::WireRecorder wire;
        wire.on_write = [&unit](const Bytes& message) {
            const Bytes reply = unit.Feed(message.data(), message.size());
            if (!reply.empty()) kvcom::HandleChunk(reply.data(), reply.size());
        };
        pc.out_gain[2] = -12;
        pc.out_polarity[4] = 1;
        CDlgCompare window(shell_->doc());
        window.setSources(kPc, {ProgramSource::kUnitProgram, 1, {}});
        QVERIFY(window.compare());
        QCOMPARE(Rows(window.table()).size(), 2);
        Select(window.table(), QStringLiteral("Out 3"), QStringLiteral("gain"));
        window.sendSelected();
        QCOMPARE(Rows(window.table()), QStringList{"Out 5 | polarity | 180 | normal"});
        QCOMPARE(window.statusText(), QStringLiteral("1 message sent to the unit. Read again: 1 difference left."));
        kvtest::ResetReception();
    }

    // A side that cannot be read leaves no list of an earlier comparison
    // behind under its names.
    void aFailedReadClearsTheList() {
        CDSDATA& pc = shell_->model();
        FileEntry(5, pc);
        pc.out_gain[2] = -12;
        CDlgCompare window(shell_->doc());
        window.setSources(kPc, Entry(5));
        QVERIFY(window.compare());
        QCOMPARE(Rows(window.table()).size(), 1);
        kvtest::WireRecorder wire;  // a unit that does not answer
        window.setSources(kPc, {ProgramSource::kUnitMemory, 9, {}});
        QVERIFY(!window.compare());
        QVERIFY(Rows(window.table()).isEmpty());
        QCOMPARE(window.table()->headerItem()->text(2), QStringLiteral("B"));
        QVERIFY2(window.statusText().startsWith(QStringLiteral("Unit: memory 9 could not be read")),
                 qPrintable(window.statusText()));
        kvtest::ResetReception();
    }

    // Take is one step of the undo history, after the edits before it: its
    // undo writes the old values back and sends them.
    void takeIsOneStepOfTheHistory() {
        CDSDATA& pc = shell_->model();
        history::ProgramHistory& h = *shell_->frame().programHistory();
        CDSDATA other(pc);
        other.out_gain[2] = 10;
        other.out_gain[4] = -10;
        FileEntry(7, other);
        pc.cur_chan = 0;
        pc.out_mute[0] = 0;
        device::SendParam(pc, PC_OUT_MUTE);  // an edit before the Take
        QCOMPARE(h.Stack().UndoCount(), std::size_t(1));

        CDlgCompare window(shell_->doc());
        window.setSources(kPc, Entry(7));
        QVERIFY(window.compare());
        Select(window.table(), QStringLiteral("Out 3"), QStringLiteral("gain"));
        Select(window.table(), QStringLiteral("Out 5"), QStringLiteral("gain"));
        window.takeSelected();
        QCOMPARE(pc.out_gain[2], 10);
        QCOMPARE(pc.out_gain[4], -10);
        QCOMPARE(h.Stack().UndoCount(), std::size_t(2));
        QCOMPARE(shell_->frame().action(CMainFrame::ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Take of 2 settings"));

        kvtest::WireRecorder wire;
        shell_->frame().action(CMainFrame::ID_EDIT_UNDO)->trigger();
        QCOMPARE(pc.out_gain[2], 0);
        QCOMPARE(pc.out_gain[4], 0);
        QCOMPARE(pc.out_mute[0], 0);  // the edit before stays
        const std::vector<Bytes> expected = {kvtest::Hex("F0 00 20 18 00 2D 62 62 00 4B F7"),
                                             kvtest::Hex("F0 00 20 18 00 2D 64 62 00 4B F7")};
        QCOMPARE(wire.Messages(), expected);
        QVERIFY(h.CanUndo());
        QCOMPARE(shell_->frame().action(CMainFrame::ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Out 1 mute"));
        QVERIFY(h.CanRedo());
    }

    // Every setting Take copies comes back with its undo, the names that no
    // parameter message carries too; redo takes them again.
    void undoOfTakeBringsBackEverySetting() {
        CDSDATA& pc = shell_->model();
        std::strcpy(pc.prog_name, "MINE");
        shell_->doc().SetModified(false);  // as saved
        CDSDATA other(pc);
        std::strcpy(other.prog_name, "THEIRS");
        other.out_gain[2] = 10;
        FileEntry(7, other);
        CDlgCompare window(shell_->doc());
        window.setSources(kPc, Entry(7));
        QVERIFY(window.compare());
        Select(window.table(), QStringLiteral("Program"), QStringLiteral("name"));
        Select(window.table(), QStringLiteral("Out 3"), QStringLiteral("gain"));
        window.takeSelected();
        QCOMPARE(QString::fromLatin1(pc.prog_name), QStringLiteral("THEIRS"));
        QCOMPARE(pc.out_gain[2], 10);

        QAction* undo = shell_->frame().action(CMainFrame::ID_EDIT_UNDO);
        QCOMPARE(undo->text(), QStringLiteral("&Undo Take of 2 settings"));
        undo->trigger();
        QCOMPARE(QString::fromLatin1(pc.prog_name), QStringLiteral("MINE"));
        QCOMPARE(pc.out_gain[2], 0);
        QVERIFY(!shell_->doc().IsModified());
        shell_->frame().action(CMainFrame::ID_EDIT_REDO)->trigger();
        QCOMPARE(QString::fromLatin1(pc.prog_name), QStringLiteral("THEIRS"));
        QCOMPARE(pc.out_gain[2], 10);
    }

    void takeCopiesOnlyTheSelectedSettings() {
        CDSDATA& pc = shell_->model();
        CDSDATA other(pc);
        other.out_gain[2] = 10;
        other.out_limit[3] = -50;
        FileEntry(7, other);
        CDlgCompare window(shell_->doc());
        window.setSources(kPc, Entry(7));
        QVERIFY(window.compare());
        Select(window.table(), QStringLiteral("Out 3"), QStringLiteral("gain"));
        QVERIFY(!shell_->doc().IsModified());
        kvtest::WireRecorder wire;
        window.takeSelected();
        QCOMPARE(pc.out_gain[2], 10);
        QCOMPARE(pc.out_limit[3], 20);  // not selected: stays
        QVERIFY(shell_->doc().IsModified());
        QVERIFY(wire.events.empty());  // nothing sent
        QCOMPARE(Rows(window.table()), QStringList{"Out 4 | limit | +4.0 dBu | -10.0 dBu"});
    }

    void importRefusesABadFileAndChangesNothing_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("named");
        const QByteArray head = R"({"format": "kalvore-program", "version": 1, )";
        QTest::newRow("out of range") << head + R"("out3": {"gain": 40}})"
                                      << "out3.gain";
        QTest::newRow("unknown key") << head + R"("out3": {"volume": 1}})"
                                     << "out3.volume";
        QTest::newRow("wrong type") << head + R"("ina": {"delay": "long"}})"
                                    << "ina.delay";
        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << "";
    }
    void importRefusesABadFileAndChangesNothing() {
        QFETCH(QByteArray, json);
        QFETCH(QString, named);
        CDSDATA& pc = shell_->model();
        pc.out_gain[0] = 7;
        shell_->doc().SetModified(false);  // as saved
        const QByteArray before = kvtest::ImageOf(pc);
        const QString path = dir_.filePath(QStringLiteral("bad.json"));
        WriteFile(path, json);
        QString why;
        QVERIFY(!ImportJsonIntoDocument(shell_->doc(), path, &why));
        QVERIFY2(why.contains(path) && why.contains(named), qPrintable(why));
        QCOMPARE(kvtest::ImageOf(pc), before);
        QVERIFY(!shell_->doc().IsModified());
    }

    void exportAndImportGiveTheSameProgram() {
        CDSDATA& pc = shell_->model();
        pc.figuration = 1;
        pc.link_on = 1;
        pc.InitData();
        pc.out_gain[2] = -12;
        pc.out_delay[5] = 960;
        std::strcpy(pc.prog_name, "SHOW3");
        const QByteArray image = kvtest::ImageOf(pc);
        const QString json = dir_.filePath(QStringLiteral("show.json"));
        const QString text = dir_.filePath(QStringLiteral("show.txt"));
        QString why;
        QVERIFY2(WriteProgramJson(pc, json, &why), qPrintable(why));
        QVERIFY2(WriteProgramText(pc, text, &why), qPrintable(why));
        QFile t(text);
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll().toStdString(), kvprog::DescribeText(pc));

        pc.figuration = 0;
        pc.link_on = 0;
        pc.InitData();
        QVERIFY2(ImportJsonIntoDocument(shell_->doc(), json, &why), qPrintable(why));
        QCOMPARE(kvtest::ImageOf(pc), image);
        QVERIFY(shell_->doc().IsModified());
    }

    // Verify reads the working program without recalling anything and says
    // so when it matches; a difference opens the window on it.
    void verifySaysNoDifferencesOrShowsThem() {
        CDSDATA& pc = shell_->model();
        pc.out_gain[1] = 5;
        QByteArray unit_image = kvtest::ImageOf(pc);
        kvtest::WireRecorder wire;
        wire.on_write = [&unit_image](const Bytes& msg) {
            if (msg.size() == 8 && msg[5] == 0x02)
                kvcom::HandleChunk(reinterpret_cast<const std::uint8_t*>(unit_image.constData()),
                                   static_cast<std::size_t>(unit_image.size()));
        };
        kvtest::ModalAnswerer answers;
        VerifyAgainstUnit(shell_->doc(), &shell_->frame(), 0);
        QCOMPARE(wire.Messages(), std::vector<Bytes>{kvtest::Hex("F0 00 20 18 00 02 00 F7")});
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(answers.seen[0].text.startsWith(QStringLiteral("No differences")), qPrintable(answers.seen[0].text));

        CDSDATA changed(pc);
        changed.out_gain[1] = 0;
        unit_image = kvtest::ImageOf(changed);
        VerifyAgainstUnit(shell_->doc(), &shell_->frame(), 0);
        auto* window = shell_->frame().findChild<CDlgCompare*>();
        QVERIFY(window);
        QCOMPARE(Rows(window->table()), QStringList{"Out 2 | gain | +1.0 dB | +0.0 dB"});
        QCOMPARE(answers.seen.size(), 1);
    }
};

QTEST_MAIN(TestCompare)
#include "tst_compare.moc"
