#pragma once

#include "remote/RemoteEndpoint.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// What the program is asked to do once its window is up.
struct StartOptions {
    bool userFolder = false;               // work in the per-user folder instead of the current one
    std::optional<RemoteEndpoint> remote;  // where the remote interface listens; none: it is off
    // Why --remote was given but its value names no place to listen: the program runs without
    // the interface and says so.
    QString remoteProblem;
};

// The answer to a command line: run with options, or print a text and end with an exit code.
struct CommandLineAnswer {
    enum class Kind {
        Run,     // start the program with `options`
        Print,   // write `text` to standard output and end with 0
        Refuse,  // write `text` to standard error and end with kExitUsage
    };
    Kind kind = Kind::Run;
    StartOptions options;
    QString text;
};

// The program's own options. Qt's options (-platform, -style, ...) are the application object's:
// they are taken off the command line before Parse sees it.
class CommandLine {
public:
    static constexpr int kExitUsage = 2;

    CommandLine();

    // Before the application object exists, which needs a display: answers --help and --version,
    // and refuses a wrong line, so all of them work on a terminal without one. Empty when the
    // program is to run; Qt's own options are known here and left for the application object.
    std::optional<CommandLineAnswer> AnswerWithoutDisplay(const QStringList& rawArguments);

    // With Qt's options already removed (QCoreApplication::arguments()).
    CommandLineAnswer Parse(const QStringList& arguments);

private:
    // Of the line the parser read last.
    std::optional<CommandLineAnswer> HelpOrVersion() const;
    QString HelpText() const;

    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    QCommandLineOption userFolder_;
    QCommandLineOption remote_;
};
