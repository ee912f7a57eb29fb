#include "toolkit/UGCtrl.h"

#include "toolkit/UGAccessible.h"
#include "toolkit/UGGridModel.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {

constexpr int kMaxTopHeading = 1024;
// How near a heading's column or row edge the mouse takes it for resizing.
constexpr int kSizingSlop = 3;
// The check box: 3 px in from the cell's left, at most 12 px square and 3 px clear of the cell's
// top and bottom; its label starts 6 px past the box's side.
constexpr int kBoxInset = 3, kBoxMaxSide = 12, kBoxClearance = 6, kLabelGap = 6;
constexpr int kTextMargin = 3;
// The pens of a cell's marking frame and of the current cell's focus frame.
constexpr int kFrameWidth = 2, kFocusWidth = 2;

const QString kChecked = QStringLiteral("1");
const QString kUnchecked = QStringLiteral("0");

bool IsKnownCellType(int type) {
    return type == UGCT_NORMAL || type == UGCT_CHECKBOX;
}

bool IsChecked(const CUGCell& cell) {
    return cell.text == kChecked;
}

// Centre wins over right, right over left; likewise vertically.
Qt::Alignment ToQtAlignment(int bits) {
    Qt::Alignment flags;
    if (bits & UG_ALIGNCENTER) {
        flags |= Qt::AlignHCenter;
    } else if (bits & UG_ALIGNRIGHT) {
        flags |= Qt::AlignRight;
    } else {
        flags |= Qt::AlignLeft;
    }
    if (bits & UG_ALIGNVCENTER) {
        flags |= Qt::AlignVCenter;
    } else if (bits & UG_ALIGNBOTTOM) {
        flags |= Qt::AlignBottom;
    } else {
        flags |= Qt::AlignTop;
    }
    return flags;
}

void DrawCellText(QPainter& painter, const QRect& rect, const QString& text, int alignment,
                  bool multiLine) {
    if (text.isEmpty() || rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const int wrap = multiLine ? Qt::TextWordWrap : Qt::TextSingleLine;
    painter.drawText(rect, static_cast<int>(ToQtAlignment(alignment)) | wrap, text);
}

// The parts of a column or row range that lie in the heading and among the data cells: a range
// that crosses from one to the other is drawn in two zones of the viewport.
std::vector<std::pair<int, int>> SplitAtHeading(int first, int last) {
    std::vector<std::pair<int, int>> parts;
    if (first < 0) {
        parts.emplace_back(-1, -1);
        first = 0;
    }
    if (first <= last) {
        parts.emplace_back(first, last);
    }
    return parts;
}

}  // namespace

CUGCtrl::CUGCtrl(QWidget* parent)
    : QAbstractScrollArea(parent), grid_(std::make_unique<CUGGridModel>()) {
    CUGGridAccessible::Install();
    setFocusPolicy(Qt::StrongFocus);
    // The resize cursor over heading edges follows the mouse without a button down.
    viewport()->setMouseTracking(true);
    headingDefault_.alignment = UG_ALIGNCENTER | UG_ALIGNVCENTER;
    TakeHeadingColoursFromPalette();
    UpdateScrollBars();
}

CUGCtrl::~CUGCtrl() = default;

// ---- Attaching -----------------------------------------------------------------------------

int CUGCtrl::AttachGrid(QWidget* dialog, int id) {
    if (!dialog) {
        return UG_ERROR;
    }
    QWidget* placeholder = nullptr;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (child == this || isAncestorOf(child)) {
            continue;
        }
        const QVariant value = child->property("controlId");
        bool isNumber = false;
        if (value.isValid() && value.toInt(&isNumber) == id && isNumber) {
            placeholder = child;
            break;
        }
    }
    if (!placeholder) {
        return UG_ERROR;
    }

    QWidget* host = placeholder->parentWidget();
    // A child is "hidden" until its window first shows; only one hidden on purpose keeps the grid
    // hidden too.
    const bool hiddenOnPurpose =
        placeholder->isHidden() && placeholder->testAttribute(Qt::WA_WState_ExplicitShowHide);
    if (parentWidget() != host) {
        setParent(host);
    }
    setGeometry(placeholder->geometry());
    setSizePolicy(placeholder->sizePolicy());
    setMinimumSize(placeholder->minimumSize());
    setMaximumSize(placeholder->maximumSize());
    if (host && host->layout()) {
        // The layout hands back the item it held the placeholder in; it is no longer used.
        std::unique_ptr<QLayoutItem> replaced(host->layout()->replaceWidget(placeholder, this));
    }
    // Where the placeholder was in the tab order, the grid is now.
    if (placeholder->window() == window()) {
        QWidget::setTabOrder(placeholder, this);
    }
    placeholder->hide();
    setVisible(!hiddenOnPurpose);

    if (!setupDone_) {
        setupDone_ = true;
        OnSetup();
    }
    return UG_SUCCESS;
}

// ---- Geometry ------------------------------------------------------------------------------

