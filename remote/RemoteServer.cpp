#include "remote/RemoteServer.h"

#include "remote/EventFeed.h"
#include "remote/GuardedTcpServer.h"
#include "remote/HostCheck.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteJson.h"
#include "remote/RemoteToken.h"
#include "remote/RequestGuard.h"
#include "remote/WarningThrottle.h"
#include "remote/WebFiles.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QUrl>

using StatusCode = QHttpServerResponder::StatusCode;

namespace {

const QByteArray kApiPrefix = QByteArrayLiteral("/api/v1/");

// The path's segments after /api/v1/, each decoded on its own, so that an encoded "/" stays
// inside its segment (and is then refused as part of a title) instead of making a new one.
std::optional<QStringList> ApiPath(const QUrl& url) {
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    if (!path.startsWith(kApiPrefix)) {
        return std::nullopt;
    }
    QStringList segments;
    for (const QByteArray& raw : path.mid(kApiPrefix.size()).split('/')) {
        segments.append(QUrl::fromPercentEncoding(raw));
    }
    // A path ending in "/" names the same thing as without it.
    if (segments.size() > 1 && segments.last().isEmpty()) {
        segments.removeLast();
    }
    return segments;
}

}  // namespace

CRemoteServer::CRemoteServer(QByteArray token, CRemoteApi& api, CEventFeed& feed, QObject* parent)
    : QAbstractHttpServer(parent), token_(std::move(token)), api_(api) {
    connect(&feed, &CEventFeed::Event, this, &CRemoteServer::Broadcast);
    // A comment line now and then: a stream whose reader went away is found out and closed.
    connect(&keepAlive_, &QTimer::timeout, this, [this] { WriteToStreams(":\n\n"); });
    keepAlive_.start(kKeepAliveMs);
}

CRemoteServer::~CRemoteServer() = default;

bool CRemoteServer::Listen(const RemoteEndpoint& endpoint, QString& reason) {
    auto server = std::make_unique<CGuardedTcpServer>();
    if (!server->listen(endpoint.address, endpoint.port)) {
        reason = QStringLiteral("cannot listen on %1: %2")
                     .arg(endpoint.ToString(), server->errorString());
        return false;
    }
    port_ = server->serverPort();
    hostCheck_ = std::make_unique<CHostCheck>(endpoint.address, port_);
    server->setParent(this);
    bind(server.release());
    return true;
}

void CRemoteServer::SetToken(QByteArray token) {
    token_ = std::move(token);
    for (const QPointer<QTcpSocket>& socket : std::as_const(streams_)) {
        if (socket) {
            socket->abort();
        }
    }
    streams_.clear();
}

bool CRemoteServer::Authorized(const QHttpServerRequest& request) const {
    const QByteArray value = request.value("authorization").trimmed();
    const qsizetype space = value.indexOf(' ');
    if (space <= 0 || value.left(space).compare("Bearer", Qt::CaseInsensitive) != 0) {
        return false;
    }
    return RemoteToken::Matches(value.mid(space + 1).trimmed(), token_);
}

bool CRemoteServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    CRequestGuard* guard = CRequestGuard::Of(socket);
    // One request per connection: a second one that came along with the first is not taken.
    if (guard && guard->IsAnswered()) {
        return true;
    }
    if (guard) {
        guard->Answered();
    }
    if (!hostCheck_ || !hostCheck_->Accepts(request.value("host"))) {
        Answer(request, socket,
               Refusal(421, QStringLiteral("the Host header names no address of this machine")));
        return true;
    }
    if (ServeFile(request, socket)) {
        return true;
    }
    if (!Authorized(request)) {
        Answer(request, socket,
               Refusal(401,
                       QStringLiteral("a request needs the header \"Authorization: Bearer TOKEN\" "
                                      "with the token of the remote-token file")));
        return true;
    }
    const std::optional<QStringList> path = ApiPath(request.url());
    if (!path) {
        Answer(request, socket, Refusal(404, QStringLiteral("no such path")));
        return true;
    }
    const ApiReply reply = api_.Handle({request.method(), *path, request.body()});
    if (reply.stream && reply.status == 200) {
        OpenStream(request, socket, reply);
    } else {
        Answer(request, socket, reply);
    }
    return true;
}

