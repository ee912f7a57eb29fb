#include "toolkit/UGAccessible.h"

#include "toolkit/UGCtrl.h"
#include "toolkit/UGGridModel.h"

#include <QWidget>
#include <QWindow>

#include <memory>

namespace {

QAccessibleInterface* GridInterfaceFactory(const QString& /*className*/, QObject* object) {
    if (auto* grid = qobject_cast<CUGCtrl*>(object)) {
        // Qt's cache of interfaces owns it from here and deletes it with the grid.
        return std::make_unique<CUGGridAccessible>(grid).release();
    }
    return nullptr;
}

}  // namespace

// ---- The table -----------------------------------------------------------------------------

CUGGridAccessible::CUGGridAccessible(CUGCtrl* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

CUGGridAccessible::~CUGGridAccessible() {
    for (const auto& [place, id] : cells_) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

void CUGGridAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&GridInterfaceFactory);
        return true;
    }();
    (void)installed;
}

int CUGGridAccessible::ChildIndex(const CUGCtrl* grid, int col, int row) {
    const CUGGridModel& model = *grid->grid_;
    if (!model.IsCell(col, row)) {
        return -1;
    }
    const int topHeading = model.TopHeadingHeight() > 0 ? 1 : 0;
    const int sideHeading = model.SideHeadingWidth() > 0 ? 1 : 0;
    if ((row < 0 && !topHeading) || (col < 0 && !sideHeading)) {
        return -1;
    }
    return (row + topHeading) * (model.Cols() + sideHeading) + col + sideHeading;
}

CUGCtrl* CUGGridAccessible::Grid() const {
    return qobject_cast<CUGCtrl*>(object());
}

QAccessibleInterface* CUGGridAccessible::CellInterface(int col, int row) const {
    CUGCtrl* grid = Grid();
    if (!grid || !grid->grid_->IsCell(col, row)) {
        return nullptr;
    }
    const auto found = cells_.find({col, row});
    if (found != cells_.end()) {
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(found->second)) {
            return cell;
        }
    }
    auto cell = std::make_unique<CUGCellAccessible>(grid, col, row);
    // Registered, the interface belongs to Qt's cache; it is given back in the destructor.
    cells_[{col, row}] = QAccessible::registerAccessibleInterface(cell.get());
    return cell.release();
}

int CUGGridAccessible::childCount() const {
    const CUGCtrl* grid = Grid();
    if (!grid) {
        return 0;
    }
    const CUGGridModel& model = *grid->grid_;
    const int topHeading = model.TopHeadingHeight() > 0 ? 1 : 0;
    const int sideHeading = model.SideHeadingWidth() > 0 ? 1 : 0;
    return (model.Rows() + topHeading) * (model.Cols() + sideHeading);
}

QAccessibleInterface* CUGGridAccessible::child(int index) const {
    const CUGCtrl* grid = Grid();
    if (!grid || index < 0 || index >= childCount()) {
        return nullptr;
    }
    const CUGGridModel& model = *grid->grid_;
    const int topHeading = model.TopHeadingHeight() > 0 ? 1 : 0;
    const int sideHeading = model.SideHeadingWidth() > 0 ? 1 : 0;
    const int width = model.Cols() + sideHeading;
    return CellInterface(index % width - sideHeading, index / width - topHeading);
}

int CUGGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = dynamic_cast<const CUGCellAccessible*>(child);
    if (!cell || !Grid() || cell->Grid() != Grid()) {
        return -1;
    }
    return ChildIndex(Grid(), cell->Col(), cell->Row());
}

QAccessibleInterface* CUGGridAccessible::childAt(int x, int y) const {
    const CUGCtrl* grid = Grid();
    if (!grid) {
        return nullptr;
    }
    const QPoint inView = grid->viewport()->mapFromGlobal(QPoint(x, y));
    const auto hit =
        grid->viewport()->rect().contains(inView) ? grid->CellAt(inView) : std::nullopt;
    if (!hit) {
        return nullptr;
    }
    // What is seen there is the top-left cell of its join.
    const CUGArea area = grid->grid_->AreaOf(hit->x(), hit->y());
    return CellInterface(area.startCol, area.startRow);
}

