#include "panels/PowerGroups.h"

#include "model/FixedNames.h"
#include "panels/PanelLook.h"
#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "platform/TipAndDescription.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Offsets reach as far from the centre as a level can be high.
constexpr int kMaxOffset = PanelLook::kMaxPower;
// The offset sliders put offset 0 at this position, so they run from 1 to 163.
constexpr int kOffsetCentre = kMaxOffset + 1;

}  // namespace

// Makes the controls at their template places, named after the panel they belong to.
class CPowerGroups::Builder {
public:
    explicit Builder(CPowerGroups& groups)
        : groups_(groups), du_(groups.font()), layout_(groups.layout_) {}

    template <class Widget>
    Widget* Put(Widget* widget, const QString& name, int x, int y, int w, int h) {
        PanelLook::Place(widget, du_, x, y + layout_.templateShiftY, w, h, layout_.origin);
        widget->setObjectName(groups_.ControlName(name));
        return widget;
    }

    QGroupBox* Group(const QString& caption, const QString& name, int x) {
        auto* group = Put(new QGroupBox(caption, &groups_), name, x, 5, 95, 110);
        group->setAccessibleName(caption);
        return group;
    }

    // The read-out, step arrows and slider of one power, whose group starts at x.
    void PowerControls(Power& power, const QString& kind, const QString& caption, int x) {
        const QString accessible = caption + Suffix();
        power.readOut =
            Put(new CUserStatic(&groups_), kind + QStringLiteral("Value"), x + 5, 14, 42, 24);
        power.readOut->setAccessibleName(accessible + QStringLiteral(" value"));
        power.readOut->setAlignment(Qt::AlignCenter);
        power.readOut->setFont(PanelLook::ValueFont());
        power.readOut->SetTextColor(PanelLook::kValueText);
        power.readOut->SetBackgroundColor(PanelLook::kValueBackground);
        power.readOut->SetText(QStringLiteral("0.0"));
        power.spin = Put(new COXCoolSpinButtonCtrl(&groups_), kind + QStringLiteral("Spin"), x + 55,
                         14, 10, 24);
        power.spin->setAccessibleName(accessible + QStringLiteral(" step"));
        power.slider = Put(new COXCoolSliderCtrl(&groups_), kind + QStringLiteral("Slider"), x + 1,
                           43, 68, 12);
        power.slider->setAccessibleName(accessible);
        power.slider->setOrientation(Qt::Horizontal);
        power.slider->setTickPosition(QSlider::NoTicks);
        power.slider->setFocusPolicy(Qt::StrongFocus);
    }

    template <class Button>
    Button* Captioned(const QString& caption, const QString& name, int x, int y, int w, int h) {
        auto* button = Put(new Button(caption, &groups_), name, x, y, w, h);
        button->setAccessibleName(caption);
        return button;
    }

private:
    QString Suffix() const {
        return layout_.scale == Scale::Offset ? QStringLiteral(" offset") : QString();
    }

    CPowerGroups& groups_;
    DialogUnits du_;
    const Layout& layout_;
};

CPowerGroups::CPowerGroups(const Layout& layout, CPowerTarget& target, QWidget* parent)
    : QWidget(parent),
      layout_(layout),
      target_(target),
      sliderShift_(layout.scale == Scale::Offset ? kOffsetCentre : 0) {
    setFont(PanelLook::TemplateFont());
    flash_.value = &copies_.flashValue;
    flash_.isFlash = true;
    model_.value = &copies_.modelValue;

    // Created in the order the user tabs through them.
    Builder make(*this);
    flashGroup_ = make.Group(QStringLiteral("Flash Power"), QStringLiteral("flashGroup"), 5);
    make.PowerControls(flash_, QStringLiteral("flash"), QStringLiteral("Flash Power"), 5);
    cellCheck_ = make.Captioned<QCheckBox>(QStringLiteral("Cell"), QStringLiteral("cellCheck"), 58,
                                           63, 35, 8);
    soundCheck_ = make.Captioned<QCheckBox>(QStringLiteral("Sound"), QStringLiteral("soundCheck"),
                                            58, 73, 35, 8);
    powerButton_ = make.Put(new CUserButton(this), QStringLiteral("powerButton"), 10, 63, 40, 30);
    powerButton_->setFont(PanelLook::CaptionFont());
    powerButton_->setFocusPolicy(Qt::StrongFocus);
    testButton_ = make.Captioned<QPushButton>(QStringLiteral("Test"), QStringLiteral("testButton"),
                                              10, 96, 40, 13);
    testButton_->setFocusPolicy(Qt::StrongFocus);
    // Enter belongs to whichever control has the focus, not to a default button of the window the
    // panel sits in: a stray Enter must never fire a unit.
    testButton_->setAutoDefault(false);
    powerButton_->setAutoDefault(false);

    modelGroup_ = make.Group(QStringLiteral("Model Power"), QStringLiteral("modelGroup"), 105);
    make.PowerControls(model_, QStringLiteral("model"), QStringLiteral("Model Power"), 105);
    freeRadio_ = make.Captioned<QRadioButton>(QStringLiteral("Free"), QStringLiteral("freeRadio"),
                                              110, 63, 40, 8);
    propRadio_ = make.Captioned<QRadioButton>(QStringLiteral("Prop"), QStringLiteral("propRadio"),
                                              110, 73, 40, 8);
    offCheck_ = make.Captioned<QCheckBox>(QStringLiteral("OFF"), QStringLiteral("offCheck"), 158,
                                          63, 35, 8);
    continuousRadio_ = make.Captioned<QRadioButton>(
        QStringLiteral("Continous"), QStringLiteral("continuousRadio"), 110, 88, 50, 8);
    flashPropRadio_ = make.Captioned<QRadioButton>(
        QStringLiteral("Flash Prop"), QStringLiteral("flashPropRadio"), 110, 98, 50, 8);
    // Two separate pairs, each of which may also have neither button set: a reset leaves no mode
    // of either kind chosen.
    mode1Pair_ = new QButtonGroup(this);
    mode1Pair_->addButton(freeRadio_);
    mode1Pair_->addButton(propRadio_);
    mode2Pair_ = new QButtonGroup(this);
    mode2Pair_->addButton(continuousRadio_);
    mode2Pair_->addButton(flashPropRadio_);

    for (const Power* power : {&flash_, &model_}) {
        power->slider->SetRange(SliderPos(Min()), SliderPos(Max()));
    }
    ConnectControls();
}

