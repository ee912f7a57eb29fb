#include "toolkit/UGGridModel.h"

#include <algorithm>

namespace {
constexpr int kDefaultColWidth = 75;
constexpr int kDefaultRowHeight = 20;
constexpr int kDefaultTopHeading = 20;
constexpr int kDefaultSideHeading = 30;

std::size_t Slot(int col) {
    return static_cast<std::size_t>(col + 1);
}
}  // namespace

CUGGridModel::CUGGridModel()
    : defColWidth_(kDefaultColWidth),
      defRowHeight_(kDefaultRowHeight),
      topHeading_(kDefaultTopHeading),
      sideHeading_(kDefaultSideHeading) {
    heading_.cells.resize(1);
}

CUGCell& CUGGridModel::Cell(int col, int row) {
    return RowData(row).cells[Slot(col)];
}

const CUGCell& CUGGridModel::Cell(int col, int row) const {
    return RowData(row).cells[Slot(col)];
}

void CUGGridModel::SetCols(int count) {
    cols_ = count;
    heading_.cells.resize(Slot(count));
    for (Row& row : rows_) {
        row.cells.resize(Slot(count));
    }
    colWidths_.resize(static_cast<std::size_t>(count), -1);
    colEdgesValid_ = false;
    for (CUGArea& join : joins_) {
        join.endCol = std::min(join.endCol, count - 1);
    }
    DropDegenerateJoins();
}

void CUGGridModel::AppendRow() {
    Row row;
    row.cells.resize(Slot(cols_));
    rows_.push_back(std::move(row));
    rowEdgesValid_ = false;
}

void CUGGridModel::RemoveRow(int row) {
    rows_.erase(rows_.begin() + row);
    rowEdgesValid_ = false;
    // Joins among the data rows close up over the removed row; heading joins stay.
    for (CUGArea& join : joins_) {
        if (join.startRow < 0 || join.endRow < row) {
            continue;
        }
        if (join.startRow > row) {
            --join.startRow;
        }
        --join.endRow;
    }
    DropDegenerateJoins();
}

void CUGGridModel::SetDefColWidth(int width) {
    defColWidth_ = width;
    colEdgesValid_ = false;
}

void CUGGridModel::SetDefRowHeight(int height) {
    defRowHeight_ = height;
    rowEdgesValid_ = false;
}

int CUGGridModel::ColWidth(int col) const {
    if (col < 0) {
        return sideHeading_;
    }
    const int width = colWidths_[static_cast<std::size_t>(col)];
    return width < 0 ? defColWidth_ : width;
}

void CUGGridModel::SetColWidth(int col, int width) {
    colWidths_[static_cast<std::size_t>(col)] = width;
    colEdgesValid_ = false;
}

int CUGGridModel::RowHeight(int row) const {
    if (row < 0) {
        return topHeading_;
    }
    const int height = rows_[static_cast<std::size_t>(row)].height;
    return height < 0 ? defRowHeight_ : height;
}

void CUGGridModel::SetRowHeight(int row, int height) {
    rows_[static_cast<std::size_t>(row)].height = height;
    rowEdgesValid_ = false;
}

void CUGGridModel::RebuildColEdges() const {
    colEdges_.resize(Slot(cols_));
    int x = 0;
    for (int col = 0; col < cols_; ++col) {
        colEdges_[static_cast<std::size_t>(col)] = x;
        x += ColWidth(col);
    }
    colEdges_.back() = x;
    colEdgesValid_ = true;
}

void CUGGridModel::RebuildRowEdges() const {
    const int rows = Rows();
    rowEdges_.resize(static_cast<std::size_t>(rows) + 1);
    int y = 0;
    for (int row = 0; row < rows; ++row) {
        rowEdges_[static_cast<std::size_t>(row)] = y;
        y += RowHeight(row);
    }
    rowEdges_.back() = y;
    rowEdgesValid_ = true;
}

int CUGGridModel::ColLeft(int col) const {
    if (!colEdgesValid_) {
        RebuildColEdges();
    }
    return colEdges_[static_cast<std::size_t>(std::clamp(col, 0, cols_))];
}

int CUGGridModel::RowTop(int row) const {
    if (!rowEdgesValid_) {
        RebuildRowEdges();
    }
    return rowEdges_[static_cast<std::size_t>(std::clamp(row, 0, Rows()))];
}

std::optional<int> CUGGridModel::ColAt(int x) const {
    if (x < 0 || x >= ColLeft(cols_)) {
        return std::nullopt;
    }
    // The last edge at or left of x; zero-width columns share their edge with the next one, which
    // is the one that shows.
    const auto edge = std::upper_bound(colEdges_.begin(), colEdges_.end(), x);
    return static_cast<int>(edge - colEdges_.begin()) - 1;
}

std::optional<int> CUGGridModel::RowAt(int y) const {
    if (y < 0 || y >= RowTop(Rows())) {
        return std::nullopt;
    }
    const auto edge = std::upper_bound(rowEdges_.begin(), rowEdges_.end(), y);
    return static_cast<int>(edge - rowEdges_.begin()) - 1;
}

bool CUGGridModel::CanJoin(const CUGArea& area) const {
    if (!IsCell(area.startCol, area.startRow) || !IsCell(area.endCol, area.endRow)) {
        return false;
    }
    // The headings stay put while the data cells scroll, so no join can straddle them.
    return (area.startCol < 0) == (area.endCol < 0) && (area.startRow < 0) == (area.endRow < 0);
}

void CUGGridModel::Join(const CUGArea& area) {
    std::erase_if(joins_, [&](const CUGArea& join) { return join.Overlaps(area); });
    if (!area.IsSingleCell()) {
        joins_.push_back(area);
    }
}

CUGArea CUGGridModel::AreaOf(int col, int row) const {
    for (const CUGArea& join : joins_) {
        if (join.Contains(col, row)) {
            return join;
        }
    }
    return {col, row, col, row};
}

void CUGGridModel::DropDegenerateJoins() {
    std::erase_if(joins_, [](const CUGArea& join) {
        return join.endCol < join.startCol || join.endRow < join.startRow || join.IsSingleCell();
    });
}
