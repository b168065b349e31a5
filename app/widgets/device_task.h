// Long device operations (seconds to a minute on the line) run off the GUI
// thread behind a modal progress dialog, so the window keeps painting.
//
// The operation works on a copy of the model; the copy is written back on
// the GUI thread when it ends, so the model is only ever touched by one
// thread at a time. Only one device operation runs at once.
#pragma once

#include <QString>
#include <functional>

#include <kvcom/kvcom.h>

class QWidget;

// Lets an operation report its progress (thread-safe; call from the work).
class DeviceTaskProgress {
public:
    virtual ~DeviceTaskProgress() = default;
    // step of total; text replaces the dialog's label when not empty.
    virtual void Report(int step, int total, const QString& text = QString()) = 0;
};

// Runs work(copy of model, progress) on a worker thread while a modal
// progress dialog with `label` is shown over parent; writes the copy back
// into model and returns what work returned. The dialog has no cancel
// button: the device's pacing must run to its end.
int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work);

// Shorthand for work that reports no progress.
int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&)>& work);

// True while a device task is running (its dialog is up).
bool DeviceTaskRunning();
