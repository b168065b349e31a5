// The document in its frame: saving and opening program files, the caption
// with its modified mark, File New, the save question, the recent-file list
// and dropped files.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <cstring>
#include <kvcom/kvcom.h>

#include "document/my758_doc.h"
#include "device/device_line.h"
#include "document/program_file.h"
#include "routing/my758_view.h"
#include "shell/main_frame.h"
#include "file_helpers.h"
#include "modal_answerer.h"
#include "shell_fixture.h"

namespace {

using kvtest::ReadAll;
using kvtest::WriteAll;

void Edit(CDSDATA& m) {
    m.out_gain[0] = -30;
    m.out_delay[3] = 960;
    m.out_polarity[5] = 1;
    m.sum_delay = 48;
    std::strcpy(m.prog_name, "STAGE");
}

}  // namespace

class TestShellDocument : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<kvtest::ShellFixture> shell_;
    CMy758Doc* doc_ = nullptr;
    CMainFrame* frame_ = nullptr;

    QString File(const char* name) const { return dir_->filePath(QString::fromLatin1(name)); }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        shell_ = std::make_unique<kvtest::ShellFixture>();
        doc_ = &shell_->doc();
        frame_ = &shell_->frame();
    }

    void cleanup() { shell_.reset(); }

    void saveWritesHeaderAndExactlyTheImage() {
        Edit(doc_->Model());
        QVERIFY(doc_->SaveDocument(File("a.syx")));
        const QByteArray bytes = ReadAll(File("a.syx"));
        QCOMPARE(bytes.left(4), QByteArray("\x50\x01\x00\x00", 4));
        QCOMPARE(bytes.mid(4), kvtest::ImageOf(doc_->Model()));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("a.syx[*] - KALVORE"));
    }

    void openReadsTheImageAfterTheHeader() {
        CDSDATA source;
        source.figuration = 1;
        source.link_on = 1;
        source.InitData();
        Edit(source);
        WriteAll(File("b.syx"), programfile::Encode(source));

        bool reset = false;
        connect(doc_, &CMy758Doc::documentReset, this, [&reset] { reset = true; });
        QVERIFY(frame_->openFile(File("b.syx")));
        QVERIFY(reset);
        const CDSDATA& m = doc_->Model();
        QCOMPARE(int(m.figuration), 1);
        QCOMPARE(m.out_gain[0], -30);
        QCOMPARE(m.out_delay[3], 960);
        QCOMPARE(m.sum_delay, 48);
        QCOMPARE(kvtest::ImageOf(m), kvtest::ImageOf(source));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("b.syx[*] - KALVORE"));
        // The view follows the opened configuration.
        QVERIFY(frame_->view()->button(1155)->isVisibleTo(frame_->view()));
    }

    void oversizedFileIsRefusedWithAMessage() {
        Edit(doc_->Model());
        doc_->SetModified(false);  // as saved: no question first
        const QByteArray before = kvtest::ImageOf(doc_->Model());
        WriteAll(File("big.syx"), programfile::Encode(CDSDATA()) + QByteArray(2600, '\0'));
        kvtest::ModalAnswerer answers;
        QVERIFY(!frame_->openFile(File("big.syx")));
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY(answers.seen[0].text.contains(QStringLiteral("big.syx")));
        QCOMPARE(kvtest::ImageOf(doc_->Model()), before);
        QCOMPARE(frame_->windowTitle(), QStringLiteral("NoTitle[*] - KALVORE"));
    }

    void fileNewKeepsEveryParameter() {
        Edit(doc_->Model());
        QVERIFY(doc_->SaveDocument(File("c.syx")));
        const QByteArray before = kvtest::ImageOf(doc_->Model());
        bool reset = false;
        connect(doc_, &CMy758Doc::documentReset, this, [&reset] { reset = true; });
        frame_->action(CMainFrame::ID_FILE_NEW)->trigger();
        QVERIFY(reset);
        QCOMPARE(kvtest::ImageOf(doc_->Model()), before);
        QCOMPARE(frame_->windowTitle(), QStringLiteral("NoTitle[*] - KALVORE"));
        QVERIFY(doc_->Path().isEmpty());
    }

    // A new document starts from the program as it stands: closing asks
    // nothing more.
    void noQuestionForTheProgramAsItStarted() {
        kvtest::ModalAnswerer answers;
        Edit(doc_->Model());
        answers.ThenPress(QStringLiteral("No"));
        frame_->action(CMainFrame::ID_FILE_NEW)->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY(frame_->close());
        QCOMPARE(answers.seen.size(), 1);
    }

    // The title carries the desktop's mark while the program differs from
    // its file: an edit sets it and its undo clears it; the memory manager
    // opened, a memory chosen and closed with Escape is no edit.
    void theTitleMarksRealEditsOnly() {
        QVERIFY(doc_->SaveDocument(File("e.syx")));
        QCOMPARE(frame_->windowTitle(), QStringLiteral("e.syx[*] - KALVORE"));
        QVERIFY(!frame_->isWindowModified());

        kvtest::ModalAnswerer answers;
        answers.Then([](QWidget* w) {
            auto* list = w->findChild<QTableWidget*>(QStringLiteral("memoryList"));
            QVERIFY(list);
            list->selectRow(7);
            QTest::keyClick(w, Qt::Key_Escape);
        });
        frame_->action(CMainFrame::ID_MEMORY)->trigger();
        QCOMPARE(answers.pending(), 0);
        QVERIFY(!doc_->IsModified());
        QTest::qWait(20);
        QVERIFY(!frame_->isWindowModified());

        CDSDATA& m = doc_->Model();
        m.cur_chan = 2;
        m.out_gain[2] = -20;
        device::SendParam(m, PC_OUT_GAIN);
        QVERIFY(doc_->IsModified());
        QTRY_VERIFY(frame_->isWindowModified());
        frame_->action(CMainFrame::ID_EDIT_UNDO)->trigger();
        QCOMPARE(m.out_gain[2], 0);
        QTRY_VERIFY(!frame_->isWindowModified());
        QVERIFY(frame_->close());
        QVERIFY(answers.seen.size() == 1);  // no question at the end
    }

    void saveQuestionAnswers() {
        kvtest::ModalAnswerer answers;
        doc_->SetModified(true);

        answers.ThenPress(QStringLiteral("Cancel"));
        QVERIFY(!frame_->close());
        QVERIFY(frame_->isVisible());
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].text, QStringLiteral("Save changes to NoTitle?"));

        answers.ThenPress(QStringLiteral("No"));
        frame_->action(CMainFrame::ID_FILE_NEW)->trigger();
        QCOMPARE(answers.seen.size(), 2);
        QVERIFY(!doc_->IsModified());  // a new document starts unmodified

        // Yes saves to the document's file and clears the flag.
        QVERIFY(doc_->SaveDocument(File("d.syx")));
        doc_->SetModified(true);
        doc_->Model().out_gain[1] = 12;
        answers.ThenPress(QStringLiteral("Yes"));
        QVERIFY(frame_->close());
        QCOMPARE(answers.seen.last().text, QStringLiteral("Save changes to d.syx?"));
        QVERIFY(!doc_->IsModified());
        QCOMPARE(ReadAll(File("d.syx")).mid(4), kvtest::ImageOf(doc_->Model()));
    }

    // File Open asks about the changes first, as New does: Cancel there
    // shows no file dialog at all, No goes on to it.
    void openAsksBeforeTheFileDialog() {
        kvtest::ModalAnswerer answers;
        doc_->SetModified(true);
        answers.ThenPress(QStringLiteral("Cancel"));
        frame_->action(CMainFrame::ID_FILE_OPEN)->trigger();
        QCOMPARE(answers.seen.size(), 1);
        QCOMPARE(answers.seen[0].text, QStringLiteral("Save changes to NoTitle?"));

        answers.ThenPress(QStringLiteral("No"));
        answers.ThenReject();
        frame_->action(CMainFrame::ID_FILE_OPEN)->trigger();
        QCOMPARE(answers.seen.size(), 3);
        QCOMPARE(answers.seen[1].class_name, QStringLiteral("QMessageBox"));
        QCOMPARE(answers.seen[2].class_name, QStringLiteral("QFileDialog"));
        QCOMPARE(answers.pending(), 0);
    }

    // A write that fails part-way (the disk full) is reported, and the
    // program file that was there keeps its old content.
    void failedSaveKeepsTheOldFile() {
        const QByteArray old(300, 'x');
        WriteAll(File("e.syx"), old);
        Edit(doc_->Model());
        bool saved = true;
        QString error;
        kvtest::WithFileSizeLimit(200, [&] { saved = doc_->SaveDocument(File("e.syx"), &error); });
        QVERIFY(!saved);
        QVERIFY(error.contains(QStringLiteral("e.syx")));
        QCOMPARE(ReadAll(File("e.syx")), old);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{QStringLiteral("e.syx")});
    }

    void recentFilesKeepTheLastFour() {
        for (const char* name : {"1.syx", "2.syx", "3.syx", "4.syx", "5.syx"}) QVERIFY(doc_->SaveDocument(File(name)));
        QVERIFY(frame_->openFile(File("3.syx")));
        const QStringList recent = frame_->recentFiles();
        QCOMPARE(recent, QStringList({File("3.syx"), File("5.syx"), File("4.syx"), File("2.syx")}));
        // They survive in the settings for the next start.
        CMy758Doc other_doc;
        CMainFrame other(&other_doc);
        QCOMPARE(other.recentFiles(), recent);
    }

    void droppedFileIsOpened() {
        CDSDATA source;
        source.out_limit[2] = 33;
        WriteAll(File("dropped.syx"), programfile::Encode(source));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(File("dropped.syx"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame_, &drop);
        QTRY_COMPARE(frame_->windowTitle(), QStringLiteral("dropped.syx[*] - KALVORE"));
        QCOMPARE(doc_->Model().out_limit[2], 33);
    }

    void toolbarAndShortcutsReachTheFileCommands() {
        QToolBar* bar = frame_->toolBar();
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.value(0), frame_->action(CMainFrame::ID_FILE_NEW));
        QCOMPARE(actions.value(1), frame_->action(CMainFrame::ID_FILE_OPEN));
        QCOMPARE(actions.value(2), frame_->action(CMainFrame::ID_FILE_SAVE));
        QVERIFY(actions.value(3)->isSeparator());
        QCOMPARE(actions.value(4), frame_->action(CMainFrame::ID_UPLOAD));
        QVERIFY(actions.contains(frame_->action(CMainFrame::ID_DOWNLOAD)));
        QCOMPARE(actions.last(), frame_->action(CMainFrame::ID_APP_ABOUT));
        QCOMPARE(frame_->action(CMainFrame::ID_FILE_NEW)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
        QCOMPARE(frame_->action(CMainFrame::ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(frame_->action(CMainFrame::ID_FILE_SAVE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(frame_->action(CMainFrame::ID_DOWNLOAD)->statusTip(),
                 QStringLiteral("Send the PC's program to the unit; mutes outputs"));
        QCOMPARE(frame_->action(CMainFrame::ID_UPLOAD)->toolTip(),
                 QStringLiteral("Upload: fetch the unit's working program into the PC (Ctrl+Shift+U)"));
        QVERIFY(frame_->statusBar()->findChild<QWidget*>(QStringLiteral("idlePrompt")));
    }

    // Every menu item can be reached from the keyboard with its own letter,
    // and says what it does where the pointer rests and in the status bar.
    void everyMenuItemHasAMnemonicAndTips() {
        for (QAction* menu_action : frame_->menuBar()->actions()) {
            QMenu* menu = menu_action->menu();
            QVERIFY(menu);
            QSet<QChar> letters;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator() || !a->isVisible()) continue;
                const QString text = a->text();
                const qsizetype amp = text.indexOf(QLatin1Char('&'));
                QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
                const QChar letter = text.at(amp + 1).toLower();
                QVERIFY2(!letters.contains(letter), qPrintable(menu->title() + QStringLiteral(": ") + text));
                letters.insert(letter);
                QVERIFY2(!a->statusTip().isEmpty(), qPrintable(text));
                // More than the item's own name.
                QVERIFY2(a->toolTip().size() > QString(text).remove(QLatin1Char('&')).size() + 3, qPrintable(text));
            }
        }
    }

    void deviceCommandShortcuts_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("keys");
        QTest::newRow("Upload") << int(CMainFrame::ID_UPLOAD) << "Ctrl+Shift+U";
        QTest::newRow("Download") << int(CMainFrame::ID_DOWNLOAD) << "Ctrl+Shift+D";
        QTest::newRow("Memory") << int(CMainFrame::ID_MEMORY) << "Ctrl+Shift+M";
        QTest::newRow("Figuration") << int(CMainFrame::ID_FIGURATION) << "Ctrl+Shift+F";
        QTest::newRow("RS232") << int(CMainFrame::ID_RS232) << "Ctrl+Shift+R";
    }
    void deviceCommandShortcuts() {
        QFETCH(int, command);
        QFETCH(QString, keys);
        QAction* a = frame_->action(CMainFrame::Command(command));
        QCOMPARE(a->shortcut(), QKeySequence(keys));
        QVERIFY(a->toolTip().endsWith(QStringLiteral("(%1)").arg(keys)));
        // No other command, and no standard key, has the same keys.
        for (QAction* other : frame_->findChildren<QAction*>())
            if (other != a) QVERIFY(other->shortcut() != a->shortcut());
        for (int k = QKeySequence::HelpContents; k <= QKeySequence::Cancel; ++k)
            QVERIFY(!QKeySequence::keyBindings(QKeySequence::StandardKey(k)).contains(a->shortcut()));
    }

    // The keyboard starts where reading does: at the top left of the
    // routing, the input In A.
    void theFirstFocusIsOnTheInput() {
        frame_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame_));
        QWidget* first = frame_->view()->button(1140);
        QVERIFY2(QApplication::focusWidget() == first,
                 qPrintable(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString()));
    }

    void viewMenuTogglesTheBars() {
        frame_->action(CMainFrame::ID_VIEW_TOOLBAR)->trigger();
        QVERIFY(!frame_->toolBar()->isVisible());
        frame_->action(CMainFrame::ID_VIEW_STATUS_BAR)->trigger();
        QVERIFY(!frame_->statusBar()->isVisible());
        frame_->action(CMainFrame::ID_VIEW_TOOLBAR)->trigger();
        QVERIFY(frame_->toolBar()->isVisible());
    }
};

QTEST_MAIN(TestShellDocument)
#include "tst_shell_document.moc"
