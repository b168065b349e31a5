// The program's one device thread, as the windows see it: queue a send and
// go on; results and the number of pending jobs come back as signals on the
// window's thread.
#pragma once

#include <QObject>
#include <functional>

#include <kvcom/kvcom.h>

#include "kvdevice/device_thread.h"

namespace device {

class DeviceLine : public QObject {
    Q_OBJECT

public:
    explicit DeviceLine(QObject* parent = nullptr);
    // Lets every queued job finish, then ends the thread.
    ~DeviceLine() override;

    DeviceThread& thread() { return thread_; }
    int Pending() const { return thread_.Pending(); }

    // For window tests that read the line right after an edit: the window's
    // thread then waits for each send it queues, so every value goes out and
    // none is replaced.
    void SetWaitForEachSend(bool wait) { wait_for_each_send_ = wait; }
    bool WaitsForEachSend() const { return wait_for_each_send_; }

signals:
    // The number of jobs queued or running changed (0: the line is idle).
    void pendingChanged(int pending);
    // A job ended (sends and tasks alike).
    void jobFinished(quint64 ticket);
    // The library's result of one parameter send: 1 sent, 0 the link failed.
    // This is where send failures arrive on the window's thread.
    void sendFinished(const device::SendKey& key, int result);
    // The model was written on the window's thread: an edit queued its
    // message (an undo's too), a device task wrote its copy back, or another
    // writer said so (NotifyModelChanged). Windows that show the model
    // follow it here.
    void modelChanged(const CDSDATA* model);

private:
    DeviceThread thread_;
    bool wait_for_each_send_ = false;
};

// The program's device line, created on first use on the window's thread and
// ended (after its queue has run) when the application object goes.
DeviceLine& Line();

// Queue the send that model.SendParam(code) would make with the model's
// cursors as they are now; the model may change at once afterwards. A send
// of the same setting still waiting is replaced (latest value wins).
void SendParam(const CDSDATA& model, int code);
// Likewise for model.SendOutSrce(output).
void SendOutSrce(const CDSDATA& model, int output);

// Called on the window's thread for every send queued above, before it is
// queued: each is the message of one edit (the undo history listens here).
// nullptr removes it.
using EditObserver = std::function<void(const CDSDATA& model, const SendKey& key)>;
void SetEditObserver(EditObserver observer);

// For a writer of the model that neither queues a send nor runs a device
// task: the windows that show the model are told (modelChanged).
void NotifyModelChanged(const CDSDATA& model);

}  // namespace device

Q_DECLARE_METATYPE(device::SendKey)
