#include "panels/ControlFormView.h"

#include "panels/ControlSelFormView.h"

#include "link/ZbProtocol.h"
#include "model/StudioModel.h"
#include "panels/UserButton.h"
#include "panels/UserStatic.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBoxService.h"
#include "shell/MainFrame.h"
#include "toolkit/CoolSliderCtrl.h"
#include "toolkit/CoolSpinButtonCtrl.h"
#include "toolkit/OXSeparator.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

// Power levels in tenths: 1.1 to 8.1.
constexpr int kMinPower = 11;
constexpr int kMaxPower = 81;

const QColor kNavy(0, 0, 128);
const QColor kValueText(0, 192, 0);
const QColor kValueBackground(240, 240, 240);

QString PowerText(int value) {
    return QString::asprintf("%d.%d", value / 10, value % 10);
}

// A power as the file preview reads it: the value, or "OFF" when that part of the unit is off.
QString PreviewPower(int value, int on) {
    return on ? PowerText(value) : QStringLiteral("OFF");
}

const QString kMemoryCaption = QStringLiteral("Business Memory");

int ClampPower(int value) {
    return std::clamp(value, kMinPower, kMaxPower);
}

// Places a control where the panel's template puts it, in dialog units of the panel's font.
template <class Widget>
Widget* Place(Widget* widget, const DialogUnits& du, int x, int y, int w, int h) {
    widget->setGeometry(du.Rect(x, y, w, h));
    return widget;
}

}  // namespace

CControlFormView::CControlFormView(QWidget* parent) : CPaneBase(parent) {
    setAccessibleName(QStringLiteral("Remote Control"));
    // The panel is laid out in the units of its own font, which its controls inherit.
    QFont templateFont(QStringLiteral("Arial"));
    templateFont.setPointSize(8);
    setFont(templateFont);

    valueFont_ = QFont(QStringLiteral("Arial"));
    valueFont_.setPixelSize(34);
    valueFont_.setWeight(QFont::Medium);
    captionFont_ = QFont(QStringLiteral("MS Sans Serif"));
    captionFont_.setPixelSize(16);
    captionFont_.setWeight(QFont::Black);

    BuildControls();
    ConnectControls();
}

CControlFormView::~CControlFormView() = default;

