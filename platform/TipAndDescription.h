#pragma once

#include <QString>
#include <QTextDocument>
#include <QWidget>

// A tooltip that shows the text as it is. Qt renders a tooltip that merely looks like markup as
// rich text, so a port or process name such as "<img src=...>" would be drawn as an image; such
// a text is handed over escaped, in markup of its own. Any other text is left as it was, so it
// wraps as before.
inline QString PlainTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

// Says the same thing to a pointing user (the tooltip) and to a screen reader (the accessible
// description, which is plain text already). Each is set only when it changes, so that a look
// repeated every half second or at every report tells assistive technology nothing new.
inline void SetTipAndDescription(QWidget& widget, const QString& text) {
    const QString tip = PlainTip(text);
    if (widget.toolTip() != tip) {
        widget.setToolTip(tip);
    }
    if (widget.accessibleDescription() != text) {
        widget.setAccessibleDescription(text);
    }
}
