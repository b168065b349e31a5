#include "kvremote/rack_server.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include "http_front.h"
#include "kvremote/osc_codec.h"
#include "kvremote/osc_map.h"
#include "kvremote/rack_routes.h"
#include "page_assets.h"

namespace kvremote {

namespace {

using ojson = nlohmann::ordered_json;

std::string Text(const ojson& j) { return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace); }

}  // namespace

struct RackServer::Worker {
    kvrack::RackUnit unit;
    QProcess process;
    QTimer restart;
    QWebSocket ws;
    quint16 port = 0;   // its HTTP port while it runs
    std::string token;  // its own token
    bool ready = false;
    ojson unit_state;  // its last "unit" document
    ojson program;     // its program as the snapshot gave it
    ojson memories;
};

struct RackServer::Client {
    std::unique_ptr<QWebSocket> socket;
    Access access = Access::kNone;
};

struct RackServer::Subscriber {
    QHostAddress address;
    quint16 port = 0;
    QElapsedTimer since;
};

RackServer::RackServer(QObject* parent) : QObject(parent) {}

RackServer::~RackServer() { Stop(); }

RackServer::Worker* RackServer::Find(const std::string& alias) {
    for (auto& w : workers_)
        if (w->unit.alias == alias) return w.get();
    return nullptr;
}

bool RackServer::Start(const RackServerOptions& options, QString* why) {
    Stop();
    stopping_ = false;
    options_ = options;
    if (!IsLoopback(options.front.address) && options.front.policy.token.empty()) {
        if (why) *why = QStringLiteral("a server on %1 needs a token").arg(options.front.address.toString());
        return false;
    }
    if (options.rack.units.empty()) {
        if (why) *why = QStringLiteral("the rack names no unit");
        return false;
    }
    // The workers' tokens live where only this user can read them.
    tokens_ = std::make_unique<QTemporaryDir>();
    if (!tokens_->isValid()) {
        if (why) *why = QStringLiteral("no private folder for the workers' tokens");
        return false;
    }
    QFile::setPermissions(tokens_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    net_ = std::make_unique<QNetworkAccessManager>();
    http_ = std::make_unique<HttpFront>(
        [this](const Request& request, const std::function<void(Response)>& respond) { Handle(request, respond); });
    auto* tcp = new LimitedTcpServer(http_.get());
    if (!tcp->listen(options.front.address, options.front.http_port)) {
        if (why) *why = QStringLiteral("HTTP port %1: %2").arg(options.front.http_port).arg(tcp->errorString());
        http_.reset();
        return false;
    }
    http_->bind(tcp);
    connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &RackServer::AcceptWebSocket);
    if (options.front.osc_port != 0) {
        osc_ = std::make_unique<QUdpSocket>();
        if (!osc_->bind(options.front.address, options.front.osc_port)) {
            if (why) *why = QStringLiteral("OSC port %1: %2").arg(options.front.osc_port).arg(osc_->errorString());
            Stop();
            return false;
        }
        connect(osc_.get(), &QUdpSocket::readyRead, this, &RackServer::ReadOsc);
    }
    for (const kvrack::RackUnit& unit : options.rack.units) {
        auto w = std::make_unique<Worker>();
        w->unit = unit;
        w->unit_state = {{"connected", false}, {"reason", "its server is starting"}};
        w->restart.setSingleShot(true);
        Worker* raw = w.get();
        connect(&w->restart, &QTimer::timeout, this, [this, raw] { StartWorker(*raw); });
        connect(&w->process, &QProcess::readyReadStandardOutput, this, [this, raw] {
            while (raw->process.canReadLine()) {
                const QString line = QString::fromUtf8(raw->process.readLine()).trimmed();
                if (!raw->ready && line.startsWith(QLatin1String("http://"))) WorkerReady(*raw, line);
            }
        });
        connect(&w->process, &QProcess::finished, this, [this, raw] { WorkerEnded(*raw); });
        connect(&w->process, &QProcess::errorOccurred, this, [this, raw](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart) WorkerEnded(*raw);
        });
        connect(&w->ws, &QWebSocket::textMessageReceived, this, [this, raw](const QString& t) { FromWorker(*raw, t); });
        workers_.push_back(std::move(w));
    }
    for (auto& w : workers_) StartWorker(*w);
    return true;
}

