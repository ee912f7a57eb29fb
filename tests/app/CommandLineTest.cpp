#include <gtest/gtest.h>

#include "app/CommandLine.h"

#include <utility>

namespace {

using Kind = CommandLineAnswer::Kind;

QStringList Line(std::initializer_list<const char*> arguments) {
    QStringList line{QStringLiteral("orvane")};
    for (const char* argument : arguments) {
        line << QString::fromUtf8(argument);
    }
    return line;
}

TEST(CommandLineTest, HelpAndVersionNeedNoApplicationAndWinOverTheRest) {
    CommandLine commandLine;
    for (const QStringList& line : {Line({"--help"}), Line({"-h"}), Line({"--frob", "--help"}),
                                    Line({"-platform", "xcb", "--help"})}) {
        const auto answer = commandLine.AnswerWithoutDisplay(line);
        ASSERT_TRUE(answer.has_value()) << line.join(' ').toStdString();
        EXPECT_EQ(answer->kind, Kind::Print);
        EXPECT_TRUE(answer->text.startsWith(QStringLiteral("Usage: orvane [options]\n")));
        EXPECT_TRUE(answer->text.contains(QStringLiteral("--user-folder")));
    }
    const auto version = commandLine.AnswerWithoutDisplay(Line({"--version"}));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->text, QStringLiteral("orvane " ORVANE_VERSION "\n"));
}

TEST(CommandLineTest, QtOptionsSpelledWithOneDashAskForNothing) {
    CommandLine commandLine;
    // Read letter by letter, these would hold an h or a v.
    EXPECT_FALSE(commandLine.AnswerWithoutDisplay(Line({"-stylesheet", "a.qss"})).has_value());
    EXPECT_FALSE(commandLine.AnswerWithoutDisplay(Line({"-reverse", "-style", "Fusion"})));
    EXPECT_FALSE(commandLine.AnswerWithoutDisplay(Line({"--user-folder"})).has_value());
    // -name takes the next word as the window class, whatever it looks like.
    EXPECT_FALSE(commandLine.AnswerWithoutDisplay(
        Line({"--platform", "xcb", "-style=Fusion", "-qmljsdebugger=port:1", "-name", "--frob"})));
}

TEST(CommandLineTest, AWrongLineIsRefusedBeforeADisplayIsNeeded) {
    CommandLine commandLine;
    const std::pair<QStringList, const char*> cases[] = {
        {Line({"--frob"}), "Unknown option 'frob'"},
        {Line({"-platform", "offscreen", "-frob"}), "Unknown option 'frob'"},
        {Line({"-reverse", "--remote"}), "Missing value after '--remote'"}};
    for (const auto& [wrong, reason] : cases) {
        const auto answer = commandLine.AnswerWithoutDisplay(wrong);
        ASSERT_TRUE(answer.has_value()) << wrong.join(' ').toStdString();
        EXPECT_EQ(answer->kind, Kind::Refuse);
        EXPECT_TRUE(answer->text.contains(QString::fromUtf8(reason))) << answer->text.toStdString();
    }
}

TEST(CommandLineTest, RunsWithTheUserFolderOnlyWhenAsked) {
    CommandLine commandLine;
    const CommandLineAnswer plain = commandLine.Parse(Line({}));
    EXPECT_EQ(plain.kind, Kind::Run);
    EXPECT_FALSE(plain.options.userFolder);
    const CommandLineAnswer desktop = commandLine.Parse(Line({"--user-folder"}));
    EXPECT_EQ(desktop.kind, Kind::Run);
    EXPECT_TRUE(desktop.options.userFolder);
    // Plain arguments were always accepted and ignored.
    EXPECT_EQ(commandLine.Parse(Line({"studio.xml"})).kind, Kind::Run);
}

TEST(CommandLineTest, TheRemoteInterfaceIsOffUnlessAskedForWithAPortOrAnAddress) {
    CommandLine commandLine;
    EXPECT_FALSE(commandLine.Parse(Line({"--user-folder"})).options.remote);
    const CommandLineAnswer local = commandLine.Parse(Line({"--remote", "8717"}));
    ASSERT_TRUE(local.options.remote);
    EXPECT_EQ(local.options.remote->ToString(), QStringLiteral("127.0.0.1:8717"));
    const CommandLineAnswer network = commandLine.Parse(Line({"--remote=0.0.0.0:9000"}));
    ASSERT_TRUE(network.options.remote);
    EXPECT_EQ(network.options.remote->ToString(), QStringLiteral("0.0.0.0:9000"));
    EXPECT_TRUE(network.options.remoteProblem.isEmpty());
    // A value that names no place to listen leaves the program running without the interface,
    // which then says why in the window as well as on standard error.
    for (const char* wrong : {"nine", "70000", "0", "example.org:80", "127.0.0.1:٨٧١٧"}) {
        const CommandLineAnswer answer = commandLine.Parse(Line({"--remote", wrong}));
        EXPECT_EQ(answer.kind, Kind::Run) << wrong;
        EXPECT_FALSE(answer.options.remote) << wrong;
        EXPECT_TRUE(answer.options.remoteProblem.contains(
            QStringLiteral("--remote takes PORT or ADDR:PORT")))
            << wrong;
    }
    EXPECT_EQ(commandLine.Parse(Line({"--remote"})).kind, Kind::Refuse);
}

TEST(CommandLineTest, RefusesUnknownOptionsAndStrayValuesNamingThem) {
    CommandLine commandLine;
    const std::pair<const char*, const char*> cases[] = {
        {"--frob", "'frob'"}, {"-x", "'x'"}, {"--user-folder=yes", "'--user-folder'"}};
    for (const auto& [wrong, named] : cases) {
        const CommandLineAnswer answer = commandLine.Parse(Line({wrong}));
        EXPECT_EQ(answer.kind, Kind::Refuse) << wrong;
        EXPECT_TRUE(answer.text.startsWith(QStringLiteral("orvane: "))) << wrong;
        EXPECT_TRUE(answer.text.contains(QString::fromUtf8(named))) << answer.text.toStdString();
        EXPECT_TRUE(answer.text.endsWith(QStringLiteral("--help' for more information.\n")));
    }
}

}  // namespace
