#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// The listening socket of the remote interface. Each connection it accepts gets a CRequestGuard
// before the HTTP server sees it. A client cannot keep others out by holding connections open
// with half a request: a new connection is always taken. Room is made for it by dropping the
// oldest connection whose head has not arrived (first of the same peer's, when that peer holds
// too many), then the oldest whose body has not, then the oldest already answered. A request
// that has arrived whole, if only in the system's buffer, is dropped only when nothing else is
// left; event streams, which have limits of their own, never are.
class CGuardedTcpServer final : public QTcpServer {
    Q_OBJECT
public:
    struct Limits {
        int connections = 64;         // open at once, event streams included
        int headsMissingPerPeer = 8;  // requests from one peer whose head has not arrived whole
    };

    explicit CGuardedTcpServer(QObject* parent = nullptr) : CGuardedTcpServer(Limits{}, parent) {}
    CGuardedTcpServer(Limits limits, QObject* parent);

    // Who counts as one peer: an IPv4 address, or an IPv6 network of 64 bits, which one machine
    // commonly has to itself.
    static QByteArray PeerKey(const QHostAddress& address);

    int OpenConnections() const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    enum class Pick { HeadMissing, BodyMissing, Answered };

    // Drops the oldest open connection of the kind (of the peer when it is given); false when
    // there is none.
    bool DropOldest(Pick pick, const QByteArray& peer = {});
    int HeadsMissingOf(const QByteArray& peer) const;
    // Open, and not on its way out.
    bool IsOpen(const QTcpSocket* socket) const;
    void Drop(QTcpSocket& socket);
    void FinishDrops();
    void PruneClosed();

    Limits limits_;
    QList<QPointer<QTcpSocket>> open_;      // in the order they came
    QList<QPointer<QTcpSocket>> dropping_;  // to be ended when the event loop turns
};
