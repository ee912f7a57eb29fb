// The commands with a recording link writer: what each sends and changes, what each refuses with
// nothing sent, how "Prop" couples the powers, and the history undo keeps.

#include "commands/Commands.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "support/PlaceUnit.h"
#include "support/PowerTable.h"
#include "support/RecordingLinkWriter.h"
#include "support/SettingFrame.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Origin = CCommands::Origin;

constexpr std::uint8_t kFlashPower = 3;
constexpr std::uint8_t kModelPower = 4;
constexpr std::uint8_t kModelMode1 = 5;
constexpr std::uint8_t kPhotoCell = 7;
constexpr std::uint8_t kFlashSwitch = 13;

// Studio A scanned and the port open, with units on CH-01 (5.0/4.0, "Free") and CH-03 (7.0/7.5,
// "Prop").
class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        studio = model.Studio(0);
        studio->nItemKind = TreeItemTag::StudioLine;
        free = PlaceNewUnit(model, 0, 0, {.nFlashValue = 50, .nModelValue = 40});
        prop = PlaceNewUnit(model, 0, 2, {.nFlashValue = 70, .nModelValue = 75, .nModelMode1 = 1});
        ASSERT_NE(free, nullptr);
        ASSERT_NE(prop, nullptr);
        for (StrobeData* unit : {free, prop}) {
            unit->nItemKind = TreeItemTag::UnitLine;
        }
        model.pSelTag = studio;
        model.pScanStudio = studio;
        commands.SetLink(true, QStringLiteral("ttyUSB0"), {});
    }

    std::vector<Bytes> Sent() { return link.Rest(); }
    CommandResult Change(StrobeData& unit, UnitChange change, Origin origin = Origin::Remote) {
        return commands.ChangeUnit(unit, change, origin);
    }

    QTemporaryDir folder;
    StudioModel model;
    RecordingLinkWriter link;
    CZbProtocol protocol{nullptr, &link};
    std::int64_t nowMs = 0;
    CCommands commands{model, protocol, QDir(folder.path()), [this] { return nowMs; }};
    StudioData* studio = nullptr;
    StrobeData* free = nullptr;
    StrobeData* prop = nullptr;
};

TEST_F(CommandsTest, EachRefusalNamesItsReasonAndSendsAndChangesNothing) {
    StrobeSettings before = free->Settings();
    const auto refused = [&](const CommandResult& r, CommandRefusal why, const char* words) {
        EXPECT_EQ(r.refusal, why) << r.reason.toStdString();
        EXPECT_TRUE(r.reason.contains(QString::fromLatin1(words))) << r.reason.toStdString();
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(free->Settings(), before);
    };
    commands.SetLink(false, QStringLiteral("ttyUSB0"), {});
    refused(Change(*free, {.flash = 60}), CommandRefusal::NotConnected, "not connected");
    refused(commands.TestFlash(*free, Origin::Remote), CommandRefusal::NotConnected,
            "not connected");
    commands.SetLink(true, QStringLiteral("ttyUSB0"), {});

    model.pScanStudio = model.Studio(1);
    refused(Change(*free, {.flash = 60}), CommandRefusal::NotTuned, "tuned to Studio B");
    model.pScanStudio = studio;

    refused(Change(*free, {}), CommandRefusal::BadValue, "nothing to change");
    refused(Change(*free, {.flash = 90}), CommandRefusal::BadValue, "cannot take");
    refused(commands.ChangeTicked(*studio, {.flashOffset = 5}, Origin::Remote),
            CommandRefusal::NothingTicked, "no unit of Studio A is ticked");

    free->bFlashPow = 0;
    before = free->Settings();
    refused(Change(*free, {.cell = 1}), CommandRefusal::SwitchedOff, "switched off");
    refused(commands.TestFlash(*free, Origin::Remote), CommandRefusal::SwitchedOff, "switched off");
    free->bFlashPow = 1;
    before = free->Settings();

    // A scan frees the units; a unit record that is gone is never written from.
    ASSERT_TRUE(commands.Scan(*model.Studio(1)));
    EXPECT_EQ(Sent().size(), 1u);
    refused(Change(*free, {.flash = 60}), CommandRefusal::Scanning, "scan is running");
    commands.EndScan();
    EXPECT_FALSE(commands.Scanning());
}

