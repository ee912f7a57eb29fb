#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Talks to the program's remote interface, one request at a time, waiting for each answer. The
// token goes out only to a program of this user's own when the address is this machine's: a
// listener of another user gets no request at all, and the answer is "no program" with why.
class CCtlClient {
public:
    // What came back: an HTTP status with its JSON, or no answer at all (status 0, with why).
    struct Answer {
        int status = 0;
        QJsonDocument json;
        QString failure;  // when status is 0

        bool Ok() const { return status >= 200 && status < 300; }
        // The program's reason for a refusal, or the failure when nothing answered.
        QString Reason() const;
    };

    CCtlClient(QUrl base, QByteArray token);

    Answer Get(const QString& path);
    Answer Send(const QByteArray& method, const QString& path, const QByteArray& body = {});

    // Reads the event stream, handing each event (name, JSON text) to the callback, until the
    // program closes it. Returns how the stream ended.
    Answer Watch(const std::function<void(const QByteArray&, const QByteArray&)>& onEvent);

private:
    // The refusal to send anything to a listener of another user, or nothing.
    std::optional<Answer> Stranger() const;
    QNetworkRequest Request(const QString& path) const;
    Answer Wait(class QNetworkReply* reply);

    QUrl base_;
    QByteArray token_;
    QNetworkAccessManager network_;
};
