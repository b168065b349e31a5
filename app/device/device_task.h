// Long device operations (seconds to a minute on the line) run on the
// device thread behind a modal progress window, so the window keeps
// painting.
//
// The operation works on a copy of the model; the copy is written back on
// the window's thread when it ends, so the model is only ever written by
// that thread. The operation runs after every send queued before it. Only
// one device operation runs at once.
#pragma once

#include <QString>
#include <functional>

#include <kvcom/kvcom.h>

class QObject;
class QWidget;

// Lets an operation report its progress and see whether the user asked it
// to stop (thread-safe; call from the work).
class DeviceTaskProgress {
public:
    virtual ~DeviceTaskProgress() = default;
    // step of total; text replaces the dialog's label when not empty.
    virtual void Report(int step, int total, const QString& text = QString()) = 0;
    // True once the user pressed Cancel in the progress window of a task
    // run with RunCancellableDeviceTask; the work stops at its next safe
    // point. Always false for a task without Cancel.
    virtual bool CancelRequested() const { return false; }
};

// Runs work(copy of model, progress) on the device thread while a modal
// progress window with `label` is shown over parent (once it has taken
// longer than 300 ms); writes the copy back into model and returns what
// work returned. The window has no cancel button: an operation without safe
// points to stop at runs to its end.
int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work);

// As RunDeviceTask, with a Cancel button (and Escape) in the progress
// window, shown at once: pressing it makes progress.CancelRequested() true
// and the window says `stopping` until the work has come to its safe point
// and returned. The window stays modal meanwhile; nothing else runs.
int RunCancellableDeviceTask(QWidget* parent, const QString& label, const QString& stopping, CDSDATA& model,
                             const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work);

// Shorthand for work that reports no progress.
int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model, const std::function<int(CDSDATA&)>& work);

// A short read nobody waits for (the unit's program, read to compare it
// with the PC's when the link opens): work(copy of model) runs on the device
// thread after every job queued before it, with no progress window and
// without holding the window's thread; done(result, copy) follows on the
// window's thread, unless `context` has gone by then.
void QueueDeviceRead(QObject* context, const CDSDATA& model, std::function<int(CDSDATA&)> work,
                     std::function<void(int result, const CDSDATA& copy)> done);

// True while a device task is running (its dialog is up).
bool DeviceTaskRunning();

// An operation at the desk that holds the unit longer than one device task
// (the memory manager open, the Download prompt, the RS232 dialog): while
// one lives, BusyText names it and the remote-control server answers that
// the unit is busy. Scopes nest; the outermost names the operation.
class DeskOperation {
public:
    explicit DeskOperation(const QString& what);
    ~DeskOperation();
    DeskOperation(const DeskOperation&) = delete;
    DeskOperation& operator=(const DeskOperation&) = delete;
};

// What holds the unit now, in words ("Upload Current Program at the desk"):
// the running device task or the desk operation; empty when nothing does.
QString BusyText();

// Lets every queued send go out before the caller goes on (closing, opening
// a file, New): returns at once when nothing is pending, otherwise waits
// the same way as a device task. False only while a device task runs.
bool FinishPendingSends(QWidget* parent);