bool CRemoteServer::ServeFile(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    if (path.startsWith("/api/")) {
        return false;
    }
    const std::optional<WebFiles::File> file = WebFiles::Find(path);
    if (!file || request.method() != QHttpServerRequest::Method::Get) {
        ApiReply refusal =
            Refusal(file ? 405 : 404, file ? QStringLiteral("the page's files are only read")
                                           : QStringLiteral("no such path"));
        refusal.allow = file ? QByteArrayLiteral("GET") : QByteArray();
        Answer(request, socket, refusal);
        return true;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(StatusCode::Ok);
    WriteCommonHeaders(responder);
    responder.writeHeader("Content-Type", file->contentType);
    responder.writeHeader("Content-Length", QByteArray::number(file->body.size()));
    // A new program may bring a new page: the browser asks each time, the answer is small.
    responder.writeHeader("Cache-Control", "no-cache");
    responder.writeHeader("Connection", "close");
    responder.writeBody(file->body);
    socket->disconnectFromHost();
    return true;
}

void CRemoteServer::WriteCommonHeaders(QHttpServerResponder& responder) {
    // No script or style but the page's own files, and nothing of the interface shown inside
    // another site's frame.
    responder.writeHeader("Content-Security-Policy", "default-src 'self'");
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
}

void CRemoteServer::missingHandler(const QHttpServerRequest& /*request*/, QTcpSocket* socket) {
    // Reached only for a WebSocket upgrade, which this interface does not speak; the request was
    // already answered above, and the server closes the connection itself.
    Q_UNUSED(socket);
}

void CRemoteServer::Answer(const QHttpServerRequest& request, QTcpSocket* socket,
                           const ApiReply& reply) {
    const QByteArray body = reply.json.toJson(QJsonDocument::Compact);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<StatusCode>(reply.status));
    WriteCommonHeaders(responder);
    responder.writeHeader("Content-Type", "application/json");
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("Connection", "close");
    if (reply.status == 401) {
        responder.writeHeader("WWW-Authenticate", "Bearer realm=\"orvane\"");
    }
    if (!reply.allow.isEmpty()) {
        responder.writeHeader("Allow", reply.allow);
    }
    responder.writeBody(body);
    socket->disconnectFromHost();
}

void CRemoteServer::OpenStream(const QHttpServerRequest& request, QTcpSocket* socket,
                               const ApiReply& reply) {
    if (const QString refusal = StreamRefusal(*socket); !refusal.isEmpty()) {
        Answer(request, socket, Refusal(503, refusal));
        return;
    }
    if (CRequestGuard* guard = CRequestGuard::Of(socket)) {
        guard->Streaming();
    }
    // No length: the stream's body ends when the connection does.
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(StatusCode::Ok);
    WriteCommonHeaders(responder);
    responder.writeHeaders({{"Content-Type", "text/event-stream"},
                            {"Cache-Control", "no-store"},
                            {"Connection", "close"}});
    responder.writeBody(EventText("status", reply.json.toJson(QJsonDocument::Compact)));
    streams_.append(socket);
}

QByteArray CRemoteServer::EventText(const QByteArray& name, const QByteArray& json) {
    return "event: " + name + "\ndata: " + json + "\n\n";
}

QString CRemoteServer::StreamRefusal(const QTcpSocket& socket) const {
    const QByteArray peer = CGuardedTcpServer::PeerKey(socket.peerAddress());
    int total = 0;
    int fromPeer = 0;
    for (const QPointer<QTcpSocket>& stream : streams_) {
        if (stream && stream->state() == QAbstractSocket::ConnectedState) {
            ++total;
            fromPeer += CGuardedTcpServer::PeerKey(stream->peerAddress()) == peer ? 1 : 0;
        }
    }
    if (total >= kMaxStreams) {
        return QStringLiteral("%1 event streams are open already; close one first")
            .arg(kMaxStreams);
    }
    if (fromPeer >= kMaxStreamsPerPeer) {
        return QStringLiteral(
                   "%1 event streams are open from this address already; close one "
                   "first")
            .arg(kMaxStreamsPerPeer);
    }
    return {};
}

void CRemoteServer::Broadcast(const QByteArray& name, const QJsonObject& data) {
    WriteToStreams(EventText(name, RemoteJson::Compact(data)));
}

void CRemoteServer::WriteToStreams(const QByteArray& text) {
    streams_.removeIf([](const QPointer<QTcpSocket>& socket) {
        return !socket || socket->state() != QAbstractSocket::ConnectedState;
    });
    for (const QPointer<QTcpSocket>& socket : std::as_const(streams_)) {
        if (socket->bytesToWrite() > kMaxStreamBacklog) {
            ClientWarning(QStringLiteral("an event stream whose reader stopped reading was ended"));
            socket->abort();
        } else {
            socket->write(text);
        }
    }
}
