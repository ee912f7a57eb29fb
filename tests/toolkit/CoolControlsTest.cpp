// The toolkit's styled controls as the panels use them: the slider that reports the thumb's track
// and its release, and the spin control whose halves step down and up.

#include "support/ControlInput.h"
#include "support/OnScreen.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

namespace {

// Taking the focus changes what the control shows, so that a keyboard user can see where it is.
void ExpectTheFocusShows(QWidget& control) {
    control.clearFocus();
    Settle();
    const QImage unfocused = OnScreen(control);
    control.setFocus(Qt::TabFocusReason);
    Settle();
    ASSERT_TRUE(control.hasFocus());
    EXPECT_NE(OnScreen(control), unfocused);
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

class SliderTest : public ::testing::Test {
protected:
    static constexpr int kStart = 50;

    COXCoolSliderCtrl slider;
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
    const QPoint start = ThumbCentre(&slider);
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
    EXPECT_NEAR(ThumbCentre(&slider).x(), start.x() + 40, 1);
}

TEST_F(SliderTest, PressAndReleaseWithoutMovingReportsTheUnchangedPosition) {
    const QPoint thumb = ThumbCentre(&slider);
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
    const QRect thumb = ThumbRect(&slider);
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
    ExpectTheFocusShows(slider);
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
    ExpectTheFocusShows(spin);
}

}  // namespace
