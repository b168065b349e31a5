// The remote-control server over a rack of units: one front on the given
// address (the page, the API, the WebSocket, OSC) and, behind it, one worker
// process per unit (`kvctl serve` of its own on loopback, with a token of
// its own). Routes of one unit are passed to its worker, routes of a group
// fanned out; every worker's news reaches the front's clients marked with
// the unit's alias. A worker that ends is started again after 2 s; its unit
// shows as not connected meanwhile.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "kvrack/rack.h"
#include "kvremote/osc_map.h"
#include "kvremote/server.h"

class QNetworkAccessManager;
class QTemporaryDir;
class QUdpSocket;
class QWebSocket;

namespace kvremote {

class HttpFront;

struct RackServerOptions {
    ServerOptions front;       // address, ports and who may do what, at the front
    kvrack::Rack rack;
    QString worker_program;    // kvctl
    QStringList worker_options;  // before "serve", e.g. --quiet
};

class RackServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kRestartMs = 2000;

    explicit RackServer(QObject* parent = nullptr);
    ~RackServer() override;

    bool Start(const RackServerOptions& options, QString* why);
    void Stop();

    QString PageUrl(bool with_token) const;
    quint16 HttpPort() const;
    quint16 OscPort() const;

private:
    struct Worker;
    struct Client;

    void StartWorker(Worker& w);
    void WorkerReady(Worker& w, const QString& url);
    void WorkerEnded(Worker& w);
    void FromWorker(Worker& w, const QString& text);
    void Handle(const Request& request, const std::function<void(Response)>& respond);
    void Forward(Worker& w, const std::string& method, const std::string& path, const std::string& query,
                 const Request& request, const std::string& body, std::function<void(Response)> answer);
    void AcceptWebSocket();
    void Broadcast(const nlohmann::ordered_json& message);
    nlohmann::ordered_json UnitsJson() const;
    nlohmann::ordered_json Snapshot() const;
    void ReadOsc();
    void CarryOsc(const std::string& address, const std::vector<OscArg>& args, const QHostAddress& from, quint16 port);
    void ReplyOsc(const QHostAddress& to, quint16 port, const std::string& address, const std::vector<OscArg>& args);
    Worker* Find(const std::string& alias);

    RackServerOptions options_;
    std::unique_ptr<QTemporaryDir> tokens_;
    std::unique_ptr<HttpFront> http_;
    std::unique_ptr<QNetworkAccessManager> net_;
    std::unique_ptr<QUdpSocket> osc_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::unique_ptr<Client>> clients_;
    struct Subscriber;
    std::vector<std::unique_ptr<Subscriber>> subscribers_;
    bool stopping_ = false;
};

}  // namespace kvremote