void RackServer::Stop() {
    stopping_ = true;
    clients_.clear();
    for (auto& w : workers_) {
        w->restart.stop();
        w->ws.abort();
        if (w->process.state() != QProcess::NotRunning) {
            w->process.terminate();  // a worker lets its queued edits out first
            if (!w->process.waitForFinished(10000)) w->process.kill();
        }
    }
    workers_.clear();
    osc_.reset();
    http_.reset();
    net_.reset();
    tokens_.reset();
}

void RackServer::StartWorker(Worker& w) {
    if (stopping_) return;
    w.ready = false;
    w.port = 0;
    QStringList args = options_.worker_options;
    args << QStringLiteral("--port") << QString::fromStdString(w.unit.port) << QStringLiteral("--quiet")
         << QStringLiteral("serve") << QStringLiteral("--http") << QStringLiteral("127.0.0.1:0") << QStringLiteral("--osc")
         << QStringLiteral("0") << QStringLiteral("--token-file")
         << tokens_->filePath(QString::fromStdString(w.unit.alias) + QStringLiteral(".token"));
    if (options_.front.policy.allow_reset) args << QStringLiteral("--allow-reset");
    w.process.setProcessChannelMode(QProcess::SeparateChannels);
    w.process.start(options_.worker_program, args);
}

void RackServer::WorkerReady(Worker& w, const QString& url) {
    // "http://127.0.0.1:PORT/?token=TOKEN": the worker's own address.
    const QUrl u(url);
    w.port = static_cast<quint16>(u.port());
    w.token = QUrlQuery(u).queryItemValue(QStringLiteral("token")).toStdString();
    w.ready = true;
    QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws").arg(w.port)));
    request.setRawHeader("Authorization", "Bearer " + QByteArray::fromStdString(w.token));
    w.ws.open(request);
}

void RackServer::WorkerEnded(Worker& w) {
    w.ready = false;
    w.port = 0;
    w.ws.abort();
    w.unit_state = {{"connected", false}, {"reason", "its server stopped and is started again"}};
    // "server" tells the pages the unit's server is away, as GET
    // /api/v1/units does; its next snapshot says it is back.
    Broadcast({{"type", "unit"}, {"alias", w.unit.alias}, {"server", "starting"}, {"unit", w.unit_state}});
    if (!stopping_) w.restart.start(kRestartMs);
}

void RackServer::FromWorker(Worker& w, const QString& text) {
    ojson m = ojson::parse(text.toStdString(), nullptr, false);
    if (!m.is_object()) return;
    const std::string type = m.value("type", "");
    if (type == "snapshot") {
        w.unit_state = m["unit"];
        w.program = m["program"];
        w.memories = m["memories"];
    } else if (type == "unit") {
        w.unit_state = m["unit"];
    } else if (type == "memories") {
        w.memories = m["memories"];
    } else if (type == "change") {
        if (!m["path"].is_string()) return;
        // The front's snapshot for a client that connects later holds every
        // change since the worker's own snapshot.
        ApplyChange(w.program, m["path"].get<std::string>(), m["value"]);
        // Subscribers of OSC hear it at the unit's address.
        subscribers_.erase(std::remove_if(subscribers_.begin(), subscribers_.end(),
                                          [](const auto& s) { return s->since.elapsed() > kOscSubscribeSeconds * 1000; }),
                           subscribers_.end());
        if (!subscribers_.empty()) {
            if (const auto ref = kvprog::ParsePath(m["path"].get<std::string>()))
                if (const auto v = OscOfValue(*ref, m["value"]))
                    for (const auto& s : subscribers_)
                        ReplyOsc(s->address, s->port, "/kv/" + w.unit.alias + v->address.substr(3), {v->arg});
        }
    } else if (type == "reply") {
        return;
    }
    m["alias"] = w.unit.alias;
    if (type == "snapshot") m["server"] = "running";
    Broadcast(m);
}

ojson RackServer::UnitsJson() const {
    ojson units = ojson::array();
    for (const auto& w : workers_)
        units.push_back({{"alias", w->unit.alias},
                         {"port", w->unit.port},
                         {"groups", w->unit.groups},
                         {"server", w->ready ? "running" : "starting"},
                         {"unit", w->unit_state}});
    return {{"units", units}, {"groups", options_.rack.Groups()}};
}

