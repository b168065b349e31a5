#include "remote/desk_host.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QWidget>
#include <algorithm>
#include <cstring>

#include "device/device_line.h"
#include "device/device_task.h"
#include "device/unit_state.h"
#include "document/my758_doc.h"
#include "history/program_history.h"
#include "kvdevice/sends.h"
#include "kvprog/settings.h"
#include "kvremote/server.h"
#include "memory/dlg_memory.h"
#include "memory/dlg_memory_no.h"
#include "widgets/link_guard.h"

namespace remote {

namespace {

using kvremote::Source;

QString Tr(const char* text) { return QCoreApplication::translate("DeskHost", text); }

// An operation as the history names it, with who asked: "Recall (web)".
QString Asked(const QString& what, const char* who) { return QStringLiteral("%1 (%2)").arg(what, QLatin1String(who)); }

using device::Cursors;

// `into` takes the settings of `from` and keeps what belongs to the PC's own
// place in it: the cursors of the open windows, the delay unit and the
// memory number.
void TakeSettings(CDSDATA& into, const CDSDATA& from) {
    const Cursors kept(into);
    const int delay_unit = into.delay_unit;
    const char memory = into.mem_num;
    into = from;
    kept.Restore(into);
    into.delay_unit = delay_unit;
    into.mem_num = memory;
}

// The cursors one parameter message is sent with.
void Aim(CDSDATA& m, const kvprog::ParamMessage& msg) {
    m.cur_chan = msg.chan;
    m.xo_side = msg.side;
    m.cur_slot = msg.slot;
    if (msg.slot >= 0) m.cur_eq = kvprog::EqRow(m, msg.chan, msg.slot);
}

bool ResetsTheUnit(const kvprog::SettingRef& ref) {
    return ref.field == kvprog::Field::Config || ref.field == kvprog::Field::Link;
}

}  // namespace

DeskHost::DeskHost(CMy758Doc& doc, QWidget* window, QObject* parent) : QObject(parent), doc_(doc), window_(window) {
    flush_.setSingleShot(true);
    flush_.setInterval(0);
    connect(&flush_, &QTimer::timeout, this, [this] { Flush(Source::kDesk); });

    // One state for the status bar and the clients: the frame's, or one of
    // the host's own where it runs without a frame.
    state_ = device::UnitState::For(doc_.Model());
    if (!state_) {
        own_state_ = std::make_unique<device::UnitState>(doc_.Model());
        state_ = own_state_.get();
        connect(&doc_, &CMy758Doc::documentReset, state_, &device::UnitState::ProgramReplaced);
    }
    connect(state_, &device::UnitState::changed, this, &DeskHost::UpdateDiffers);

    device::DeviceLine& line = device::Line();
    connect(&line, &device::DeviceLine::modelSent, this, [this] { Touched(); });
    connect(&line, &device::DeviceLine::modelChanged, this, [this] { Touched(); });
    connect(&doc_, &CMy758Doc::documentReset, this, [this] { Touched(); });
    connect(&line, &device::DeviceLine::programMatchesUnit, this, [this] { Touched(); });
    connect(&line, &device::DeviceLine::busyChanged, this, &DeskHost::TellUnit);
    connect(&line, &device::DeviceLine::memoryListRead, this, &DeskHost::ReadMemoryTable);
    connect(&line, &device::DeviceLine::currentMemoryChanged, this, &DeskHost::SetCurrentMemory);
    connect(&line, &device::DeviceLine::memoryStored, this, [this](int m) {
        if (m < 1 || m >= KV_MEMORIES) return;
        if (memories_.entries.size() == static_cast<std::size_t>(KV_MEMORIES - 1))
            memories_.entries[m - 1] = {m, std::string(data_name[m], strnlen(data_name[m], 8)), true};
        SetCurrentMemory(m);
    });
}

DeskHost::~DeskHost() = default;

void DeskHost::SetServer(kvremote::RemoteServer* server) {
    server_ = server;
    ++generation_;
    // Kept up to date only while a server runs: a comparison per edit is
    // for the clients.
    if (server_) differs_ = state_->Differs();
}

std::string DeskHost::differs() const { return server_ ? differs_ : state_->Differs(); }

const CDSDATA& DeskHost::Program() { return doc_.Model(); }

void DeskHost::Touched() {
    // A remote edit tells its clients itself, with its own source.
    if (applying_) return;
    if (!flush_.isActive()) flush_.start();
}

void DeskHost::Flush(Source source) {
    flush_.stop();
    if (server_) server_->ProgramChanged(source);
    UpdateDiffers();
}

void DeskHost::TellUnit() {
    if (server_) server_->UnitChanged();
}

void DeskHost::UpdateDiffers() {
    if (!server_) return;
    std::string now = state_->Differs();
    if (now == differs_) return;
    differs_ = std::move(now);
    TellUnit();
}

void DeskHost::LinkChanged() {
    state_->LinkChanged();
    if (server_) differs_ = state_->Differs();
    TellUnit();
}

kvremote::UnitState DeskHost::Unit() {
    const LinkState link = CurrentLinkState();
    kvremote::UnitState u;
    u.port = "COM" + std::to_string(link.port);
    u.device = QFile::encodeName(link.path).toStdString();
    u.connected = link.connected;
    if (!link.connected) u.reason = link.reason.toStdString();
    u.busy = !busy_.empty() ? busy_ : BusyText().toStdString();
    u.pending_sends = device::Line().Pending();
    u.differs = differs();
    return u;
}

void DeskHost::ReadMemoryTable() {
    memories_.entries.clear();
    for (int m = 1; m < KV_MEMORIES; ++m)
        memories_.entries.push_back(
            {m, data_memoryb[m] ? std::string(data_name[m], strnlen(data_name[m], 8)) : std::string(),
             data_memoryb[m] != 0});
    // A list gives the unit's current memory too.
    const int current = doc_.Model().mem_num;
    if (current >= 1 && current < KV_MEMORIES) memories_.current = current;
    memories_.read_at = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm")).toStdString();
    if (server_) server_->MemoriesChanged();
    TellUnit();
}

void DeskHost::SetCurrentMemory(int memory) {
    memories_.current = memory;
    if (server_) server_->MemoriesChanged();
    TellUnit();
}

void DeskHost::Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed, Source source) {
    if (std::any_of(changed.begin(), changed.end(), ResetsTheUnit)) return ApplyFiguration(program, changed, source);
    CDSDATA& model = doc_.Model();
    applying_ = true;
    {
        // The open windows keep their cursors; the request is one step of
        // the history, marked with who sent it.
        const Cursors kept(model);
        const history::EditGroup step(model, kvremote::SourceName(source));
        TakeSettings(model, program);
        for (const kvprog::SettingRef& ref : changed) {
            for (const kvprog::ParamMessage& msg : kvprog::MessagesFor(model, ref)) {
                Aim(model, msg);
                if (msg.source)
                    device::SendOutSrce(model, msg.chan);
                else
                    device::SendParam(model, msg.code);
            }
        }
        kept.Restore(model);
    }
    applying_ = false;
    Flush(source);
}

