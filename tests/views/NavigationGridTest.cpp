// The navigation pane inside a real main frame: the blocks of rows it builds for the units of the
// shown studio, what its state cells and icons say, the messages that rebuild or redraw it, the
// clicks and keys that choose the current unit or tick units, and how it reads to a screen reader.
//
// What reaches the control pane is written down and kept back from it, so that only the navigation
// pane's part is under test.

#include "link/ChangeCode.h"
#include "model/StudioModel.h"
#include "resources/Images.h"
#include "support/FrameTestKit.h"
#include "support/GridArea.h"
#include "support/NotifyRecorder.h"
#include "support/PlaceUnit.h"
#include "toolkit/OXSeparator.h"
#include "views/NavigationFormView.h"
#include "views/NavigationGrid.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using orvane::test::FrameInFolder;

constexpr int kBlock = CNavigationGrid::kRowsPerUnit;

const QColor kNameBack(240, 240, 240);
const QColor kNameText(252, 65, 50);
const QColor kCurrentBack(91, 138, 215);
const QColor kAlarmCurrentBack(75, 104, 158);
const QColor kAlarmOtherBack(162, 169, 170);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// Every property of one cell, in a form that compares as a whole: text, label, background, text
// colour, font, alignment, cell type, extended cell type and bitmap.
using CellLook = std::tuple<QString, QString, std::optional<QColor>, std::optional<QColor>,
                            std::optional<QFont>, std::optional<int>, int, int, QImage>;

using Place = std::pair<int, int>;  // (col, row)
using Snapshot = std::map<Place, CellLook>;

std::set<Place> ChangedPlaces(const Snapshot& before, const Snapshot& after) {
    std::set<Place> changed;
    for (const auto& [place, look] : after) {
        const auto old = before.find(place);
        if (old == before.end() || !(old->second == look)) {
            changed.insert(place);
        }
    }
    for (const auto& [place, look] : before) {
        if (!after.contains(place)) {
            changed.insert(place);
        }
    }
    return changed;
}

std::string Describe(const std::set<Place>& places) {
    std::string text;
    for (const auto& [col, row] : places) {
        text += "(" + std::to_string(col) + "," + std::to_string(row) + ") ";
    }
    return text.empty() ? "none" : text;
}

QImage Icon(int item, bool on) {
    return GridIcon(item, on).toImage();
}

// Powers on, charged, nothing else switched on.
StrobeSettings PlainSettings() {
    return {
        .nFlashValue = 55, .bFlashCharge = 1, .bFlashPow = 1, .nModelValue = 32, .bModelPow = 1};
}

class NavigationGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = qobject_cast<CNavigationFormView*>(frame->NavigationPane());
        ASSERT_NE(view, nullptr);
        grid = view->Grid();
        ASSERT_NE(grid, nullptr);
        control.Watch(frame->ControlPane());
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }

    StudioModel& Model() { return frame->Model(); }
    StudioData& Studio(int number) { return *Model().Studio(number); }

    StrobeData* Put(int studio, int slot, const StrobeSettings& settings = PlainSettings()) {
        StrobeData* placed = PlaceNewUnit(Model(), studio, slot, settings);
        // Marked as the studio tree marks a unit once it has given it its lines, which it has
        // done for every unit the navigation pane is told about.
        placed->nItemKind = TreeItemTag::UnitLine;
        placed->lightNameTag.nItemKind = TreeItemTag::LightNameLine;
        return placed;
    }

    // What the studio list does when a studio line is chosen: the studio is the selection, then the
    // navigation pane is told to show it.
    void ShowStudio(int studio) {
        Model().pSelTag = &Studio(studio);
        Send(Msg::ShowStudio, 0, AsLParam(&Studio(studio)));
    }
    // Studio A with units in three slots, shown; returns the middle one, whose block is the second.
    StrobeData* ShowStudioAWithMiddle(int first, int middle, int last) {
        Put(0, first);
        StrobeData* unit = Put(0, middle);
        Put(0, last);
        ShowStudio(0);
        return unit;
    }
    bool Send(Msg message, std::intptr_t wParam = 0, std::intptr_t lParam = 0) {
        return SendWindowMessage(view, message, wParam, lParam);
    }
    void Changed(ChangeCode code, StrobeData* unit) {
        Send(Msg::UnitSettingChanged, static_cast<int>(code), AsLParam(unit));
    }

    CUGCell Cell(int col, int row) const {
        CUGCell cell;
        EXPECT_EQ(grid->GetCell(col, row, &cell), UG_SUCCESS) << col << "," << row;
        return cell;
    }
    CUGCell StateCell(int k) const { return Cell(0, kBlock * k + 2); }
    QString StateLabel(int k) const { return StateCell(k).label; }
    QString NameRow(int k) const { return grid->QuickGetText(0, kBlock * k + 1); }
    bool Ticked(int k) const { return grid->QuickGetText(0, kBlock * k + 2) == u"1"; }
    QImage IconAt(int k, int col, int rowInBlock) const {
        return Cell(col, kBlock * k + rowInBlock).bitmap.toImage();
    }
    int CurrentBlock() const { return grid->GetCurrentRow() / kBlock; }

    Snapshot Shoot() const {
        Snapshot shot;
        for (int row = -1; row < grid->GetNumberRows(); ++row) {
            for (int col = 0; col < grid->GetNumberCols(); ++col) {
                CUGCell cell;
                if (grid->GetCell(col, row, &cell) != UG_SUCCESS) {
                    ADD_FAILURE() << "no cell " << col << "," << row;
                    continue;
                }
                shot[{col, row}] = {cell.text,      cell.label,      cell.background,
                                    cell.textColor, cell.font,       cell.alignment,
                                    cell.cellType,  cell.cellTypeEx, cell.bitmap.toImage()};
            }
        }
        return shot;
    }

    // The cells that differ from an earlier snapshot, by place.
    std::string ChangedSince(const Snapshot& before) const {
        return Describe(ChangedPlaces(before, Shoot()));
    }

    // Where an area of cells is drawn in the grid's viewport, from the grid's own sizes.
    QRect AreaRect(int startCol, int startRow, int endCol, int endRow) const {
        return GridAreaRect(*grid, startCol, startRow, endCol, endRow);
    }
    QRect StateRect(int k) const { return AreaRect(0, kBlock * k + 2, 1, kBlock * k + 3); }
    QRect NameRect(int k) const { return AreaRect(0, kBlock * k + 1, 4, kBlock * k + 1); }
    QRect HeadingRect() const { return AreaRect(0, -1, 4, -1); }
    // The check box the grid draws at the left of a cell: 3 px in, centred, at most 12 px square.
    static QRect BoxIn(const QRect& cell) {
        const int side = std::min(cell.height() - 6, 12);
        return {cell.left() + 3, cell.top() + (cell.height() - side) / 2, side, side};
    }

    void Click(QPoint at) {
        ASSERT_TRUE(grid->viewport()->rect().contains(at))
            << "(" << at.x() << "," << at.y() << ") is not in view";
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    }
    void ClickCell(int col, int row) {
        // Right of where a check box could sit, so that only the current cell moves.
        const QRect cell = AreaRect(col, row, col, row);
        Click(QPoint(cell.right() - 2, cell.center().y()));
    }
    void Key(Qt::Key key) { QTest::keyClick(grid, key); }

    QImage Shot() const {
        return grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Pixels of the colour, or so near it that only smoothing of a text's edges tells them apart.
    static int CountPixels(const QImage& image, const QRect& area, const QColor& colour) {
        const auto near = [&colour](QRgb pixel) {
            return std::abs(qRed(pixel) - colour.red()) <= 40 &&
                   std::abs(qGreen(pixel) - colour.green()) <= 40 &&
                   std::abs(qBlue(pixel) - colour.blue()) <= 40;
        };
        int count = 0;
        const QRect inside = area & image.rect();
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = inside.left(); x <= inside.right(); ++x) {
                count += near(image.pixel(x, y)) ? 1 : 0;
            }
        }
        return count;
    }

    void Forget() { control.messages.clear(); }

    NotifyRecorder control;
    FrameInFolder f;
    CMainFrame* frame = &f.Make();
    CNavigationFormView* view = nullptr;
    CNavigationGrid* grid = nullptr;
};

// --- The blocks ----------------------------------------------------------------------------------

using NavigationBlocks = NavigationGridTest;

TEST_F(NavigationBlocks, BeforeAnyStudioTheHeadingIsAPlainChannelSelectBoxOverNoRows) {
    EXPECT_EQ(grid->GetNumberRows(), 0);
    EXPECT_EQ(grid->GetNumberCols(), 5);
    const CUGCell heading = Cell(0, -1);
    EXPECT_EQ(heading.cellType, UGCT_CHECKBOX);
    EXPECT_EQ(heading.label, QStringLiteral("Channel Select"));
    EXPECT_TRUE(Model().arUnits.isEmpty());
}

TEST_F(NavigationBlocks, UnitsInSlotsTwoAndSixBecomeTwoBlocksInSlotOrderWithTheFirstCurrent) {
    StrobeData* six = Put(1, 6);
    StrobeData* two = Put(1, 2);
    ShowStudio(1);

    EXPECT_EQ(grid->GetNumberRows(), 2 * kBlock);
    EXPECT_EQ(Model().arUnits, (QList<StrobeData*>{two, six}));
    EXPECT_EQ(grid->UnitCount(), 2);
    EXPECT_EQ(Cell(0, -1).label, QStringLiteral("Channel Select [ Studio B ]"));
    for (int k = 0; k < 2; ++k) {
        const int r = kBlock * k;
        EXPECT_EQ(grid->GetRowHeight(r), 2) << k;
        EXPECT_EQ(grid->GetRowHeight(r + 1), 20) << k;
        EXPECT_EQ(grid->GetRowHeight(r + 2), 20) << k;
        EXPECT_EQ(grid->GetRowHeight(r + 3), 20) << k;
        const CUGCell name = Cell(0, r + 1);
        EXPECT_EQ(name.background, kNameBack) << k;
        EXPECT_EQ(name.textColor, kNameText) << k;
        const CUGCell state = StateCell(k);
        EXPECT_EQ(state.cellType, UGCT_CHECKBOX) << k;
        EXPECT_EQ(state.text, QStringLiteral("0")) << k;
    }
    EXPECT_EQ(NameRow(0), QStringLiteral("  CH-03  Not define"));
    EXPECT_EQ(NameRow(1), QStringLiteral("  CH-07  Not define"));

    // The first unit is the current one and the selection, and the control pane is told.
    EXPECT_EQ(grid->SelIndex(), 0);
    EXPECT_EQ(Model().pSelTag, two);
    EXPECT_EQ(StateCell(0).background, kCurrentBack);
    EXPECT_EQ(StateCell(0).textColor, kWhite);
    EXPECT_EQ(StateCell(1).background, kWhite);
    EXPECT_EQ(StateCell(1).textColor, kBlack);
    EXPECT_EQ(control.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowSelectedUnit, 0, 0}}));
}

