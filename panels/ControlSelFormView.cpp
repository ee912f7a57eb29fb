#include "panels/ControlSelFormView.h"

#include "link/UnitMask.h"
#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "platform/DialogUnits.h"
#include "platform/WindowMessage.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"
#include "views/PaneHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// A unit's own power levels, in tenths: 1.1 to 8.1.
constexpr int kMinPower = 11;
constexpr int kMaxPower = 81;

constexpr int kMinSliderPos = 1;
constexpr int kMaxSliderPos = CControlSelFormView::kCentre + CControlSelFormView::kMaxOffset;

const QColor kValueText(0, 192, 0);
const QColor kValueBackground(240, 240, 240);

int ClampOffset(int offset) {
    return std::clamp(offset, -CControlSelFormView::kMaxOffset, CControlSelFormView::kMaxOffset);
}

// Places a control where the panel's template puts it, in dialog units of the panel's font.
template <class Widget>
Widget* Place(Widget* widget, const DialogUnits& du, int x, int y, int w, int h) {
    widget->setGeometry(du.Rect(x, y, w, h));
    return widget;
}

}  // namespace

CControlSelFormView::CControlSelFormView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Selected unit(s) settings"));
    // Laid out in the units of its own font, which its controls inherit.
    QFont templateFont(QStringLiteral("Arial"));
    templateFont.setPointSize(8);
    setFont(templateFont);
    resize(DialogUnits(font()).Size(205, 120));

    valueFont_ = QFont(QStringLiteral("Arial"));
    valueFont_.setPixelSize(34);
    valueFont_.setWeight(QFont::Medium);
    captionFont_ = QFont(QStringLiteral("MS Sans Serif"));
    captionFont_.setPixelSize(16);
    captionFont_.setWeight(QFont::Black);

    BuildControls();
    ConnectControls();

    for (OffsetControls* power : {&flash_, &model_}) {
        power->label->setFont(valueFont_);
        power->label->SetTextColor(kValueText);
        power->label->SetBackgroundColor(kValueBackground);
        power->slider->SetRange(kMinSliderPos, kMaxSliderPos);
    }
    powerButton_->setFont(captionFont_);
    ResetGroupPanel();
}

CControlSelFormView::~CControlSelFormView() = default;

