#pragma once

#include "toolkit/UGCell.h"

#include <optional>
#include <vector>

// A rectangle of cells, bounds included. A join draws and acts as its top-left cell.
struct CUGArea {
    int startCol = 0;
    int startRow = 0;
    int endCol = 0;
    int endRow = 0;

    bool Contains(int col, int row) const {
        return col >= startCol && col <= endCol && row >= startRow && row <= endRow;
    }
    bool Overlaps(const CUGArea& other) const {
        return startCol <= other.endCol && other.startCol <= endCol && startRow <= other.endRow &&
               other.startRow <= endRow;
    }
    bool IsSingleCell() const { return startCol == endCol && startRow == endRow; }
    bool operator==(const CUGArea&) const = default;
};

// What the grid holds, apart from how it is drawn: the cells with their properties, the columns'
// widths and rows' heights, and the joins. Column -1 is the side heading and row -1 the top
// heading; both hold cells like any other column or row.
//
// Positions are in content pixels: column 0 starts at x 0 and row 0 at y 0, the headings lie
// outside that space.
class CUGGridModel {
public:
    static constexpr int kMaxCols = 4096;
    static constexpr int kMaxRows = 1000000;
    static constexpr int kMaxColWidth = 8192;
    static constexpr int kMaxRowHeight = 1024;

    CUGGridModel();

    int Cols() const { return cols_; }
    int Rows() const { return static_cast<int>(rows_.size()); }

    // A cell of the grid, the headings included.
    bool IsCell(int col, int row) const {
        return col >= -1 && col < cols_ && row >= -1 && row < Rows();
    }
    bool IsDataCell(int col, int row) const {
        return col >= 0 && col < cols_ && row >= 0 && row < Rows();
    }
    // The caller checks IsCell first.
    CUGCell& Cell(int col, int row);
    const CUGCell& Cell(int col, int row) const;

    void SetCols(int count);
    void AppendRow();
    void RemoveRow(int row);

    // Widths and heights. A column or row that was given none follows the default.
    int DefColWidth() const { return defColWidth_; }
    void SetDefColWidth(int width);
    int DefRowHeight() const { return defRowHeight_; }
    void SetDefRowHeight(int height);
    int ColWidth(int col) const;  // col -1: the side heading
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;  // row -1: the top heading
    void SetRowHeight(int row, int height);
    int TopHeadingHeight() const { return topHeading_; }
    void SetTopHeadingHeight(int height) { topHeading_ = height; }
    int SideHeadingWidth() const { return sideHeading_; }
    void SetSideHeadingWidth(int width) { sideHeading_ = width; }

    // Content position of a column's left edge or a row's top edge; ColLeft(Cols()) and
    // RowTop(Rows()) are the total width and height.
    int ColLeft(int col) const;
    int RowTop(int row) const;
    // The column or row at a content position, nothing past the last one or before the first.
    std::optional<int> ColAt(int x) const;
    std::optional<int> RowAt(int y) const;

    // Joins. A join lies wholly in the headings or wholly among the data cells, on each axis.
    bool CanJoin(const CUGArea& area) const;
    // Joins that overlap the new one are dissolved: the last join asked for wins. A single cell
    // only dissolves what covers it.
    void Join(const CUGArea& area);
    // The join the cell lies in, or the cell alone.
    CUGArea AreaOf(int col, int row) const;
    const std::vector<CUGArea>& Joins() const { return joins_; }

private:
    struct Row {
        std::vector<CUGCell> cells;  // Cols() + 1: the side heading first
        int height = -1;             // -1: the default
    };

    Row& RowData(int row) { return row < 0 ? heading_ : rows_[static_cast<std::size_t>(row)]; }
    const Row& RowData(int row) const {
        return row < 0 ? heading_ : rows_[static_cast<std::size_t>(row)];
    }
    void RebuildColEdges() const;
    void RebuildRowEdges() const;
    // Drops joins that no longer cover two cells.
    void DropDegenerateJoins();

    int cols_ = 0;
    Row heading_;
    std::vector<Row> rows_;
    std::vector<int> colWidths_;  // -1: the default
    int defColWidth_;
    int defRowHeight_;
    int topHeading_;
    int sideHeading_;
    std::vector<CUGArea> joins_;

    // Edges, rebuilt on demand after a width or height changed: hit tests and painting ask for
    // them far more often than they change.
    mutable std::vector<int> colEdges_;
    mutable std::vector<int> rowEdges_;
    mutable bool colEdgesValid_ = false;
    mutable bool rowEdgesValid_ = false;
};