CPowerGroups::~CPowerGroups() = default;

int CPowerGroups::Min() const {
    return layout_.scale == Scale::Offset ? -kMaxOffset : PanelLook::kMinPower;
}

int CPowerGroups::Max() const {
    return layout_.scale == Scale::Offset ? kMaxOffset : PanelLook::kMaxPower;
}

void CPowerGroups::ConnectControls() {
    connect(flash_.spin, &COXCoolSpinButtonCtrl::DeltaPos, this,
            [this](int delta) { OnSpinStep(flash_, model_, delta); });
    connect(model_.spin, &COXCoolSpinButtonCtrl::DeltaPos, this,
            [this](int delta) { OnSpinStep(model_, flash_, delta); });
    connect(flash_.slider, &COXCoolSliderCtrl::ThumbTrack, this,
            [this](int position) { OnSliderTrack(flash_, model_, position); });
    connect(model_.slider, &COXCoolSliderCtrl::ThumbTrack, this,
            [this](int position) { OnSliderTrack(model_, flash_, position); });
    connect(flash_.slider, &COXCoolSliderCtrl::ThumbReleased, this,
            [this] { OnSliderRelease(flash_, model_); });
    connect(model_.slider, &COXCoolSliderCtrl::ThumbReleased, this,
            [this] { OnSliderRelease(model_, flash_); });

    ConnectFlag(cellCheck_, copies_.flashCell, &StrobeSettings::bFlashCell, SettingType::PhotoCell,
                ChangeCode::PhotoCell);
    ConnectFlag(soundCheck_, copies_.flashSound, &StrobeSettings::bFlashSnd, SettingType::Sound,
                ChangeCode::Sound);
    ConnectFlag(powerButton_, copies_.flashPower, &StrobeSettings::bFlashPow,
                SettingType::FlashSwitch, ChangeCode::FlashSwitch);
    // Ticked means the lamp is off: the unit keeps the opposite.
    ConnectFlag(offCheck_, copies_.modelOff, &StrobeSettings::bModelPow, SettingType::ModelSwitch,
                ChangeCode::ModelSwitch, true);
    connect(testButton_, &QAbstractButton::clicked, this, [this] {
        // A test flash changes no setting, so the grid has nothing to redraw.
        if (target_.CanChange()) {
            target_.SettingClicked(nullptr, 0, SettingType::TestFlash, ChangeCode::None);
        }
    });
    ConnectMode(freeRadio_, copies_.modelMode1, &StrobeSettings::nModelMode1, 0,
                SettingType::ModelMode1, ChangeCode::ModelMode1);
    ConnectMode(propRadio_, copies_.modelMode1, &StrobeSettings::nModelMode1, 1,
                SettingType::ModelMode1, ChangeCode::ModelMode1);
    ConnectMode(continuousRadio_, copies_.modelMode2, &StrobeSettings::nModelMode2, 1,
                SettingType::ModelMode2, ChangeCode::ModelMode2);
    ConnectMode(flashPropRadio_, copies_.modelMode2, &StrobeSettings::nModelMode2, 0,
                SettingType::ModelMode2, ChangeCode::ModelMode2);
}

