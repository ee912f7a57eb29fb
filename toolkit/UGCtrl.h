#pragma once

#include "toolkit/UGCell.h"

#include <QAbstractScrollArea>

#include <QFont>

#include <functional>
#include <memory>
#include <optional>

class CUGGridModel;
struct CUGArea;
class CUGGridAccessible;
class CUGCellAccessible;

// A general grid: columns and rows of cells with their own text, colours, font, alignment, cell
// type and bitmap; joined cells (also in the top heading row); one current cell moved by clicks
// and arrow keys; a check-box cell type. It knows nothing of what it shows: users derive from it
// and react to its notifications (OnSetup, OnCellChange, OnCellTypeNotify).
//
// Rows are numbered from 0; the top heading row is row -1. Columns from 0; the side heading is
// column -1. Cells are read by screen readers as a table.
class CUGCtrl : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CUGCtrl(QWidget* parent = nullptr);
    ~CUGCtrl() override;

    // Takes the place, position and size of the child of `dialog` whose "controlId" property is
    // id, hides that placeholder, and raises OnSetup once. UG_ERROR when there is no such child.
    int AttachGrid(QWidget* dialog, int id);

    // Geometry. The getters answer -1 for a column or row that does not exist; column -1 and
    // row -1 give the side heading's width and the top heading's height.
    int SetNumberCols(int count);
    int GetNumberCols() const;
    int SetColWidth(int col, int width);
    int GetColWidth(int col) const;
    int SetDefColWidth(int width);
    int SetDefRowHeight(int height);  // 1..1024
    int SetRowHeight(int row, int height);
    int GetRowHeight(int row) const;
    int SetTH_Height(int height);  // the top heading row; 0 hides it
    int SetSH_Width(int width);    // the side heading; 0 hides it
    void SetUserSizingMode(bool allowed);

    // Rows. Only appending is supported by InsertRow: row must equal GetNumberRows().
    int GetNumberRows() const;
    int InsertRow(int row);
    int DeleteRow(int row);

    // Cells. Outside the rows and columns (row -1 is the heading) these refuse with UG_ERROR.
    // GetCell gives the cell's own properties: what it leaves unset stays unset. Changing a cell
    // repaints it.
    int GetCell(int col, int row, CUGCell* cell) const;
    int SetCell(int col, int row, const CUGCell* cell);
    int QuickSetText(int col, int row, const QString& text);
    int QuickSetLabelText(int col, int row, const QString& text);
    int QuickSetBitmap(int col, int row, const QPixmap& bitmap);
    int QuickSetCellType(int col, int row, int type);
    int QuickSetCellTypeEx(int col, int row, int style);
    QString QuickGetText(int col, int row) const;

    // Defaults of heading cells (their background, text colour, font and alignment where the cell
    // sets none), and the font of cells that set none.
    int GetHeadingDefault(CUGCell* cell) const;
    int SetHeadingDefault(const CUGCell* cell);
    int SetDefFont(const QFont& font);

    // Draws the rectangle as one cell with the properties of its top-left cell.
    int JoinCells(int startCol, int startRow, int endCol, int endRow);

    // The current cell. GotoCell on the cell that is already current raises nothing.
    int GotoCell(int col, int row);
    int GetCurrentCol() const;
    int GetCurrentRow() const;  // -1 while the grid has no rows
    // As a press on the cell's check box does: the cell becomes current, then its box toggles.
    // UG_ERROR for a cell that is no check box.
    int ClickCheckBox(int col, int row);

    void RedrawCell(int col, int row);
    void RedrawRange(int startCol, int startRow, int endCol, int endRow);
    void RedrawAll();

protected:
    // Once, after AttachGrid.
    virtual void OnSetup() {}
    // The current cell moved to another cell, by the user or by GotoCell. Also when rows or
    // columns come or go under it: the first row of an empty grid makes row 0 current.
    virtual void OnCellChange(int oldCol, int newCol, int oldRow, int newRow);
    // A cell type tells of something (check box: UGCT_CHECKBOXSET with the new value, after the
    // value was stored and the cell redrawn).
    virtual int OnCellTypeNotify(int typeId, int col, int row, int msg, long param);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend class CUGGridAccessible;
    friend class CUGCellAccessible;

    // A cell's properties with the defaults filled in, as it is drawn.
    struct Look {
        QColor background;
        QColor textColor;
        QFont font;
        int alignment = 0;
    };
    // A column or row edge being dragged in a heading.
    struct Sizing {
        bool column = true;
        int index = 0;
        int grabOffset = 0;  // from the edge to where the mouse took it
    };

    // Applies a size the grid accepts and shows it; UG_ERROR for the others.
    int Resize(bool acceptable, const std::function<void()>& apply);
    // Sets one property of a cell and tells the screen and screen readers of it.
    template <class Value>
    int QuickSet(int col, int row, Value CUGCell::*property, const Value& value);
    bool IsHeading(int col, int row) const { return col < 0 || row < 0; }
    Look LookOf(int col, int row) const;
    QFont FallbackFont() const;
    void TakeHeadingColoursFromPalette();

    // Viewport geometry: the headings stay put, the data cells scroll under them.
    int TopHeadingHeight() const;
    int SideHeadingWidth() const;
    QRect DataViewRect() const;
    // The zone of the viewport the cell is drawn in: data, a heading, or the corner.
    QRect ZoneRect(int col, int row) const;
    int ViewX(int col) const;
    int ViewY(int row) const;
    QRect AreaRect(const CUGArea& area) const;
    QRect CellViewRect(int col, int row) const;          // the whole join when the cell is in one
    std::optional<QPoint> CellAt(QPoint viewPos) const;  // (col, row)
    std::optional<Sizing> SizingEdgeAt(QPoint viewPos) const;
    static QRect CheckBoxRect(const QRect& cellRect);

    void PaintZone(QPainter& painter, const QRect& zone, const QRect& dirty, bool headingCols,
                   bool headingRows) const;
    void PaintCell(QPainter& painter, int col, int row, const QRect& rect) const;
    void PaintCheckBox(QPainter& painter, const QRect& box, const CUGCell& cell) const;
    void PaintFocus(QPainter& painter) const;

    // Makes the cell (the top-left one of its join) current and raises OnCellChange when that is
    // another cell. False when nothing moved.
    bool MoveCurrent(int col, int row, bool reveal);
    // Puts the current cell back on a cell after rows, columns or joins changed.
    void KeepCurrentOnACell();
    void MoveByKey(int key, Qt::KeyboardModifiers modifiers);
    void Reveal(int col, int row);
    void ToggleCheckBox(int col, int row);
    int VisibleRowsFrom(int row) const;

    void StructureChanged();
    void UpdateScrollBars();
    void CellChanged(int col, int row);
    void UpdateArea(const CUGArea& area);
    void UpdateCursor(QPoint viewPos);
    void NotifyAccessible(int col, int row, int eventType) const;

    std::unique_ptr<CUGGridModel> grid_;
    CUGCell headingDefault_;
    bool headingDefaultFromPalette_ = true;
    std::optional<QFont> defFont_;
    bool userSizing_ = true;
    bool setupDone_ = false;
    int currentCol_ = -1;
    int currentRow_ = -1;
    std::optional<Sizing> sizing_;
};
