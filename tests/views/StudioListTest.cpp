// The studio list pane inside a real main frame: its lines, what selecting them tells the
// navigation view and the frame, the edit box that renames units and light names, the rebuilds a
// scan or a Load asks for, the keyboard, and how it looks and reads to a screen reader.
//
// What reaches the navigation view is written down and kept back from it, so that only the studio
// list's part is under test. The frame's rescan is kept back as well: it would open the modal scan
// dialog, which the frame's own tests cover.

#include "model/StudioModel.h"
#include "resources/Images.h"
#include "support/FrameTestKit.h"
#include "support/NotifyRecorder.h"
#include "support/PlaceUnit.h"
#include "toolkit/OXSeparator.h"
#include "views/StudioListFormView.h"

#include <QAbstractItemDelegate>
#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QHoverEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using orvane::test::FrameInFolder;

QStringList ExpectedStudioNames() {
    QStringList names;
    for (const QStringView name : kStudioNames) {
        names << name.toString();
    }
    return names;
}

QImage Picture(const QIcon& icon) {
    return icon.pixmap(kTreeImageSize).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool IsGreenText(QRgb pixel) {
    return qGreen(pixel) >= 100 && qGreen(pixel) > qRed(pixel) + 60 &&
           qGreen(pixel) > qBlue(pixel) + 60;
}

int CountPixels(const QImage& image, const std::function<bool(QRgb)>& test) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += test(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

class StudioListTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = qobject_cast<CStudioListFormView*>(frame->StudioListPane());
        ASSERT_NE(view, nullptr);
        tree = view->findChild<QTreeWidget*>(QStringLiteral("studioTree"));
        edit = view->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
        ASSERT_NE(tree, nullptr);
        ASSERT_NE(edit, nullptr);
        navigation.Watch(frame->NavigationPane());
        frameTap.keepBackOnly = {Msg::RescanSelectedStudio};
        frameTap.Watch(frame);
        frame->show();
        Forget();
    }

    StudioModel& Model() { return frame->Model(); }
    StudioData& Studio(int number) { return *Model().Studio(number); }

    QTreeWidgetItem* StudioLine(int number) {
        const QString name = kStudioNames[number].toString();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            if (tree->topLevelItem(i)->text(0) == name) {
                return tree->topLevelItem(i);
            }
        }
        ADD_FAILURE() << "no line " << name.toStdString();
        return nullptr;
    }
    // The unit line of `slot` below a studio's line, found by the slot name it starts with.
    QTreeWidgetItem* UnitLine(int studio, int slot) {
        QTreeWidgetItem* studioLine = StudioLine(studio);
        const QString prefix = kSlotNames[slot].toString() + u' ';
        for (int i = 0; studioLine && i < studioLine->childCount(); ++i) {
            if (studioLine->child(i)->text(0).startsWith(prefix)) {
                return studioLine->child(i);
            }
        }
        ADD_FAILURE() << "no line for slot " << slot;
        return nullptr;
    }
    static QStringList Texts(const QTreeWidgetItem* parent) {
        QStringList texts;
        for (int i = 0; parent && i < parent->childCount(); ++i) {
            texts << parent->child(i)->text(0);
        }
        return texts;
    }

    // A unit as the event handler creates it: in the model only, with no line yet.
    StrobeData* PlaceInModel(int studio, int slot, const QString& modelName = {},
                             const QString& lightName = {}) {
        StrobeData* placed = PlaceNewUnit(Model(), studio, slot);
        if (!modelName.isEmpty()) {
            placed->sModelName = modelName;
        }
        if (!lightName.isEmpty()) {
            placed->sLightName = lightName;
        }
        return placed;
    }
    // A unit that answered: placed, then announced to the studio list as the frame passes it on.
    StrobeData* Arrive(int studio, int slot, const QString& modelName = {},
                       const QString& lightName = {}) {
        StrobeData* unit = PlaceInModel(studio, slot, modelName, lightName);
        SendWindowMessage(view, Msg::UnitPlaced, slot, AsLParam(unit));
        return unit;
    }

    void Select(QTreeWidgetItem* line) { tree->setCurrentItem(line); }
    void DeliverPosted() { QCoreApplication::sendPostedEvents(frame, WindowMessageEvent::Type()); }
    void Forget() {
        navigation.messages.clear();
        frameTap.messages.clear();
    }

    NotifyRecorder navigation;
    NotifyRecorder frameTap;
    FrameInFolder f;
    CMainFrame* frame = &f.Make();
    CStudioListFormView* view = nullptr;
    QTreeWidget* tree = nullptr;
    QLineEdit* edit = nullptr;
};

