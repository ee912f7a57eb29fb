#pragma once

#include <QHash>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcRemoteClients)

// Warnings that a client can cause at will (a connection dropped to make room, a request Qt's
// HTTP server did not like) would otherwise let anyone who reaches the port fill the log. Each
// kind is let through at most once a period.
class CWarningThrottle {
public:
    static constexpr qint64 kPeriodMs = 60000;
    // Beyond this many kinds in one period, the rest share one: texts with a client's words in
    // them must not grow the table without end.
    static constexpr int kMaxKinds = 64;

    explicit CWarningThrottle(qint64 periodMs = kPeriodMs) : periodMs_(periodMs) {}

    // Whether a warning of this kind may be logged at nowMs (a steady clock's milliseconds).
    bool Allow(const QString& kind, qint64 nowMs);

private:
    qint64 periodMs_;
    QHash<QString, qint64> lastLogged_;
};

// Logs a warning caused by a client in the category orvane.remote.clients.
void ClientWarning(const QString& text);

// Sends every warning of the categories clients can set off (orvane.remote.clients and Qt's
// qt.httpserver*) through one throttle, before the message handler that was there. Once per
// process; later calls do nothing.
void ThrottleClientWarnings();
