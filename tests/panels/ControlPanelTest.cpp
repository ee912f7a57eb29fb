// The remote control panel inside a real main frame whose port is a pseudo-terminal: what the
// panel shows of the unit of the selection, the frames its sliders, arrows and buttons write to the
// line, what it tells the navigation view, and what it does when there is no unit to act on.
//
// The navigation view is stood in for by a filter that writes down and keeps back what reaches it,
// so that only the panel's part is under test.

#include "link/PseudoTerminal.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "panels/ControlFormView.h"
#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "shell/MainFrame.h"
#include "support/RecordingMessageBox.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kSlot = 2;  // the unit under test: mask 0x0004
const Bytes kSentinel = {0xFF, 0x05, 0x00, 0x00, 0x45};

Bytes SettingFrame(std::uint8_t type, std::uint8_t high, std::uint8_t low) {
    return {0xFF, 0x07, static_cast<std::uint8_t>(0x10 + type), 0x00, 0x04, high, low};
}

struct Tapped {
    Msg message;
    std::intptr_t wParam;
    std::intptr_t lParam;

    friend bool operator==(const Tapped&, const Tapped&) = default;
    friend void PrintTo(const Tapped& t, std::ostream* os) {
        *os << "{WM_USER+" << static_cast<int>(t.message) - WM_USER << ", " << t.wParam << ", "
            << t.lParam << "}";
    }
};

// Writes down and keeps back every window message that reaches the object it is installed on.
class MessageTap final : public QObject {
public:
    std::vector<Tapped> messages;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (const WindowMessageEvent* m = AsWindowMessage(event)) {
            messages.push_back({m->Message(), m->WParam(), m->LParam()});
            return true;
        }
        return false;
    }
};

// The thumb's place as the slider's style lays it out: where a user presses.
QRect ThumbOf(const QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.upsideDown = slider->invertedAppearance();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                           slider);
}

class ControlPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.IsOpen());
        ASSERT_TRUE(folder.isValid());
        WriteOptions(pty.SlavePath());
        MainFrameOptions options;
        options.workDir = QDir(folder.path());
        options.messages = &boxes;
        frame = std::make_unique<CMainFrame>(options);
        frame->NavigationPane()->installEventFilter(&navigation);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        // The first reconnect tick opens the line.
        ASSERT_TRUE(QTest::qWaitFor([this] { return frame->IsConnected(); }, 5000));

        panel = qobject_cast<CControlFormView*>(frame->ControlPane());
        ASSERT_NE(panel, nullptr);
        combo = Find<QComboBox>("modeCombo");
        flashLabel = Find<CUserStatic>("flashValue");
        modelLabel = Find<CUserStatic>("modelValue");
        flashSpin = Find<COXCoolSpinButtonCtrl>("flashSpin");
        modelSpin = Find<COXCoolSpinButtonCtrl>("modelSpin");
        flashSlider = Find<COXCoolSliderCtrl>("flashSlider");
        modelSlider = Find<COXCoolSliderCtrl>("modelSlider");
        cell = Find<QCheckBox>("cellCheck");
        sound = Find<QCheckBox>("soundCheck");
        power = Find<CUserButton>("powerButton");
        test = Find<QPushButton>("testButton");
        freeRadio = Find<QRadioButton>("freeRadio");
        propRadio = Find<QRadioButton>("propRadio");
        off = Find<QCheckBox>("offCheck");
        continuous = Find<QRadioButton>("continuousRadio");
        flashProp = Find<QRadioButton>("flashPropRadio");
    }

    void WriteOptions(const QString& port) {
        QFile file(QDir(folder.path()).filePath(QStringLiteral("Option.xml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const QString text = QStringLiteral(
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Option>\n"
                                 "\t<ComSet>\n\t\t<sComPort>%1</sComPort>\n"
                                 "\t\t<nBaud>9600</nBaud>\n\t</ComSet>\n</Option>\n")
                                 .arg(port);
        ASSERT_GT(file.write(text.toUtf8()), 0);
    }

    template <class Widget>
    Widget* Find(const char* name) {
        auto* widget = panel->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Places a unit in Studio A, slot 2, makes its line the selection, as the studio tree does,
    // and has the grid tell the panel about it.
    StrobeData* SelectUnit(int flash, int model, int mode1 = 0, int flashPow = 1,
                           int modelPow = 1) {
        auto unit = std::make_unique<StrobeData>();
        unit->nFlashValue = flash;
        unit->nModelValue = model;
        unit->nModelMode1 = mode1;
        unit->bFlashPow = flashPow;
        unit->bModelPow = modelPow;
        StrobeData* placed = unit.get();
        EXPECT_EQ(frame->Model().PlaceUnit(kSlot, 0, std::move(unit)), nullptr);
        placed->nItemKind = TreeItemTag::UnitLine;
        frame->Model().pSelTag = placed;
        SendWindowMessage(panel, Msg::ShowSelectedUnit);
        return placed;
    }

    // The next bytes on the line, as many as the frame expected is long.
    Bytes Next(const Bytes& expected) { return pty.Receive(expected.size()); }

    // Nothing went out since the last frame read: a frame written now is the next on the line.
    void ExpectNothingWritten() {
        frame->Protocol().SendScanRequest(4);
        EXPECT_EQ(Next(kSentinel), kSentinel) << "a frame went out before the sentinel";
    }

    // The window messages posted to the navigation view, once the event loop delivered them.
    std::vector<Tapped> ToNavigation() {
        QCoreApplication::sendPostedEvents();
        std::vector<Tapped> taken;
        taken.swap(navigation.messages);
        return taken;
    }

    PseudoTerminal pty;
    QTemporaryDir folder;
    RecordingMessageBox boxes;
    MessageTap navigation;
    std::unique_ptr<CMainFrame> frame;
    CControlFormView* panel = nullptr;
    QComboBox* combo = nullptr;
    CUserStatic* flashLabel = nullptr;
    CUserStatic* modelLabel = nullptr;
    COXCoolSpinButtonCtrl* flashSpin = nullptr;
    COXCoolSpinButtonCtrl* modelSpin = nullptr;
    COXCoolSliderCtrl* flashSlider = nullptr;
    COXCoolSliderCtrl* modelSlider = nullptr;
    QCheckBox* cell = nullptr;
    QCheckBox* sound = nullptr;
    CUserButton* power = nullptr;
    QPushButton* test = nullptr;
    QRadioButton* freeRadio = nullptr;
    QRadioButton* propRadio = nullptr;
    QCheckBox* off = nullptr;
    QRadioButton* continuous = nullptr;
    QRadioButton* flashProp = nullptr;
};

Tapped Changed(int code) {
    return {Msg::UnitSettingChanged, code, 0};
}

void ClickArrow(COXCoolSpinButtonCtrl* spin, const char* name) {
    for (QToolButton* arrow : spin->findChildren<QToolButton*>()) {
        if (arrow->accessibleName() == QLatin1String(name)) {
            QTest::mouseClick(arrow, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no arrow " << name;
}

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
    SendWindowMessage(panel, Msg::ShowSelectedUnit);
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

TEST_F(ControlPanelTest, AUnitWithItsLampOffAndOutOfRangeValuesIsShownAsStored) {
    SelectUnit(0, 50, 0, 1, 0);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.0"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("OFF"));
    EXPECT_TRUE(off->isChecked());
    // An up step from 0 raises it by one, and the frame carries it.
    flashSpin->setFocus();
    QTest::keyClick(flashSpin, Qt::Key_Up);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("0.1"));
    const Bytes step = SettingFrame(3, 1, 50);
    EXPECT_EQ(Next(step), step);
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
    flashSpin->setFocus();
    QTest::keyClick(flashSpin, Qt::Key_Up);
    ClickArrow(modelSpin, "Down");
    EXPECT_EQ(flashLabel->text(), QStringLiteral("8.1"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("1.1"));
    EXPECT_EQ(unit->nFlashValue, 81);
    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());

    // One step back inside goes out: the model arrow sends type 4 and change code 5.
    ClickArrow(modelSpin, "Up");
    const Bytes frameOut = SettingFrame(4, 81, 12);
    EXPECT_EQ(Next(frameOut), frameOut);
    EXPECT_EQ(unit->nModelValue, 12);
    EXPECT_EQ(modelSlider->GetPos(), 12);
    EXPECT_EQ(ToNavigation(), std::vector<Tapped>{Changed(5)});
}

TEST_F(ControlPanelTest, PropCouplingSaturatesAtTheTopAndKeepsTheNewGap) {
    StrobeData* unit = SelectUnit(50, 80, 1);
    ClickArrow(flashSpin, "Up");
    ClickArrow(flashSpin, "Up");
    const std::vector<Bytes> up = {SettingFrame(3, 51, 81), SettingFrame(3, 52, 81)};
    for (const Bytes& expected : up) {
        EXPECT_EQ(Next(expected), expected);
    }
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.2"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("8.1"));

    ClickArrow(flashSpin, "Down");
    ClickArrow(flashSpin, "Down");
    const std::vector<Bytes> down = {SettingFrame(3, 51, 80), SettingFrame(3, 50, 79)};
    for (const Bytes& expected : down) {
        EXPECT_EQ(Next(expected), expected);
    }
    EXPECT_EQ(flashLabel->text(), QStringLiteral("5.0"));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("7.9"));
    EXPECT_EQ(modelSlider->GetPos(), 79);
    EXPECT_EQ(unit->nFlashValue, 50);
    EXPECT_EQ(unit->nModelValue, 79);
    EXPECT_EQ(ToNavigation(), (std::vector<Tapped>(4, Changed(0))));
}

TEST_F(ControlPanelTest, ADragOnlyShowsAndTheReleaseSendsBothValuesOnce) {
    StrobeData* unit = SelectUnit(40, 75, 1);
    const QPoint start = ThumbOf(flashSlider).center();
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

    const Bytes release = SettingFrame(3, 60, 81);
    EXPECT_EQ(Next(release), release) << "the release frame is the first on the line";
    ExpectNothingWritten();
    EXPECT_EQ(unit->nFlashValue, 60);
    EXPECT_EQ(unit->nModelValue, 81);
    EXPECT_EQ(ToNavigation(), std::vector<Tapped>{Changed(0)});
}

TEST_F(ControlPanelTest, AReleaseWithoutMovementStillSends) {
    SelectUnit(33, 44);
    const QPoint thumb = ThumbOf(modelSlider).center();
    QTest::mousePress(modelSlider, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(modelSlider, Qt::LeftButton, {}, thumb);
    const Bytes expected = SettingFrame(4, 33, 44);
    EXPECT_EQ(Next(expected), expected);
    EXPECT_EQ(ToNavigation(), std::vector<Tapped>{Changed(5)});
}

TEST_F(ControlPanelTest, AKeyStepOnTheSliderSendsTheNewValue) {
    StrobeData* unit = SelectUnit(33, 44);
    flashSlider->setFocus();
    QTest::keyClick(flashSlider, Qt::Key_Right);
    const Bytes expected = SettingFrame(3, 34, 44);
    EXPECT_EQ(Next(expected), expected);
    EXPECT_EQ(unit->nFlashValue, 34);
    EXPECT_EQ(flashLabel->text(), QStringLiteral("3.4"));
}

TEST_F(ControlPanelTest, EachButtonSendsItsSettingAndTellsTheGrid) {
    StrobeData* unit = SelectUnit(50, 40);
    struct Row {
        QAbstractButton* button;
        Bytes frame;
        std::vector<Tapped> posted;
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
        EXPECT_EQ(Next(row.frame), row.frame);
        EXPECT_EQ(ToNavigation(), row.posted);
    }
    EXPECT_EQ(unit->bFlashCell, 0);
    EXPECT_EQ(unit->bFlashSnd, 1);
    EXPECT_EQ(unit->nModelMode1, 0);
    EXPECT_EQ(unit->nModelMode2, 0);
    EXPECT_EQ(unit->bModelPow, 1);
    ExpectNothingWritten();
}

TEST_F(ControlPanelTest, TheLampSwitchShowsOffInsteadOfTheValue) {
    StrobeData* unit = SelectUnit(50, 42);
    off->setFocus();
    QTest::keyClick(off, Qt::Key_Space);
    EXPECT_EQ(modelLabel->text(), QStringLiteral("OFF"));
    EXPECT_EQ(unit->bModelPow, 0);
    const Bytes lampOff = SettingFrame(12, 0, 0);
    EXPECT_EQ(Next(lampOff), lampOff);
    QTest::keyClick(off, Qt::Key_Space);
    EXPECT_EQ(modelLabel->text(), QStringLiteral("4.2"));
    const Bytes lampOn = SettingFrame(12, 0, 1);
    EXPECT_EQ(Next(lampOn), lampOn);
}

TEST_F(ControlPanelTest, ThePowerButtonSwitchesTheUnitAndThePanel) {
    StrobeData* unit = SelectUnit(50, 40);
    power->setFocus();
    QTest::keyClick(power, Qt::Key_Space);
    const Bytes powerOff = SettingFrame(13, 0, 0);
    EXPECT_EQ(Next(powerOff), powerOff);
    EXPECT_EQ(unit->bFlashPow, 0);
    EXPECT_EQ(power->text(), QStringLiteral("Power\nOff"));
    EXPECT_EQ(ToNavigation(), std::vector<Tapped>{Changed(4)});
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(power->isEnabled());
    EXPECT_FALSE(flashSlider->isEnabled());
    EXPECT_FALSE(test->isEnabled());
    EXPECT_FALSE(off->isEnabled());

    QTest::mouseClick(power, Qt::LeftButton);
    const Bytes powerOn = SettingFrame(13, 0, 1);
    EXPECT_EQ(Next(powerOn), powerOn);
    EXPECT_EQ(unit->bFlashPow, 1);
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_TRUE(test->isEnabled());
    EXPECT_TRUE(off->isEnabled());
}

TEST_F(ControlPanelTest, ReportsOfTheUnitReachTheControls) {
    StrobeData* unit = SelectUnit(50, 40);
    // A photo-cell report for slot 2, through the frame and the event handler.
    ASSERT_TRUE(pty.Send({0xFF, 0x07, 0x17, 0x00, 0x04, 0x00, 0x02}));
    EXPECT_TRUE(QTest::qWaitFor([this] { return cell->isChecked(); }, 5000));
    // Flash and lamp power in one report.
    ASSERT_TRUE(pty.Send({0xFF, 0x07, 0x13, 0x00, 0x04, 0x30, 0x20}));
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return flashLabel->text() == QStringLiteral("4.8"); }, 5000));
    EXPECT_EQ(modelLabel->text(), QStringLiteral("3.2"));
    EXPECT_EQ(modelSlider->GetPos(), 32);
    // The unit switched off by its own panel.
    ASSERT_TRUE(pty.Send({0xFF, 0x07, 0x1D, 0x00, 0x04, 0x00, 0x00}));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !power->isChecked(); }, 5000));
    EXPECT_FALSE(flashSlider->isEnabled());
    // A full status report: the whole unit again.
    ASSERT_TRUE(pty.Send(
        {0xFF, 0x0E, 0x01, 0x00, 0x04, 0x01, 0x38, 0x29, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00}));
    EXPECT_TRUE(
        QTest::qWaitFor([this] { return flashLabel->text() == QStringLiteral("5.6"); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([this] { return modelLabel->text() == u"OFF"; }, 5000));
    EXPECT_TRUE(power->isChecked());
    EXPECT_TRUE(sound->isChecked());
    EXPECT_TRUE(propRadio->isChecked());
    EXPECT_TRUE(continuous->isChecked());
    EXPECT_TRUE(off->isChecked());
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_EQ(unit->nFlashValue, 56);
    ExpectNothingWritten();
}

TEST_F(ControlPanelTest, AnEmptyStudioResetsTheGroupModeAndDisablesEverything) {
    SelectUnit(50, 40);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(flashSlider->isVisible());
    EXPECT_FALSE(power->isVisible());
    EXPECT_EQ(ToNavigation(), (std::vector<Tapped>{{Msg::PanelModeChanged, 1, 0}}));

    SendWindowMessage(panel, Msg::StudioHasNoUnits);
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
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    unit->nFlashValue = 66;
    QTest::keyClick(combo, Qt::Key_Up);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_TRUE(flashSlider->isVisible());
    EXPECT_TRUE(flashSlider->isEnabled());
    EXPECT_EQ(flashLabel->text(), QStringLiteral("6.6"));
    EXPECT_EQ(ToNavigation(),
              (std::vector<Tapped>{{Msg::PanelModeChanged, 1, 0}, {Msg::PanelModeChanged, 0, 0}}));
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
        const QPoint thumb = ThumbOf(slider).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QTest::mouseMove(slider, thumb + QPoint(20, 0));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb + QPoint(20, 0));
    }
    SendWindowMessage(panel, Msg::ShowSelectedUnit);
    SendWindowMessage(panel, Msg::SelectedUnitSettingChanged, 0, 0);
    SendWindowMessage(panel, Msg::SelectedUnitSettingChanged, 8, 0);
    PostWindowMessage(panel, Msg::SelectedUnitRefreshed, kSlot, 0);
    QCoreApplication::sendPostedEvents();

    ExpectNothingWritten();
    EXPECT_TRUE(ToNavigation().empty());
    EXPECT_FALSE(flashSlider->isEnabled()) << "with nothing to act on the panel is disabled";
    EXPECT_TRUE(flashLabel->text().isEmpty());

    // A studio whose line is the selection has no unit either.
    frame->Model().pSelTag = frame->Model().Studio(0);
    SendWindowMessage(panel, Msg::ShowSelectedUnit);
    ExpectNothingWritten();
}

}  // namespace

