// The group settings panel attached on its own: the frames its sliders, arrows and buttons write
// (written down by a recording link writer), the messages it posts to the navigation view (a
// stand-in that writes them down), and what it does to the ticked units' records.

#include "model/StudioModel.h"
#include "panels/ControlSelFormView.h"
#include "support/ControlInput.h"
#include "support/PaneKit.h"
#include "support/PlaceUnit.h"
#include "support/PowerGroupControls.h"
#include "support/PowerTable.h"

#include <QFontMetrics>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace {

using Bytes = RecordingLinkWriter::Bytes;
using Message = NotifyRecorder::Message;

Message TickedChanged(int code) {
    return {Msg::TickedUnitsChanged, code, 0};
}

class GroupPanelTest : public ::testing::Test, protected PowerGroupControls {
protected:
    void SetUp() override {
        studio = kit.model.pStudio[0].get();
        studio->nItemKind = TreeItemTag::StudioLine;
        kit.model.pSelTag = studio;

        panel = kit.ShowPane<CControlSelFormView>();
        ASSERT_NE(panel, nullptr);
        FindControls(*panel, QStringLiteral("sel"));
    }

    // Places a unit in Studio A and lists the studio's units as the grid's rows, in slot order.
    StrobeData* AddUnit(int slot, int flash, int modelPower, int ticked = 1, int mode1 = 0) {
        StrobeData* placed =
            PlaceNewUnit(kit.model, 0, slot,
                         {.nFlashValue = flash, .nModelValue = modelPower, .nModelMode1 = mode1});
        placed->bSelected = ticked;
        kit.model.arUnits.clear();
        for (int s = 0; s < 10; ++s) {
            if (StrobeData* u = studio->Unit(s)) {
                kit.model.arUnits.append(u);
            }
        }
        return placed;
    }

    // The next frame on the line.
    Bytes Next() { return kit.link.Next(); }

    // Nothing went out since the last frame read.
    void ExpectNothingWritten() { EXPECT_EQ(kit.link.Rest(), std::vector<Bytes>{}); }

    std::vector<Message> ToNavigation() { return kit.host.navigation.Take(); }

    PaneKit kit;
    StudioData* studio = nullptr;
    std::unique_ptr<CControlSelFormView> panel;
};

TEST_F(GroupPanelTest, StartsCentredWithNothingChosenInItsFontsAndColours) {
    for (CUserStatic* label : {flashLabel, modelLabel}) {
        EXPECT_EQ(label->text(), QStringLiteral("0.0"));
        EXPECT_EQ(label->font().family(), QStringLiteral("Arial"));
        // Sized by its character cell: the largest whole size whose cell is no taller than 34.
        EXPECT_LE(QFontMetrics(label->font()).height(), 34);
        EXPECT_GE(QFontMetrics(label->font()).height(), 32);
        EXPECT_EQ(label->TextColor(), QColor(0, 192, 0));
        EXPECT_EQ(label->BackgroundColor(), QColor(240, 240, 240));
    }
    for (COXCoolSliderCtrl* slider : {flashSlider, modelSlider}) {
        EXPECT_EQ(slider->minimum(), 1);
        EXPECT_EQ(slider->maximum(), 163);
        EXPECT_EQ(slider->GetPos(), 82);
    }
    EXPECT_LE(QFontMetrics(power->font()).height(), 16);
    EXPECT_GE(QFontMetrics(power->font()).height(), 14);
    EXPECT_EQ(power->font().weight(), QFont::Black);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             cell, sound, power, freeRadio, propRadio, off, continuous, flashProp}) {
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    }
    EXPECT_LT(flashLabel->geometry().right(), modelLabel->geometry().left());
    EXPECT_LT(flashLabel->geometry().bottom(), flashSlider->geometry().top());
}

TEST_F(GroupPanelTest, EveryControlHasANameAndTakesTheKeyboard) {
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        // The spin control's arrows are parts of one tab stop, the control itself.
        if (qobject_cast<COXCoolSpinButtonCtrl*>(w->parentWidget())) {
            continue;
        }
        const bool operable = qobject_cast<QAbstractButton*>(w) ||
                              qobject_cast<QAbstractSlider*>(w) ||
                              qobject_cast<COXCoolSpinButtonCtrl*>(w);
        if (operable) {
            EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
        }
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
}