TEST_F(NavigationBlocks, NameRowsAndStateCellsArePaintedInTheirColours) {
    Put(0, 0);
    Put(0, 1);
    ShowStudio(0);
    QCoreApplication::processEvents();
    const QImage shot = Shot();

    for (int k = 0; k < 2; ++k) {
        const QRect name = NameRect(k);
        ASSERT_TRUE(shot.rect().contains(name)) << k;
        // Mostly the light grey, with red text on it.
        EXPECT_GT(CountPixels(shot, name, kNameBack), name.width() * name.height() / 2) << k;
        EXPECT_GT(CountPixels(shot, name, kNameText), 20) << k;
    }
    const QRect current = StateRect(0);
    const QRect other = StateRect(1);
    EXPECT_GT(CountPixels(shot, current, kCurrentBack), current.width() * current.height() / 2);
    EXPECT_EQ(CountPixels(shot, other, kCurrentBack), 0);
    // The levels, right of the check box: white on the current unit, black on the other.
    const auto label = [](const QRect& cell) { return cell.adjusted(3 + 12 + 6, 1, -1, -1); };
    EXPECT_GT(CountPixels(shot, label(current), kWhite), 20);
    EXPECT_EQ(CountPixels(shot, label(current), kBlack), 0);
    EXPECT_GT(CountPixels(shot, label(other), kBlack), 20);
}

TEST_F(NavigationBlocks, AnIconIsOnlyOnWhenItsSwitchIsExactlyOne) {
    StrobeSettings on = PlainSettings();
    on.nModelMode1 = on.nModelMode2 = on.bFlashCell = on.bFlashSnd = on.bFlashCharge = 1;
    StrobeSettings off = PlainSettings();
    off.nModelMode1 = off.nModelMode2 = off.bFlashCell = off.bFlashSnd = off.bFlashCharge = 0;
    StrobeSettings two = PlainSettings();
    two.nModelMode1 = two.nModelMode2 = two.bFlashCell = two.bFlashSnd = two.bFlashCharge = 2;
    Put(2, 0, on);
    Put(2, 1, off);
    Put(2, 2, two);
    ShowStudio(2);

    // Item by item: mode 1 and mode 2 on the first state row, cell, sound and charge below.
    const struct {
        int item, col, rowInBlock;
    } icons[] = {{0, 2, 2}, {1, 3, 2}, {2, 2, 3}, {3, 3, 3}, {4, 4, 3}};
    for (const auto& icon : icons) {
        EXPECT_EQ(IconAt(0, icon.col, icon.rowInBlock), Icon(icon.item, true)) << icon.item;
        EXPECT_EQ(IconAt(1, icon.col, icon.rowInBlock), Icon(icon.item, false)) << icon.item;
        EXPECT_EQ(IconAt(2, icon.col, icon.rowInBlock), Icon(icon.item, false)) << icon.item;
    }
    // Lamp mode 1 at 2 is the grey P.
    EXPECT_EQ(IconAt(2, 2, 2), Icon(0, false));
    EXPECT_NE(Icon(0, false), Icon(0, true));
}

// --- The state cell ------------------------------------------------------------------------------

using NavigationStateCell = NavigationGridTest;

TEST_F(NavigationStateCell, ShowsBothLevelsOrAnAlarmInItsOwnFont) {
    const auto with = [](auto change) {
        StrobeSettings s = PlainSettings();
        change(s);
        return s;
    };
    struct Case {
        StrobeSettings settings;
        int heat;
        QString label;
        int cellHeight;
    };
    const std::vector<Case> cases = {
        {PlainSettings(), 0, QStringLiteral("Flash : F 5.5\nModel : F 3.2"), 14},
        {with([](StrobeSettings& s) { s.bModelPow = 0; }), 0,
         QStringLiteral("Flash : F 5.5\nModel : Off"), 14},
        {with([](StrobeSettings& s) { s.nFlashValue = s.nModelValue = 10; }), 0,
         QStringLiteral("Flash : \nModel : "), 14},
        {with([](StrobeSettings& s) {
             s.nFlashValue = 11;
             s.nModelValue = 81;
         }),
         0, QStringLiteral("Flash : F 1.1\nModel : F 8.1"), 14},
        {with([](StrobeSettings& s) { s.bFlashPow = 0; }), 90, QStringLiteral("OFF"), 30},
        {PlainSettings(), 60, QStringLiteral("Overheat"), 30},
        {PlainSettings(), 59, QStringLiteral("Flash : F 5.5\nModel : F 3.2"), 14},
    };
    for (std::size_t slot = 0; slot < cases.size(); ++slot) {
        Put(3, static_cast<int>(slot), cases[slot].settings)->nHeatLevel = cases[slot].heat;
    }
    ShowStudio(3);

    ASSERT_EQ(grid->UnitCount(), static_cast<int>(cases.size()));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const CUGCell state = StateCell(static_cast<int>(k));
        EXPECT_EQ(state.label, cases[k].label) << k;
        ASSERT_TRUE(state.font.has_value()) << k;
        EXPECT_EQ(state.font->family(), QStringLiteral("Arial")) << k;
        // Sized by the height of its character cell, as the program's fonts are given.
        const int cell = QFontMetrics(*state.font).height();
        EXPECT_LE(cell, cases[k].cellHeight) << k;
        EXPECT_GE(cell, cases[k].cellHeight - 2) << k;
    }
}