int CUGCtrl::SetNumberCols(int count) {
    if (count < 0 || count > CUGGridModel::kMaxCols) {
        return UG_ERROR;
    }
    grid_->SetCols(count);
    StructureChanged();
    return UG_SUCCESS;
}

int CUGCtrl::GetNumberCols() const {
    return grid_->Cols();
}

int CUGCtrl::Resize(bool acceptable, const std::function<void()>& apply) {
    if (!acceptable) {
        return UG_ERROR;
    }
    apply();
    UpdateScrollBars();
    viewport()->update();
    return UG_SUCCESS;
}

int CUGCtrl::SetColWidth(int col, int width) {
    return Resize(
        col >= 0 && col < grid_->Cols() && width >= 0 && width <= CUGGridModel::kMaxColWidth,
        [&] { grid_->SetColWidth(col, width); });
}

int CUGCtrl::GetColWidth(int col) const {
    return col >= -1 && col < grid_->Cols() ? grid_->ColWidth(col) : -1;
}

int CUGCtrl::SetDefColWidth(int width) {
    return Resize(width >= 1 && width <= CUGGridModel::kMaxColWidth,
                  [&] { grid_->SetDefColWidth(width); });
}

int CUGCtrl::SetDefRowHeight(int height) {
    return Resize(height >= 1 && height <= CUGGridModel::kMaxRowHeight,
                  [&] { grid_->SetDefRowHeight(height); });
}

int CUGCtrl::SetRowHeight(int row, int height) {
    return Resize(
        row >= 0 && row < grid_->Rows() && height >= 1 && height <= CUGGridModel::kMaxRowHeight,
        [&] { grid_->SetRowHeight(row, height); });
}

int CUGCtrl::GetRowHeight(int row) const {
    return row >= -1 && row < grid_->Rows() ? grid_->RowHeight(row) : -1;
}

int CUGCtrl::SetTH_Height(int height) {
    if (height < 0 || height > kMaxTopHeading) {
        return UG_ERROR;
    }
    grid_->SetTopHeadingHeight(height);
    StructureChanged();
    return UG_SUCCESS;
}

int CUGCtrl::SetSH_Width(int width) {
    if (width < 0 || width > CUGGridModel::kMaxColWidth) {
        return UG_ERROR;
    }
    grid_->SetSideHeadingWidth(width);
    StructureChanged();
    return UG_SUCCESS;
}

void CUGCtrl::SetUserSizingMode(bool allowed) {
    userSizing_ = allowed;
    if (!allowed) {
        sizing_.reset();
        viewport()->unsetCursor();
    }
}

// ---- Rows ----------------------------------------------------------------------------------

int CUGCtrl::GetNumberRows() const {
    return grid_->Rows();
}

int CUGCtrl::InsertRow(int row) {
    if (row != grid_->Rows() || row >= CUGGridModel::kMaxRows) {
        return UG_ERROR;
    }
    grid_->AppendRow();
    StructureChanged();
    return UG_SUCCESS;
}

int CUGCtrl::DeleteRow(int row) {
    if (row < 0 || row >= grid_->Rows()) {
        return UG_ERROR;
    }
    grid_->RemoveRow(row);
    StructureChanged();
    return UG_SUCCESS;
}

// ---- Cells ---------------------------------------------------------------------------------

int CUGCtrl::GetCell(int col, int row, CUGCell* cell) const {
    if (!cell || !grid_->IsCell(col, row)) {
        return UG_ERROR;
    }
    *cell = grid_->Cell(col, row);
    return UG_SUCCESS;
}

int CUGCtrl::SetCell(int col, int row, const CUGCell* cell) {
    if (!cell || !grid_->IsCell(col, row) || !IsKnownCellType(cell->cellType)) {
        return UG_ERROR;
    }
    const bool newTip = grid_->Cell(col, row).tip != cell->tip;
    grid_->Cell(col, row) = *cell;
    CellChanged(col, row);
    if (newTip) {
        NotifyAccessible(col, row, QAccessible::DescriptionChanged);
    }
    return UG_SUCCESS;
}

template <class Value>
int CUGCtrl::QuickSet(int col, int row, Value CUGCell::*property, const Value& value) {
    if (!grid_->IsCell(col, row)) {
        return UG_ERROR;
    }
    grid_->Cell(col, row).*property = value;
    CellChanged(col, row);
    return UG_SUCCESS;
}

int CUGCtrl::QuickSetText(int col, int row, const QString& text) {
    return QuickSet(col, row, &CUGCell::text, text);
}

int CUGCtrl::QuickSetLabelText(int col, int row, const QString& text) {
    return QuickSet(col, row, &CUGCell::label, text);
}

int CUGCtrl::QuickSetBitmap(int col, int row, const QPixmap& bitmap) {
    return QuickSet(col, row, &CUGCell::bitmap, bitmap);
}

