#pragma once

#include <QWidget>

class QToolButton;

// Two arrow buttons, one above the other, without a text field of their own: each click reports a
// step as DeltaPos. The up arrow counts down and the down arrow up, as in a list where the entry
// above has the lower index: up gives kUpDelta (-1), down kDownDelta (+1). Holding an arrow
// repeats its step.
//
// The control is one stop in the tab order; with the focus on it the Up and Down keys step as the
// arrows do. The arrows are named "Up" and "Down" for screen readers; the control's own name is
// the owner's to give.
class COXCoolSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kUpDelta = -1;
    static constexpr int kDownDelta = 1;

    explicit COXCoolSpinButtonCtrl(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void DeltaPos(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QToolButton* MakeArrow(Qt::ArrowType arrow, const QString& name, int delta);

    QToolButton* up_;
    QToolButton* down_;
};