void CPowerGroups::ConnectFlag(QAbstractButton* button, int& copy, int StrobeSettings::*field,
                               SettingType type, ChangeCode change, bool inverted) {
    connect(button, &QAbstractButton::clicked, this,
            [this, button, &copy, field, type, change, inverted] {
                if (!target_.CanChange()) {
                    return;
                }
                copy = button->isChecked() ? 1 : 0;
                if (inverted) {
                    Show(model_);  // the lamp's read-out says whether it is off
                }
                target_.SettingClicked(field, inverted ? 1 - copy : copy, type, change);
            });
}

void CPowerGroups::ConnectMode(QRadioButton* radio, int& copy, int StrobeSettings::*field,
                               int value, SettingType type, ChangeCode change) {
    // A click on the mode already set goes out again: a unit may have missed the last one.
    connect(radio, &QAbstractButton::clicked, this, [this, &copy, field, value, type, change] {
        if (!target_.CanChange()) {
            return;
        }
        copy = value;
        target_.SettingClicked(field, value, type, change);
    });
}

void CPowerGroups::Show(const Power& power) {
    const int value = *power.value;
    if (layout_.scale == Scale::Offset) {
        power.readOut->SetText(PanelLook::OffsetText(value));
    } else if (!power.isFlash && copies_.modelOff) {
        power.readOut->SetText(QStringLiteral("OFF"));
    } else {
        power.readOut->SetText(PowerLevelText(value));
    }
    // At once, so that a drag shows every value it passes.
    power.readOut->repaint();
}

void CPowerGroups::ShowPowers() {
    for (const Power* power : {&flash_, &model_}) {
        Show(*power);
        power->slider->SetPos(SliderPos(*power->value));
    }
}

namespace {

// Clears both buttons of a radio pair, which an exclusive group does not allow by itself.
void ClearPair(QButtonGroup* pair) {
    pair->setExclusive(false);
    for (QAbstractButton* button : pair->buttons()) {
        button->setChecked(false);
    }
    pair->setExclusive(true);
}

}  // namespace

void CPowerGroups::ShowModes() {
    ClearPair(mode1Pair_);
    (copies_.modelMode1 ? propRadio_ : freeRadio_)->setChecked(true);
    ClearPair(mode2Pair_);
    (copies_.modelMode2 ? continuousRadio_ : flashPropRadio_)->setChecked(true);
}

void CPowerGroups::ShowUnit(const StrobeData& unit) {
    copies_.flashValue = unit.nFlashValue;
    copies_.flashCell = unit.bFlashCell;
    copies_.flashSound = unit.bFlashSnd;
    copies_.flashPower = unit.bFlashPow;
    copies_.modelValue = unit.nModelValue;
    copies_.modelMode1 = unit.nModelMode1;
    copies_.modelMode2 = unit.nModelMode2;
    copies_.modelOff = unit.bModelPow ? 0 : 1;
    ShowPowers();
    cellCheck_->setChecked(copies_.flashCell != 0);
    soundCheck_->setChecked(copies_.flashSound != 0);
    powerButton_->setChecked(copies_.flashPower != 0);
    ShowModes();
    offCheck_->setChecked(copies_.modelOff != 0);
}

void CPowerGroups::ShowFlag(QAbstractButton& button, int& copy, int value) {
    copy = value;
    button.setChecked(copy != 0);
}

void CPowerGroups::ShowUnitItem(const StrobeData& unit, ChangeCode change) {
    switch (change) {
        case ChangeCode::FlashPower:
        case ChangeCode::ModelPower:
            copies_.flashValue = unit.nFlashValue;
            copies_.modelValue = unit.nModelValue;
            ShowPowers();
            break;
        case ChangeCode::PhotoCell:
            ShowFlag(*cellCheck_, copies_.flashCell, unit.bFlashCell);
            break;
        case ChangeCode::Sound:
            ShowFlag(*soundCheck_, copies_.flashSound, unit.bFlashSnd);
            break;
        case ChangeCode::FlashSwitch:
            ShowFlag(*powerButton_, copies_.flashPower, unit.bFlashPow);
            break;
        case ChangeCode::ModelMode1:
            copies_.modelMode1 = unit.nModelMode1;
            ClearPair(mode1Pair_);
            (copies_.modelMode1 ? propRadio_ : freeRadio_)->setChecked(true);
            break;
        case ChangeCode::ModelMode2:
            copies_.modelMode2 = unit.nModelMode2;
            ClearPair(mode2Pair_);
            (copies_.modelMode2 ? continuousRadio_ : flashPropRadio_)->setChecked(true);
            break;
        case ChangeCode::ModelSwitch:
            copies_.modelOff = unit.bModelPow ? 0 : 1;
            offCheck_->setChecked(copies_.modelOff != 0);
            Show(model_);
            break;
        default:
            break;
    }
}

