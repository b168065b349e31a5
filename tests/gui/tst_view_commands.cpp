// The routing view's commands on the line: Figuration, Download, Upload and
// Memory, and the memory-name prompt.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "memory/dlg_memory_no.h"
#include "routing/my758_view.h"
#include "settings/dlg_figuration.h"
#include "shell/main_frame.h"
#include "modal_answerer.h"
#include "shell_fixture.h"
#include "wire_recorder.h"

#include <QComboBox>
#include <QCheckBox>

using kvtest::Bytes;
using kvtest::Hex;

namespace {

const Bytes kIdentity = Hex("F0 00 20 18 00 06 01 F7");

// Answers the Figuration dialog with a configuration and link box.
kvtest::ModalAnswerer::Handler ChooseFiguration(int figuration, bool link) {
    return [figuration, link](QWidget* w) {
        auto* dlg = qobject_cast<CDlgFiguration*>(w);
        QVERIFY(dlg);
        dlg->configurationList()->setCurrentIndex(figuration);
        dlg->stereoLinkBox()->setChecked(link);
        dlg->accept();
    };
}

// Answers the memory-name prompt by typing name and pressing OK.
kvtest::ModalAnswerer::Handler TypeName(const QString& name) {
    return [name](QWidget* w) {
        auto* dlg = qobject_cast<CDlgMemoryNo*>(w);
        QVERIFY(dlg);
        QCOMPARE(dlg->promptLabel()->text(), QStringLiteral("Current Memory:"));
        QCOMPARE(dlg->nameEdit()->text(), QString());
        QTest::keyClicks(dlg->nameEdit(), name);
        dlg->accept();
    };
}

// The name characters StoreFromPC sent, in order.
QByteArray SentName(const std::vector<Bytes>& messages) {
    QByteArray name;
    for (const Bytes& m : messages)
        if (m.size() == 11 && m[5] == 0x2D && m[6] == 0x01 && m[8] == 0x01 && m[7] >= 1 && m[7] <= 8)
            name.append(static_cast<char>(m[9]));
    return name;
}

}  // namespace

class TestViewCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;
    CMy758Doc* doc_ = nullptr;
    CMainFrame* frame_ = nullptr;
    CMy758View* view() const { return frame_->view(); }
    CDSDATA& model() { return doc_->Model(); }

