// View > Traffic: a dockable window listing every message sent to and
// received from the unit since it was opened. While it is closed (or
// paused) the library's tap is cleared, so the link pays nothing for it.
#pragma once

#include <QDockWidget>

#include "traffic/traffic_feed.h"

class QAction;
class QLabel;
class QMainWindow;
class QTableView;
class QTimer;
class QToolButton;

namespace traffic {

class TrafficModel;

class TrafficDock : public QDockWidget {
    Q_OBJECT

public:
    explicit TrafficDock(QWidget* parent = nullptr);
    ~TrafficDock() override;

    TrafficModel* model() const { return model_; }
    QTableView* table() const { return table_; }
    bool Capturing() const { return feed_.Running(); }

    // Writes the list as text (the bytes too while they are shown); the file
    // is replaced only once it is whole.
    bool SaveText(const QString& path, QString* why) const;

public slots:
    // Takes what the link's threads handed over into the list.
    void drain();
    void setPaused(bool paused);
    void clear();
    void saveAs();

private:
    void opened(bool open);
    void updateCapture();
    void updateStatus();

    TrafficFeed feed_;
    TrafficModel* model_;
    QTableView* table_;
    QTimer* timer_;
    QToolButton* pause_;
    QToolButton* bytes_;
    QLabel* status_;
    bool open_ = false;
    std::size_t dropped_ = 0;
};

// Docks a closed traffic window at the bottom of the frame and returns the
// View menu's action that opens and closes it.
QAction* InstallTrafficDock(QMainWindow* frame);

}  // namespace traffic
