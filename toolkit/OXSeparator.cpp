#include "toolkit/OXSeparator.h"

#include <QPainter>

namespace {
constexpr int kGapAfterText = 6;
constexpr int kRuleHeight = 2;
}  // namespace

COXSeparator::COXSeparator(const QString& text, QWidget* parent)
    : QWidget(parent),
      text_(text),
      textColor_(palette().color(QPalette::WindowText)),
      shadow_(palette().color(QPalette::Dark)),
      highlight_(palette().color(QPalette::Light)) {
    setAccessibleName(text);
    setAttribute(Qt::WA_TranslucentBackground);
}

void COXSeparator::SetText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void COXSeparator::SetTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void COXSeparator::SetLineColors(const QColor& shadow, const QColor& highlight) {
    shadow_ = shadow;
    highlight_ = highlight;
    update();
}

QSize COXSeparator::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text_) + kGapAfterText + 20, metrics.height()};
}

void COXSeparator::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(textColor_);
    const QRect area = rect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text_);
    const int ruleLeft = QFontMetrics(font()).horizontalAdvance(text_) + kGapAfterText;
    if (ruleLeft >= area.width()) {
        return;
    }
    // An etched line: shadow above and to the left, highlight below and to the right.
    const int top = area.center().y() - kRuleHeight / 2;
    const int right = area.right();
    painter.setPen(shadow_);
    painter.drawLine(ruleLeft, top, right, top);
    painter.drawLine(ruleLeft, top, ruleLeft, top + kRuleHeight - 1);
    painter.setPen(highlight_);
    painter.drawLine(ruleLeft, top + kRuleHeight - 1, right, top + kRuleHeight - 1);
    painter.drawLine(right, top, right, top + kRuleHeight - 1);
}