int CUGCtrl::QuickSetCellType(int col, int row, int type) {
    return IsKnownCellType(type) ? QuickSet(col, row, &CUGCell::cellType, type) : UG_ERROR;
}

int CUGCtrl::QuickSetCellTypeEx(int col, int row, int style) {
    return QuickSet(col, row, &CUGCell::cellTypeEx, style);
}

QString CUGCtrl::QuickGetText(int col, int row) const {
    return grid_->IsCell(col, row) ? grid_->Cell(col, row).text : QString();
}

int CUGCtrl::GetHeadingDefault(CUGCell* cell) const {
    if (!cell) {
        return UG_ERROR;
    }
    *cell = headingDefault_;
    return UG_SUCCESS;
}

int CUGCtrl::SetHeadingDefault(const CUGCell* cell) {
    if (!cell) {
        return UG_ERROR;
    }
    headingDefault_ = *cell;
    // Chosen colours stay when the palette changes; the starting ones follow it.
    headingDefaultFromPalette_ = false;
    viewport()->update();
    return UG_SUCCESS;
}

int CUGCtrl::SetDefFont(const QFont& font) {
    defFont_ = font;
    viewport()->update();
    return UG_SUCCESS;
}

int CUGCtrl::JoinCells(int startCol, int startRow, int endCol, int endRow) {
    const CUGArea area{std::min(startCol, endCol), std::min(startRow, endRow),
                       std::max(startCol, endCol), std::max(startRow, endRow)};
    if (!grid_->CanJoin(area)) {
        return UG_ERROR;
    }
    for (const CUGArea& join : grid_->Joins()) {
        if (join.Overlaps(area)) {
            UpdateArea(join);
        }
    }
    grid_->Join(area);
    UpdateArea(area);
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        QAccessible::updateAccessibility(&event);
    }
    KeepCurrentOnACell();
    return UG_SUCCESS;
}

// ---- The current cell ----------------------------------------------------------------------

int CUGCtrl::GotoCell(int col, int row) {
    if (!grid_->IsDataCell(col, row)) {
        return UG_ERROR;
    }
    MoveCurrent(col, row, true);
    return UG_SUCCESS;
}

int CUGCtrl::ClickCheckBox(int col, int row) {
    if (!grid_->IsDataCell(col, row) || grid_->Cell(col, row).cellType != UGCT_CHECKBOX) {
        return UG_ERROR;
    }
    MoveCurrent(col, row, true);
    // As after a press: OnCellChange may have changed the grid.
    if (grid_->IsCell(col, row) && grid_->Cell(col, row).cellType == UGCT_CHECKBOX) {
        ToggleCheckBox(col, row);
    }
    return UG_SUCCESS;
}

int CUGCtrl::GetCurrentCol() const {
    return currentCol_;
}

int CUGCtrl::GetCurrentRow() const {
    return currentRow_;
}

bool CUGCtrl::MoveCurrent(int col, int row, bool reveal) {
    const CUGArea area = grid_->AreaOf(col, row);
    if (reveal) {
        Reveal(area.startCol, area.startRow);
    }
    if (area.startCol == currentCol_ && area.startRow == currentRow_) {
        return false;
    }
    const int oldCol = std::exchange(currentCol_, area.startCol);
    const int oldRow = std::exchange(currentRow_, area.startRow);
    if (grid_->IsDataCell(oldCol, oldRow)) {
        UpdateArea(grid_->AreaOf(oldCol, oldRow));
    }
    UpdateArea(area);
    if (hasFocus()) {
        NotifyAccessible(currentCol_, currentRow_, QAccessible::Focus);
    }
    OnCellChange(oldCol, currentCol_, oldRow, currentRow_);
    return true;
}

void CUGCtrl::KeepCurrentOnACell() {
    const int cols = grid_->Cols();
    const int rows = grid_->Rows();
    int col = cols == 0 ? -1 : std::clamp(currentCol_, 0, cols - 1);
    int row = rows == 0 ? -1 : std::clamp(currentRow_, 0, rows - 1);
    if (col >= 0 && row >= 0) {
        const CUGArea area = grid_->AreaOf(col, row);
        col = area.startCol;
        row = area.startRow;
    }
    if (col == currentCol_ && row == currentRow_) {
        return;
    }
    const int oldCol = std::exchange(currentCol_, col);
    const int oldRow = std::exchange(currentRow_, row);
    viewport()->update();
    // Without rows there is no current cell to tell of, whatever column it would be in.
    if (oldRow >= 0 || row >= 0) {
        OnCellChange(oldCol, col, oldRow, row);
    }
}

void CUGCtrl::OnCellChange(int /*oldCol*/, int /*newCol*/, int /*oldRow*/, int /*newRow*/) {}

int CUGCtrl::OnCellTypeNotify(int /*typeId*/, int /*col*/, int /*row*/, int /*msg*/,
                              long /*param*/) {
    return UG_SUCCESS;
}