TEST_F(CommandsTest, TheWindowKeepsWorkingWithThePortClosed) {
    commands.SetLink(false, QStringLiteral("ttyUSB0"), {});
    // The panel steps from whatever a unit reported, even from outside the levels it offers.
    free->nFlashValue = 0;
    ASSERT_TRUE(Change(*free, {.flash = 1}, Origin::Window));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kFlashPower, 0, 1, 40)}));
}

TEST_F(CommandsTest, ModesGoFirstAndAGivenPowerWinsOverTheCoupling) {
    // Both powers given to a unit in "Prop": each goes out as given, in its own frame.
    ASSERT_TRUE(Change(*prop, {.flash = 60, .model = 40}));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kFlashPower, 2, 60, 40),
                                          SettingFrame(kModelPower, 2, 60, 40)}));
    EXPECT_EQ(prop->nFlashValue, 60);
    EXPECT_EQ(prop->nModelValue, 40);

    // Back to "Free" first, so the new flash power drags nothing along.
    ASSERT_TRUE(Change(*prop, {.flash = 70, .modelMode = 0}));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kModelMode1, 2, 0, 0),
                                          SettingFrame(kFlashPower, 2, 70, 40)}));

    // To "Prop" first, so the flash power drags the lamp along, which stops at its end.
    ASSERT_TRUE(Change(*free, {.flash = 80, .modelMode = 1}));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kModelMode1, 0, 0, 8),
                                          SettingFrame(kFlashPower, 0, 80, 70)}));
    ASSERT_TRUE(Change(*free, {.flash = 81}));
    EXPECT_EQ(free->nModelValue, 71);
    ASSERT_TRUE(Change(*free, {.model = 81}));
    EXPECT_EQ(free->nFlashValue, 81) << "the flash power stops at its own end";
    Sent();

    // Switched on first and off last, so the changes between find the unit on.
    free->bFlashPow = 0;
    ASSERT_TRUE(Change(*free, {.flashOn = 1, .cell = 1}));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kFlashSwitch, 0, 0, 1),
                                          SettingFrame(kPhotoCell, 0, 0, 2)}));
    ASSERT_TRUE(Change(*free, {.flashOn = 0, .cell = 0}));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kPhotoCell, 0, 0, 0),
                                          SettingFrame(kFlashSwitch, 0, 0, 0)}));
}

TEST_F(CommandsTest, GroupOffsetsGoOutAsTablesAndEndInTheRecords) {
    for (StrobeData* unit : {free, prop}) {
        ASSERT_TRUE(commands.Tick(*unit, true));
    }
    // Both offsets, one after the other: the "Prop" unit moves both powers by each.
    ASSERT_TRUE(
        commands.ChangeTicked(*studio, {.flashOffset = 10, .modelOffset = -10}, Origin::Remote));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{PowerTable(0x1E, {{0, 60, 40}, {2, 80, 81}}),
                                          PowerTable(0x1F, {{0, 60, 30}, {2, 70, 71}})}));
    EXPECT_EQ(prop->nFlashValue, 70);
    EXPECT_EQ(prop->nModelValue, 71) << "saturated at 8.1 on the way up, then down by 1.0";
    EXPECT_EQ(free->nModelValue, 30);
}

TEST_F(CommandsTest, ChangesOfOneThingWithinASecondMergeIntoOneStep) {
    for (const int flash : {51, 52, 53}) {
        ASSERT_TRUE(Change(*free, {.flash = flash}, Origin::Window));
        nowMs += 400;
    }
    ASSERT_EQ(commands.History().count(), 1);
    EXPECT_EQ(commands.History().undoText(), QStringLiteral("Flash Power CH-01 5.0 → 5.3"));

    // Another setting, another unit, or a pause of more than a second: a step of its own.
    ASSERT_TRUE(Change(*free, {.model = 41}, Origin::Window));
    ASSERT_TRUE(Change(*prop, {.model = 70}, Origin::Window));
    nowMs += 1500;
    ASSERT_TRUE(Change(*prop, {.model = 69}, Origin::Window));
    EXPECT_EQ(commands.History().count(), 4);

    // A resend of the value already held changes nothing worth undoing, and steps that come
    // back to where they started leave no step behind.
    ASSERT_TRUE(Change(*prop, {.model = 69}, Origin::Window));
    EXPECT_EQ(commands.History().count(), 4);
    ASSERT_TRUE(Change(*prop, {.model = 70}, Origin::Window));
    EXPECT_EQ(commands.History().count(), 3);
}

