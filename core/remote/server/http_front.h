// HTTP on Qt HttpServer: each request goes to the RequestHandler, each
// answer back on its connection. A request whose head and body together
// pass the limit is answered 413 and its connection closed before it is
// read whole.
#pragma once

#include <QAbstractHttpServer>
#include <QTcpServer>
#include <QWebSocket>
#include <functional>

#include "kvremote/request.h"

namespace kvremote {

// Request bytes one connection may hold before its request is complete: the
// body's limit and room for the head.
inline constexpr qint64 kMaxRequestBytes = static_cast<qint64>(kMaxBodyBytes) + 16 * 1024;

// Accepts connections whose read buffer stops at kMaxRequestBytes, so that
// a body without end never fills the memory.
class LimitedTcpServer : public QTcpServer {
    Q_OBJECT

public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override;
};

class HttpFront : public QAbstractHttpServer {
    Q_OBJECT

public:
    // Answers a request through `respond`, exactly once, now or later.
    using Handler = std::function<void(const Request& request, const std::function<void(Response)>& respond)>;

    explicit HttpFront(Handler handler, QObject* parent = nullptr)
        : QAbstractHttpServer(parent), handler_(std::move(handler)) {}

    // The same request as the handler reads it.
    static Request FromQt(const QHttpServerRequest& request);
    // A WebSocket's opening handshake as a request, for the same checks.
    static Request FromHandshake(const QWebSocket& socket);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Handler handler_;
};

}  // namespace kvremote
