// The panels' own owner-drawn controls: the power switch that shows its state in its caption, the
// value label drawn in its own colours, and how they sit among the toolkit's controls on a panel.

#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "support/OnScreen.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

QImage ToRgb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
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
