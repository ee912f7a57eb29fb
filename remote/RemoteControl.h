#pragma once

#include "remote/MessageRelay.h"
#include "remote/RemoteEndpoint.h"
#include "remote/RemoteToken.h"

#include <QString>

#include <memory>

class CCommands;
class CConfirmationTracker;
class CEventFeed;
class QWidget;
class CQtMessageBoxService;
class CRemoteApi;
class CRemoteServer;

// The remote interface as the program starts it with --remote: the token, the message boxes, the
// watch on the window and the HTTP server. Nothing of it exists without the option.
//
// The main frame is built with Messages() as its message box service, and the interface is then
// started on it; a start that fails leaves the program running without the interface.
class CRemoteControl {
public:
    struct Options {
        RemoteEndpoint endpoint;
        QString tokenPath = RemoteToken::DefaultPath();
        // Shows the window's boxes outside remote requests; nullptr: real message boxes.
        CMessageBoxService* shown = nullptr;
    };

    explicit CRemoteControl(Options options);
    ~CRemoteControl();
    CRemoteControl(const CRemoteControl&) = delete;
    CRemoteControl& operator=(const CRemoteControl&) = delete;

    // Must outlive the main frame that is built with it.
    CMessageBoxService& Messages() { return relay_; }

    // What the interface acts on: the commands, what tells whether units took a change, and the
    // window that boxes are shown over.
    struct Program {
        CCommands& commands;
        const CConfirmationTracker* confirmations = nullptr;
        QWidget* window = nullptr;
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

private:
    Options options_;
    CMessageRelay relay_;
    std::unique_ptr<CQtMessageBoxService> boxes_;
    std::unique_ptr<CEventFeed> feed_;
    std::unique_ptr<CRemoteApi> api_;
    std::unique_ptr<CRemoteServer> server_;
};
