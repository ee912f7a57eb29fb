#include "model/FixedNames.h"
#include "model/StudioModel.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

StrobeData* Place(StudioModel& model, int slot, int studio) {
    auto unit = std::make_unique<StrobeData>();
    StrobeData* raw = unit.get();
    EXPECT_EQ(model.PlaceUnit(slot, studio, std::move(unit)), nullptr);
    return raw;
}

// Marks a unit as shown in the tree, as the studio list does when it inserts its line.
void ShowInTree(StudioData& studio, StrobeData& unit) {
    studio.nItemKind = TreeItemTag::StudioLine;
    unit.nItemKind = TreeItemTag::UnitLine;
    unit.lightNameTag.nItemKind = TreeItemTag::LightNameLine;
}

int UsedSlots(const StudioData& studio) {
    int used = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(studio.bChUsed[slot] != 0, studio.pChItem[slot] != nullptr) << "slot " << slot;
        if (studio.pChItem[slot]) {
            EXPECT_EQ(studio.pChItem[slot]->nChNum, slot);
            EXPECT_EQ(studio.pChItem[slot]->sChName, kSlotNames[slot].toString());
            EXPECT_EQ(studio.pChItem[slot]->pParent, &studio);
            ++used;
        }
    }
    return used;
}

}  // namespace

TEST(StudioModel, StartsWithFiveNamedEmptyStudiosAndNoSelection) {
    StudioModel model;
    for (int i = 0; i < kStudioCount; ++i) {
        ASSERT_NE(model.pStudio[i], nullptr);
        EXPECT_EQ(model.pStudio[i]->nStudioNum, i);
        EXPECT_EQ(model.pStudio[i]->sStudioName, QString(QChar(u'A' + i)).prepend("Studio "));
        EXPECT_EQ(model.pStudio[i]->nChItemCnt, 0);
        EXPECT_EQ(model.pStudio[i]->nItemKind, TreeItemTag::NotShown);
        EXPECT_EQ(model.pStudio[i]->pParent, nullptr);
    }
    EXPECT_EQ(model.pFileStudio->nStudioNum, -1);
    EXPECT_TRUE(model.pFileStudio->sStudioName.isEmpty());
    EXPECT_EQ(model.pScanStudio, nullptr);
    EXPECT_EQ(model.pSelTag, nullptr);
    EXPECT_EQ(model.SelectedStudio(), nullptr);
    EXPECT_EQ(model.SelectedUnit(), nullptr);
}

TEST(StudioModel, NewUnitPlacedInSlotFourOfStudioCHasItsDefaults) {
    StudioModel model;
    StrobeData* unit = Place(model, 4, 2);
    const StudioData& studioC = *model.pStudio[2];
    EXPECT_EQ(studioC.nChItemCnt, 1);
    EXPECT_EQ(studioC.Unit(4), unit);
    EXPECT_EQ(unit->nChNum, 4);
    EXPECT_EQ(unit->sChName, "CH-05");
    EXPECT_EQ(unit->sModelName, "Not define");
    EXPECT_EQ(unit->sLightName, "Not define");
    const StrobeSettings expected{.nFlashValue = 0,
                                  .bFlashCell = 0,
                                  .bFlashSnd = 0,
                                  .bFlashCharge = 1,
                                  .bFlashPow = 1,
                                  .nModelValue = 0,
                                  .nModelMode1 = 0,
                                  .nModelMode2 = 0,
                                  .bModelPow = 1};
    EXPECT_EQ(unit->Settings(), expected);
    EXPECT_EQ(unit->bSelected, 0);
    EXPECT_EQ(unit->nHeatLevel, 0);
    EXPECT_EQ(unit->lightNameTag.pParent, unit);
    EXPECT_EQ(unit->lightNameTag.nItemKind, TreeItemTag::NotShown);
    EXPECT_EQ(UsedSlots(studioC), 1);
}

TEST(StudioModel, SettingsFormOneContiguousBlockInTheirOrder) {
    // A status report and a studio copy move the nine settings as one block.
    static_assert(sizeof(StrobeSettings) == 9 * sizeof(int));
    StrobeData unit;
    const int* block = &unit.Settings().nFlashValue;
    EXPECT_EQ(block + 1, &unit.bFlashCell);
    EXPECT_EQ(block + 3, &unit.bFlashCharge);
    EXPECT_EQ(block + 5, &unit.nModelValue);
    EXPECT_EQ(block + 8, &unit.bModelPow);
}

TEST(StudioModel, PlacingIntoAnOccupiedSlotReplacesTheUnitAndKeepsTheCount) {
    StudioModel model;
    Place(model, 3, 0);
    Place(model, 7, 0);
    StrobeData* second = Place(model, 3, 0);
    EXPECT_EQ(model.pStudio[0]->nChItemCnt, 2);
    EXPECT_EQ(model.pStudio[0]->Unit(3), second);
    EXPECT_EQ(UsedSlots(*model.pStudio[0]), 2);
}

TEST(StudioModel, PlacingOutsideTheSlotsOrStudiosChangesNothingAndHandsTheUnitBack) {
    StudioModel model;
    for (const auto& [slot, studio] : {std::pair{10, 0}, {-1, 0}, {0, 5}, {0, -1}}) {
        auto unit = std::make_unique<StrobeData>();
        StrobeData* raw = unit.get();
        auto back = model.PlaceUnit(slot, studio, std::move(unit));
        EXPECT_EQ(back.get(), raw) << slot << "," << studio;
        EXPECT_EQ(raw->pParent, nullptr);
    }
    for (const auto& studio : model.pStudio) {
        EXPECT_EQ(studio->nChItemCnt, 0);
        EXPECT_EQ(UsedSlots(*studio), 0);
    }
    auto unit = std::make_unique<StrobeData>();
    EXPECT_NE(model.PlaceUnit(*model.pFileStudio, 10, std::move(unit)), nullptr);
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 0);
}

