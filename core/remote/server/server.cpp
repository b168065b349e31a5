#include "kvremote/server.h"

#include <QFile>
#include <QNetworkRequest>
#include <QWebSocket>
#include <QUrl>

#include "http_front.h"
#include "kvremote/change_feed.h"
#include "osc_front.h"

// The page's files live in this static library's resources, which the
// linker keeps only when something names them.
static void InitPageResources() { Q_INIT_RESOURCE(kvremote_web); }

namespace kvremote {

namespace {

// A client that reads slower than this much piles up is dropped rather than
// kept without bound.
constexpr qint64 kMaxClientBacklog = 4 * 1024 * 1024;

std::optional<Asset> PageAsset(std::string_view path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".svg", "image/svg+xml"},
        {".png", "image/png"},                 {".json", "application/json"},
    };
    // Only names of the page's own folder: nothing from the network names a
    // file anywhere else.
    const std::string name(path.substr(path.find_last_of('/') + 1));
    if (name.empty() || name.find("..") != std::string::npos || path.find('/', 1) != std::string_view::npos)
        return std::nullopt;
    QFile file(QStringLiteral(":/kvremote/web/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    Asset asset;
    asset.bytes = file.readAll().toStdString();
    asset.content_type = "application/octet-stream";
    for (const auto& [suffix, type] : kTypes)
        if (name.size() > std::strlen(suffix) && name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
            asset.content_type = type;
    return asset;
}

}  // namespace

struct RemoteServer::Client {
    std::unique_ptr<QWebSocket> socket;
    Access access = Access::kNone;
};

bool IsLoopback(const QHostAddress& address) { return address.isLoopback(); }

RemoteServer::RemoteServer(Host& host, QObject* parent)
    : QObject(parent),
      host_(host),
      handler_(std::make_unique<RequestHandler>(host, AccessPolicy{}, PageAsset)),
      feed_(std::make_unique<ChangeFeed>(host.Program())) {
    InitPageResources();
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

    http_ = std::make_unique<HttpFront>(*handler_);
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
    clients_.clear();
    osc_.reset();
    http_.reset();
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
        Request request;
        request.method = "GET";
        const QNetworkRequest& handshake = socket->request();
        request.path = handshake.url().path().toStdString();
        request.query = handshake.url().query(QUrl::FullyEncoded).toStdString();
        for (const QByteArray& name : handshake.rawHeaderList())
            request.headers[name.toLower().toStdString()] = handshake.rawHeader(name).toStdString();
        if (request.headers.find("origin") == request.headers.end() && !socket->origin().isEmpty())
            request.headers["origin"] = socket->origin().toStdString();
        Access access = Access::kNone;
        if (request.path != kWebSocketPath || handler_->CheckUpgrade(request, &access)) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(kMaxBodyBytes);
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        client->access = access;
        QWebSocket* raw = client->socket.get();
        connect(raw, &QWebSocket::disconnected, this, [this, raw] {
            std::erase_if(clients_, [raw](const std::unique_ptr<Client>& c) { return c->socket.get() == raw; });
        });
        raw->sendTextMessage(QString::fromStdString(handler_->Snapshot().dump()));
        clients_.push_back(std::move(client));
    }
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
    const auto changes = feed_->Update(host_.Program(), source);
    std::vector<kvprog::SettingRef> refs;
    for (const auto& change : changes) {
        Broadcast(change);
        if (auto ref = kvprog::ParsePath(change["path"].get<std::string>())) refs.push_back(*ref);
    }
    if (osc_) osc_->Push(refs);
}

void RemoteServer::UnitChanged() {
    if (!Running()) return;
    nlohmann::ordered_json message = {{"type", "unit"}};
    message["unit"] = handler_->UnitJson();
    Broadcast(message);
}

void RemoteServer::MemoriesChanged() {
    if (!Running()) return;
    Broadcast({{"type", "memories"}, {"memories", handler_->MemoriesJson()}});
}

}  // namespace kvremote
