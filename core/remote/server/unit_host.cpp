#include "kvremote/unit_host.h"

#include <QDateTime>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cstring>

#include "kvdevice/sends.h"
#include "kvprog/settings.h"

namespace kvremote {

namespace {

// The served program takes what the unit holds, keeping the place of the
// program it replaces.
void TakeProgram(CDSDATA& into, const CDSDATA& from) {
    CDSDATA taken(from);
    kvprog::KeepPlaceOf(into, taken);
    into = taken;
}

}  // namespace

UnitHost::UnitHost(const CDSDATA& factory, std::string port_name, std::string device_path, QObject* parent)
    : QObject(parent), program_(factory), port_name_(std::move(port_name)), device_path_(std::move(device_path)) {
    connect(&poll_, &QTimer::timeout, this, &UnitHost::Poll);
}

UnitHost::~UnitHost() { Drain(); }

void UnitHost::Drain() { thread_.WaitIdle(std::chrono::seconds(30)); }

void UnitHost::Start() {
    since_reopen_.start();
    poll_.start(kPollMs);
    Poll();
}

UnitState UnitHost::Unit() {
    UnitState u;
    u.port = port_name_;
    u.device = device_path_;
    u.connected = LinkConnected() != 0;
    if (!u.connected) u.reason = LinkErrorMessage(LinkLastError());
    u.busy = busy_;
    u.pending_sends = thread_.Pending();
    return u;
}

void UnitHost::Poll() {
    const bool connected = LinkConnected() != 0;
    if (connected && !was_connected_) {
        was_connected_ = true;
        if (unit_changed) unit_changed();
        // What the unit plays now is what the server serves from here on.
        FetchWorking(Source::kUnit, [](std::optional<kvcore::Refusal>) {});
        return;
    }
    if (!connected && was_connected_) {
        was_connected_ = false;
        if (unit_changed) unit_changed();
    }
    if (!connected && busy_.empty() && since_reopen_.elapsed() >= kReopenMs) {
        since_reopen_.restart();
        // The reopen runs on the device thread, so it never races a job for
        // the line.
        thread_.QueueTask(program_, [](CDSDATA&) { return OpenConnection(); });
    }
}

void UnitHost::RunTask(const std::string& what, std::function<int(CDSDATA&)> work,
                       std::function<void(int result, const CDSDATA& model)> then) {
    busy_ = what;
    if (unit_changed) unit_changed();
    // The task works on its own copy, which lives as long as the job and the
    // answer that carries it back.
    auto model = std::make_shared<CDSDATA>(program_);
    QPointer<UnitHost> self(this);
    thread_.QueueTask(*model, [self, model, work = std::move(work), then = std::move(then)](CDSDATA& m) {
        const int result = work(m);
        QMetaObject::invokeMethod(
            self.data(),
            [self, model, then, result] {
                if (!self) return;
                self->busy_.clear();
                then(result, *model);
                if (self->unit_changed) self->unit_changed();
            },
            Qt::QueuedConnection);
        return result;
    });
}

std::optional<kvcore::Refusal> UnitHost::NoAnswer(const std::string& what) const {
    if (LinkConnected() == 0) return kvcore::Refusal{"", "the link was lost: " + std::string(LinkErrorMessage(LinkLastError()))};
    if (LastReplyDamaged()) return kvcore::Refusal{"", "the unit's reply to " + what + " arrived damaged; nothing was taken"};
    return kvcore::Refusal{"", "the unit did not answer " + what};
}

void UnitHost::FetchWorking(Source source, Done done) {
    RunTask(
        "reading the working program", [](CDSDATA& m) { return m.RecallToPC(); },
        [this, source, done](int result, const CDSDATA& model) {
            if (result != 1) return done(NoAnswer("the request for its working program"));
            TakeProgram(program_, model);
            if (program_changed) program_changed(source);
            done(std::nullopt);
        });
}

void UnitHost::Apply(const CDSDATA& program, const std::vector<kvprog::SettingRef>& changed, Source source) {
    TakeProgram(program_, program);
    for (const kvprog::SettingRef& ref : changed) {
        for (const kvprog::ParamMessage& msg : kvprog::MessagesFor(program_, ref)) {
            const CDSDATA aimed = kvprog::AimedAt(program_, msg);
            if (msg.source) {
                thread_.QueueSend(device::SourceKey(aimed, msg.chan), aimed,
                                  [chan = msg.chan](CDSDATA& m) { return device::SendSourceChecked(m, chan); });
            } else {
                thread_.QueueSend(device::ParamKey(aimed, msg.code), aimed,
                                  [code = msg.code](CDSDATA& m) { return device::SendParamChecked(m, code); });
            }
        }
    }
    if (program_changed) program_changed(source);
}

void UnitHost::ReadMemoryTable(int current) {
    memories_.entries.clear();
    for (int m = 1; m <= 60; ++m)
        memories_.entries.push_back(
            {m, data_memoryb[m] ? std::string(data_name[m], strnlen(data_name[m], 8)) : std::string(), data_memoryb[m] != 0});
    if (current > 0) memories_.current = current;
    memories_.read_at = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm")).toStdString();
    if (memories_changed) memories_changed();
}

void UnitHost::Recall(int memory, Source source, Done done) {
    RunTask(
        "a recall", [memory](CDSDATA& m) { return m.MEMRECALLFROMMCU(static_cast<unsigned char>(memory)); },
        [this, memory, source, done](int result, const CDSDATA& model) {
            if (result != 1) return done(NoAnswer("the recall of memory " + std::to_string(memory)));
            TakeProgram(program_, model);
            memories_.current = memory;
            if (program_changed) program_changed(source == Source::kDesk ? Source::kDesk : Source::kUnit);
            if (memories_changed) memories_changed();
            done(std::nullopt);
        });
}

void UnitHost::RefreshMemories(Done done) {
    RunTask(
        "a memory list", [](CDSDATA& m) { return m.MemRefresh(); },
        [this, done](int result, const CDSDATA& model) {
            if (result != 1) return done(NoAnswer("the request for its memories"));
            ReadMemoryTable(model.mem_num);
            done(std::nullopt);
        });
}

void UnitHost::Store(int memory, const std::string& name, Done done) {
    RunTask(
        "a store",
        [memory, name](CDSDATA& m) {
            m.mem_num = static_cast<char>(memory);
            std::memset(data_name[memory], ' ', 8);
            std::memcpy(data_name[memory], name.data(), std::min<std::size_t>(name.size(), 8));
            std::memset(m.prog_name, 0, sizeof m.prog_name);
            std::memcpy(m.prog_name, name.data(), std::min<std::size_t>(name.size(), 8));
            data_memoryb[memory] = 1;
            return m.StoreMEMCur(static_cast<unsigned char>(memory));
        },
        [this, memory, name, done](int result, const CDSDATA& model) {
            if (result != 1) return done(NoAnswer("the store of memory " + std::to_string(memory)));
            TakeProgram(program_, model);
            memories_.current = memory;
            ReadMemoryTable(memory);
            if (program_changed) program_changed(Source::kUnit);
            done(std::nullopt);
        });
}

void UnitHost::Download(const CDSDATA& program, Done done) {
    const CDSDATA sent(program);
    RunTask(
        "a Download",
        [sent](CDSDATA& m) {
            TakeProgram(m, sent);
            m.mem_num = 0;
            for (int n = 0; n < KV_OUTPUTS; ++n) m.out_mute[n] = 1;  // the unit mutes every output on a Download
            return m.StoreFromPC();
        },
        [this, done](int result, const CDSDATA& model) {
            if (result != 1) return done(NoAnswer("the Download"));
            TakeProgram(program_, model);
            if (program_changed) program_changed(Source::kUnit);
            done(std::nullopt);
        });
}

}  // namespace kvremote