TEST_F(GroupPanelTest, OffsetsReadSignedFromMinusToPlusEightPointOne) {
    PressKey(flashSlider, Qt::Key_End);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("8.1"));
    EXPECT_EQ(panel->FlashOffset(), 81);
    PressKey(flashSlider, Qt::Key_Home);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("-8.1"));
    EXPECT_EQ(flashSlider->GetPos(), 1);

    // From the centre: five steps down read -0.5, fifteen up from the centre 1.5.
    panel->ResetGroupPanel();
    for (int i = 0; i < 5; ++i) {
        ClickArrow(modelSpin, "Down");
    }
    EXPECT_EQ(modelLabel->text(), QStringLiteral("-0.5"));
    EXPECT_EQ(modelSlider->GetPos(), 77);
    for (int i = 0; i < 20; ++i) {
        ClickArrow(modelSpin, "Up");
    }
    EXPECT_EQ(modelLabel->text(), QStringLiteral("1.5"));
    EXPECT_EQ(modelSlider->GetPos(), 97);
    // With nobody ticked none of this reached the line or the grid.
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());
}

TEST_F(GroupPanelTest, TickedUnitsMoveTogetherSaturateAndComeBackByTheOffset) {
    StrobeData* low = AddUnit(1, 30, 50);
    StrobeData* unticked = AddUnit(2, 44, 33, 0);
    StrobeData* high = AddUnit(4, 75, 50);

    PressKey(flashSlider, Qt::Key_PageUp);  // one page: +1.0
    EXPECT_EQ(flashLabel->text(), QStringLiteral("1.0"));
    EXPECT_EQ(low->nFlashValue, 40);
    EXPECT_EQ(high->nFlashValue, 81);
    EXPECT_EQ(unticked->nFlashValue, 44);
    const Bytes up = PowerTable(0x1E, {{1, 40, 50}, {2, 44, 33}, {4, 81, 50}});
    EXPECT_EQ(Next(), up);
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(5)});

    PressKey(flashSlider, Qt::Key_PageDown);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.0"));
    // The saturated unit comes back by the offset, not to where it started.
    EXPECT_EQ(low->nFlashValue, 30);
    EXPECT_EQ(high->nFlashValue, 71);
    const Bytes back = PowerTable(0x1E, {{1, 30, 50}, {2, 44, 33}, {4, 71, 50}});
    EXPECT_EQ(Next(), back);
    ExpectNothingWritten();
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(5)});
}

TEST_F(GroupPanelTest, AReleaseWithoutMovementStillSendsOneTable) {
    AddUnit(0, 33, 44);
    const QPoint thumb = ThumbCentre(modelSlider);
    QTest::mousePress(modelSlider, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(modelSlider, Qt::LeftButton, {}, thumb);
    const Bytes table = PowerTable(0x1F, {{0, 33, 44}});
    EXPECT_EQ(Next(), table);
    ExpectNothingWritten();
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(5)});
}

TEST_F(GroupPanelTest, ADragSendsNothingUntilReleasedAndAPropUnitMovesBothPowers) {
    StrobeData* prop = AddUnit(3, 50, 40, 1, 1);
    QTest::mousePress(modelSlider, Qt::LeftButton, {}, ThumbCentre(modelSlider));
    modelSlider->setSliderPosition(79);
    modelSlider->setSliderPosition(77);
    EXPECT_EQ(modelLabel->text(), QStringLiteral("-0.5"));
    EXPECT_EQ(prop->nModelValue, 40) << "the units are touched only on release";
    QTest::mouseRelease(modelSlider, Qt::LeftButton, {}, ThumbCentre(modelSlider));

    EXPECT_EQ(prop->nFlashValue, 45);
    EXPECT_EQ(prop->nModelValue, 35);
    const Bytes table = PowerTable(0x1F, {{3, 45, 35}});
    EXPECT_EQ(Next(), table) << "the release's table is the first frame on the line";
    ExpectNothingWritten();
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(5)});
}