void CControlFormView::BuildControls() {
    const DialogUnits du(font());
    // Created in the order the user tabs through them.
    heading_ = Place(new COXSeparator(QStringLiteral("Remote Control"), this), du, 5, 5, 97, 8);
    heading_->setAccessibleName(heading_->Text());

    modeCombo_ = new QComboBox(this);
    modeCombo_->setObjectName(QStringLiteral("modeCombo"));
    modeCombo_->setAccessibleName(QStringLiteral("Panel mode"));
    // The template's height includes the dropped list; the closed box keeps its own height.
    const QRect comboRect = du.Rect(110, 5, 90, 30);
    modeCombo_->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                            modeCombo_->sizeHint().height());

    flashGroup_ = Place(new QGroupBox(QStringLiteral("Flash Power"), this), du, 5, 27, 95, 110);
    flashGroup_->setAccessibleName(flashGroup_->title());

    const auto makeLabel = [&](const QString& name, int x) {
        auto* label = Place(new CUserStatic(QStringLiteral("Static"), this), du, x, 36, 42, 24);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    const auto makeSpin = [&](const QString& name, int x) {
        auto* spin = Place(new COXCoolSpinButtonCtrl(this), du, x, 36, 10, 24);
        spin->setObjectName(name);
        return spin;
    };
    const auto makeSlider = [&](const QString& name, int x) {
        auto* slider = Place(new COXCoolSliderCtrl(this), du, x, 65, 68, 12);
        slider->setObjectName(name);
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

    flash_.value = &flashValue_;
    flash_.field = &StrobeSettings::nFlashValue;
    flash_.type = SettingType::FlashPower;
    flash_.change = ChangeCode::FlashPower;
    flash_.label = makeLabel(QStringLiteral("flashValue"), 10);
    flash_.label->setAccessibleName(QStringLiteral("Flash Power value"));
    flash_.spin = makeSpin(QStringLiteral("flashSpin"), 60);
    flash_.spin->setAccessibleName(QStringLiteral("Flash Power step"));
    flash_.slider = makeSlider(QStringLiteral("flashSlider"), 6);
    flash_.slider->setAccessibleName(QStringLiteral("Flash Power"));
    cellCheck_ = makeCheck(QStringLiteral("Cell"), QStringLiteral("cellCheck"), 58, 85);
    soundCheck_ = makeCheck(QStringLiteral("Sound"), QStringLiteral("soundCheck"), 58, 95);
    powerButton_ = Place(new CUserButton(this), du, 10, 85, 40, 30);
    powerButton_->setObjectName(QStringLiteral("powerButton"));
    testButton_ = Place(new QPushButton(QStringLiteral("Test"), this), du, 10, 118, 40, 13);
    testButton_->setObjectName(QStringLiteral("testButton"));
    testButton_->setAccessibleName(testButton_->text());
    testButton_->setAutoDefault(false);

    modelGroup_ = Place(new QGroupBox(QStringLiteral("Model Power"), this), du, 105, 27, 95, 110);
    modelGroup_->setAccessibleName(modelGroup_->title());

    model_.value = &modelValue_;
    model_.field = &StrobeSettings::nModelValue;
    model_.type = SettingType::ModelPower;
    model_.change = ChangeCode::ModelPower;
    model_.label = makeLabel(QStringLiteral("modelValue"), 110);
    model_.label->setAccessibleName(QStringLiteral("Model Power value"));
    model_.spin = makeSpin(QStringLiteral("modelSpin"), 160);
    model_.spin->setAccessibleName(QStringLiteral("Model Power step"));
    model_.slider = makeSlider(QStringLiteral("modelSlider"), 106);
    model_.slider->setAccessibleName(QStringLiteral("Model Power"));
    freeRadio_ = makeRadio(QStringLiteral("Free"), QStringLiteral("freeRadio"), 85, 40);
    propRadio_ = makeRadio(QStringLiteral("Prop"), QStringLiteral("propRadio"), 95, 40);
    offCheck_ = makeCheck(QStringLiteral("OFF"), QStringLiteral("offCheck"), 158, 85);
    continuousRadio_ =
        makeRadio(QStringLiteral("Continous"), QStringLiteral("continuousRadio"), 110, 50);
    flashPropRadio_ =
        makeRadio(QStringLiteral("Flash Prop"), QStringLiteral("flashPropRadio"), 120, 50);
    // Two separate pairs: a lamp mode of each kind is always set.
    mode1Pair_ = new QButtonGroup(this);
    mode1Pair_->addButton(freeRadio_);
    mode1Pair_->addButton(propRadio_);
    mode2Pair_ = new QButtonGroup(this);
    mode2Pair_->addButton(continuousRadio_);
    mode2Pair_->addButton(flashPropRadio_);

    memoryGroup_ =
        Place(new QGroupBox(QStringLiteral("Business Memory"), this), du, 5, 140, 195, 85);
    memoryGroup_->setObjectName(QStringLiteral("memoryGroup"));
    memoryGroup_->setAccessibleName(memoryGroup_->title());
    fileNameEdit_ = Place(new QLineEdit(this), du, 12, 209, 80, 12);
    fileNameEdit_->setObjectName(QStringLiteral("fileNameEdit"));
    fileNameEdit_->setAccessibleName(QStringLiteral("File name"));
    fileList_ = Place(new QListWidget(this), du, 12, 150, 80, 55);
    fileList_->setObjectName(QStringLiteral("fileList"));
    fileList_->setAccessibleName(QStringLiteral("Studio files"));
    fileInfo_ = Place(new QPlainTextEdit(this), du, 96, 150, 98, 71);
    fileInfo_->setObjectName(QStringLiteral("fileInfo"));
    fileInfo_->setAccessibleName(QStringLiteral("File info"));
    fileInfo_->setReadOnly(true);
}

void CControlFormView::ConnectControls() {
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
        OnFlagClicked(cellCheck_, flashCell_, &StrobeSettings::bFlashCell, SettingType::PhotoCell,
                      ChangeCode::PhotoCell);
    });
    connect(soundCheck_, &QAbstractButton::clicked, this, [this] {
        OnFlagClicked(soundCheck_, flashSound_, &StrobeSettings::bFlashSnd, SettingType::Sound,
                      ChangeCode::Sound);
    });
    connect(powerButton_, &QAbstractButton::clicked, this, &CControlFormView::OnPowerClicked);
    connect(testButton_, &QAbstractButton::clicked, this, &CControlFormView::OnTestClicked);
    connect(offCheck_, &QAbstractButton::clicked, this, &CControlFormView::OnModelOffClicked);
    const auto mode = [this](QRadioButton* radio, int& copy, int StrobeSettings::*field, int value,
                             SettingType type, ChangeCode change) {
        connect(radio, &QAbstractButton::clicked, this, [this, &copy, field, value, type, change] {
            OnModelModeClicked(copy, field, value, type, change);
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
    // Only the user's picks: the reset puts the box back to the first entry without a switch.
    connect(modeCombo_, &QComboBox::activated, this, &CControlFormView::OnPanelModeSelected);

    // A click anywhere in the list, on an entry or not, previews the entry that holds the list's
    // current mark; Enter and Space do the same from the keyboard.
    fileList_->viewport()->installEventFilter(this);
    fileList_->installEventFilter(this);
    connect(fileNameEdit_, &QLineEdit::textChanged, this, &CControlFormView::OnFileNameChanged);
}

void CControlFormView::OnInitialUpdate() {
    panelMode_ = UnitSettings;

    heading_->setFont(captionFont_);
    heading_->SetTextColor(kNavy);
    heading_->SetLineColors(kNavy, palette().color(QPalette::Light));

    modeCombo_->addItem(QStringLiteral("Flash/Model settings"));
    modeCombo_->addItem(QStringLiteral("Selected unit(s) settings"));
    modeCombo_->setCurrentIndex(UnitSettings);

    for (PowerControls* power : {&flash_, &model_}) {
        power->label->setFont(valueFont_);
        power->label->SetTextColor(kValueText);
        power->label->SetBackgroundColor(kValueBackground);
        power->label->setText(QStringLiteral("0.0"));
        power->slider->SetRange(kMinPower, kMaxPower);
    }
    powerButton_->setFont(captionFont_);
    // Placed so that its own power groups cover the panel's; shown only in the group layout.
    groupPanel_ = new CControlSelFormView(this);
    groupPanel_->move(0, 38);
    // Its template runs a little lower than the power groups; it stops short of the studio-file
    // box so that box's caption stays readable.
    groupPanel_->resize(groupPanel_->width(),
                        std::min(groupPanel_->height(), memoryGroup_->y() - groupPanel_->y()));
    // Opaque, so that the power groups underneath do not show through its own.
    groupPanel_->setAutoFillBackground(true);
    groupPanel_->hide();
    groupPanel_->Attach(MainFrame(), Model(), Protocol(), Host());
    // The controls stay as they are until the first unit is shown or the studio has none.

    ListFiles();
}

bool CControlFormView::OnMessage(const WindowMessageEvent& message) {
    switch (message.Message()) {
        case Msg::ShowSelectedUnit:
        case Msg::SelectedUnitRefreshed:
            ShowUnit();
            return true;
        case Msg::StudioHasNoUnits:
            SetControlState(Reset);
            return true;
        case Msg::SelectedUnitSettingChanged:
            ShowUnitItem(static_cast<int>(message.WParam()));
            return true;
        case Msg::SaveCommand:
            OnSaveCommand();
            return true;
        case Msg::LoadCommand:
            OnLoadCommand();
            return true;
        default:
            return false;
    }
}

StrobeData* CControlFormView::UnitOrReset() {
    StrobeData* unit = Model() ? Model()->SelectedUnit() : nullptr;
    if (!unit) {
        SetControlState(Reset);
    }
    return unit;
}

CZbProtocol* CControlFormView::Protocol() const {
    auto* frame = qobject_cast<CMainFrame*>(MainFrame());
    return frame ? &frame->Protocol() : nullptr;
}

void CControlFormView::Send(StrobeData* unit, SettingType type) {
    if (CZbProtocol* protocol = Protocol()) {
        // Mask 0: the unit's own slot. Whether the unit took it shows in its later reports.
        protocol->SendSetting(0, unit, type);
    }
}

void CControlFormView::PostChanged(ChangeCode change) {
    // lParam 0 names the unit of the selection; the grid redraws its line when it gets to it.
    if (Host()) {
        PostWindowMessage(Host()->NavigationPane(), Msg::UnitSettingChanged,
                          static_cast<int>(change), 0);
    }
}

void CControlFormView::ShowFlashValue() {
    flash_.label->setText(PowerText(flashValue_));
    // At once, so that a drag shows every value it passes.
    flash_.label->repaint();
}

void CControlFormView::ShowModelValue() {
    model_.label->setText(modelOff_ ? QStringLiteral("OFF") : PowerText(modelValue_));
    model_.label->repaint();
}

void CControlFormView::ShowPowerLabel(const PowerControls& power) {
    if (&power == &flash_) {
        ShowFlashValue();
    } else {
        ShowModelValue();
    }
}

void CControlFormView::ShowPowerValues() {
    const StrobeData* unit = Model()->SelectedUnit();
    flashValue_ = unit->nFlashValue;
    modelValue_ = unit->nModelValue;
    ShowFlashValue();
    ShowModelValue();
    flash_.slider->SetPos(flashValue_);
    model_.slider->SetPos(modelValue_);
}

void CControlFormView::ShowModelMode1() {
    ClearPair(mode1Pair_);
    (modelMode1_ ? propRadio_ : freeRadio_)->setChecked(true);
}

void CControlFormView::ShowModelMode2() {
    ClearPair(mode2Pair_);
    (modelMode2_ ? continuousRadio_ : flashPropRadio_)->setChecked(true);
}

void CControlFormView::ClearPair(QButtonGroup* pair) {
    pair->setExclusive(false);
    for (QAbstractButton* button : pair->buttons()) {
        button->setChecked(false);
    }
    pair->setExclusive(true);
}

void CControlFormView::ShowUnit() {
    const StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    flashValue_ = unit->nFlashValue;
    flashCell_ = unit->bFlashCell;
    flashSound_ = unit->bFlashSnd;
    flashPower_ = unit->bFlashPow;
    ShowFlashValue();
    flash_.slider->SetPos(flashValue_);
    cellCheck_->setChecked(flashCell_ != 0);
    soundCheck_->setChecked(flashSound_ != 0);
    powerButton_->setChecked(flashPower_ != 0);

    modelValue_ = unit->nModelValue;
    modelMode1_ = unit->nModelMode1;
    modelMode2_ = unit->nModelMode2;
    modelOff_ = unit->bModelPow ? 0 : 1;
    ShowModelValue();
    model_.slider->SetPos(modelValue_);

    ShowModelMode1();
    ShowModelMode2();
    offCheck_->setChecked(modelOff_ != 0);

    SetControlState(ByPower);
}

void CControlFormView::ShowUnitItem(int changeCode) {
    const StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    switch (static_cast<ChangeCode>(changeCode)) {
        case ChangeCode::FlashPower:
        case ChangeCode::ModelPower:
            ShowPowerValues();
            break;
        case ChangeCode::PhotoCell:
            flashCell_ = unit->bFlashCell;
            cellCheck_->setChecked(flashCell_ != 0);
            break;
        case ChangeCode::Sound:
            flashSound_ = unit->bFlashSnd;
            soundCheck_->setChecked(flashSound_ != 0);
            break;
        case ChangeCode::FlashSwitch:
            flashPower_ = unit->bFlashPow;
            powerButton_->setChecked(flashPower_ != 0);
            SetControlState(ByPower);
            break;
        case ChangeCode::ModelMode1:
            modelMode1_ = unit->nModelMode1;
            ShowModelMode1();
            break;
        case ChangeCode::ModelMode2:
            modelMode2_ = unit->nModelMode2;
            ShowModelMode2();
            break;
        case ChangeCode::ModelSwitch:
            modelOff_ = unit->bModelPow ? 0 : 1;
            offCheck_->setChecked(modelOff_ != 0);
            ShowModelValue();
            SetControlState(ByPower);
            break;
        default:
            break;
    }
}

void CControlFormView::SetControlState(int state) {
    const QList<QWidget*> flashGroup = {flash_.label, flash_.spin, flash_.slider, cellCheck_,
                                        soundCheck_};
    const QList<QWidget*> rest = {testButton_,      freeRadio_,      propRadio_,
                                  model_.label,     model_.spin,     model_.slider,
                                  continuousRadio_, flashPropRadio_, offCheck_};
    const auto enable = [](const QList<QWidget*>& widgets, bool on) {
        for (QWidget* widget : widgets) {
            widget->setEnabled(on);
        }
    };
    const auto show = [&](bool on) {
        for (const QList<QWidget*>* widgets : {&flashGroup, &rest}) {
            for (QWidget* widget : *widgets) {
                widget->setVisible(on);
            }
        }
        powerButton_->setVisible(on);
    };

    switch (state) {
        case NoUnit:
        case Enabled:
            modeCombo_->setEnabled(state == Enabled);
            enable(flashGroup, state == Enabled);
            powerButton_->setEnabled(state == Enabled);
            enable(rest, state == Enabled);
            break;
        case Reset:
            flashValue_ = kMinPower;
            flashCell_ = flashSound_ = flashPower_ = 0;
            flash_.label->setText(QString());
            flash_.slider->SetPos(kMinPower);
            cellCheck_->setChecked(false);
            soundCheck_->setChecked(false);
            powerButton_->setChecked(false);
            modelValue_ = kMinPower;
            modelMode1_ = modelMode2_ = modelOff_ = 0;
            model_.label->setText(QString());
            model_.slider->SetPos(kMinPower);
            ClearPair(mode1Pair_);
            ClearPair(mode2Pair_);
            offCheck_->setChecked(false);
            if (panelMode_ == GroupSettings) {
                SetControlState(UnitLayout);
                modeCombo_->setCurrentIndex(UnitSettings);
                panelMode_ = UnitSettings;
            }
            SetControlState(NoUnit);
            break;
        case UnitLayout:
            if (groupPanel_) {
                groupPanel_->hide();
            }
            show(true);
            break;
        case GroupLayout:
            show(false);
            if (groupPanel_) {
                groupPanel_->show();
                groupPanel_->raise();
            }
            break;
        case SwitchedOff:
            modeCombo_->setEnabled(true);
            powerButton_->setEnabled(true);
            enable(flashGroup, false);
            enable(rest, false);
            break;
        case ByPower:
            if (flashPower_ == 0) {
                SetControlState(SwitchedOff);
            } else if (panelMode_ == UnitSettings) {
                SetControlState(Enabled);
            }
            break;
        default:
            break;
    }
}

void CControlFormView::OnSpinStep(PowerControls& own, PowerControls& other, int delta) {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    // The arrow pointing up reports a negative step and raises the power.
    int& value = *own.value;
    int& coupled = *other.value;
    if (delta < 0 && value < kMaxPower) {
        ++value;
        if (IsProp()) {
            coupled = std::min(coupled + 1, kMaxPower);
        }
    } else if (delta > 0 && value > kMinPower) {
        --value;
        if (IsProp()) {
            coupled = std::max(coupled - 1, kMinPower);
        }
    } else {
        return;
    }
    own.slider->SetPos(value);
    ShowPowerLabel(own);
    unit->*own.field = value;
    if (IsProp()) {
        other.slider->SetPos(coupled);
        ShowPowerLabel(other);
        unit->*other.field = coupled;
    }
    Send(unit, own.type);
    PostChanged(own.change);
}

void CControlFormView::OnSliderTrack(PowerControls& own, PowerControls& other, int position) {
    // Only the read-outs follow a drag; the unit hears of it once the slider is let go.
    if (!Model() || !Model()->SelectedUnit() || position == 0) {
        return;
    }
    const int delta = position - *own.value;
    *own.value = position;
    if (IsProp()) {
        *other.value = ClampPower(*other.value + delta);
        other.slider->SetPos(*other.value);
    }
    ShowPowerLabel(own);
    if (IsProp()) {
        ShowPowerLabel(other);
    }
}

void CControlFormView::OnSliderRelease(PowerControls& own, PowerControls& other) {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    const int old = *own.value;
    *own.value = own.slider->GetPos();
    ShowPowerLabel(own);
    unit->*own.field = *own.value;
    if (IsProp()) {
        *other.value = ClampPower(*other.value + *own.value - old);
        ShowPowerLabel(other);
        other.slider->SetPos(*other.value);
        unit->*other.field = *other.value;
    }
    // Also after a press that moved nothing: the user asked for this value to be sent.
    Send(unit, own.type);
    PostChanged(own.change);
}

void CControlFormView::OnFlagClicked(QAbstractButton* button, int& copy, int StrobeSettings::*field,
                                     SettingType type, ChangeCode change) {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    copy = button->isChecked() ? 1 : 0;
    unit->*field = copy;
    Send(unit, type);
    PostChanged(change);
}

void CControlFormView::OnPowerClicked() {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    flashPower_ = powerButton_->isChecked() ? 1 : 0;
    unit->bFlashPow = flashPower_;
    SetControlState(ByPower);
    Send(unit, SettingType::FlashSwitch);
    PostChanged(ChangeCode::FlashSwitch);
}

void CControlFormView::OnModelOffClicked() {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    modelOff_ = offCheck_->isChecked() ? 1 : 0;
    unit->bModelPow = modelOff_ ? 0 : 1;
    ShowModelValue();
    SetControlState(ByPower);
    Send(unit, SettingType::ModelSwitch);
    PostChanged(ChangeCode::ModelSwitch);
}

void CControlFormView::OnTestClicked() {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    // A test flash changes no setting, so the grid has nothing to redraw.
    Send(unit, SettingType::TestFlash);
}

void CControlFormView::OnModelModeClicked(int& copy, int StrobeSettings::*field, int value,
                                          SettingType type, ChangeCode change) {
    StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    // A click on the mode already set goes out again: the unit may have missed the last one.
    copy = value;
    unit->*field = value;
    Send(unit, type);
    PostChanged(change);
}

void CControlFormView::OnPanelModeSelected(int entry) {
    if (entry == panelMode_) {
        return;
    }
    panelMode_ = entry;
    if (entry == GroupSettings) {
        if (groupPanel_) {
            groupPanel_->ResetGroupPanel();
        }
        SetControlState(GroupLayout);
    } else {
        ShowUnit();
        SetControlState(UnitLayout);
    }
    if (Host()) {
        PostWindowMessage(Host()->NavigationPane(), Msg::PanelModeChanged, entry, 0);
    }
}

bool CControlFormView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fileList_->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnFilePicked();
    } else if (watched == fileList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            OnFilePicked();
            return true;
        }
    }
    return CPaneBase::eventFilter(watched, event);
}

