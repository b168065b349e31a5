// When a window that shows the PC's program should look at it again: every
// edit the windows, undo or anything else queue for the unit, every device
// task that writes the model back, a new or opened document, coalesced so
// that a drag computes at most once a frame. The window says how long its
// last look took (computing and painting); the next look after one comes
// that much sooner than a frame, so an edit is on the screen within a frame
// of it. A slow look (4 times a second, while the window shows) also
// catches a writer that says nothing; the window compares what it computed
// from, so a look without a change costs nothing more.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CMy758Doc;

namespace response {

class ModelWatch : public QObject {
    Q_OBJECT

public:
    static constexpr int kFrameMs = 16;
    static constexpr int kLookMs = 250;

    ModelWatch(CMy758Doc& doc, QObject* parent = nullptr);

    // Something may have changed: changed() within a frame.
    void poke();
    // The slow look runs only while this is on (the window is shown).
    void setLooking(bool on);
    // How long the window's last look took, from changed() to the painted
    // picture.
    void setWorkMs(double ms) { work_ms_ = ms; }

signals:
    void changed();

private:
    void fire();

    QTimer frame_;
    QTimer look_;
    QElapsedTimer since_fired_;
    double work_ms_ = 0;
};

}  // namespace response