QAccessibleInterface* CUGGridAccessible::focusChild() const {
    const CUGCtrl* grid = Grid();
    if (!grid || grid->currentRow_ < 0 || grid->currentCol_ < 0) {
        return nullptr;
    }
    return CellInterface(grid->currentCol_, grid->currentRow_);
}

void* CUGGridAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* CUGGridAccessible::cellAt(int row, int column) const {
    const CUGCtrl* grid = Grid();
    if (!grid || !grid->grid_->IsDataCell(column, row)) {
        return nullptr;
    }
    const CUGArea area = grid->grid_->AreaOf(column, row);
    return CellInterface(area.startCol, area.startRow);
}

int CUGGridAccessible::selectedCellCount() const {
    return focusChild() ? 1 : 0;
}

QList<QAccessibleInterface*> CUGGridAccessible::selectedCells() const {
    QAccessibleInterface* current = focusChild();
    return current ? QList<QAccessibleInterface*>{current} : QList<QAccessibleInterface*>{};
}

QString CUGGridAccessible::columnDescription(int column) const {
    const QAccessibleInterface* heading = CellInterface(column, -1);
    return column >= 0 && heading ? heading->text(QAccessible::Name) : QString();
}

QString CUGGridAccessible::rowDescription(int row) const {
    const QAccessibleInterface* heading = CellInterface(-1, row);
    return row >= 0 && heading ? heading->text(QAccessible::Name) : QString();
}

int CUGGridAccessible::columnCount() const {
    const CUGCtrl* grid = Grid();
    return grid ? grid->grid_->Cols() : 0;
}

int CUGGridAccessible::rowCount() const {
    const CUGCtrl* grid = Grid();
    return grid ? grid->grid_->Rows() : 0;
}

void CUGGridAccessible::modelChange(QAccessibleTableModelChangeEvent* /*event*/) {
    // Cells are found by place and read anew, so only those whose place went are given back.
    const CUGCtrl* grid = Grid();
    for (auto it = cells_.begin(); it != cells_.end();) {
        if (!grid || !grid->grid_->IsCell(it->first.first, it->first.second)) {
            QAccessible::deleteAccessibleInterface(it->second);
            it = cells_.erase(it);
        } else {
            ++it;
        }
    }
}

// ---- One cell ------------------------------------------------------------------------------

CUGCellAccessible::CUGCellAccessible(CUGCtrl* grid, int col, int row)
    : grid_(grid), col_(col), row_(row) {}

bool CUGCellAccessible::isValid() const {
    return grid_ && grid_->grid_->IsCell(col_, row_);
}

QWindow* CUGCellAccessible::window() const {
    return grid_ ? grid_->window()->windowHandle() : nullptr;
}

CUGGridAccessible* CUGCellAccessible::Table() const {
    return grid_ ? dynamic_cast<CUGGridAccessible*>(QAccessible::queryAccessibleInterface(grid_))
                 : nullptr;
}

QAccessibleInterface* CUGCellAccessible::parent() const {
    return Table();
}

bool CUGCellAccessible::IsCheckBox() const {
    return isValid() && grid_->grid_->Cell(col_, row_).cellType == UGCT_CHECKBOX;
}

bool CUGCellAccessible::IsCurrent() const {
    return grid_ && grid_->currentCol_ == col_ && grid_->currentRow_ == row_;
}

QString CUGCellAccessible::text(QAccessible::Text t) const {
    if (!isValid() || (t != QAccessible::Name && t != QAccessible::Description)) {
        return {};
    }
    const CUGCell& cell = grid_->grid_->Cell(col_, row_);
    if (t == QAccessible::Description) {
        return cell.tip;
    }
    // A check box's text is its value; what it says is its label.
    return cell.cellType == UGCT_CHECKBOX ? cell.label : cell.text;
}

