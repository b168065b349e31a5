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
    // What changed in the model went to the unit too: an edit queued its
    // message from it (task false), or a device task that succeeded wrote
    // back what it did on the line (task true: it may have read more than
    // it sent). Comes just before modelChanged.
    void modelSent(const CDSDATA* model, bool task);
    // The model now holds the unit's working program: read from it
    // (read_from_unit: an Upload, a recall) or sent to it whole (a Download,
    // a Figuration), or found equal to it (Verify).
    void programMatchesUnit(const CDSDATA* model, bool read_from_unit);
    // The unit's working program was read into a model of its own (Compare,
    // Verify), after every send asked for before: what the unit plays now.
    void unitProgramRead(const CDSDATA* unit_program);
    // The library's memory table holds the unit's list as just read from it.
    void memoryListRead();
    // The unit plays memory `memory` now (after a recall).
    void currentMemoryChanged(int memory);
    // The unit stored its working program in memory `memory` under the name
    // the library's memory table now holds for it; it plays that memory.
    void memoryStored(int memory);
    // A device operation or an operation at the desk began or ended
    // (BusyText in device/device_task.h).
    void busyChanged();

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

// What the windows learn of the unit beyond single edits, for those that
// follow it (the remote-control server): each emits its signal above.
void NotifyProgramMatchesUnit(const CDSDATA& model, bool read_from_unit);
void NotifyUnitProgramRead(const CDSDATA& unit_program);
void NotifyMemoryListRead();
void NotifyCurrentMemory(int memory);
void NotifyMemoryStored(int memory);

}  // namespace device

Q_DECLARE_METATYPE(device::SendKey)
