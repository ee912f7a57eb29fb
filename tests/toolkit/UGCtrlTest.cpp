#include "toolkit/UGCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

// The current cell as (column, row).
QPoint CurrentCell(const CUGCtrl& grid) {
    return {grid.GetCurrentCol(), grid.GetCurrentRow()};
}

struct CellChange {
    int oldCol, newCol, oldRow, newRow;
    bool operator==(const CellChange&) const = default;
};

std::ostream& operator<<(std::ostream& out, const CellChange& c) {
    return out << "change(col " << c.oldCol << "->" << c.newCol << ", row " << c.oldRow << "->"
               << c.newRow << ")";
}

struct TypeNotify {
    int typeId, col, row, msg;
    long param;
    bool operator==(const TypeNotify&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TypeNotify& n) {
    return out << "notify(type " << n.typeId << ", col " << n.col << ", row " << n.row << ", msg "
               << n.msg << ", " << n.param << ")";
}

// Records what the grid tells the class derived from it, and in which order.
class RecordingGrid : public CUGCtrl {
public:
    using CUGCtrl::CUGCtrl;

    int setups = 0;
    std::vector<CellChange> changes;
    std::vector<TypeNotify> notifies;
    std::string order;          // 'C' for a cell change, 'N' for a notification
    QString valueSeenAtNotify;  // the cell's value as the notified code reads it

    void Forget() {
        changes.clear();
        notifies.clear();
        order.clear();
    }

protected:
    void OnSetup() override { ++setups; }
    void OnCellChange(int oldCol, int newCol, int oldRow, int newRow) override {
        changes.push_back({oldCol, newCol, oldRow, newRow});
        order += 'C';
    }
    int OnCellTypeNotify(int typeId, int col, int row, int msg, long param) override {
        notifies.push_back({typeId, col, row, msg, param});
        order += 'N';
        valueSeenAtNotify = QuickGetText(col, row);
        return UG_SUCCESS;
    }
};

// Colours the tests can tell apart, one for each role the grid draws with.
constexpr QRgb kBase = qRgb(250, 250, 230);
constexpr QRgb kButton = qRgb(90, 160, 90);
constexpr QRgb kWindowText = qRgb(10, 10, 120);
constexpr QRgb kText = qRgb(0, 0, 0);
constexpr QRgb kLight = qRgb(255, 255, 255);
constexpr QRgb kDark = qRgb(120, 60, 60);
constexpr QRgb kShadow = qRgb(40, 40, 40);
constexpr QRgb kMidlight = qRgb(200, 200, 215);
constexpr QRgb kHighlight = qRgb(230, 0, 230);

constexpr QRgb kRed = qRgb(220, 30, 30);
constexpr QRgb kGreen = qRgb(30, 200, 60);
constexpr QRgb kBlue = qRgb(0, 0, 255);

// The bounding box of the pixels in `area` that are not `background`.
QRect InkBox(const QImage& image, const QRect& area, QRgb background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != background) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// How near the pixel in `area` closest to `colour` comes to it, as the largest channel difference.
int ClosestTo(const QImage& image, const QRect& area, QRgb colour) {
    int best = 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            best = std::min(best, std::max({std::abs(qRed(p) - qRed(colour)),
                                            std::abs(qGreen(p) - qGreen(colour)),
                                            std::abs(qBlue(p) - qBlue(colour))}));
        }
    }
    return best;
}

int CountPixels(const QImage& image, const QRect& area, QRgb colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// Paint events of a widget, to see what a redraw asks to be repainted.
class PaintRecorder : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// A grid with a side heading kSide wide, a top heading kTop high, columns kColW wide and rows kRowH
// high, in the colours above, shown offscreen.
class GridTest : public ::testing::Test {
protected:
    static constexpr int kSide = 30;
    static constexpr int kTop = 22;
    static constexpr int kColW = 80;
    static constexpr int kRowH = 24;

    RecordingGrid grid;

    void SetUp() override {
        QPalette colours = grid.palette();
        colours.setColor(QPalette::Base, QColor(kBase));
        colours.setColor(QPalette::Button, QColor(kButton));
        colours.setColor(QPalette::WindowText, QColor(kWindowText));
        colours.setColor(QPalette::Text, QColor(kText));
        colours.setColor(QPalette::Light, QColor(kLight));
        colours.setColor(QPalette::Dark, QColor(kDark));
        colours.setColor(QPalette::Shadow, QColor(kShadow));
        colours.setColor(QPalette::Midlight, QColor(kMidlight));
        colours.setColor(QPalette::Highlight, QColor(kHighlight));
        grid.setPalette(colours);
        ASSERT_EQ(grid.SetSH_Width(kSide), UG_SUCCESS);
        ASSERT_EQ(grid.SetTH_Height(kTop), UG_SUCCESS);
        ASSERT_EQ(grid.SetDefColWidth(kColW), UG_SUCCESS);
        ASSERT_EQ(grid.SetDefRowHeight(kRowH), UG_SUCCESS);
        grid.resize(420, 300);
    }

    void Build(int cols, int rows) {
        ASSERT_EQ(grid.SetNumberCols(cols), UG_SUCCESS);
        for (int row = 0; row < rows; ++row) {
            ASSERT_EQ(grid.InsertRow(row), UG_SUCCESS);
        }
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        grid.Forget();
    }

    // Where the grid puts a cell in its viewport while not scrolled; all columns and rows keep
    // the default size.
    static QRect CellRect(int col, int row) {
        const int x = col < 0 ? 0 : kSide + col * kColW;
        const int y = row < 0 ? 0 : kTop + row * kRowH;
        return {x, y, col < 0 ? kSide : kColW, row < 0 ? kTop : kRowH};
    }
    static QRect JoinedRect(int startCol, int startRow, int endCol, int endRow) {
        return CellRect(startCol, startRow) | CellRect(endCol, endRow);
    }
    // The box of a check box in a cell drawn in `cell`: 3 px in, centred, at most 12 px.
    static QRect BoxIn(const QRect& cell) {
        const int side = std::min(cell.height() - 6, 12);
        return {cell.left() + 3, cell.top() + (cell.height() - side) / 2, side, side};
    }

    void Press(QPoint at) { QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at); }
    // The cell that a press in the middle of a cell makes current: the top-left cell of the join
    // the pressed cell lies in, or the cell itself.
    QPoint PressedCell(int col, int row) {
        Press(CellRect(col, row).center());
        return CurrentCell(grid);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&grid, key, modifiers);
    }
    QImage Shot() {
        return grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    void MakeCheckBox(int col, int row, int style = 0, const QString& value = "0") {
        ASSERT_EQ(grid.QuickSetCellType(col, row, UGCT_CHECKBOX), UG_SUCCESS);
        ASSERT_EQ(grid.QuickSetCellTypeEx(col, row, style), UG_SUCCESS);
        ASSERT_EQ(grid.QuickSetText(col, row, value), UG_SUCCESS);
    }
    void SetBackground(int col, int row, QRgb colour) {
        CUGCell cell;
        ASSERT_EQ(grid.GetCell(col, row, &cell), UG_SUCCESS);
        cell.background = QColor(colour);
        ASSERT_EQ(grid.SetCell(col, row, &cell), UG_SUCCESS);
    }
};

// ---- Attaching -----------------------------------------------------------------------------

TEST(GridAttach, TakesThePlaceholdersPlaceHidesItAndSetsUpOnce) {
    QWidget dialog;
    dialog.resize(400, 300);
    QWidget* other = new QWidget(&dialog);
    other->setProperty("controlId", 7);
    QWidget* frame = new QWidget(&dialog);
    frame->setGeometry(0, 0, 300, 250);
    QWidget* placeholder = new QWidget(frame);
    placeholder->setProperty("controlId", 9);
    placeholder->setGeometry(12, 34, 200, 150);
    auto* grid = new RecordingGrid(&dialog);
    grid->hide();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(placeholder->isVisible());

    ASSERT_EQ(grid->AttachGrid(&dialog, 9), UG_SUCCESS);
    EXPECT_EQ(grid->parentWidget(), frame);
    EXPECT_EQ(grid->geometry(), QRect(12, 34, 200, 150));
    EXPECT_FALSE(placeholder->isVisible());
    EXPECT_TRUE(grid->isVisible());
    EXPECT_TRUE(other->isVisible());
    EXPECT_EQ(grid->setups, 1);

    // Set up happens once in the grid's life, however often it is attached.
    ASSERT_EQ(grid->AttachGrid(&dialog, 7), UG_SUCCESS);
    EXPECT_EQ(grid->parentWidget(), &dialog);
    EXPECT_EQ(grid->setups, 1);
}