TEST_F(NavigationStateCell, AlarmAndNormalColoursFollowTheCurrentUnit) {
    StrobeSettings off = PlainSettings();
    off.bFlashPow = 0;
    StrobeData* first = Put(0, 0, off);
    Put(0, 1)->nHeatLevel = 75;
    StrobeData* third = Put(0, 2);
    ShowStudio(0);

    const auto colours = [&](int k) {
        const CUGCell state = StateCell(k);
        return std::pair(state.background.value_or(QColor()), state.textColor.value_or(QColor()));
    };
    EXPECT_EQ(colours(0), std::pair(kAlarmCurrentBack, kWhite));
    EXPECT_EQ(colours(1), std::pair(kAlarmOtherBack, kBlack));
    EXPECT_EQ(colours(2), std::pair(kWhite, kBlack));

    Send(Msg::SelectUnitRow, 0, AsLParam(third));
    EXPECT_EQ(colours(0), std::pair(kAlarmOtherBack, kBlack));
    EXPECT_EQ(colours(2), std::pair(kCurrentBack, kWhite));

    // Current again while still off, then its alarm clears: the levels come back in the current
    // unit's colours.
    Send(Msg::SelectUnitRow, 0, AsLParam(first));
    EXPECT_EQ(colours(0), std::pair(kAlarmCurrentBack, kWhite));
    first->bFlashPow = 1;
    Changed(ChangeCode::FlashSwitch, first);
    EXPECT_EQ(colours(0), std::pair(kCurrentBack, kWhite));
    EXPECT_EQ(StateLabel(0), QStringLiteral("Flash : F 5.5\nModel : F 3.2"));
    EXPECT_EQ(StateCell(0).font->family(), QStringLiteral("Arial"));
    EXPECT_LE(QFontMetrics(*StateCell(0).font).height(), 14);
    EXPECT_EQ(colours(2), std::pair(kWhite, kBlack));
}

// --- Messages ------------------------------------------------------------------------------------

using NavigationMessages = NavigationGridTest;

TEST_F(NavigationMessages, AnEmptyStudioClearsTheGridAndTellsTheControlPane) {
    Put(0, 4);
    ShowStudio(0);
    ASSERT_EQ(grid->GetNumberRows(), kBlock);
    Forget();

    ShowStudio(2);
    EXPECT_EQ(grid->GetNumberRows(), 0);
    EXPECT_TRUE(Model().arUnits.isEmpty());
    EXPECT_EQ(grid->SelIndex(), -1);
    EXPECT_EQ(Cell(0, -1).label, QStringLiteral("Channel Select [ Studio C ]"));
    EXPECT_EQ(control.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::StudioHasNoUnits, 0, 0}}));
    EXPECT_EQ(Model().pSelTag, &Studio(2));
}

TEST_F(NavigationMessages, SelectUnitRowMakesTheUnitCurrentShowingItsStudioFirstWhenAsked) {
    Put(0, 0);
    StrobeData* a5 = Put(0, 5);
    StrobeData* d3 = Put(3, 3);
    StrobeData* d8 = Put(3, 8);
    ShowStudio(0);
    Forget();

    Model().pSelTag = a5;
    Send(Msg::SelectUnitRow, 0, AsLParam(a5));
    EXPECT_EQ(grid->SelIndex(), 1);
    EXPECT_EQ(grid->GetCurrentRow(), kBlock + 1);
    EXPECT_EQ(StateCell(1).background, kCurrentBack);
    EXPECT_EQ(StateCell(0).background, kWhite);
    EXPECT_EQ(control.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowSelectedUnit, 0, 0}}));

    // A unit of another studio: the tree has selected it, the grid shows its studio first.
    Forget();
    Model().pSelTag = d8;
    Send(Msg::SelectUnitRow, 1, AsLParam(d8));
    EXPECT_EQ(Cell(0, -1).label, QStringLiteral("Channel Select [ Studio D ]"));
    EXPECT_EQ(Model().arUnits, (QList<StrobeData*>{d3, d8}));
    EXPECT_EQ(grid->SelIndex(), 1);
    EXPECT_EQ(Model().pSelTag, d8);
    EXPECT_EQ(StateCell(1).background, kCurrentBack);
    EXPECT_EQ(StateCell(0).background, kWhite);
    EXPECT_EQ(control.Of(Msg::ShowSelectedUnit).size(), 1u);
}

