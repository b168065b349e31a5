#include "widgets/page_controls.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "kvvalues/text_conversions.h"

CommitEdit::CommitEdit(QWidget* parent) : QLineEdit(parent) { setAlignment(Qt::AlignRight | Qt::AlignVCenter); }

void CommitEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        // A word is no value: it must not reach the unit as 0.
        if (kvvalues::TypedNumber(text().toStdString()))
            emit enterPressed();
        else
            emit typingDropped();
        return;
    case Qt::Key_Up:
        event->accept();
        emit stepRequested(1);
        return;
    case Qt::Key_Down:
        event->accept();
        emit stepRequested(-1);
        return;
    default: QLineEdit::keyPressEvent(event);
    }
}

void CommitEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The edit's own context menu takes the focus for a moment; typing goes on after it.
    if (event->reason() != Qt::PopupFocusReason) emit typingDropped();
}

SpinButtons::SpinButtons(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(b);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setObjectName(QStringLiteral("up"));
    down_->setObjectName(QStringLiteral("down"));
    connect(up_, &QToolButton::clicked, this, [this] { emit stepRequested(1); });
    connect(down_, &QToolButton::clicked, this, [this] { emit stepRequested(-1); });
}

void SpinButtons::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}