TEST(GridAttach, TakesThePlaceholdersPlaceInALayoutBeforeTheDialogShows) {
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QWidget(&dialog));
    QWidget* placeholder = new QWidget(&dialog);
    placeholder->setProperty("controlId", 3);
    layout->addWidget(placeholder);
    auto* grid = new RecordingGrid(&dialog);

    ASSERT_EQ(grid->AttachGrid(&dialog, 3), UG_SUCCESS);
    EXPECT_EQ(layout->indexOf(grid), 1);
    EXPECT_EQ(layout->indexOf(placeholder), -1);
    EXPECT_EQ(layout->count(), 2);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(grid->isVisible());
    EXPECT_FALSE(placeholder->isVisible());
}

TEST(GridAttach, RefusesAnUnknownIdAndDoesNotSetUp) {
    QWidget dialog;
    QWidget* placeholder = new QWidget(&dialog);
    placeholder->setProperty("controlId", 9);
    // A control id that is not a number matches nothing either.
    QWidget* named = new QWidget(&dialog);
    named->setProperty("controlId", "ten");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    RecordingGrid grid;

    EXPECT_EQ(grid.AttachGrid(&dialog, 10), UG_ERROR);
    EXPECT_EQ(grid.AttachGrid(&dialog, 0), UG_ERROR);
    EXPECT_EQ(grid.AttachGrid(nullptr, 9), UG_ERROR);
    EXPECT_EQ(grid.setups, 0);
    EXPECT_EQ(grid.parentWidget(), nullptr);
    EXPECT_TRUE(placeholder->isVisible());
    EXPECT_TRUE(named->isVisible());
}

// ---- Geometry ------------------------------------------------------------------------------

using GridGeometry = GridTest;

TEST_F(GridGeometry, DefaultRowHeightIsAcceptedFrom1To1024) {
    Build(2, 2);
    ASSERT_EQ(grid.SetRowHeight(1, 40), UG_SUCCESS);
    for (const int refused : {0, -1, 1025, 100000}) {
        EXPECT_EQ(grid.SetDefRowHeight(refused), UG_ERROR) << refused;
        EXPECT_EQ(grid.GetRowHeight(0), kRowH) << refused;
    }
    for (const int accepted : {1, 1024, 37}) {
        EXPECT_EQ(grid.SetDefRowHeight(accepted), UG_SUCCESS) << accepted;
        EXPECT_EQ(grid.GetRowHeight(0), accepted);
        // A row given its own height keeps it.
        EXPECT_EQ(grid.GetRowHeight(1), 40);
    }
    EXPECT_EQ(grid.SetRowHeight(0, 0), UG_ERROR);
    EXPECT_EQ(grid.SetRowHeight(0, 1025), UG_ERROR);
    EXPECT_EQ(grid.SetRowHeight(2, 10), UG_ERROR);
    EXPECT_EQ(grid.GetRowHeight(0), 37);
}

TEST_F(GridGeometry, ColumnsFollowTheDefaultWidthUntilGivenTheirOwn) {
    Build(3, 1);
    ASSERT_EQ(grid.SetColWidth(1, 120), UG_SUCCESS);
    ASSERT_EQ(grid.SetDefColWidth(50), UG_SUCCESS);
    EXPECT_EQ(grid.GetColWidth(0), 50);
    EXPECT_EQ(grid.GetColWidth(1), 120);
    EXPECT_EQ(grid.GetColWidth(2), 50);
    EXPECT_EQ(grid.GetNumberCols(), 3);
    EXPECT_EQ(grid.SetColWidth(3, 10), UG_ERROR);
    EXPECT_EQ(grid.SetColWidth(0, -1), UG_ERROR);
    EXPECT_EQ(grid.SetDefColWidth(0), UG_ERROR);
    EXPECT_EQ(grid.GetColWidth(0), 50);
}

TEST_F(GridGeometry, CellsAreDrawnWhereTheirColumnsAndRowsPutThem) {
    Build(3, 3);
    ASSERT_EQ(grid.SetColWidth(1, 120), UG_SUCCESS);
    ASSERT_EQ(grid.SetRowHeight(1, 40), UG_SUCCESS);
    SetBackground(2, 2, kRed);
    const QImage shot = Shot();
    // Column 2 starts after 80 + 120 px, row 2 after 24 + 40 px, both past the headings.
    const QRect cell(kSide + kColW + 120, kTop + kRowH + 40, kColW, kRowH);
    EXPECT_EQ(shot.pixel(cell.center()), kRed);
    EXPECT_EQ(shot.pixel(cell.topLeft()), kRed);
    EXPECT_NE(shot.pixel(cell.topLeft() - QPoint(1, 0)), kRed);
    EXPECT_NE(shot.pixel(cell.topLeft() - QPoint(0, 1)), kRed);
    // Its right and bottom edges carry the grid lines.
    EXPECT_EQ(shot.pixel(cell.right(), cell.center().y()), kMidlight);
    EXPECT_EQ(shot.pixel(cell.center().x(), cell.bottom()), kMidlight);
}

TEST_F(GridGeometry, HeadingsOfNoSizeAreHidden) {
    Build(2, 2);
    SetBackground(0, 0, kRed);
    ASSERT_EQ(grid.SetTH_Height(0), UG_SUCCESS);
    ASSERT_EQ(grid.SetSH_Width(0), UG_SUCCESS);
    EXPECT_EQ(grid.GetRowHeight(-1), 0);
    EXPECT_EQ(grid.GetColWidth(-1), 0);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(5, 5), kRed);
    EXPECT_EQ(CountPixels(shot, QRect(0, 0, 100, 60), kButton), 0);
    EXPECT_EQ(grid.SetTH_Height(-1), UG_ERROR);
    EXPECT_EQ(grid.SetSH_Width(-1), UG_ERROR);

    // Clicks land on the cells that moved up and left.
    Press(QPoint(kColW + 5, kRowH + 5));
    EXPECT_EQ(CurrentCell(grid), QPoint(1, 1));
}

TEST_F(GridGeometry, UsersDragHeadingEdgesOnlyWhileSizingIsAllowed) {
    Build(3, 3);
    // Each drag takes the edge where it is now, one pixel inside the column or row.
    const auto dragColumnEdge = [&](int dx) {
        const QPoint edge(kSide + grid.GetColWidth(0) - 1, kTop / 2);
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(grid.viewport(), edge + QPoint(dx / 2, 0));
        QTest::mouseMove(grid.viewport(), edge + QPoint(dx, 0));
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, edge + QPoint(dx, 0));
    };
    const auto dragRowEdge = [&](int dy) {
        const QPoint edge(kSide / 2, kTop + grid.GetRowHeight(0) - 1);
        QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(grid.viewport(), edge + QPoint(0, dy));
        QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, edge + QPoint(0, dy));
    };

    dragColumnEdge(30);
    EXPECT_EQ(grid.GetColWidth(0), kColW + 30);
    EXPECT_EQ(grid.GetColWidth(1), kColW);
    dragRowEdge(16);
    EXPECT_EQ(grid.GetRowHeight(0), kRowH + 16);

    grid.SetUserSizingMode(false);
    dragColumnEdge(-40);
    EXPECT_EQ(grid.GetColWidth(0), kColW + 30);
    dragRowEdge(-10);
    EXPECT_EQ(grid.GetRowHeight(0), kRowH + 16);
    EXPECT_TRUE(grid.changes.empty());
}

// ---- Rows ----------------------------------------------------------------------------------

using GridRows = GridTest;

TEST_F(GridRows, InsertRowOnlyAppends) {
    Build(2, 0);
    EXPECT_EQ(grid.InsertRow(1), UG_ERROR);
    EXPECT_EQ(grid.InsertRow(-1), UG_ERROR);
    EXPECT_EQ(grid.GetNumberRows(), 0);
    EXPECT_EQ(grid.InsertRow(0), UG_SUCCESS);
    EXPECT_EQ(grid.InsertRow(0), UG_ERROR);
    EXPECT_EQ(grid.InsertRow(1), UG_SUCCESS);
    EXPECT_EQ(grid.GetNumberRows(), 2);
    // Appended rows start empty.
    CUGCell cell;
    ASSERT_EQ(grid.GetCell(1, 1, &cell), UG_SUCCESS);
    EXPECT_TRUE(cell.text.isEmpty());
    EXPECT_FALSE(cell.background.has_value());
}