void CUGCtrl::Reveal(int col, int row) {
    if (!grid_->IsDataCell(col, row)) {
        return;
    }
    const CUGArea area = grid_->AreaOf(col, row);
    const QRect view = DataViewRect();
    const auto scrollInto = [](QScrollBar* bar, int start, int end, int span) {
        int value = bar->value();
        if (start < value) {
            value = start;
        } else if (end > value + span) {
            // A cell larger than the view shows its start.
            value = std::min(start, end - span);
        }
        bar->setValue(value);
    };
    scrollInto(verticalScrollBar(), grid_->RowTop(area.startRow), grid_->RowTop(area.endRow + 1),
               view.height());
    scrollInto(horizontalScrollBar(), grid_->ColLeft(area.startCol),
               grid_->ColLeft(area.endCol + 1), view.width());
}

int CUGCtrl::VisibleRowsFrom(int row) const {
    const int limit = grid_->RowTop(row) + DataViewRect().height();
    int count = 0;
    for (int r = row; r < grid_->Rows() && grid_->RowTop(r + 1) <= limit; ++r) {
        ++count;
    }
    return std::max(count, 1);
}

void CUGCtrl::MoveByKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!grid_->IsDataCell(currentCol_, currentRow_)) {
        return;
    }
    const int cols = grid_->Cols();
    const int rows = grid_->Rows();
    const CUGArea here = grid_->AreaOf(currentCol_, currentRow_);
    // Columns of no width cannot be seen, so the keys pass over them.
    const auto shownFrom = [&](int col, int step) {
        while (col >= 0 && col < cols && grid_->ColWidth(col) == 0) {
            col += step;
        }
        return col;
    };
    const bool toCorner = modifiers & Qt::ControlModifier;
    int col = currentCol_;
    int row = currentRow_;
    switch (key) {
        case Qt::Key_Left:
            col = shownFrom(here.startCol - 1, -1);
            break;
        case Qt::Key_Right:
            col = shownFrom(here.endCol + 1, 1);
            break;
        case Qt::Key_Up:
            row = here.startRow - 1;
            break;
        case Qt::Key_Down:
            row = here.endRow + 1;
            break;
        case Qt::Key_PageUp: {
            // To the first row of a view that ends with the current one.
            const int bottom = grid_->RowTop(here.startRow + 1);
            int first = here.startRow;
            while (first > 0 && bottom - grid_->RowTop(first - 1) <= DataViewRect().height()) {
                --first;
            }
            row = std::min(first, here.startRow - 1);
            break;
        }
        case Qt::Key_PageDown:
            // To the last row of a view that starts with the current one.
            row = std::max(here.startRow + VisibleRowsFrom(here.startRow) - 1, here.endRow + 1);
            row = std::min(row, rows - 1);
            break;
        case Qt::Key_Home:
            col = shownFrom(0, 1);
            row = toCorner ? 0 : row;
            break;
        case Qt::Key_End:
            col = shownFrom(cols - 1, -1);
            row = toCorner ? rows - 1 : row;
            break;
        default:
            return;
    }
    if (grid_->IsDataCell(col, row)) {
        MoveCurrent(col, row, true);
    }
}

void CUGCtrl::ToggleCheckBox(int col, int row) {
    CUGCell& cell = grid_->Cell(col, row);
    const bool checked = !IsChecked(cell);
    cell.text = checked ? kChecked : kUnchecked;
    UpdateArea(grid_->AreaOf(col, row));
    NotifyAccessible(col, row, QAccessible::StateChanged);
    OnCellTypeNotify(UGCT_CHECKBOX, col, row, UGCT_CHECKBOXSET, checked ? 1 : 0);
}

// ---- Redrawing -----------------------------------------------------------------------------

void CUGCtrl::RedrawCell(int col, int row) {
    if (grid_->IsCell(col, row)) {
        UpdateArea(grid_->AreaOf(col, row));
    }
}

void CUGCtrl::RedrawRange(int startCol, int startRow, int endCol, int endRow) {
    const int firstCol = std::max(std::min(startCol, endCol), -1);
    const int lastCol = std::min(std::max(startCol, endCol), grid_->Cols() - 1);
    const int firstRow = std::max(std::min(startRow, endRow), -1);
    const int lastRow = std::min(std::max(startRow, endRow), grid_->Rows() - 1);
    if (firstCol > lastCol || firstRow > lastRow) {
        return;
    }
    for (const auto& [colFrom, colTo] : SplitAtHeading(firstCol, lastCol)) {
        for (const auto& [rowFrom, rowTo] : SplitAtHeading(firstRow, lastRow)) {
            UpdateArea({colFrom, rowFrom, colTo, rowTo});
        }
    }
    // A join reaching out of the range is drawn whole.
    const CUGArea range{firstCol, firstRow, lastCol, lastRow};
    for (const CUGArea& join : grid_->Joins()) {
        if (join.Overlaps(range)) {
            UpdateArea(join);
        }
    }
}

void CUGCtrl::RedrawAll() {
    viewport()->update();
}