void CControlSelFormView::BuildControls() {
    const DialogUnits du(font());
    // Created in the order the user tabs through them.
    const auto makeLabel = [&](const QString& name, const QString& accessible, int x) {
        auto* label = Place(new CUserStatic(this), du, x, 14, 42, 24);
        label->setObjectName(name);
        label->setAccessibleName(accessible);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    const auto makeSpin = [&](const QString& name, const QString& accessible, int x) {
        auto* spin = Place(new COXCoolSpinButtonCtrl(this), du, x, 14, 10, 24);
        spin->setObjectName(name);
        spin->setAccessibleName(accessible);
        return spin;
    };
    const auto makeSlider = [&](const QString& name, const QString& accessible, int x) {
        auto* slider = Place(new COXCoolSliderCtrl(this), du, x, 43, 68, 12);
        slider->setObjectName(name);
        slider->setAccessibleName(accessible);
        slider->setOrientation(Qt::Horizontal);
        slider->setTickPosition(QSlider::NoTicks);
        slider->setFocusPolicy(Qt::StrongFocus);
        return slider;
    };
    const auto makeCheck = [&](const QString& caption, const QString& name, int x, int y) {
        auto* check = Place(new QCheckBox(caption, this), du, x, y, 35, 8);
        check->setObjectName(name);
        check->setAccessibleName(caption);
        return check;
    };
    const auto makeRadio = [&](const QString& caption, const QString& name, int y, int w) {
        auto* radio = Place(new QRadioButton(caption, this), du, 110, y, w, 8);
        radio->setObjectName(name);
        radio->setAccessibleName(caption);
        return radio;
    };

    flashGroup_ = Place(new QGroupBox(QStringLiteral("Flash Power"), this), du, 5, 5, 95, 110);
    flashGroup_->setAccessibleName(flashGroup_->title());
    flash_.offset = &flashOffset_;
    flash_.isFlash = true;
    flash_.label =
        makeLabel(QStringLiteral("selFlashValue"), QStringLiteral("Flash Power offset value"), 10);
    flash_.spin =
        makeSpin(QStringLiteral("selFlashSpin"), QStringLiteral("Flash Power offset step"), 60);
    flash_.slider =
        makeSlider(QStringLiteral("selFlashSlider"), QStringLiteral("Flash Power offset"), 6);
    cellCheck_ = makeCheck(QStringLiteral("Cell"), QStringLiteral("selCellCheck"), 58, 63);
    soundCheck_ = makeCheck(QStringLiteral("Sound"), QStringLiteral("selSoundCheck"), 58, 73);
    powerButton_ = Place(new CUserButton(this), du, 10, 63, 40, 30);
    powerButton_->setObjectName(QStringLiteral("selPowerButton"));
    powerButton_->setFocusPolicy(Qt::StrongFocus);
    testButton_ = Place(new QPushButton(QStringLiteral("Test"), this), du, 10, 96, 40, 13);
    testButton_->setObjectName(QStringLiteral("selTestButton"));
    testButton_->setAccessibleName(testButton_->text());
    testButton_->setFocusPolicy(Qt::StrongFocus);
    // Enter belongs to whichever control has the focus, not to a default button of the window
    // the panel sits in: a stray Enter must never fire the ticked units.
    testButton_->setAutoDefault(false);
    powerButton_->setAutoDefault(false);

    modelGroup_ = Place(new QGroupBox(QStringLiteral("Model Power"), this), du, 105, 5, 95, 110);
    modelGroup_->setAccessibleName(modelGroup_->title());
    model_.offset = &modelOffset_;
    model_.isFlash = false;
    model_.label =
        makeLabel(QStringLiteral("selModelValue"), QStringLiteral("Model Power offset value"), 110);
    model_.spin =
        makeSpin(QStringLiteral("selModelSpin"), QStringLiteral("Model Power offset step"), 160);
    model_.slider =
        makeSlider(QStringLiteral("selModelSlider"), QStringLiteral("Model Power offset"), 106);
    freeRadio_ = makeRadio(QStringLiteral("Free"), QStringLiteral("selFreeRadio"), 63, 40);
    propRadio_ = makeRadio(QStringLiteral("Prop"), QStringLiteral("selPropRadio"), 73, 40);
    offCheck_ = makeCheck(QStringLiteral("OFF"), QStringLiteral("selOffCheck"), 158, 63);
    continuousRadio_ =
        makeRadio(QStringLiteral("Continous"), QStringLiteral("selContinuousRadio"), 88, 50);
    flashPropRadio_ =
        makeRadio(QStringLiteral("Flash Prop"), QStringLiteral("selFlashPropRadio"), 98, 50);
    // Two separate pairs, each of which may also have neither button set: after a reset the
    // panel has not chosen a mode of either kind.
    mode1Pair_ = new QButtonGroup(this);
    mode1Pair_->addButton(freeRadio_);
    mode1Pair_->addButton(propRadio_);
    mode2Pair_ = new QButtonGroup(this);
    mode2Pair_->addButton(continuousRadio_);
    mode2Pair_->addButton(flashPropRadio_);
}

void CControlSelFormView::ConnectControls() {
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

    connect(cellCheck_, &QAbstractButton::clicked, this, [this] {
        OnCheckClicked(cellCheck_, flashCell_, &StrobeSettings::bFlashCell, SettingType::PhotoCell,
                       ChangeCode::PhotoCell);
    });
    connect(soundCheck_, &QAbstractButton::clicked, this, [this] {
        OnCheckClicked(soundCheck_, flashSound_, &StrobeSettings::bFlashSnd, SettingType::Sound,
                       ChangeCode::Sound);
    });
    connect(powerButton_, &QAbstractButton::clicked, this, [this] {
        OnCheckClicked(powerButton_, flashPower_, &StrobeSettings::bFlashPow,
                       SettingType::FlashSwitch, ChangeCode::FlashSwitch);
    });
    connect(testButton_, &QAbstractButton::clicked, this, [this] {
        // A test flash changes no setting, so the grid has nothing to redraw.
        SendToTicked(nullptr, 0, SettingType::TestFlash, ChangeCode::None);
    });
    connect(offCheck_, &QAbstractButton::clicked, this, &CControlSelFormView::OnModelOffClicked);
    const auto mode = [this](QRadioButton* radio, int& copy, int StrobeSettings::*field, int value,
                             SettingType type, ChangeCode change) {
        connect(radio, &QAbstractButton::clicked, this, [this, &copy, field, value, type, change] {
            OnModeClicked(copy, field, value, type, change);
        });
    };
    mode(freeRadio_, modelMode1_, &StrobeSettings::nModelMode1, 0, SettingType::ModelMode1,
         ChangeCode::ModelMode1);
    mode(propRadio_, modelMode1_, &StrobeSettings::nModelMode1, 1, SettingType::ModelMode1,
         ChangeCode::ModelMode1);
    mode(continuousRadio_, modelMode2_, &StrobeSettings::nModelMode2, 1, SettingType::ModelMode2,
         ChangeCode::ModelMode2);
    mode(flashPropRadio_, modelMode2_, &StrobeSettings::nModelMode2, 0, SettingType::ModelMode2,
         ChangeCode::ModelMode2);
}

void CControlSelFormView::Attach(QObject* mainFrame, StudioModel* model, CZbProtocol* protocol,
                                 CPaneHost* host) {
    mainFrame_ = mainFrame;
    studioModel_ = model;
    protocol_ = protocol;
    host_ = host;
}

QString CControlSelFormView::OffsetText(int offset) {
    const int magnitude = std::abs(offset);
    return QString::asprintf(offset < 0 ? "-%d.%d" : "%d.%d", magnitude / 10, magnitude % 10);
}

void CControlSelFormView::ResetGroupPanel() {
    flashOffset_ = flashCell_ = flashSound_ = flashPower_ = 0;
    ShowOffset(flash_);
    flash_.slider->SetPos(kCentre);
    cellCheck_->setChecked(false);
    soundCheck_->setChecked(false);
    powerButton_->setChecked(false);

    modelOffset_ = 0;
    modelMode1_ = modelMode2_ = -1;
    modelOff_ = 0;
    ShowOffset(model_);
    model_.slider->SetPos(kCentre);
    ClearPair(mode1Pair_);
    ClearPair(mode2Pair_);
    offCheck_->setChecked(false);

    dragStarted_ = false;
    lastSentFlash_ = lastSentModel_ = 0;
}

void CControlSelFormView::ClearPair(QButtonGroup* pair) {
    pair->setExclusive(false);
    for (QAbstractButton* button : pair->buttons()) {
        button->setChecked(false);
    }
    pair->setExclusive(true);
}

void CControlSelFormView::ShowOffset(const OffsetControls& power) {
    power.label->setText(OffsetText(*power.offset));
    // At once, so that a drag shows every offset it passes.
    power.label->repaint();
}

void CControlSelFormView::MoveCoupled(OffsetControls& other, int delta) {
    *other.offset = ClampOffset(*other.offset + delta);
    other.slider->SetPos(std::clamp(other.slider->GetPos() + delta, kMinSliderPos, kMaxSliderPos));
}

void CControlSelFormView::Apply(const OffsetControls& own) {
    ApplyOffsets(own.isFlash, !own.isFlash);
}

void CControlSelFormView::OnSliderTrack(OffsetControls& own, OffsetControls& other, int position) {
    // A drag only moves the read-outs; the units hear of it once the slider is let go.
    int offset = position - kCentre;
    if (!dragStarted_) {
        dragStarted_ = true;
        // A press on a centred thumb easily nudges it one step right: that first nudge after a
        // release or reset is taken as no move, so a plain click cannot change every ticked unit.
        if (offset == 1 && *own.offset == 0) {
            own.slider->SetPos(kCentre);
            offset = 0;
        }
    }
    const int delta = offset - *own.offset;
    *own.offset = offset;
    if (IsCoupled()) {
        MoveCoupled(other, delta);
    }
    ShowOffset(own);
    if (IsCoupled()) {
        ShowOffset(other);
    }
}

void CControlSelFormView::OnSliderRelease(OffsetControls& own, OffsetControls& other) {
    const int old = *own.offset;
    *own.offset = own.slider->GetPos() - kCentre;
    ShowOffset(own);
    if (IsCoupled()) {
        MoveCoupled(other, *own.offset - old);
        ShowOffset(other);
    }
    dragStarted_ = false;
    // Also after a press that moved nothing: the user asked for this offset to be applied.
    Apply(own);
}

void CControlSelFormView::OnSpinStep(OffsetControls& own, OffsetControls& other, int delta) {
    // The arrow pointing up reports a negative step and raises the offset. A step past either end
    // is refused without effect.
    int& offset = *own.offset;
    int& coupled = *other.offset;
    if (delta < 0 && offset < kMaxOffset) {
        ++offset;
        if (IsCoupled()) {
            coupled = std::min(coupled + 1, kMaxOffset);
        }
    } else if (delta > 0 && offset > -kMaxOffset) {
        --offset;
        if (IsCoupled()) {
            coupled = std::max(coupled - 1, -kMaxOffset);
        }
    } else {
        return;
    }
    own.slider->SetPos(offset + kCentre);
    ShowOffset(own);
    if (IsCoupled()) {
        other.slider->SetPos(coupled + kCentre);
        ShowOffset(other);
    }
    Apply(own);
}

template <class Visit>
void CControlSelFormView::ForEachTicked(Visit visit) const {
    const StudioData* studio = studioModel_ ? studioModel_->SelectedStudio() : nullptr;
    if (!studio) {
        return;
    }
    // The grid's rows are the units of the studio of the selection, so its unit count bounds
    // them; rows the grid does not (yet) hold are simply not there to act on.
    const qsizetype count = std::min<qsizetype>(studio->nChItemCnt, studioModel_->arUnits.size());
    for (qsizetype j = 0; j < count; ++j) {
        StrobeData* unit = studioModel_->arUnits[j];
        if (unit && unit->bSelected) {
            visit(*unit);
        }
    }
}

void CControlSelFormView::ApplyOffsets(bool flashChanged, bool modelChanged) {
    const int flashDelta = flashOffset_ - lastSentFlash_;
    const int modelDelta = modelOffset_ - lastSentModel_;
    // Taken as sent also with nobody ticked: a later change applies only what changed from here.
    lastSentFlash_ = flashOffset_;
    lastSentModel_ = modelOffset_;

    int ticked = 0;
    ForEachTicked([&](StrobeData& unit) {
        // A unit in "Prop" moves both its powers by whichever offset the user changed; a unit in
        // "Free" moves each power by its own offset's change.
        const bool prop = unit.nModelMode1 == 1;
        unit.nFlashValue =
            std::clamp(unit.nFlashValue + (prop && modelChanged ? modelDelta : flashDelta),
                       kMinPower, kMaxPower);
        unit.nModelValue =
            std::clamp(unit.nModelValue + (prop && flashChanged ? flashDelta : modelDelta),
                       kMinPower, kMaxPower);
        ++ticked;
    });
    if (ticked == 0) {
        return;
    }
    // One frame carries the powers of the whole studio, however many units are ticked.
    StudioData* studio = studioModel_->SelectedStudio();
    if (protocol_) {
        if (flashChanged) {
            protocol_->SendPowerTable(SettingType::FlashPowerTable, studio);
        }
        if (modelChanged) {
            protocol_->SendPowerTable(SettingType::ModelPowerTable, studio);
        }
    }
    PostTickedChanged(ChangeCode::ModelPower);
}

void CControlSelFormView::SendToTicked(int StrobeSettings::*field, int value, SettingType type,
                                       ChangeCode change) {
    std::uint16_t mask = 0;
    const StrobeData* last = nullptr;
    ForEachTicked([&](StrobeData& unit) {
        if (field) {
            unit.*field = value;
        }
        mask |= MaskFromSlot(unit.nChNum);
        last = &unit;
    });
    if (!last) {
        return;
    }
    // One frame for all ticked units; its value byte comes from the last of them, which holds
    // the same value as every other one now.
    if (protocol_) {
        protocol_->SendSetting(mask, last, type);
    }
    if (change != ChangeCode::None) {
        PostTickedChanged(change);
    }
}

void CControlSelFormView::OnCheckClicked(QAbstractButton* button, int& copy,
                                         int StrobeSettings::*field, SettingType type,
                                         ChangeCode change) {
    copy = button->isChecked() ? 1 : 0;
    SendToTicked(field, copy, type, change);
}

void CControlSelFormView::OnModelOffClicked() {
    modelOff_ = offCheck_->isChecked() ? 1 : 0;
    SendToTicked(&StrobeSettings::bModelPow, modelOff_ ? 0 : 1, SettingType::ModelSwitch,
                 ChangeCode::ModelSwitch);
}

void CControlSelFormView::OnModeClicked(int& copy, int StrobeSettings::*field, int value,
                                        SettingType type, ChangeCode change) {
    // A click on the mode already set goes out again: a unit may have missed the last one.
    copy = value;
    SendToTicked(field, value, type, change);
}

void CControlSelFormView::PostTickedChanged(ChangeCode change) {
    // Posted: the navigation view refreshes every row of the studio once the panel is done.
    if (host_) {
        if (QWidget* navigation = host_->NavigationPane()) {
            PostWindowMessage(navigation, Msg::TickedUnitsChanged, static_cast<int>(change), 0);
        }
    }
}