TEST_F(CommandsTest, UndoSendsWhatPutsTheUnitsBackAndRedoSendsTheChangeAgain) {
    ASSERT_TRUE(Change(*free, {.flash = 60, .cell = 1}));
    Sent();
    ASSERT_TRUE(commands.Undo(Origin::Remote));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kFlashPower, 0, 50, 40),
                                          SettingFrame(kPhotoCell, 0, 0, 0)}));
    EXPECT_EQ(free->nFlashValue, 50);
    EXPECT_EQ(free->bFlashCell, 0);
    ASSERT_TRUE(commands.Redo(Origin::Remote));
    EXPECT_EQ(Sent(), (std::vector<Bytes>{SettingFrame(kFlashPower, 0, 60, 40),
                                          SettingFrame(kPhotoCell, 0, 0, 2)}));
    EXPECT_EQ(commands.Redo().refusal, CommandRefusal::NothingToRedo);

    // The ticked units' powers come back as power tables, in one frame for the studio.
    ASSERT_TRUE(commands.Tick(*prop, true));
    ASSERT_TRUE(commands.ChangeTicked(*studio, {.flashOffset = -20}, Origin::Window));
    Sent();
    ASSERT_TRUE(commands.Undo());
    EXPECT_EQ(Sent(), (std::vector<Bytes>{PowerTable(0x1E, {{0, 60, 40}, {2, 70, 75}}),
                                          PowerTable(0x1F, {{0, 60, 40}, {2, 70, 75}})}));
}

TEST_F(CommandsTest, AScanDropsItsStudiosStepsAndAStepWhoseUnitsAreGoneIsRefused) {
    ASSERT_TRUE(Change(*free, {.flash = 60}));
    ASSERT_TRUE(commands.Rename(*prop, true, QStringLiteral("Key")));
    EXPECT_EQ(commands.History().undoText(), QStringLiteral("Name CH-03 Not define → Key"));
    Sent();

    // The unit on CH-03 answered again as a new record: the step names a unit that is gone.
    model.PlaceUnit(*studio, 2, std::make_unique<StrobeData>());
    const CommandResult gone = commands.Undo();
    EXPECT_EQ(gone.refusal, CommandRefusal::NoUnit);
    EXPECT_TRUE(gone.reason.contains(QStringLiteral("no longer there")));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(commands.History().index(), 2);

    ASSERT_TRUE(commands.Scan(*studio));
    EXPECT_EQ(commands.History().count(), 0);
    EXPECT_EQ(commands.Undo().refusal, CommandRefusal::NothingToUndo);
}

TEST_F(CommandsTest, TheHistoryKeepsAHundredSteps) {
    for (int i = 0; i < CCommands::kHistoryLimit + 5; ++i) {
        ASSERT_TRUE(Change(*free, {.flash = 20 + (i % 50)}, Origin::Window));
        nowMs += CCommands::kMergeWindowMs + 1;
    }
    EXPECT_EQ(commands.History().count(), CCommands::kHistoryLimit);
}

TEST_F(CommandsTest, ALoadIsOneStepThatUndoSendsBackUnitByUnit) {
    StudioData setup;
    auto saved = std::make_unique<StrobeData>();
    saved->Settings() = {.nFlashValue = 33, .nModelValue = 22};
    saved->sLightName = QStringLiteral("Rim");
    model.PlaceUnit(setup, 0, std::move(saved));
    ASSERT_TRUE(commands.LoadFrom(setup, QStringLiteral("Rim light"), Origin::Remote));
    const std::vector<Bytes> loaded = Sent();
    ASSERT_EQ(loaded.size(), 2u) << "one unit-settings frame for each unit of the studio";
    EXPECT_EQ(free->sLightName, QStringLiteral("Rim"));
    EXPECT_EQ(commands.History().undoText(), QStringLiteral("Load \"Rim light\" (2 units)"));

    ASSERT_TRUE(commands.Undo());
    const std::vector<Bytes> undone = Sent();
    ASSERT_EQ(undone.size(), 2u);
    EXPECT_EQ(undone[0][6], 50) << "CH-01's flash power before the load";
    EXPECT_EQ(free->sLightName, QStringLiteral("Not define"));
}

}  // namespace
