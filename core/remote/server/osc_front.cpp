#include "osc_front.h"

#include <lo/lo_lowlevel.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace kvremote {

namespace {

constexpr char kBundleTag[] = "#bundle";
constexpr int kMaxBundleDepth = 4;

std::uint32_t BigEndian32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

void DecodeInto(const char* data, std::size_t size, int depth, std::vector<OscPacketMessage>& out) {
    if (size >= 16 && std::memcmp(data, kBundleTag, sizeof kBundleTag) == 0) {
        if (depth >= kMaxBundleDepth) return;
        // "#bundle\0", a time tag (taken as "now"), then elements, each its
        // size and its bytes.
        std::size_t at = 16;
        while (at + 4 <= size) {
            const std::size_t n = BigEndian32(data + at);
            at += 4;
            if (n > size - at || n % 4 != 0) return;
            DecodeInto(data + at, n, depth + 1, out);
            at += n;
        }
        return;
    }
    if (size == 0 || size % 4 != 0 || data[0] != '/') return;
    // liblo checks the whole message (path, type tags, every argument)
    // before it gives anything back; it works on its own copy.
    std::vector<char> copy(data, data + size);
    int result = 0;
    const lo_message message = lo_message_deserialise(copy.data(), copy.size(), &result);
    if (message == nullptr || result != 0) return;
    std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> owned(message, lo_message_free);
    OscPacketMessage m;
    m.address.assign(copy.data(), strnlen(copy.data(), copy.size()));
    const char* types = lo_message_get_types(message);
    lo_arg** argv = lo_message_get_argv(message);
    const int argc = lo_message_get_argc(message);
    for (int i = 0; i < argc && types != nullptr && types[i] != '\0'; ++i) {
        OscArg a;
        a.type = types[i];
        switch (types[i]) {
        case 'f': a.number = argv[i]->f; break;
        case 'd': a.number = argv[i]->d; break;
        case 'i': a.number = argv[i]->i; break;
        case 'h': a.number = static_cast<double>(argv[i]->h); break;
        case 's':
        case 'S': a.text = &argv[i]->s; break;
        default: break;
        }
        m.args.push_back(std::move(a));
    }
    out.push_back(std::move(m));
}

}  // namespace

std::vector<OscPacketMessage> DecodeOscPacket(const QByteArray& packet) {
    std::vector<OscPacketMessage> out;
    DecodeInto(packet.constData(), static_cast<std::size_t>(packet.size()), 0, out);
    return out;
}

QByteArray EncodeOscMessage(const std::string& address, const std::vector<OscArg>& args) {
    const lo_message message = lo_message_new();
    for (const OscArg& a : args) {
        if (a.type == 'i')
            lo_message_add_int32(message, static_cast<int32_t>(a.number));
        else if (a.type == 's')
            lo_message_add_string(message, a.text.c_str());
        else
            lo_message_add_float(message, static_cast<float>(a.number));
    }
    std::size_t size = 0;
    void* bytes = lo_message_serialise(message, address.c_str(), nullptr, &size);
    QByteArray out(static_cast<const char*>(bytes), static_cast<qsizetype>(size));
    std::free(bytes);
    lo_message_free(message);
    return out;
}

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
        for (const OscPacketMessage& m : DecodeOscPacket(packet)) Carry(m, from, port);
    }
}

void OscFront::Reply(const QHostAddress& to, quint16 port, const std::string& address, const std::vector<OscArg>& args) {
    socket_.writeDatagram(EncodeOscMessage(address, args), to, port);
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