TEST_F(ControlPanelTest, TheGroupLayoutShowsTheGroupPanelOverThePowerGroupsAndResetsIt) {
    SelectUnit(50, 40);
    auto* groupSlider = panel->findChild<QWidget*>(QStringLiteral("selFlashSlider"));
    ASSERT_NE(groupSlider, nullptr);
    EXPECT_FALSE(groupSlider->isVisible());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_TRUE(groupSlider->isVisible());
    EXPECT_FALSE(flashSlider->isVisible());
    // Laid over the panel's own power groups, where the unit's controls were.
    const QRect group(groupSlider->mapTo(panel, QPoint(0, 0)), groupSlider->size());
    const QRect unit(flashSlider->mapTo(panel, QPoint(0, 0)), flashSlider->size());
    EXPECT_TRUE(group.intersects(unit)) << "group panel not over the flash group";
    // Everything of the group panel stays visible, and it leaves the studio-file box uncovered.
    QWidget* groupPanel = groupSlider->window() == panel->window() ? groupSlider : nullptr;
    while (groupPanel && groupPanel->parentWidget() != panel) {
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

TEST_F(ControlPanelTest, TheGroupPanelInsideTheMainWindowSendsItsPowerTable) {
    StrobeData* unit = SelectUnit(50, 40);
    unit->bSelected = 1;
    frame->Model().arUnits = {unit};
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    auto* spin = panel->findChild<QWidget*>(QStringLiteral("selFlashSpin"));
    ASSERT_NE(spin, nullptr);
    ASSERT_TRUE(spin->isVisible());
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_Up);
    const Bytes table = pty.Receive(23);
    ASSERT_EQ(table.size(), 23u);
    EXPECT_EQ(Bytes(table.begin(), table.begin() + 3), (Bytes{0xFF, 0x17, 0x1E}));
    // One step of 0.1 on the ticked unit in slot 2; its lamp power rides along unchanged.
    EXPECT_EQ(std::abs(table[3 + 2 * kSlot] - 50), 1);
    EXPECT_EQ(table[4 + 2 * kSlot], 40);
    EXPECT_EQ(unit->nFlashValue, table[3 + 2 * kSlot]);
    ExpectNothingWritten();
}

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
