#pragma once

#include <QString>
#include <QWidget>

// Says the same thing to a pointing user (the tooltip) and to a screen reader (the accessible
// description). Each is set only when it changes, so that a look repeated every half second or at
// every report tells assistive technology nothing new.
inline void SetTipAndDescription(QWidget& widget, const QString& text) {
    if (widget.toolTip() != text) {
        widget.setToolTip(text);
    }
    if (widget.accessibleDescription() != text) {
        widget.setAccessibleDescription(text);
    }
}