void CUGCtrl::CellChanged(int col, int row) {
    UpdateArea(grid_->AreaOf(col, row));
    NotifyAccessible(col, row, QAccessible::NameChanged);
    if (grid_->Cell(col, row).cellType == UGCT_CHECKBOX) {
        NotifyAccessible(col, row, QAccessible::StateChanged);
    }
}

void CUGCtrl::UpdateArea(const CUGArea& area) {
    const QRect rect = AreaRect(area) & ZoneRect(area.startCol, area.startRow);
    if (!rect.isEmpty()) {
        viewport()->update(rect);
    }
}

void CUGCtrl::StructureChanged() {
    UpdateScrollBars();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
    // Last: OnCellChange may change the grid again.
    KeepCurrentOnACell();
}

void CUGCtrl::UpdateScrollBars() {
    const QRect view = DataViewRect();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, grid_->RowTop(grid_->Rows()) - view.height()));
    vertical->setPageStep(std::max(1, view.height()));
    vertical->setSingleStep(grid_->DefRowHeight());
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, grid_->ColLeft(grid_->Cols()) - view.width()));
    horizontal->setPageStep(std::max(1, view.width()));
    horizontal->setSingleStep(std::max(1, grid_->DefColWidth() / 4));
}

void CUGCtrl::NotifyAccessible(int col, int row, int eventType) const {
    if (!QAccessible::isActive()) {
        return;
    }
    const int index = CUGGridAccessible::ChildIndex(this, col, row);
    if (index < 0) {
        return;
    }
    auto* self = const_cast<CUGCtrl*>(this);
    if (eventType == QAccessible::StateChanged) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(self, changed);
        event.setChild(index);
        QAccessible::updateAccessibility(&event);
        return;
    }
    QAccessibleEvent event(self, static_cast<QAccessible::Event>(eventType));
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}

// ---- Geometry in the viewport --------------------------------------------------------------

int CUGCtrl::TopHeadingHeight() const {
    return grid_->TopHeadingHeight();
}

int CUGCtrl::SideHeadingWidth() const {
    return grid_->SideHeadingWidth();
}

QRect CUGCtrl::DataViewRect() const {
    const QSize size = viewport()->size();
    const int side = SideHeadingWidth();
    const int top = TopHeadingHeight();
    return {side, top, std::max(0, size.width() - side), std::max(0, size.height() - top)};
}

QRect CUGCtrl::ZoneRect(int col, int row) const {
    const QRect data = DataViewRect();
    const int left = col < 0 ? 0 : data.left();
    const int width = col < 0 ? SideHeadingWidth() : data.width();
    const int top = row < 0 ? 0 : data.top();
    const int height = row < 0 ? TopHeadingHeight() : data.height();
    return {left, top, width, height};
}

int CUGCtrl::ViewX(int col) const {
    return col < 0 ? 0 : SideHeadingWidth() + grid_->ColLeft(col) - horizontalScrollBar()->value();
}

int CUGCtrl::ViewY(int row) const {
    return row < 0 ? 0 : TopHeadingHeight() + grid_->RowTop(row) - verticalScrollBar()->value();
}

QRect CUGCtrl::AreaRect(const CUGArea& area) const {
    const int left = ViewX(area.startCol);
    const int top = ViewY(area.startRow);
    const int right = ViewX(area.endCol) + grid_->ColWidth(area.endCol);
    const int bottom = ViewY(area.endRow) + grid_->RowHeight(area.endRow);
    return {left, top, right - left, bottom - top};
}

QRect CUGCtrl::CellViewRect(int col, int row) const {
    return AreaRect(grid_->AreaOf(col, row));
}

std::optional<QPoint> CUGCtrl::CellAt(QPoint viewPos) const {
    const QRect data = DataViewRect();
    std::optional<int> col;
    if (viewPos.x() < data.left()) {
        col = viewPos.x() >= 0 ? std::optional(-1) : std::nullopt;
    } else {
        col = grid_->ColAt(viewPos.x() - data.left() + horizontalScrollBar()->value());
    }
    std::optional<int> row;
    if (viewPos.y() < data.top()) {
        row = viewPos.y() >= 0 ? std::optional(-1) : std::nullopt;
    } else {
        row = grid_->RowAt(viewPos.y() - data.top() + verticalScrollBar()->value());
    }
    if (!col || !row) {
        return std::nullopt;
    }
    return QPoint(*col, *row);
}

