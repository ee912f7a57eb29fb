#pragma once

#include <QByteArray>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

// Stands at the door of one connection. The HTTP server reads a request's whole body into memory
// before anyone may look at it, and would wait for the end of a request for ever; the guard reads
// the request's head first and answers at once, without the server, when
//   - the head grows beyond kMaxHead (431),
//   - the body announced is larger than kMaxBody (413) or its length is unclear (400),
//   - the body comes in chunks of unannounced length (411),
//   - the head is not whole within kHeadTimeoutMs, or the body not within kBodyTimeoutMs after
//     it (408).
// A connection carries one request: once it is answered, whatever else the client sends is
// dropped unread, and the server closes the connection after its answer.
class CRequestGuard final : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxHead = 16 * 1024;
    static constexpr qint64 kMaxBody = 64 * 1024;
    static constexpr int kHeadTimeoutMs = 2000;
    static constexpr int kBodyTimeoutMs = 10000;

    // Installed before the server connects to the socket, so it reads each arrival first.
    explicit CRequestGuard(QTcpSocket& socket);

    static CRequestGuard* Of(QTcpSocket* socket);

    // The server has taken the request: no further request is read from this connection.
    void Answered();
    // The answer is an event stream, which stays open.
    void Streaming() { streaming_ = true; }
    bool IsAnswered() const { return phase_ == Phase::Answered; }
    bool IsUnfinished() const { return phase_ != Phase::Answered; }
    // Its head has not arrived whole, not even in the system's buffer where it may wait for the
    // next turn of the event loop: a connection that is truly holding back its request.
    bool IsHeadMissing() const;
    bool IsStream() const { return streaming_; }

    // A whole answer with {"error": reason} that closes the connection.
    static QByteArray Answer(int status, const QByteArray& statusText, const QString& reason);

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
    bool streaming_ = false;
    QByteArray head_;
    QTimer deadline_;
};