TEST_F(GridRows, DeleteRowRemovesThatRowAndMovesTheRestUp) {
    Build(2, 4);
    for (int row = 0; row < 4; ++row) {
        ASSERT_EQ(grid.QuickSetText(1, row, QString("r%1").arg(row)), UG_SUCCESS);
    }
    EXPECT_EQ(grid.DeleteRow(1), UG_SUCCESS);
    EXPECT_EQ(grid.GetNumberRows(), 3);
    EXPECT_EQ(grid.QuickGetText(1, 0), "r0");
    EXPECT_EQ(grid.QuickGetText(1, 1), "r2");
    EXPECT_EQ(grid.QuickGetText(1, 2), "r3");
    EXPECT_EQ(grid.DeleteRow(3), UG_ERROR);
    EXPECT_EQ(grid.DeleteRow(-1), UG_ERROR);
    EXPECT_EQ(grid.GetNumberRows(), 3);
}

TEST_F(GridRows, JoinsCloseUpOverADeletedRow) {
    Build(3, 5);
    ASSERT_EQ(grid.JoinCells(0, 2, 1, 3), UG_SUCCESS);
    // Above the join: it moves up with its rows.
    ASSERT_EQ(grid.DeleteRow(0), UG_SUCCESS);
    EXPECT_EQ(PressedCell(1, 2), QPoint(0, 1));
    // Inside it: one row shorter, and a single row is still a join across two columns.
    ASSERT_EQ(grid.DeleteRow(2), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(2, 0), UG_SUCCESS);
    EXPECT_EQ(PressedCell(1, 1), QPoint(0, 1));
    // The row that followed the join is not in it.
    EXPECT_EQ(PressedCell(1, 2), QPoint(1, 2));
}

TEST_F(GridRows, FewerColumnsCutJoinsAndMoveTheCurrentCellBack) {
    Build(5, 3);
    ASSERT_EQ(grid.JoinCells(1, 0, 3, 1), UG_SUCCESS);
    ASSERT_EQ(grid.JoinCells(3, 2, 4, 2), UG_SUCCESS);
    ASSERT_EQ(grid.SetColWidth(4, 50), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetText(4, 1, "gone"), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(4, 0), UG_SUCCESS);
    grid.Forget();
    ASSERT_EQ(grid.SetNumberCols(3), UG_SUCCESS);
    // The last column left, 2, lies in the first join: its top-left cell becomes current.
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{4, 1, 0, 0}}));
    Press(CellRect(0, 2).center());
    EXPECT_EQ(PressedCell(2, 1), QPoint(1, 0));
    // The second join lost all but one column, and with it its join.
    grid.Forget();
    ASSERT_EQ(grid.SetNumberCols(5), UG_SUCCESS);
    Press(CellRect(4, 2).center());
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{1, 4, 0, 2}}));
    // Columns that come back start empty and at the default width.
    EXPECT_EQ(grid.GetColWidth(4), kColW);
    EXPECT_TRUE(grid.QuickGetText(4, 1).isEmpty());
}

// ---- Cells ---------------------------------------------------------------------------------

using GridCells = GridTest;

TEST_F(GridCells, SetCellAndGetCellCarryEveryProperty) {
    Build(2, 2);
    QPixmap bitmap(8, 6);
    bitmap.fill(Qt::red);
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    CUGCell written;
    written.text = "1";
    written.label = "Unit";
    written.background = QColor(kRed);
    written.textColor = QColor(kBlue);
    written.font = font;
    written.alignment = UG_ALIGNRIGHT | UG_ALIGNBOTTOM;
    written.cellType = UGCT_CHECKBOX;
    written.cellTypeEx = UGCT_CHECKBOX3DRECESS | UGCT_NORMALMULTILINE;
    written.bitmap = bitmap;
    for (const int row : {-1, 1}) {
        ASSERT_EQ(grid.SetCell(1, row, &written), UG_SUCCESS);
        CUGCell read;
        ASSERT_EQ(grid.GetCell(1, row, &read), UG_SUCCESS);
        EXPECT_EQ(read.text, written.text);
        EXPECT_EQ(read.label, written.label);
        EXPECT_EQ(read.background, written.background);
        EXPECT_EQ(read.textColor, written.textColor);
        EXPECT_EQ(read.font, written.font);
        EXPECT_EQ(read.alignment, written.alignment);
        EXPECT_EQ(read.cellType, written.cellType);
        EXPECT_EQ(read.cellTypeEx, written.cellTypeEx);
        EXPECT_EQ(read.bitmap.toImage(), bitmap.toImage());
    }
    // Its neighbour was not touched, and what a cell leaves unset reads back unset.
    CUGCell neighbour;
    ASSERT_EQ(grid.GetCell(0, 1, &neighbour), UG_SUCCESS);
    EXPECT_FALSE(neighbour.background || neighbour.textColor || neighbour.font ||
                 neighbour.alignment);
    EXPECT_EQ(neighbour.cellType, UGCT_NORMAL);
}

TEST_F(GridCells, QuickSettersChangeOnlyTheirOwnProperty) {
    Build(2, 2);
    SetBackground(0, 1, kRed);
    QPixmap bitmap(4, 4);
    bitmap.fill(Qt::green);
    ASSERT_EQ(grid.QuickSetText(0, 1, "text"), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetLabelText(0, 1, "label"), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetBitmap(0, 1, bitmap), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetCellType(0, 1, UGCT_CHECKBOX), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetCellTypeEx(0, 1, UGCT_CHECKBOXCHECKMARK), UG_SUCCESS);
    CUGCell cell;
    ASSERT_EQ(grid.GetCell(0, 1, &cell), UG_SUCCESS);
    EXPECT_EQ(cell.text, "text");
    EXPECT_EQ(grid.QuickGetText(0, 1), "text");
    EXPECT_EQ(cell.label, "label");
    EXPECT_EQ(cell.bitmap.toImage(), bitmap.toImage());
    EXPECT_EQ(cell.cellType, UGCT_CHECKBOX);
    EXPECT_EQ(cell.cellTypeEx, UGCT_CHECKBOXCHECKMARK);
    EXPECT_EQ(cell.background, QColor(kRed));
    // Only known cell types are taken.
    EXPECT_EQ(grid.QuickSetCellType(0, 1, 7), UG_ERROR);
    cell.cellType = 7;
    EXPECT_EQ(grid.SetCell(0, 1, &cell), UG_ERROR);
    EXPECT_EQ(grid.GetCell(0, 1, &cell), UG_SUCCESS);
    EXPECT_EQ(cell.cellType, UGCT_CHECKBOX);
}

TEST_F(GridCells, OperationsOutsideTheGridRefuseAndChangeNothing) {
    Build(3, 2);
    for (int row = -1; row < 2; ++row) {
        for (int col = -1; col < 3; ++col) {
            ASSERT_EQ(grid.QuickSetText(col, row, QString("%1/%2").arg(col).arg(row)), UG_SUCCESS);
        }
    }
    const auto snapshot = [&] {
        QStringList texts;
        for (int row = -1; row < 2; ++row) {
            for (int col = -1; col < 3; ++col) {
                CUGCell cell;
                grid.GetCell(col, row, &cell);
                texts << cell.text << cell.label << QString::number(cell.cellType)
                      << QString::number(cell.cellTypeEx) << (cell.bitmap.isNull() ? "-" : "b");
            }
        }
        return texts;
    };
    const QStringList before = snapshot();
    const QImage shotBefore = Shot();

    CUGCell cell;
    cell.text = "x";
    QPixmap bitmap(4, 4);
    bitmap.fill(Qt::red);
    for (const QPoint outside : {QPoint(3, 0), QPoint(0, 2), QPoint(-2, 0), QPoint(0, -2),
                                 QPoint(3, -1), QPoint(100, 100)}) {
        const int col = outside.x();
        const int row = outside.y();
        SCOPED_TRACE(testing::Message() << col << "," << row);
        EXPECT_EQ(grid.GetCell(col, row, &cell), UG_ERROR);
        EXPECT_EQ(cell.text, "x");
        EXPECT_EQ(grid.SetCell(col, row, &cell), UG_ERROR);
        EXPECT_EQ(grid.QuickSetText(col, row, "y"), UG_ERROR);
        EXPECT_EQ(grid.QuickSetLabelText(col, row, "y"), UG_ERROR);
        EXPECT_EQ(grid.QuickSetBitmap(col, row, bitmap), UG_ERROR);
        EXPECT_EQ(grid.QuickSetCellType(col, row, UGCT_CHECKBOX), UG_ERROR);
        EXPECT_EQ(grid.QuickSetCellTypeEx(col, row, 1), UG_ERROR);
        EXPECT_TRUE(grid.QuickGetText(col, row).isEmpty());
        EXPECT_EQ(grid.GotoCell(col, row), UG_ERROR);
        EXPECT_EQ(grid.JoinCells(0, 0, col, row), UG_ERROR);
        grid.RedrawCell(col, row);
    }
    EXPECT_EQ(grid.GetCell(0, 0, nullptr), UG_ERROR);
    EXPECT_EQ(grid.SetCell(0, 0, nullptr), UG_ERROR);
    EXPECT_EQ(grid.GetHeadingDefault(nullptr), UG_ERROR);
    EXPECT_EQ(grid.SetHeadingDefault(nullptr), UG_ERROR);
    // The headings hold cells, but the current cell is never one of them.
    EXPECT_EQ(grid.GotoCell(0, -1), UG_ERROR);
    EXPECT_EQ(grid.GotoCell(-1, 0), UG_ERROR);
    EXPECT_EQ(grid.SetNumberCols(-1), UG_ERROR);

    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(grid.GetNumberCols(), 3);
    EXPECT_EQ(grid.GetNumberRows(), 2);
    EXPECT_EQ(CurrentCell(grid), QPoint(0, 0));
    EXPECT_TRUE(grid.changes.empty());
    EXPECT_EQ(Shot(), shotBefore);
}

