// The remote control panel attached on its own: what it shows of the unit of the selection, the
// frames its sliders, arrows and buttons write to the line, what it tells the navigation view, and
// what it does when there is no unit to act on. The frames are written down by a recording link
// writer; the navigation view is a stand-in that writes down what reaches it.

#include "model/StudioModel.h"
#include "panels/ControlFormView.h"
#include "support/ControlInput.h"
#include "support/PaneKit.h"
#include "support/PlaceUnit.h"
#include "support/PowerGroupControls.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using Bytes = RecordingLinkWriter::Bytes;
using Message = NotifyRecorder::Message;

constexpr int kSlot = 2;  // the unit under test: mask 0x0004

Bytes SettingFrame(std::uint8_t type, std::uint8_t high, std::uint8_t low) {
    return {0xFF, 0x07, static_cast<std::uint8_t>(0x10 + type), 0x00, 0x04, high, low};
}

class ControlPanelTest : public ::testing::Test, protected PowerGroupControls {
protected:
    void SetUp() override {
        ASSERT_TRUE(kit.folder.isValid());
        // At the size it has in the main window's middle column.
        panel = kit.ShowPane<CControlFormView>({325, 450});
        ASSERT_NE(panel, nullptr);

        combo = panel->findChild<QComboBox*>(QStringLiteral("modeCombo"));
        ASSERT_NE(combo, nullptr);
        FindControls(*panel);
    }

    // Places a unit in Studio A, slot 2, makes its line the selection, as the studio tree does,
    // and has the grid tell the panel about it.
    StrobeData* SelectUnit(int flash, int model, int mode1 = 0, int flashPow = 1,
                           int modelPow = 1) {
        StrobeData* placed = PlaceNewUnit(kit.model, 0, kSlot,
                                          {.nFlashValue = flash,
                                           .bFlashPow = flashPow,
                                           .nModelValue = model,
                                           .nModelMode1 = mode1,
                                           .bModelPow = modelPow});
        placed->nItemKind = TreeItemTag::UnitLine;
        kit.model.pSelTag = placed;
        SendWindowMessage(panel.get(), Msg::ShowSelectedUnit);
        return placed;
    }

    // The next frame on the line.
    Bytes Next() { return kit.link.Next(); }

    // Nothing went out since the last frame read.
    void ExpectNothingWritten() { EXPECT_EQ(kit.link.Rest(), std::vector<Bytes>{}); }

    // The window messages posted to the navigation view, once the event loop delivered them.
    std::vector<Message> ToNavigation() { return kit.host.navigation.Take(); }

    // What the navigation view is told of a change of the unit of the selection.
    Message Changed(int code) const {
        return {Msg::UnitSettingChanged, code, AsLParam(kit.model.SelectedUnit())};
    }

    PaneKit kit;
    std::unique_ptr<CControlFormView> panel;
    QComboBox* combo = nullptr;
};

TEST_F(ControlPanelTest, StartsWithItsCaptionsEntriesFontsAndColours) {
    EXPECT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Flash/Model settings"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Selected unit(s) settings"));
    EXPECT_EQ(combo->currentIndex(), 0);
    for (CUserStatic* label : {flashLabel, modelLabel}) {
        EXPECT_EQ(label->text(), QStringLiteral("0.0"));
        EXPECT_EQ(label->font().family(), QStringLiteral("Arial"));
        // Sized by its character cell: the largest whole size whose cell is no taller than 34.
        EXPECT_LE(QFontMetrics(label->font()).height(), 34);
        EXPECT_GE(QFontMetrics(label->font()).height(), 32);
        EXPECT_EQ(label->font().weight(), QFont::Medium);
        EXPECT_EQ(label->TextColor(), QColor(0, 192, 0));
        EXPECT_EQ(label->BackgroundColor(), QColor(240, 240, 240));
    }
    EXPECT_LE(QFontMetrics(power->font()).height(), 16);
    EXPECT_GE(QFontMetrics(power->font()).height(), 14);
    EXPECT_EQ(power->font().weight(), QFont::Black);
    for (COXCoolSliderCtrl* slider : {flashSlider, modelSlider}) {
        EXPECT_EQ(slider->minimum(), 11);
        EXPECT_EQ(slider->maximum(), 81);
    }
    // Until the first unit or the first empty studio, everything can be used.
    for (QWidget* w : std::initializer_list<QWidget*>{combo, flashSpin, cell, power, test, off}) {
        EXPECT_TRUE(w->isEnabled());
    }
    // Side by side as laid out: the flash group left of the model group, value above slider.
    EXPECT_LT(flashLabel->geometry().right(), modelLabel->geometry().left());
    EXPECT_LT(flashLabel->geometry().bottom(), flashSlider->geometry().top());
    EXPECT_LT(power->geometry().bottom(), test->geometry().top());
}

