#include "remote/GuardedTcpServer.h"

#include "remote/RequestGuard.h"
#include "remote/WarningThrottle.h"

#include <memory>
#include <utility>

namespace {

bool IsHeadMissing(QTcpSocket* socket) {
    const CRequestGuard* guard = CRequestGuard::Of(socket);
    return guard && guard->IsHeadMissing();
}

// The head arrived, the body has not: a body can be held back as well as a head.
bool IsBodyMissing(QTcpSocket* socket) {
    const CRequestGuard* guard = CRequestGuard::Of(socket);
    return guard && guard->IsUnfinished() && !guard->IsHeadMissing();
}

bool IsAnswered(QTcpSocket* socket) {
    const CRequestGuard* guard = CRequestGuard::Of(socket);
    return guard && guard->IsAnswered() && !guard->IsStream();
}

}  // namespace

CGuardedTcpServer::CGuardedTcpServer(Limits limits, QObject* parent)
    : QTcpServer(parent), limits_(limits) {}

QByteArray CGuardedTcpServer::PeerKey(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        return QByteArray::number(v4);
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(v6.c), 8).toHex();
}

int CGuardedTcpServer::OpenConnections() const {
    return static_cast<int>(std::count_if(
        open_.begin(), open_.end(), [this](const QPointer<QTcpSocket>& s) { return IsOpen(s); }));
}

bool CGuardedTcpServer::IsOpen(const QTcpSocket* socket) const {
    return socket && socket->state() != QAbstractSocket::UnconnectedState &&
           !dropping_.contains(socket);
}

void CGuardedTcpServer::incomingConnection(qintptr descriptor) {
    auto socket = std::make_unique<QTcpSocket>(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        return;
    }
    PruneClosed();
    const QByteArray peer = PeerKey(socket->peerAddress());
    if (HeadsMissingOf(peer) >= limits_.headsMissingPerPeer) {
        DropOldest(Pick::HeadMissing, peer);
        ClientWarning(
            QStringLiteral("a peer held too many requests without their head; its "
                           "oldest was dropped"));
    }
    if (OpenConnections() >= limits_.connections && !DropOldest(Pick::HeadMissing) &&
        !DropOldest(Pick::BodyMissing) && !DropOldest(Pick::Answered)) {
        // Every place holds an event stream: those have limits of their own, which keep this rare.
        QTcpSocket* refused = socket.release();
        connect(refused, &QAbstractSocket::disconnected, refused, &QObject::deleteLater);
        refused->write(CRequestGuard::Answer(503, "Service Unavailable",
                                             QStringLiteral("too many connections; try again")));
        refused->disconnectFromHost();
        return;
    }
    QTcpSocket* taken = socket.release();  // owned by this server, then by the HTTP server
    new CRequestGuard(*taken);             // owned by the socket
    open_.append(taken);
    addPendingConnection(taken);
}

bool CGuardedTcpServer::DropOldest(Pick pick, const QByteArray& peer) {
    for (const QPointer<QTcpSocket>& socket : std::as_const(open_)) {
        if (!IsOpen(socket) || (!peer.isEmpty() && PeerKey(socket->peerAddress()) != peer)) {
            continue;
        }
        const bool picked = pick == Pick::HeadMissing   ? IsHeadMissing(socket)
                            : pick == Pick::BodyMissing ? IsBodyMissing(socket)
                                                        : IsAnswered(socket);
        if (picked) {
            Drop(*socket);
            return true;
        }
    }
    return false;
}

void CGuardedTcpServer::Drop(QTcpSocket& socket) {
    // Ended once the event loop turns, not at once: Qt accepts connections in a loop that runs
    // until none waits, and a client that reconnects the moment it is dropped would keep that
    // loop turning for ever, with nothing else read in the meantime.
    dropping_.append(&socket);
    if (dropping_.size() == 1) {
        QMetaObject::invokeMethod(this, &CGuardedTcpServer::FinishDrops, Qt::QueuedConnection);
    }
}

void CGuardedTcpServer::FinishDrops() {
    const QList<QPointer<QTcpSocket>> dropping = std::exchange(dropping_, {});
    for (const QPointer<QTcpSocket>& socket : dropping) {
        if (socket) {
            socket->abort();  // the HTTP server deletes a socket once it is disconnected
        }
    }
}

int CGuardedTcpServer::HeadsMissingOf(const QByteArray& peer) const {
    return static_cast<int>(
        std::count_if(open_.begin(), open_.end(), [&](const QPointer<QTcpSocket>& socket) {
            return IsOpen(socket) && IsHeadMissing(socket) &&
                   PeerKey(socket->peerAddress()) == peer;
        }));
}

void CGuardedTcpServer::PruneClosed() {
    open_.removeIf([](const QPointer<QTcpSocket>& socket) {
        return !socket || socket->state() == QAbstractSocket::UnconnectedState;
    });
}
