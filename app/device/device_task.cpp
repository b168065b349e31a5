#include "device/device_task.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

#include "device/device_line.h"

namespace {

bool g_running = false;
QString g_task_label;      // the running device task's
QString g_desk_operation;  // the outermost DeskOperation's
int g_desk_depth = 0;

// The progress window of a device task. It never goes away by itself while
// the work runs (Escape, the window's close button): with Cancel, either
// asks the work to stop instead; without, nothing happens.
class TaskProgressDialog final : public QProgressDialog {
public:
    TaskProgressDialog(const QString& label, QWidget* parent) : QProgressDialog(label, QString(), 0, 0, parent) {}

    // Offers Cancel; pressing it (or Escape) calls on_cancel once and shows
    // `stopping` from then on.
    void OfferCancel(const QString& stopping, std::function<void()> on_cancel) {
        stopping_text_ = stopping;
        on_cancel_ = std::move(on_cancel);
        setCancelButtonText(QApplication::translate("DeviceTask", "Cancel"));
        // The dialog's own Cancel resets and hides it: here the work decides
        // when the window goes.
        disconnect(this, SIGNAL(canceled()), this, SLOT(cancel()));
        connect(this, &QProgressDialog::canceled, this, [this] { AskToStop(); });
    }

    void Show(int step, int total, const QString& text) {
        setMaximum(total);
        setValue(step);
        if (!text.isEmpty() && !stopping_) setLabelText(text);
    }

    void reject() override { AskToStop(); }

    // The work has ended: the window goes.
    void Finish() {
        finished_ = true;
        close();
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (finished_) return QProgressDialog::closeEvent(event);
        event->ignore();
        AskToStop();
    }

private:
    void AskToStop() {
        if (!on_cancel_ || stopping_) return;
        stopping_ = true;
        setLabelText(stopping_text_);
        if (auto* button = findChild<QPushButton*>()) button->setEnabled(false);
        on_cancel_();
    }

    QString stopping_text_;
    std::function<void()> on_cancel_;
    bool stopping_ = false;
    bool finished_ = false;
};

// Carries progress from the device thread to the dialog through queued
// calls, and the user's Cancel back to the work.
class QueuedProgress final : public DeviceTaskProgress {
public:
    explicit QueuedProgress(TaskProgressDialog* dialog) : dialog_(dialog) {}
    void Report(int step, int total, const QString& text) override {
        TaskProgressDialog* d = dialog_;
        QMetaObject::invokeMethod(
            d, [d, step, total, text] { d->Show(step, total, text); }, Qt::QueuedConnection);
    }
    bool CancelRequested() const override { return cancel_requested_.load(std::memory_order_acquire); }
    void RequestCancel() { cancel_requested_.store(true, std::memory_order_release); }

private:
    TaskProgressDialog* dialog_;
    std::atomic<bool> cancel_requested_{false};
};

// Queues a job on the device thread (queue returns its ticket) and keeps the
// window painting until it has finished, with a progress window once that
// takes longer than a blink. Without `stopping` user input is held back;
// with it the window offers Cancel and shows at once, modal, so the user
// can reach Cancel and nothing else.
void WaitOnDeviceThread(QWidget* parent, const QString& label,
                        const std::function<device::Ticket(DeviceTaskProgress&)>& queue,
                        const QString* stopping = nullptr) {
    g_running = true;
    TaskProgressDialog dialog(label, parent);
    dialog.setWindowTitle(QApplication::applicationName().isEmpty() ? QStringLiteral("KALVORE")
                                                                    : QApplication::applicationName());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QueuedProgress progress(&dialog);
    if (stopping != nullptr) dialog.OfferCancel(*stopping, [&progress] { progress.RequestCancel(); });
    // A progress dialog shows itself only when its value moves; a busy
    // indicator never does, so it is shown by a timer once the operation
    // has taken longer than a blink.
    QTimer show_later;
    show_later.setSingleShot(true);
    QObject::connect(&show_later, &QTimer::timeout, &dialog, &QProgressDialog::show);
    if (stopping != nullptr)
        dialog.show();
    else
        show_later.start(300);

    device::DeviceLine& line = device::Line();
    QEventLoop loop;
    device::Ticket ticket = 0;
    QObject::connect(&line, &device::DeviceLine::jobFinished, &loop, [&](quint64 t) {
        if (ticket != 0 && t >= ticket) loop.quit();
    });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ticket = queue(progress);
    if (!line.thread().Finished(ticket))
        loop.exec(stopping != nullptr ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    // Returns at once, unless the loop was ended from outside (the program
    // quitting): the work still uses this frame's locals.
    line.thread().WaitFor(ticket);
    show_later.stop();
    QApplication::restoreOverrideCursor();
    dialog.Finish();
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

namespace {

int RunTask(QWidget* parent, const QString& label, const QString* stopping, CDSDATA& model,
            const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work) {
    if (g_running) return 0;  // never two device operations at once
    CDSDATA copy(model);
    int result = 0;
    // The label without the dots of a progress text: "Upload Current Program".
    g_task_label = QString(label).remove(QStringLiteral("..."));
    emit device::Line().busyChanged();
    WaitOnDeviceThread(
        parent, label,
        [&](DeviceTaskProgress& progress) {
            return device::Line().thread().QueueTask(copy, [&](CDSDATA& m) { return result = work(m, progress); });
        },
        stopping);
    g_task_label.clear();
    emit device::Line().busyChanged();
    model = copy;
    // What a task that failed part way changed may not have reached the unit.
    if (result != 0) emit device::Line().modelSent(&model, true);
    device::NotifyModelChanged(model);
    return result;
}

}  // namespace

int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work) {
    return RunTask(parent, label, nullptr, model, work);
}

int RunCancellableDeviceTask(QWidget* parent, const QString& label, const QString& stopping, CDSDATA& model,
                             const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work) {
    return RunTask(parent, label, &stopping, model, work);
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
