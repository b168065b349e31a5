#include "kvremote/server.h"

#include <QFile>
#include <QNetworkRequest>
#include <QWebSocket>
#include <QUrl>
#include <algorithm>

#include "http_front.h"
#include "page_assets.h"
#include "kvremote/change_feed.h"
#include "osc_front.h"

namespace kvremote {

namespace {

// A client that reads slower than this much piles up is dropped rather than
// kept without bound.
constexpr qint64 kMaxClientBacklog = 4 * 1024 * 1024;

}  // namespace

struct RemoteServer::Client {
    std::unique_ptr<QWebSocket> socket;
    Access access = Access::kNone;
    Source source = Source::kApi;
};

bool IsLoopback(const QHostAddress& address) { return address.isLoopback(); }

RemoteServer::RemoteServer(Host& host, QObject* parent)
    : QObject(parent),
      host_(host),
      handler_(std::make_unique<RequestHandler>(host, AccessPolicy{}, PageAsset)),
      feed_(std::make_unique<ChangeFeed>(host.Program())) {
    fan_out_.setSingleShot(true);
    fan_out_.setInterval(kFanOutMs);
    connect(&fan_out_, &QTimer::timeout, this, &RemoteServer::FlushChanges);
}

RemoteServer::~RemoteServer() { Stop(); }

bool RemoteServer::Start(const ServerOptions& options, QString* why) {
    Stop();
    if (!IsLoopback(options.address) && options.policy.token.empty()) {
        if (why) *why = QStringLiteral("a server on %1 needs a token: only the loopback address goes without one")
                            .arg(options.address.toString());
        return false;
    }
    options_ = options;
    handler_->SetPolicy(options.policy);
    feed_ = std::make_unique<ChangeFeed>(host_.Program());

    http_ = std::make_unique<HttpFront>([this](const Request& request, const std::function<void(Response)>& respond) {
        handler_->Handle(request, respond);
    });
    auto* tcp = new LimitedTcpServer(http_.get());
    if (!tcp->listen(options.address, options.http_port)) {
        if (why) *why = QStringLiteral("HTTP port %1 on %2: %3").arg(options.http_port).arg(options.address.toString(),
                                                                                            tcp->errorString());
        http_.reset();
        return false;
    }
    http_->bind(tcp);
    connect(http_.get(), &QAbstractHttpServer::newWebSocketConnection, this, &RemoteServer::AcceptWebSocket);

    if (options.osc_port != 0) {
        osc_ = std::make_unique<OscFront>(host_, *handler_);
        if (!osc_->Listen(options.address, options.osc_port, why)) {
            Stop();
            return false;
        }
    }
    return true;
}

void RemoteServer::Stop() {
    fan_out_.stop();
    pending_changes_.clear();
    const bool had_clients = !clients_.empty();
    for (const auto& c : clients_) c->socket->disconnect(this);
    clients_.clear();
    osc_.reset();
    http_.reset();
    if (had_clients) emit clientsChanged();
}

bool RemoteServer::Running() const { return http_ != nullptr; }

quint16 RemoteServer::HttpPort() const {
    if (!http_) return 0;
    const auto ports = http_->serverPorts();
    return ports.isEmpty() ? 0 : ports.first();
}

quint16 RemoteServer::OscPort() const { return osc_ ? osc_->Port() : 0; }

QString RemoteServer::PageUrl(bool with_token) const {
    QString host = options_.address.toString();
    if (options_.address.protocol() == QAbstractSocket::IPv6Protocol) host = QLatin1Char('[') + host + QLatin1Char(']');
    QString url = QStringLiteral("http://%1:%2/").arg(host).arg(HttpPort());
    if (with_token && !options_.policy.token.empty())
        url += QStringLiteral("?token=") + QString::fromStdString(options_.policy.token);
    return url;
}

int RemoteServer::WebSocketClients() const { return static_cast<int>(clients_.size()); }

void RemoteServer::AcceptWebSocket() {
    while (http_ && http_->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = http_->nextPendingWebSocketConnection();
        if (!socket) continue;
        // The same checks as every request: Host, Origin, token.
        const Request request = HttpFront::FromHandshake(*socket);
        Access access = Access::kNone;
        if (request.path != kWebSocketPath || handler_->CheckUpgrade(request, &access)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kMaxBodyBytes);
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        client->access = access;
        client->source = request.Query("client").value_or("") == "web" ? Source::kWeb : Source::kApi;
        QWebSocket* raw = client->socket.get();
        Client* c = client.get();
        connect(raw, &QWebSocket::textMessageReceived, this, [this, c](const QString& text) { Receive(*c, text); });
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            // The socket is still emitting (or aborting, for a slow reader):
            // it goes once the event loop has it back.
            const auto gone =
                std::find_if(clients_.begin(), clients_.end(), [raw](const auto& c) { return c->socket.get() == raw; });
            if (gone == clients_.end()) return;
            (*gone)->socket.release()->deleteLater();
            clients_.erase(gone);
            emit clientsChanged();
        });
        raw->sendTextMessage(QString::fromStdString(handler_->Snapshot().dump()));
        clients_.push_back(std::move(client));
        emit clientsChanged();
    }
}