TEST_F(ControlPanelTest, EveryControlHasANameAndTakesTheKeyboard) {
    // The panel's own controls; the scroll bars inside its list and text boxes are theirs.
    for (QWidget* w : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool operable = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                              qobject_cast<QAbstractSlider*>(w) ||
                              qobject_cast<COXCoolSpinButtonCtrl*>(w);
        if (!operable || qobject_cast<QToolButton*>(w)) {
            continue;  // the spin's arrows are reached through the spin's own keys
        }
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
    }
}

TEST_F(ControlPanelTest, ShowsTheUnitOfTheSelection) {
    StrobeData* unit = SelectUnit(56, 41, 1);
    unit->bFlashSnd = 1;
    SendWindowMessage(panel.get(), Msg::ShowSelectedUnit);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.6"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("4.1"));
    EXPECT_EQ(flashSlider->GetPos(), 56);
    EXPECT_EQ(modelSlider->GetPos(), 41);
    EXPECT_FALSE(cell->isChecked());
    EXPECT_TRUE(sound->isChecked());
    EXPECT_TRUE(power->isChecked());
    EXPECT_EQ(power->text(), QStringLiteral("Power\nOn"));
    EXPECT_TRUE(propRadio->isChecked());
    EXPECT_FALSE(freeRadio->isChecked());
    EXPECT_TRUE(flashProp->isChecked());
    EXPECT_FALSE(continuous->isChecked());
    EXPECT_FALSE(off->isChecked());
    EXPECT_TRUE(modelSlider->isEnabled());
    // Showing writes nothing to the line.
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());
}

TEST_F(ControlPanelTest, BothLayoutsPutTheirPowerGroupsInTheSamePlace) {
    // Switching layouts must not make the groups jump.
    for (const char* name : {"flashGroup", "modelGroup"}) {
        const QString base = QString::fromLatin1(name);
        auto* own = panel->findChild<QWidget*>(base);
        auto* group = panel->findChild<QWidget*>(QStringLiteral("sel") + base.left(1).toUpper() +
                                                 base.mid(1));
        ASSERT_NE(own, nullptr);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(QRect(own->mapTo(panel.get(), QPoint()), own->size()),
                  QRect(group->mapTo(panel.get(), QPoint()), group->size()))
            << name;
    }
}

TEST_F(ControlPanelTest, AUnitWithItsLampOffAndOutOfRangeValuesIsShownAsStored) {
    SelectUnit(0, 50, 0, 1, 0);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.0"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("OFF"));
    EXPECT_TRUE(off->isChecked());
    // An up step from 0 raises it by one, and the frame carries it.
    PressKey(flashSpin, Qt::Key_Up);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.1"));
    EXPECT_EQ(Next(), SettingFrame(3, 1, 50));
}

