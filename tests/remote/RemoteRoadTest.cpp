// A remote request must take the road of the clicks it stands for. Two identical windows on two
// pseudo-terminals: one is clicked with the mouse and keys, the other gets the request; the bytes
// on both lines and what both windows show must come out the same.

#include "RemoteRig.h"

#include "model/StudioModel.h"
#include "support/GridArea.h"
#include "toolkit/CoolSliderCtrl.h"
#include "views/NavigationFormView.h"
#include "views/NavigationGrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace orvane::remote::test {
namespace {

const Bytes kSentinel = {0xFF, 0x05, 0x00, 0x00, 0x45};

// Everything the line carried since the last look, ended by a frame written now.
Bytes Drain(RemoteRig& rig) {
    QCoreApplication::sendPostedEvents();
    rig.frame->Protocol().SendScanRequest(4);
    Bytes bytes;
    while (bytes.size() < kSentinel.size() ||
           !std::equal(kSentinel.begin(), kSentinel.end(), bytes.end() - kSentinel.size())) {
        const Bytes next = rig.Line(1);
        if (next.empty()) {
            ADD_FAILURE() << "the line went quiet";
            break;
        }
        bytes.push_back(next[0]);
    }
    return bytes;
}

// The panel, the studio-file box and the toolbar: the parts the user sets up.
QStringList UsersParts(RemoteRig& rig) {
    QStringList seen;
    QWidget* control = rig.frame->ControlPane();
    for (const QLabel* label : control->findChildren<QLabel*>()) {
        seen << label->objectName() + u'=' + label->text();
    }
    for (const QAbstractButton* b : control->findChildren<QAbstractButton*>()) {
        seen << QStringLiteral("%1 %2 %3")
                    .arg(b->objectName())
                    .arg(b->isChecked())
                    .arg(b->isEnabled());
    }
    for (const QAbstractSlider* s : control->findChildren<QAbstractSlider*>()) {
        seen << s->objectName() + u'@' + QString::number(s->value());
    }
    seen << QString::number(control->findChild<QComboBox*>()->currentIndex());
    seen << control->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    seen << control->findChild<QPlainTextEdit*>()->toPlainText();
    for (int i = 0; i < CMainFrame::kCommandCount; ++i) {
        seen << QString::number(rig.frame->IsCommandEnabled(static_cast<CMainFrame::Command>(i)));
    }
    return seen;
}

// What a user sees of the window, as text: panel, grid, tree, studio-file box and toolbar, and
// the units behind them. Without the user's own parts: only what follows the records (the grid, the
// tree and the units), not the panel, the box and the toolbar, which a request leaves as the user
// left them.
QStringList Screen(RemoteRig& rig, bool usersParts = true) {
    QCoreApplication::sendPostedEvents();
    QStringList seen = usersParts ? UsersParts(rig) : QStringList();
    CNavigationGrid* grid = qobject_cast<CNavigationFormView*>(rig.frame->NavigationPane())->Grid();
    // Which block is current (its highlight) is the user's too.
    seen << grid->Heading() << (usersParts ? QString::number(grid->SelIndex()) : QString());
    for (int row = 0; row < grid->GetNumberRows(); ++row) {
        CUGCell cell;
        grid->GetCell(0, row, &cell);
        const QString background =
            usersParts ? cell.background.value_or(QColor()).name() : QString();
        seen << cell.text + u'|' + cell.label + u'|' + background;
    }
    const QTreeWidget* tree = rig.frame->StudioListPane()->findChild<QTreeWidget*>();
    seen << (tree->currentItem() ? tree->currentItem()->text(0) : QString());
    for (const auto& studio : rig.frame->Model().pStudio) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (const StrobeData* u = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr) {
                seen << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                            .arg(u->sChName)
                            .arg(u->nFlashValue)
                            .arg(u->nModelValue)
                            .arg(u->bFlashCell)
                            .arg(u->bFlashSnd)
                            .arg(u->bFlashPow)
                            .arg(u->nModelMode1)
                            .arg(u->bModelPow)
                            .arg(u->bSelected);
            }
        }
    }
    return seen;
}

class RemoteRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (RemoteRig* rig : {&clicked, &remote}) {
            ASSERT_TRUE(rig->Start());
            ASSERT_TRUE(rig->Scan('A', {{0, 40, 30}, {1, 50, 30}, {2, 60, 70}}));
        }
        ASSERT_EQ(Screen(clicked), Screen(remote));
    }

    // ---- The user's hands ----
    static CNavigationGrid* Grid(const RemoteRig& rig) {
        return qobject_cast<CNavigationFormView*>(rig.frame->NavigationPane())->Grid();
    }
    CNavigationGrid* Grid() const { return Grid(clicked); }
    // Whole rows, across the viewport.
    static QRect Rows(CNavigationGrid* grid, int first, int last) {
        const QRect area = GridAreaRect(*grid, 0, first, 0, last);
        return {0, area.top(), grid->viewport()->width(), area.height()};
    }
    QRect Rows(int first, int last) const { return Rows(Grid(), first, last); }
    // A click on unit k's block: in the window clicked, or in the remote's, where the user looks
    // at the same unit as the requests change it.
    void ClickBlock(int k, RemoteRig* rig = nullptr) {
        CNavigationGrid* grid = Grid(rig ? *rig : clicked);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          Rows(grid, 4 * k + 1, 4 * k + 1).center());
    }
    void ClickBox(int k) {
        const QRect state = Rows(4 * k + 2, 4 * k + 3);
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, QPoint(9, state.center().y()));
    }
    template <class Widget>
    Widget* Control(const char* name) const {
        auto* widget = clicked.frame->ControlPane()->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Click(const char* name) {
        QTest::mouseClick(Control<QAbstractButton>(name), Qt::LeftButton);
    }
    // Let go of a slider's thumb where the program put it: what a drag there ends with.
    void ReleaseSliderAt(const char* name, int position) {
        auto* slider = Control<COXCoolSliderCtrl>(name);
        slider->SetPos(position);
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        const QPoint thumb =
            slider->style()
                ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
                .center();
        QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb);
    }

    // The same bytes on both lines, and the same records and views of them; with the user's own
    // parts too where the user of the remote's window has set them up alike.
    void ExpectSameRoad(bool usersParts = true) {
        const Bytes clickedBytes = Drain(clicked);
        EXPECT_EQ(clickedBytes, Drain(remote));
        EXPECT_GT(clickedBytes.size(), kSentinel.size()) << "nothing was sent";
        EXPECT_EQ(Screen(clicked, usersParts), Screen(remote, usersParts));
    }

    RemoteRig clicked;
    RemoteRig remote;
};

