#pragma once

#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

// The controls of one pair of power groups, found by the names they are built with: the control
// panel's own ("flashSlider"), or the group panel's, whose names carry a prefix ("selFlashSlider").
struct PowerGroupControls {
    // Finds every control below `panel`; one that is missing fails the test.
    void FindControls(const QWidget& panel, const QString& prefix = {}) {
        const auto find = [&]<class Widget>(Widget*& widget, const char* base) {
            const QString name = QString::fromLatin1(base);
            widget = panel.findChild<Widget*>(
                prefix.isEmpty() ? name : prefix + name.left(1).toUpper() + name.mid(1));
            EXPECT_NE(widget, nullptr) << base;
        };
        find(flashLabel, "flashValue");
        find(modelLabel, "modelValue");
        find(flashSpin, "flashSpin");
        find(modelSpin, "modelSpin");
        find(flashSlider, "flashSlider");
        find(modelSlider, "modelSlider");
        find(cell, "cellCheck");
        find(sound, "soundCheck");
        find(power, "powerButton");
        find(test, "testButton");
        find(freeRadio, "freeRadio");
        find(propRadio, "propRadio");
        find(off, "offCheck");
        find(continuous, "continuousRadio");
        find(flashProp, "flashPropRadio");
    }

    CUserStatic* flashLabel = nullptr;
    CUserStatic* modelLabel = nullptr;
    COXCoolSpinButtonCtrl* flashSpin = nullptr;
    COXCoolSpinButtonCtrl* modelSpin = nullptr;
    COXCoolSliderCtrl* flashSlider = nullptr;
    COXCoolSliderCtrl* modelSlider = nullptr;
    QCheckBox* cell = nullptr;
    QCheckBox* sound = nullptr;
    CUserButton* power = nullptr;
    QPushButton* test = nullptr;
    QRadioButton* freeRadio = nullptr;
    QRadioButton* propRadio = nullptr;
    QCheckBox* off = nullptr;
    QRadioButton* continuous = nullptr;
    QRadioButton* flashProp = nullptr;
};