ojson RackServer::Snapshot() const {
    ojson units = ojson::object();
    for (const auto& w : workers_)
        units[w->unit.alias] = {{"unit", w->unit_state}, {"program", w->program}, {"memories", w->memories}};
    ojson doc = {{"type", "snapshot"}, {"rack", UnitsJson()}, {"units", units}};
    return doc;
}

void RackServer::Forward(Worker& w, const std::string& method, const std::string& path, const std::string& query,
                         const Request& request, const std::string& body, std::function<void(Response)> answer) {
    if (!w.ready) return answer(ErrorResponse(503, w.unit.alias, "the unit's server is starting; nothing was sent"));
    QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(w.port) + QString::fromStdString(path));
    url.setQuery(QString::fromStdString(query), QUrl::StrictMode);
    QNetworkRequest out(url);
    out.setRawHeader("Authorization", "Bearer " + QByteArray::fromStdString(w.token));
    out.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    if (const std::string client = request.Header("x-kv-client"); !client.empty())
        out.setRawHeader("X-KV-Client", QByteArray::fromStdString(client));
    QNetworkReply* reply = net_->sendCustomRequest(out, QByteArray::fromStdString(method), QByteArray::fromStdString(body));
    connect(reply, &QNetworkReply::finished, this, [reply, answer = std::move(answer), alias = w.unit.alias] {
        Response r;
        r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        r.body = reply->readAll().toStdString();
        if (r.status == 0) r = ErrorResponse(503, alias, "the unit's server did not answer; nothing was sent");
        reply->deleteLater();
        answer(std::move(r));
    });
}

void RackServer::Handle(const Request& request, const std::function<void(Response)>& respond) {
    Access access = Access::kNone;
    if (auto refused = CheckRequestAccess(options_.front.policy, request, access)) return respond(*refused);
    const RackRoute route = RouteOnRack(options_.rack, request);
    switch (route.kind) {
    case RackRoute::Kind::kRefused: return respond(route.refused);
    case RackRoute::Kind::kUnits: return respond(JsonResponse(200, UnitsJson()));
    case RackRoute::Kind::kProxy:
        return Forward(*Find(route.aliases.front()), request.method, route.path, request.query, request, request.body,
                       respond);
    case RackRoute::Kind::kFanOut: {
        auto answers = std::make_shared<std::vector<UnitAnswer>>();
        auto left = std::make_shared<std::size_t>(route.aliases.size());
        for (const std::string& alias : route.aliases) {
            Forward(*Find(alias), request.method, route.path, request.query, request, request.body,
                    [answers, left, respond, alias](Response r) {
                        answers->push_back({alias, std::move(r)});
                        if (--*left == 0) respond(FanOutResponse(*answers));
                    });
        }
        return;
    }
    case RackRoute::Kind::kFront: break;
    }
    if (request.path == "/api/v1/openapi.json") {
        Response doc;
        doc.body = OpenApiDocument();
        return respond(doc);
    }
    if (request.path.rfind("/api/", 0) == 0) return respond(ErrorResponse(404, request.path, "no such route"));
    respond(PageResponse(request, access, PageAsset));
}

void RackServer::AcceptWebSocket() {
    while (http_ && http_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection();
        if (!socket) continue;
        const Request request = HttpFront::FromHandshake(*socket);
        Access access = Access::kNone;
        if (request.path != "/api/v1/ws" || CheckRequestAccess(options_.front.policy, request, access)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
            continue;
        }
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        client->access = access;
        QWebSocket* raw = client->socket.get();
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            const auto it = std::find_if(clients_.begin(), clients_.end(), [raw](const auto& c) { return c->socket.get() == raw; });
            if (it == clients_.end()) return;
            it->get()->socket.release()->deleteLater();
            clients_.erase(it);
        });
        raw->sendTextMessage(QString::fromStdString(Text(Snapshot())));
        clients_.push_back(std::move(client));
    }
}

void RackServer::Broadcast(const ojson& message) {
    const QString text = QString::fromStdString(Text(message));
    for (const auto& c : clients_) c->socket->sendTextMessage(text);
}

