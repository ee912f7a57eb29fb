#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "SimOptions.h"

namespace orvane::sim {
namespace {

using ::testing::HasSubstr;

ParsedArguments parse(std::vector<std::string_view> args) {
    return parseArguments(args);
}

TEST(SimOptionsTest, ReadsEveryOptionInBothSpellings) {
    const ParsedArguments parsed =
        parse({"--link", "/tmp/x/dongle", "--unit", "A:0", "--unit=c:5:56,41", "--seed=99",
               "--baud", "9600", "--log", "/tmp/x/log"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed));
    const auto& options = std::get<SimOptions>(parsed);

    EXPECT_EQ(options.linkPath, "/tmp/x/dongle");
    EXPECT_EQ(options.logPath, "/tmp/x/log");
    EXPECT_EQ(options.seed, 99u);
    EXPECT_EQ(options.baud, 9600);
    ASSERT_EQ(options.units.size(), 2u);
    EXPECT_EQ(options.units[0].where, (UnitAddress{0, 0}));
    EXPECT_EQ(options.units[0].state.flash, UnitState{}.flash);
    EXPECT_EQ(options.units[1].where, (UnitAddress{2, 5}));
    EXPECT_EQ(options.units[1].state.flash, 56);
    EXPECT_EQ(options.units[1].state.model, 41);
}

TEST(SimOptionsTest, WithoutOptionalArgumentsRunsRepeatablyUnpacedAndUnlogged) {
    const ParsedArguments parsed = parse({"--link", "dongle"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed));
    const auto& options = std::get<SimOptions>(parsed);
    const auto again = std::get<SimOptions>(parse({"--link", "dongle"}));

    EXPECT_EQ(options.seed, again.seed);
    EXPECT_FALSE(options.baud.has_value());
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_TRUE(options.units.empty());
}

TEST(SimOptionsTest, DemoGivesFourHeadsInStudioAAndTwoInStudioBWithVariedLevels) {
    const auto parsed = parse({"--demo", "--link", "dongle", "--unit", "E:9"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed));
    const auto& units = std::get<SimOptions>(parsed).units;

    std::set<std::pair<int, int>> places;
    std::set<int> levels;
    int inA = 0;
    int inB = 0;
    for (const UnitSetup& unit : units) {
        places.insert({unit.where.studio, unit.where.slot});
        levels.insert(unit.state.flash);
        inA += unit.where.studio == 0;
        inB += unit.where.studio == 1;
    }
    EXPECT_EQ(inA, 4);
    EXPECT_EQ(inB, 2);
    EXPECT_EQ(places.size(), units.size()) << "two demo heads share a slot";
    EXPECT_TRUE(places.contains({4, 9})) << "--unit is added to the demo set";
    EXPECT_GT(levels.size(), 2u);
}

TEST(SimOptionsTest, RefusesBadArgumentsWithAReason) {
    const std::vector<std::vector<std::string_view>> bad = {
        {},
        {"--unit", "A:0"},
        {"--link"},
        {"--link", ""},
        {"--link", "d", "--frobnicate"},
        {"--link", "d", "stray"},
        {"--link", "d", "--unit", "F:0"},
        {"--link", "d", "--unit", "A:10"},
        {"--link", "d", "--unit", "A"},
        {"--link", "d", "--unit", "A:1:90,40"},
        {"--link", "d", "--unit", "A:1:50,10"},
        {"--link", "d", "--unit", "A:1:50"},
        {"--link", "d", "--unit", "A:1:50,40,3"},
        {"--link", "d", "--unit", "A:-1"},
        {"--link", "d", "--unit", "A:1", "--unit", "a:1"},
        {"--link", "d", "--demo", "--unit", "A:0"},
        {"--link", "d", "--seed", "-1"},
        {"--link", "d", "--seed", "4294967296"},
        {"--link", "d", "--seed", "12abc"},
        {"--link", "d", "--baud", "0"},
        {"--link", "d", "--demo=yes"},
    };
    for (const auto& args : bad) {
        const ParsedArguments parsed = parse(args);
        std::string joined;
        for (std::string_view arg : args) {
            joined += std::string(arg) + " ";
        }
        ASSERT_TRUE(std::holds_alternative<ArgumentError>(parsed)) << joined;
        EXPECT_FALSE(std::get<ArgumentError>(parsed).message.empty()) << joined;
    }
}

TEST(SimOptionsTest, HelpAndThenVersionWinOverEverythingElse) {
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parse({"--help"})));
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parse({"--unit", "Z:9", "--help"})));
    EXPECT_TRUE(std::holds_alternative<HelpRequested>(parse({"--version", "-h"})));
    EXPECT_TRUE(std::holds_alternative<VersionRequested>(parse({"--unit", "Z:9", "--version"})));
    EXPECT_TRUE(std::holds_alternative<ArgumentError>(parse({"--link", "d", "--version=2"})));
    EXPECT_THAT(usageText("sim"), HasSubstr("--link PATH"));
    EXPECT_THAT(usageText("sim"), HasSubstr("--version"));
}

}  // namespace
}  // namespace orvane::sim