TEST_F(NavigationMessages, UnitAddedKeepsTheCurrentUnitCurrentWhenALowerSlotFillsIn) {
    Put(1, 3);
    StrobeData* five = Put(1, 5);
    ShowStudio(1);
    Send(Msg::SelectUnitRow, 0, AsLParam(five));
    ASSERT_EQ(grid->SelIndex(), 1);

    // A scan brought a unit in slot 1: it comes first, the current unit moves a block down.
    StrobeData* one = Put(1, 1);
    Send(Msg::UnitAdded, 1, AsLParam(one));
    EXPECT_EQ(grid->UnitCount(), 3);
    EXPECT_EQ(Model().arUnits.indexOf(one), 0);
    EXPECT_EQ(grid->SelIndex(), 2);
    EXPECT_EQ(Model().pSelTag, five);
    EXPECT_EQ(StateCell(2).background, kCurrentBack);
    EXPECT_EQ(StateCell(0).background, kWhite);
    EXPECT_EQ(NameRow(0), QStringLiteral("  CH-02  Not define"));
}

TEST_F(NavigationMessages, TheFirstUnitAScanBringsBecomesCurrent) {
    ShowStudio(4);
    Forget();
    StrobeData* seven = Put(4, 7);
    Send(Msg::UnitAdded, 7, AsLParam(seven));
    EXPECT_EQ(grid->SelIndex(), 0);
    EXPECT_EQ(Model().pSelTag, seven);
    EXPECT_EQ(control.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowSelectedUnit, 0, 0}}));

    // The next one, in a lower slot, leaves the first one current.
    StrobeData* two = Put(4, 2);
    Send(Msg::UnitAdded, 2, AsLParam(two));
    EXPECT_EQ(Model().arUnits, (QList<StrobeData*>{two, seven}));
    EXPECT_EQ(Model().pSelTag, seven);
    EXPECT_EQ(StateCell(1).background, kCurrentBack);
}

TEST_F(NavigationMessages, ASettingChangeRedrawsOnlyTheCellsOfItsCode) {
    StrobeData* unit = ShowStudioAWithMiddle(0, 4, 9);
    const int r = kBlock * 1;  // the middle block

    // Puts the plain unit back, redrawn as a whole, sets one of its fields, tells the grid the
    // code, and describes the cells that changed.
    const auto redrawn = [&](ChangeCode code, int StrobeData::*field, int value) {
        unit->Settings() = PlainSettings();
        unit->nHeatLevel = 0;
        Send(Msg::UnitRefreshed, 4, AsLParam(unit));
        const Snapshot before = Shoot();
        unit->*field = value;
        Changed(code, unit);
        return Describe(ChangedPlaces(before, Shoot()));
    };
    // Changes the state cell shows, and what it then reads.
    struct LabelCase {
        ChangeCode code;
        int StrobeData::*field;
        int value;
        QString label;
    };
    const std::vector<LabelCase> labels = {
        {ChangeCode::FlashPower, &StrobeData::nFlashValue, 64, "Flash : F 6.4\nModel : F 3.2"},
        {ChangeCode::FlashSwitch, &StrobeData::bFlashPow, 0, "OFF"},
        {ChangeCode::ModelPower, &StrobeData::nModelValue, 47, "Flash : F 5.5\nModel : F 4.7"},
        {ChangeCode::ModelSwitch, &StrobeData::bModelPow, 0, "Flash : F 5.5\nModel : Off"},
        {ChangeCode::Heat, &StrobeData::nHeatLevel, 75, "Overheat"},
    };
    for (const LabelCase& c : labels) {
        SCOPED_TRACE(static_cast<int>(c.code));
        EXPECT_EQ(redrawn(c.code, c.field, c.value), Describe(std::set<Place>{{0, r + 2}}));
        EXPECT_EQ(StateLabel(1), c.label);
    }
    // Changes shown by an icon: its cell, by column and row in the block, and the icon then drawn.
    struct IconCase {
        ChangeCode code;
        int StrobeData::*field;
        int value;
        int col;
        int row;
        QImage icon;
    };
    const std::vector<IconCase> icons = {
        {ChangeCode::PhotoCell, &StrobeData::bFlashCell, 1, 2, 3, Icon(2, true)},
        {ChangeCode::Sound, &StrobeData::bFlashSnd, 1, 3, 3, Icon(3, true)},
        {ChangeCode::ModelMode1, &StrobeData::nModelMode1, 1, 2, 2, Icon(0, true)},
        {ChangeCode::ModelMode2, &StrobeData::nModelMode2, 1, 3, 2, Icon(1, true)},
        {ChangeCode::Charge, &StrobeData::bFlashCharge, 0, 4, 3, Icon(4, false)},
    };
    for (const IconCase& c : icons) {
        SCOPED_TRACE(static_cast<int>(c.code));
        EXPECT_EQ(redrawn(c.code, c.field, c.value), Describe(std::set<Place>{{c.col, r + c.row}}));
        EXPECT_EQ(IconAt(1, c.col, c.row), c.icon);
    }
    // A code that names no setting the grid shows.
    EXPECT_EQ(redrawn(static_cast<ChangeCode>(3), &StrobeData::bFlashCell, 1), Describe({}));
}

