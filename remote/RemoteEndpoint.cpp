#include "remote/RemoteEndpoint.h"

namespace {

std::optional<quint16> PortOf(const QString& text) {
    // Digits only: toUInt would also take a sign or white space.
    if (text.isEmpty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })) {
        return std::nullopt;
    }
    const uint port = text.toUInt();
    if (port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

}  // namespace

std::optional<RemoteEndpoint> RemoteEndpoint::Parse(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    RemoteEndpoint endpoint;
    const std::optional<quint16> port = PortOf(colon < 0 ? text : text.mid(colon + 1));
    if (!port) {
        return std::nullopt;
    }
    endpoint.port = *port;
    if (colon < 0) {
        return endpoint;
    }
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.mid(1, host.size() - 2);
    } else if (host.contains(u':')) {
        return std::nullopt;  // an IPv6 address without brackets leaves the port unclear
    } else if (host.count(u'.') != 3) {
        return std::nullopt;  // "10.1" would be taken as 10.0.0.1: only the full form is
    }
    if (!endpoint.address.setAddress(host)) {
        return std::nullopt;
    }
    return endpoint;
}

QString RemoteEndpoint::ToString() const {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