QRect CUGCellAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const QRect shown = grid_->CellViewRect(col_, row_) & grid_->ZoneRect(col_, row_);
    if (shown.isEmpty()) {
        return {};
    }
    return {grid_->viewport()->mapToGlobal(shown.topLeft()), shown.size()};
}

QAccessible::Role CUGCellAccessible::role() const {
    if (row_ < 0) {
        return QAccessible::ColumnHeader;
    }
    return col_ < 0 ? QAccessible::RowHeader : QAccessible::Cell;
}

QAccessible::State CUGCellAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    const CUGArea area = grid_->grid_->AreaOf(col_, row_);
    // A cell under a join is not drawn; its join's top-left cell stands for it.
    if (area.startCol != col_ || area.startRow != row_) {
        state.invisible = true;
    }
    if (rect().isEmpty()) {
        state.offscreen = true;
    }
    if (IsDataCell()) {
        state.focusable = true;
        state.selectable = true;
        state.selected = IsCurrent();
        state.focused = IsCurrent() && grid_->hasFocus();
    }
    if (IsCheckBox()) {
        state.checkable = true;
        state.checked = grid_->grid_->Cell(col_, row_).text == QLatin1String("1");
    }
    return state;
}

void* CUGCellAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface && IsDataCell()) {
        return static_cast<QAccessibleTableCellInterface*>(this);
    }
    if (type == QAccessible::ActionInterface) {
        return static_cast<QAccessibleActionInterface*>(this);
    }
    return nullptr;
}

bool CUGCellAccessible::isSelected() const {
    return IsCurrent();
}

QList<QAccessibleInterface*> CUGCellAccessible::columnHeaderCells() const {
    CUGGridAccessible* table = Table();
    if (!table || !isValid() || grid_->grid_->TopHeadingHeight() == 0) {
        return {};
    }
    const CUGArea heading = grid_->grid_->AreaOf(col_, -1);
    return {table->CellInterface(heading.startCol, heading.startRow)};
}

QList<QAccessibleInterface*> CUGCellAccessible::rowHeaderCells() const {
    CUGGridAccessible* table = Table();
    if (!table || !isValid() || grid_->grid_->SideHeadingWidth() == 0) {
        return {};
    }
    const CUGArea heading = grid_->grid_->AreaOf(-1, row_);
    return {table->CellInterface(heading.startCol, heading.startRow)};
}

int CUGCellAccessible::columnExtent() const {
    if (!isValid()) {
        return 1;
    }
    const CUGArea area = grid_->grid_->AreaOf(col_, row_);
    return area.startCol == col_ && area.startRow == row_ ? area.endCol - area.startCol + 1 : 1;
}

int CUGCellAccessible::rowExtent() const {
    if (!isValid()) {
        return 1;
    }
    const CUGArea area = grid_->grid_->AreaOf(col_, row_);
    return area.startCol == col_ && area.startRow == row_ ? area.endRow - area.startRow + 1 : 1;
}

QStringList CUGCellAccessible::actionNames() const {
    QStringList names;
    if (IsDataCell() && isValid()) {
        names << setFocusAction();
    }
    if (IsCheckBox()) {
        names << toggleAction();
    }
    return names;
}

void CUGCellAccessible::doAction(const QString& actionName) {
    if (!isValid()) {
        return;
    }
    if (actionName == toggleAction() && IsCheckBox()) {
        // As a press on the box: a data cell becomes current first.
        if (IsDataCell()) {
            grid_->MoveCurrent(col_, row_, true);
        }
        if (IsCheckBox()) {
            grid_->ToggleCheckBox(col_, row_);
        }
    } else if (actionName == setFocusAction() && IsDataCell()) {
        grid_->setFocus(Qt::OtherFocusReason);
        grid_->MoveCurrent(col_, row_, true);
    }
}

QStringList CUGCellAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == toggleAction() && IsDataCell() && IsCheckBox()) {
        return {QStringLiteral("Space")};
    }
    return {};
}