std::optional<CUGCtrl::Sizing> CUGCtrl::SizingEdgeAt(QPoint viewPos) const {
    if (!userSizing_) {
        return std::nullopt;
    }
    const QRect data = DataViewRect();
    const bool inTopHeading = viewPos.y() >= 0 && viewPos.y() < data.top();
    const bool inSideHeading = viewPos.x() >= 0 && viewPos.x() < data.left();
    if (inTopHeading == inSideHeading) {
        return std::nullopt;  // in neither, or in the corner
    }
    const bool column = inTopHeading;
    const int count = column ? grid_->Cols() : grid_->Rows();
    if (count == 0) {
        return std::nullopt;
    }
    const int pos = column ? viewPos.x() - data.left() + horizontalScrollBar()->value()
                           : viewPos.y() - data.top() + verticalScrollBar()->value();
    const auto edgeAfter = [&](int index) {
        return column ? grid_->ColLeft(index + 1) : grid_->RowTop(index + 1);
    };
    const std::optional<int> at = column ? grid_->ColAt(pos) : grid_->RowAt(pos);
    int index = at.value_or(count - 1);
    if (std::abs(edgeAfter(index) - pos) > kSizingSlop) {
        // Near the edge before it: that is the previous one's.
        index -= 1;
        if (index < 0 || std::abs(edgeAfter(index) - pos) > kSizingSlop) {
            return std::nullopt;
        }
    }
    // An edge inside a joined heading is not drawn, so it cannot be taken either.
    if (index + 1 < count) {
        const CUGArea area = column ? grid_->AreaOf(index, -1) : grid_->AreaOf(-1, index);
        if (column ? area.Contains(index + 1, -1) : area.Contains(-1, index + 1)) {
            return std::nullopt;
        }
    }
    return Sizing{column, index, pos - edgeAfter(index)};
}

QRect CUGCtrl::CheckBoxRect(const QRect& cellRect) {
    const int side = std::min(cellRect.height() - kBoxClearance, kBoxMaxSide);
    if (side < 1) {
        return {};
    }
    return {cellRect.left() + kBoxInset, cellRect.top() + (cellRect.height() - side) / 2, side,
            side};
}

// ---- Painting ------------------------------------------------------------------------------

QFont CUGCtrl::FallbackFont() const {
    return defFont_ ? *defFont_ : font();
}

void CUGCtrl::TakeHeadingColoursFromPalette() {
    headingDefault_.background = palette().color(QPalette::Button);
    headingDefault_.textColor = palette().color(QPalette::WindowText);
}

CUGCtrl::Look CUGCtrl::LookOf(int col, int row) const {
    const CUGCell& cell = grid_->Cell(col, row);
    const bool heading = IsHeading(col, row);
    const auto pick = [&](const auto& own, const auto& headingValue, auto fallback) {
        if (own) {
            return *own;
        }
        if (heading && headingValue) {
            return *headingValue;
        }
        return fallback;
    };
    Look look;
    look.background =
        pick(cell.background, headingDefault_.background, palette().color(QPalette::Base));
    look.textColor =
        pick(cell.textColor, headingDefault_.textColor, palette().color(QPalette::WindowText));
    look.font = pick(cell.font, headingDefault_.font, FallbackFont());
    look.alignment = pick(cell.alignment, headingDefault_.alignment, UG_ALIGNLEFT | UG_ALIGNTOP);
    return look;
}

void CUGCtrl::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const QRect data = DataViewRect();
    const QRect all = viewport()->rect();
    PaintZone(painter, data, dirty, false, false);
    PaintZone(painter, QRect(data.left(), 0, data.width(), data.top()), dirty, false, true);
    PaintZone(painter, QRect(0, data.top(), data.left(), data.height()), dirty, true, false);
    PaintZone(painter, QRect(0, 0, data.left(), data.top()), dirty, true, true);
    if (all.intersects(dirty)) {
        PaintFocus(painter);
    }
}

void CUGCtrl::PaintZone(QPainter& painter, const QRect& zone, const QRect& dirty, bool headingCols,
                        bool headingRows) const {
    const QRect clip = zone & dirty;
    if (clip.isEmpty()) {
        return;
    }
    const QRect data = DataViewRect();
    const auto range = [](bool heading, std::optional<int> first, std::optional<int> last,
                          int count) -> std::pair<int, int> {
        if (heading) {
            return {-1, -1};
        }
        if (!first) {
            return {0, -1};  // the zone starts past the last one
        }
        return {*first, last.value_or(count - 1)};
    };
    const int sx = horizontalScrollBar()->value();
    const int sy = verticalScrollBar()->value();
    const auto [firstCol, lastCol] =
        range(headingCols, grid_->ColAt(clip.left() - data.left() + sx),
              grid_->ColAt(clip.right() - data.left() + sx), grid_->Cols());
    const auto [firstRow, lastRow] =
        range(headingRows, grid_->RowAt(clip.top() - data.top() + sy),
              grid_->RowAt(clip.bottom() - data.top() + sy), grid_->Rows());
    if (firstCol > lastCol || firstRow > lastRow) {
        return;
    }

    painter.save();
    painter.setClipRect(clip);
    std::vector<CUGArea> paintedJoins;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int col = firstCol; col <= lastCol; ++col) {
            const CUGArea area = grid_->AreaOf(col, row);
            if (!area.IsSingleCell()) {
                // A join is drawn once, from its top-left cell, even when that is out of view.
                if (std::find(paintedJoins.begin(), paintedJoins.end(), area) !=
                    paintedJoins.end()) {
                    continue;
                }
                paintedJoins.push_back(area);
            }
            PaintCell(painter, area.startCol, area.startRow, AreaRect(area));
        }
    }
    painter.restore();
}

