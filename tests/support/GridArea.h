#pragma once

// Where the grid draws an area of its cells, worked out from its column widths and row heights
// rather than asked of the grid, so a test that looks at pixels does not trust what it tests.

#include "toolkit/UGCtrl.h"

#include <QRect>
#include <QScrollBar>

// In the grid's viewport; startRow -1 is the heading row, which does not scroll.
inline QRect GridAreaRect(const CUGCtrl& grid, int startCol, int startRow, int endCol, int endRow) {
    int left = grid.GetColWidth(-1) - grid.horizontalScrollBar()->value();
    for (int col = 0; col < startCol; ++col) {
        left += grid.GetColWidth(col);
    }
    int width = 0;
    for (int col = startCol; col <= endCol; ++col) {
        width += grid.GetColWidth(col);
    }
    int top = 0;
    if (startRow >= 0) {
        top = grid.GetRowHeight(-1) - grid.verticalScrollBar()->value();
        for (int row = 0; row < startRow; ++row) {
            top += grid.GetRowHeight(row);
        }
    }
    int height = 0;
    for (int row = startRow; row <= endRow; ++row) {
        height += grid.GetRowHeight(row);
    }
    return {left, top, width, height};
}
