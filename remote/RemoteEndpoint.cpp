#include "remote/RemoteEndpoint.h"

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

std::optional<quint16> PortOf(const QString& text) {
    // ASCII digits only: toUInt would also take a sign or white space, and QChar::isDigit the
    // digits of every script ("٨٧١٧"), which would then name another port.
    if (text.isEmpty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), IsAsciiDigit)) {
        return std::nullopt;
    }
    const uint port = text.toUInt();
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

bool IsAsciiText(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
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
    if (!IsAsciiText(host) || !endpoint.address.setAddress(host)) {
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

QString RemoteEndpoint::ExposureWarning() const {
    if (IsLoopback()) {
        return {};
    }
    return QStringLiteral(
               "the remote interface listens on %1, beyond this machine: anyone on "
               "that network who holds the token can fire and change the lights")
        .arg(ToString());
}
