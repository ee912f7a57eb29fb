#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <utility>
#include <vector>

namespace {

// ---- Helpers -------------------------------------------------------------------------------

QImage ToRgb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// What the window's paints have put on the screen so far, as they were painted; grab() would paint
// it afresh. Read from the backing store, so it can be read during a paint as well.
QImage OnScreen(QWidget& window) {
    const auto* image = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
    if (image == nullptr) {
        ADD_FAILURE() << "the window is painted somewhere this test cannot read";
        return {};
    }
    return image->convertToFormat(QImage::Format_RGB32);
}

// Lets posted updates and the paints they cause run.
void Settle() {
    for (int round = 0; round < 10; ++round) {
        QCoreApplication::processEvents();
    }
}

void ShowAndWait(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Settle();
}

// The bounding box of the pixels that are not `background`.
QRect InkBox(const QImage& image, QRgb background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int CountPixels(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

QString AccessibleName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// Paint events of a widget: how many came, and what they asked to be repainted.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* watched) { watched->installEventFilter(this); }

    int paints = 0;
    QRegion painted;

    void Forget() {
        paints = 0;
        painted = {};
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// ---- CUserButton ---------------------------------------------------------------------------

QFont PowerFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(16);
    font.setWeight(QFont::Black);
    return font;
}

// The switch, keeping what each of its paints put on the screen, to see what its first paint
// showed.
class FramedButton : public CUserButton {
public:
    using CUserButton::CUserButton;

    std::vector<QImage> frames;

protected:
    void paintEvent(QPaintEvent* event) override {
        CUserButton::paintEvent(event);
        frames.push_back(OnScreen(*window()).copy(geometry()));
    }
};

// The power switch as a panel holds it: in a window whose focus is elsewhere, next to a plain
// check button of the same size and font that shows how a caption should look.
class UserButtonTest : public ::testing::Test {
protected:
    QWidget window;
    QLineEdit* focusSink = new QLineEdit(&window);
    FramedButton* button = new FramedButton(&window);
    QPushButton* reference = new QPushButton(&window);
    PaintRecorder paints{button};

    void SetUp() override {
        window.resize(220, 120);
        focusSink->setGeometry(0, 0, 220, 24);
        for (QPushButton* each : {static_cast<QPushButton*>(button), reference}) {
            each->setFont(PowerFont());
        }
        button->setGeometry(10, 40, 90, 60);
        reference->setGeometry(120, 40, 90, 60);
        reference->setCheckable(true);
    }

    void Show() {
        ShowAndWait(window);
        focusSink->setFocus();
        Settle();
    }

    // The caption, the names and the look all tell `on`.
    void ExpectShows(bool on) {
        const QString caption = on ? "Power\nOn" : "Power\nOff";
        const QString name = on ? "Power On" : "Power Off";
        EXPECT_EQ(button->isChecked(), on);
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->accessibleName(), name);
        EXPECT_EQ(AccessibleName(button), name);

        // Pixels as painted, compared with the plain button showing the caption; the focus is
        // put back where it draws nothing on either.
        focusSink->setFocus();
        reference->setChecked(on);
        reference->setText(caption);
        Settle();
        const QImage screen = OnScreen(window);
        EXPECT_EQ(screen.copy(button->geometry()), screen.copy(reference->geometry()))
            << "the switch does not look like a button captioned " << name.toStdString();
    }
};

TEST_F(UserButtonTest, FirstPaintShowsOffNotTheCaptionTheFormWasLaidOutWith) {
    button->setText("Power On");
    reference->setText("Power\nOff");
    Show();
    ASSERT_FALSE(button->frames.empty());
    EXPECT_EQ(button->frames.front(), OnScreen(window).copy(reference->geometry()));
    ExpectShows(false);
}

TEST_F(UserButtonTest, FirstPaintOfASwitchCheckedBeforeShowingShowsOn) {
    button->setText("Power On");
    button->setChecked(true);
    reference->setText("Power\nOn");
    reference->setChecked(true);
    Show();
    ASSERT_FALSE(button->frames.empty());
    EXPECT_EQ(button->frames.front(), OnScreen(window).copy(reference->geometry()));
    ExpectShows(true);
}

TEST_F(UserButtonTest, CaptionFollowsClickSpaceAndSetChecked) {
    Show();
    ExpectShows(false);

    QTest::mouseClick(button, Qt::LeftButton);
    ExpectShows(true);
    QTest::mouseClick(button, Qt::LeftButton);
    ExpectShows(false);

    QTest::keyClick(button, Qt::Key_Space);
    ExpectShows(true);
    QTest::keyClick(button, Qt::Key_Space);
    ExpectShows(false);

    button->setChecked(true);
    ExpectShows(true);
    button->setChecked(false);
    ExpectShows(false);
}

TEST_F(UserButtonTest, CaptionIsRightEvenWhenTheToggleWasNotAnnounced) {
    Show();
    {
        // A panel loading a unit's state sets it without wanting its own handlers called.
        const QSignalBlocker quiet(button);
        button->setChecked(true);
    }
    Settle();
    ExpectShows(true);

    // Someone puts the laid-out caption back over a shown switch.
    button->setText("Power On");
    Settle();
    ExpectShows(true);
}

TEST_F(UserButtonTest, PaintingSettlesAfterAToggle) {
    Show();
    for (const auto& toggle : std::vector<std::function<void()>>{
             [&] { button->click(); },
             [&] { QTest::keyClick(button, Qt::Key_Space); },
             [&] { button->setChecked(!button->isChecked()); },
             [&] { button->setText("Power On"); },
         }) {
        paints.Forget();
        toggle();
        Settle();
        EXPECT_GE(paints.paints, 1) << "the new caption was never painted";
        EXPECT_LE(paints.paints, 3) << "the caption keeps asking for paints";
        paints.Forget();
        Settle();
        EXPECT_EQ(paints.paints, 0) << "painting goes on with nothing changed";
    }
}

TEST_F(UserButtonTest, IsAToggleButtonForScreenReaders) {
    Show();
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
    EXPECT_TRUE(access->state().checkable);
    EXPECT_FALSE(access->state().checked);
    EXPECT_TRUE(access->state().focusable);
    button->setChecked(true);
    EXPECT_TRUE(access->state().checked);
    EXPECT_EQ(access->text(QAccessible::Name), "Power On");
}

// ---- CUserStatic ---------------------------------------------------------------------------

constexpr QRgb kValueText = qRgb(0, 192, 0);
constexpr QRgb kValueBackground = qRgb(240, 240, 240);

QFont ValueFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(34);
    font.setWeight(QFont::Medium);
    return font;
}

// A value label as the panels set it up.
void SetUpAsPanel(CUserStatic& label) {
    label.setFont(ValueFont());
    label.SetTextColor(QColor(kValueText));
    label.SetBackgroundColor(QColor(kValueBackground));
    label.resize(220, 50);
}

TEST(UserStatic, AShorterValueLeavesOnlyBackgroundWhereTheLongerOneWas) {
    CUserStatic label;
    SetUpAsPanel(label);
    label.setText("8888.8888");
    ShowAndWait(label);
    const QImage longer = OnScreen(label);
    const QRect longInk = InkBox(longer, kValueBackground);
    ASSERT_GT(CountPixels(longer, kValueText), 0) << "the long value was not painted";

    PaintRecorder paints(&label);
    label.setText("1");
    Settle();
    EXPECT_TRUE(paints.painted.contains(label.rect())) << "the new value repainted only a part";

    // Exactly what a label that only ever showed the short value paints.
    CUserStatic fresh;
    SetUpAsPanel(fresh);
    fresh.setText("1");
    const QImage shorter = OnScreen(label);
    ASSERT_EQ(shorter.size(), longer.size());
    EXPECT_EQ(shorter, ToRgb(fresh.grab()));

    // Where the long value's ink lay outside the short one's, only background is left.
    const QRect shortInk = InkBox(shorter, kValueBackground);
    ASSERT_TRUE(longInk.width() > 3 * shortInk.width()) << "the test needs a much longer value";
    int remains = 0;
    for (int y = longInk.top(); y <= longInk.bottom(); ++y) {
        for (int x = longInk.left(); x <= longInk.right(); ++x) {
            if (!shortInk.contains(x, y) && shorter.pixel(x, y) != kValueBackground) {
                ++remains;
            }
        }
    }
    EXPECT_EQ(remains, 0);
}

TEST(UserStatic, TextIsCentredInItsColourOnItsBackground) {
    CUserStatic label;
    SetUpAsPanel(label);
    label.setText("42");
    ShowAndWait(label);
    const QImage shot = OnScreen(label);

    // Ink in the text colour; everything else the background, edge to edge.
    EXPECT_GT(CountPixels(shot, kValueText), 20);
    const QRect ink = InkBox(shot, kValueBackground);
    EXPECT_EQ(shot.pixel(0, 0), kValueBackground);
    EXPECT_EQ(shot.pixel(shot.width() - 1, shot.height() - 1), kValueBackground);
    EXPECT_NEAR(ink.center().x(), label.rect().center().x(), 2);
    EXPECT_NEAR(ink.center().y(), label.rect().center().y(), 4);
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            // Antialiased edges blend the two colours; nothing else shows.
            ASSERT_EQ(qRed(pixel), qBlue(pixel)) << x << "," << y;
            ASSERT_GE(qGreen(pixel), qRed(pixel)) << x << "," << y;
        }
    }
}

