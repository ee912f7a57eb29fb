#include "app/CommandLine.h"
#include "app/UserFolder.h"
#include "platform/QtMessageBoxService.h"
#include "shell/LumoraApp.h"

#include <QDir>

#include <cstdio>

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

}  // namespace

int main(int argc, char** argv) {
    CommandLine commandLine;
    if (const auto answer = commandLine.AnswerWithoutDisplay(RawArguments(argc, argv))) {
        return Finish(*answer);
    }
    CLumoraApp app(argc, argv);
    const CommandLineAnswer answer = commandLine.Parse(QCoreApplication::arguments());
    if (answer.kind != CommandLineAnswer::Kind::Run) {
        return Finish(answer);
    }
    if (answer.options.userFolder && !EnterUserFolder()) {
        return kExitFailure;
    }
    if (!app.InitInstance()) {
        return kExitFailure;
    }
    return app.exec();
}
