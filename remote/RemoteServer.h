#pragma once

#include "remote/RemoteEndpoint.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>

class CEventFeed;
class CHostCheck;
class CRemoteApi;
class QTcpSocket;
struct ApiReply;

// The HTTP side of the remote interface, in the user-interface thread: a request is taken between
// two of the window's events, so none races a click. A request whose Host header names no address
// or name of this machine is refused (421). GET of the phone page's files needs no token; every
// other request must carry it ("Authorization: Bearer TOKEN"), then its path under /api/v1/ goes
// to the routes. Answers close their connection; GET /api/v1/events keeps its connection as a
// stream of Server-Sent Events. Every answer forbids the page any script or style from elsewhere;
// none carries cross-origin headers.
class CRemoteServer final : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr int kMaxStreams = 8;
    static constexpr int kMaxStreamsPerPeer = 4;
    // What may wait unsent on a stream whose reader has stopped reading; beyond it the stream ends.
    static constexpr qint64 kMaxStreamBacklog = 256 * 1024;
    static constexpr int kKeepAliveMs = 15000;

    CRemoteServer(QByteArray token, CRemoteApi& api, CEventFeed& feed, QObject* parent = nullptr);
    ~CRemoteServer() override;

    // False with the reason when the address cannot be listened on.
    bool Listen(const RemoteEndpoint& endpoint, QString& reason);
    quint16 Port() const { return port_; }
    // From now on only this token is taken; the streams opened with the old one end.
    void SetToken(QByteArray token);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    bool Authorized(const QHttpServerRequest& request) const;
    // Answers a GET of one of the page's files; false when the path names none.
    bool ServeFile(const QHttpServerRequest& request, QTcpSocket* socket);
    static void WriteCommonHeaders(QHttpServerResponder& responder);
    void Answer(const QHttpServerRequest& request, QTcpSocket* socket, const ApiReply& reply);
    void OpenStream(const QHttpServerRequest& request, QTcpSocket* socket, const ApiReply& reply);
    void Broadcast(const QByteArray& name, const QJsonObject& data);
    // Writes to every open stream; a stream that has fallen too far behind is ended instead.
    void WriteToStreams(const QByteArray& text);
    // Why a new stream from the socket's peer is refused, or nothing.
    QString StreamRefusal(const QTcpSocket& socket) const;
    static QByteArray EventText(const QByteArray& name, const QByteArray& json);

    QByteArray token_;
    CRemoteApi& api_;
    quint16 port_ = 0;
    std::unique_ptr<CHostCheck> hostCheck_;
    QList<QPointer<QTcpSocket>> streams_;
    QTimer keepAlive_;
};
