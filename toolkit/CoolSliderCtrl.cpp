#include "toolkit/CoolSliderCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kThumbLength = 11;
constexpr int kThumbThickness = 18;
constexpr int kGrooveThickness = 4;
constexpr int kFocusPen = 2;

// The cool look. Hit-testing goes through subControlRect, so the thumb a user can grab is the
// thumb painted here, whatever the application's style would draw.
class CoolSliderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
            case PM_SliderLength:
                return kThumbLength;
            case PM_SliderThickness:
            case PM_SliderControlThickness:
                return kThumbThickness + 2;
            default:
                break;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || slider == nullptr) {
            return QProxyStyle::subControlRect(control, option, sub, widget);
        }
        const QRect area = slider->rect;
        switch (sub) {
            case SC_SliderGroove:
                // The whole width: the thumb's travel starts and ends at the edges, and a click
                // anywhere beside the thumb is a click on the groove.
                return area;
            case SC_SliderHandle: {
                const int travel = area.width() - kThumbLength;
                const int offset =
                    sliderPositionFromValue(slider->minimum, slider->maximum,
                                            slider->sliderPosition, travel, slider->upsideDown);
                const int thickness = std::min(kThumbThickness, area.height());
                return {area.left() + offset, area.top() + (area.height() - thickness) / 2,
                        kThumbLength, thickness};
            }
            default:
                return {};
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_Slider || slider == nullptr || slider->orientation != Qt::Horizontal) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QPalette& colours = slider->palette;
        const QRect thumb = subControlRect(CC_Slider, slider, SC_SliderHandle, widget);
        const QRect area = slider->rect;
        const int grooveTop = area.top() + (area.height() - kGrooveThickness) / 2;
        const QRectF groove(area.left() + kThumbLength / 2.0, grooveTop,
                            area.width() - kThumbLength, kGrooveThickness);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(colours.color(QPalette::Midlight).darker(115));
        painter->drawRoundedRect(groove, kGrooveThickness / 2.0, kGrooveThickness / 2.0);
        // The part already travelled, in the highlight colour, reads as a level at a glance.
        QRectF filled = groove;
        filled.setRight(thumb.center().x() + 0.5);
        if (slider->upsideDown) {
            filled.setLeft(thumb.center().x() + 0.5);
            filled.setRight(groove.right());
        }
        painter->setBrush((slider->state & State_Enabled) ? colours.color(QPalette::Highlight)
                                                          : colours.color(QPalette::Mid));
        painter->drawRoundedRect(filled, kGrooveThickness / 2.0, kGrooveThickness / 2.0);

        const bool pressed = (slider->state & State_Sunken) != 0 &&
                             (slider->activeSubControls & SC_SliderHandle) != 0;
        const bool focused = (slider->state & State_HasFocus) != 0;
        QColor face = colours.color(QPalette::Button).lighter(110);
        if (pressed) {
            face = face.darker(110);
        }
        // Keyboard users must see where the focus is: the thumb's outline takes the highlight.
        QPen outline(focused ? colours.color(QPalette::Highlight) : colours.color(QPalette::Mid));
        outline.setWidthF(focused ? kFocusPen : 1.0);
        painter->setPen(outline);
        painter->setBrush(face);
        const qreal inset = outline.widthF() / 2.0;
        painter->drawRoundedRect(QRectF(thumb).adjusted(inset, inset, -inset, -inset), 3, 3);
        painter->restore();
    }
};

}  // namespace

COXCoolSliderCtrl::COXCoolSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    auto* style = new CoolSliderStyle;
    style->setParent(this);
    setStyle(style);
    setFocusPolicy(Qt::StrongFocus);
    trackedPos_ = sliderPosition();
    connect(this, &QAbstractSlider::actionTriggered, this, &COXCoolSliderCtrl::OnAction);
}

void COXCoolSliderCtrl::SetRange(int min, int max) {
    setRange(min, max);
}

void COXCoolSliderCtrl::SetPos(int position) {
    // setValue moves the thumb without raising a slider action, so nothing is reported.
    setValue(position);
}

void COXCoolSliderCtrl::BeginGesture() {
    trackedPos_ = sliderPosition();
}

void COXCoolSliderCtrl::OnAction(int action) {
    if (action == SliderNoAction) {
        return;
    }
    stepped_ = true;
    // Actions come only from the user: the thumb has already moved, its value not yet.
    const int position = sliderPosition();
    if (position != trackedPos_) {
        trackedPos_ = position;
        emit ThumbTrack(position);
    }
}

void COXCoolSliderCtrl::mousePressEvent(QMouseEvent* event) {
    if (!mouseGesture_) {
        BeginGesture();
    }
    QSlider::mousePressEvent(event);
    if (event->isAccepted()) {
        mouseGesture_ = true;
    }
}

void COXCoolSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    // With another button still down the gesture goes on; it ends with the last one.
    if (mouseGesture_ && event->buttons() == Qt::NoButton) {
        mouseGesture_ = false;
        emit ThumbReleased(GetPos());
    }
}

void COXCoolSliderCtrl::Step(const std::function<void()>& handle) {
    // While the mouse holds the thumb, its release ends the gesture, whatever the step did.
    if (mouseGesture_) {
        handle();
        return;
    }
    BeginGesture();
    stepped_ = false;
    handle();
    if (stepped_) {
        stepped_ = false;
        emit ThumbReleased(GetPos());
    }
}

void COXCoolSliderCtrl::keyPressEvent(QKeyEvent* event) {
    Step([&] { QSlider::keyPressEvent(event); });
}

void COXCoolSliderCtrl::wheelEvent(QWheelEvent* event) {
    // Left to the parent, which may scroll: what the slider sets goes out to a unit at once.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    Step([&] { QSlider::wheelEvent(event); });
}
