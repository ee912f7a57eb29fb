#include "app/CommandLine.h"
#include "app/UserFolder.h"
#include "commands/Commands.h"
#include "platform/QtMessageBoxService.h"
#include "remote/RemoteControl.h"
#include "shell/LumoraApp.h"
#include "shell/MainFrame.h"

#include <QDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int kExitFailure = 1;

QStringList RawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

int Finish(const CommandLineAnswer& answer) {
    const bool refused = answer.kind == CommandLineAnswer::Kind::Refuse;
    std::fputs(answer.text.toLocal8Bit().constData(), refused ? stderr : stdout);
    return refused ? CommandLine::kExitUsage : 0;
}

// Started from the desktop, nobody reads standard error: the reason is shown in a box as well.
bool EnterUserFolder() {
    QString reason;
    if (UserFolder::Enter(QDir::homePath(), reason)) {
        return true;
    }
    const QString text = QStringLiteral("Cannot use the folder %1: %2")
                             .arg(QDir(QDir::homePath()).filePath(UserFolder::kName), reason);
    std::fprintf(stderr, "orvane: %s\n", text.toLocal8Bit().constData());
    CQtMessageBoxService().Show(text, kAppTitle, CMessageBoxService::Buttons::Ok);
    return false;
}

// Without the interface the program runs on as it always has; the reason goes to standard error.
void StartRemote(CRemoteControl& remote, CMainFrame& frame) {
    QString reason;
    if (!remote.Start({frame.Commands(), &frame.Confirmations(), &frame}, reason)) {
        std::fprintf(stderr, "orvane: the remote interface is off: %s\n",
                     reason.toLocal8Bit().constData());
        return;
    }
    std::fprintf(stderr, "orvane: remote interface on %s\n",
                 remote.Url().toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine commandLine;
    if (const auto answer = commandLine.AnswerWithoutDisplay(RawArguments(argc, argv))) {
        return Finish(*answer);
    }
    // The main frame keeps a pointer to the interface's message boxes: declared before the
    // application that owns the frame, it goes after it.
    std::unique_ptr<CRemoteControl> remote;
    CLumoraApp app(argc, argv);
    const CommandLineAnswer answer = commandLine.Parse(QCoreApplication::arguments());
    if (answer.kind != CommandLineAnswer::Kind::Run) {
        return Finish(answer);
    }
    if (answer.options.userFolder && !EnterUserFolder()) {
        return kExitFailure;
    }
    MainFrameOptions frameOptions;
    if (answer.options.remote) {
        remote = std::make_unique<CRemoteControl>(CRemoteControl::Options{*answer.options.remote});
        frameOptions.messages = &remote->Messages();
    }
    if (!app.InitInstance(frameOptions)) {
        return kExitFailure;
    }
    if (remote) {
        StartRemote(*remote, *app.MainFrame());
    }
    const int status = app.exec();
    if (remote) {
        remote->Stop();
    }
    return status;
}