void CPowerGroups::Reset(int value, int mode, bool blankReadOuts) {
    copies_ = Copies{value, 0, 0, 0, value, mode, mode, 0};
    for (const Power* power : {&flash_, &model_}) {
        if (blankReadOuts) {
            power->readOut->SetText(QString());
        } else {
            Show(*power);
        }
        power->slider->SetPos(SliderPos(value));
    }
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(cellCheck_), static_cast<QAbstractButton*>(soundCheck_),
          static_cast<QAbstractButton*>(powerButton_), static_cast<QAbstractButton*>(offCheck_)}) {
        button->setChecked(false);
    }
    ClearPair(mode1Pair_);
    ClearPair(mode2Pair_);
    dragStarted_ = false;
}

void CPowerGroups::ShowConfirmation(Confirmation flash, Confirmation model) {
    for (const auto& [power, state] : {std::pair(&flash_, flash), std::pair(&model_, model)}) {
        CUserStatic& readOut = *power->readOut;
        readOut.SetMarkColor(PanelLook::MarkColor(state));
        SetTipAndDescription(readOut, PanelLook::ConfirmationTip(state));
    }
}

namespace {

void SetEnabled(std::initializer_list<QWidget*> widgets, bool on) {
    for (QWidget* widget : widgets) {
        widget->setEnabled(on);
    }
}

}  // namespace

void CPowerGroups::EnableFlashGroup(bool on) {
    SetEnabled({flash_.readOut, flash_.spin, flash_.slider, cellCheck_, soundCheck_}, on);
}

void CPowerGroups::EnablePowerSwitch(bool on) {
    powerButton_->setEnabled(on);
}

void CPowerGroups::EnableRest(bool on) {
    SetEnabled({testButton_, freeRadio_, propRadio_, model_.readOut, model_.spin, model_.slider,
                continuousRadio_, flashPropRadio_, offCheck_},
               on);
}

void CPowerGroups::MoveCoupled(Power& other, int delta) {
    *other.value = std::clamp(*other.value + delta, Min(), Max());
    other.slider->SetPos(SliderPos(*other.value));
}

void CPowerGroups::OnSpinStep(Power& own, Power& other, int delta) {
    if (!target_.CanChange()) {
        return;
    }
    // The arrow pointing up reports a negative step and raises the power. A step past either end
    // is refused without effect.
    // A coupled power saturates only at the end it moves towards.
    int& value = *own.value;
    int& coupledValue = *other.value;
    const bool coupled = IsCoupled();
    if (delta < 0 && value < Max()) {
        ++value;
        if (coupled) {
            coupledValue = std::min(coupledValue + 1, Max());
        }
    } else if (delta > 0 && value > Min()) {
        --value;
        if (coupled) {
            coupledValue = std::max(coupledValue - 1, Min());
        }
    } else {
        return;
    }
    own.slider->SetPos(SliderPos(value));
    Show(own);
    if (coupled) {
        other.slider->SetPos(SliderPos(coupledValue));
        Show(other);
    }
    target_.PowerSet(own.isFlash, coupled);
}

void CPowerGroups::OnSliderTrack(Power& own, Power& other, int position) {
    // Only the read-outs follow a drag; the units hear of it once the slider is let go.
    if (!target_.HasTarget() || position == 0) {
        return;
    }
    int value = position - sliderShift_;
    if (layout_.scale == Scale::Offset && own.slider->IsHeldByMouse() && !dragStarted_) {
        dragStarted_ = true;
        // A press on a centred thumb easily nudges it one step right: that first nudge of a drag
        // after a release or reset is taken as no move, so a plain click cannot change every
        // ticked unit. A key step is meant as it is and moves the offset.
        if (value == 1 && *own.value == 0) {
            own.slider->SetPos(SliderPos(0));
            value = 0;
        }
    }
    const int delta = value - *own.value;
    *own.value = value;
    if (IsCoupled()) {
        MoveCoupled(other, delta);
    }
    Show(own);
    if (IsCoupled()) {
        Show(other);
    }
}

void CPowerGroups::OnSliderRelease(Power& own, Power& other) {
    if (!target_.CanChange()) {
        return;
    }
    const int old = *own.value;
    *own.value = own.slider->GetPos() - sliderShift_;
    Show(own);
    const bool coupled = IsCoupled();
    if (coupled) {
        MoveCoupled(other, *own.value - old);
        Show(other);
    }
    dragStarted_ = false;
    // Also after a press that moved nothing: the user asked for this value to be sent.
    target_.PowerSet(own.isFlash, coupled);
}

QString CPowerGroups::ControlName(const QString& base) const {
    if (layout_.namePrefix.isEmpty()) {
        return base;
    }
    return layout_.namePrefix + base.left(1).toUpper() + base.mid(1);
}
