#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>

#include <optional>

// Cell types of the grid, by the identifiers the grid's users name them with.
inline constexpr int UGCT_NORMAL = 0;
inline constexpr int UGCT_CHECKBOX = 2;

// Extended styles of the cell types (bits).
inline constexpr int UGCT_NORMALMULTILINE = 0x0002;    // word-wrapped text on several lines
inline constexpr int UGCT_CHECKBOX3DRECESS = 0x0100;   // the box is drawn recessed in 3-D
inline constexpr int UGCT_CHECKBOXCHECKMARK = 0x1000;  // checked shows a tick, else a cross

// Notification message of the check-box type: its value was set by the user.
inline constexpr int UGCT_CHECKBOXSET = 53;

// Alignment bits of a cell.
inline constexpr int UG_ALIGNLEFT = 0x01;
inline constexpr int UG_ALIGNRIGHT = 0x02;
inline constexpr int UG_ALIGNCENTER = 0x04;
inline constexpr int UG_ALIGNTOP = 0x08;
inline constexpr int UG_ALIGNBOTTOM = 0x10;
inline constexpr int UG_ALIGNVCENTER = 0x20;

// Results of the grid's operations.
inline constexpr int UG_SUCCESS = 0;
inline constexpr int UG_ERROR = 1;

// Every property of one grid cell. A property left unset is taken from the defaults: the heading
// defaults for heading cells, the plain defaults (window colours, the grid's fallback font,
// left and top alignment) for data cells.
struct CUGCell {
    QString text;   // for a check box: its value, "0" or "1"
    QString label;  // for a check box: the text drawn beside the box
    std::optional<QColor> background;
    std::optional<QColor> textColor;
    std::optional<QFont> font;
    std::optional<int> alignment;  // UG_ALIGN... bits
    int cellType = UGCT_NORMAL;
    int cellTypeEx = 0;
    QPixmap bitmap;  // drawn instead of text when set
    // A frame drawn just inside the cell's lines, to mark it out; none when unset.
    std::optional<QColor> frame;
    // Shown as the cell's tooltip and told to screen readers as its description.
    QString tip;
};
