// Bank files (.ay): Save All and Load All through the memory manager, and
// what happens when the file cannot be written or read.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "device.h"
#include "memory/bank_file_io.h"
#include "scripted_user.h"
#include "file_helpers.h"
#include "modal_answerer.h"
#include "wire_recorder.h"

using namespace kvtest;

namespace {

QByteArray FromHex(const char* hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }

// The 110-byte header for current memory `memory`, built byte by byte as the
// file format lays it out; the checksum is passed in.
QByteArray BankHeader(int memory, int checksum) {
    QByteArray h = FromHex(
        "50 01 00 00 F0 00 20 18 00 2B 03 00 03 07 09 07 03 07 04 07 00 00 04 00 0F 0F"
        "00 00 00 00 09 00 00 00 0A 00 00 00 0A 00 00 00 0A 00 00 00 09 00 00 00 09 00"
        "00 00 00 00 00 00 0F 01 00 00");
    h += char(memory & 0x0F);
    h += char(memory >> 4);
    h += FromHex("00 00 00 00 04");
    h += QByteArray(35, '\0');
    h += FromHex("0F 0F 0F 0F");
    h += char(checksum);
    h += char(0xF7);
    return h;
}

QByteArray EmptyEntries(int count) {
    QByteArray out;
    for (int i = 0; i < count; ++i) out += FromHex("F0 F7");
    return out;
}

// The simulated unit answers on the recorder's line, so a list completes.
void AnswerAsUnit(WireRecorder& rec, kvsim::Device& unit) {
    rec.on_write = [&unit](const Bytes& message) {
        const Bytes reply = unit.Feed(message.data(), message.size());
        if (!reply.empty()) kvcom::HandleChunk(reply.data(), reply.size());
    };
}

struct TableSnapshot {
    QByteArray save, len, names, used;
    static TableSnapshot Take() {
        auto raw = [](const void* p, std::size_t n) { return QByteArray(static_cast<const char*>(p), qsizetype(n)); };
        return {raw(prog_save, sizeof prog_save), raw(prog_len, sizeof prog_len), raw(data_name, sizeof data_name),
                raw(data_memoryb, sizeof data_memoryb)};
    }
    bool operator==(const TableSnapshot&) const = default;
};

}  // namespace

class TestBankFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