TEST_F(GridCells, DataCellsThatSetNothingUseTheWindowsColours) {
    Build(2, 2);
    ASSERT_EQ(grid.QuickSetText(1, 1, "HHHH"), UG_SUCCESS);
    const QImage shot = Shot();
    const QRect cell = CellRect(1, 1);
    EXPECT_EQ(shot.pixel(cell.center() + QPoint(20, 0)), kBase);
    const QRect ink = InkBox(shot, cell.adjusted(2, 2, -2, -2), kBase);
    ASSERT_FALSE(ink.isEmpty());
    // Left and top: the text starts near the cell's left and top edges.
    EXPECT_LT(ink.left(), cell.left() + 8);
    EXPECT_LT(ink.top(), cell.top() + 8);
    // In the window's text colour: the strokes' cores are that colour, give or take smoothing.
    EXPECT_LT(ClosestTo(shot, ink, kWindowText), 40);
}

TEST_F(GridCells, AlignmentPlacesTheText) {
    Build(2, 2);
    ASSERT_EQ(grid.SetRowHeight(1, 60), UG_SUCCESS);
    const QRect cell(kSide + kColW, kTop + kRowH, kColW, 60);
    const auto inkWith = [&](int alignment) {
        CUGCell props;
        grid.GetCell(1, 1, &props);
        props.text = "Ab";
        props.alignment = alignment;
        grid.SetCell(1, 1, &props);
        return InkBox(Shot(), cell.adjusted(2, 2, -2, -2), kBase);
    };
    const QRect leftTop = inkWith(UG_ALIGNLEFT | UG_ALIGNTOP);
    const QRect rightBottom = inkWith(UG_ALIGNRIGHT | UG_ALIGNBOTTOM);
    const QRect centred = inkWith(UG_ALIGNCENTER | UG_ALIGNVCENTER);
    ASSERT_FALSE(leftTop.isEmpty());
    EXPECT_LT(leftTop.right(), cell.center().x());
    EXPECT_LT(leftTop.bottom(), cell.center().y());
    EXPECT_GT(rightBottom.left(), cell.center().x());
    EXPECT_GT(rightBottom.top(), cell.center().y());
    EXPECT_LE(std::abs(centred.center().x() - cell.center().x()), 3);
    EXPECT_LE(std::abs(centred.center().y() - cell.center().y()), 4);
}

TEST_F(GridCells, MultiLineCellsWrapTheirWords) {
    Build(2, 2);
    ASSERT_EQ(grid.SetRowHeight(1, 90), UG_SUCCESS);
    const QRect cell(kSide + kColW, kTop + kRowH, kColW, 90);
    ASSERT_EQ(grid.QuickSetText(1, 1, "one two three four five"), UG_SUCCESS);
    const QRect oneLine = InkBox(Shot(), cell.adjusted(2, 2, -2, -2), kBase);
    ASSERT_EQ(grid.QuickSetCellTypeEx(1, 1, UGCT_NORMALMULTILINE), UG_SUCCESS);
    const QRect wrapped = InkBox(Shot(), cell.adjusted(2, 2, -2, -2), kBase);
    ASSERT_FALSE(oneLine.isEmpty());
    EXPECT_GE(wrapped.height(), 2 * oneLine.height());
    // Wrapped, it stays clear of the cell's right edge.
    EXPECT_LT(wrapped.right(), cell.right() - 2);
}

TEST_F(GridCells, ABitmapIsDrawnCentredInsteadOfTheText) {
    Build(2, 2);
    QPixmap bitmap(10, 6);
    bitmap.fill(QColor(kGreen));
    CUGCell cell;
    grid.GetCell(1, 1, &cell);
    cell.text = "WWWWWW";
    cell.textColor = QColor(kBlue);
    grid.SetCell(1, 1, &cell);
    ASSERT_EQ(grid.QuickSetBitmap(1, 1, bitmap), UG_SUCCESS);
    const QImage shot = Shot();
    const QRect rect = CellRect(1, 1);
    const QRect inner = rect.adjusted(2, 2, -2, -2);
    EXPECT_EQ(CountPixels(shot, inner, kGreen), 60);
    const QRect drawn = InkBox(shot, inner, kBase);
    EXPECT_EQ(drawn.size(), QSize(10, 6));
    EXPECT_LE(std::abs(drawn.center().x() - rect.center().x()), 1);
    EXPECT_LE(std::abs(drawn.center().y() - rect.center().y()), 1);
}

TEST_F(GridCells, TheFallbackFontIsUsedByCellsThatSetNone) {
    Build(2, 2);
    ASSERT_EQ(grid.SetRowHeight(1, 60), UG_SUCCESS);
    const QRect cell(kSide + kColW, kTop + kRowH, kColW, 60);
    const QRect other(kSide, kTop + kRowH, kColW, 60);
    ASSERT_EQ(grid.QuickSetText(1, 1, "Hg"), UG_SUCCESS);
    CUGCell own;
    grid.GetCell(0, 1, &own);
    own.text = "Hg";
    QFont small("DejaVu Sans");
    small.setPixelSize(10);
    own.font = small;
    grid.SetCell(0, 1, &own);

    ASSERT_EQ(grid.SetDefFont(small), UG_SUCCESS);
    const QImage before = Shot();
    QFont large = small;
    large.setPixelSize(30);
    ASSERT_EQ(grid.SetDefFont(large), UG_SUCCESS);
    const QImage after = Shot();

    const int smallHeight = InkBox(before, cell.adjusted(2, 2, -2, -2), kBase).height();
    const int largeHeight = InkBox(after, cell.adjusted(2, 2, -2, -2), kBase).height();
    EXPECT_GT(smallHeight, 4);
    EXPECT_GE(largeHeight, 2 * smallHeight);
    // A cell with its own font keeps it.
    EXPECT_EQ(InkBox(after, other.adjusted(2, 2, -2, -2), kBase),
              InkBox(before, other.adjusted(2, 2, -2, -2), kBase));
}

