#include "dlg_settings.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialog_units.h"
#include "dlg_in.h"
#include "dlg_output.h"
#include "routing_layout.h"

namespace {

// The stereo partner of an output while linked, or -1; leaves the cursor as it was.
int LinkedPartner(CDSDATA& model, int output) {
    const int saved = model.cur_chan;
    model.cur_chan = output;
    const int partner = model.GetLinkChan();
    model.cur_chan = saved;
    return partner;
}

}  // namespace

CDlgSettings::CDlgSettings(CDSDATA& model, int output, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)) {
    setWindowTitle(QStringLiteral("KV758"));
    setFont(DialogUnits::DialogFont());
    tabs_->setObjectName(QStringLiteral("pages"));

    auto* in = new CDlgIn(model, tabs_);
    pages_.push_back(in);
    tabs_->addTab(in, QString::fromLatin1(routing::kInputPageCaption));
    int start = 0;
    for (const routing::SheetPage& page : routing::OutputPages(model.figuration, model.link_on != 0)) {
        auto* out = new CDlgOutput(model, page.output, tabs_);
        if (output >= 0 && (page.output == output || LinkedPartner(model, page.output) == output))
            start = static_cast<int>(pages_.size());
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
    buttons->addStretch();
    for (QPushButton* b : {ok, cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (isVisible()) ActivateCurrent();
    });
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