TEST_F(GroupPanelTest, EachArrowStepSendsOneTableAndStopsAtTheEnds) {
    StrobeData* unit = AddUnit(5, 30, 40);
    PressKey(flashSpin, Qt::Key_Up);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.1"));
    EXPECT_EQ(flashSlider->GetPos(), 83);
    const Bytes step = PowerTable(0x1E, {{5, 31, 40}});
    EXPECT_EQ(Next(), step);
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(5)});

    PressKey(flashSlider, Qt::Key_End);
    const Bytes top = PowerTable(0x1E, {{5, 81, 40}});
    EXPECT_EQ(Next(), top);
    ToNavigation();
    // At 8.1 the up arrow is refused: no frame, no message, the unit untouched.
    ClickArrow(flashSpin, "Up");
    EXPECT_EQ(flashLabel->text(), QStringLiteral("8.1"));
    EXPECT_EQ(unit->nFlashValue, 81);
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());

    PressKey(modelSlider, Qt::Key_Home);
    const Bytes bottom = PowerTable(0x1F, {{5, 81, 11}});
    EXPECT_EQ(Next(), bottom);
    ClickArrow(modelSpin, "Down");
    EXPECT_EQ(modelLabel->text(), QStringLiteral("-8.1"));
    ExpectNothingWritten();
}

TEST_F(GroupPanelTest, TheFirstOneStepNudgeRightOfTheCentreCountsAsNoMove) {
    StrobeData* unit = AddUnit(0, 40, 40);
    QTest::mousePress(flashSlider, Qt::LeftButton, {}, ThumbCentre(flashSlider));
    flashSlider->setSliderPosition(83);
    EXPECT_EQ(flashSlider->GetPos(), 82);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.0"));
    // The second move of the same drag counts in full.
    flashSlider->setSliderPosition(85);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.3"));
    QTest::mouseRelease(flashSlider, Qt::LeftButton, {}, ThumbCentre(flashSlider));
    EXPECT_EQ(unit->nFlashValue, 43);
    const Bytes table = PowerTable(0x1E, {{0, 43, 40}});
    EXPECT_EQ(Next(), table);

    // Back at the centre, the snap is armed again for the next drag.
    panel->ResetGroupPanel();
    QTest::mousePress(flashSlider, Qt::LeftButton, {}, ThumbCentre(flashSlider));
    flashSlider->setSliderPosition(83);
    EXPECT_EQ(flashSlider->GetPos(), 82);
    QTest::mouseRelease(flashSlider, Qt::LeftButton, {}, ThumbCentre(flashSlider));
    EXPECT_EQ(Next(), table) << "the release applies the unchanged offset";

    // A key step is meant as it is: each Right from the centre moves the offset and the units one
    // step, one power table a step.
    for (int step = 1; step <= 3; ++step) {
        PressKey(flashSlider, Qt::Key_Right);
        EXPECT_EQ(flashSlider->GetPos(), 82 + step);
        EXPECT_EQ(flashLabel->text(), QStringLiteral("0.%1").arg(step));
        EXPECT_EQ(Next(), PowerTable(0x1E, {{0, static_cast<std::uint8_t>(43 + step), 40}}))
            << step;
    }
    EXPECT_EQ(unit->nFlashValue, 46);
    ExpectNothingWritten();
}

TEST_F(GroupPanelTest, PropInThePanelCouplesTheOffsetsAndEachUnitFollowsItsOwnMode) {
    // Chosen with nobody ticked: only the panel changes.
    propRadio->click();
    ExpectNothingWritten();
    StrobeData* freeUnit = AddUnit(0, 30, 40);
    StrobeData* propUnit = AddUnit(9, 60, 20, 1, 1);

    ClickArrow(flashSpin, "Up");
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.1"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("0.1"));
    EXPECT_EQ(modelSlider->GetPos(), 83);
    // The free unit moves each power by its own offset, both of which moved; the prop unit moves
    // both by the flash offset. One table, of the offset the user changed.
    EXPECT_EQ(freeUnit->nFlashValue, 31);
    EXPECT_EQ(freeUnit->nModelValue, 41);
    EXPECT_EQ(propUnit->nFlashValue, 61);
    EXPECT_EQ(propUnit->nModelValue, 21);
    const Bytes table = PowerTable(0x1E, {{0, 31, 41}, {9, 61, 21}});
    EXPECT_EQ(Next(), table);
    ExpectNothingWritten();
}