TEST_F(GridCells, HeadingDefaultsStartAsRaisedButtonsAndFillWhatHeadingsLeaveUnset) {
    Build(3, 2);
    CUGCell defaults;
    ASSERT_EQ(grid.GetHeadingDefault(&defaults), UG_SUCCESS);
    // The palette was set after the grid was made: the starting look follows it.
    EXPECT_EQ(defaults.background, QColor(kButton));
    EXPECT_EQ(defaults.textColor, QColor(kWindowText));

    SetBackground(2, -1, kRed);
    QImage shot = Shot();
    const QRect heading = CellRect(1, -1);
    EXPECT_EQ(shot.pixel(heading.center()), kButton);
    EXPECT_EQ(shot.pixel(CellRect(-1, 0).center()), kButton);
    EXPECT_EQ(shot.pixel(CellRect(2, -1).center()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(1, 1).center()), kBase);
    // Raised: light along the top and left, dark along the bottom and right.
    EXPECT_EQ(shot.pixel(heading.left(), heading.center().y()), kLight);
    EXPECT_EQ(shot.pixel(heading.center().x(), heading.top()), kLight);
    EXPECT_EQ(shot.pixel(heading.right(), heading.center().y()), kDark);
    EXPECT_EQ(shot.pixel(heading.center().x(), heading.bottom()), kDark);

    defaults.background = QColor(kGreen);
    ASSERT_EQ(grid.SetHeadingDefault(&defaults), UG_SUCCESS);
    shot = Shot();
    EXPECT_EQ(shot.pixel(heading.center()), kGreen);
    EXPECT_EQ(shot.pixel(CellRect(2, -1).center()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(1, 1).center()), kBase);

    // Chosen heading colours stay when the palette changes.
    QPalette colours = grid.palette();
    colours.setColor(QPalette::Button, Qt::yellow);
    grid.setPalette(colours);
    ASSERT_EQ(grid.GetHeadingDefault(&defaults), UG_SUCCESS);
    EXPECT_EQ(defaults.background, QColor(kGreen));
}

// ---- Joins ---------------------------------------------------------------------------------

using GridJoins = GridTest;

TEST_F(GridJoins, AJoinedAreaIsDrawnAsItsTopLeftCell) {
    Build(4, 4);
    SetBackground(1, 1, kRed);
    SetBackground(2, 2, kGreen);
    ASSERT_EQ(Shot().pixel(CellRect(2, 2).center()), kGreen);

    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(CellRect(2, 2).center()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(2, 1).center()), kRed);
    // No grid lines inside the join; they run round it.
    EXPECT_EQ(shot.pixel(CellRect(1, 1).right(), CellRect(1, 1).center().y()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(1, 1).center().x(), CellRect(1, 1).bottom()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(2, 2).right(), CellRect(2, 2).center().y()), kMidlight);
    EXPECT_EQ(shot.pixel(CellRect(3, 2).center()), kBase);
}

TEST_F(GridJoins, TheTextOfAJoinIsPlacedInTheWholeArea) {
    Build(4, 4);
    const QRect joined = JoinedRect(1, 1, 2, 2);
    CUGCell cell;
    grid.GetCell(1, 1, &cell);
    cell.text = "Ab";
    cell.alignment = UG_ALIGNCENTER | UG_ALIGNVCENTER;
    grid.SetCell(1, 1, &cell);
    ASSERT_EQ(grid.JoinCells(2, 2, 1, 1), UG_SUCCESS);  // corners in either order
    const QRect ink = InkBox(Shot(), joined.adjusted(2, 2, -2, -2), kBase);
    EXPECT_LE(std::abs(ink.center().x() - joined.center().x()), 3);
    EXPECT_LE(std::abs(ink.center().y() - joined.center().y()), 4);
}

TEST_F(GridJoins, AClickInTheBottomRightPartActsOnTheTopLeftCell) {
    Build(4, 4);
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    Press(CellRect(2, 2).bottomRight() - QPoint(3, 3));
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 1, 0, 1}}));
    EXPECT_EQ(CurrentCell(grid), QPoint(1, 1));
    // GotoCell into the join is the same.
    Press(CellRect(0, 0).center());
    grid.Forget();
    ASSERT_EQ(grid.GotoCell(2, 1), UG_SUCCESS);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 1, 0, 1}}));
}

TEST_F(GridJoins, TheCheckBoxOfAJoinSitsInTheWholeArea) {
    Build(4, 4);
    MakeCheckBox(1, 1);
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    const QRect box = BoxIn(JoinedRect(1, 1, 2, 2));
    // Where the box of cell (1, 1) alone would be, there is nothing to press.
    Press(BoxIn(CellRect(1, 1)).center());
    EXPECT_TRUE(grid.notifies.empty());
    Press(CellRect(2, 2).center());
    EXPECT_TRUE(grid.notifies.empty());
    Press(box.center());
    EXPECT_EQ(grid.notifies, (std::vector<TypeNotify>{{UGCT_CHECKBOX, 1, 1, UGCT_CHECKBOXSET, 1}}));
}

TEST_F(GridJoins, KeysStepOverAJoin) {
    Build(4, 4);
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(0, 1), UG_SUCCESS);
    grid.Forget();
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Left);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid.changes,
              (std::vector<CellChange>{{0, 1, 1, 1}, {1, 3, 1, 1}, {3, 1, 1, 1}, {1, 1, 1, 3}}));
}

TEST_F(GridJoins, JoinsInTheTopHeadingRow) {
    Build(4, 2);
    SetBackground(0, -1, kRed);
    MakeCheckBox(0, -1, 0);
    ASSERT_EQ(grid.QuickSetLabelText(0, -1, "All units"), UG_SUCCESS);
    ASSERT_EQ(grid.JoinCells(0, -1, 3, -1), UG_SUCCESS);
    const QRect heading = JoinedRect(0, -1, 3, -1);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(CellRect(3, -1).center()), kRed);
    EXPECT_EQ(shot.pixel(CellRect(2, -1).right(), heading.center().y()), kRed);

    Press(CellRect(3, -1).center());
    EXPECT_TRUE(grid.notifies.empty());
    Press(BoxIn(heading).center());
    EXPECT_EQ(grid.notifies,
              (std::vector<TypeNotify>{{UGCT_CHECKBOX, 0, -1, UGCT_CHECKBOXSET, 1}}));
    EXPECT_TRUE(grid.changes.empty());
}

TEST_F(GridJoins, JoinsMayNotCrossFromHeadingsToDataOrLeaveTheGrid) {
    Build(3, 3);
    EXPECT_EQ(grid.JoinCells(0, -1, 1, 0), UG_ERROR);
    EXPECT_EQ(grid.JoinCells(-1, 0, 0, 0), UG_ERROR);
    EXPECT_EQ(grid.JoinCells(0, 0, 3, 0), UG_ERROR);
    EXPECT_EQ(grid.JoinCells(0, 0, 0, 3), UG_ERROR);
    EXPECT_EQ(grid.JoinCells(-1, -1, -1, -1), UG_SUCCESS);
    EXPECT_EQ(grid.JoinCells(-1, 0, -1, 2), UG_SUCCESS);
    // None of the refused ones took: each cell still answers for itself.
    EXPECT_EQ(PressedCell(1, 0), QPoint(1, 0));
}

TEST_F(GridJoins, ALaterJoinDissolvesTheOnesItOverlaps) {
    Build(4, 4);
    ASSERT_EQ(grid.JoinCells(0, 0, 1, 1), UG_SUCCESS);
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    EXPECT_EQ(PressedCell(0, 1), QPoint(0, 1));
    EXPECT_EQ(PressedCell(2, 2), QPoint(1, 1));
    // A single cell undoes the join it is in.
    ASSERT_EQ(grid.JoinCells(2, 2, 2, 2), UG_SUCCESS);
    EXPECT_EQ(PressedCell(2, 2), QPoint(2, 2));
}

TEST_F(GridJoins, ACurrentCellCoveredByANewJoinMovesToItsTopLeft) {
    Build(4, 4);
    ASSERT_EQ(grid.GotoCell(2, 2), UG_SUCCESS);
    grid.Forget();
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 2), UG_SUCCESS);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{2, 1, 2, 1}}));
}

// ---- Check boxes ---------------------------------------------------------------------------

using GridCheckBox = GridTest;

TEST_F(GridCheckBox, APressInTheBoxMovesThereFirstThenTogglesAndTells) {
    Build(3, 3);
    MakeCheckBox(1, 1);
    const QRect box = BoxIn(CellRect(1, 1));

    Press(box.center());
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 1, 0, 1}}));
    EXPECT_EQ(grid.notifies, (std::vector<TypeNotify>{{UGCT_CHECKBOX, 1, 1, UGCT_CHECKBOXSET, 1}}));
    EXPECT_EQ(grid.order, "CN");
    EXPECT_EQ(grid.QuickGetText(1, 1), "1");
    EXPECT_EQ(grid.valueSeenAtNotify, "1");

    grid.Forget();
    Press(box.center());
    EXPECT_TRUE(grid.changes.empty());
    EXPECT_EQ(grid.notifies, (std::vector<TypeNotify>{{UGCT_CHECKBOX, 1, 1, UGCT_CHECKBOXSET, 0}}));
    EXPECT_EQ(grid.QuickGetText(1, 1), "0");
}

