#include "channel/channel_page.h"

#include <QKeyEvent>
#include <QLabel>

#include "channel/channel_editors.h"
#include "widgets/page_controls.h"

ChannelPage::ChannelPage(CDSDATA& model, QWidget* parent)
    : QWidget(parent), model_(model), du_(DialogUnits::DialogFont()) {
    setFont(DialogUnits::DialogFont());
}

ChannelPage::~ChannelPage() {
    // Closing the window while an edit has the focus still reports the edit
    // losing it; by then the page that would show its texts is gone.
    for (CommitEdit* edit : wired_edits_) edit->disconnect(this);
}

ChannelEditors& ChannelPage::Editors() const { return editors_ ? *editors_ : DefaultChannelEditors(); }

void ChannelPage::WireEdit(CommitEdit* edit, const std::function<void()>& on_enter) {
    wired_edits_.push_back(edit);
    connect(edit, &CommitEdit::enterPressed, this, [this, on_enter] {
        on_enter();
        ShowTexts();
    });
    connect(edit, &CommitEdit::typingDropped, this, [this] { ShowTexts(); });
}

QLabel* ChannelPage::AddLabel(const QString& text, const channel_layout::DuRect& r, Qt::Alignment align) {
    auto* label = Place(new QLabel(text, this), r);
    label->setAlignment(align);
    return label;
}

void ChannelPage::PlaceWithSpin(CommitEdit* edit, SpinButtons* spin, const channel_layout::DuRect& r) {
    const int w = channel_layout::kSpinWidth;
    Place(edit, {r.x, r.y, r.w - w, r.h});
    Place(spin, {r.x + r.w - w, r.y, w, r.h});
}

void ChannelPage::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ShowTexts();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
