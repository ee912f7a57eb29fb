#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QUrl>

#include <sys/types.h>

// Whose program answers on a loopback address. Any user of the machine may listen on a free port
// of 127.0.0.1, for instance while Orvane is not running or when its own listen failed; a client
// that sent its token there would hand it to that user. So before the token goes to a loopback
// address, the sockets listening there are looked up in the kernel's tables (/proc/net/tcp and
// tcp6), which name each socket's owner, and every one that could take the connection must be
// the user's own.
namespace ListenerOwner {

struct Listener {
    QHostAddress address;
    quint16 port = 0;
    uid_t uid = 0;
};

// The listening sockets of a table in the form of /proc/net/tcp or /proc/net/tcp6.
QList<Listener> ParseTable(const QByteArray& table);

// Why the token must not go to address:port, or empty when the listeners that could take a
// connection there are all uid's own. Listening on nothing is refused too: whoever binds the port
// a moment later would get the token.
QString Refusal(const QHostAddress& address, quint16 port, uid_t uid,
                const QList<Listener>& listeners);

// The same for a URL of this machine, against the tables of this machine and the user running
// this. Empty for an address of another machine: there the owner cannot be seen (the README
// tells how to reach one through an SSH tunnel, which makes it a loopback address here).
QString RefusalFor(const QUrl& url);

}  // namespace ListenerOwner