TEST_F(GridCheckBox, APressOutsideTheBoxOnlyMovesTheCurrentCell) {
    Build(3, 3);
    MakeCheckBox(1, 1);
    const QRect cell = CellRect(1, 1);
    const QRect box = BoxIn(cell);
    for (const QPoint outside :
         {QPoint(box.left() - 1, box.center().y()), QPoint(box.right() + 1, box.center().y()),
          QPoint(box.center().x(), box.top() - 1), QPoint(box.center().x(), box.bottom() + 1),
          QPoint(cell.right() - 4, cell.center().y())}) {
        SCOPED_TRACE(testing::Message() << outside.x() << "," << outside.y());
        ASSERT_EQ(grid.GotoCell(0, 0), UG_SUCCESS);
        grid.Forget();
        Press(outside);
        EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 1, 0, 1}}));
        EXPECT_TRUE(grid.notifies.empty());
        EXPECT_EQ(grid.QuickGetText(1, 1), "0");
    }
    // Its corners are inside.
    int value = 0;
    for (const QPoint corner :
         {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
        grid.Forget();
        Press(corner);
        value = 1 - value;
        EXPECT_EQ(grid.notifies.size(), 1U);
        EXPECT_EQ(grid.QuickGetText(1, 1), QString::number(value));
    }
}

TEST_F(GridCheckBox, TheSpaceBarTogglesTheCurrentCheckBox) {
    Build(3, 3);
    MakeCheckBox(1, 1, 0, "1");
    ASSERT_EQ(grid.GotoCell(1, 1), UG_SUCCESS);
    grid.Forget();
    Key(Qt::Key_Space);
    EXPECT_EQ(grid.notifies, (std::vector<TypeNotify>{{UGCT_CHECKBOX, 1, 1, UGCT_CHECKBOXSET, 0}}));
    EXPECT_EQ(grid.QuickGetText(1, 1), "0");
    EXPECT_TRUE(grid.changes.empty());

    // On a plain cell it does nothing.
    ASSERT_EQ(grid.QuickSetText(2, 1, "0"), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(2, 1), UG_SUCCESS);
    grid.Forget();
    Key(Qt::Key_Space);
    EXPECT_TRUE(grid.notifies.empty());
    EXPECT_EQ(grid.QuickGetText(2, 1), "0");
}

TEST_F(GridCheckBox, AHeadingCheckBoxTellsRowMinusOneAndLeavesTheCurrentCell) {
    Build(3, 3);
    MakeCheckBox(2, -1);
    ASSERT_EQ(grid.GotoCell(1, 2), UG_SUCCESS);
    grid.Forget();
    Press(BoxIn(CellRect(2, -1)).center());
    EXPECT_EQ(grid.notifies,
              (std::vector<TypeNotify>{{UGCT_CHECKBOX, 2, -1, UGCT_CHECKBOXSET, 1}}));
    EXPECT_EQ(grid.QuickGetText(2, -1), "1");
    EXPECT_TRUE(grid.changes.empty());
    // Outside its box the heading does nothing.
    Press(CellRect(2, -1).center() + QPoint(20, 0));
    EXPECT_EQ(grid.notifies.size(), 1U);
    EXPECT_EQ(CurrentCell(grid), QPoint(1, 2));

    // The side heading is column -1 alike.
    MakeCheckBox(-1, 1);
    grid.Forget();
    Press(BoxIn(CellRect(-1, 1)).center());
    EXPECT_EQ(grid.notifies,
              (std::vector<TypeNotify>{{UGCT_CHECKBOX, -1, 1, UGCT_CHECKBOXSET, 1}}));
    EXPECT_TRUE(grid.changes.empty());
}

TEST_F(GridCheckBox, TheBoxIsDrawnAtTheLeftCentredAndAtMost12PixelsSquare) {
    Build(3, 3);
    ASSERT_EQ(grid.SetRowHeight(1, 40), UG_SUCCESS);
    ASSERT_EQ(grid.SetRowHeight(2, 13), UG_SUCCESS);
    for (const int row : {1, 2}) {
        SetBackground(1, row, kRed);
        MakeCheckBox(1, row);
    }
    const QImage shot = Shot();
    const QRect tall(kSide + kColW, kTop + kRowH, kColW, 40);
    const QRect low(kSide + kColW, kTop + kRowH + 40, kColW, 13);
    for (const auto& [cell, side] : {std::pair{tall, 12}, std::pair{low, 7}}) {
        SCOPED_TRACE(side);
        const int top = cell.top() + (cell.height() - side) / 2;
        const QRect box(cell.left() + 3, top, side, side);
        // The box's frame, the window's colour inside, the cell's colour all round.
        EXPECT_EQ(shot.pixel(box.left(), box.center().y()), kText);
        EXPECT_EQ(shot.pixel(box.right(), box.center().y()), kText);
        EXPECT_EQ(shot.pixel(box.center().x(), box.top()), kText);
        EXPECT_EQ(shot.pixel(box.center().x(), box.bottom()), kText);
        EXPECT_EQ(CountPixels(shot, box.adjusted(1, 1, -1, -1), kBase), (side - 2) * (side - 2));
        EXPECT_EQ(shot.pixel(box.left() - 1, box.center().y()), kRed);
        EXPECT_EQ(shot.pixel(box.right() + 1, box.center().y()), kRed);
        EXPECT_EQ(shot.pixel(box.center().x(), box.top() - 1), kRed);
        EXPECT_EQ(shot.pixel(box.center().x(), box.bottom() + 1), kRed);
    }
}

TEST_F(GridCheckBox, CheckedShowsACrossOrWithTheCheckMarkStyleATick) {
    Build(3, 3);
    MakeCheckBox(0, 1, 0, "0");
    MakeCheckBox(1, 1, 0, "1");
    MakeCheckBox(2, 1, UGCT_CHECKBOXCHECKMARK, "1");
    const QImage shot = Shot();
    const auto inside = [](int col) { return BoxIn(CellRect(col, 1)).adjusted(1, 1, -1, -1); };
    EXPECT_EQ(CountPixels(shot, inside(0), kBase), inside(0).width() * inside(0).height());
    const QRect cross = inside(1);
    const QRect tick = inside(2);
    EXPECT_GT(CountPixels(shot, cross, kText), 12);
    EXPECT_GT(CountPixels(shot, tick, kText), 8);
    // A cross reaches into all four corners, a tick only into the top right one.
    const auto inkNear = [&](QPoint corner) { return shot.pixel(corner) == kText; };
    EXPECT_TRUE(inkNear(cross.topLeft() + QPoint(1, 1)));
    EXPECT_TRUE(inkNear(cross.bottomLeft() + QPoint(1, -1)) ||
                inkNear(cross.bottomLeft() + QPoint(2, -1)));
    EXPECT_FALSE(inkNear(tick.topLeft() + QPoint(1, 1)));
    EXPECT_FALSE(inkNear(tick.bottomRight() + QPoint(-1, -1)));
    EXPECT_TRUE(inkNear(tick.topRight() + QPoint(-1, 1)) ||
                inkNear(tick.topRight() + QPoint(-1, 2)));
}

TEST_F(GridCheckBox, TheRecessedStyleSinksTheBox) {
    Build(3, 3);
    MakeCheckBox(1, 1, UGCT_CHECKBOX3DRECESS);
    const QImage shot = Shot();
    const QRect box = BoxIn(CellRect(1, 1));
    EXPECT_EQ(shot.pixel(box.left(), box.center().y()), kDark);
    EXPECT_EQ(shot.pixel(box.center().x(), box.top()), kDark);
    EXPECT_EQ(shot.pixel(box.left() + 1, box.center().y()), kShadow);
    EXPECT_EQ(shot.pixel(box.right(), box.center().y()), kLight);
    EXPECT_EQ(shot.pixel(box.center().x(), box.bottom()), kLight);
    EXPECT_EQ(shot.pixel(box.right() - 1, box.center().y()), kMidlight);
    EXPECT_EQ(shot.pixel(box.center()), kBase);
}

