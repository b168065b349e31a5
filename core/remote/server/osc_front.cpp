#include "osc_front.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace kvremote {

OscFront::OscFront(Host& host, RequestHandler& handler, QObject* parent)
    : QObject(parent), host_(host), handler_(handler) {
    connect(&socket_, &QUdpSocket::readyRead, this, &OscFront::ReadPending);
}

bool OscFront::Listen(const QHostAddress& address, quint16 port, QString* why) {
    if (socket_.bind(address, port)) return true;
    if (why) *why = QStringLiteral("OSC port %1: %2").arg(port).arg(socket_.errorString());
    return false;
}

void OscFront::ReadPending() {
    while (socket_.hasPendingDatagrams()) {
        QHostAddress from;
        quint16 port = 0;
        QByteArray packet(static_cast<qsizetype>(std::max<qint64>(socket_.pendingDatagramSize(), 0)), '\0');
        const qint64 got = socket_.readDatagram(packet.data(), packet.size(), &from, &port);
        if (got < 0) continue;
        packet.resize(got);
        for (const OscPacketMessage& m : DecodeOscPacket(packet.constData(), std::size_t(packet.size()))) Carry(m, from, port);
    }
}

void OscFront::Reply(const QHostAddress& to, quint16 port, const std::string& address, const std::vector<OscArg>& args) {
    const std::string packet = EncodeOscMessage(address, args);
    socket_.writeDatagram(packet.data(), static_cast<qint64>(packet.size()), to, port);
}

void OscFront::Carry(const OscPacketMessage& message, const QHostAddress& from, quint16 port) {
    const auto command = ParseOsc(message.address, message.args);
    auto refused = [&](const std::string& reason) {
        OscArg text;
        text.type = 's';
        text.text = message.address + ": " + reason;
        Reply(from, port, "/kv/error", {text});
    };
    if (!command) return refused(command.refusal().reason);
    using Kind = OscCommand::Kind;
    switch (command->kind) {
    case Kind::kQuery: {
        if (const auto value = OscOf(host_.Program(), command->ref)) Reply(from, port, value->address, {value->arg});
        return;
    }
    case Kind::kSubscribe: {
        auto it = std::find_if(subscribers_.begin(), subscribers_.end(),
                               [&](const Subscriber& s) { return s.address == from && s.port == port; });
        if (it == subscribers_.end()) it = subscribers_.insert(subscribers_.end(), Subscriber{from, port, {}});
        it->since.start();
        return;
    }
    case Kind::kSet: {
        const Response r = handler_.Patch({{kvprog::PathOf(command->ref), command->value}}, Source::kOsc);
        if (r.status != 200) refused(nlohmann::json::parse(r.body)["error"]["reason"].get<std::string>());
        return;
    }
    case Kind::kMuteAll:
    case Kind::kUnmuteAll: {
        const Response r = handler_.MuteAll(command->kind == Kind::kMuteAll, Source::kOsc);
        if (r.status != 200) refused(nlohmann::json::parse(r.body)["error"]["reason"].get<std::string>());
        return;
    }
    case Kind::kRecall: {
        const UnitState unit = host_.Unit();
        if (!unit.connected) return refused("the unit is not connected");
        if (!unit.busy.empty()) return refused(unit.busy + " is running");
        host_.Recall(command->memory, Source::kOsc, [](std::optional<kvcore::Refusal>) {});
        return;
    }
    }
}

void OscFront::Push(const std::vector<kvprog::SettingRef>& changed) {
    subscribers_.erase(std::remove_if(subscribers_.begin(), subscribers_.end(),
                                      [](const Subscriber& s) { return s.since.elapsed() > kOscSubscribeSeconds * 1000; }),
                       subscribers_.end());
    if (subscribers_.empty()) return;
    for (const kvprog::SettingRef& ref : changed) {
        const auto value = OscOf(host_.Program(), ref);
        if (!value) continue;
        for (const Subscriber& s : subscribers_) Reply(s.address, s.port, value->address, {value->arg});
    }
}

}  // namespace kvremote