void CUGCtrl::PaintCell(QPainter& painter, int col, int row, const QRect& rect) const {
    const CUGCell& cell = grid_->Cell(col, row);
    const Look look = LookOf(col, row);
    const QPalette& colours = palette();
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, look.background);

    if (IsHeading(col, row)) {
        // Raised: lit from the top left.
        painter.setPen(colours.color(QPalette::Light));
        painter.drawLine(rect.topLeft(), rect.topRight());
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
        painter.setPen(colours.color(QPalette::Dark));
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
    } else {
        painter.setPen(colours.color(QPalette::Midlight));
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
        painter.drawLine(rect.topRight(), rect.bottomRight());
    }

    // Inside the lines, with a small margin so text does not touch them.
    const QRect inside = rect.adjusted(1, 1, -1, -1);
    const bool multiLine = (cell.cellTypeEx & UGCT_NORMALMULTILINE) != 0;
    painter.setFont(look.font);
    painter.setPen(look.textColor);
    if (cell.cellType == UGCT_CHECKBOX) {
        const QRect box = CheckBoxRect(rect);
        int labelLeft = rect.left() + kLabelGap;
        if (!box.isEmpty()) {
            PaintCheckBox(painter, box, cell);
            labelLeft += box.width();
        }
        painter.setPen(look.textColor);
        const QRect label(QPoint(labelLeft, inside.top()),
                          QPoint(inside.right() - kTextMargin, inside.bottom()));
        DrawCellText(painter, label, cell.label, look.alignment, multiLine);
    } else if (!cell.bitmap.isNull()) {
        const QSize size = cell.bitmap.deviceIndependentSize().toSize();
        const QPoint at(rect.left() + (rect.width() - size.width()) / 2,
                        rect.top() + (rect.height() - size.height()) / 2);
        painter.drawPixmap(at, cell.bitmap);
    } else {
        DrawCellText(painter, inside.adjusted(kTextMargin - 1, 0, 1 - kTextMargin, 0), cell.text,
                     look.alignment, multiLine);
    }
    if (cell.frame) {
        painter.setPen(QPen(*cell.frame, kFrameWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(inside).adjusted(kFrameWidth / 2.0, kFrameWidth / 2.0,
                                                 -kFrameWidth / 2.0, -kFrameWidth / 2.0));
    }
    painter.restore();
}

bool CUGCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<QPoint> at = CellAt(help->pos());
        const CUGArea area = at ? grid_->AreaOf(at->x(), at->y()) : CUGArea{};
        const QString tip = at ? grid_->Cell(area.startCol, area.startRow).tip : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport(),
                               CellViewRect(area.startCol, area.startRow));
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CUGCtrl::PaintCheckBox(QPainter& painter, const QRect& box, const CUGCell& cell) const {
    // The box keeps the window's own colours whatever the cell's are, so that its mark shows on a
    // dark cell as on a light one.
    const QPalette& colours = palette();
    painter.fillRect(box, colours.color(QPalette::Base));
    int frame = 1;
    if (cell.cellTypeEx & UGCT_CHECKBOX3DRECESS) {
        // Sunk into the cell: shadows above and left, lights below and right, two lines deep.
        frame = 2;
        const QRect outer = box;
        const QRect inner = box.adjusted(1, 1, -1, -1);
        const auto sunken = [&](const QRect& r, QPalette::ColorRole shade,
                                QPalette::ColorRole lit) {
            painter.setPen(colours.color(shade));
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(colours.color(lit));
            painter.drawLine(r.bottomLeft() + QPoint(1, 0), r.bottomRight());
            painter.drawLine(r.topRight() + QPoint(0, 1), r.bottomRight());
        };
        sunken(outer, QPalette::Dark, QPalette::Light);
        if (inner.width() > 1 && inner.height() > 1) {
            sunken(inner, QPalette::Shadow, QPalette::Midlight);
        }
    } else {
        painter.setPen(colours.color(QPalette::Text));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    if (!IsChecked(cell)) {
        return;
    }
    // One pixel clear of the frame.
    const QRect mark = box.adjusted(frame + 1, frame + 1, -frame - 1, -frame - 1);
    if (mark.width() < 3 || mark.height() < 3) {
        return;
    }
    painter.setPen(colours.color(QPalette::Text));
    if (cell.cellTypeEx & UGCT_CHECKBOXCHECKMARK) {
        // A tick: down from the left middle to a third across, then up to the top right; drawn
        // twice, one above the other, to give it weight.
        const QPoint start(mark.left(), mark.top() + mark.height() / 2);
        const QPoint low(mark.left() + mark.width() / 3, mark.bottom());
        const QPoint end(mark.right(), mark.top() + 1);
        for (const int lift : {0, 1}) {
            const QPoint up(0, -lift);
            painter.drawLine(start + up, low + up);
            painter.drawLine(low + up, end + up);
        }
    } else {
        // A cross, each stroke two pixels wide.
        for (const int shift : {0, 1}) {
            painter.drawLine(QPoint(mark.left() + shift, mark.top()),
                             QPoint(mark.right() - 1 + shift, mark.bottom()));
            painter.drawLine(QPoint(mark.right() - shift, mark.top()),
                             QPoint(mark.left() + 1 - shift, mark.bottom()));
        }
    }
}

void CUGCtrl::PaintFocus(QPainter& painter) const {
    if (!grid_->IsDataCell(currentCol_, currentRow_)) {
        return;
    }
    const QRect rect = CellViewRect(currentCol_, currentRow_);
    const QColor colour = palette().color(hasFocus() ? QPalette::Highlight : QPalette::Dark);
    painter.save();
    painter.setClipRect(DataViewRect(), Qt::IntersectClip);
    const int w = std::min(kFocusWidth, rect.width());
    const int h = std::min(kFocusWidth, rect.height());
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), h), colour);
    painter.fillRect(QRect(rect.left(), rect.bottom() - h + 1, rect.width(), h), colour);
    painter.fillRect(QRect(rect.left(), rect.top(), w, rect.height()), colour);
    painter.fillRect(QRect(rect.right() - w + 1, rect.top(), w, rect.height()), colour);
    painter.restore();
}

