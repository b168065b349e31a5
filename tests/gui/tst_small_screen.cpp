// Every window on a small laptop screen (1366 x 768) at a scale factor of 2,
// which leaves 683 x 384 points: each opens inside the screen, and every
// control can be reached, scrolled to where the window is too small.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QToolTip>
#include <QtTest>

#include <functional>
#include <memory>

#include <kvcom/kvcom.h>

#include "channel/dlg_settings.h"
#include "compare/dlg_compare.h"
#include "editors/dlg_eq.h"
#include "editors/dlg_xover.h"
#include "editors/response_graph.h"
#include "history/dlg_history.h"
#include "history/program_history.h"
#include "memory/bank_file_io.h"
#include "memory/dlg_memory.h"
#include "remote/dlg_remote.h"
#include "settings/dlg_figuration.h"
#include "settings/dlg_rs232.h"
#include "shell/about_dlg.h"
#include "routing/my758_view.h"
#include "routing/routing_layout.h"
#include "shell/main_frame.h"
#include "scripted_user.h"
#include "shell_fixture.h"

namespace {

using WindowMaker = std::function<std::unique_ptr<QWidget>(CDSDATA& model, QWidget* frame)>;

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// Where `control` stands on the screen once its scroll area (if any) has
// brought it into view.
QRect OnScreen(QWidget* control) {
    for (QWidget* w = control->parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w->parentWidget()); area && area->viewport() == w) {
            // Scrolled as far as the whole control needs (ensureWidgetVisible
            // would bring only an edit's text cursor into view).
            const QRect in_page(control->mapTo(area->widget(), QPoint(0, 0)), control->size());
            area->ensureVisible(in_page.center().x(), in_page.center().y(), in_page.width() / 2 + 1,
                                in_page.height() / 2 + 1);
            // A control taller than the view (a track bar) is shown in part,
            // and the rest scrolled to as it is used.
            const QRect in_view(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
            const QRect shown = in_view & area->viewport()->rect();
            const QSize whole = control->size().boundedTo(area->viewport()->size());
            if (shown.size() != whole) return {};
            return QRect(area->viewport()->mapToGlobal(shown.topLeft()), shown.size());
        }
    }
    return QRect(control->mapToGlobal(QPoint(0, 0)), control->size());
}

// The controls a user operates, as far as they are meant to be seen.
QList<QWidget*> Controls(QWidget* window) {
    QList<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool operable = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                              qobject_cast<QSlider*>(w) || qobject_cast<QTableWidget*>(w);
        if (operable && w->isVisibleTo(window) && !w->inherits("QToolButton") && w->window() == window) out.append(w);
    }
    return out;
}

// Loads a bank of the model's program, saved under `name`, into the memory
// table, as Load All does.
void LoadBankNamed(CDSDATA& model, const QString& name) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(EncodeMemoryTable(model));
    file.close();
    CDlgMemory loader(model);
    kvtest::ScriptedUser user;
    user.Attach(loader);
    user.open_path = path;
    loader.loadAll();
}

}  // namespace

Q_DECLARE_METATYPE(WindowMaker)

class TestSmallScreen : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kvtest::ShellFixture> shell_;

