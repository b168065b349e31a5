#include "device/unit_state.h"

#include <QCoreApplication>
#include <QHash>

#include "device/device_line.h"
#include "device/device_task.h"

namespace device {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("UnitState", text); }

// A PC-only change that keeps coming back while the read runs is given up
// on after this many reads; the next link or command reads again.
constexpr int kReadTries = 3;

QHash<const CDSDATA*, UnitState*>& Registry() {
    static QHash<const CDSDATA*, UnitState*> registry;
    return registry;
}

}  // namespace

UnitState::UnitState(const CDSDATA& model, QObject* parent) : QObject(parent), model_(model) {
    Registry().insert(&model_, this);
    tell_.setSingleShot(true);
    tell_.setInterval(0);
    connect(&tell_, &QTimer::timeout, this, &UnitState::changed);
    agreement_.PcOnly(model_);
    if (LinkConnected() != 0)
        agreement_.LinkOpened();
    else
        agreement_.LinkClosed();  // edits from here on stay on the PC

    DeviceLine& line = Line();
    connect(&line, &DeviceLine::modelSent, this, [this](const CDSDATA* m, bool task) {
        if (m == &model_)
            agreement_.Sent(*m);
        else if (!task)
            agreement_.OtherProgramSent();  // a task on another model only read into it
        Tell();
    });
    connect(&line, &DeviceLine::modelChanged, this, [this](const CDSDATA* m) {
        if (m != &model_) return;
        agreement_.PcOnly(*m);
        Tell();
    });
    connect(&line, &DeviceLine::programMatchesUnit, this, [this](const CDSDATA* m, bool) {
        if (m != &model_) return;
        agreement_.Matches(*m);
        read_failed_ = false;
        Tell();
    });
    connect(&line, &DeviceLine::unitProgramRead, this, [this](const CDSDATA* unit) {
        agreement_.UnitRead(*unit);
        read_failed_ = false;
        Tell();
    });
    connect(&line, &DeviceLine::sendFinished, this, [this](const SendKey&, int result) {
        if (result != 0) return;
        agreement_.SendFailed();
        Tell();
    });
}

UnitState::~UnitState() { Registry().remove(&model_); }

UnitState* UnitState::For(const CDSDATA& model) { return Registry().value(&model, nullptr); }

kvagreement::UnitState UnitState::State() const { return agreement_.State(model_); }

std::string UnitState::Differs() const { return agreement_.Differs(model_); }

std::vector<kvprog::SettingRef> UnitState::KeptOnPc() const { return agreement_.KeptOnPc(model_); }

QString UnitState::Text() const {
    if (!agreement_.Connected()) return {};
    if (agreement_.Reading()) return Tr("Reading the unit's program to compare it with the PC's...");
    const kvagreement::UnitState s = State();
    using Kind = kvagreement::UnitState::Kind;
    if (s.kind == Kind::kNotRead && read_failed_)
        return Tr("PC and unit not compared: the unit's program could not be read");
    if (s.kind == Kind::kDiffers && !KeptOnPc().empty())
        return QString::fromStdString(kvagreement::StateText(s)) + Tr(", edited while the unit was away");
    return QString::fromStdString(kvagreement::StateText(s));
}

bool UnitState::OffersRemedy() const {
    if (!agreement_.Connected() || agreement_.Reading()) return false;
    using Kind = kvagreement::UnitState::Kind;
    const Kind kind = State().kind;
    return kind == Kind::kDiffers || kind == Kind::kUnsure || (kind == Kind::kNotRead && read_failed_);
}

void UnitState::SetLinkText(const QString& text) {
    if (text == link_text_) return;
    link_text_ = text;
    Tell();
}

void UnitState::LinkChanged() {
    const bool now = LinkConnected() != 0;
    if (now == agreement_.Connected()) return;
    read_failed_ = false;
    if (!now) {
        agreement_.LinkClosed();
        Tell();
        return;
    }
    agreement_.LinkOpened();
    reconnected_ = true;
    read_tries_ = 0;
    Tell();
    if (reads_on_link_) ReadUnit();
}

void UnitState::ProgramReplaced() {
    agreement_.PcOnly(model_);
    Tell();
}

void UnitState::ReadUnit() {
    if (!agreement_.Connected() || agreement_.Reading()) return;
    const std::uint64_t ticket = agreement_.ReadBegins(model_);
    ++read_tries_;
    Tell();
    QueueDeviceRead(
        this, model_, [](CDSDATA& copy) { return copy.RecallToPC(); },
        [this, ticket](int result, const CDSDATA& unit) {
            if (result == 0) {
                agreement_.ReadFailed(ticket);
                read_failed_ = agreement_.Connected();
                Tell();
                return;
            }
            if (!agreement_.ReadEnds(ticket, unit)) {
                Tell();
                if (read_tries_ < kReadTries) ReadUnit();
                return;
            }
            read_failed_ = false;
            read_tries_ = 0;
            const bool look = reconnected_;
            reconnected_ = false;
            Tell();
            if (look) {
                const std::size_t kept = KeptOnPc().size();
                if (kept > 0) emit keptOnPcFound(static_cast<int>(kept));
            }
        });
}

void UnitState::Tell() {
    // Once per turn of the event loop, however many changes came: each
    // look compares the whole program.
    if (!tell_.isActive()) tell_.start();
}

}  // namespace device