// --- The lines -----------------------------------------------------------------------------------

TEST_F(StudioListTest, StartsWithTheFiveStudiosInStudioOrderAndNothingBelow) {
    QStringList top;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        top << tree->topLevelItem(i)->text(0);
    }
    EXPECT_EQ(top, ExpectedStudioNames());
    const QImage folder = Picture(TreeImage(kTreeStudio));
    for (int n = 0; n < kStudioCount; ++n) {
        QTreeWidgetItem* line = tree->topLevelItem(n);
        EXPECT_EQ(line->childCount(), 0);
        EXPECT_EQ(Studio(n).nItemKind, TreeItemTag::StudioLine);
        EXPECT_EQ(Studio(n).hTreeItem, line);
        EXPECT_EQ(Picture(line->icon(0)), folder);
    }
}

TEST_F(StudioListTest, PlacedUnitsAppearInSlotOrderEachWithItsLightName) {
    Select(StudioLine(1));
    Forget();
    std::vector<StrobeData*> bySlot(kSlotCount);
    std::vector<NotifyRecorder::Message> announced;
    for (const int slot : {9, 3, 0, 5, 1, 8, 2, 7, 4, 6}) {
        bySlot[slot] = slot == 3
                           ? Arrive(1, slot, QStringLiteral("Key light"), QStringLiteral("Hair"))
                           : Arrive(1, slot);
        announced.push_back({Msg::UnitAdded, slot, AsLParam(bySlot[slot])});
    }

    QTreeWidgetItem* studioLine = StudioLine(1);
    QStringList expected;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        expected << kSlotNames[slot].toString() +
                        (slot == 3 ? QStringLiteral(" Key light") : QStringLiteral(" Not define"));
    }
    EXPECT_EQ(Texts(studioLine), expected);
    EXPECT_EQ(Texts(studioLine).last(), QStringLiteral("CH-10 Not define"));
    EXPECT_FALSE(studioLine->isExpanded()) << "a placed unit opened its studio's line";

    const QImage head = Picture(TreeImage(kTreeUnit));
    const QImage burst = Picture(TreeImage(kTreeLightName));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        QTreeWidgetItem* unitLine = studioLine->child(slot);
        const StrobeData& unit = *bySlot[slot];
        EXPECT_EQ(unit.nItemKind, TreeItemTag::UnitLine);
        EXPECT_EQ(unit.hTreeItem, unitLine);
        EXPECT_EQ(Picture(unitLine->icon(0)), head);
        ASSERT_EQ(unitLine->childCount(), 1);
        const QString lightName = slot == 3 ? QStringLiteral("Hair") : QStringLiteral("Not define");
        EXPECT_EQ(unitLine->child(0)->text(0), lightName);
        EXPECT_EQ(unit.lightNameTag.nItemKind, TreeItemTag::LightNameLine);
        EXPECT_EQ(unit.lightNameTag.hTreeItem, unitLine->child(0));
        EXPECT_EQ(Picture(unitLine->child(0)->icon(0)), burst);
    }
    EXPECT_EQ(navigation.messages, announced);
    for (const int other : {0, 2, 3, 4}) {
        EXPECT_EQ(StudioLine(other)->childCount(), 0);
    }
}

