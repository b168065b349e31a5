#include "routing/my758_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <algorithm>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>

#include "device/device_line.h"
#include "device/device_task.h"
#include "kvdevice/sends.h"
#include "document/my758_doc.h"
#include "history/program_history.h"
#include "memory/dlg_memory.h"
#include "memory/dlg_memory_no.h"
#include "routing/routing_layout.h"
#include "settings/dlg_figuration.h"
#include "settings/dlg_rs232.h"
#include "settings/port_settings.h"
#include "widgets/dialog_units.h"
#include "widgets/focus_mark.h"
#include "widgets/link_guard.h"
#include "widgets/logo.h"
#include "widgets/message_box.h"
#include "widgets/string_table.h"
#include "widgets/status_feedback.h"

namespace {

const QColor kBackground(0, 101, 156);
const QColor kLineColour(231, 69, 61);
const QColor kLabelColour(128, 255, 255);
constexpr int kLabelPixelSize = 15;

const char* const kConfigurationNames[3] = {"Mono", "2 Channel 3 Way", "3 Channel 2 Way"};

QString ConfigurationName(int figuration) {
    return figuration >= 0 && figuration < 3 ? QString::fromLatin1(kConfigurationNames[figuration]) : QString();
}

// A question that names what the command will do, with the command's own
// button and Cancel (the default). True to go on.
bool ConfirmConsequence(QWidget* parent, const QString& text, const QString& go) {
    QMessageBox box(QMessageBox::Warning, DocTemplateField(kDocWindowTitle), text, QMessageBox::Cancel, parent);
    QPushButton* button = box.addButton(go, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    PrepareMessageBox(box);
    box.exec();
    return box.clickedButton() == button;
}

// Right edge the way the layout counts it: one past the last pixel.
int RightEdge(const QRect& r) { return r.x() + r.width(); }
int MiddleY(const QRect& r) { return (r.y() + r.y() + r.height()) / 2; }

void OrderButtonTabs(const QHash<int, QPushButton*>& buttons) {
    QList<QWidget*> all;
    for (QPushButton* b : buttons) all.append(b);
    OrderTabsByPlace(all);
}

}  // namespace

CMy758View::CMy758View(CMy758Doc* doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setFont(DialogUnits::DialogFont());
    const DialogUnits du(font());
    createButtons();
    // The form, widened where needed so the labels right of the last column
    // are never cut off.
    QFont label_font = font();
    label_font.setBold(true);
    label_font.setPixelSize(kLabelPixelSize);
    const int label_right =
        lineGeometry().xe + 4 + QFontMetrics(label_font).horizontalAdvance(QStringLiteral("Out 6")) + 8;
    setMinimumSize(std::max(du.x(routing::kFormWidth), label_right), du.y(routing::kFormHeight));
    logo_ = new QLabel(this);
    logo_->setObjectName(QStringLiteral("logo"));
    const auto& r = routing::kLogoRect;
    logo_->setGeometry(du.rect(r[0], r[1], r[2], r[3]));
    logo_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(doc_, &CMy758Doc::documentReset, this, &CMy758View::reinitialise);
    OrderButtonTabs(buttons_);
    reinitialise();
}

void CMy758View::createButtons() {
    const DialogUnits du(font());
    for (const routing::ButtonSpec& spec : routing::AllButtons()) {
        auto* b = new QPushButton(QString::fromLatin1(spec.caption), this);
        b->setObjectName(QStringLiteral("button%1").arg(spec.id));
        b->setGeometry(du.rect(spec.x, spec.y, routing::kButtonWidth, routing::kButtonHeight));
        b->setFocusPolicy(Qt::TabFocus);
        MarkFocus(b);
        buttons_.insert(spec.id, b);
        int row = -1;
        if (routing::FindRowButton(spec.id, &row, nullptr)) {
            connect(b, &QPushButton::clicked, this, [this, row] {
                const CDSDATA& m = doc_->Model();
                const int output = routing::RowPage(m.figuration, m.link_on != 0, row);
                if (output >= 0) emit channelSheetRequested(output);
            });
        } else {
            connect(b, &QPushButton::clicked, this, [this] { emit channelSheetRequested(-1); });
        }
    }
}

int CMy758View::figuration() const { return doc_->Model().figuration; }

void CMy758View::reinitialise() {
    const routing::InputVisibility shown = routing::InputsShown(figuration());
    buttons_[routing::kInA.id]->show();
    if (shown.known) {
        buttons_[routing::kInB.id]->setVisible(shown.inb);
        buttons_[routing::kInSum.id]->setVisible(shown.sum);
    }
    const QPixmap logo = ProgramLogo();
    if (logo.isNull())
        logo_->clear();
    else
        logo_->setPixmap(logo.scaled(logo_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    placeInB();
    update();
}

CMy758View::LineGeometry CMy758View::lineGeometry() const {
    const QRect a = buttons_[routing::kInA.id]->geometry();
    const QRect g1 = buttons_[routing::kRowButtonId[0][0]]->geometry();
    const QRect l2 = buttons_[routing::kRowButtonId[1][4]]->geometry();
    const QRect s = buttons_[routing::kInSum.id]->geometry();
    LineGeometry g;
    g.xs = RightEdge(a);
    g.xm = (RightEdge(s) + g1.x()) / 2;
    g.xe = RightEdge(l2) + 20;
    const int y1 = MiddleY(g1);
    const int y2 = MiddleY(l2);
    // The rows are equally spaced: row k (1-based) sits k - 1 steps below row 1.
    for (int k = 0; k < routing::kRows; ++k) g.row_y[k] = y1 + k * (y2 - y1);
    return g;
}

QVector<QLine> CMy758View::routingLines() const {
    const LineGeometry g = lineGeometry();
    QVector<QLine> lines;
    for (const routing::InputGroup& group : routing::InputGroups(figuration())) {
        const int yf = g.row_y[group.first_row];
        const int yl = g.row_y[group.last_row];
        lines.append(QLine(g.xs, yf, g.xm, yf));
        for (int k = group.first_row; k <= group.last_row; ++k) lines.append(QLine(g.xm, g.row_y[k], g.xe, g.row_y[k]));
        lines.append(QLine(g.xm, yf, g.xm, yl));
    }
    return lines;
}

QStringList CMy758View::rowLabels() const {
    QStringList labels;
    for (int row = 0; row < routing::kRows; ++row) {
        const int output = routing::RowOutput(figuration(), row);
        if (output < 0) return {};
        labels.append(QStringLiteral("Out %1").arg(output + 1));
    }
    return labels;
}

void CMy758View::placeInB() {
    const int row = routing::InBRow(figuration());
    if (row < 0) return;
    const QRect s = buttons_[routing::kInSum.id]->geometry();
    const QRect gain = buttons_[routing::kRowButtonId[row][0]]->geometry();
    const QRect target(s.x(), gain.y(), s.width(), gain.height());
    QPushButton* inb = buttons_[routing::kInB.id];
    if (inb->geometry() == target) return;
    inb->setGeometry(target);
    // Tab walks the buttons as they stand: InB has moved.
    OrderButtonTabs(buttons_);
}

void CMy758View::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), kBackground);
    placeInB();

