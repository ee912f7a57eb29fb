#pragma once

#include "link/ChangeCode.h"
#include "link/ConfirmationTracker.h"
#include "link/SettingType.h"
#include "model/StrobeData.h"

#include <QPoint>
#include <QString>
#include <QWidget>

class COXCoolSliderCtrl;
class COXCoolSpinButtonCtrl;
class CUserButton;
class CUserStatic;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

// Where the changes made in a pair of power groups go: the unit of the selection, or every ticked
// unit. The groups keep what they show; the target turns each change into frames.
class CPowerTarget {
public:
    // Whether a drag may move the read-outs: there is something the powers belong to.
    virtual bool HasTarget() const = 0;
    // Asked before every change the user makes; false drops the change (the target has then put
    // the controls back into a safe state itself).
    virtual bool CanChange() = 0;
    // A spin step or a slider release set one power; coupled: the other power moved along.
    virtual void PowerSet(bool flash, bool coupled) = 0;
    // A switch, a lamp mode or the test flash: the value goes into field (none for the test
    // flash), then one setting frame of the type goes out and the grid hears of change.
    virtual void SettingClicked(int StrobeSettings::*field, int value, SettingType type,
                                ChangeCode change) = 0;

protected:
    ~CPowerTarget() = default;
};

// The Flash Power and Model Power groups of a control panel: value read-outs, step arrows, sliders,
// the photo-cell and sound switches, the power switch, the test flash and the lamp modes. Both
// panels use this one widget, configured by what a power is there:
//   - a unit's own level, 11..81, shown as "5.6", the lamp's read-out showing "OFF" when it is off;
//   - an offset -81..81 around the slider's centre, shown with its sign, for the ticked units.
// While the panel's lamp mode is "Prop", a change of one power drags the other along, each
// saturating at its own ends.
class CPowerGroups final : public QWidget {
    Q_OBJECT
public:
    enum class Scale { Level, Offset };

    struct Layout {
        Scale scale = Scale::Level;
        // The groups' place in the owner's template, in dialog units (the boxes' top-left corner is
        // at (5, 5) + shift), and where this widget sits in the owner, in pixels.
        int templateShiftY = 0;
        QPoint origin;
        // Object names start with it ("sel" gives "selFlashSlider") so tests and tools can tell the
        // two panels' controls apart.
        QString namePrefix;
    };

    CPowerGroups(const Layout& layout, CPowerTarget& target, QWidget* parent);
    ~CPowerGroups() override;

    // The copies of the settings the groups show. Values are levels or offsets, as the scale says.
    struct Copies {
        int flashValue = 0;
        int flashCell = 0;
        int flashSound = 0;
        int flashPower = 0;
        int modelValue = 0;
        int modelMode1 = 0;  // -1: not chosen
        int modelMode2 = 0;  // -1: not chosen
        int modelOff = 0;    // the inverse of the unit's bModelPow
    };
    const Copies& Values() const { return copies_; }
    bool IsCoupled() const { return copies_.modelMode1 == 1; }

    // Shows every setting of a unit, or the one a change code names ("nothing" for the others).
    void ShowUnit(const StrobeData& unit);
    void ShowUnitItem(const StrobeData& unit, ChangeCode change);
    // Every value to value, every switch off and no lamp mode chosen (mode, kept as the copies of
    // both modes); the read-outs empty or showing the value.
    void Reset(int value, int mode, bool blankReadOuts);

    // Marks each read-out while the unit has not yet taken what was last sent for its group.
    void ShowConfirmation(Confirmation flash, Confirmation model);

    // The three sets a panel enables and disables together: the flash group's value controls and
    // switches; the power switch; everything else.
    void EnableFlashGroup(bool on);
    void EnablePowerSwitch(bool on);
    void EnableRest(bool on);

    // The object name of one of the controls by its base name ("cellCheck"): behind the layout's
    // prefix where it has one ("selCellCheck").
    QString ControlName(const QString& base) const;

private:
    // One power and the widgets that show and change it; flash and lamp are handled by the same
    // steps with their roles exchanged.
    struct Power {
        int* value = nullptr;
        CUserStatic* readOut = nullptr;
        COXCoolSpinButtonCtrl* spin = nullptr;
        COXCoolSliderCtrl* slider = nullptr;
        bool isFlash = false;
    };

    class Builder;

    void ConnectControls();
    void ConnectFlag(QAbstractButton* button, int& copy, int StrobeSettings::*field,
                     SettingType type, ChangeCode change, bool inverted = false);
    void ConnectMode(QRadioButton* radio, int& copy, int StrobeSettings::*field, int value,
                     SettingType type, ChangeCode change);

    int Min() const;
    int Max() const;
    int SliderPos(int value) const { return value + sliderShift_; }
    void Show(const Power& power);
    void ShowPowers();
    void ShowModes();
    static void ShowFlag(QAbstractButton& button, int& copy, int value);
    void MoveCoupled(Power& other, int delta);

    void OnSpinStep(Power& own, Power& other, int delta);
    void OnSliderTrack(Power& own, Power& other, int position);
    void OnSliderRelease(Power& own, Power& other);

    Layout layout_;
    CPowerTarget& target_;
    int sliderShift_ = 0;  // slider position = value + shift
    Copies copies_;
    // Set by the first thumb movement after a reset or release: the offsets' centre snap.
    bool dragStarted_ = false;

    Power flash_;
    Power model_;
    QGroupBox* flashGroup_ = nullptr;
    QCheckBox* cellCheck_ = nullptr;
    QCheckBox* soundCheck_ = nullptr;
    CUserButton* powerButton_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QGroupBox* modelGroup_ = nullptr;
    QRadioButton* freeRadio_ = nullptr;
    QRadioButton* propRadio_ = nullptr;
    QCheckBox* offCheck_ = nullptr;
    QRadioButton* continuousRadio_ = nullptr;
    QRadioButton* flashPropRadio_ = nullptr;
    QButtonGroup* mode1Pair_ = nullptr;
    QButtonGroup* mode2Pair_ = nullptr;
};