TEST_F(StudioListTest, AUnitNotInTheSelectedStudiosSlotGetsNoLine) {
    // Nothing selected: there is no studio to show it in.
    StrobeData* early = PlaceInModel(0, 0);
    SendWindowMessage(view, Msg::UnitPlaced, 0, AsLParam(early));

    Select(StudioLine(0));
    Forget();
    // In another studio than the selected one.
    StrobeData* elsewhere = PlaceInModel(1, 2);
    SendWindowMessage(view, Msg::UnitPlaced, 2, AsLParam(elsewhere));
    // In the selected studio, but announced for a slot it does not sit in.
    StrobeData* misnamed = PlaceInModel(0, 1);
    SendWindowMessage(view, Msg::UnitPlaced, 4, AsLParam(misnamed));

    EXPECT_EQ(StudioLine(0)->childCount(), 0);
    EXPECT_EQ(StudioLine(1)->childCount(), 0);
    EXPECT_TRUE(navigation.Of(Msg::UnitAdded).empty());
}

TEST_F(StudioListTest, AUnitARebuildAlreadyShowsIsNotAddedAgain) {
    Select(StudioLine(1));
    StrobeData* unit = PlaceInModel(1, 0);
    // The rebuild runs while the unit's placement is still queued.
    SendWindowMessage(view, Msg::ScanStarted, 0, AsLParam(&Studio(1)));
    SendWindowMessage(view, Msg::UnitPlaced, 0, AsLParam(unit));
    EXPECT_EQ(Texts(StudioLine(1)), QStringList{unit->UnitLineText()});
}

// --- Selecting -----------------------------------------------------------------------------------

TEST_F(StudioListTest, TheNameBoxIsOpenExceptWhileAStudioLineIsSelected) {
    EXPECT_TRUE(edit->isEnabled()) << "open at start, as its template has it";
    Select(StudioLine(0));
    EXPECT_FALSE(edit->isEnabled());
    PlaceInModel(0, 3);
    Model().pScanStudio = &Studio(0);
    SendWindowMessage(view, Msg::RebuildSelectedStudio);
    Select(UnitLine(0, 3));
    EXPECT_TRUE(edit->isEnabled());
}

TEST_F(StudioListTest, SelectingAStudioWithUnitsWhileAnotherWasScannedPostsARescan) {
    PlaceInModel(2, 0);
    Model().pScanStudio = &Studio(0);
    Select(StudioLine(2));

    EXPECT_EQ(Model().pSelTag, &Studio(2));
    EXPECT_EQ(edit->text(), QStringLiteral("Studio C"));
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand),
              (std::vector<NotifyRecorder::Message>{{Msg::EnableCommand, CMainFrame::Name, 0}}));
    // Posted: the frame scans only after the selection has settled.
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());
    DeliverPosted();
    EXPECT_EQ(frameTap.Of(Msg::RescanSelectedStudio).size(), 1u);
    EXPECT_TRUE(navigation.Of(Msg::ShowStudio).empty());
}

TEST_F(StudioListTest, SelectingAStudioShowsItUnlessItsUnitsMustBeScannedAgain) {
    const auto selectFreshly = [&](int studio) {
        Select(StudioLine(4));
        Forget();
        Select(StudioLine(studio));
        DeliverPosted();
    };
    const std::vector<NotifyRecorder::Message> showC = {{Msg::ShowStudio, 0, AsLParam(&Studio(2))}};

    // Empty, while another studio was scanned.
    Model().pScanStudio = &Studio(0);
    selectFreshly(2);
    EXPECT_EQ(navigation.Of(Msg::ShowStudio), showC);
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());

    // With units, and no studio scanned yet.
    PlaceInModel(2, 5);
    Model().pScanStudio = nullptr;
    selectFreshly(2);
    EXPECT_EQ(navigation.Of(Msg::ShowStudio), showC);
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());

    // With units, and it is the studio last scanned.
    Model().pScanStudio = &Studio(2);
    selectFreshly(2);
    EXPECT_EQ(navigation.Of(Msg::ShowStudio), showC);
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());
}

TEST_F(StudioListTest, SelectingTheShownStudioAgainLeavesTheNavigationAlone) {
    Select(StudioLine(1));
    Arrive(1, 0);
    Select(UnitLine(1, 0));
    Model().pScanStudio = &Studio(0);
    Forget();

    Select(StudioLine(1));
    DeliverPosted();
    EXPECT_TRUE(navigation.messages.empty());
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());
    EXPECT_EQ(Model().pSelTag, &Studio(1));
    EXPECT_EQ(edit->text(), QStringLiteral("Studio B"));
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand),
              (std::vector<NotifyRecorder::Message>{{Msg::EnableCommand, CMainFrame::Name, 0}}));
}

