#include "remote/RemoteControl.h"

#include "remote/EventFeed.h"
#include "remote/RemoteApi.h"
#include "remote/RemoteServer.h"
#include "remote/WarningThrottle.h"

#include <QLoggingCategory>

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
    InstallLogFilterOnce();
    ThrottleClientWarnings();
    feed_ = std::make_unique<CEventFeed>(program.commands);
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