TEST(UserStatic, NewColoursRepaintAtOnce) {
    constexpr QRgb kNight = qRgb(10, 20, 60);
    constexpr QRgb kAmber = qRgb(250, 170, 0);
    CUserStatic label;
    SetUpAsPanel(label);
    label.setText("42");
    ShowAndWait(label);

    label.SetBackgroundColor(QColor(kNight));
    Settle();
    QImage shot = OnScreen(label);
    EXPECT_EQ(CountPixels(shot, kValueBackground), 0);
    EXPECT_GT(CountPixels(shot, kValueText), 20);
    EXPECT_EQ(InkBox(shot, kNight), InkBox(ToRgb(label.grab()), kNight));

    label.SetTextColor(QColor(kAmber));
    Settle();
    shot = OnScreen(label);
    EXPECT_EQ(CountPixels(shot, kValueText), 0);
    EXPECT_GT(CountPixels(shot, kAmber), 20);
    EXPECT_EQ(shot, ToRgb(label.grab()));
    EXPECT_EQ(label.TextColor(), QColor(kAmber));
    EXPECT_EQ(label.BackgroundColor(), QColor(kNight));
}

TEST(UserStatic, IsReadAsItsTextUnlessTheOwnerNamesIt) {
    CUserStatic label("5.6");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&label);
    EXPECT_EQ(access->role(), QAccessible::StaticText);
    EXPECT_EQ(access->text(QAccessible::Name), "5.6");
    label.setText("11");
    EXPECT_EQ(access->text(QAccessible::Name), "11");

    label.setAccessibleName("Flash power");
    label.setText("16");
    EXPECT_EQ(access->text(QAccessible::Name), "Flash power");
    EXPECT_EQ(label.text(), "16");
}