TEST_F(NavigationMessages, WithoutAUnitNamedTheChangeGoesToTheSelectedUnit) {
    Put(2, 0);
    StrobeData* selected = Put(2, 1);
    ShowStudio(2);
    Send(Msg::SelectUnitRow, 0, AsLParam(selected));
    // Chosen in the tree by its light name.
    Model().pSelTag = &selected->lightNameTag;
    const Snapshot before = Shoot();

    selected->bFlashSnd = 1;
    Send(Msg::UnitSettingChanged, static_cast<int>(ChangeCode::Sound), 0);
    EXPECT_EQ(ChangedPlaces(before, Shoot()), (std::set<Place>{{3, kBlock + 3}}));
    EXPECT_EQ(IconAt(1, 3, 3), Icon(3, true));

    // A unit the grid does not show changes nothing.
    StrobeData* elsewhere = Put(4, 0);
    elsewhere->bFlashCell = 1;
    const Snapshot still = Shoot();
    Changed(ChangeCode::PhotoCell, elsewhere);
    EXPECT_EQ(ChangedSince(still), "none");
}

TEST_F(NavigationMessages, APowerChangeDuringAnAlarmLeavesTheStateCellUntilTheAlarmClears) {
    StrobeData* unit = Put(1, 0);
    ShowStudio(1);

    unit->bFlashPow = 0;
    Changed(ChangeCode::FlashSwitch, unit);
    ASSERT_EQ(StateLabel(0), QStringLiteral("OFF"));
    Snapshot before = Shoot();
    unit->nFlashValue = 72;
    Changed(ChangeCode::FlashPower, unit);
    unit->nModelValue = 44;
    Changed(ChangeCode::ModelPower, unit);
    unit->bModelPow = 0;
    Changed(ChangeCode::ModelSwitch, unit);
    EXPECT_EQ(ChangedSince(before), "none");

    // Switched on but overheated: still no levels.
    unit->bFlashPow = 1;
    unit->bModelPow = 1;
    unit->nHeatLevel = 60;
    Changed(ChangeCode::Heat, unit);
    ASSERT_EQ(StateLabel(0), QStringLiteral("Overheat"));
    before = Shoot();
    unit->nFlashValue = 33;
    Changed(ChangeCode::FlashPower, unit);
    EXPECT_EQ(ChangedSince(before), "none");

    // Cooled down: the levels reached meanwhile show, in the normal font.
    unit->nHeatLevel = 20;
    Changed(ChangeCode::Heat, unit);
    EXPECT_EQ(StateLabel(0), QStringLiteral("Flash : F 3.3\nModel : F 4.4"));
    EXPECT_EQ(StateCell(0).font->family(), QStringLiteral("Arial"));
    EXPECT_LE(QFontMetrics(*StateCell(0).font).height(), 14);
    EXPECT_EQ(StateCell(0).background, kCurrentBack);
}

TEST_F(NavigationMessages, UnitRefreshedRewritesItsOwnBlockAndNoOther) {
    StrobeData* unit = ShowStudioAWithMiddle(1, 3, 8);
    Click(BoxIn(StateRect(1)).center());
    ASSERT_TRUE(Ticked(1));
    const Snapshot before = Shoot();

    unit->sModelName = QStringLiteral("Key light");
    unit->nFlashValue = 81;
    unit->bFlashCell = 1;
    unit->nModelMode2 = 1;
    unit->bFlashCharge = 0;
    Send(Msg::UnitRefreshed, 3, AsLParam(unit));

    const std::set<Place> changed = ChangedPlaces(before, Shoot());
    for (const auto& [col, row] : changed) {
        EXPECT_EQ(row / kBlock, 1) << Describe(changed);
    }
    EXPECT_EQ(NameRow(1), QStringLiteral("  CH-04  Key light"));
    EXPECT_EQ(StateLabel(1), QStringLiteral("Flash : F 8.1\nModel : F 3.2"));
    EXPECT_EQ(IconAt(1, 2, 3), Icon(2, true));
    EXPECT_EQ(IconAt(1, 3, 2), Icon(1, true));
    EXPECT_EQ(IconAt(1, 4, 3), Icon(4, false));
    // The report says nothing about the unit's tick, so the box keeps it.
    EXPECT_TRUE(Ticked(1));
}

TEST_F(NavigationMessages, TickedUnitsChangedRedrawsEveryUnit) {
    std::vector<StrobeData*> units;
    for (const int slot : {0, 2, 5, 9}) {
        units.push_back(Put(4, slot));
    }
    ShowStudio(4);
    for (StrobeData* unit : units) {
        unit->bFlashSnd = 1;
    }
    Send(Msg::TickedUnitsChanged, static_cast<int>(ChangeCode::Sound));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(IconAt(k, 3, 3), Icon(3, true)) << k;
    }
}

