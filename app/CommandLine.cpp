#include "app/CommandLine.h"

#include <algorithm>
#include <iterator>

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION comes from the project's version in CMake"
#endif

namespace {

constexpr auto kProgram = "orvane";

// What Qt's application object and its X11 platform take off the command line, with or without a
// value; Qt also accepts them with two dashes and, some of them, as -name=value.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"geometry", true},
    {"qwindowtitle", true},
    {"title", true},
    {"qwindowicon", true},
    {"icon", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"display", true},
    {"name", true},
    {"visual", true},
    {"reverse", false},
    {"testability", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"qmljsdebugger", false},
};

// The line as the application object would leave it. Only what is certainly Qt's is taken off,
// so what remains unknown here is unknown to Qt as well.
QStringList WithoutQtOptions(const QStringList& arguments) {
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            rest << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            rest << arguments.mid(i);
            break;
        }
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool valueAttached = equals >= 0;
        name.truncate(valueAttached ? equals : name.size());
        const auto* qt = std::find_if(
            std::begin(kQtOptions), std::end(kQtOptions),
            [&](const QtOption& option) { return name == QLatin1String(option.name); });
        if (qt == std::end(kQtOptions)) {
            rest << argument;
        } else if (qt->takesValue && !valueAttached) {
            ++i;
        }
    }
    return rest;
}

}  // namespace

CommandLine::CommandLine()
    : help_({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this text.")),
      version_(QStringLiteral("version"), QStringLiteral("Show the program's version.")),
      userFolder_(QStringLiteral("user-folder"),
                  QStringLiteral("Work in the folder Orvane in the home folder, created when "
                                 "missing, instead of the current folder.")),
      remote_(QStringLiteral("remote"),
              QStringLiteral("Let other programs on this machine control this one over HTTP on "
                             "127.0.0.1:PORT, or on ADDR:PORT (see orvane-ctl). Off unless given."),
              QStringLiteral("[ADDR:]PORT")) {
    // Qt's own options are written with one dash (-platform, -reverse); read as compacted short
    // options, "-stylesheet" would hold an h and ask for help.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.setApplicationDescription(QStringLiteral(
        "Remote control for studio flash units through a ZigBee dongle on a serial port.\n"
        "Keeps its port in Option.xml and its setups in the folder \"Business Memory\", both in\n"
        "the folder it works in."));
    parser_.addOption(help_);
    parser_.addOption(version_);
    parser_.addOption(userFolder_);
    parser_.addOption(remote_);
}

std::optional<CommandLineAnswer> CommandLine::AnswerWithoutDisplay(
    const QStringList& rawArguments) {
    // Asking for help gets it, even if the rest of the line is wrong.
    parser_.parse(rawArguments);
    if (std::optional<CommandLineAnswer> answer = HelpOrVersion()) {
        return answer;
    }
    // A wrong line is told as such on a terminal without a display too, where making the
    // application object would end the program with Qt's complaint about the display instead.
    CommandLineAnswer answer = Parse(WithoutQtOptions(rawArguments));
    if (answer.kind == CommandLineAnswer::Kind::Refuse) {
        return answer;
    }
    return std::nullopt;
}

std::optional<CommandLineAnswer> CommandLine::HelpOrVersion() const {
    if (parser_.isSet(help_)) {
        return CommandLineAnswer{CommandLineAnswer::Kind::Print, {}, HelpText()};
    }
    if (parser_.isSet(version_)) {
        return CommandLineAnswer{CommandLineAnswer::Kind::Print,
                                 {},
                                 QStringLiteral("%1 %2\n").arg(kProgram, ORVANE_VERSION)};
    }
    return std::nullopt;
}

CommandLineAnswer CommandLine::Parse(const QStringList& arguments) {
    if (!parser_.parse(arguments)) {
        return {CommandLineAnswer::Kind::Refuse,
                {},
                QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                    .arg(kProgram, parser_.errorText())};
    }
    if (std::optional<CommandLineAnswer> answer = HelpOrVersion()) {
        return *answer;
    }
    // Other arguments have always been accepted and ignored; they still are.
    StartOptions options;
    options.userFolder = parser_.isSet(userFolder_);
    if (parser_.isSet(remote_)) {
        const QString value = parser_.value(remote_);
        options.remote = RemoteEndpoint::Parse(value);
        if (!options.remote) {
            options.remoteProblem =
                QStringLiteral(
                    "--remote takes PORT or ADDR:PORT (a port from 1 to 65535), not "
                    "'%1'")
                    .arg(value);
        }
    }
    return {CommandLineAnswer::Kind::Run, options, {}};
}

QString CommandLine::HelpText() const {
    // The parser's first line names the executable only once an application object exists.
    QString text = parser_.helpText();
    text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral("Usage: %1 [options]\n").arg(kProgram) + text +
           QStringLiteral("\nQt's own options, such as -platform NAME, are accepted too.\n");
}
