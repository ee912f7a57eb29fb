#pragma once

#include "link/ConfirmationTracker.h"
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

// How a value or unit that has not confirmed what was sent is marked, and what the mark says.
inline QColor MarkColor(Confirmation state) {
    switch (state) {
        case Confirmation::Waiting:
            return {150, 150, 150};
        case Confirmation::NotConfirmed:
            return {255, 170, 0};
        default:
            return {};
    }
}
// Shown as the mark's tooltip and told to screen readers as the description of what it marks;
// the words "not confirmed" stay in it exactly as long as the mark does.
inline QString ConfirmationTip(Confirmation state) {
    switch (state) {
        case Confirmation::Waiting:
            return QStringLiteral("Waiting for the unit to confirm the change");
        case Confirmation::NotConfirmed:
            return QStringLiteral("Change not confirmed by the unit");
        default:
            return {};
    }
}

}  // namespace PaneLook
