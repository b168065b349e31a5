#include "modal_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QProgressDialog>

namespace kvtest {

ModalAnswerer::ModalAnswerer() {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start(10);
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::Then(Handler handler) { queue_.append(std::move(handler)); }

void ModalAnswerer::ThenPress(const QString& button_text) {
    Then([button_text](QWidget* w) { PressMessageBoxButton(w, button_text); });
}

void ModalAnswerer::ThenAccept() {
    Then([](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w)) d->accept();
    });
}

void ModalAnswerer::ThenReject() {
    Then([](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
}

void PressMessageBoxButton(QWidget* w, const QString& button_text) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) return;
    for (QAbstractButton* b : box->buttons()) {
        if (b->text().remove(QLatin1Char('&')) == button_text) {
            b->click();
            return;
        }
    }
}

void ModalAnswerer::Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == current_ || qobject_cast<QProgressDialog*>(w)) return;
    // Answer only once the window is really up.
    if (!w->isVisible()) return;
    current_ = w;

    Seen s;
    s.class_name = QString::fromLatin1(w->metaObject()->className());
    s.title = w->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        s.text = box->text();
        s.informative = box->informativeText();
    }
    seen.append(s);

    if (!queue_.isEmpty()) {
        const Handler handler = queue_.takeFirst();
        handler(w);
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        QAbstractButton* b = box->escapeButton();
        if (!b && box->buttons().size() == 1) b = box->buttons().constFirst();
        if (b)
            b->click();
        else
            box->reject();
    } else if (auto* d = qobject_cast<QDialog*>(w)) {
        d->reject();
    }
}

}  // namespace kvtest
