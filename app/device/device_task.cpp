#include "device/device_task.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <memory>

#include "device/device_line.h"

namespace {

bool g_running = false;
QString g_task_label;      // the running device task's
QString g_desk_operation;  // the outermost DeskOperation's
int g_desk_depth = 0;

// Carries progress from the device thread to the dialog through queued calls.
class QueuedProgress final : public DeviceTaskProgress {
public:
    explicit QueuedProgress(QProgressDialog* dialog) : dialog_(dialog) {}
    void Report(int step, int total, const QString& text) override {
        QProgressDialog* d = dialog_;
        QMetaObject::invokeMethod(
            d,
            [d, step, total, text] {
                d->setMaximum(total);
                d->setValue(step);
                if (!text.isEmpty()) d->setLabelText(text);
            },
            Qt::QueuedConnection);
    }

private:
    QProgressDialog* dialog_;
};

// Queues a job on the device thread (queue returns its ticket) and keeps the
// window painting, user input held back, until it has finished, with a
// progress window once that takes longer than a blink.
void WaitOnDeviceThread(QWidget* parent, const QString& label,
                        const std::function<device::Ticket(DeviceTaskProgress&)>& queue) {
    g_running = true;
    QProgressDialog dialog(label, QString(), 0, 0, parent);
    dialog.setWindowTitle(QApplication::applicationName().isEmpty() ? QStringLiteral("KALVORE")
                                                                    : QApplication::applicationName());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButton(nullptr);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // A progress dialog shows itself only when its value moves; a busy
    // indicator never does, so it is shown by a timer once the operation
    // has taken longer than a blink.
    QTimer show_later;
    show_later.setSingleShot(true);
    QObject::connect(&show_later, &QTimer::timeout, &dialog, &QProgressDialog::show);
    show_later.start(300);

    device::DeviceLine& line = device::Line();
    QueuedProgress progress(&dialog);
    QEventLoop loop;
    device::Ticket ticket = 0;
    QObject::connect(&line, &device::DeviceLine::jobFinished, &loop, [&](quint64 t) {
        if (ticket != 0 && t >= ticket) loop.quit();
    });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ticket = queue(progress);
    if (!line.thread().Finished(ticket)) loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Returns at once, unless the loop was ended from outside (the program
    // quitting): the work still uses this frame's locals.
    line.thread().WaitFor(ticket);
    show_later.stop();
    QApplication::restoreOverrideCursor();
    dialog.close();
    g_running = false;
}

}  // namespace

bool DeviceTaskRunning() { return g_running; }

DeskOperation::DeskOperation(const QString& what) {
    if (g_desk_depth++ > 0) return;
    g_desk_operation = what;
    emit device::Line().busyChanged();
}

DeskOperation::~DeskOperation() {
    if (--g_desk_depth > 0) return;
    g_desk_operation.clear();
    emit device::Line().busyChanged();
}

QString BusyText() {
    const QString what = !g_desk_operation.isEmpty() ? g_desk_operation : g_task_label;
    if (what.isEmpty()) return {};
    return QApplication::translate("DeviceTask", "%1 at the desk").arg(what);
}

int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work) {
    if (g_running) return 0;  // never two device operations at once
    CDSDATA copy(model);
    int result = 0;
    // The label without the dots of a progress text: "Upload Current Program".
    g_task_label = QString(label).remove(QStringLiteral("..."));
    emit device::Line().busyChanged();
    WaitOnDeviceThread(parent, label, [&](DeviceTaskProgress& progress) {
        return device::Line().thread().QueueTask(copy, [&](CDSDATA& m) { return result = work(m, progress); });
    });
    g_task_label.clear();
    emit device::Line().busyChanged();
    model = copy;
    // What a task that failed part way changed may not have reached the unit.
    if (result != 0) emit device::Line().modelSent(&model, true);
    device::NotifyModelChanged(model);
    return result;
}

int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model, const std::function<int(CDSDATA&)>& work) {
    return RunDeviceTask(parent, label, model, [&work](CDSDATA& m, DeviceTaskProgress&) { return work(m); });
}

void QueueDeviceRead(QObject* context, const CDSDATA& model, std::function<int(CDSDATA&)> work,
                     std::function<void(int result, const CDSDATA& copy)> done) {
    // The job and the answer share the copy; whichever ends last frees it.
    auto copy = std::make_shared<CDSDATA>(model);
    auto result = std::make_shared<std::atomic<int>>(0);
    device::DeviceLine& line = device::Line();
    const device::Ticket ticket = line.thread().QueueTask(*copy, [copy, result, work = std::move(work)](CDSDATA& m) {
        const int r = work(m);
        result->store(r);
        return r;
    });
    // The end is posted to this thread, so it cannot come before the
    // connection below is made.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&line, &device::DeviceLine::jobFinished, context,
                                   [ticket, copy, result, connection, done = std::move(done)](quint64 t) {
                                       if (t < ticket) return;
                                       QObject::disconnect(*connection);
                                       done(result->load(), *copy);
                                   });
}

bool FinishPendingSends(QWidget* parent) {
    if (g_running) return false;
    if (device::Line().Pending() == 0) return true;
    WaitOnDeviceThread(parent, QApplication::translate("DeviceTask", "Sending the last changes to the unit..."),
                       [](DeviceTaskProgress&) { return device::Line().thread().LastQueued(); });
    return true;
}