void RemoteServer::Receive(Client& client, const QString& text) {
    // {"type": "patch", "id": 7, "settings": {"out3.gain": -2.4}} changes
    // settings as PATCH /api/v1/program does, without a request each time;
    // the answer is {"type": "reply", "id": 7, "status": 200, "body": ...}.
    Response refused;
    const QByteArray utf8 = text.toUtf8();
    const auto message = ParseBody(std::string_view(utf8.constData(), std::size_t(utf8.size())), &refused);
    nlohmann::ordered_json reply = {{"type", "reply"}};
    Response answer;
    if (!message || !message->is_object()) {
        answer = message ? ErrorResponse(400, "", "expected an object") : refused;
    } else {
        if (message->contains("id")) reply["id"] = (*message)["id"];
        if (message->value("type", "") != "patch" || !message->contains("settings"))
            answer = ErrorResponse(400, "type", "the server takes {\"type\": \"patch\", \"settings\": {...}}");
        else if (client.access != Access::kFull)
            answer = ErrorResponse(403, "", "the read-only token may only watch");
        else
            answer = handler_->Patch((*message)["settings"], client.source);
    }
    reply["status"] = answer.status;
    reply["body"] = nlohmann::ordered_json::parse(answer.body, nullptr, false);
    client.socket->sendTextMessage(QString::fromStdString(reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
}

void RemoteServer::Broadcast(const nlohmann::ordered_json& message) {
    const QString text = QString::fromStdString(message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    std::vector<QWebSocket*> slow;
    for (const auto& c : clients_) {
        if (c->socket->bytesToWrite() > kMaxClientBacklog) {
            slow.push_back(c->socket.get());
            continue;
        }
        c->socket->sendTextMessage(text);
    }
    for (QWebSocket* s : slow) s->abort();
}

void RemoteServer::ProgramChanged(Source source) {
    if (!Running()) return;
    for (auto& change : feed_->Update(host_.Program(), source)) {
        auto same = std::find_if(pending_changes_.begin(), pending_changes_.end(),
                                 [&change](const nlohmann::ordered_json& c) { return c["path"] == change["path"]; });
        if (same != pending_changes_.end())
            *same = std::move(change);
        else
            pending_changes_.push_back(std::move(change));
    }
    if (!pending_changes_.empty() && !fan_out_.isActive()) fan_out_.start();
}

void RemoteServer::FlushChanges() {
    fan_out_.stop();
    std::vector<kvprog::SettingRef> refs;
    for (const auto& change : pending_changes_) {
        Broadcast(change);
        if (auto ref = kvprog::ParsePath(change["path"].get<std::string>())) refs.push_back(*ref);
    }
    pending_changes_.clear();
    if (osc_) osc_->Push(refs);
}

void RemoteServer::UnitChanged() {
    if (!Running()) return;
    FlushChanges();  // what changed before goes first
    nlohmann::ordered_json message = {{"type", "unit"}};
    message["unit"] = handler_->UnitJson();
    Broadcast(message);
}

void RemoteServer::MemoriesChanged() {
    if (!Running()) return;
    FlushChanges();
    Broadcast({{"type", "memories"}, {"memories", handler_->MemoriesJson()}});
}

}  // namespace kvremote
