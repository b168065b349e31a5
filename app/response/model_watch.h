// When a window that shows the PC's program should look at it again: every
// edit the windows, undo or anything else queue for the unit, every device
// task that writes the model back, a new or opened document, coalesced so
// that a drag recomputes at most once a frame and never later than the
// next frame. A slow look (4 times a second, while the window shows) also
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

signals:
    void changed();

private:
    void fire();

    QTimer frame_;
    QTimer look_;
    QElapsedTimer since_fired_;
};

}  // namespace response
