#include "panels/UserStatic.h"

#include "panels/UserStaticAccessible.h"

#include <QAccessible>
#include <QPainter>

CUserStatic::CUserStatic(QWidget* parent) : CUserStatic(QString(), parent) {}

CUserStatic::CUserStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent),
      textColor_(palette().color(QPalette::WindowText)),
      backgroundColor_(palette().color(QPalette::Window)) {
    // Values are plain text; a value that looked like markup must not be shown as markup.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    // Every pixel is painted here, so nothing needs to be cleared beneath it first; that clearing
    // would only show as flicker between two values.
    setAttribute(Qt::WA_OpaquePaintEvent);
    InstallUserStaticAccessible();
}

void CUserStatic::SetTextColor(const QColor& color) {
    if (color == textColor_) {
        return;
    }
    textColor_ = color;
    update();
}

void CUserStatic::SetBackgroundColor(const QColor& color) {
    if (color == backgroundColor_) {
        return;
    }
    backgroundColor_ = color;
    update();
}

void CUserStatic::SetText(const QString& text) {
    const QString old = this->text();
    if (old == text) {
        return;
    }
    setText(text);
    QAccessibleTextUpdateEvent update(this, 0, old, text);
    QAccessible::updateAccessibility(&update);
}

void CUserStatic::SetMarkColor(const QColor& color) {
    if (color == markColor_) {
        return;
    }
    markColor_ = color;
    update();
}

void CUserStatic::paintEvent(QPaintEvent* /*event*/) {
    // setText asks for the whole contents to be repainted; the background goes down over all of
    // it before the new text, which is what wipes out a longer value painted before.
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor_);
    painter.setFont(font());
    painter.setPen(textColor_);
    // Kept inside the contents, the only part a new text repaints, so no ink lands where the next
    // text's repaint would not reach.
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
    if (markColor_.isValid()) {
        constexpr int kMarkWidth = 2;
        painter.setPen(QPen(markColor_, kMarkWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(kMarkWidth / 2.0, kMarkWidth / 2.0,
                                                 -kMarkWidth / 2.0, -kMarkWidth / 2.0));
    }
}