TEST_F(GridCheckBox, TheLabelStartsSixPixelsPastTheBoxInTheCellsColours) {
    Build(3, 3);
    ASSERT_EQ(grid.SetRowHeight(1, 60), UG_SUCCESS);
    const QRect cell(kSide + kColW, kTop + kRowH, kColW, 60);
    CUGCell props;
    grid.GetCell(1, 1, &props);
    props.cellType = UGCT_CHECKBOX;
    props.text = "0";
    props.label = "Wide words wrap";
    props.background = QColor(kRed);
    props.textColor = QColor(kBlue);
    grid.SetCell(1, 1, &props);
    const QRect label(cell.left() + 3 + 12 + 1, cell.top() + 1, cell.width() - 17, 58);
    const QRect oneLine = InkBox(Shot(), label, kRed);
    ASSERT_FALSE(oneLine.isEmpty());
    EXPECT_GE(oneLine.left(), cell.left() + 12 + 6);
    EXPECT_LE(oneLine.left(), cell.left() + 12 + 6 + 2);
    EXPECT_LT(ClosestTo(Shot(), oneLine, kBlue), 40);
    // The value is not shown as text.
    EXPECT_EQ(InkBox(Shot(), QRect(cell.left() + 1, cell.top() + 1, 2, 58), kRed), QRect());

    ASSERT_EQ(grid.QuickSetCellTypeEx(1, 1, UGCT_NORMALMULTILINE), UG_SUCCESS);
    const QRect wrapped = InkBox(Shot(), label, kRed);
    EXPECT_GE(wrapped.height(), 2 * oneLine.height() - 2);
    EXPECT_EQ(wrapped.left(), oneLine.left());
}

// ---- The current cell ----------------------------------------------------------------------

using GridCurrentCell = GridTest;

TEST_F(GridCurrentCell, TheCurrentCellIsFramedInTheHighlightWhileTheGridHasFocus) {
    Build(3, 3);
    grid.activateWindow();
    grid.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    ASSERT_TRUE(grid.hasFocus());
    ASSERT_EQ(grid.GotoCell(1, 1), UG_SUCCESS);
    const auto frameColours = [&](int col, int row) {
        const QImage shot = Shot();
        const QRect cell = CellRect(col, row);
        // Two pixels deep on each side, the inside untouched.
        return std::vector<QRgb>{shot.pixel(cell.left(), cell.center().y()),
                                 shot.pixel(cell.left() + 1, cell.center().y()),
                                 shot.pixel(cell.right(), cell.center().y()),
                                 shot.pixel(cell.center().x(), cell.top()),
                                 shot.pixel(cell.center().x(), cell.bottom() - 1),
                                 shot.pixel(cell.left() + 2, cell.center().y())};
    };
    EXPECT_EQ(frameColours(1, 1), (std::vector<QRgb>{kHighlight, kHighlight, kHighlight, kHighlight,
                                                     kHighlight, kBase}));
    EXPECT_EQ(frameColours(0, 0),
              (std::vector<QRgb>{kBase, kBase, kMidlight, kBase, kBase, kBase}));
    // A screen reader hears of the same cell as focused.
    QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(&grid)->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(focused->state().focused);
    EXPECT_EQ(focused->tableCellInterface()->columnIndex(), 1);
    // Without focus the frame stays, in a quieter colour.
    grid.clearFocus();
    EXPECT_EQ(frameColours(1, 1), (std::vector<QRgb>{kDark, kDark, kDark, kDark, kDark, kBase}));
}

TEST_F(GridCurrentCell, AnEmptyGridHasNoCurrentRowUntilItsFirstRowComes) {
    Build(3, 0);
    EXPECT_EQ(grid.GetCurrentRow(), -1);
    EXPECT_EQ(grid.GetCurrentCol(), 0);
    ASSERT_EQ(grid.InsertRow(0), UG_SUCCESS);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 0, -1, 0}}));
    EXPECT_EQ(grid.GetCurrentRow(), 0);
    ASSERT_EQ(grid.InsertRow(1), UG_SUCCESS);
    EXPECT_EQ(grid.changes.size(), 1U);
}

TEST_F(GridCurrentCell, DeletingRowsUnderTheCurrentCellMovesItBack) {
    Build(3, 3);
    ASSERT_EQ(grid.GotoCell(1, 2), UG_SUCCESS);
    grid.Forget();
    ASSERT_EQ(grid.DeleteRow(0), UG_SUCCESS);
    ASSERT_EQ(grid.DeleteRow(1), UG_SUCCESS);
    ASSERT_EQ(grid.DeleteRow(0), UG_SUCCESS);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{1, 1, 2, 1}, {1, 1, 1, 0}, {1, 1, 0, -1}}));
    EXPECT_EQ(grid.GetCurrentRow(), -1);
}

TEST_F(GridCurrentCell, AClickMovesTheCurrentCellThere) {
    Build(4, 3);
    Press(CellRect(2, 1).center());
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 2, 0, 1}}));
    Press(CellRect(2, 1).topLeft() + QPoint(3, 3));
    Press(CellRect(3, 2).center());
    // Headings, and the space past the last row, are no cells to move to.
    Press(CellRect(1, -1).center());
    Press(CellRect(-1, 1).center());
    Press(CellRect(1, 3).center());
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 2, 0, 1}, {2, 3, 1, 2}}));
    EXPECT_EQ(CurrentCell(grid), QPoint(3, 2));
}

TEST_F(GridCurrentCell, ArrowKeysMoveOneCellAndStopAtTheEdges) {
    Build(3, 3);
    Key(Qt::Key_Up);
    Key(Qt::Key_Left);
    EXPECT_TRUE(grid.changes.empty());
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    Key(Qt::Key_Left);
    Key(Qt::Key_Up);
    EXPECT_EQ(grid.changes,
              (std::vector<CellChange>{{0, 1, 0, 0}, {1, 1, 0, 1}, {1, 0, 1, 1}, {0, 0, 1, 0}}));
    grid.Forget();
    Key(Qt::Key_End);
    Key(Qt::Key_End, Qt::ControlModifier);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    Key(Qt::Key_Home);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 2, 0, 0}, {2, 2, 0, 2}, {2, 0, 2, 2}}));
}

TEST_F(GridCurrentCell, KeysPassOverColumnsOfNoWidth) {
    Build(4, 1);
    ASSERT_EQ(grid.SetColWidth(1, 0), UG_SUCCESS);
    Key(Qt::Key_Right);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 2, 0, 0}}));
    Key(Qt::Key_Left);
    EXPECT_EQ(grid.GetCurrentCol(), 0);
}

TEST_F(GridCurrentCell, GotoCellOnTheCurrentCellRaisesNothing) {
    Build(3, 3);
    ASSERT_EQ(grid.GotoCell(1, 1), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(1, 1), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(0, 0), UG_SUCCESS);
    ASSERT_EQ(grid.GotoCell(0, 0), UG_SUCCESS);
    EXPECT_EQ(grid.changes, (std::vector<CellChange>{{0, 1, 0, 1}, {1, 0, 1, 0}}));
}

TEST_F(GridCurrentCell, KeysScrollTheCurrentCellIntoView) {
    Build(3, 40);
    const int viewHeight = grid.viewport()->height();
    ASSERT_LT(viewHeight, kTop + 40 * kRowH);
    const auto expectCurrentInView = [&] {
        const int y = kTop + grid.GetCurrentRow() * kRowH - grid.verticalScrollBar()->value();
        EXPECT_GE(y, kTop);
        EXPECT_LE(y + kRowH, viewHeight);
    };
    for (int step = 0; step < 20; ++step) {
        Key(Qt::Key_Down);
        expectCurrentInView();
    }
    EXPECT_EQ(grid.GetCurrentRow(), 20);
    EXPECT_GT(grid.verticalScrollBar()->value(), 0);

    // A page moves by the rows the view holds.
    const int rowsInView = (viewHeight - kTop) / kRowH;
    Key(Qt::Key_PageDown);
    EXPECT_EQ(grid.GetCurrentRow(), 20 + rowsInView - 1);
    expectCurrentInView();
    Key(Qt::Key_PageUp);
    EXPECT_EQ(grid.GetCurrentRow(), 20);
    expectCurrentInView();
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid.GetCurrentRow(), 0);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
}

TEST_F(GridCurrentCell, ClicksFindTheirCellInAScrolledGrid) {
    Build(3, 40);
    ASSERT_GT(grid.verticalScrollBar()->maximum(), 5 * kRowH);
    grid.verticalScrollBar()->setValue(5 * kRowH + 10);
    // The first row in view is row 5, ten pixels of it hidden under the heading.
    Press(QPoint(kSide + kColW + 5, kTop + 2));
    EXPECT_EQ(grid.GetCurrentRow(), 5);
    Press(QPoint(kSide + kColW + 5, kTop + 20));
    EXPECT_EQ(grid.GetCurrentRow(), 6);
    // The heading stays in place and still takes no clicks as cells.
    Press(QPoint(kSide + kColW + 5, kTop - 2));
    EXPECT_EQ(grid.GetCurrentRow(), 6);
    SetBackground(1, 6, kRed);
    EXPECT_EQ(Shot().pixel(kSide + kColW + 40, kTop + 20), kRed);
}