private slots:
    void init() {
        CDSDATA reset;  // construction empties the memory table
        ResetReception();
    }

    // With every memory empty and no working program, Save All writes the
    // header, sixty 2-byte empty entries, then the PC's own program as
    // memory 0. The refresh goes out first; the unit lists no memory.
    void saveAllWithEmptyTableWritesHeaderEntriesAndOwnProgram() {
        CDSDATA model;
        std::strcpy(model.prog_name, "MYPROG");
        model.out_gain[2] = 17;
        const QByteArray own = ImageOf(model, 0, "MYPROG");

        WireRecorder rec;
        kvsim::Device unit;
        unit.SetWorking(model);  // it runs the PC's program
        AnswerAsUnit(rec, unit);
        CDlgMemory dialog(model);
        ScriptedUser user;
        user.save_path = Path("empty");  // ".ay" is added
        user.Attach(dialog);
        dialog.saveAll();

        QVERIFY2(user.told.isEmpty(), qPrintable(user.told.join('\n')));
        const QByteArray file = ReadAll(Path("empty.ay"));
        QCOMPARE(file.size(), 110 + 60 * 2 + own.size());
        QCOMPARE(file.left(110), BankHeader(1, 0x5B));
        QCOMPARE(file.mid(110, 120), EmptyEntries(60));
        QCOMPARE(file.mid(230), own);
        QCOMPARE(static_cast<unsigned char>(file.at(230 + 7)), 0u);  // memory number 0
        QCOMPARE(prog_len[0], own.size());                           // entry 0 was filled
        QCOMPARE(model.mem_num, char(1));                            // and mem_num put back
        const auto messages = rec.Messages();
        QVERIFY(!messages.empty());
        QCOMPARE(messages.front(), Hex("F0 00 20 18 7F 06 01 F7"));  // the refresh ran

        // Loading it back: sixty empty memories, entry 0 named after the program.
        std::strcpy(data_name[12], "JUNK");
        data_memoryb[12] = 1;
        rec.Clear();
        user.open_path = Path("empty.ay");
        dialog.loadAll();
        for (int m = 1; m <= 60; ++m) {
            QCOMPARE(TableName(m), QStringLiteral("<None>"));
            QCOMPARE(data_memoryb[m], 0);
            QCOMPARE(prog_len[m], 2);
        }
        QCOMPARE(TableName(0), QStringLiteral("MYPROG  "));
        QCOMPARE(data_memoryb[0], 1);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(prog_save[0]), prog_len[0]), own);
        QVERIFY(rec.events.empty());  // Load All never touches the unit
    }

    // The header carries the current memory number as two nibbles, and its
    // checksum follows them.
    void headerCarriesCurrentMemoryAndItsChecksum() {
        CDSDATA model;
        kvfiles::FillWorkingProgramEntry(model);
        model.mem_num = 1;
        QCOMPARE(EncodeMemoryTable(model).left(110), BankHeader(1, 0x5B));
        model.mem_num = 37;  // 0x25
        const QByteArray h = EncodeMemoryTable(model).left(110);
        QCOMPARE(h.at(62), char(5));
        QCOMPARE(h.at(63), char(2));
        QCOMPARE(h, BankHeader(37, (0x5B - 1 + 5 + 2) & 0x7F));
    }

    // Used memories go out from 60 down with their own images, back to back,
    // and read back into the same entries with their names.
    void usedMemoriesRoundTripInDescendingOrder() {
        CDSDATA model;
        const QByteArray three = ImageOf(model, 3, "VOX!#~-");
        const QByteArray sixty = ImageOf(model, 60, "LAST");
        std::memcpy(prog_save[3], three.constData(), std::size_t(three.size()));
        prog_len[3] = int(three.size());
        std::memcpy(prog_save[60], sixty.constData(), std::size_t(sixty.size()));
        prog_len[60] = int(sixty.size());
        kvfiles::FillWorkingProgramEntry(model);
        const QByteArray bank = EncodeMemoryTable(model);
        QCOMPARE(bank.mid(110, sixty.size()), sixty);
        QCOMPARE(bank.mid(110 + sixty.size(), 56 * 2), EmptyEntries(56));
        QCOMPARE(bank.mid(110 + sixty.size() + 112, three.size()), three);

        LoadMemoryTable(bank);
        QCOMPARE(TableName(3), QStringLiteral("VOX!#~- "));
        QCOMPARE(TableName(60), QStringLiteral("LAST    "));
        QCOMPARE(data_memoryb[3], 1);
        QCOMPARE(data_memoryb[60], 1);
        QCOMPARE(data_memoryb[4], 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(prog_save[3]), prog_len[3]), three);
    }

    // Loading the same file twice gives the same table, whatever was in the
    // table before.
    void loadingTwiceGivesTheSameTable() {
        CDSDATA model;
        model.mem_num = 7;
        const QByteArray bank = BankHeader(7, (0x5B - 1 + 7) & 0x7F) + ImageOf(model, 9, "NINE") + EmptyEntries(10) +
                                ImageOf(model, 2, "TWO") + ImageOf(model, 0, "WORK");
        WriteAll(Path("twice.ay"), bank);

        CDlgMemory dialog(model);
        ScriptedUser user;
        user.open_path = Path("twice.ay");
        user.Attach(dialog);
        dialog.loadAll();
        const TableSnapshot first = TableSnapshot::Take();
        QCOMPARE(TableName(9), QStringLiteral("NINE    "));
        QCOMPARE(TableName(0), QStringLiteral("WORK    "));

        std::strcpy(data_name[40], "STALE");
        data_memoryb[40] = 1;
        prog_len[41] = 700;
        dialog.loadAll();
        QVERIFY(TableSnapshot::Take() == first);
        QVERIFY(user.told.isEmpty());
    }

    // An image numbered above 60 or longer than a table row is skipped and
    // the scan goes on; an image with no closing F7 ends the scan.
    void imagesThatDoNotFitAreSkipped() {
        CDSDATA model;
        QByteArray high = ImageOf(model, 61, "HIGH");
        QByteArray huge = FromHex("F0 00 20 18 00 2C 10 05") + QByteArray(5000, '\x01') + FromHex("F7");
        QByteArray cut = ImageOf(model, 8, "CUT");
        cut.chop(1);  // its F7
        const QByteArray bank =
            BankHeader(1, 0x5B) + high + ImageOf(model, 4, "FOUR") + huge + ImageOf(model, 6, "SIX") + cut;
        LoadMemoryTable(bank);
        QCOMPARE(TableName(4), QStringLiteral("FOUR    "));
        QCOMPARE(TableName(6), QStringLiteral("SIX     "));
        QCOMPARE(data_memoryb[5], 0);  // the oversized image's number
        QCOMPARE(prog_len[5], 2);
        QCOMPARE(data_memoryb[8], 0);
        QCOMPARE(TableName(8), QStringLiteral("<None>"));
        int used = 0;
        for (int m = 0; m <= 60; ++m) used += data_memoryb[m];
        QCOMPARE(used, 2);
    }

    // Only the first 500000 bytes are read: an image cut by that limit is
    // incomplete and not loaded, one before it is.
    void readStopsAtTheLimit() {
        CDSDATA model;
        const QByteArray early = ImageOf(model, 11, "EARLY");
        const QByteArray late = ImageOf(model, 12, "LATE");
        QByteArray bank = BankHeader(1, 0x5B) + early;
        bank += QByteArray(int(kBankFileReadLimit) - 100 - bank.size(), '\0');
        bank += late;  // straddles the limit
        WriteAll(Path("big.ay"), bank);

        QByteArray read;
        QString error;
        QVERIFY(ReadBankFile(Path("big.ay"), read, &error));
        QCOMPARE(read.size(), kBankFileReadLimit);
        LoadMemoryTable(read);
        QCOMPARE(data_memoryb[11], 1);
        QCOMPARE(data_memoryb[12], 0);
    }

    void suffixIsAddedOnlyWhenMissing() {
        QCOMPARE(WithBankSuffix("/tmp/bank"), QStringLiteral("/tmp/bank.ay"));
        QCOMPARE(WithBankSuffix("/tmp/bank.AY"), QStringLiteral("/tmp/bank.AY"));
        QCOMPARE(WithBankSuffix("/tmp/x.d/bank"), QStringLiteral("/tmp/x.d/bank.ay"));
        QCOMPARE(WithBankSuffix("/tmp/bank.old"), QStringLiteral("/tmp/bank.old"));
    }

    // The real save dialog adds ".ay" itself, so its overwrite question is
    // about the file that will be written.
    void saveDialogAddsTheSuffix() {
        ModalAnswerer answers;
        answers.Then([this](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog);
            dialog->setDirectory(dir_.path());
            // selectFile leaves the name field alone while it has the focus,
            // and whether it has it yet depends on the window's activation.
            if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
            dialog->selectFile(QStringLiteral("named"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(StandardMemoryPrompts().save_path(nullptr), Path("named.ay"));
        QCOMPARE(answers.pending(), 0);
    }

    // A file that cannot be read is reported and the table stays as it was.
    void unreadableFileLeavesTheTable() {
        CDSDATA model;
        std::strcpy(data_name[5], "KEEP");
        data_memoryb[5] = 1;
        const TableSnapshot before = TableSnapshot::Take();

        CDlgMemory dialog(model);
        ScriptedUser user;
        user.open_path = Path("no-such-file.ay");
        user.Attach(dialog);
        dialog.loadAll();
        QCOMPARE(user.told.size(), 1);
        QVERIFY(user.told.first().contains(QStringLiteral("could not be read")));
        QVERIFY(TableSnapshot::Take() == before);
    }

    // A bank that cannot be written is reported, whether its folder is
    // missing or the write fails part-way (the disk full): the bank that was
    // there keeps its old content, no temporary file is left, and the
    // refresh still ran.
    void unwritableBankIsReported_data() {
        QTest::addColumn<QString>("name");       // in a fresh folder
        QTest::addColumn<QByteArray>("old");     // the file before; null: none
        QTest::addColumn<qint64>("size_limit");  // on the files written; 0: none
        QTest::addColumn<QStringList>("left");   // the folder's files afterwards
        QTest::newRow("folder missing") << "missing-folder/bank.ay" << QByteArray() << qint64(0) << QStringList{};
        QTest::newRow("disk full part-way")
            << "bank.ay" << QByteArray(300, 'x') << qint64(200) << QStringList{QStringLiteral("bank.ay")};
    }
    void unwritableBankIsReported() {
        QFETCH(QString, name);
        QFETCH(QByteArray, old);
        QFETCH(qint64, size_limit);
        QFETCH(QStringList, left);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        if (!old.isNull()) WriteAll(path, old);

        CDSDATA model;
        WireRecorder rec;
        kvsim::Device unit;
        AnswerAsUnit(rec, unit);
        CDlgMemory dialog(model);
        ScriptedUser user;
        user.save_path = path;
        user.Attach(dialog);
        if (size_limit > 0)
            WithFileSizeLimit(rlim_t(size_limit), [&dialog] { dialog.saveAll(); });
        else
            dialog.saveAll();

        QCOMPARE(user.told.size(), 1);
        QVERIFY(user.told.first().contains(QStringLiteral("could not be saved")));
        QCOMPARE(QFile::exists(path), !old.isNull());
        if (!old.isNull()) QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), left);
        QVERIFY(!rec.Messages().empty());
    }

    // Cancelling the file dialogs does nothing at all.
    void cancelledFileDialogsDoNothing() {
        CDSDATA model;
        std::strcpy(data_name[2], "KEEP");
        const TableSnapshot before = TableSnapshot::Take();
        WireRecorder rec;
        CDlgMemory dialog(model);
        ScriptedUser user;
        user.Attach(dialog);
        dialog.saveAll();
        dialog.loadAll();
        QVERIFY(rec.events.empty());
        QVERIFY(TableSnapshot::Take() == before);
        QVERIFY(user.told.isEmpty());
    }
};

QTEST_MAIN(TestBankFiles)
#include "tst_bank_files.moc"