private slots:
    void init() {
        shell_ = std::make_unique<kvtest::ShellFixture>();
        doc_ = &shell_->doc();
        frame_ = &shell_->frame();
    }
    void cleanup() { shell_.reset(); }

    void figurationOkResetsAndSends_data() {
        QTest::addColumn<int>("figuration");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("Mono") << 0 << false
                              << QList<QByteArray>{"F0 00 20 18 00 2D 01 11 01 F7", "F0 00 20 18 00 06 01 F7"};
        QTest::newRow("2 Channel 3 Way linked")
            << 1 << true
            << QList<QByteArray>{"F0 00 20 18 00 2D 01 12 01 01 F7", "F0 00 20 18 00 06 01 F7",
                                 "F0 00 20 18 00 2D 01 02 00 01 F7"};
        QTest::newRow("3 Channel 2 Way unlinked")
            << 2 << false
            << QList<QByteArray>{"F0 00 20 18 00 2D 01 12 01 02 F7", "F0 00 20 18 00 06 01 F7",
                                 "F0 00 20 18 00 2D 01 02 00 F7"};
    }

    void figurationOkResetsAndSends() {
        QFETCH(int, figuration);
        QFETCH(bool, link);
        QFETCH(QList<QByteArray>, expected);
        model().out_gain[0] = 40;
        model().ina_delay = 100;
        model().out_mute[2] = 0;
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        answers.Then(ChooseFiguration(figuration, link));
        answers.ThenPress(QStringLiteral("Reset"));  // the question that names the reset
        frame_->action(CMainFrame::ID_FIGURATION)->trigger();
        QCOMPARE(answers.pending(), 0);

        QCOMPARE(int(model().figuration), figuration);
        QCOMPARE(model().link_on, link ? 1 : 0);
        // Factory values of the new configuration.
        CDSDATA factory;
        factory.figuration = static_cast<char>(figuration);
        factory.InitData();
        QCOMPARE(model().out_gain[0], 0);
        QCOMPARE(model().ina_delay, 0);
        QCOMPARE(model().out_mute[2], 1);
        for (int n = 0; n < 6; ++n) {
            QCOMPARE(int(model().out_source[n]), int(factory.out_source[n]));
            QCOMPARE(model().xo_freq[n][1], factory.xo_freq[n][1]);
        }
        std::vector<Bytes> want;
        for (const QByteArray& hex : expected) want.push_back(Hex(hex.toStdString()));
        QVERIFY2(wire.Messages() == want, wire.Describe().c_str());
        QCOMPARE(view()->button(1155)->isVisibleTo(view()), figuration != 0);
    }

    void figurationCancelChangesNothing() {
        model().figuration = 2;
        model().link_on = 1;
        model().out_gain[1] = 20;
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        answers.Then([](QWidget* w) {
            auto* dlg = qobject_cast<CDlgFiguration*>(w);
            QVERIFY(dlg);
            dlg->configurationList()->setCurrentIndex(0);
            dlg->reject();
        });
        view()->onFiguration();
        QCOMPARE(int(model().figuration), 2);
        QCOMPARE(model().link_on, 1);
        QCOMPARE(model().out_gain[1], 20);
        QVERIFY(wire.events.empty());
    }

    void downloadStoresTheTypedName_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << QString() << QByteArray("KALVORE");
        QTest::newRow("blanks only") << QStringLiteral("    ") << QByteArray("KALVORE");
        QTest::newRow("trailing blanks") << QStringLiteral("mix 1  ") << QByteArray("MIX 1");
        QTest::newRow("eight") << QStringLiteral("abcdefgh") << QByteArray("ABCDEFGH");
    }

    void downloadStoresTheTypedName() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        model().mem_num = 7;
        model().out_mute[3] = 0;
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        answers.Then(TypeName(typed));
        frame_->action(CMainFrame::ID_DOWNLOAD)->trigger();
        QCOMPARE(answers.pending(), 0);

        QCOMPARE(QByteArray(data_name[0]), stored);
        QCOMPARE(QByteArray(model().prog_name), stored);
        QCOMPARE(int(model().mem_num), 0);
        for (int n = 0; n < 6; ++n) QCOMPARE(model().out_mute[n], 1);
        // The name goes out as stored: the characters, the end, then blanks.
        QByteArray padded = stored;
        if (padded.size() < 8) padded.append('\0');
        while (padded.size() < 8) padded.append(' ');
        const std::vector<Bytes> messages = wire.Messages();
        QCOMPARE(SentName(messages), padded);
        QVERIFY2(!messages.empty() && messages.back() == Hex("C0 00"), wire.Describe().c_str());
    }

    void cancelledDownloadMutesAndSendsNothing() {
        model().mem_num = 5;
        for (int n = 0; n < 6; ++n) model().out_mute[n] = 0;
        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        answers.ThenReject();
        view()->onDownload();
        QCOMPARE(answers.pending(), 0);
        for (int n = 0; n < 6; ++n) QCOMPARE(model().out_mute[n], 1);
        QCOMPARE(int(model().mem_num), 0);
        QVERIFY(wire.events.empty());
    }

    void uploadFromASilentDeviceFails() {
        model().out_gain[4] = 9;
        kvtest::WireRecorder wire;  // nothing ever answers
        kvtest::ModalAnswerer answers;
        frame_->action(CMainFrame::ID_UPLOAD)->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(answers.seen[0].text, QStringLiteral("Recall from MCU to PC failed!"));
        QCOMPARE(model().out_gain[4], 9);
        QVERIFY(!wire.Messages().empty());
        QVERIFY(wire.Messages().front() == kIdentity);
    }

    // Config/Memory marks the document modified and opens the memory
    // manager; when it changed the model (Store All here) the view shows
    // the model again.
    void memoryCommandOpensTheManager() {
        QAction* memory = frame_->action(CMainFrame::ID_MEMORY);
        QVERIFY(memory->isEnabled());
        QPushButton* in_b = view()->button(1155);
        QVERIFY(!in_b->isVisible());
        model().figuration = 1;  // not shown until the view re-initialises
        doc_->SetModified(false);  // as saved so

        kvtest::WireRecorder wire;
        kvtest::ModalAnswerer answers;
        bool modified_on_open = false;
        answers.Then([this, &modified_on_open](QWidget* w) {
            modified_on_open = doc_->IsModified();
            QMetaObject::invokeMethod(w, "reject");
        });
        memory->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].class_name, QStringLiteral("CDlgMemory"));
        QVERIFY(!modified_on_open);  // the manager itself changes nothing
        QVERIFY(!doc_->IsModified());
        QVERIFY(!in_b->isVisible());  // closed without a change: no re-initialisation

        answers.Then([](QWidget* w) {
            for (QPushButton* b : w->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("Store All"))  // queued: its question is answered next
                    QMetaObject::invokeMethod(b, &QPushButton::click, Qt::QueuedConnection);
        });
        answers.Then([](QWidget* w) {  // Store All's question: no copy of the unit's memories
            if (auto* box = qobject_cast<QMessageBox*>(w)) box->checkBox()->setChecked(false);
            kvtest::PressMessageBoxButton(w, QStringLiteral("Store All"));
        });
        memory->trigger();
        QVERIFY(!wire.Messages().empty());
        QVERIFY(in_b->isVisible());
    }

    void namePromptTypesCapitalsAndLimitsLength() {
        CDlgMemoryNo dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("KALVORE"));
        dlg.show();
        QTest::keyClicks(dlg.nameEdit(), QStringLiteral("mix-a!"));
        dlg.nameEdit()->insert(QStringLiteral("é"));
        QCOMPARE(dlg.nameEdit()->text(), QStringLiteral("MIX-A!"));  // no character outside ASCII

        kvtest::ModalAnswerer answers;
        QTest::keyClicks(dlg.nameEdit(), QStringLiteral("xyz"));
        QCOMPARE(dlg.name().size(), 9);
        dlg.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].text, QStringLiteral("Please enter no more than 8 characters."));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);

        dlg.nameEdit()->end(false);
        dlg.nameEdit()->backspace();
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.name(), QStringLiteral("MIX-A!XY"));
    }

    // After the warning only what lies beyond the eighth character is
    // marked: one key removes it and the first eight stay.
    void namePromptMarksOnlyTheExcess_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one too many") << "MAINMIXZ9"
                                      << "9"
                                      << "MAINMIXZ";
        QTest::newRow("three too many") << "ABCDEFGHIJK"
                                        << "IJK"
                                        << "ABCDEFGH";
        QTest::newRow("blanks beyond") << "STAGE L   "
                                       << "  "
                                       << "STAGE L ";
    }
    void namePromptMarksOnlyTheExcess() {
        QFETCH(QString, typed);
        QFETCH(QString, marked);
        QFETCH(QString, kept);
        CDlgMemoryNo dlg;
        dlg.setName(typed);
        dlg.show();
        kvtest::ModalAnswerer answers;
        dlg.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(dlg.nameEdit()->selectionStart(), 8);
        QCOMPARE(dlg.nameEdit()->selectedText(), marked);
        QTest::keyClick(dlg.nameEdit(), Qt::Key_Backspace);
        QCOMPARE(dlg.name(), kept);
    }

    void nameRules() {
        QCOMPARE(MemoryNameFromInput(QString()), QStringLiteral("KALVORE"));
        QCOMPARE(MemoryNameFromInput(QStringLiteral(" \t ")), QStringLiteral("KALVORE"));
        QCOMPARE(MemoryNameFromInput(QStringLiteral(" A B  ")), QStringLiteral(" A B"));

        CDSDATA m;
        std::memcpy(data_name[12], "OLDNAME7", 9);
        StoreMemoryName(m, 12, QStringLiteral("AB"));
        QCOMPARE(QByteArray(data_name[12], 9), QByteArray("AB\0     \0", 9));
        QCOMPARE(QByteArray(m.prog_name), QByteArray("AB"));
        StoreMemoryName(m, 12, QStringLiteral("ABCDEFGH"));
        QCOMPARE(QByteArray(data_name[12], 9), QByteArray("ABCDEFGH\0", 9));
    }
};

QTEST_MAIN(TestViewCommands)
#include "tst_view_commands.moc"