void DeskHost::ApplyFiguration(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed, Source source) {
    // As Config > Figuration: the program before it is kept, the PC takes
    // the factory values of the new configuration (and the request's other
    // settings), a new history starts, and the messages go out as one
    // device task.
    CDSDATA& model = doc_.Model();
    const QString what = Asked(Tr("Figuration"), kvremote::SourceName(source));
    history::KeepProgram(model, what);
    TakeSettings(model, program);
    history::NewHistory(model, what);
    device::NotifyModelChanged(model);
    emit doc_.documentReset();
    Flush(source);
    Later("a Figuration", {}, [this, changed]() -> std::optional<kvcore::Refusal> {
        const int sent = RunDeviceTask(ProgressParent(), Tr("Figuration..."), doc_.Model(), [changed](CDSDATA& m) {
            const Cursors kept(m);
            int all = 1;
            for (const kvprog::ParamMessage& msg : kvprog::MessagesFor(m, {kvprog::Field::Config}))
                all &= device::SendParamChecked(m, msg.code);
            for (const kvprog::SettingRef& ref : changed) {
                if (ResetsTheUnit(ref)) continue;
                for (const kvprog::ParamMessage& msg : kvprog::MessagesFor(m, ref)) {
                    Aim(m, msg);
                    all &= msg.source ? device::SendSourceChecked(m, msg.chan) : device::SendParamChecked(m, msg.code);
                }
            }
            kept.Restore(m);
            return all;
        });
        if (sent == 0) return NoAnswer("the Figuration");
        device::NotifyProgramMatchesUnit(doc_.Model(), false);
        return std::nullopt;
    });
}

void DeskHost::Recall(int memory, Source source, kvremote::Done done) {
    Later("a recall of memory " + std::to_string(memory), std::move(done),
          [this, memory, source]() -> std::optional<kvcore::Refusal> {
              CDSDATA& model = doc_.Model();
              const QString what = Asked(Tr("Recall"), kvremote::SourceName(source));
              history::KeepProgram(model, what);
              const int ok = RunDeviceTask(
                  ProgressParent(), Tr("Recalling memory %1 for a remote client...").arg(memory), model,
                  [memory](CDSDATA& m) { return m.MEMRECALLFROMMCU(static_cast<unsigned char>(memory)); });
              if (ok == 0) return NoAnswer("the recall of memory " + std::to_string(memory));
              history::NewHistory(model, what);
              emit doc_.documentReset();  // the routing view shows a recalled configuration
              device::NotifyProgramMatchesUnit(model, true);
              device::NotifyCurrentMemory(memory);
              return std::nullopt;
          });
}