// ---- Redrawing -----------------------------------------------------------------------------

using GridRedraw = GridTest;

TEST_F(GridRedraw, RedrawsRepaintOnlyWhatTheyConcern) {
    Build(4, 4);
    ASSERT_EQ(grid.JoinCells(2, 2, 3, 3), UG_SUCCESS);
    QCoreApplication::processEvents();
    PaintRecorder recorder;
    grid.viewport()->installEventFilter(&recorder);
    const auto repaintedBy = [&](const std::function<void()>& redraw) {
        QCoreApplication::processEvents();
        recorder.painted = QRegion();
        redraw();
        QCoreApplication::processEvents();
        return recorder.painted;
    };

    EXPECT_EQ(repaintedBy([&] { grid.RedrawCell(1, 1); }), QRegion(CellRect(1, 1)));
    EXPECT_EQ(repaintedBy([&] { grid.RedrawCell(3, 3); }), QRegion(JoinedRect(2, 2, 3, 3)));
    EXPECT_EQ(repaintedBy([&] { grid.QuickSetText(0, 1, "x"); }), QRegion(CellRect(0, 1)));
    EXPECT_EQ(repaintedBy([&] { grid.RedrawRange(0, 0, 1, 1); }), QRegion(JoinedRect(0, 0, 1, 1)));
    // A range reaching into a join repaints the whole join; one reaching into the heading
    // repaints those heading cells.
    EXPECT_EQ(repaintedBy([&] { grid.RedrawRange(1, 1, 2, 2); }),
              QRegion(JoinedRect(1, 1, 2, 2)) + QRegion(JoinedRect(2, 2, 3, 3)));
    EXPECT_EQ(repaintedBy([&] { grid.RedrawRange(0, -1, 0, 0); }),
              QRegion(JoinedRect(0, -1, 0, 0)));
    EXPECT_EQ(repaintedBy([&] { grid.GotoCell(1, 0); }),
              QRegion(CellRect(0, 0)) + QRegion(CellRect(1, 0)));
    // A check box toggled by the user shows its new value at once.
    MakeCheckBox(1, 0);
    EXPECT_EQ(repaintedBy([&] { Key(Qt::Key_Space); }), QRegion(CellRect(1, 0)));
    EXPECT_EQ(grid.QuickGetText(1, 0), "1");
    EXPECT_EQ(repaintedBy([&] { grid.RedrawAll(); }), QRegion(grid.viewport()->rect()));
    grid.viewport()->removeEventFilter(&recorder);
}

// ---- Accessibility -------------------------------------------------------------------------

using GridAccessibility = GridTest;

TEST_F(GridAccessibility, TheGridIsATableOfItsCellsWithTheirTexts) {
    Build(3, 2);
    ASSERT_EQ(grid.QuickSetText(0, -1, "Unit"), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetText(1, 0, "Flash 5.0"), UG_SUCCESS);
    ASSERT_EQ(grid.QuickSetText(2, 1, "OFF"), UG_SUCCESS);
    MakeCheckBox(0, 1, 0, "1");
    ASSERT_EQ(grid.QuickSetLabelText(0, 1, "Selected"), UG_SUCCESS);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 2);
    EXPECT_EQ(cells->columnCount(), 3);
    EXPECT_EQ(cells->cellAt(0, 1)->text(QAccessible::Name), "Flash 5.0");
    EXPECT_EQ(cells->cellAt(1, 2)->text(QAccessible::Name), "OFF");
    // A check box is read by its label.
    EXPECT_EQ(cells->cellAt(1, 0)->text(QAccessible::Name), "Selected");
    EXPECT_EQ(cells->cellAt(1, 0)->role(), QAccessible::Cell);
    EXPECT_EQ(cells->columnDescription(0), "Unit");
    EXPECT_EQ(cells->cellAt(2, 0), nullptr);

    // Children: the heading row, then each row, each after its side heading cell.
    ASSERT_EQ(table->childCount(), 3 * 4);
    EXPECT_EQ(table->child(1)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(table->child(1)->text(QAccessible::Name), "Unit");
    EXPECT_EQ(table->child(4)->role(), QAccessible::RowHeader);
    EXPECT_EQ(table->child(4 + 2), cells->cellAt(0, 1));
    for (int index = 0; index < table->childCount(); ++index) {
        EXPECT_EQ(table->indexOfChild(table->child(index)), index);
        EXPECT_EQ(table->child(index)->parent(), table);
    }
    const QList<QAccessibleInterface*> headers =
        cells->cellAt(0, 1)->tableCellInterface()->columnHeaderCells();
    ASSERT_EQ(headers.size(), 1);
    EXPECT_EQ(headers.front(), table->child(2));

    // Hidden headings are no children.
    ASSERT_EQ(grid.SetTH_Height(0), UG_SUCCESS);
    ASSERT_EQ(grid.SetSH_Width(0), UG_SUCCESS);
    ASSERT_EQ(table->childCount(), 3 * 2);
    EXPECT_EQ(table->child(1)->text(QAccessible::Name), "Flash 5.0");
}

TEST_F(GridAccessibility, CheckBoxCellsAreCheckableAndFollowTheirValue) {
    Build(3, 2);
    MakeCheckBox(1, 1);
    QAccessibleTableInterface* cells =
        QAccessible::queryAccessibleInterface(&grid)->tableInterface();
    QAccessibleInterface* box = cells->cellAt(1, 1);
    EXPECT_TRUE(box->state().checkable);
    EXPECT_FALSE(box->state().checked);
    EXPECT_FALSE(cells->cellAt(0, 1)->state().checkable);

    Press(BoxIn(CellRect(1, 1)).center());
    EXPECT_TRUE(box->state().checked);

    // A screen reader's toggle acts as a press on the box.
    QAccessibleActionInterface* actions = box->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    grid.Forget();
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(box->state().checked);
    EXPECT_EQ(grid.notifies, (std::vector<TypeNotify>{{UGCT_CHECKBOX, 1, 1, UGCT_CHECKBOXSET, 0}}));
}

TEST_F(GridAccessibility, TheCurrentCellIsTheFocusedAndSelectedChild) {
    Build(3, 3);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    ASSERT_EQ(grid.GotoCell(2, 1), UG_SUCCESS);
    QAccessibleInterface* focused = table->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->tableCellInterface()->columnIndex(), 2);
    EXPECT_EQ(focused->tableCellInterface()->rowIndex(), 1);
    EXPECT_TRUE(focused->state().selected);
    EXPECT_FALSE(table->tableInterface()->cellAt(0, 0)->state().selected);
    EXPECT_EQ(table->tableInterface()->selectedCells(), QList<QAccessibleInterface*>{focused});

    // Moving by the screen reader's own action.
    QAccessibleInterface* other = table->tableInterface()->cellAt(0, 1);
    other->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_EQ(CurrentCell(grid), QPoint(1, 0));
    EXPECT_EQ(table->focusChild(), other);
}

TEST_F(GridAccessibility, AJoinIsOneCellSpanningItsArea) {
    Build(4, 4);
    ASSERT_EQ(grid.QuickSetText(1, 1, "joined"), UG_SUCCESS);
    ASSERT_EQ(grid.JoinCells(1, 1, 2, 3), UG_SUCCESS);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
    QAccessibleInterface* corner = table->tableInterface()->cellAt(3, 2);
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->text(QAccessible::Name), "joined");
    EXPECT_EQ(corner->tableCellInterface()->columnExtent(), 2);
    EXPECT_EQ(corner->tableCellInterface()->rowExtent(), 3);
    EXPECT_EQ(corner->rect(), QRect(grid.viewport()->mapToGlobal(JoinedRect(1, 1, 2, 3).topLeft()),
                                    JoinedRect(1, 1, 2, 3).size()));
    // The cells under the join are children still, but not shown.
    const int covered = 4 * (5) + 2 + 1;  // row 3 (after the heading row), column 2
    EXPECT_TRUE(table->child(covered)->state().invisible);
    EXPECT_FALSE(corner->state().invisible);
    // What lies under a point on screen is the join.
    const QPoint onScreen = grid.viewport()->mapToGlobal(CellRect(2, 3).center());
    EXPECT_EQ(table->childAt(onScreen.x(), onScreen.y()), corner);
}

}  // namespace
