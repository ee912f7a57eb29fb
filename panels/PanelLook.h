#pragma once

#include "platform/DialogUnits.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>

// How the control panels look: their fonts and colours, where their controls go, and how a power
// reads. Both panels draw their powers from here, so the two never drift apart.
namespace PanelLook {

// Both panels' templates are laid out in this font, which their controls inherit.
inline QFont TemplateFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

// The large value read-outs.
inline QFont ValueFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(34);
    font.setWeight(QFont::Medium);
    return font;
}

// Headings and the power switch.
inline QFont CaptionFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(16);
    font.setWeight(QFont::Black);
    return font;
}

inline const QColor kNavy(0, 0, 128);
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
