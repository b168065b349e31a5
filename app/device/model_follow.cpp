#include "device/model_follow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "device/device_line.h"

namespace device {

namespace {

// The line edit of `window` with the focus and the user's typing in it.
QLineEdit* TypingIn(QWidget* window) {
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!edit || !edit->isModified() || !window->isAncestorOf(edit)) return nullptr;
    return edit;
}

}  // namespace

void FollowModel(QWidget* window, const CDSDATA& model, std::function<void()> refresh) {
    auto* due = new QTimer(window);
    due->setSingleShot(true);
    due->setInterval(0);
    QObject::connect(&Line(), &DeviceLine::modelChanged, due, [due, &model](const CDSDATA* changed) {
        if (changed == &model && !due->isActive()) due->start();
    });
    QObject::connect(due, &QTimer::timeout, window, [window, refresh = std::move(refresh)] {
        QPointer<QLineEdit> typing = TypingIn(window);
        const QString typed = typing ? typing->text() : QString();
        const int cursor = typing ? typing->cursorPosition() : 0;
        refresh();
        if (typing && typing->text() != typed) {
            typing->setText(typed);
            typing->setCursorPosition(cursor);
            typing->setModified(true);
        }
    });
}

}  // namespace device
