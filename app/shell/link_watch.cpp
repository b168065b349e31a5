#include "shell/link_watch.h"

#include <QFile>

#include <kvcom/kvcom.h>

#include "device/device_line.h"
#include "device/device_task.h"
#include "widgets/link_text.h"
#include "widgets/link_guard.h"

namespace {

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

LinkWatch::LinkWatch(QObject* parent) : QObject(parent) {
    connect(&timer_, &QTimer::timeout, this, &LinkWatch::poll);
    timer_.start(kPollMs);
    since_reopen_.start();
    poll();
}

bool LinkWatch::TryReopen() {
    // Jobs are queued only from this thread: with none queued or running,
    // nothing touches the port until this returns.
    if (DeviceTaskRunning() || device::Line().Pending() != 0) return false;
    since_reopen_.restart();
    if (UnitConnected()) return true;
    return OpenConnection() != 0;
}

void LinkWatch::poll() {
    if (!UnitConnected() && since_reopen_.elapsed() >= kReopenMs) TryReopen();

    const LinkState s = CurrentLinkState();
    const QString text =
        QString::fromStdString(linktext::PaneText(s.port, Local(s.path), s.connected, s.reason.toStdString()));
    if (!first_poll_ && s.connected != was_connected_) {
        emit notice(QString::fromStdString(s.connected ? linktext::UnitBackText(s.port, Local(s.path))
                                                       : linktext::EditsStayText()));
    }
    first_poll_ = false;
    was_connected_ = s.connected;
    if (text != pane_text_) {
        pane_text_ = text;
        emit paneTextChanged(text);
    }
}