void DeskHost::RefreshMemories(kvremote::Done done) {
    Later("a memory list", std::move(done), [this]() -> std::optional<kvcore::Refusal> {
        const int listed = RunDeviceTask(
            ProgressParent(), Tr("Reading the memory list from the unit for a remote client..."), doc_.Model(),
            [](CDSDATA& m, DeviceTaskProgress& progress) { return ::RefreshMemories(m, progress); });
        if (listed == 0) return NoAnswer("the request for its memories");
        CDlgMemory::NoteTableReadFromUnit();
        device::NotifyMemoryListRead();
        return std::nullopt;
    });
}

void DeskHost::Store(int memory, const std::string& name, kvremote::Done done) {
    Later("a store in memory " + std::to_string(memory), std::move(done),
          [this, memory, name]() -> std::optional<kvcore::Refusal> {
              CDSDATA& model = doc_.Model();
              // As the memory manager's Store: the name goes out from the
              // table, which keeps it only once the unit has the memory.
              char old_name[sizeof data_name[0]];
              std::memcpy(old_name, data_name[memory], sizeof old_name);
              char old_prog_name[sizeof model.prog_name];
              std::memcpy(old_prog_name, model.prog_name, sizeof old_prog_name);
              StoreMemoryName(model, memory, MemoryNameFromInput(QString::fromStdString(name)));
              history::KeepProgram(model, Asked(Tr("Store"), "remote"));
              const int ok =
                  RunDeviceTask(ProgressParent(), Tr("Storing memory %1 for a remote client...").arg(memory), model,
                                [memory](CDSDATA& m) { return m.StoreMEMCur(static_cast<unsigned char>(memory)); });
              if (ok == 0) {
                  std::memcpy(data_name[memory], old_name, sizeof old_name);
                  std::memcpy(model.prog_name, old_prog_name, sizeof old_prog_name);
                  device::NotifyModelChanged(model);
                  return NoAnswer("the store of memory " + std::to_string(memory));
              }
              data_memoryb[memory] = 1;
              device::NotifyMemoryStored(memory);
              return std::nullopt;
          });
}

void DeskHost::Download(const CDSDATA& program, kvremote::Done done) {
    Later("a Download", std::move(done), [this, program]() -> std::optional<kvcore::Refusal> {
        // As Config > Download, with the program sent: the PC's program
        // before it is kept, and the unit mutes every output.
        CDSDATA& model = doc_.Model();
        const QString what = Asked(Tr("Download"), "remote");
        history::KeepProgram(model, what);
        TakeSettings(model, program);
        model.mem_num = 0;
        for (int n = 0; n < KV_OUTPUTS; ++n) model.out_mute[n] = 1;
        doc_.SetModified(true);
        const int stored = RunDeviceTask(ProgressParent(), Tr("Download Current Program for a remote client..."), model,
                                         [](CDSDATA& m) { return m.StoreFromPC(); });
        history::NewHistory(model, what);
        emit doc_.documentReset();
        if (stored == 0) return NoAnswer("the Download");
        device::NotifyProgramMatchesUnit(model, false);
        return std::nullopt;
    });
}

void DeskHost::Later(const std::string& busy, kvremote::Done done,
                     std::function<std::optional<kvcore::Refusal>()> operation) {
    busy_ = busy;
    TellUnit();
    const int generation = generation_;
    // The request that asked has returned by then: the operation's progress
    // window and its wait never run inside the server's own handler.
    QTimer::singleShot(0, this, [this, generation, done = std::move(done), operation = std::move(operation)] {
        std::optional<kvcore::Refusal> refused;
        if (DeviceTaskRunning()) {
            const QString what = BusyText();
            refused = kvcore::Refusal{
                "", (what.isEmpty() ? std::string("another operation on the line") : what.toStdString()) +
                        " is running; nothing was done"};
        } else {
            refused = operation();
        }
        busy_.clear();
        Flush(Source::kUnit);
        TellUnit();
        if (generation == generation_ && done) done(refused);
    });
}

std::optional<kvcore::Refusal> DeskHost::NoAnswer(const std::string& what) const {
    if (LinkConnected() == 0)
        return kvcore::Refusal{"", "the link was lost: " + std::string(LinkErrorMessage(LinkLastError()))};
    if (LastReplyDamaged())
        return kvcore::Refusal{"", "the unit's reply to " + what + " arrived damaged; nothing was taken"};
    return kvcore::Refusal{"", "the unit did not answer " + what};
}

QWidget* DeskHost::ProgressParent() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : window_;
}

}  // namespace remote
