#include "ListenerOwner.h"

#include <QFile>
#include <QHostInfo>
#include <QtEndian>

#include <array>
#include <cstring>

#include <unistd.h>

namespace ListenerOwner {

namespace {

constexpr QByteArrayView kListenState = "0A";

// An address as the kernel prints it: each 32-bit word of the address in the machine's own byte
// order, as hexadecimal.
std::optional<QHostAddress> AddressOf(QByteArrayView hex) {
    if (hex.size() != 8 && hex.size() != 32) {
        return std::nullopt;
    }
    std::array<quint8, 16> bytes{};
    for (qsizetype word = 0; word < hex.size() / 8; ++word) {
        bool ok = false;
        const quint32 value = hex.sliced(word * 8, 8).toByteArray().toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
        std::memcpy(bytes.data() + word * 4, &value, 4);
    }
    if (hex.size() == 8) {
        return QHostAddress(qFromBigEndian<quint32>(bytes.data()));
    }
    return QHostAddress(bytes.data());
}

// Whether a connection to `to` could reach a socket listening on `on`.
bool CouldTake(const QHostAddress& on, const QHostAddress& to) {
    if (on.isEqual(to, QHostAddress::TolerantConversion)) {
        return true;
    }
    // "::" takes IPv4 connections too unless it was bound IPv6 only, which the table does not
    // tell: counted either way.
    return on == QHostAddress(QHostAddress::AnyIPv6) ||
           (on == QHostAddress(QHostAddress::AnyIPv4) &&
            to.protocol() == QAbstractSocket::IPv4Protocol);
}

QString Where(const QHostAddress& address, quint16 port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

}  // namespace

QList<Listener> ParseTable(const QByteArray& table) {
    QList<Listener> listeners;
    const QList<QByteArray> lines = table.split('\n');
    // The first line names the columns: sl local_address rem_address st queues timers retrnsmt
    // uid timeout inode.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 8 || fields[3] != kListenState) {
            continue;
        }
        const QList<QByteArray> local = fields[1].split(':');
        bool portOk = false;
        bool uidOk = false;
        const std::optional<QHostAddress> address =
            local.size() == 2 ? AddressOf(local[0]) : std::nullopt;
        const uint port = local.size() == 2 ? local[1].toUInt(&portOk, 16) : 0;
        const uint uid = fields[7].toUInt(&uidOk);
        if (address && portOk && uidOk && port <= 65535) {
            listeners.append({*address, static_cast<quint16>(port), static_cast<uid_t>(uid)});
        }
    }
    return listeners;
}

QString Refusal(const QHostAddress& address, quint16 port, uid_t uid,
                const QList<Listener>& listeners) {
    bool any = false;
    for (const Listener& listener : listeners) {
        if (listener.port != port || !CouldTake(listener.address, address)) {
            continue;
        }
        any = true;
        if (listener.uid != uid) {
            return QStringLiteral(
                       "the program listening on %1 belongs to another user (uid %2), "
                       "not to you; the token was not sent. Is Orvane running with "
                       "--remote on that port?")
                .arg(Where(address, port))
                .arg(listener.uid);
        }
    }
    if (!any) {
        return QStringLiteral("no program listens on %1; is Orvane running with --remote?")
            .arg(Where(address, port));
    }
    return {};
}

QString RefusalFor(const QUrl& url) {
    QList<QHostAddress> addresses;
    const QHostAddress literal(url.host());
    if (!literal.isNull()) {
        addresses.append(literal);
    } else {
        addresses = QHostInfo::fromName(url.host()).addresses();
    }
    QList<Listener> listeners;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (file.open(QIODevice::ReadOnly)) {
            listeners += ParseTable(file.readAll());
        }
    }
    const quint16 port = static_cast<quint16>(url.port(80));
    // A name such as localhost may stand for 127.0.0.1 and ::1 at once, with the program on one
    // of them only: a stranger on any is refused, and nobody only when nobody is on either.
    QString nobody;
    bool anyone = false;
    for (const QHostAddress& address : std::as_const(addresses)) {
        if (!address.isLoopback()) {
            continue;
        }
        const bool listened = std::any_of(
            listeners.begin(), listeners.end(),
            [&](const Listener& l) { return l.port == port && CouldTake(l.address, address); });
        QString refusal = Refusal(address, port, ::geteuid(), listeners);
        if (listened && !refusal.isEmpty()) {
            return refusal;
        }
        anyone = anyone || listened;
        nobody = listened ? nobody : refusal;
    }
    return anyone ? QString() : nobody;
}

}  // namespace ListenerOwner
