#pragma once

#include "platform/DialogUnits.h"
#include "platform/FontHeight.h"
#include "views/PaneLook.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>

// How the control panels look: their fonts and colours, where their controls go, and how a power
// reads. Both panels draw their powers from here, so the two never drift apart.
namespace PanelLook {

using PaneLook::CaptionFont;
using PaneLook::ConfirmationTip;
using PaneLook::MarkColor;
using PaneLook::TemplateFont;

// The large value read-outs.
inline QFont ValueFont() {
    return FontOfCellHeight(QStringLiteral("Arial"), 34, QFont::Medium);
}

inline const QColor kValueText(0, 192, 0);
inline const QColor kValueBackground(240, 240, 240);

// Power levels in tenths: 1.1 to 8.1.
constexpr int kMinPower = 11;
constexpr int kMaxPower = 81;

// "-0.5", "1.5", "0.0": an offset in tenths, which carries its sign. A power level itself reads as
// PowerLevelText gives it.
inline QString OffsetText(int offset) {
    const int magnitude = offset < 0 ? -offset : offset;
    return QString::asprintf(offset < 0 ? "-%d.%d" : "%d.%d", magnitude / 10, magnitude % 10);
}

// Places a control where a template puts it, in dialog units, for a parent that itself sits at
// origin (in pixels) in the template's frame. Converting the whole template position first and
// moving it afterwards keeps every control on the pixel the template alone would give it.
template <class Widget>
Widget* Place(Widget* widget, const DialogUnits& du, int x, int y, int w, int h,
              QPoint origin = {}) {
    widget->setGeometry(du.Rect(x, y, w, h).translated(-origin));
    return widget;
}

}  // namespace PanelLook
