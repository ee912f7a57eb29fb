#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// The listening socket of the remote interface. Each connection it accepts gets a CRequestGuard
// before the HTTP server sees it, and no more than kMaxConnections are open at once.
class CGuardedTcpServer final : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int kMaxConnections = 32;

    explicit CGuardedTcpServer(QObject* parent = nullptr) : QTcpServer(parent) {}

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    int open_ = 0;
};

// Stands at the door of one connection. The HTTP server reads a request's whole body into memory
// before anyone may look at it, and would wait for the end of a request for ever; the guard reads
// the request's head first and answers at once, without the server, when
//   - the head grows beyond kMaxHead (431),
//   - the body announced is larger than kMaxBody (413) or its length is unclear (400),
//   - the body comes in chunks of unannounced length (411),
//   - the request is not complete within kRequestTimeoutMs (408).
// A connection carries one request: once it is answered, whatever else the client sends is
// dropped unread, and the server closes the connection after its answer.
class CRequestGuard final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxHead = 16 * 1024;
    static constexpr qint64 kMaxBody = 64 * 1024;
    static constexpr int kRequestTimeoutMs = 10000;

    // Installed before the server connects to the socket, so it reads each arrival first.
    explicit CRequestGuard(QTcpSocket& socket);

    static CRequestGuard* Of(QTcpSocket* socket);

    // The server has taken the request: no further request is read from this connection.
    void Answered();
    bool IsAnswered() const { return phase_ == Phase::Answered; }

private:
    enum class Phase {
        Head,      // reading the request line and headers
        Body,      // the head was fine; the server reads the body
        Answered,  // one request taken; nothing more is read
    };

    void OnReadyRead();
    void CheckHead(qsizetype headLength);
    // Answers with the status and closes, having stopped the server from reading further.
    void Refuse(int status, const QByteArray& statusText, const QString& reason);
    void StopReading();

    QTcpSocket& socket_;
    Phase phase_ = Phase::Head;
    QByteArray head_;
    QTimer deadline_;
};
