// Watches the link to the unit for the frame: the status-bar pane's text,
// kept up to date, and quiet tries to open the same port again while the
// link is closed. No window of its own.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class LinkWatch : public QObject {
    Q_OBJECT

public:
    // The link is looked at this often: a hang-up shows well within a second.
    static constexpr int kPollMs = 250;
    // A closed link is tried again this often.
    static constexpr int kReopenMs = 2000;

    explicit LinkWatch(QObject* parent = nullptr);

    // "COM1 /dev/ttyUSB0 connected", "... not connected: <reason>".
    QString paneText() const { return pane_text_; }

    // One quiet try at opening the current port again; true when the link is
    // open afterwards. Never while a device operation runs: the reopen must
    // not race it for the line. All reopening goes through here, so it can
    // be handed to the thread that owns the line.
    bool TryReopen();

public slots:
    // Looks at the link now (the timer calls it); tries a reopen when one is
    // due.
    void poll();

signals:
    void paneTextChanged(const QString& text);
    // A change the user should read once: the unit is back, or it went and
    // edits now stay on the PC.
    void notice(const QString& text);

private:
    QTimer timer_;
    QElapsedTimer since_reopen_;
    QString pane_text_;
    bool was_connected_ = false;
    bool first_poll_ = true;
};