TEST_F(NavigationMessages, WithNothingSelectedTheMessagesThatNeedASelectionDoNothing) {
    StrobeData* unit = Put(2, 0);
    Put(2, 1);
    StrobeData* other = Put(3, 0);
    ShowStudio(2);
    Model().pSelTag = nullptr;
    Forget();
    const Snapshot before = Shoot();
    unit->bFlashCell = 1;

    EXPECT_TRUE(Send(Msg::SelectUnitRow, 1, AsLParam(other)));
    EXPECT_TRUE(Send(Msg::UnitAdded, 0, AsLParam(other)));
    EXPECT_TRUE(Send(Msg::UnitSettingChanged, static_cast<int>(ChangeCode::PhotoCell), 0));
    EXPECT_TRUE(Send(Msg::TickedUnitsChanged, static_cast<int>(ChangeCode::PhotoCell)));

    EXPECT_EQ(ChangedSince(before), "none");
    EXPECT_EQ(Model().pSelTag, nullptr);
    EXPECT_EQ(grid->SelIndex(), 0);
    EXPECT_EQ(Cell(0, -1).label, QStringLiteral("Channel Select [ Studio C ]"));
    EXPECT_TRUE(control.messages.empty());
}

// --- Clicks --------------------------------------------------------------------------------------

using NavigationClicks = NavigationGridTest;

TEST_F(NavigationClicks, AClickInAnotherBlockMakesItsUnitCurrentOnce) {
    Put(1, 0);
    StrobeData* second = Put(1, 4);
    ShowStudio(1);
    Forget();

    // The charge icon of the second unit's lower state row.
    ClickCell(4, kBlock + 3);
    EXPECT_EQ(grid->SelIndex(), 1);
    EXPECT_EQ(Model().pSelTag, second);
    EXPECT_EQ(StateCell(1).background, kCurrentBack);
    EXPECT_EQ(StateCell(0).background, kWhite);
    EXPECT_EQ(control.messages,
              (std::vector<NotifyRecorder::Message>{{Msg::ShowSelectedUnit, 0, 0}}));

    // The same cell again, then the other rows of the same block: it is current already.
    ClickCell(4, kBlock + 3);
    ClickCell(0, kBlock + 1);
    ClickCell(2, kBlock + 2);
    EXPECT_EQ(grid->SelIndex(), 1);
    EXPECT_EQ(control.messages.size(), 1u);
}

TEST_F(NavigationClicks, TheHeadingBoxTicksAndClearsEveryUnit) {
    std::vector<StrobeData*> units = {Put(0, 1), Put(0, 2), Put(0, 7)};
    ShowStudio(0);
    const QPoint box = BoxIn(HeadingRect()).center();

    Click(box);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(Ticked(k)) << k;
        EXPECT_EQ(units[k]->bSelected, 1) << k;
    }
    Click(box);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(Ticked(k)) << k;
        EXPECT_EQ(units[k]->bSelected, 0) << k;
    }
}

TEST_F(NavigationClicks, AUnitsBoxTicksThatUnitAlone) {
    std::vector<StrobeData*> units = {Put(3, 0), Put(3, 1), Put(3, 2)};
    ShowStudio(3);

    Click(BoxIn(StateRect(1)).center());
    EXPECT_EQ(units[0]->bSelected, 0);
    EXPECT_EQ(units[1]->bSelected, 1);
    EXPECT_EQ(units[2]->bSelected, 0);
    EXPECT_TRUE(Ticked(1));
    Click(BoxIn(StateRect(1)).center());
    EXPECT_EQ(units[1]->bSelected, 0);
    EXPECT_FALSE(Ticked(1));
}

TEST_F(NavigationClicks, TickedUnitsStayVisiblyTickedWhenTheirStudioIsShownAgain) {
    std::vector<StrobeData*> units = {Put(2, 3), Put(2, 4), Put(2, 6)};
    ShowStudio(2);
    Click(BoxIn(StateRect(0)).center());
    Click(BoxIn(StateRect(2)).center());
    ASSERT_EQ(units[0]->bSelected, 1);
    ASSERT_EQ(units[2]->bSelected, 1);

    ShowStudio(0);
    ShowStudio(2);
    EXPECT_TRUE(Ticked(0));
    EXPECT_FALSE(Ticked(1));
    EXPECT_TRUE(Ticked(2));

    // The mark is drawn inside the box, which is otherwise the window's base colour.
    QCoreApplication::processEvents();
    const QImage shot = Shot();
    const QColor base = grid->palette().color(QPalette::Base);
    const auto marked = [&](int k) {
        const QRect inner = BoxIn(StateRect(k)).adjusted(3, 3, -3, -3);
        return inner.width() * inner.height() - CountPixels(shot, inner, base);
    };
    EXPECT_GT(marked(0), 4);
    EXPECT_EQ(marked(1), 0);
    EXPECT_GT(marked(2), 4);
}

// --- The keyboard --------------------------------------------------------------------------------

using NavigationKeys = NavigationGridTest;

