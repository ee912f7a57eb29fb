#include "remote/HostCheck.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace {

bool IsWildcard(const QHostAddress& address) {
    return address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 ||
           address == QHostAddress::Any;
}

QString Plain(const QHostAddress& address) {
    QHostAddress copy = address;
    copy.setScopeId({});
    return copy.toString().toLower();
}

}  // namespace

CHostCheck::CHostCheck(const QHostAddress& bound, quint16 port)
    : CHostCheck(HostsFor(bound), port) {
    if (IsWildcard(bound)) {
        wildcard_ = bound;
        lastLookup_.start();
    }
}

CHostCheck::CHostCheck(QStringList hosts, quint16 port) : port_(port) {
    for (const QString& host : hosts) {
        hosts_.append(host.toLower());
    }
}

QStringList CHostCheck::HostsFor(const QHostAddress& bound) {
    QStringList hosts{QStringLiteral("localhost")};
    const QString name = QHostInfo::localHostName();
    if (!name.isEmpty()) {
        hosts.append(name);
        const QString domain = QHostInfo::localDomainName();
        if (!domain.isEmpty()) {
            hosts.append(name + u'.' + domain);
        }
    }
    if (!IsWildcard(bound)) {
        hosts.append(Plain(bound));
        return hosts;
    }
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        hosts.append(Plain(address));
    }
    return hosts;
}

bool CHostCheck::Knows(const QString& host) {
    if (hosts_.contains(host)) {
        return true;
    }
    if (!wildcard_ || lastLookup_.elapsed() < 1000) {
        return false;
    }
    lastLookup_.restart();
    hosts_.clear();
    for (const QString& known : HostsFor(*wildcard_)) {
        hosts_.append(known.toLower());
    }
    return hosts_.contains(host);
}

bool CHostCheck::Accepts(const QByteArray& hostHeader) {
    const QString value = QString::fromLatin1(hostHeader.trimmed()).toLower();
    QString host = value;
    QString port;
    if (value.startsWith(u'[')) {
        const qsizetype close = value.indexOf(u']');
        if (close < 0) {
            return false;
        }
        host = value.mid(1, close - 1);
        const QString rest = value.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':')) {
            return false;
        }
        port = rest.mid(1);
    } else if (const qsizetype colon = value.lastIndexOf(u':'); colon >= 0) {
        host = value.left(colon);
        port = value.mid(colon + 1);
    }
    // A trailing dot names the same host; a browser may send it so.
    if (host.endsWith(u'.')) {
        host.chop(1);
    }
    // A client may leave the port out; a page elsewhere cannot gain by it, as the name must fit.
    const bool portFits = port.isEmpty() || port == QString::number(port_);
    return !host.isEmpty() && portFits && Knows(host);
}