TEST(UserStatic, MarkupIsShownAsTyped) {
    CUserStatic label;
    SetUpAsPanel(label);
    label.setText("<b>1</b>");
    CUserStatic plain;
    SetUpAsPanel(plain);
    plain.setText("1");
    EXPECT_NE(ToRgb(label.grab()), ToRgb(plain.grab()));
    EXPECT_EQ(AccessibleName(&label), "<b>1</b>");
}

// ---- COXCoolSliderCtrl ---------------------------------------------------------------------

struct Report {
    char kind;  // 'T' for ThumbTrack, 'R' for ThumbReleased
    int position;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
    return out << (r.kind == 'T' ? "track " : "released ") << r.position;
}

using Reports = std::vector<Report>;

// The slider with its thumb's place as its style lays it out, the place a user presses.
class SliderProbe : public COXCoolSliderCtrl {
public:
    using COXCoolSliderCtrl::COXCoolSliderCtrl;

    QRect Thumb() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    }
};

class SliderTest : public ::testing::Test {
protected:
    static constexpr int kStart = 50;

    SliderProbe slider;
    Reports reports;

    void SetUp() override {
        slider.SetRange(0, 100);
        slider.SetPos(kStart);
        slider.resize(220, 30);
        slider.setAccessibleName("Flash power");
        QObject::connect(&slider, &COXCoolSliderCtrl::ThumbTrack, [this](int position) {
            reports.push_back({'T', position});
        });
        QObject::connect(&slider, &COXCoolSliderCtrl::ThumbReleased, [this](int position) {
            reports.push_back({'R', position});
        });
        ShowAndWait(slider);
    }

