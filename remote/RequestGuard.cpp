#include "remote/RequestGuard.h"

#include "remote/RemoteJson.h"

#include <QList>

#include <array>

#include <sys/socket.h>

namespace {

constexpr int kLingerMs = 1000;

// Header lines of a request head, without the request line. Names are compared without regard to
// case, as HTTP wants.
QList<QByteArray> HeaderValues(const QByteArray& head, QByteArrayView name) {
    QList<QByteArray> values;
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            values.append(line.mid(colon + 1).trimmed());
        }
    }
    return values;
}

// Where the head ends (after its blank line), or -1 while it has not ended. The server's own
// reader takes a blank line with or without its carriage return, so this does too.
qsizetype HeadLength(const QByteArray& head) {
    const qsizetype lf = head.indexOf("\n\n");
    const qsizetype crlf = head.indexOf("\n\r\n");
    if (lf < 0 && crlf < 0) {
        return -1;
    }
    if (crlf < 0 || (lf >= 0 && lf < crlf)) {
        return lf + 2;
    }
    return crlf + 3;
}

}  // namespace

CRequestGuard::CRequestGuard(QTcpSocket& socket) : QObject(&socket), socket_(socket) {
    setObjectName(QStringLiteral("requestGuard"));
    connect(&socket_, &QIODevice::readyRead, this, &CRequestGuard::OnReadyRead);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        Refuse(408, "Request Timeout", QStringLiteral("the request did not arrive in time"));
    });
    deadline_.start(kHeadTimeoutMs);
}

QByteArray CRequestGuard::Answer(int status, const QByteArray& statusText, const QString& reason) {
    const QByteArray body = RemoteJson::Compact(RemoteJson::Error(reason));
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}

CRequestGuard* CRequestGuard::Of(QTcpSocket* socket) {
    return socket ? socket->findChild<CRequestGuard*>(QStringLiteral("requestGuard"),
                                                      Qt::FindDirectChildrenOnly)
                  : nullptr;
}

bool CRequestGuard::IsHeadMissing() const {
    if (phase_ != Phase::Head) {
        return false;
    }
    // A client that sent its whole request may still be waiting for this loop to read it, behind
    // a crowd of connections accepted in the same turn: what the system holds counts too.
    std::array<char, kMaxHead> waiting{};
    const ssize_t inSystem = ::recv(static_cast<int>(socket_.socketDescriptor()), waiting.data(),
                                    waiting.size(), MSG_PEEK | MSG_DONTWAIT);
    QByteArray all = head_ + socket_.peek(socket_.bytesAvailable());
    if (inSystem > 0) {
        all.append(waiting.data(), inSystem);
    }
    while (!all.isEmpty() && QByteArrayView(" \t\r\n\v").contains(all.front())) {
        all.remove(0, 1);
    }
    return HeadLength(all) < 0 && all.size() <= kMaxHead;
}

void CRequestGuard::Answered() {
    phase_ = Phase::Answered;
    deadline_.stop();
}

void CRequestGuard::OnReadyRead() {
    if (phase_ == Phase::Answered) {
        StopReading();
        return;
    }
    if (phase_ != Phase::Head) {
        return;
    }
    // The server's reader takes everything waiting each time it runs and this runs before it, so
    // what waits now has not been seen yet. Peeked only: the server reads it after this.
    QByteArray fresh = socket_.peek(socket_.bytesAvailable());
    if (head_.isEmpty()) {
        // Blank lines before a request are skipped by the server, and so here.
        qsizetype skip = 0;
        while (skip < fresh.size() && QByteArrayView(" \t\r\n\v").contains(fresh[skip])) {
            ++skip;
        }
        fresh.remove(0, skip);
    }
    head_.append(fresh.left(kMaxHead + 1 - head_.size()));
    const qsizetype length = HeadLength(head_);
    if (length < 0) {
        if (head_.size() > kMaxHead) {
            Refuse(431, "Request Header Fields Too Large",
                   QStringLiteral("the request's head is larger than %1 bytes").arg(kMaxHead));
        }
        return;
    }
    CheckHead(length);
}

void CRequestGuard::CheckHead(qsizetype headLength) {
    head_.truncate(headLength);
    if (!HeaderValues(head_, "transfer-encoding").isEmpty()) {
        Refuse(411, "Length Required", QStringLiteral("a body must come with its Content-Length"));
        return;
    }
    const QList<QByteArray> lengths = HeaderValues(head_, "content-length");
    qint64 length = 0;
    for (const QByteArray& value : lengths) {
        const bool digits = !value.isEmpty() && std::all_of(value.begin(), value.end(), [](char c) {
            return c >= '0' && c <= '9';
        });
        bool ok = false;
        const qint64 parsed = value.toLongLong(&ok);
        if (!digits || !ok || (length != 0 && parsed != length)) {
            Refuse(400, "Bad Request", QStringLiteral("the Content-Length is unclear"));
            return;
        }
        length = parsed;
    }
    if (length > kMaxBody) {
        Refuse(413, "Payload Too Large",
               QStringLiteral("the body is larger than %1 bytes").arg(kMaxBody));
        return;
    }
    phase_ = Phase::Body;
    deadline_.start(kBodyTimeoutMs);
    // A client that waits for leave before it sends the body gets it at once.
    for (const QByteArray& expect : HeaderValues(head_, "expect")) {
        if (length > 0 && expect.compare("100-continue", Qt::CaseInsensitive) == 0) {
            socket_.write("HTTP/1.1 100 Continue\r\n\r\n");
        }
    }
    head_.clear();
}

void CRequestGuard::Refuse(int status, const QByteArray& statusText, const QString& reason) {
    StopReading();
    phase_ = Phase::Answered;
    deadline_.stop();
    socket_.write(Answer(status, statusText, reason));
    // Closed a moment later, not at once: a client still sending its body would otherwise have
    // the connection reset under it and might never read the answer.
    QPointer<QTcpSocket> socket(&socket_);
    QTimer::singleShot(kLingerMs, this, [socket] {
        if (socket) {
            socket->disconnectFromHost();
        }
    });
}

void CRequestGuard::StopReading() {
    QObject::disconnect(&socket_, &QIODevice::readyRead, nullptr, nullptr);
    if (socket_.isTransactionStarted()) {
        socket_.commitTransaction();
    }
    socket_.readAll();
    connect(&socket_, &QIODevice::readyRead, this, [this] { socket_.readAll(); });
}