TEST_F(StudioListTest, SelectingUnitsOfTheShownStudioSelectsTheirRows) {
    Select(StudioLine(1));
    StrobeData* first = Arrive(1, 0, QStringLiteral("Key"));
    StrobeData* second = Arrive(1, 1, QStringLiteral("Fill"));
    Forget();

    Select(UnitLine(1, 0));
    Select(UnitLine(1, 1));
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::SelectUnitRow, 0, AsLParam(first)},
                                                    {Msg::SelectUnitRow, 0, AsLParam(second)}}));
    EXPECT_EQ(Model().pSelTag, second);
    EXPECT_EQ(edit->text(), QStringLiteral("Fill"));
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand).size(), 2u);
}

TEST_F(StudioListTest, SelectingAUnitOfAnotherStudioShowsThatStudioOrRescansIt) {
    Select(StudioLine(3));
    StrobeData* unit = Arrive(3, 4);

    // No studio scanned yet: the navigation shows the unit's studio, then its row.
    Select(StudioLine(4));
    Forget();
    Select(UnitLine(3, 4));
    DeliverPosted();
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::SelectUnitRow, 1, AsLParam(unit)}}));
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());

    // Another studio was scanned last: the unit's studio must be scanned again first.
    Select(StudioLine(4));
    Model().pScanStudio = &Studio(4);
    Forget();
    Select(UnitLine(3, 4));
    EXPECT_TRUE(frameTap.Of(Msg::RescanSelectedStudio).empty());
    DeliverPosted();
    EXPECT_EQ(frameTap.Of(Msg::RescanSelectedStudio).size(), 1u);
    EXPECT_TRUE(navigation.messages.empty());
    EXPECT_EQ(Model().SelectedUnit(), unit);
}

TEST_F(StudioListTest, ALightNameLineSelectsItsUnit) {
    Select(StudioLine(1));
    StrobeData* unit = Arrive(1, 6, QStringLiteral("Key"), QStringLiteral("Rim"));
    Forget();

    Select(UnitLine(1, 6)->child(0));
    EXPECT_EQ(Model().pSelTag, &unit->lightNameTag);
    EXPECT_EQ(Model().SelectedUnit(), unit);
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::SelectUnitRow, 0, AsLParam(unit)}}));
    EXPECT_EQ(edit->text(), QStringLiteral("Rim"));
    EXPECT_TRUE(edit->isEnabled());
}

// --- Naming --------------------------------------------------------------------------------------

TEST_F(StudioListTest, AStudioLineShowsItsNameForReadingOnlyAndNameChangesNothing) {
    Select(StudioLine(0));
    StrobeData* unit = Arrive(0, 0);
    Select(StudioLine(2));
    Select(StudioLine(0));
    EXPECT_EQ(edit->text(), QStringLiteral("Studio A"));
    EXPECT_FALSE(edit->isEnabled());
    Forget();

    edit->setText(QStringLiteral("Renamed"));
    SendWindowMessage(view, Msg::ApplyName);
    QStringList top;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        top << tree->topLevelItem(i)->text(0);
    }
    EXPECT_EQ(top, ExpectedStudioNames());
    EXPECT_EQ(Studio(0).sStudioName, QStringLiteral("Studio A"));
    EXPECT_EQ(Texts(StudioLine(0)), QStringList{QStringLiteral("CH-01 Not define")});
    EXPECT_EQ(unit->sModelName, QStringLiteral("Not define"));
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand),
              (std::vector<NotifyRecorder::Message>{{Msg::EnableCommand, CMainFrame::Name, 0}}));
}

