#include "remote/RemoteControl.h"

#include "remote/EventFeed.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteServer.h"
#include "remote/WarningThrottle.h"

#include <QLoggingCategory>
#include <QNetworkInterface>

namespace {

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Qt's HTTP server can write every request, headers and all, to its debug log; the token would
// go with them. Its categories stay silent whatever the logging rules say.
void KeepRequestsOutOfLogs(QLoggingCategory* category) {
    if (previousFilter) {
        previousFilter(category);
    }
    if (qstrncmp(category->categoryName(), "qt.httpserver", 13) == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}

void InstallLogFilterOnce() {
    static const bool installed = [] {
        previousFilter = QLoggingCategory::installFilter(KeepRequestsOutOfLogs);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace

CRemoteControl::CRemoteControl(Options options) : options_(std::move(options)) {}

CRemoteControl::~CRemoteControl() {
    Stop();
}

bool CRemoteControl::Start(const Program& program, QString& reason) {
    const std::optional<QByteArray> token = RemoteToken::ReadOrCreate(options_.tokenPath, reason);
    if (!token) {
        return false;
    }
    token_ = *token;
    InstallLogFilterOnce();
    ThrottleClientWarnings();
    feed_ = std::make_unique<CEventFeed>(program.commands, program.confirmations);
    api_ = std::make_unique<CRemoteApi>(program.commands, program.confirmations);
    server_ = std::make_unique<CRemoteServer>(*token, *api_, *feed_);
    if (!server_->Listen(options_.endpoint, reason)) {
        Stop();
        return false;
    }
    return true;
}

void CRemoteControl::Stop() {
    server_.reset();
    api_.reset();
    feed_.reset();
}

quint16 CRemoteControl::Port() const {
    return server_ ? server_->Port() : 0;
}

QString CRemoteControl::Url() const {
    RemoteEndpoint endpoint = options_.endpoint;
    endpoint.port = Port();
    return endpoint.Url();
}

QStringList CRemoteControl::PairingLinks() const {
    if (!server_ || options_.endpoint.IsLoopback()) {
        return {};
    }
    QList<QHostAddress> addresses{options_.endpoint.address};
    const QHostAddress& bound = options_.endpoint.address;
    if (bound == QHostAddress::AnyIPv4 || bound == QHostAddress::AnyIPv6 ||
        bound == QHostAddress::Any) {
        addresses.clear();
        for (const QNetworkInterface& face : QNetworkInterface::allInterfaces()) {
            if (!face.flags().testFlag(QNetworkInterface::IsUp) ||
                face.flags().testFlag(QNetworkInterface::IsLoopBack)) {
                continue;
            }
            for (const QNetworkAddressEntry& entry : face.addressEntries()) {
                // A phone's browser takes an IPv4 address or a global IPv6 one, not a link-local
                // address, which would need the interface's name.
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol ||
                    (bound != QHostAddress::AnyIPv4 && entry.ip().isGlobal())) {
                    addresses.append(entry.ip());
                }
            }
        }
    }
    QStringList links;
    for (const QHostAddress& address : addresses) {
        const RemoteEndpoint endpoint{address, Port()};
        links.append(endpoint.Url() + QStringLiteral("/#token=") + QString::fromLatin1(token_));
    }
    return links;
}

bool CRemoteControl::RenewToken(QString& reason) {
    if (!server_) {
        reason = QStringLiteral("the remote interface is off");
        return false;
    }
    const std::optional<QByteArray> token = RemoteToken::Renew(options_.tokenPath, reason);
    if (!token) {
        return false;
    }
    token_ = *token;
    server_->SetToken(*token);
    return true;
}