    void Key(Qt::Key key) { QTest::keyClick(&slider, key); }

    // The reports of one gesture, forgotten for the next.
    Reports Take() { return std::exchange(reports, {}); }
};

TEST_F(SliderTest, DraggingTracksThePositionsThenReleasesOnceWhereTheThumbStopped) {
    const QPoint start = slider.Thumb().center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, start);
    for (int step = 1; step <= 4; ++step) {
        QTest::mouseMove(&slider, start + QPoint(10 * step, 0));
    }
    EXPECT_EQ(slider.GetPos(), reports.empty() ? kStart : reports.back().position)
        << "GetPos lags the thumb while it is dragged";
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, start + QPoint(40, 0));

    ASSERT_GE(reports.size(), 3u);
    const Report released = reports.back();
    reports.pop_back();
    EXPECT_EQ(released.kind, 'R');
    int previous = kStart;
    for (const Report& report : reports) {
        EXPECT_EQ(report.kind, 'T') << "only tracking comes before the release";
        EXPECT_GT(report.position, previous) << "the thumb went right all the way";
        previous = report.position;
    }
    EXPECT_EQ(released.position, reports.back().position);
    EXPECT_EQ(released.position, slider.GetPos());
    EXPECT_EQ(slider.value(), slider.GetPos());
    // The thumb stopped under the mouse.
    EXPECT_NEAR(slider.Thumb().center().x(), start.x() + 40, 1);
}

TEST_F(SliderTest, PressAndReleaseWithoutMovingReportsTheUnchangedPosition) {
    const QPoint thumb = slider.Thumb().center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
    EXPECT_EQ(Take(), (Reports{{'R', kStart}}));
    EXPECT_EQ(slider.GetPos(), kStart);

    // Dragged away and back: the position moved and came back, and is reported where it ended.
    QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(&slider, thumb + QPoint(30, 0));
    QTest::mouseMove(&slider, thumb);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
    const Reports back = Take();
    ASSERT_EQ(back.size(), 3u);
    EXPECT_GT(back[0].position, kStart);
    EXPECT_EQ(back[1], (Report{'T', kStart}));
    EXPECT_EQ(back[2], (Report{'R', kStart}));
}

TEST_F(SliderTest, AClickBesideTheThumbCountsAsARelease) {
    const int step = slider.pageStep();
    const QRect thumb = slider.Thumb();
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 3, thumb.center().y()));
    EXPECT_EQ(Take(), (Reports{{'T', kStart + step}, {'R', kStart + step}}));

    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(2, thumb.center().y()));
    EXPECT_EQ(Take(), (Reports{{'T', kStart}, {'R', kStart}}));
    EXPECT_EQ(slider.value(), kStart);
}