TEST_F(GroupPanelTest, ButtonsSendOneFrameToAllTickedUnits) {
    StrobeData* a = AddUnit(0, 40, 40);
    StrobeData* b = AddUnit(1, 40, 40);
    StrobeData* idle = AddUnit(3, 40, 40, 0);
    StrobeData* c = AddUnit(6, 40, 40);

    test->click();
    const Bytes testFlash = {0xFF, 0x07, 0x1B, 0x02, 0x03, 0x00, 0x00};
    EXPECT_EQ(Next(), testFlash);
    EXPECT_TRUE(ToNavigation().empty()) << "a test flash changes nothing to redraw";

    PressKey(cell, Qt::Key_Space);
    const Bytes cellOn = {0xFF, 0x07, 0x17, 0x02, 0x03, 0x00, 0x02};
    EXPECT_EQ(Next(), cellOn);
    for (StrobeData* u : {a, b, c}) {
        EXPECT_EQ(u->bFlashCell, 1);
    }
    EXPECT_EQ(idle->bFlashCell, 0);
    EXPECT_EQ(ToNavigation(), std::vector<Message>{TickedChanged(1)});

    off->click();
    const Bytes lampOff = {0xFF, 0x07, 0x1C, 0x02, 0x03, 0x00, 0x00};
    EXPECT_EQ(Next(), lampOff);
    EXPECT_EQ(c->bModelPow, 0);
    EXPECT_EQ(idle->bModelPow, 1);

    continuous->click();
    const Bytes mode2 = {0xFF, 0x07, 0x16, 0x02, 0x03, 0x00, 0x10};
    EXPECT_EQ(Next(), mode2);
    EXPECT_EQ(a->nModelMode2, 1);

    power->click();
    const Bytes switchOn = {0xFF, 0x07, 0x1D, 0x02, 0x03, 0x00, 0x01};
    EXPECT_EQ(Next(), switchOn);
    EXPECT_EQ(ToNavigation(),
              (std::vector<Message>{TickedChanged(8), TickedChanged(7), TickedChanged(4)}));
    ExpectNothingWritten();
}

TEST_F(GroupPanelTest, WithNobodyTickedOnlyThePanelChangesAndTheOffsetCountsAsSent) {
    StrobeData* unit = AddUnit(2, 30, 40, 0);
    cell->click();
    EXPECT_TRUE(cell->isChecked());
    PressKey(flashSlider, Qt::Key_PageUp);
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());
    EXPECT_EQ(unit->nFlashValue, 30);

    // Ticked now, the unit gets only the next step, not the +1.0 that went before.
    unit->bSelected = 1;
    ClickArrow(flashSpin, "Up");
    EXPECT_EQ(flashLabel->text(), QStringLiteral("1.1"));
    EXPECT_EQ(unit->nFlashValue, 31);
    const Bytes table = PowerTable(0x1E, {{2, 31, 40}});
    EXPECT_EQ(Next(), table);
}

TEST_F(GroupPanelTest, AResetClearsEveryControlAndStartsTheOffsetsAfresh) {
    StrobeData* unit = AddUnit(0, 30, 40);
    PressKey(flashSlider, Qt::Key_PageUp);
    propRadio->click();
    flashProp->click();
    cell->click();
    off->click();
    EXPECT_EQ(kit.link.Rest().size(), 5u);
    EXPECT_EQ(unit->nFlashValue, 40);

    panel->ResetGroupPanel();
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.0"));
    EXPECT_EQ(flashSlider->GetPos(), 82);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             cell, sound, power, freeRadio, propRadio, off, continuous, flashProp}) {
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    }
    ExpectNothingWritten();

    // Uncoupled again, and the next step counts from the reset offset of zero.
    ClickArrow(flashSpin, "Up");
    EXPECT_EQ(modelLabel->text(), QStringLiteral("0.0"));
    EXPECT_EQ(unit->nFlashValue, 41);
}

}  // namespace
