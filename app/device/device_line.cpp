#include "device/device_line.h"

#include <QCoreApplication>

namespace device {

namespace {

DeviceLine* g_line = nullptr;

void EndLine() {
    delete g_line;
    g_line = nullptr;
}

}  // namespace

DeviceLine::DeviceLine(QObject* parent)
    : QObject(parent),
      thread_(DeviceThread::Callbacks{// Both run on other threads too: they only post to this object,
                                      // which lives on the window's thread and outlives the thread.
                                      [this](Ticket ticket, const std::optional<SendKey>& key, int result) {
                                          QMetaObject::invokeMethod(
                                              this,
                                              [this, ticket, key, result] {
                                                  if (key) emit sendFinished(*key, result);
                                                  emit jobFinished(ticket);
                                              },
                                              Qt::QueuedConnection);
                                      },
                                      [this] {
                                          QMetaObject::invokeMethod(
                                              this, [this] { emit pendingChanged(thread_.Pending()); },
                                              Qt::QueuedConnection);
                                      }}) {
    qRegisterMetaType<device::SendKey>();
}

// The thread member runs what is still queued before it ends.
DeviceLine::~DeviceLine() = default;

DeviceLine& Line() {
    if (!g_line) {
        g_line = new DeviceLine;
        qAddPostRoutine(EndLine);
    }
    return *g_line;
}

namespace {

EditObserver g_edit_observer;

void Queue(const SendKey& key, const CDSDATA& model, Work work) {
    if (g_edit_observer) g_edit_observer(model, key);
    DeviceLine& line = Line();
    const Ticket ticket = line.thread().QueueSend(key, model, std::move(work));
    emit line.modelSent(&model, false);
    emit line.modelChanged(&model);
    if (line.WaitsForEachSend()) line.thread().WaitFor(ticket);
}

}  // namespace

void SetEditObserver(EditObserver observer) { g_edit_observer = std::move(observer); }

void NotifyModelChanged(const CDSDATA& model) { emit Line().modelChanged(&model); }

void NotifyProgramMatchesUnit(const CDSDATA& model, bool read_from_unit) {
    emit Line().programMatchesUnit(&model, read_from_unit);
}

void NotifyUnitProgramRead(const CDSDATA& unit_program) { emit Line().unitProgramRead(&unit_program); }

void NotifyMemoryListRead() { emit Line().memoryListRead(); }

void NotifyCurrentMemory(int memory) { emit Line().currentMemoryChanged(memory); }

void NotifyMemoryStored(int memory) { emit Line().memoryStored(memory); }

void SendParam(const CDSDATA& model, int code) {
    Queue(ParamKey(model, code), model, [code](CDSDATA& m) { return SendParamChecked(m, code); });
}

void SendOutSrce(const CDSDATA& model, int output) {
    Queue(SourceKey(model, output), model, [output](CDSDATA& m) { return SendSourceChecked(m, output); });
}

}  // namespace device