    p.setPen(QPen(kLineColour, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLines(routingLines());

    const LineGeometry g = lineGeometry();
    QFont labelFont = font();
    labelFont.setBold(true);
    labelFont.setPixelSize(kLabelPixelSize);
    p.setFont(labelFont);
    p.setPen(kLabelColour);
    const QStringList labels = rowLabels();
    const QFontMetrics fm(labelFont);
    for (int k = 0; k < labels.size(); ++k) {
        const QPoint top_left(g.xe + 4, g.row_y[k] - 10);
        p.drawText(QRect(top_left, fm.size(0, labels[k]) + QSize(2, 2)), Qt::AlignLeft | Qt::AlignTop, labels[k]);
    }
}

void CMy758View::onFiguration() {
    // The dialog writes the model before the question: nothing else may
    // edit it meanwhile.
    const DeskOperation busy(tr("Figuration"));
    CDSDATA& model = doc_->Model();
    const char old_figuration = model.figuration;
    const int old_link = model.link_on;
    CDlgFiguration dialog(model, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const int fig = model.figuration;
    const QString name = ConfigurationName(fig);
    const bool same = fig == old_figuration && (model.link_on != 0) == (old_link != 0);
    const QString question =
        same ? tr("The unit is already set to '%1'. Reset every parameter of the unit to the factory values of '%1' "
                  "anyway?")
                   .arg(name)
             : tr("Figuration resets every parameter of the unit to the factory values of '%1'.").arg(name);
    if (!ConfirmConsequence(this, question, tr("&Reset"))) {
        model.figuration = old_figuration;
        model.link_on = old_link;
        return;
    }
    history::KeepProgram(model, tr("Figuration"));
    model.InitData();
    // After the edits still queued, and with the progress window if those
    // take a while.
    const int sent = RunDeviceTask(this, tr("Figuration"), model, [fig](CDSDATA& m) {
        const int sent = device::SendParamChecked(m, PC_FIGURATION);
        return fig != 0 ? device::SendParamChecked(m, PC_LINK) & sent : sent;
    });
    // The unit went back to the same factory values.
    if (sent != 0) device::NotifyProgramMatchesUnit(model, false);
    history::NewHistory(model, tr("Figuration"));
    reinitialise();
}

void CMy758View::onRs232() {
    // A window for one unit keeps the port it was started for (and locked):
    // the dialog would move it, and store the port every other window shares.
    if (!UnitName().isEmpty()) {
        ShowMessage(this, QMessageBox::Information, LoadProgramString(IDS_APP_CAPTION),
                    tr("This window is for %1, the unit it was started for. To edit another unit, start 758 "
                       "--unit ALIAS or --port PATH beside it; 758 alone uses the stored port, chosen in RS232.")
                        .arg(UnitName()));
        return;
    }
    // The dialog may reopen the port: nothing may be on its way meanwhile
    // (while it is up, no window can queue an edit).
    if (!FinishPendingSends(this)) return;
    const DeskOperation busy(tr("The RS232 dialog"));
    CDlgRS232 dialog(this, &doc_->Model());
    dialog.exec();
}

void CMy758View::onMemory() {
    if (RunMemoryManager(*doc_, this)) reinitialise();
}

void CMy758View::onUpload() {
    if (!CheckUnitConnected(this)) return;
    history::KeepProgram(doc_->Model(), tr("Upload"));
    QElapsedTimer took;
    took.start();
    const int fetched =
        RunDeviceTask(this, tr("Upload Current Program"), doc_->Model(), [](CDSDATA& m) { return m.RecallToPC(); });
    if (fetched != 0) {
        device::NotifyProgramMatchesUnit(doc_->Model(), true);
        history::NewHistory(doc_->Model(), tr("Upload"));
        reinitialise();
        TellDone(this, tr("Uploaded the unit's working program into the PC"), took);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"),
                    QStringLiteral("Recall from MCU to PC failed!") + DamageNote(), QMessageBox::Ok, this);
    PrepareMessageBox(box);
    box.exec();
}

void CMy758View::onDownload() {
    // Refused before the model is touched: a closed link changes nothing.
    if (!CheckUnitConnected(this)) return;
    // The mutes are in the model while the prompt is up: nothing else may
    // edit it meanwhile.
    const DeskOperation busy(tr("Download"));
    CDSDATA& model = doc_->Model();
    // Kept as the user had it, before the mutes, once the Download goes ahead.
    const CDSDATA unmuted(model);
    model.mem_num = 0;
    for (int n = 0; n < KV_OUTPUTS; ++n) model.out_mute[n] = 1;

    CDlgMemoryNo prompt(this);
    prompt.setPrompt(QStringLiteral("Current Memory:"));
    prompt.setName(QString());
    prompt.setConsequence(
        tr("OK replaces the unit's working program with '%1' and stores it in the unit's memory 1; all six outputs "
           "will be muted."));
    if (prompt.exec() != QDialog::Accepted) {
        // The PC's program keeps the mutes: windows that show it are told.
        device::NotifyModelChanged(model);
        return;
    }

    const QString name = MemoryNameFromInput(prompt.name());
    history::KeepProgram(model, tr("Download"), &unmuted);
    StoreMemoryName(model, model.mem_num, name);
    QElapsedTimer took;
    took.start();
    const int stored =
        RunDeviceTask(this, tr("Download Current Program"), model, [](CDSDATA& m) { return m.StoreFromPC(); });
    // The mutes went out with the program: the next edit starts from here.
    history::Rebase(model);
    if (stored != 0) {
        device::NotifyProgramMatchesUnit(model, false);
        TellDone(this, tr("Downloaded the program \"%1\" to the unit").arg(QString::fromLatin1(model.prog_name)), took);
        return;
    }
    // The unit does not hold this program: the user is asked before it is lost.
    doc_->SetModified(true);
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Error"),
        tr("Download to the unit failed: the unit may hold only part of the program.\n%1").arg(WhyOperationStopped()),
        QMessageBox::Ok, this);
    PrepareMessageBox(box);
    box.exec();
}
