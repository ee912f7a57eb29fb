#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

// Where the remote interface listens: an address and a port. Written "PORT" (then the loopback
// address, so only this machine reaches it) or "ADDR:PORT", with an IPv6 address in brackets;
// ports 1 to 65535 in ASCII digits. Port 0, set in code only, asks the system for a free port.
struct RemoteEndpoint {
    static constexpr quint16 kDefaultPort = 8717;

    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = kDefaultPort;

    // Empty when the text is neither form.
    static std::optional<RemoteEndpoint> Parse(const QString& text);
    // "127.0.0.1:8717", "[::1]:8717"
    QString ToString() const;
    // "http://127.0.0.1:8717"
    QString Url() const { return QStringLiteral("http://") + ToString(); }
    bool IsLoopback() const { return address.isLoopback(); }
    // For an address other machines may reach: who can then act on the lights. Empty for
    // loopback.
    QString ExposureWarning() const;
};
