#include "compare/setting_transfer.h"

#include <QCoreApplication>

#include <kvcom/kvcom.h>

#include "device/device_line.h"
#include "widgets/refusal_text.h"

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("SettingTransfer", text); }

QString PathText(const kvprog::SettingRef& ref) { return QString::fromStdString(kvprog::PathOf(ref)); }

}  // namespace

TransferOutcome TakeSettings(CDSDATA& to, const CDSDATA& from, const std::vector<kvprog::SettingRef>& refs) {
    TransferOutcome outcome;
    for (const kvprog::SettingRef& ref : refs) {
        if (ref.field == kvprog::Field::EqFilter) {
            outcome.refused << Tr("%1: a whole EQ filter is opened or removed on its channel page").arg(PathText(ref));
            continue;
        }
        if (const auto refused = kvprog::WriteText(to, ref, kvprog::ReadText(from, ref))) {
            outcome.refused << RefusalText(*refused);
            continue;
        }
        ++outcome.done;
    }
    return outcome;
}

TransferOutcome QueueSettingSends(const CDSDATA& from, const std::vector<kvprog::SettingRef>& refs) {
    TransferOutcome outcome;
    for (const kvprog::SettingRef& ref : refs) {
        const std::vector<kvprog::ParamMessage> messages = kvprog::MessagesFor(from, ref);
        if (messages.empty()) {
            outcome.refused
                << Tr("%1: no parameter message carries it; it reaches the unit with a Download").arg(PathText(ref));
            continue;
        }
        for (const kvprog::ParamMessage& msg : messages) {
            // The send takes its own copy of the model with these cursors.
            const CDSDATA aimed = kvprog::AimedAt(from, msg);
            if (msg.source)
                device::SendOutSrce(aimed, msg.chan);
            else
                device::SendParam(aimed, msg.code);
            ++outcome.done;
        }
    }
    return outcome;
}

std::vector<device::SendKey> SendKeysFor(const CDSDATA& program, const std::vector<kvprog::SettingRef>& refs) {
    std::vector<device::SendKey> keys;
    for (const kvprog::SettingRef& ref : refs)
        for (const kvprog::ParamMessage& msg : kvprog::MessagesFor(program, ref)) {
            const CDSDATA aimed = kvprog::AimedAt(program, msg);
            keys.push_back(msg.source ? device::SourceKey(aimed, msg.chan) : device::ParamKey(aimed, msg.code));
        }
    return keys;
}

bool ResetsTheProgram(const std::vector<kvprog::SettingRef>& refs) {
    for (const kvprog::SettingRef& ref : refs)
        if (ref.field == kvprog::Field::Config || ref.field == kvprog::Field::Link) return true;
    return false;
}
