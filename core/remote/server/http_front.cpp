#include "http_front.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpSocket>
#include <QNetworkRequest>
#include <QUrl>
#include <memory>

namespace kvremote {

namespace {

// The bytes of the request a connection is reading now.
constexpr char kRequestBytes[] = "kv_request_bytes";

QByteArray StatusText(int status) {
    switch (status) {
    case 200: return "OK";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

// The answer as bytes on the wire; every answer says its length, so the
// connection can carry the next request.
QByteArray Wire(const Response& r) {
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + StatusText(r.status) + "\r\n";
    out += "Content-Type: " + QByteArray::fromStdString(r.content_type) + "\r\n";
    out += "Content-Length: " + QByteArray::number(qsizetype(r.body.size())) + "\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    if (r.status == 401) out += "WWW-Authenticate: Bearer\r\n";
    if (r.status == 429) out += "Retry-After: 1\r\n";
    for (const auto& [name, value] : r.headers)
        out += QByteArray::fromStdString(name) + ": " + QByteArray::fromStdString(value) + "\r\n";
    out += "\r\n";
    out += QByteArray::fromStdString(r.body);
    return out;
}

const char* MethodName(QHttpServerRequest::Method m) {
    switch (m) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Put: return "PUT";
    case QHttpServerRequest::Method::Delete: return "DELETE";
    case QHttpServerRequest::Method::Post: return "POST";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Options: return "OPTIONS";
    case QHttpServerRequest::Method::Patch: return "PATCH";
    default: return "OTHER";
    }
}

}  // namespace

void LimitedTcpServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setReadBufferSize(kMaxRequestBytes);
    // Connected before the HTTP server's own reader, so it sees each piece
    // before that reader takes it: the bytes of the request in hand add up,
    // and past the limit it is longer than any this server takes, however
    // slowly it comes. handleRequest starts the count again.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] {
        const qint64 total = socket->property(kRequestBytes).toLongLong() + socket->bytesAvailable();
        socket->setProperty(kRequestBytes, total);
        if (total < kMaxRequestBytes && socket->bytesAvailable() < kMaxRequestBytes) return;
        const Response r = ErrorResponse(413, "", "the request is longer than 64 KiB");
        socket->write(Wire(r));
        socket->disconnectFromHost();
        socket->readAll();
    });
    addPendingConnection(socket);
}

Request HttpFront::FromQt(const QHttpServerRequest& request) {
    Request r;
    r.method = MethodName(request.method());
    r.path = request.url().path(QUrl::FullyDecoded).toStdString();
    r.query = request.url().query(QUrl::FullyEncoded).toStdString();
    for (const auto& [name, value] : request.headers()) {
        std::string key = name.toLower().toStdString();
        // Repeated headers read as one list, as HTTP says.
        auto& slot = r.headers[key];
        slot = slot.empty() ? value.toStdString() : slot + ", " + value.toStdString();
    }
    r.body = request.body().toStdString();
    return r;
}

Request HttpFront::FromHandshake(const QWebSocket& socket) {
    Request request;
    request.method = "GET";
    const QNetworkRequest& handshake = socket.request();
    request.path = handshake.url().path().toStdString();
    request.query = handshake.url().query(QUrl::FullyEncoded).toStdString();
    for (const QByteArray& name : handshake.rawHeaderList())
        request.headers[name.toLower().toStdString()] = handshake.rawHeader(name).toStdString();
    if (request.headers.find("origin") == request.headers.end() && !socket.origin().isEmpty())
        request.headers["origin"] = socket.origin().toStdString();
    return request;
}

bool HttpFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    Request r = FromQt(request);
    // Qt asks this about a WebSocket upgrade too, and hands the socket to
    // its WebSocket server only when the answer is true: nothing may be
    // written then, or the client reads an HTTP answer instead of the
    // handshake. The server checks Host, Origin and token when it takes the
    // socket (RemoteServer::AcceptWebSocket). Any other upgrade is refused.
    if (QByteArray::fromStdString(r.Header("upgrade")).compare("websocket", Qt::CaseInsensitive) == 0)
        return r.path == kWebSocketPath;
    socket->setProperty(kRequestBytes, 0);
    // The responder keeps the connection until the answer is written, which
    // for a recall or a list is later.
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    handler_(r, [responder](Response response) {
        // The client may have gone while a long operation ran.
        if (responder->socket() == nullptr || responder->socket()->state() != QAbstractSocket::ConnectedState) return;
        responder->writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(response.status));
        responder->writeHeader("Content-Type", QByteArray::fromStdString(response.content_type));
        responder->writeHeader("Content-Length", QByteArray::number(qsizetype(response.body.size())));
        responder->writeHeader("X-Content-Type-Options", "nosniff");
        if (response.status == 401) responder->writeHeader("WWW-Authenticate", "Bearer");
        if (response.status == 429) responder->writeHeader("Retry-After", "1");
        for (const auto& [name, value] : response.headers)
            responder->writeHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
        responder->writeBody(QByteArray::fromStdString(response.body));
    });
    return true;
}

void HttpFront::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

}  // namespace kvremote