TEST_F(StudioListTest, TypingEnablesNameAndNameRenamesTheUnitLineAtOnce) {
    Select(StudioLine(1));
    StrobeData* unit = Arrive(1, 2);
    Select(UnitLine(1, 2));
    EXPECT_FALSE(frame->IsCommandEnabled(CMainFrame::Name));
    Forget();

    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Key light"));
    ASSERT_FALSE(frameTap.Of(Msg::EnableCommand).empty());
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand).back(),
              (NotifyRecorder::Message{Msg::EnableCommand, CMainFrame::Name, 1}));
    ASSERT_TRUE(frame->CommandAction(CMainFrame::Name)->isEnabled());
    Forget();

    // The toolbar's Name, through the frame, as the user would press it.
    frame->CommandAction(CMainFrame::Name)->trigger();
    EXPECT_EQ(unit->sModelName, QStringLiteral("Key light"));
    EXPECT_EQ(UnitLine(1, 2)->text(0), QStringLiteral("CH-03 Key light"));
    EXPECT_EQ(UnitLine(1, 2)->child(0)->text(0), QStringLiteral("Not define"));
    EXPECT_EQ(unit->sLightName, QStringLiteral("Not define"));
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand),
              (std::vector<NotifyRecorder::Message>{{Msg::EnableCommand, CMainFrame::Name, 0}}));
    EXPECT_FALSE(frame->IsCommandEnabled(CMainFrame::Name));
}

TEST_F(StudioListTest, RenamingALightNameChangesOnlyThatLine) {
    Select(StudioLine(1));
    StrobeData* first = Arrive(1, 0);
    StrobeData* second = Arrive(1, 1);
    const QStringList unitLinesBefore = Texts(StudioLine(1));
    Select(UnitLine(1, 0)->child(0));

    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Rim"));
    frame->CommandAction(CMainFrame::Name)->trigger();

    EXPECT_EQ(first->sLightName, QStringLiteral("Rim"));
    EXPECT_EQ(UnitLine(1, 0)->child(0)->text(0), QStringLiteral("Rim"));
    EXPECT_EQ(Texts(StudioLine(1)), unitLinesBefore);
    EXPECT_EQ(first->sModelName, QStringLiteral("Not define"));
    EXPECT_EQ(second->sLightName, QStringLiteral("Not define"));
    EXPECT_EQ(UnitLine(1, 1)->child(0)->text(0), QStringLiteral("Not define"));
}

// --- Rebuilding ----------------------------------------------------------------------------------

TEST_F(StudioListTest, ScanStartedReplacesTheStudiosLinesAndShowsTheStudio) {
    Select(StudioLine(0));
    Arrive(0, 3);
    Select(StudioLine(1));
    Arrive(1, 0);
    Arrive(1, 4);
    // Deep inside the studio about to be scanned.
    Select(UnitLine(1, 4)->child(0));
    Forget();

    // What the frame does when Scan is pressed: the studio's units are freed, then the list hears.
    Model().ClearStudio(Studio(1));
    SendWindowMessage(view, Msg::ScanStarted, 0, AsLParam(&Studio(1)));
    EXPECT_EQ(StudioLine(1)->childCount(), 0);
    EXPECT_EQ(tree->currentItem(), StudioLine(1));
    EXPECT_EQ(edit->text(), QStringLiteral("Studio B"));
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowStudio, 0, AsLParam(&Studio(1))}}));
    EXPECT_EQ(Texts(StudioLine(0)), QStringList{QStringLiteral("CH-04 Not define")});

    // The units that answer the scan come in below the studio.
    StrobeData* answered = Arrive(1, 7);
    EXPECT_EQ(Texts(StudioLine(1)), QStringList{QStringLiteral("CH-08 Not define")});
    EXPECT_EQ(answered->hTreeItem, StudioLine(1)->child(0));
}

TEST_F(StudioListTest, ARebuildShowsEveryUnitTheStudioHolds) {
    StrobeData* later = PlaceInModel(3, 8, QStringLiteral("Boom"), QStringLiteral("Top"));
    StrobeData* earlier = PlaceInModel(3, 1);
    SendWindowMessage(view, Msg::ScanStarted, 0, AsLParam(&Studio(3)));

    EXPECT_EQ(Texts(StudioLine(3)),
              (QStringList{QStringLiteral("CH-02 Not define"), QStringLiteral("CH-09 Boom")}));
    EXPECT_EQ(Texts(UnitLine(3, 8)), QStringList{QStringLiteral("Top")});
    EXPECT_EQ(earlier->hTreeItem, UnitLine(3, 1));
    EXPECT_EQ(later->lightNameTag.hTreeItem, UnitLine(3, 8)->child(0));
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowStudio, 0, AsLParam(&Studio(3))}}));
}

