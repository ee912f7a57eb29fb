#include "CtlClient.h"

#include "ListenerOwner.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int kTimeoutMs = 15000;

}  // namespace

QString CCtlClient::Answer::Reason() const {
    if (status == 0) {
        return failure;
    }
    const QString error = json.object().value(QStringLiteral("error")).toString();
    return error.isEmpty() ? QStringLiteral("the program answered %1").arg(status) : error;
}

CCtlClient::CCtlClient(QUrl base, QByteArray token)
    : base_(std::move(base)), token_(std::move(token)) {
    // Straight to the program: a proxy from the environment has no business in between.
    network_.setProxy(QNetworkProxy::NoProxy);
}

QNetworkRequest CCtlClient::Request(const QString& path) const {
    QUrl url = base_;
    // The path arrives encoded (a title's "/" as %2F); it must reach the program as it is.
    url.setPath(QStringLiteral("/api/v1/") + path, QUrl::TolerantMode);
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", "Bearer " + token_);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(kTimeoutMs);
    return request;
}

CCtlClient::Answer CCtlClient::Wait(QNetworkReply* reply) {
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    Answer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.status == 0) {
        answer.failure = QStringLiteral("no program answered at %1: %2")
                             .arg(base_.toString(), reply->errorString());
    } else {
        answer.json = QJsonDocument::fromJson(reply->readAll());
    }
    reply->deleteLater();
    return answer;
}

std::optional<CCtlClient::Answer> CCtlClient::Stranger() const {
    // Looked at before every request, not once: the program may end between two of them.
    QString refusal = ListenerOwner::RefusalFor(base_);
    if (refusal.isEmpty()) {
        return std::nullopt;
    }
    Answer answer;
    answer.failure = std::move(refusal);
    return answer;
}

CCtlClient::Answer CCtlClient::Get(const QString& path) {
    if (std::optional<Answer> refused = Stranger()) {
        return *refused;
    }
    return Wait(network_.get(Request(path)));
}

CCtlClient::Answer CCtlClient::Send(const QByteArray& method, const QString& path,
                                    const QByteArray& body) {
    if (std::optional<Answer> refused = Stranger()) {
        return *refused;
    }
    return Wait(network_.sendCustomRequest(Request(path), method, body));
}

CCtlClient::Answer CCtlClient::Watch(
    const std::function<void(const QByteArray&, const QByteArray&)>& onEvent) {
    if (std::optional<Answer> refused = Stranger()) {
        return *refused;
    }
    QNetworkRequest request = Request(QStringLiteral("events"));
    request.setTransferTimeout(0);  // a quiet stream is no failure
    QNetworkReply* reply = network_.get(request);
    QByteArray pending;
    QByteArray name;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) {
            return;  // a refusal: read whole at the end
        }
        pending += reply->readAll();
        // Events are lines "event: NAME" and "data: JSON", ended by a blank line.
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("event: ")) {
                name = line.mid(7);
            } else if (line.startsWith("data: ")) {
                onEvent(name, line.mid(6));
            }
        }
    });
    return Wait(reply);
}