// ---- Events --------------------------------------------------------------------------------

void CUGCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (const auto edge = SizingEdgeAt(pos)) {
        sizing_ = edge;
        return;
    }
    const auto hit = CellAt(pos);
    if (!hit) {
        return;
    }
    // Anywhere in a join is its top-left cell.
    const CUGArea area = grid_->AreaOf(hit->x(), hit->y());
    const int col = area.startCol;
    const int row = area.startRow;
    const bool onBox = grid_->Cell(col, row).cellType == UGCT_CHECKBOX &&
                       CheckBoxRect(AreaRect(area)).contains(pos);
    if (!IsHeading(col, row)) {
        MoveCurrent(col, row, false);
    }
    // OnCellChange may have changed the grid: only what is still a check box there is toggled.
    if (onBox && grid_->IsCell(col, row) && grid_->Cell(col, row).cellType == UGCT_CHECKBOX) {
        ToggleCheckBox(col, row);
    }
}

void CUGCtrl::mouseMoveEvent(QMouseEvent* event) {
    // The grid keeps its mouse to itself, as it took the press.
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (!sizing_ || !(event->buttons() & Qt::LeftButton)) {
        sizing_.reset();
        UpdateCursor(pos);
        return;
    }
    const QRect data = DataViewRect();
    if (sizing_->column) {
        const int x = pos.x() - data.left() + horizontalScrollBar()->value();
        const int width = x - sizing_->grabOffset - grid_->ColLeft(sizing_->index);
        SetColWidth(sizing_->index, std::clamp(width, 1, CUGGridModel::kMaxColWidth));
    } else {
        const int y = pos.y() - data.top() + verticalScrollBar()->value();
        const int height = y - sizing_->grabOffset - grid_->RowTop(sizing_->index);
        SetRowHeight(sizing_->index, std::clamp(height, 1, CUGGridModel::kMaxRowHeight));
    }
}

void CUGCtrl::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (sizing_ && event->button() == Qt::LeftButton) {
        sizing_.reset();
        UpdateCursor(event->position().toPoint());
    }
}

void CUGCtrl::UpdateCursor(QPoint viewPos) {
    const auto edge = SizingEdgeAt(viewPos);
    if (!edge) {
        viewport()->unsetCursor();
    } else {
        viewport()->setCursor(edge->column ? Qt::SplitHCursor : Qt::SplitVCursor);
    }
}

void CUGCtrl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            MoveByKey(event->key(), event->modifiers());
            event->accept();
            return;
        case Qt::Key_Space:
            if (grid_->IsDataCell(currentCol_, currentRow_) &&
                grid_->Cell(currentCol_, currentRow_).cellType == UGCT_CHECKBOX) {
                ToggleCheckBox(currentCol_, currentRow_);
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CUGCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CUGCtrl::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The headings stay while the cells move, so the view is drawn anew rather than shifted.
    viewport()->update();
}

void CUGCtrl::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && headingDefaultFromPalette_) {
        TakeHeadingColoursFromPalette();
    }
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        viewport()->update();
    }
}

void CUGCtrl::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (grid_->IsDataCell(currentCol_, currentRow_)) {
        UpdateArea(grid_->AreaOf(currentCol_, currentRow_));
        NotifyAccessible(currentCol_, currentRow_, QAccessible::Focus);
    }
}

void CUGCtrl::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    if (grid_->IsDataCell(currentCol_, currentRow_)) {
        UpdateArea(grid_->AreaOf(currentCol_, currentRow_));
    }
}
