#include "channel/dlg_settings.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "channel/dlg_in.h"
#include "channel/dlg_output.h"
#include "device/model_follow.h"
#include "device/unit_state_line.h"
#include "history/program_history.h"
#include "widgets/dialog_units.h"
#include "widgets/screen_fit.h"

std::vector<CDlgSettings::OutputPage> CDlgSettings::OutputPages(int figuration, bool link_on) {
    if (link_on && figuration == 1) return {{0, 1, "Out 1&&2"}, {2, 3, "Out 3&&4"}, {4, 5, "Out 5&&6"}};
    if (link_on && figuration == 2) return {{0, 2, "Out 1&&3"}, {1, -1, "Out 2"}, {3, 5, "Out 4&&6"}, {4, -1, "Out 5"}};
    return {{0, -1, "Out 1"}, {1, -1, "Out 2"}, {2, -1, "Out 3"}, {3, -1, "Out 4"}, {4, -1, "Out 5"}, {5, -1, "Out 6"}};
}

CDlgSettings::CDlgSettings(CDSDATA& model, int output, QWidget* parent) : QDialog(parent), tabs_(new QTabWidget(this)) {
    setWindowTitle(QStringLiteral("KV758"));
    setFont(DialogUnits::DialogFont());
    tabs_->setObjectName(QStringLiteral("pages"));

    auto* in = new CDlgIn(model, tabs_);
    pages_.push_back(in);
    tabs_->addTab(in, QStringLiteral("In"));
    int start = 0;
    for (const OutputPage& page : OutputPages(model.figuration, model.link_on != 0)) {
        auto* out = new CDlgOutput(model, page.output, tabs_);
        if (output >= 0 && (page.output == output || page.partner == output)) start = static_cast<int>(pages_.size());
        pages_.push_back(out);
        tabs_->addTab(out, QString::fromLatin1(page.caption));
    }
    tabs_->setCurrentIndex(start);

    // OK and Cancel only close: every change was sent when it was made. Plain
    // buttons, never the default one: Enter belongs to the pages' edits and
    // must never close the sheet.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok->setObjectName(QStringLiteral("ok"));
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* buttons = new QHBoxLayout;
    // Undo and Redo, and the link with the PC/unit state: the main status
    // bar is out of reach while the sheet is open.
    if (QWidget* undo = history::AttachUndoControls(this, model, [this] { ActivateCurrent(); }))
        buttons->addWidget(undo);
    buttons->addWidget(new device::UnitStateLine(model, this), 1);
    for (QPushButton* b : {ok, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The pages keep their layout; on a screen too small for them they
    // scroll, and OK and Cancel stay in view below.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new FittingScrollArea(tabs_, this), 1);
    layout->addLayout(buttons);
    FitToScreen(this, layout->sizeHint());

    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        UpdateTitle();
        if (isVisible()) ActivateCurrent();
    });
    UpdateTitle();
    // And every change made elsewhere (an editor, a remote client). The
    // page leaves the cursors where the window that set them wants them.
    // Pages made for another configuration or link would edit the wrong
    // outputs: the sheet closes when those change under it.
    const int figuration = model.figuration, link = model.link_on;
    device::FollowModel(this, model, [this, &model, figuration, link] {
        if (model.figuration != figuration || model.link_on != link) {
            for (QDialog* child : findChildren<QDialog*>())
                if (child->isVisible()) child->reject();
            reject();
            return;
        }
        const int chan = model.cur_chan, slot = model.cur_slot, eq = model.cur_eq, side = model.xo_side;
        ActivateCurrent();
        model.cur_chan = chan;
        model.cur_slot = slot;
        model.cur_eq = eq;
        model.xo_side = side;
    });
}

void CDlgSettings::UpdateTitle() {
    // "KV758 - Out 3": the page in front names what the sheet edits.
    QString page = tabs_->tabText(tabs_->currentIndex());
    page.replace(QStringLiteral("&&"), QStringLiteral("&"));
    setWindowTitle(page.isEmpty() ? QStringLiteral("KV758") : QStringLiteral("KV758 - %1").arg(page));
}

void CDlgSettings::SetEditors(ChannelEditors* editors) {
    for (ChannelPage* page : pages_) page->SetEditors(editors);
}

void CDlgSettings::ActivateCurrent() {
    const int i = tabs_->currentIndex();
    if (i >= 0 && i < static_cast<int>(pages_.size())) pages_[i]->Activate();
}

void CDlgSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) ActivateCurrent();
}

void CDlgSettings::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Escape still closes, like Cancel
}
