#pragma once

#include "platform/FontHeight.h"
#include "toolkit/OXSeparator.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

// What every pane shares of its look: the font its template is laid out in, and the navy caption
// line at its top.
namespace PaneLook {

inline const QColor kNavy(0, 0, 128);

// The panes' templates are laid out in this font, in which their dialog units are counted.
inline QFont TemplateFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

// Pane captions and the power switches.
inline QFont CaptionFont() {
    return FontOfCellHeight(QStringLiteral("MS Sans Serif"), 16, QFont::Black);
}

// A pane's caption: navy text and rule in the caption font, lit by the system's highlight.
inline void StyleCaption(COXSeparator& caption) {
    caption.setFont(CaptionFont());
    caption.SetTextColor(kNavy);
    caption.SetLineColors(kNavy, caption.palette().color(QPalette::Light));
}

}  // namespace PaneLook