StudioFileStore* CControlFormView::FileStore() const {
    auto* frame = qobject_cast<CMainFrame*>(MainFrame());
    return frame ? &frame->FileStore() : nullptr;
}

CMessageBoxService* CControlFormView::Messages() const {
    auto* frame = qobject_cast<CMainFrame*>(MainFrame());
    return frame ? &frame->Messages() : nullptr;
}

void CControlFormView::SetCommand(int index, bool enabled) {
    if (MainFrame()) {
        SendWindowMessage(MainFrame(), Msg::EnableCommand, index, enabled ? 1 : 0);
    }
}

void CControlFormView::ListFiles() {
    if (StudioFileStore* store = FileStore()) {
        fileList_->addItems(store->ListStudioFiles());
    }
}

void CControlFormView::OnFilePicked() {
    StudioFileStore* store = FileStore();
    if (!store || !Model() || !Model()->pFileStudio) {
        return;
    }
    const QListWidgetItem* item = fileList_->currentItem();
    const QString title = item ? item->text() : QString();
    // A pick counts as an edit of the name even when the box already holds that name.
    if (fileNameEdit_->text() == title) {
        OnFileNameChanged();
    } else {
        fileNameEdit_->setText(title);
    }

    StudioData& fileStudio = *Model()->pFileStudio;
    Model()->ClearStudio(fileStudio);
    if (store->LoadStudioFile(title)) {
        QString info = QStringLiteral("File info :\n");
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StrobeData* unit = fileStudio.bChUsed[slot] ? fileStudio.Unit(slot) : nullptr;
            if (!unit) {
                continue;
            }
            info += QStringLiteral("%1 Flash %2 Model %3\n")
                        .arg(unit->sChName, PreviewPower(unit->nFlashValue, unit->bFlashPow),
                             PreviewPower(unit->nModelValue, unit->bModelPow));
        }
        fileInfo_->setPlainText(info);
    } else {
        // The store has told the user why; a stale preview must not stand for this file.
        fileInfo_->clear();
    }
    // Loading is offered even after a failed preview: the file studio then holds what was read.
    SetCommand(CMainFrame::Load, true);
}