TEST(StudioModel, PlacingByPointerFillsTheFileStudio) {
    StudioModel model;
    EXPECT_EQ(model.PlaceUnit(*model.pFileStudio, 9, std::make_unique<StrobeData>()), nullptr);
    ASSERT_NE(model.pFileStudio->Unit(9), nullptr);
    EXPECT_EQ(model.pFileStudio->Unit(9)->sChName, "CH-10");
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 1);
}

TEST(StudioModel, SelectionResolvesToStudioAndUnitByLineKind) {
    StudioModel model;
    StudioData& studioB = *model.pStudio[1];
    StrobeData* unit = Place(model, 6, 1);
    ShowInTree(studioB, *unit);

    model.pSelTag = &studioB;
    EXPECT_EQ(model.SelectedStudio(), &studioB);
    EXPECT_EQ(model.SelectedUnit(), nullptr);

    model.pSelTag = unit;
    EXPECT_EQ(model.SelectedStudio(), &studioB);
    EXPECT_EQ(model.SelectedUnit(), unit);

    model.pSelTag = &unit->lightNameTag;
    EXPECT_EQ(model.SelectedStudio(), &studioB);
    EXPECT_EQ(model.SelectedUnit(), unit);
}

TEST(StudioModel, ClearingTheSelectedStudioMovesTheSelectionToItsOwnLine) {
    StudioModel model;
    StudioData& studioA = *model.pStudio[0];
    StudioData& studioD = *model.pStudio[3];
    StrobeData* unitA = Place(model, 0, 0);
    StrobeData* unitD = Place(model, 2, 3);
    ShowInTree(studioA, *unitA);
    ShowInTree(studioD, *unitD);

    model.pSelTag = &unitA->lightNameTag;
    model.arUnits = {unitA};
    model.ClearStudio(studioA);
    EXPECT_EQ(model.pSelTag, &studioA);
    EXPECT_EQ(studioA.nChItemCnt, 0);
    EXPECT_EQ(UsedSlots(studioA), 0);
    EXPECT_TRUE(model.arUnits.isEmpty());

    model.pSelTag = unitD;
    model.ClearStudio(studioA);
    EXPECT_EQ(model.pSelTag, unitD);

    model.ClearStudio(studioD);
    EXPECT_EQ(model.pSelTag, &studioD);
}

TEST(StudioModel, ReplacingTheSelectedUnitLeavesNoDanglingSelection) {
    StudioModel model;
    StudioData& studioA = *model.pStudio[0];
    StrobeData* unit = Place(model, 5, 0);
    ShowInTree(studioA, *unit);
    model.pSelTag = unit;
    model.arUnits = {unit};
    Place(model, 5, 0);
    EXPECT_EQ(model.pSelTag, &studioA);
    EXPECT_TRUE(model.arUnits.isEmpty());
}

TEST(StudioModel, CopyStudioTouchesOnlySlotsUsedOnBothSides) {
    StudioModel model;
    StudioData& file = *model.pFileStudio;
    StudioData& target = *model.pStudio[0];
    for (int slot : {0, 2}) {
        auto unit = std::make_unique<StrobeData>();
        unit->sModelName = QStringLiteral("Key %1").arg(slot);
        unit->sLightName = QStringLiteral("Soft %1").arg(slot);
        unit->nFlashValue = 60 + slot;
        unit->nModelValue = 30 + slot;
        unit->bFlashCharge = 0;
        unit->nModelMode2 = 1;
        model.PlaceUnit(file, slot, std::move(unit));
    }
    StrobeData* two = Place(model, 2, 0);
    StrobeData* five = Place(model, 5, 0);
    two->bSelected = 1;
    two->nHeatLevel = 70;
    five->nFlashValue = 44;

    EXPECT_EQ(StudioModel::CopyStudio(&target, file), 1);
    EXPECT_EQ(target.nChItemCnt, 2);
    EXPECT_EQ(target.Unit(0), nullptr);
    EXPECT_EQ(two->sModelName, "Key 2");
    EXPECT_EQ(two->sLightName, "Soft 2");
    EXPECT_EQ(two->Settings(), file.Unit(2)->Settings());
    EXPECT_EQ(two->nChNum, 2);
    EXPECT_EQ(two->sChName, "CH-03");
    EXPECT_EQ(two->bSelected, 1);
    EXPECT_EQ(two->nHeatLevel, 70);
    EXPECT_EQ(five->nFlashValue, 44);
    EXPECT_EQ(five->sModelName, "Not define");

    EXPECT_EQ(StudioModel::CopyStudio(nullptr, file), 0);
}

TEST(FixedNames, UnitLineAndPowerLevelTexts) {
    StudioModel model;
    StrobeData* unit = Place(model, 9, 4);
    unit->sModelName = QStringLiteral("Key");
    EXPECT_EQ(unit->UnitLineText(), "CH-10 Key");
    EXPECT_EQ(Place(model, 2, 4)->UnitLineText(), "CH-03 Not define");
    EXPECT_EQ(PowerLevelText(81), "8.1");
    EXPECT_EQ(PowerLevelText(11), "1.1");
    EXPECT_EQ(PowerLevelText(55), "5.5");
    EXPECT_EQ(PowerLevelText(0), "0.0");
}
