#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>

#include <optional>

// Whether a request's Host header names this server. A page from elsewhere whose name was made
// to resolve to this machine (DNS rebinding) sends its own name there, so it is refused, and the
// browser never lets it read what the interface answers.
class CHostCheck {
public:
    // bound: the address listened on; port: the port taken. An address that stands for every
    // address of the machine (0.0.0.0, ::) accepts each of them.
    CHostCheck(const QHostAddress& bound, quint16 port);

    // The names and addresses taken besides the machine's own: for tests.
    CHostCheck(QStringList hosts, quint16 port);

    // Listening on all addresses, a host not known is looked for again among the addresses the
    // machine has now (a network that came up after the start), at most once a second.
    bool Accepts(const QByteArray& hostHeader);

    // The machine's names (localhost, its host name, with and without its domain) and, for a
    // wildcard, every address of its interfaces.
    static QStringList HostsFor(const QHostAddress& bound);

private:
    bool Knows(const QString& host);

    QStringList hosts_;  // lower case; IPv6 addresses without brackets
    quint16 port_;
    std::optional<QHostAddress> wildcard_;  // the address listened on, when it is all of them
    QElapsedTimer lastLookup_;
};