TEST_F(ControlPanelTest, ASwitchedOffUnitLeavesOnlyTheComboAndThePowerButton) {
    SelectUnit(40, 40, 0, 0);
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(power->isEnabled());
    EXPECT_FALSE(power->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{
             flashLabel, flashSpin, flashSlider, cell, sound, test, freeRadio, propRadio,
             modelLabel, modelSpin, modelSlider, continuous, flashProp, off}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
}

TEST_F(ControlPanelTest, ArrowStepsStopAtTheEndsOfThePowerWindow) {
    StrobeData* unit = SelectUnit(81, 11);
    PressKey(flashSpin, Qt::Key_Up);
    ClickArrow(modelSpin, "Down");
    EXPECT_EQ(flashLabel->text(), QStringLiteral("8.1"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("1.1"));
    EXPECT_EQ(unit->nFlashValue, 81);
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());

    // One step back inside goes out: the model arrow sends type 4 and change code 5.
    ClickArrow(modelSpin, "Up");
    EXPECT_EQ(Next(), SettingFrame(4, 81, 12));
    EXPECT_EQ(unit->nModelValue, 12);
    EXPECT_EQ(modelSlider->GetPos(), 12);
    EXPECT_EQ(ToNavigation(), std::vector<Message>{Changed(5)});
}

TEST_F(ControlPanelTest, PropCouplingSaturatesAtTheTopAndKeepsTheNewGap) {
    StrobeData* unit = SelectUnit(50, 80, 1);
    // Two steps up: the lamp stops at 8.1; two down: it keeps the new gap of 2.9.
    struct Steps {
        const char* arrow;
        std::vector<Bytes> frames;
        QString flash;
        QString model;
    };
    for (const Steps& steps :
         {Steps{"Up", {SettingFrame(3, 51, 81), SettingFrame(3, 52, 81)}, "5.2", "8.1"},
          Steps{"Down", {SettingFrame(3, 51, 80), SettingFrame(3, 50, 79)}, "5.0", "7.9"}}) {
        ClickArrow(flashSpin, steps.arrow);
        ClickArrow(flashSpin, steps.arrow);
        EXPECT_EQ(kit.link.Rest(), steps.frames);
        EXPECT_EQ(flashLabel->text(), steps.flash);
        EXPECT_EQ(modelLabel->text(), steps.model);
    }
    EXPECT_EQ(modelSlider->GetPos(), 79);
    EXPECT_EQ(unit->nFlashValue, 50);
    EXPECT_EQ(unit->nModelValue, 79);
    EXPECT_EQ(ToNavigation(), (std::vector<Message>(4, Changed(0))));
}

TEST_F(ControlPanelTest, ADragOnlyShowsAndTheReleaseSendsBothValuesOnce) {
    StrobeData* unit = SelectUnit(40, 75, 1);
    const QPoint start = ThumbRect(flashSlider).center();
    QTest::mousePress(flashSlider, Qt::LeftButton, {}, start);
    QPoint at = start;
    while (flashSlider->GetPos() < 60 && at.x() < flashSlider->width()) {
        at += QPoint(1, 0);
        QTest::mouseMove(flashSlider, at);
    }
    ASSERT_EQ(flashSlider->GetPos(), 60);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("6.0"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("8.1"));
    EXPECT_EQ(modelSlider->GetPos(), 81);
    EXPECT_EQ(unit->nFlashValue, 40) << "the unit is touched only on release";
    QTest::mouseRelease(flashSlider, Qt::LeftButton, {}, at);

    EXPECT_EQ(Next(), SettingFrame(3, 60, 81)) << "the release frame is the first on the line";
    ExpectNothingWritten();
    EXPECT_EQ(unit->nFlashValue, 60);
    EXPECT_EQ(unit->nModelValue, 81);
    EXPECT_EQ(ToNavigation(), std::vector<Message>{Changed(0)});
}

TEST_F(ControlPanelTest, AReleaseWithoutMovementStillSends) {
    SelectUnit(33, 44);
    const QPoint thumb = ThumbRect(modelSlider).center();
    QTest::mousePress(modelSlider, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(modelSlider, Qt::LeftButton, {}, thumb);
    EXPECT_EQ(Next(), SettingFrame(4, 33, 44));
    EXPECT_EQ(ToNavigation(), std::vector<Message>{Changed(5)});
}

TEST_F(ControlPanelTest, AKeyStepOnTheSliderSendsTheNewValue) {
    StrobeData* unit = SelectUnit(33, 44);
    PressKey(flashSlider, Qt::Key_Right);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("3.4"));
    EXPECT_EQ(unit->nFlashValue, 34);
    EXPECT_EQ(Next(), SettingFrame(3, 34, 44));
}

TEST_F(ControlPanelTest, EachButtonSendsItsSettingAndTellsTheGrid) {
    StrobeData* unit = SelectUnit(50, 40);
    struct Row {
        QAbstractButton* button;
        Bytes frame;
        std::vector<Message> posted;
    };
    const std::vector<Row> rows = {
        {cell, SettingFrame(7, 0, 2), {Changed(1)}},
        {sound, SettingFrame(8, 0, 4), {Changed(2)}},
        {test, SettingFrame(11, 0, 0), {}},
        {propRadio, SettingFrame(5, 0, 8), {Changed(6)}},
        {propRadio, SettingFrame(5, 0, 8), {Changed(6)}},  // again, although already set
        {freeRadio, SettingFrame(5, 0, 0), {Changed(6)}},
        {continuous, SettingFrame(6, 0, 16), {Changed(7)}},
        {flashProp, SettingFrame(6, 0, 0), {Changed(7)}},
        {off, SettingFrame(12, 0, 0), {Changed(8)}},
        {off, SettingFrame(12, 0, 1), {Changed(8)}},
        {cell, SettingFrame(7, 0, 0), {Changed(1)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button->objectName().toStdString());
        QTest::mouseClick(row.button, Qt::LeftButton);
        EXPECT_EQ(Next(), row.frame);
        EXPECT_EQ(ToNavigation(), row.posted);
    }
    // Cell off again, sound on, both modes "Free"/"Flash Prop", the lamp back on; powers as they
    // were.
    EXPECT_EQ(unit->Settings(),
              (StrobeSettings{.nFlashValue = 50, .bFlashSnd = 1, .nModelValue = 40}));
    ExpectNothingWritten();
}

TEST_F(ControlPanelTest, TheLampSwitchShowsOffInsteadOfTheValue) {
    StrobeData* unit = SelectUnit(50, 42);
    PressKey(off, Qt::Key_Space);
    EXPECT_EQ(modelLabel->text(), QStringLiteral("OFF"));
    EXPECT_EQ(unit->bModelPow, 0);
    EXPECT_EQ(Next(), SettingFrame(12, 0, 0));
    QTest::keyClick(off, Qt::Key_Space);
    EXPECT_EQ(modelLabel->text(), QStringLiteral("4.2"));
    EXPECT_EQ(Next(), SettingFrame(12, 0, 1));
}

TEST_F(ControlPanelTest, ThePowerButtonSwitchesTheUnitAndThePanel) {
    StrobeData* unit = SelectUnit(50, 40);
    PressKey(power, Qt::Key_Space);
    EXPECT_EQ(Next(), SettingFrame(13, 0, 0));
    EXPECT_EQ(unit->bFlashPow, 0);
    EXPECT_EQ(power->text(), QStringLiteral("Power\nOff"));
    EXPECT_EQ(ToNavigation(), std::vector<Message>{Changed(4)});
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(power->isEnabled());
    EXPECT_FALSE(flashSlider->isEnabled());
    EXPECT_FALSE(test->isEnabled());
    EXPECT_FALSE(off->isEnabled());

    QTest::mouseClick(power, Qt::LeftButton);
    EXPECT_EQ(Next(), SettingFrame(13, 0, 1));
    EXPECT_EQ(unit->bFlashPow, 1);
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_TRUE(test->isEnabled());
    EXPECT_TRUE(off->isEnabled());
}

TEST_F(ControlPanelTest, AnEmptyStudioResetsTheGroupModeAndDisablesEverything) {
    SelectUnit(50, 40);
    PressKey(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(flashSlider->isVisible());
    EXPECT_FALSE(power->isVisible());
    EXPECT_EQ(ToNavigation(), (std::vector<Message>{{Msg::PanelModeChanged, 1, 0}}));

    SendWindowMessage(panel.get(), Msg::StudioHasNoUnits);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(flashSlider->isVisible());
    EXPECT_TRUE(power->isVisible());
    EXPECT_TRUE(flashLabel->text().isEmpty());
    EXPECT_TRUE(modelLabel->text().isEmpty());
    for (QWidget* w : std::initializer_list<QWidget*>{combo, flashSpin, flashSlider, cell, sound,
                                                      power, test, freeRadio, propRadio, modelSpin,
                                                      modelSlider, continuous, flashProp, off}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             cell, sound, power, freeRadio, propRadio, continuous, flashProp, off}) {
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    }
    EXPECT_TRUE(ToNavigation().empty()) << "the reset is no user's pick";
    ExpectNothingWritten();
}

TEST_F(ControlPanelTest, SwitchingBackToTheUnitShowsItAgain) {
    StrobeData* unit = SelectUnit(50, 40);
    PressKey(combo, Qt::Key_Down);
    unit->nFlashValue = 66;
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(flashSlider->isVisible());
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_EQ(flashLabel->text(), QStringLiteral("6.6"));
    EXPECT_EQ(ToNavigation(),
              (std::vector<Message>{{Msg::PanelModeChanged, 1, 0}, {Msg::PanelModeChanged, 0, 0}}));
}

TEST_F(ControlPanelTest, WithoutAUnitNothingGoesOutAndThePanelStaysSafe) {
    // No selection at all: the controls are still enabled from start-up.
    ClickArrow(flashSpin, "Up");
    ClickArrow(modelSpin, "Down");
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             cell, sound, power, test, freeRadio, propRadio, continuous, flashProp, off}) {
        b->setEnabled(true);  // a click on each, as if the reset had not come yet
        QTest::mouseClick(b, Qt::LeftButton);
    }
    for (COXCoolSliderCtrl* slider : {flashSlider, modelSlider}) {
        slider->setEnabled(true);
        const QPoint thumb = ThumbRect(slider).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(slider, thumb + QPoint(20, 0));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb + QPoint(20, 0));
    }
    SendWindowMessage(panel.get(), Msg::ShowSelectedUnit);
    SendWindowMessage(panel.get(), Msg::SelectedUnitSettingChanged, 0, 0);
    SendWindowMessage(panel.get(), Msg::SelectedUnitSettingChanged, 8, 0);
    PostWindowMessage(panel.get(), Msg::SelectedUnitRefreshed, kSlot, 0);
    QCoreApplication::sendPostedEvents();

    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());
    EXPECT_FALSE(flashSlider->isEnabled()) << "with nothing to act on the panel is disabled";
    EXPECT_TRUE(flashLabel->text().isEmpty());

    // A studio whose line is the selection has no unit either.
    kit.model.pSelTag = kit.model.Studio(0);
    SendWindowMessage(panel.get(), Msg::ShowSelectedUnit);
    ExpectNothingWritten();
}

