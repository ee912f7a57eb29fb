#pragma once

// A user's hand on the panels' controls: where to press a slider's thumb, which arrow of a spin
// control to click, a key typed into a control that has the focus.

#include "toolkit/CoolSpinButtonCtrl.h"

#include <QLatin1String>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

// The thumb's place as the slider's style lays it out, found the way the slider's own hit test
// finds it: where a user presses.
inline QRect ThumbRect(const QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider->orientation();
    if (slider->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.upsideDown =
        slider->invertedAppearance() != (slider->layoutDirection() == Qt::RightToLeft);
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                           slider);
}

inline QPoint ThumbCentre(const QSlider* slider) {
    return ThumbRect(slider).center();
}

// A mouse click on the spin control's arrow with that accessible name ("Up" or "Down").
inline void ClickArrow(COXCoolSpinButtonCtrl* spin, const char* name) {
    for (QToolButton* arrow : spin->findChildren<QToolButton*>()) {
        if (arrow->accessibleName() == QLatin1String(name)) {
            QTest::mouseClick(arrow, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no arrow " << name;
}

// A key pressed and released on the control, which takes the focus first as a user's click or
// tab would give it.
inline void PressKey(QWidget* control, Qt::Key key) {
    control->setFocus();
    QTest::keyClick(control, key);
}