TEST_F(StudioListTest, RebuildSelectedStudioKeepsTheSelectionOnItsNewLine) {
    Select(StudioLine(2));
    StrobeData* unit = Arrive(2, 0, QStringLiteral("Key"));
    Select(UnitLine(2, 0));
    // A Load fills a slot that had no line yet.
    PlaceInModel(2, 6);
    Forget();

    SendWindowMessage(view, Msg::RebuildSelectedStudio);
    EXPECT_EQ(Texts(StudioLine(2)),
              (QStringList{QStringLiteral("CH-01 Key"), QStringLiteral("CH-07 Not define")}));
    EXPECT_EQ(Model().pSelTag, unit);
    EXPECT_EQ(tree->currentItem(), UnitLine(2, 0));
    EXPECT_EQ(edit->text(), QStringLiteral("Key"));
    EXPECT_EQ(navigation.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowStudio, 0, AsLParam(&Studio(2))}}));
}

TEST_F(StudioListTest, RebuildSelectedStudioWithoutASelectionDoesNothing) {
    ASSERT_EQ(Model().pSelTag, nullptr);
    PlaceInModel(0, 0);
    SendWindowMessage(view, Msg::RebuildSelectedStudio);
    EXPECT_EQ(StudioLine(0)->childCount(), 0);
    EXPECT_TRUE(navigation.messages.empty());
}

TEST_F(StudioListTest, ARebuildOfAStudioOutsideTheFiveDoesNothing) {
    Select(StudioLine(0));
    Arrive(0, 2);
    const QStringList before = Texts(StudioLine(0));
    Forget();

    // Records that claim Studio A's line but are numbered as no studio of the five: the file
    // studio's -1, and one past the last.
    for (const int number : {-1, kStudioCount}) {
        StudioData stranger;
        stranger.nStudioNum = number;
        stranger.nItemKind = TreeItemTag::StudioLine;
        stranger.hTreeItem = StudioLine(0);
        SendWindowMessage(view, Msg::ScanStarted, 0, AsLParam(&stranger));
        EXPECT_EQ(Texts(StudioLine(0)), before) << number;
    }
    // The file studio itself, holding a unit.
    auto unit = std::make_unique<StrobeData>();
    ASSERT_EQ(Model().PlaceUnit(*Model().pFileStudio, 0, std::move(unit)), nullptr);
    SendWindowMessage(view, Msg::ScanStarted, 0, AsLParam(Model().pFileStudio.get()));
    EXPECT_EQ(tree->topLevelItemCount(), kStudioCount);
    EXPECT_EQ(Texts(StudioLine(0)), before);
    EXPECT_TRUE(navigation.messages.empty());
}

// --- The keyboard --------------------------------------------------------------------------------

TEST_F(StudioListTest, ArrowKeysMoveTheSelectionAndSendTheSameMessages) {
    Select(StudioLine(1));
    StrobeData* first = Arrive(1, 0);
    StrobeData* second = Arrive(1, 1, QStringLiteral("Fill"), QStringLiteral("Back"));
    Select(StudioLine(0));
    tree->setFocus();
    Forget();

    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentItem(), StudioLine(1));
    EXPECT_EQ(Model().pSelTag, &Studio(1));
    // The studio stays closed until the user opens it.
    EXPECT_FALSE(StudioLine(1)->isExpanded());
    QTest::keyClick(tree, Qt::Key_Right);
    EXPECT_EQ(Model().pSelTag, &Studio(1));
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(Model().pSelTag, first);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(Model().pSelTag, second);
    // Right opens the unit, Right again steps onto its light name.
    QTest::keyClick(tree, Qt::Key_Right);
    QTest::keyClick(tree, Qt::Key_Right);
    EXPECT_EQ(Model().pSelTag, &second->lightNameTag);
    EXPECT_EQ(edit->text(), QStringLiteral("Back"));
    EXPECT_TRUE(edit->isEnabled());
    // Left steps back to the unit; Up goes to the unit above.
    QTest::keyClick(tree, Qt::Key_Left);
    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_EQ(Model().pSelTag, first);

    EXPECT_EQ(navigation.messages, (std::vector<NotifyRecorder::Message>{
                                       {Msg::ShowStudio, 0, AsLParam(&Studio(1))},
                                       {Msg::SelectUnitRow, 0, AsLParam(first)},
                                       {Msg::SelectUnitRow, 0, AsLParam(second)},
                                       {Msg::SelectUnitRow, 0, AsLParam(second)},
                                       {Msg::SelectUnitRow, 0, AsLParam(second)},
                                       {Msg::SelectUnitRow, 0, AsLParam(first)},
                                   }));
    EXPECT_EQ(frameTap.Of(Msg::EnableCommand).size(), 6u);
}