TEST_F(ControlPanelTest, TheGroupLayoutShowsTheGroupPanelOverThePowerGroupsAndResetsIt) {
    SelectUnit(50, 40);
    auto* groupSlider = panel->findChild<QWidget*>(QStringLiteral("selFlashSlider"));
    ASSERT_NE(groupSlider, nullptr);
    EXPECT_FALSE(groupSlider->isVisible());
    PressKey(combo, Qt::Key_Down);
    EXPECT_TRUE(groupSlider->isVisible());
    EXPECT_FALSE(flashSlider->isVisible());
    // Laid over the panel's own power groups, where the unit's controls were.
    const QRect group(groupSlider->mapTo(panel.get(), QPoint(0, 0)), groupSlider->size());
    const QRect unit(flashSlider->mapTo(panel.get(), QPoint(0, 0)), flashSlider->size());
    EXPECT_TRUE(group.intersects(unit)) << "group panel not over the flash group";
    // Everything of the group panel stays visible, and it leaves the studio-file box uncovered.
    QWidget* groupPanel = groupSlider->window() == panel->window() ? groupSlider : nullptr;
    while (groupPanel && groupPanel->parentWidget() != panel.get()) {
        groupPanel = groupPanel->parentWidget();
    }
    ASSERT_NE(groupPanel, nullptr);
    auto* memory = panel->findChild<QGroupBox*>(QStringLiteral("memoryGroup"));
    ASSERT_NE(memory, nullptr);
    EXPECT_LE(groupPanel->geometry().bottom(), memory->geometry().top());
    for (QWidget* child : groupPanel->findChildren<QWidget*>()) {
        if (child->isVisibleTo(groupPanel)) {
            const QRect inPanel(child->mapTo(groupPanel, QPoint(0, 0)), child->size());
            EXPECT_TRUE(groupPanel->rect().contains(inPanel)) << child->objectName().toStdString();
        }
    }
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_FALSE(groupSlider->isVisible());
    EXPECT_TRUE(flashSlider->isVisible());
    ExpectNothingWritten();
}

}  // namespace
TEST_F(ControlPanelTest, AWheelOverASliderWithoutTheFocusSendsNothing) {
    StrobeData* unit = SelectUnit(50, 40);
    test->setFocus();
    ASSERT_FALSE(flashSlider->hasFocus());
    const QPointF at = flashSlider->rect().center();
    QWheelEvent turn(at, flashSlider->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(flashSlider, &turn);
    EXPECT_EQ(unit->nFlashValue, 50);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.0"));
    ExpectNothingWritten();
}
