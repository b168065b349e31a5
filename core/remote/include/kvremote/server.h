// The remote-control server on the network: HTTP and WebSocket (Qt
// HttpServer, Qt WebSockets) on one port, OSC over UDP on another, both on
// the loopback address unless the host asks for another. It carries
// requests to the RequestHandler and tells every WebSocket client and OSC
// subscriber what changed. It runs on the thread of the event loop that
// created it (758's window thread, or kvctl serve's main thread) and never
// blocks it.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "kvremote/request.h"

class QAbstractHttpServer;
class QTcpServer;
class QUdpSocket;
class QWebSocket;

namespace kvremote {

class ChangeFeed;
class HttpFront;
class OscFront;

struct ServerOptions {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 http_port = 8758;
    quint16 osc_port = 9758;  // 0: no OSC
    AccessPolicy policy;
};

// Whether an address is the loopback (127.0.0.0/8 or ::1): only there may a
// server run without a token.
bool IsLoopback(const QHostAddress& address);

class RemoteServer : public QObject {
    Q_OBJECT

public:
    explicit RemoteServer(Host& host, QObject* parent = nullptr);
    ~RemoteServer() override;

    // Listens; false with the reason when a port cannot be taken or a token
    // is missing for an address other than the loopback.
    bool Start(const ServerOptions& options, QString* why);
    void Stop();
    bool Running() const;

    // "http://127.0.0.1:8758/" (with ?token= when one is needed).
    QString PageUrl(bool with_token) const;
    quint16 HttpPort() const;
    quint16 OscPort() const;

    RequestHandler& handler() { return *handler_; }

    // The host's news: the served program changed (by `source`), the unit's
    // state (link, a long operation), or the memory list. Each reaches the
    // clients at once.
    void ProgramChanged(Source source);
    void UnitChanged();
    void MemoriesChanged();

    int WebSocketClients() const;

signals:
    // A WebSocket client came or went (WebSocketClients() tells how many).
    void clientsChanged();

private:
    struct Client;

    void AcceptWebSocket();
    void Receive(Client& client, const QString& text);
    void Broadcast(const nlohmann::ordered_json& message);
    // Sends the changes gathered since the last flush.
    void FlushChanges();

    Host& host_;
    std::unique_ptr<RequestHandler> handler_;
    std::unique_ptr<ChangeFeed> feed_;
    std::unique_ptr<HttpFront> http_;
    std::unique_ptr<OscFront> osc_;
    std::vector<std::unique_ptr<Client>> clients_;
    ServerOptions options_;
    // Changes wait this long to go out together, the newest of a setting
    // replacing the older: a drag from a phone at 200 edits a second
    // reaches every watcher as about 60 changes a second, always ending on
    // its last value.
    static constexpr int kFanOutMs = 15;
    std::vector<nlohmann::ordered_json> pending_changes_;
    QTimer fan_out_;
};

}  // namespace kvremote
