// The same program and bank files through 758's open path (File > Open,
// the memory manager's Load All) and kvctl's (`kvctl show FILE`): both
// refuse the same files, read the same ones with a note, and read the rest
// as they are.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "kvfiles/bank_file.h"
#include "kvfiles/program_file.h"
#include "memory/dlg_memory.h"
#include "scripted_user.h"

namespace {

enum class Verdict { kRead, kReadWithNote, kRefused };

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

const char* Name(Verdict v) {
    switch (v) {
    case Verdict::kRead: return "read";
    case Verdict::kReadWithNote: return "read with a note";
    case Verdict::kRefused: return "refused";
    }
    return "";
}

}  // namespace

Q_DECLARE_METATYPE(Verdict)

class TestFileVerdicts : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    CDSDATA factory_;

    QByteArray ProgramFile() {
        CDSDATA m(factory_);
        m.out_gain[2] = -12;
        return Bytes(kvfiles::EncodeProgramFile(m));
    }
    QByteArray BankFile() {
        kvfiles::BankTable t = kvfiles::EmptyBankTable();
        CDSDATA m(factory_);
        for (int memory : {0, 3}) {
            m.mem_num = static_cast<char>(memory);
            std::vector<std::uint8_t> image(KV_IMAGE_MAX);
            image.resize(static_cast<std::size_t>(m.SaveData(image.data())));
            t.entries[static_cast<std::size_t>(memory)] = {image, "UNUSED  ", true};
        }
        return Bytes(kvfiles::EncodeBank(t));
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    static Verdict KvctlVerdict(const QString& path, QString* said) {
        QProcess kvctl;
        kvctl.start(QStringLiteral(KVCTL_BIN), {QStringLiteral("show"), path});
        kvctl.waitForFinished(30000);
        const QString err = QString::fromUtf8(kvctl.readAllStandardError());
        *said = QStringLiteral("exit %1: ").arg(kvctl.exitCode()) + err;
        if (kvctl.exitCode() == 4) return Verdict::kRefused;  // the file problem's code
        if (kvctl.exitCode() != 0) return Verdict::kRefused;  // told in the failure message
        return err.contains(QStringLiteral("warning")) ? Verdict::kReadWithNote : Verdict::kRead;
    }

    static Verdict OpenVerdict(const QString& path, QString* said) {
        CMy758Doc doc;
        QString why, note;
        if (!doc.OpenDocument(path, &why, &note)) {
            *said = why;
            return Verdict::kRefused;
        }
        *said = note;
        return note.isEmpty() ? Verdict::kRead : Verdict::kReadWithNote;
    }

    Verdict LoadAllVerdict(const QString& path, QString* said) {
        CDlgMemory dialog(factory_);
        kvtest::ScriptedUser user;
        user.open_path = path;
        user.load_all_answer = false;  // the verdict is known by the question asked
        user.confirm_answer = false;
        user.Attach(dialog);
        dialog.loadAll();
        if (!user.told.isEmpty()) {
            *said = user.told.join(QLatin1Char('\n'));
            return Verdict::kRefused;
        }
        *said = user.questions.join(QLatin1Char('\n'));
        return user.questions.isEmpty() ? Verdict::kRead : Verdict::kReadWithNote;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void sameVerdictIn758AndKvctl_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Verdict>("verdict");
        const QByteArray syx = ProgramFile();
        const QByteArray ay = BankFile();
        auto with = [](QByteArray b, int at, char value) {
            b[at] = value;
            return b;
        };
        const int checksum_at = int(syx.size()) - 2;
        QTest::newRow("program: good") << "good.syx" << syx << Verdict::kRead;
        QTest::newRow("program: wrong checksum")
            << "checksum.syx" << with(syx, checksum_at, char(syx[checksum_at] ^ 0x01)) << Verdict::kReadWithNote;
        QTest::newRow("program: short") << "short.syx" << syx.left(400) << Verdict::kRefused;
        QTest::newRow("program: long") << "long.syx" << (syx + QByteArray(3001 - syx.size(), '\x0F'))
                                       << Verdict::kRefused;
        QTest::newRow("program: wrong header") << "header.syx" << with(syx, 1, '\x02') << Verdict::kRefused;
        QTest::newRow("program: wrong F7") << "f7.syx" << with(syx, int(syx.size()) - 1, '\x00')
                                           << Verdict::kReadWithNote;

        const int memory3 = int(kvfiles::kBankHeaderBytes) + 57 * 2;  // after the empty entries 60..4
        QTest::newRow("bank: good") << "good.ay" << ay << Verdict::kRead;
        QTest::newRow("bank: wrong checksum")
            << "checksum.ay" << with(ay, memory3 + 300, char(ay[memory3 + 300] ^ 0x01)) << Verdict::kRefused;
        QTest::newRow("bank: short") << "short.ay" << ay.left(ay.size() - 100) << Verdict::kReadWithNote;
        QTest::newRow("bank: long") << "long.ay" << (ay + QByteArray(10, '\0')) << Verdict::kReadWithNote;
        QTest::newRow("bank: wrong header") << "header.ay" << with(ay, 0, '\x51') << Verdict::kRefused;
        QTest::newRow("bank: wrong F7") << "f7.ay" << with(ay, int(ay.size()) - 1, '\x00') << Verdict::kReadWithNote;
    }

    void sameVerdictIn758AndKvctl() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(Verdict, verdict);
        const QString path = Write(name, bytes);
        QString said_758, said_kvctl;
        const Verdict in_758 =
            name.endsWith(QLatin1String(".ay")) ? LoadAllVerdict(path, &said_758) : OpenVerdict(path, &said_758);
        const Verdict in_kvctl = KvctlVerdict(path, &said_kvctl);
        QVERIFY2(in_758 == verdict, qPrintable(QStringLiteral("758: %1 (%2)").arg(Name(in_758), said_758)));
        QVERIFY2(in_kvctl == verdict, qPrintable(QStringLiteral("kvctl: %1 (%2)").arg(Name(in_kvctl), said_kvctl)));
    }
};

QTEST_MAIN(TestFileVerdicts)
#include "tst_file_verdicts.moc"