TEST_F(SliderTest, EachSteppingKeyTracksAndReleases) {
    const int line = slider.singleStep();
    const int page = slider.pageStep();

    Key(Qt::Key_Right);
    EXPECT_EQ(Take(), (Reports{{'T', kStart + line}, {'R', kStart + line}}));
    Key(Qt::Key_Left);
    EXPECT_EQ(Take(), (Reports{{'T', kStart}, {'R', kStart}}));
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Take(), (Reports{{'T', kStart + page}, {'R', kStart + page}}));
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Take(), (Reports{{'T', kStart}, {'R', kStart}}));
    Key(Qt::Key_End);
    EXPECT_EQ(Take(), (Reports{{'T', slider.maximum()}, {'R', slider.maximum()}}));
    // At the end the thumb cannot move, but the key still ends a gesture where the thumb is.
    Key(Qt::Key_Right);
    EXPECT_EQ(Take(), (Reports{{'R', slider.maximum()}}));
    Key(Qt::Key_Home);
    EXPECT_EQ(Take(), (Reports{{'T', slider.minimum()}, {'R', slider.minimum()}}));
    EXPECT_EQ(slider.GetPos(), slider.minimum());
    EXPECT_EQ(slider.value(), slider.minimum());

    // Keys that do not step the thumb report nothing and are left to the panel.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(&slider, &other);
    EXPECT_FALSE(other.isAccepted());
    EXPECT_TRUE(reports.empty()) << reports.front();
}

TEST_F(SliderTest, AWheelTurnMovesOnlyASliderThatHasTheFocus) {
    const QPointF at = slider.rect().center();
    const auto turn = [&] {
        QWheelEvent wheel(at, slider.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&slider, &wheel);
        return wheel.isAccepted();
    };
    // Scrolling past a slider the user is not working with changes nothing, and the turn is left
    // to whatever lies beneath.
    slider.clearFocus();
    ASSERT_FALSE(slider.hasFocus());
    EXPECT_FALSE(turn());
    EXPECT_EQ(slider.GetPos(), kStart);
    EXPECT_TRUE(reports.empty()) << reports.front();

    slider.setFocus();
    ASSERT_TRUE(slider.hasFocus());
    turn();
    const int position = slider.GetPos();
    EXPECT_NE(position, kStart);
    EXPECT_EQ(Take(), (Reports{{'T', position}, {'R', position}}));
}

TEST_F(SliderTest, WhatTheProgramSetsIsNotReported) {
    slider.SetPos(20);
    EXPECT_EQ(slider.GetPos(), 20);
    slider.SetPos(20);
    slider.SetPos(500);  // past the end: kept at the end
    EXPECT_EQ(slider.GetPos(), 100);
    slider.SetRange(0, 10);  // the position moves inside the new range
    EXPECT_EQ(slider.GetPos(), 10);
    slider.SetRange(30, 40);
    EXPECT_EQ(slider.GetPos(), 30);
    EXPECT_EQ(slider.value(), 30);
    EXPECT_TRUE(reports.empty()) << reports.front();

    // And what the user does next starts from there.
    Key(Qt::Key_Right);
    EXPECT_EQ(Take(), (Reports{{'T', 31}, {'R', 31}}));
}

TEST_F(SliderTest, TheFocusIsVisible) {
    slider.clearFocus();
    Settle();
    const QImage unfocused = OnScreen(slider);
    slider.setFocus(Qt::TabFocusReason);
    Settle();
    ASSERT_TRUE(slider.hasFocus());
    EXPECT_NE(OnScreen(slider), unfocused);
}

// ---- COXCoolSpinButtonCtrl -----------------------------------------------------------------

class SpinTest : public ::testing::Test {
protected:
    COXCoolSpinButtonCtrl spin;
    std::vector<int> deltas;

    void SetUp() override {
        spin.resize(17, 30);
        spin.setAccessibleName("Flash power step");
        QObject::connect(&spin, &COXCoolSpinButtonCtrl::DeltaPos,
                         [this](int delta) { deltas.push_back(delta); });
        ShowAndWait(spin);
    }

    // A click as the window system delivers it: to whatever lies under the point.
    void ClickAt(QPoint at) { QTest::mouseClick(spin.windowHandle(), Qt::LeftButton, {}, at); }

    std::vector<int> Take() { return std::exchange(deltas, {}); }
};

