#include "shell/StrobeSplitterWnd.h"

#include "resources/Images.h"

#include <QPainter>

CStrobeSplitterBar::CStrobeSplitterBar(QSplitter* parent)
    : QSplitterHandle(Qt::Horizontal, parent) {
    setAccessibleName(QStringLiteral("Split bar"));
}

void CStrobeSplitterBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Inside the frame the window shows through, on a bar made wider than twice the frame.
    const QRect bar = rect();
    const QColor frame = palette().color(QPalette::Button);
    painter.fillRect(QRect(bar.left(), bar.top(), bar.width(), kFrameWidth), frame);
    painter.fillRect(QRect(bar.left(), bar.bottom() - kFrameWidth + 1, bar.width(), kFrameWidth),
                     frame);
    painter.fillRect(QRect(bar.left(), bar.top(), kFrameWidth, bar.height()), frame);
    painter.fillRect(QRect(bar.right() - kFrameWidth + 1, bar.top(), kFrameWidth, bar.height()),
                     frame);

    // Drawn again only when the window moves to a screen of another pixel density.
    const qreal ratio = devicePixelRatioF();
    if (grip_.isNull() || grip_.devicePixelRatio() != ratio) {
        grip_ = GripPixmap(ratio);
    }
    // Centred on the splitter rather than on the bar: the bar starts below the splitter's top
    // when the splitter has a frame of its own.
    const int x = (width() - kGripSize.width()) / 2;
    const int y = (splitter()->height() - kGripSize.height()) / 2 - this->y();
    painter.drawPixmap(x, y, grip_);
}

CStrobeSplitterWnd::CStrobeSplitterWnd(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setHandleWidth(kBarWidth);
    setChildrenCollapsible(false);
}

void CStrobeSplitterWnd::SetColumnWidths(int first, int second) {
    QList<int> widths = sizes();
    if (!widths.isEmpty()) {
        widths[0] = first;
    }
    if (widths.size() > 1) {
        widths[1] = second;
    }
    setSizes(widths);
}

void CStrobeSplitterWnd::SetMinimumColumnWidth(int column, int width) {
    if (QWidget* pane = Pane(column)) {
        pane->setMinimumWidth(width);
    }
}

QWidget* CStrobeSplitterWnd::Pane(int column) const {
    return column >= 0 && column < count() ? widget(column) : nullptr;
}

QSplitterHandle* CStrobeSplitterWnd::createHandle() {
    return new CStrobeSplitterBar(this);
}