private slots:
    void init() { shell_ = std::make_unique<kvtest::ShellFixture>(); }
    void cleanup() { shell_.reset(); }

    void theScreenIsSmall() {
        const double scale = qEnvironmentVariableIsSet("KV_SCALE") ? qgetenv("KV_SCALE").toDouble() : 2.0;
        QCOMPARE(qApp->devicePixelRatio(), scale);
        QCOMPARE(Available().size(), QSize(qRound(1366 / scale), qRound(768 / scale)));
    }

    void everyWindowFitsAndEveryControlCanBeReached_data() {
        QTest::addColumn<WindowMaker>("make");
        auto sheet = [](int figuration, int link, int output) -> WindowMaker {
            return [=](CDSDATA& m, QWidget* frame) -> std::unique_ptr<QWidget> {
                m.figuration = figuration;
                m.link_on = link;
                m.InitData();
                return std::make_unique<CDlgSettings>(m, output, frame);
            };
        };
        QTest::newRow("sheet on In") << sheet(0, 0, -1);
        QTest::newRow("sheet on Out 6") << sheet(0, 0, 5);
        QTest::newRow("linked sheet") << sheet(1, 1, 2);
        QTest::newRow("memory manager") << WindowMaker(
            [](CDSDATA& m, QWidget* frame) { return std::make_unique<CDlgMemory>(m, frame); });
        // Its table loaded from a bank file with a long name.
        QTest::newRow("memory manager, table from a file") << WindowMaker([](CDSDATA& m, QWidget* frame) {
            LoadBankNamed(m, QStringLiteral("festival_main_stage_2025_final.ay"));
            return std::make_unique<CDlgMemory>(m, frame);
        });
        QTest::newRow("EQ editor") << WindowMaker([](CDSDATA& m, QWidget* frame) {
            m.cur_chan = 2;
            m.cur_slot = 0;
            m.cur_eq = -1;
            return std::make_unique<CDlgEQ>(m, false, frame);
        });
        QTest::newRow("crossover editor") << WindowMaker([](CDSDATA& m, QWidget* frame) {
            m.cur_chan = 0;
            m.xo_side = 1;
            return std::make_unique<CDlgXover>(m, frame);
        });
        QTest::newRow("RS232") << WindowMaker(
            [](CDSDATA& m, QWidget* frame) { return std::make_unique<CDlgRS232>(frame, &m); });
        QTest::newRow("Figuration") << WindowMaker(
            [](CDSDATA& m, QWidget* frame) { return std::make_unique<CDlgFiguration>(m, frame); });
        QTest::newRow("Compare") << WindowMaker([this](CDSDATA&, QWidget* frame) -> std::unique_ptr<QWidget> {
            return std::make_unique<CDlgCompare>(shell_->doc(), frame);
        });
        // As a user has it set up for a tablet: all addresses, both tokens,
        // the QR code shown.
        QTest::newRow("Remote control") << WindowMaker([this](CDSDATA&, QWidget* frame) -> std::unique_ptr<QWidget> {
            auto dialog = std::make_unique<CDlgRemote>(*shell_->frame().remoteControl(), frame);
            dialog->enabledBox()->setChecked(true);
            dialog->addressList()->setCurrentIndex(dialog->addressList()->count() - 1);
            dialog->newTokenButton()->click();
            dialog->newReadOnlyTokenButton()->click();
            return dialog;
        });
        QTest::newRow("Remote control, as it opens") << WindowMaker([this](CDSDATA&, QWidget* frame) {
            return std::make_unique<CDlgRemote>(*shell_->frame().remoteControl(), frame);
        });
        // With a few kept programs, as after an evening's work.
        QTest::newRow("History") << WindowMaker([this](CDSDATA& m, QWidget* frame) -> std::unique_ptr<QWidget> {
            history::ProgramHistory& kept = *shell_->frame().programHistory();
            for (const char* reason : {"Upload", "Recall", "Open"}) {
                m.out_gain[0] += 5;
                kept.KeepProgram(QString::fromLatin1(reason));
            }
            return std::make_unique<CDlgHistory>(m, kept.Store(), frame);
        });
        QTest::newRow("About") << WindowMaker(
            [](CDSDATA&, QWidget* frame) { return std::make_unique<CAboutDlg>(frame); });
    }

    void everyWindowFitsAndEveryControlCanBeReached() {
        QFETCH(WindowMaker, make);
        std::unique_ptr<QWidget> window = make(shell_->model(), &shell_->frame());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QRect screen = Available();
        QVERIFY2(screen.contains(window->frameGeometry()), qPrintable(QStringLiteral("%1x%2 window on a %3x%4 screen")
                                                                          .arg(window->frameGeometry().width())
                                                                          .arg(window->frameGeometry().height())
                                                                          .arg(screen.width())
                                                                          .arg(screen.height())));
        // KV_SCREENSHOTS=<folder> keeps a picture of each window to look at.
        if (const QString shots = qEnvironmentVariable("KV_SCREENSHOTS"); !shots.isEmpty())
            window->grab().save(QStringLiteral("%1/%2.png").arg(shots, QString::fromLatin1(QTest::currentDataTag())));
        const QList<QWidget*> controls = Controls(window.get());
        QVERIFY(!controls.isEmpty());
        for (QWidget* c : controls) {
            const QRect at = OnScreen(c);
            QVERIFY2(!at.isEmpty() && screen.contains(at),
                     qPrintable(QStringLiteral("%1 %2 at %3,%4 %5x%6")
                                    .arg(c->objectName(), QString::fromLatin1(c->metaObject()->className()))
                                    .arg(at.x())
                                    .arg(at.y())
                                    .arg(at.width())
                                    .arg(at.height())));
        }
    }

    // The editors' graphs: whole, in their proportions, and drawn in the
    // screen's pixels (a picture blown up from fewer pixels is blurred).
    void theGraphsAreWholeAndSharp_data() {
        QTest::addColumn<bool>("crossover");
        QTest::newRow("EQ editor") << false;
        QTest::newRow("crossover editor") << true;
    }
    void theGraphsAreWholeAndSharp() {
        QFETCH(bool, crossover);
        CDSDATA& m = shell_->model();
        m.cur_chan = 0;
        m.cur_slot = 0;
        m.cur_eq = -1;
        m.xo_side = 1;
        std::unique_ptr<QDialog> editor;
        if (crossover)
            editor = std::make_unique<CDlgXover>(m, &shell_->frame());
        else
            editor = std::make_unique<CDlgEQ>(m, false, &shell_->frame());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        auto* graph = editor->findChild<CResponseGraph*>();
        QVERIFY(graph);
        const QSize picture(CResponseGraph::kPictureWidth, CResponseGraph::kPictureHeight);
        QCOMPARE(CResponseGraph::PictureTarget(graph->rect()).size(), picture);

        const qreal ratio = graph->devicePixelRatioF();
        const QImage shown = graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint corner = CResponseGraph::PictureTarget(graph->rect()).topLeft();
        // The +24 dB line (picture row 30) between the 20 Hz and 50 Hz lines:
        // exactly as many rows of the grid's colour as the ratio, black
        // around them.
        const int x = qRound((corner.x() + 100) * ratio);
        const int top = qRound((corner.y() + 30) * ratio), bottom = qRound((corner.y() + 31) * ratio);
        QList<QRgb> column;
        for (int y = top - 2; y < bottom + 2; ++y) column << shown.pixel(x, y);
        QList<QRgb> sharp{qRgb(0, 0, 0), qRgb(0, 0, 0)};
        for (int y = top; y < bottom; ++y) sharp << qRgb(55, 155, 55);
        sharp << qRgb(0, 0, 0) << qRgb(0, 0, 0);
        QCOMPARE(column, sharp);
        // The labels and the curve have detail finer than a point: a picture
        // blown up from one pixel a point has none.
        if (ratio < 2) return;
        int finer = 0;
        for (int py = 0; py < picture.height(); ++py)
            for (int px = 0; px < picture.width(); ++px) {
                const QPoint at = (corner + QPoint(px, py)) * 2;
                const QRgb c = shown.pixel(at);
                if (shown.pixel(at + QPoint(1, 0)) != c || shown.pixel(at + QPoint(0, 1)) != c ||
                    shown.pixel(at + QPoint(1, 1)) != c)
                    ++finer;
            }
        QVERIFY2(finer > 1000, qPrintable(QString::number(finer)));
    }

    void theMainWindowFits() {
        QVERIFY(Available().contains(shell_->frame().frameGeometry()));
        if (const QString shots = qEnvironmentVariable("KV_SCREENSHOTS"); !shots.isEmpty())
            shell_->frame().grab().save(shots + QStringLiteral("/main window.png"));
    }

    // With the traffic window docked below it, the routing still shows all
    // six rows, and the traffic list some of its lines.
    void theRoutingKeepsItsRowsBesideTheDockedTraffic() {
        CMainFrame& frame = shell_->frame();
        frame.findChild<QAction*>(QStringLiteral("viewTraffic"))->trigger();
        auto* table = frame.findChild<QTableView*>(QStringLiteral("trafficTable"));
        QTRY_VERIFY(table->isVisible());
        if (const QString shots = qEnvironmentVariable("KV_SCREENSHOTS"); !shots.isEmpty())
            frame.grab().save(shots + QStringLiteral("/main window with traffic.png"));
        QVERIFY2(
            Available().contains(frame.frameGeometry()),
            qPrintable(QStringLiteral("%1x%2").arg(frame.frameGeometry().width()).arg(frame.frameGeometry().height())));
        auto* area = qobject_cast<QScrollArea*>(frame.centralWidget());
        QVERIFY(area);
        const QRect shown = area->viewport()->rect();
        for (int row = 0; row < routing::kRows; ++row)
            for (int column : {0, routing::kColumns - 1}) {
                QWidget* b = shell_->view()->button(routing::kRowButtonId[row][column]);
                const QRect at(b->mapTo(area->viewport(), QPoint(0, 0)), b->size());
                QVERIFY2(shown.contains(at), qPrintable(QStringLiteral("row %1 at %2,%3 in a %4x%5 view")
                                                            .arg(row + 1)
                                                            .arg(at.x())
                                                            .arg(at.y())
                                                            .arg(shown.width())
                                                            .arg(shown.height())));
            }
        const int line = table->verticalHeader()->defaultSectionSize();
        QVERIFY2(table->viewport()->height() >= line, qPrintable(QString::number(table->viewport()->height())));
    }

    // A message longer than the room beside the panes is shortened, not
    // cut off under the link pane, and the whole of it is a tooltip.
    void aLongMessageIsShortenedAndWholeInItsTooltip() {
        QVERIFY(QTest::qWaitForWindowExposed(&shell_->frame()));
        QStatusBar* bar = shell_->frame().statusBar();
        const QString message = QStringLiteral(
            "The unit is back: 12 settings edited while it was away are only on the PC (Compare shows them)");
        bar->showMessage(message);
        // The message's room, as the status bar gives it: up to 2 pixels
        // before the first pane shown, here the link's.
        const int right = bar->findChild<QWidget*>(QStringLiteral("linkPane"))->x() - 2;
        const QRect room(6, 0, right - 6, bar->height());
        QVERIFY(bar->fontMetrics().horizontalAdvance(message) > room.width());
        bar->showMessage(bar->fontMetrics().elidedText(message, Qt::ElideRight, room.width()));
        const QImage shortened = bar->grab(room).toImage();
        bar->showMessage(message);
        QCOMPARE(bar->currentMessage(), message);
        QCOMPARE(bar->grab(room).toImage(), shortened);

        QHelpEvent help(QEvent::ToolTip, room.center(), bar->mapToGlobal(room.center()));
        QApplication::sendEvent(bar, &help);
        QTRY_COMPARE(QToolTip::text(), message);
        QToolTip::hideText();
    }

    // Long pane texts (a link that cannot open, with its reason) give way
    // and the window stays on the screen.
    void longPanesLeaveTheWindowOnTheScreen() {
        CMainFrame& frame = shell_->frame();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        auto* link = frame.statusBar()->findChild<QLabel*>(QStringLiteral("linkPane"));
        link->setText(
            QStringLiteral("COM1 /dev/ttyUSB0 not connected: the port is held by another program (minicom, "
                           "process 4711)"));
        auto* unit = frame.statusBar()->findChild<QLabel*>(QStringLiteral("unitPane"));
        unit->setText(
            QStringLiteral("PC and unit differ: 3 settings edited while it was away — <a href=\"upload\">"
                           "Upload</a>, <a href=\"download\">Download</a> or <a href=\"compare\">Compare</a>"));
        unit->show();
        QTest::qWait(50);
        QVERIFY2(Available().contains(frame.frameGeometry()),
                 qPrintable(QStringLiteral("%1 wide").arg(frame.frameGeometry().width())));
    }

    // Where the memory list came from stands whole under the buttons, a
    // long bank file name shortened in its middle and whole in the tooltip.
    void theMemoryListSourceIsNotCutOff() {
        const QString name = QStringLiteral("festival_main_stage_2025_final.ay");
        LoadBankNamed(shell_->model(), name);
        CDlgMemory dialog(shell_->model(), &shell_->frame());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* source = dialog.findChild<QLabel*>(QStringLiteral("tableSource"));
        const QRect room = source->contentsRect();
        for (const QString& word : source->text().split(QLatin1Char(' ')))
            QVERIFY2(source->fontMetrics().horizontalAdvance(word) <= room.width(),
                     qPrintable(QStringLiteral("'%1' in %2 pixels").arg(word).arg(room.width())));
        QVERIFY(source->heightForWidth(room.width()) <= source->height());
        QVERIFY(source->text().startsWith(QStringLiteral("from fest")));
        QVERIFY(source->text().endsWith(QStringLiteral(".ay")));
        QVERIFY(source->toolTip().contains(name));
    }

    // A larger memory manager shows more memories at once.
    void theMemoryManagerGrowsWithMoreRows() {
        CDlgMemory dialog(shell_->model(), &shell_->frame());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* list = dialog.findChild<QTableWidget*>();
        auto rows_shown = [list] { return list->viewport()->height() / list->verticalHeader()->defaultSectionSize(); };
        const int small = rows_shown();
        dialog.resize(dialog.width() + 100, dialog.height() + 300);
        QTRY_VERIFY(rows_shown() >= small + 300 / list->verticalHeader()->defaultSectionSize() - 1);
        // The name column keeps its share of the wider list.
        QVERIFY(list->columnWidth(1) > list->columnWidth(0));
    }
};

int main(int argc, char** argv) {
    // One screen of 1366 x 768 pixels, scaled by 2, before the application
    // starts.
    QTemporaryFile screens;
    if (!screens.open()) return 1;
    screens.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    // KV_SCALE looks at the same windows at another scale (1, 1.5).
    qputenv("QT_SCALE_FACTOR", qEnvironmentVariableIsSet("KV_SCALE") ? qgetenv("KV_SCALE") : QByteArray("2"));
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_small_screen.moc"