TEST_F(RemoteRoadTest, AUnitsChangesTakeThePanelsRoad) {
    // Modes go first, so that a change to "Prop" couples the powers of the same request.
    ClickBlock(1);
    ClickBlock(1, &remote);
    Click("propRadio");
    ReleaseSliderAt("flashSlider", 66);
    Click("offCheck");
    Click("testButton");
    ASSERT_EQ(remote
                  .Call("PATCH", "studios/A/units/2",
                        R"({"flash": 6.6, "model_mode": "prop", "model_on": false})")
                  .status,
              200);
    ASSERT_EQ(remote.Call("POST", "studios/A/units/2/test").status, 200);
    ExpectSameRoad();

    // "Prop" drags the lamp along and saturates it: CH-03's lamp is at 7.0.
    ClickBlock(2);
    ClickBlock(2, &remote);
    Click("propRadio");
    ReleaseSliderAt("flashSlider", 80);
    ASSERT_EQ(remote.Call("PATCH", "studios/A/units/3", R"({"model_mode": "prop"})").status, 200);
    ASSERT_EQ(remote.Call("PATCH", "studios/A/units/3", R"({"flash": 8.0})").status, 200);
    ExpectSameRoad();
    EXPECT_EQ(remote.Studio(0).Unit(2)->nModelValue, 81);
}

TEST_F(RemoteRoadTest, TickedUnitsTakeTheGroupPanelsRoad) {
    ClickBox(0);
    ClickBox(2);
    QTest::keyClick(Control<QComboBox>("modeCombo"), Qt::Key_Down);
    Click("selContinuousRadio");
    ReleaseSliderAt("selFlashSlider", 82 + 10);
    Click("selCellCheck");
    for (const char* unit : {"studios/A/units/1", "studios/A/units/3"}) {
        ASSERT_EQ(remote.Call("PATCH", unit, R"({"ticked": true})").status, 200);
    }
    ASSERT_EQ(remote
                  .Call("POST", "studios/A/group",
                        R"({"flash_offset": 1.0, "cell": true, "lamp_mode": "continuous"})")
                  .status,
              200);
    // The remote's window keeps the layout and the offsets its user left.
    ExpectSameRoad(false);
    EXPECT_EQ(remote.frame->ControlPane()->findChild<QComboBox*>()->currentIndex(), 0);
}

TEST_F(RemoteRoadTest, SelectingAndLoadingTakeTheTreesAndTheBoxsRoad) {
    QTreeWidget* tree = clicked.frame->StudioListPane()->findChild<QTreeWidget*>();
    const QRect studioB = tree->visualItemRect(tree->topLevelItem(1));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, studioB.center());
    ASSERT_EQ(remote.Call("POST", "studios/B/select").status, 200);
    EXPECT_EQ(Screen(clicked), Screen(remote));

    const QRect studioA = tree->visualItemRect(tree->topLevelItem(0));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, studioA.center());
    ASSERT_EQ(remote.Call("POST", "studios/A/select").status, 200);
    for (RemoteRig* rig : {&clicked, &remote}) {
        ASSERT_EQ(rig->Call("PUT", "setups/Portrait").status, 200);
        ASSERT_EQ(rig->Call("PATCH", "studios/A/units/1", R"({"flash": 7.5})").status, 200);
    }
    ExpectSameRoad();

    auto* list = Control<QListWidget>("fileList");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    auto* toolbar = clicked.frame->findChild<QToolBar*>(QStringLiteral("toolbar"));
    QTest::mouseClick(toolbar->widgetForAction(clicked.frame->CommandAction(CMainFrame::Load)),
                      Qt::LeftButton);
    EXPECT_EQ(clicked.boxes.texts.value(0),
              QStringLiteral("Current settig is deleted. Do you want to open file?"));
    ASSERT_EQ(remote.Call("POST", "setups/Portrait/load").status, 200);
    // The remote's box shows no pick: a request reads the setup without the box.
    ExpectSameRoad(false);
    EXPECT_EQ(remote.Studio(0).Unit(0)->nFlashValue, 40);
}

}  // namespace
}  // namespace orvane::remote::test