TEST_F(NavigationKeys, ArrowKeysWalkThroughTheUnitsInOrderAndBack) {
    std::vector<StrobeData*> units = {Put(1, 0), Put(1, 1), Put(1, 2), Put(1, 6)};
    ShowStudio(1);
    grid->setFocus();
    Forget();

    // The state cell below the name row is the same unit's; the next row down is the next block.
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->GetCurrentRow(), 2);
    EXPECT_EQ(Model().pSelTag, units[0]);
    Key(Qt::Key_Down);
    EXPECT_EQ(Model().pSelTag, units[1]);

    // Walking on, every unit comes in turn and none is passed over.
    std::vector<StrobeData*> visited = {units[0], units[1]};
    for (int press = 0; press < 4 * kBlock; ++press) {
        Key(Qt::Key_Down);
        if (Model().pSelTag != visited.back()) {
            visited.push_back(static_cast<StrobeData*>(Model().pSelTag));
        }
    }
    EXPECT_EQ(visited, units);
    EXPECT_EQ(CurrentBlock(), 3);
    for (int press = 0; press < 4 * kBlock; ++press) {
        Key(Qt::Key_Up);
        if (Model().pSelTag != visited.back()) {
            visited.push_back(static_cast<StrobeData*>(Model().pSelTag));
        }
    }
    EXPECT_EQ(visited, (std::vector<StrobeData*>{units[0], units[1], units[2], units[3], units[2],
                                                 units[1], units[0]}));
    // One message for each move to another unit.
    EXPECT_EQ(control.Of(Msg::ShowSelectedUnit).size(), visited.size() - 1);
    EXPECT_EQ(StateCell(0).background, kCurrentBack);
    EXPECT_EQ(StateCell(3).background, kWhite);
}

TEST_F(NavigationKeys, AUnitMadeCurrentOutOfSightIsBroughtWhollyIntoView) {
    // A full studio is taller than the window shows.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        Put(3, slot);
    }
    ShowStudio(3);
    ASSERT_GT(grid->verticalScrollBar()->maximum(), 0);
    const auto inView = [&](int k) {
        // Between the heading and the bottom of the view: its name row, levels and box.
        const QRect block = NameRect(k) | StateRect(k);
        return block.top() >= grid->GetRowHeight(-1) && block.bottom() < grid->viewport()->height();
    };
    grid->setFocus();
    int moves = 0;
    for (int press = 0; press < kSlotCount * kBlock; ++press) {
        const int before = grid->SelIndex();
        Key(Qt::Key_Down);
        if (grid->SelIndex() != before) {
            ++moves;
            EXPECT_TRUE(inView(grid->SelIndex())) << "after Down to unit " << grid->SelIndex();
        }
    }
    EXPECT_EQ(moves, kSlotCount - 1);

    // Chosen in the studio tree: first the top unit, then the bottom one.
    Send(Msg::SelectUnitRow, 0, AsLParam(Model().arUnits.first()));
    EXPECT_TRUE(inView(0));
    Send(Msg::SelectUnitRow, 0, AsLParam(Model().arUnits.last()));
    EXPECT_TRUE(inView(kSlotCount - 1));
}

TEST_F(NavigationKeys, SpaceOnAStateCellTicksItsUnit) {
    StrobeData* unit = Put(0, 5);
    ShowStudio(0);
    grid->setFocus();
    Key(Qt::Key_Down);
    ASSERT_EQ(grid->GetCurrentRow(), 2);

    Key(Qt::Key_Space);
    EXPECT_EQ(unit->bSelected, 1);
    EXPECT_TRUE(Ticked(0));
    Key(Qt::Key_Space);
    EXPECT_EQ(unit->bSelected, 0);
    EXPECT_FALSE(Ticked(0));
}

// --- The pane ----------------------------------------------------------------------------------

using NavigationPaneLayout = NavigationGridTest;

TEST_F(NavigationPaneLayout, TheGridFillsThePaneBelowItsCaptionAndGrowsWithTheWindow) {
    const auto* caption = view->findChild<COXSeparator*>();
    ASSERT_NE(caption, nullptr);
    const QSize pane = view->size();
    const QRect place = grid->geometry();
    EXPECT_TRUE(view->rect().contains(place));
    EXPECT_GE(place.top(), caption->geometry().bottom());
    EXPECT_GT(place.width(), pane.width() * 3 / 4);
    EXPECT_GT(place.height(), pane.height() * 3 / 4);

    frame->resize(frame->width() + 200, frame->height() + 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->size() != pane; }, 5000));
    const QSize grown = view->size();
    const QRect moved = grid->geometry();
    EXPECT_EQ(moved.topLeft(), place.topLeft());
    EXPECT_EQ(moved.width() - place.width(), grown.width() - pane.width());
    EXPECT_EQ(moved.height() - place.height(), grown.height() - pane.height());
}

// --- Reading -------------------------------------------------------------------------------------

using NavigationReading = NavigationGridTest;

TEST_F(NavigationReading, AScreenReaderHearsTheHeadingNameRowsAndStateLabels) {
    Put(4, 2);
    StrobeSettings off = PlainSettings();
    off.bFlashPow = 0;
    Put(4, 8, off);
    ShowStudio(4);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QStringList heard;
    for (int i = 0; i < table->childCount(); ++i) {
        if (QAccessibleInterface* cell = table->child(i)) {
            heard << cell->text(QAccessible::Name);
        }
    }
    const QString all = heard.join(u'|');
    for (const QString& expected :
         {QStringLiteral("Channel Select [ Studio E ]"), QStringLiteral("  CH-03  Not define"),
          QStringLiteral("Flash : F 5.5\nModel : F 3.2"), QStringLiteral("  CH-09  Not define"),
          QStringLiteral("OFF")}) {
        EXPECT_TRUE(heard.contains(expected))
            << expected.toStdString() << " in " << all.toStdString();
    }
}

}  // namespace
