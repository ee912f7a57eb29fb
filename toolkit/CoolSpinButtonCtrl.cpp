#include "toolkit/CoolSpinButtonCtrl.h"

#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>

namespace {
// Room around the arrows for the focus frame; the arrows never take the focus themselves.
constexpr int kFrame = 1;
constexpr int kArrowWidth = 15;
constexpr int kArrowHeight = 11;
}  // namespace

COXCoolSpinButtonCtrl::COXCoolSpinButtonCtrl(QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(Qt::UpArrow, tr("Up"), kUpDelta)),
      down_(MakeArrow(Qt::DownArrow, tr("Down"), kDownDelta)) {
    setFocusPolicy(Qt::StrongFocus);
}

QToolButton* COXCoolSpinButtonCtrl::MakeArrow(Qt::ArrowType arrow, const QString& name, int delta) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setAccessibleName(name);
    button->setAutoRepeat(true);
    // One tab stop for the pair: the keys act on the control, not on either arrow.
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, delta] { emit DeltaPos(delta); });
    return button;
}

QSize COXCoolSpinButtonCtrl::sizeHint() const {
    return {kArrowWidth + 2 * kFrame, 2 * kArrowHeight + 2 * kFrame};
}

QSize COXCoolSpinButtonCtrl::minimumSizeHint() const {
    return {2 * kFrame + 6, 2 * kFrame + 6};
}

void COXCoolSpinButtonCtrl::resizeEvent(QResizeEvent* /*event*/) {
    // Each arrow takes its half; with an odd height the lower one takes the extra row.
    const QRect inside = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
    const int upperHeight = inside.height() / 2;
    up_->setGeometry(inside.left(), inside.top(), inside.width(), upperHeight);
    down_->setGeometry(inside.left(), inside.top() + upperHeight, inside.width(),
                       inside.height() - upperHeight);
}

void COXCoolSpinButtonCtrl::keyPressEvent(QKeyEvent* event) {
    // Through the arrow's own click, so a key step is reported exactly as a mouse click is.
    switch (event->key()) {
        case Qt::Key_Up:
            up_->click();
            break;
        case Qt::Key_Down:
            down_->click();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void COXCoolSpinButtonCtrl::paintEvent(QPaintEvent* /*event*/) {
    if (!hasFocus()) {
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void COXCoolSpinButtonCtrl::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void COXCoolSpinButtonCtrl::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}