void RackServer::ReplyOsc(const QHostAddress& to, quint16 port, const std::string& address, const std::vector<OscArg>& args) {
    const std::string packet = EncodeOscMessage(address, args);
    osc_->writeDatagram(packet.data(), static_cast<qint64>(packet.size()), to, port);
}

void RackServer::ReadOsc() {
    while (osc_->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 port = 0;
        QByteArray packet(static_cast<qsizetype>(std::max<qint64>(osc_->pendingDatagramSize(), 0)), '\0');
        const qint64 got = osc_->readDatagram(packet.data(), packet.size(), &from, &port);
        if (got < 0) continue;
        for (const OscPacketMessage& m : DecodeOscPacket(packet.constData(), std::size_t(got)))
            CarryOsc(m.address, m.args, from, port);
    }
}

void RackServer::CarryOsc(const std::string& address, const std::vector<OscArg>& args, const QHostAddress& from,
                          quint16 port) {
    auto refused = [&](const std::string& reason) {
        OscArg text;
        text.type = 's';
        text.text = address + ": " + reason;
        ReplyOsc(from, port, "/kv/error", {text});
    };
    if (address == "/kv/subscribe") {
        auto it = std::find_if(subscribers_.begin(), subscribers_.end(),
                               [&](const auto& s) { return s->address == from && s->port == port; });
        if (it == subscribers_.end()) {
            subscribers_.push_back(std::make_unique<Subscriber>());
            it = subscribers_.end() - 1;
            (*it)->address = from;
            (*it)->port = port;
        }
        (*it)->since.start();
        return;
    }
    const auto target = OscOnRack(options_.rack, address);
    if (!target) return refused("name a unit or a group of the rack: /kv/<alias>/...");
    const auto command = ParseOsc(target->address, args);
    if (!command) return refused(command.refusal().reason);
    Request none;
    for (const std::string& alias : target->aliases) {
        Worker& w = *Find(alias);
        const std::string prefix = "/kv/" + alias;
        auto tell = [this, from, port, address](Response r) {
            if (r.status == 200) return;
            const auto body = nlohmann::json::parse(r.body, nullptr, false);
            OscArg text;
            text.type = 's';
            text.text = address + ": " + (body.is_object() ? body["error"].value("reason", "refused") : "refused");
            ReplyOsc(from, port, "/kv/error", {text});
        };
        using Kind = OscCommand::Kind;
        switch (command->kind) {
        case Kind::kSet:
            Forward(w, "PATCH", "/api/v1/program", "", none, Text({{kvprog::PathOf(command->ref), command->value}}), tell);
            break;
        case Kind::kQuery:
            Forward(w, "GET", "/api/v1/settings/" + kvprog::PathOf(command->ref), "", none, "",
                    [this, from, port, prefix, ref = command->ref](Response r) {
                        const auto body = nlohmann::json::parse(r.body, nullptr, false);
                        if (r.status != 200 || !body.is_object()) return;
                        if (const auto v = OscOfValue(ref, body["value"]))
                            ReplyOsc(from, port, prefix + v->address.substr(3), {v->arg});
                    });
            break;
        case Kind::kRecall:
            Forward(w, "POST", "/api/v1/memories/" + std::to_string(command->memory) + "/recall", "", none, "", tell);
            break;
        case Kind::kMuteAll:
        case Kind::kUnmuteAll:
            Forward(w, "POST", command->kind == Kind::kMuteAll ? "/api/v1/mute-all" : "/api/v1/unmute-all", "", none, "",
                    tell);
            break;
        case Kind::kSubscribe: break;
        }
    }
}

quint16 RackServer::HttpPort() const {
    if (!http_) return 0;
    const auto ports = http_->serverPorts();
    return ports.isEmpty() ? 0 : ports.first();
}

quint16 RackServer::OscPort() const { return osc_ ? osc_->localPort() : 0; }

QString RackServer::PageUrl(bool with_token) const {
    QString host = options_.front.address.toString();
    if (options_.front.address.protocol() == QAbstractSocket::IPv6Protocol) host = QLatin1Char('[') + host + QLatin1Char(']');
    QString url = QStringLiteral("http://%1:%2/").arg(host).arg(HttpPort());
    if (with_token && !options_.front.policy.token.empty())
        url += QStringLiteral("?token=") + QString::fromStdString(options_.front.policy.token);
    return url;
}

}  // namespace kvremote