TEST_F(StudioListTest, NoLineCanBeEditedInPlace) {
    Select(StudioLine(0));
    Arrive(0, 0);
    QTreeWidgetItem* line = UnitLine(0, 0);
    Select(line);
    QTest::keyClick(tree, Qt::Key_F2);
    const QPoint middle = tree->visualItemRect(line).center();
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, middle);
    EXPECT_EQ(tree->findChildren<QLineEdit*>().size(), 0);
    EXPECT_EQ(line->text(0), QStringLiteral("CH-01 Not define"));
}

// --- Looks and reading ---------------------------------------------------------------------------

TEST_F(StudioListTest, SelectedLineIsGreenOnLightGreyAndTheLineUnderTheMouseWhiteOnBlack) {
    QTreeWidgetItem* selected = StudioLine(2);
    QTreeWidgetItem* hot = StudioLine(3);
    QTreeWidgetItem* plain = StudioLine(4);
    Select(selected);
    const QPoint overHot = tree->visualItemRect(hot).center();
    QHoverEvent hover(QEvent::HoverMove, overHot, tree->viewport()->mapToGlobal(overHot),
                      QPointF(-1, -1));
    QCoreApplication::sendEvent(tree->viewport(), &hover);

    const QImage shot = tree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto textArea = [&](QTreeWidgetItem* line) {
        // Right of the image, where only the background and the text are drawn.
        QRect area = tree->visualItemRect(line);
        area.setLeft(area.left() + kTreeImageSize.width() + 4);
        return shot.copy(area);
    };
    const auto share = [](const QImage& image, const std::function<bool(QRgb)>& test) {
        return static_cast<double>(CountPixels(image, test)) / (image.width() * image.height());
    };
    const QImage selectedText = textArea(selected);
    EXPECT_GT(share(selectedText, [](QRgb p) { return p == qRgb(230, 230, 230); }), 0.5);
    EXPECT_GT(CountPixels(selectedText, IsGreenText), 0);

    const QImage hotText = textArea(hot);
    EXPECT_GT(share(hotText, [](QRgb p) { return p == qRgb(0, 0, 0); }), 0.5);
    EXPECT_GT(CountPixels(hotText, [](QRgb p) { return qGray(p) > 200; }), 0);

    // Any other line keeps the tree's own colours.
    const QImage plainText = textArea(plain);
    const QRgb base = tree->palette().color(QPalette::Base).rgb();
    EXPECT_GT(share(plainText, [base](QRgb p) { return p == base; }), 0.5);
    EXPECT_EQ(CountPixels(plainText, IsGreenText), 0);
}

TEST_F(StudioListTest, TitleIsANavyCaptionLine) {
    auto* title = view->findChild<COXSeparator*>();
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->Text(), QStringLiteral("Studio List"));
    EXPECT_EQ(title->accessibleName(), QStringLiteral("Studio List"));
    const QImage shot = title->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The rule's shadow is drawn crisp, so navy shows up exactly.
    EXPECT_GT(CountPixels(shot, [](QRgb p) { return p == qRgb(0, 0, 128); }), 10);
}

