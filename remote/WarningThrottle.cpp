#include "remote/WarningThrottle.h"

#include <QElapsedTimer>
#include <QMutex>

Q_LOGGING_CATEGORY(lcRemoteClients, "orvane.remote.clients", QtWarningMsg)

namespace {

const QString kOtherKinds = QStringLiteral("(other)");

bool FromClients(const char* category) {
    return category && (qstrcmp(category, "orvane.remote.clients") == 0 ||
                        qstrncmp(category, "qt.httpserver", 13) == 0);
}

// Qt's message handler is one per process, and so is what it needs here.
struct Throttled {
    QtMessageHandler next = nullptr;
    QMutex mutex;
    CWarningThrottle throttle;
    QElapsedTimer clock;
};

Throttled& State() {
    static Throttled state;
    return state;
}

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    Throttled& state = State();
    if (type == QtWarningMsg && FromClients(context.category)) {
        const QMutexLocker lock(&state.mutex);
        const QString kind = QString::fromLatin1(context.category) + u':' + text;
        if (!state.throttle.Allow(kind, state.clock.elapsed())) {
            return;
        }
    }
    if (state.next) {
        state.next(type, context, text);
    }
}

}  // namespace

bool CWarningThrottle::Allow(const QString& kind, qint64 nowMs) {
    lastLogged_.removeIf([&](const auto& entry) { return nowMs - entry.value() >= periodMs_; });
    const QString& key =
        lastLogged_.contains(kind) || lastLogged_.size() < kMaxKinds - 1 ? kind : kOtherKinds;
    if (lastLogged_.contains(key)) {
        return false;
    }
    lastLogged_.insert(key, nowMs);
    return true;
}

void ClientWarning(const QString& text) {
    qCWarning(lcRemoteClients).noquote() << text;
}

void ThrottleClientWarnings() {
    static const bool installed = [] {
        Throttled& state = State();
        state.clock.start();
        state.next = qInstallMessageHandler(Handle);
        return true;
    }();
    Q_UNUSED(installed);
}
