#include "widgets/device_task.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace {

bool g_running = false;

// Carries progress from the worker to the dialog through queued calls.
class QueuedProgress final : public DeviceTaskProgress {
public:
    explicit QueuedProgress(QProgressDialog* dialog) : dialog_(dialog) {}
    void Report(int step, int total, const QString& text) override {
        QProgressDialog* d = dialog_;
        QMetaObject::invokeMethod(d, [d, step, total, text] {
            d->setMaximum(total);
            d->setValue(step);
            if (!text.isEmpty()) d->setLabelText(text);
        }, Qt::QueuedConnection);
    }

private:
    QProgressDialog* dialog_;
};

}  // namespace

bool DeviceTaskRunning() { return g_running; }

int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&, DeviceTaskProgress&)>& work) {
    if (g_running) return 0;  // never two device operations at once
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

    CDSDATA copy(model);
    QueuedProgress progress(&dialog);
    int result = 0;
    QEventLoop loop;
    QThread* worker = QThread::create([&] { result = work(copy, progress); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    show_later.stop();
    QApplication::restoreOverrideCursor();
    dialog.close();

    model = copy;
    g_running = false;
    return result;
}

int RunDeviceTask(QWidget* parent, const QString& label, CDSDATA& model,
                  const std::function<int(CDSDATA&)>& work) {
    return RunDeviceTask(parent, label, model,
                         [&work](CDSDATA& m, DeviceTaskProgress&) { return work(m); });
}