TEST_F(StudioListTest, TreeAndEditBoxReadOutToAScreenReader) {
    Select(StudioLine(0));
    Arrive(0, 5, QStringLiteral("Key"));
    StudioLine(0)->setExpanded(true);
    // Lines are laid out when the event loop next runs, before any reader could ask.
    tree->doItemsLayout();

    QAccessibleInterface* treeReader = QAccessible::queryAccessibleInterface(tree);
    ASSERT_NE(treeReader, nullptr);
    EXPECT_FALSE(treeReader->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(treeReader->role(), QAccessible::Tree);
    QStringList heard;
    for (int i = 0; i < treeReader->childCount(); ++i) {
        if (QAccessibleInterface* line = treeReader->child(i)) {
            heard << line->text(QAccessible::Name);
        }
    }
    for (const QString& name : ExpectedStudioNames()) {
        EXPECT_TRUE(heard.contains(name)) << name.toStdString();
    }
    EXPECT_TRUE(heard.contains(QStringLiteral("CH-06 Key"))) << heard.join(u'|').toStdString();

    QAccessibleInterface* editReader = QAccessible::queryAccessibleInterface(edit);
    ASSERT_NE(editReader, nullptr);
    EXPECT_FALSE(editReader->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(view->accessibleName().isEmpty());
}

// --- The pane alone ------------------------------------------------------------------------------

TEST(StudioListPane, TreeAndEditBoxFollowThePaneSizeWhileTheTitleStays) {
    QWidget host;
    host.resize(600, 700);
    auto* pane = new CStudioListFormView(&host);
    host.show();
    auto* tree = pane->findChild<QTreeWidget*>(QStringLiteral("studioTree"));
    auto* edit = pane->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    auto* title = pane->findChild<COXSeparator*>();
    ASSERT_TRUE(tree && edit && title);
    const QRect titlePlace = title->geometry();
    const int editHeight = edit->height();

    for (const QSize size : {QSize(320, 480), QSize(200, 300), QSize(450, 620)}) {
        pane->resize(size);
        EXPECT_EQ(tree->geometry(), QRect(8, 30, size.width() - 20, size.height() - 70));
        EXPECT_EQ(edit->geometry(), QRect(8, size.height() - 30, size.width() - 20, editHeight));
        EXPECT_EQ(title->geometry(), titlePlace);
    }
}

TEST(StudioListPane, HandlesNoMessageBeforeItIsAttached) {
    CStudioListFormView pane;
    StrobeData unit;
    // Without a model there is nothing to add, name or rebuild, and no frame to tell.
    EXPECT_TRUE(SendWindowMessage(&pane, Msg::UnitPlaced, 0, AsLParam(&unit)));
    EXPECT_TRUE(SendWindowMessage(&pane, Msg::ApplyName));
    EXPECT_TRUE(SendWindowMessage(&pane, Msg::RebuildSelectedStudio));
    EXPECT_FALSE(SendWindowMessage(&pane, Msg::ShowStudio));
    auto* tree = pane.findChild<QTreeWidget*>(QStringLiteral("studioTree"));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST(TreeImages, ThreeDistinctSixteenPixelDrawingsAndNothingElse) {
    std::vector<QImage> pictures;
    for (int index = 0; index < kTreeImageCount; ++index) {
        const QIcon icon = TreeImage(index);
        ASSERT_FALSE(icon.isNull()) << index;
        const QImage picture = Picture(icon);
        EXPECT_EQ(picture.size(), kTreeImageSize);
        EXPECT_GT(CountPixels(picture, [](QRgb p) { return qAlpha(p) == 255; }), 30) << index;
        // Transparent around the drawing, so it sits on any line colour.
        EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << index;
        for (const QImage& earlier : pictures) {
            EXPECT_NE(picture, earlier) << index;
        }
        pictures.push_back(picture);
    }
    EXPECT_TRUE(TreeImage(-1).isNull());
    EXPECT_TRUE(TreeImage(kTreeImageCount).isNull());
}

}  // namespace

TEST_F(StudioListTest, FocusAloneSelectsNothingAndTheFirstArrowPicksTheFirstStudio) {
    ASSERT_EQ(tree->currentItem(), nullptr);
    tree->setFocus();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(tree, &focusIn);
    EXPECT_EQ(tree->currentItem(), nullptr);
    EXPECT_EQ(Model().pSelTag, nullptr);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentItem(), StudioLine(0));
    EXPECT_EQ(Model().pSelTag, &Studio(0));
}
