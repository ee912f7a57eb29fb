#pragma once

#include "remote/RemoteEndpoint.h"
#include "remote/RemoteToken.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class CCommands;
class CConfirmationTracker;
class CEventFeed;
class CRemoteApi;
class CRemoteServer;

// The remote interface as the program starts it with --remote: the token, the event feed, the
// routes over the commands and the HTTP server. Nothing of it exists without the option. It is
// started once the main frame is built; a start that fails leaves the program running without it.
class CRemoteControl {
public:
    struct Options {
        RemoteEndpoint endpoint;
        QString tokenPath = RemoteToken::DefaultPath();
    };

    explicit CRemoteControl(Options options);
    ~CRemoteControl();
    CRemoteControl(const CRemoteControl&) = delete;
    CRemoteControl& operator=(const CRemoteControl&) = delete;

    // What the interface acts on: the commands, and what tells whether units took a change.
    struct Program {
        CCommands& commands;
        const CConfirmationTracker* confirmations = nullptr;
    };
    // False with the reason when the token or the address cannot be used.
    bool Start(const Program& program, QString& reason);
    // Closes every connection; called before the main frame goes.
    void Stop();

    bool IsListening() const { return server_ != nullptr; }
    const RemoteEndpoint& Endpoint() const { return options_.endpoint; }
    quint16 Port() const;
    // "http://127.0.0.1:8717"
    QString Url() const;
    // What a phone opens to pair: "http://HOST:PORT/#token=TOKEN" for the address listened on,
    // or for each address of this machine's running interfaces but loopback when listening on
    // all of them. None while listening on loopback only, where no phone reaches.
    QStringList PairingLinks() const;
    // Writes a new token and takes only that one from now on; false with the reason.
    bool RenewToken(QString& reason);

private:
    Options options_;
    QByteArray token_;
    std::unique_ptr<CEventFeed> feed_;
    std::unique_ptr<CRemoteApi> api_;
    std::unique_ptr<CRemoteServer> server_;
};
