#include "app/CommandLine.h"
#include "app/UserFolder.h"
#include "commands/Commands.h"
#include "platform/QtMessageBoxService.h"
#include "remote/RemoteControl.h"
#include "remote/RemoteNotice.h"
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

RemoteNotice::Window NoticeIn(CMainFrame& frame) {
    return {[&frame](const QString& text, const QString& details) {
                frame.ShowRemoteState(text, details);
            },
            frame.Messages(), frame};
}

// Without the interface the program runs on as it always has; the window and standard error
// tell why.
void StartRemote(CRemoteControl& remote, CMainFrame& frame) {
    QString reason;
    const bool started = remote.Start({frame.Commands(), &frame.Confirmations()}, reason);
    const QString told = started ? RemoteNotice::Listening(NoticeIn(frame), remote)
                                 : RemoteNotice::Off(NoticeIn(frame), reason);
    std::fputs(told.toLocal8Bit().constData(), stderr);
    if (started) {
        // The interface outlives the frame's dialogs: it is stopped only after the event loop.
        frame.SetPhonePairing({[&remote] { return remote.PairingLinks(); },
                               [&remote](QString& why) { return remote.RenewToken(why); },
                               remote.Port()});
    }
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
    }
    if (!app.InitInstance(frameOptions)) {
        return kExitFailure;
    }
    if (remote) {
        StartRemote(*remote, *app.MainFrame());
    } else if (!answer.options.remoteProblem.isEmpty()) {
        const QString told =
            RemoteNotice::Off(NoticeIn(*app.MainFrame()), answer.options.remoteProblem);
        std::fputs(told.toLocal8Bit().constData(), stderr);
    }
    const int status = app.exec();
    if (remote) {
        remote->Stop();
    }
    return status;
}