TEST_F(SpinTest, TheUpperHalfStepsDownTheLowerHalfUp) {
    const int middle = spin.width() / 2;
    ClickAt({middle, spin.height() / 4});
    EXPECT_EQ(Take(), std::vector<int>{-1});
    ClickAt({middle, spin.height() * 3 / 4});
    EXPECT_EQ(Take(), std::vector<int>{+1});

    // Right at either side of the middle.
    ClickAt({middle, spin.height() / 2 - 1});
    ClickAt({middle, spin.height() / 2 + 1});
    EXPECT_EQ(Take(), (std::vector<int>{-1, +1}));

    // Resized, the halves follow.
    spin.resize(20, 60);
    Settle();
    ClickAt({10, 50});
    ClickAt({10, 10});
    EXPECT_EQ(Take(), (std::vector<int>{+1, -1}));
}

TEST_F(SpinTest, UpAndDownKeysStepAsTheArrowsDo) {
    QTest::keyClick(&spin, Qt::Key_Up);
    QTest::keyClick(&spin, Qt::Key_Down);
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(Take(), (std::vector<int>{-1, +1, +1}));

    // Other keys are left to the panel.
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Space}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&spin, &press);
        EXPECT_FALSE(press.isAccepted()) << key;
    }
    EXPECT_TRUE(deltas.empty());
}

TEST_F(SpinTest, TheControlAndItsArrowsAreNamed) {
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&spin);
    EXPECT_EQ(access->text(QAccessible::Name), "Flash power step");
    ASSERT_EQ(access->childCount(), 2);
    const int middle = spin.width() / 2;
    const QPoint upper = spin.mapToGlobal(QPoint(middle, spin.height() / 4));
    const QPoint lower = spin.mapToGlobal(QPoint(middle, spin.height() * 3 / 4));
    QAccessibleInterface* up = access->childAt(upper.x(), upper.y());
    QAccessibleInterface* down = access->childAt(lower.x(), lower.y());
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(up->text(QAccessible::Name), "Up");
    EXPECT_EQ(down->text(QAccessible::Name), "Down");

    // Pressing the named arrow as a screen reader does steps as a click does.
    up->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    down->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Take(), (std::vector<int>{-1, +1}));
}

TEST_F(SpinTest, TheFocusIsVisible) {
    spin.clearFocus();
    Settle();
    const QImage unfocused = OnScreen(spin);
    spin.setFocus(Qt::TabFocusReason);
    Settle();
    ASSERT_TRUE(spin.hasFocus());
    EXPECT_NE(OnScreen(spin), unfocused);
}

// ---- Together on a panel -------------------------------------------------------------------

TEST(ControlsOnAPanel, TabReachesEachControlOnceAndEachIsNamed) {
    QWidget panel;
    auto* before = new QLineEdit(&panel);
    auto* power = new CUserButton(&panel);
    auto* value = new CUserStatic("5.6", &panel);
    auto* slider = new COXCoolSliderCtrl(&panel);
    slider->setAccessibleName("Flash power");
    auto* spin = new COXCoolSpinButtonCtrl(&panel);
    spin->setAccessibleName("Flash power step");
    auto* after = new QLineEdit(&panel);
    before->setAccessibleName("Before");
    after->setAccessibleName("After");
    int y = 0;
    for (QWidget* each : std::vector<QWidget*>{before, power, value, slider, spin, after}) {
        each->setGeometry(0, y, 200, 40);
        y += 45;
    }
    panel.resize(200, y);
    ShowAndWait(panel);
    before->setFocus();

    std::vector<QWidget*> reached;
    for (int tab = 0; tab < 4; ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.push_back(QApplication::focusWidget());
    }
    // The value label is read, not operated; the spin's arrows are not stops of their own.
    EXPECT_EQ(reached, (std::vector<QWidget*>{power, slider, spin, after}));

    for (QWidget* each : panel.findChildren<QWidget*>()) {
        EXPECT_FALSE(AccessibleName(each).isEmpty()) << each->metaObject()->className();
    }
}

}  // namespace
