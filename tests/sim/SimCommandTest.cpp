#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>
#include <variant>

#include "SimCommand.h"

namespace orvane::sim {
namespace {

ConsoleCommand parsedCommand(std::string_view line) {
    const ParsedCommand parsed = parseCommand(line);
    EXPECT_TRUE(std::holds_alternative<ConsoleCommand>(parsed)) << line;
    return std::holds_alternative<ConsoleCommand>(parsed) ? std::get<ConsoleCommand>(parsed)
                                                          : ConsoleCommand{};
}

TEST(SimCommandTest, ReadsEveryCommandWithItsArguments) {
    EXPECT_EQ(parsedCommand("unplug").kind, CommandKind::Unplug);
    EXPECT_EQ(parsedCommand("plug").kind, CommandKind::Plug);
    EXPECT_EQ(parsedCommand("quit").kind, CommandKind::Quit);

    const ConsoleCommand add = parsedCommand("add A 7");
    EXPECT_EQ(add.kind, CommandKind::Add);
    EXPECT_EQ(add.where, (UnitAddress{0, 7}));

    const ConsoleCommand remove = parsedCommand("  remove\te 0 \r");
    EXPECT_EQ(remove.kind, CommandKind::Remove);
    EXPECT_EQ(remove.where, (UnitAddress{4, 0}));

    const ConsoleCommand heat = parsedCommand("heat B 9 254");
    EXPECT_EQ(heat.kind, CommandKind::Heat);
    EXPECT_EQ(heat.where, (UnitAddress{1, 9}));
    EXPECT_EQ(heat.value, 254);

    const ConsoleCommand mute = parsedCommand("mute A 7");
    EXPECT_EQ(mute.kind, CommandKind::Mute);
    EXPECT_EQ(mute.where, (UnitAddress{0, 7}));
    EXPECT_EQ(parsedCommand("unmute c 2").kind, CommandKind::Unmute);

    const ConsoleCommand garbage = parsedCommand("garbage 300");
    EXPECT_EQ(garbage.kind, CommandKind::Garbage);
    EXPECT_EQ(garbage.value, 300);
}

TEST(SimCommandTest, BlankLinesAreNeitherCommandsNorErrors) {
    EXPECT_TRUE(std::holds_alternative<BlankLine>(parseCommand("")));
    EXPECT_TRUE(std::holds_alternative<BlankLine>(parseCommand(" \t\r")));
}

TEST(SimCommandTest, MistakesAreReportedNotGuessed) {
    for (const std::string_view line :
         {"frobnicate", "QUIT", "unplug now", "add A", "add A 7 8", "add F 1", "add A 10",
          "remove 1 A", "heat A 1", "heat A 1 255", "heat A 1 -3", "garbage", "garbage -1",
          "garbage 1000001", "garbage ten"}) {
        const ParsedCommand parsed = parseCommand(line);
        ASSERT_TRUE(std::holds_alternative<CommandError>(parsed)) << line;
        EXPECT_FALSE(std::get<CommandError>(parsed).message.empty()) << line;
    }
}

}  // namespace
}  // namespace orvane::sim
