// Test helper: answers modal windows (message boxes, dialogs) as they come
// up inside a window's exec(), and records what each one said.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

namespace kvtest {

class ModalAnswerer : public QObject {
    Q_OBJECT

public:
    struct Seen {
        QString class_name;  // e.g. "QMessageBox", "CDlgFiguration"
        QString title;
        QString text;         // a message box's text
        QString informative;  // a message box's informative text
    };

    // Handles a modal window; may inspect or edit it, then must close it.
    using Handler = std::function<void(QWidget*)>;

    ModalAnswerer();
    ~ModalAnswerer() override;

    // The handler for the next modal window that comes up. Windows without a
    // queued handler get the default answer: message boxes their escape (or
    // only) button, dialogs reject(). Progress dialogs are left alone.
    void Then(Handler handler);
    // Shorthands: press the box's button with this text, or accept/reject.
    void ThenPress(const QString& button_text);
    void ThenAccept();
    void ThenReject();

    QList<Seen> seen;
    // Handlers still queued (a test expecting a window can check this is 0).
    int pending() const { return static_cast<int>(queue_.size()); }

private:
    void Poll();

    QTimer timer_;
    QList<Handler> queue_;
    QPointer<QWidget> current_;
};

// Presses the button of a QMessageBox whose text is button_text.
void PressMessageBoxButton(QWidget* box, const QString& button_text);

}  // namespace kvtest