void CControlFormView::OnFileNameChanged() {
    SetCommand(CMainFrame::Save, true);
}

void CControlFormView::OnSaveCommand() {
    StudioFileStore* store = FileStore();
    CMessageBoxService* messages = Messages();
    if (!store || !messages) {
        return;
    }
    if (messages->Show(QStringLiteral("Do you want to save current setting?"), kMemoryCaption,
                       CMessageBoxService::Buttons::OkCancel) != CMessageBoxService::kOk) {
        return;
    }
    if (store->SaveStudioFile(fileNameEdit_->text())) {
        fileList_->clear();
        ListFiles();
    }
    // Saved or not, the box starts over, so that the next save needs a name typed or picked.
    fileInfo_->clear();
    fileNameEdit_->clear();
    SetCommand(CMainFrame::Load, false);
    SetCommand(CMainFrame::Save, false);
}

void CControlFormView::OnLoadCommand() {
    CMessageBoxService* messages = Messages();
    StudioData* studio = Model() ? Model()->SelectedStudio() : nullptr;
    // With no studio picked in the tree there are no units to take the file's settings, and
    // the question would promise a change that cannot happen.
    if (!messages || !studio) {
        return;
    }
    if (messages->Show(QStringLiteral("Current settig is deleted. Do you want to open file?"),
                       kMemoryCaption,
                       CMessageBoxService::Buttons::OkCancel) != CMessageBoxService::kOk) {
        return;
    }
    // Only the slots used on both sides take settings: a file never creates or removes units.
    if (Model()->pFileStudio) {
        StudioModel::CopyStudio(studio, *Model()->pFileStudio);
    }
    if (Host()) {
        SendWindowMessage(Host()->StudioListPane(), Msg::RebuildSelectedStudio);
    }
    // Every unit gets its complete settings, one after another, whether the file changed it or
    // not: the units then agree with what the program shows.
    if (CZbProtocol* protocol = Protocol()) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (const StrobeData* unit = studio->bChUsed[slot] ? studio->Unit(slot) : nullptr) {
                protocol->SendUnitSettings(0, unit);
            }
        }
    }
}
