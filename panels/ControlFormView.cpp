#include "panels/ControlFormView.h"

#include "commands/Commands.h"
#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"
#include "panels/BusinessMemoryBox.h"
#include "panels/ControlSelFormView.h"
#include "panels/PanelLook.h"
#include "toolkit/OXSeparator.h"
#include "views/PaneHost.h"

#include <QComboBox>
#include <QStackedWidget>

namespace {

// The panel's own power groups lie this far below the top of their template, in dialog units; the
// group panel's template is placed so that its power groups cover them exactly.
constexpr int kUnitGroupsShift = 22;

}  // namespace

CControlFormView::CControlFormView(QWidget* parent) : CPaneBase(parent) {
    setAccessibleName(QStringLiteral("Remote Control"));
    // The panel is laid out in the units of its own font, which its controls inherit.
    setFont(PanelLook::TemplateFont());
    const DialogUnits du(font());

    // Created in the order the user tabs through them.
    heading_ =
        PanelLook::Place(new COXSeparator(QStringLiteral("Remote Control"), this), du, 5, 5, 97, 8);
    heading_->setAccessibleName(heading_->Text());

    modeCombo_ = new QComboBox(this);
    modeCombo_->setObjectName(QStringLiteral("modeCombo"));
    modeCombo_->setAccessibleName(QStringLiteral("Panel mode"));
    // The template's height includes the dropped list; the closed box keeps its own height.
    const QRect comboRect = du.Rect(110, 5, 90, 30);
    modeCombo_->setGeometry(comboRect.x(), comboRect.y(), comboRect.width(),
                            modeCombo_->sizeHint().height());

    BuildLayouts(du);
    memoryBox_ = new CBusinessMemoryBox(du, this);

    // Only the user's picks: the reset puts the box back to the first entry without a switch.
    connect(modeCombo_, &QComboBox::activated, this, &CControlFormView::OnPanelModeSelected);
}

CControlFormView::~CControlFormView() = default;

void CControlFormView::BuildLayouts(const DialogUnits& du) {
    // One place for both layouts, from the groups' top down to the studio-file box, so that neither
    // covers the combo box above or the box's caption below.
    const int unitTop = du.Rect(0, 5 + kUnitGroupsShift, 0, 0).y();
    const int groupPanelTop = unitTop - du.Rect(0, 5, 0, 0).y();
    const int top = unitTop;
    const int bottom = du.Rect(0, 140, 0, 0).y();
    layouts_ = new QStackedWidget(this);
    layouts_->setObjectName(QStringLiteral("panelLayouts"));
    layouts_->setGeometry(0, top, du.Size(205, 0).width(), bottom - top);

    CPowerGroups::Layout unitLayout;
    unitLayout.scale = CPowerGroups::Scale::Level;
    unitLayout.templateShiftY = kUnitGroupsShift;
    unitLayout.origin = QPoint(0, top);
    unitGroups_ = new CPowerGroups(unitLayout, *this, layouts_);
    unitGroups_->setAccessibleName(QStringLiteral("Flash/Model settings"));
    layouts_->addWidget(unitGroups_);

    groupPanel_ = new CControlSelFormView(layouts_, QPoint(0, groupPanelTop - top));
    layouts_->addWidget(groupPanel_);
    layouts_->setCurrentWidget(unitGroups_);
}

void CControlFormView::OnInitialUpdate() {
    panelMode_ = UnitSettings;

    PaneLook::StyleCaption(*heading_);

    modeCombo_->addItem(QStringLiteral("Flash/Model settings"));
    modeCombo_->addItem(QStringLiteral("Selected unit(s) settings"));
    modeCombo_->setCurrentIndex(UnitSettings);

    groupPanel_->Attach(Context());
    memoryBox_->Attach(Context());
    // The controls stay as they are until the first unit is shown or the studio has none.
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
            memoryBox_->OnSaveCommand();
            return true;
        case Msg::LoadCommand:
            memoryBox_->OnLoadCommand();
            return true;
        case Msg::UnitConfirmationChanged:
            ShowConfirmation();
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

bool CControlFormView::HasTarget() const {
    return Model() && Model()->SelectedUnit();
}

void CControlFormView::PowerSet(bool flash, bool coupled) {
    StrobeData* unit = Model()->SelectedUnit();
    CCommands* commands = Context().commands;
    if (!commands) {
        return;
    }
    // The panel has already moved the other power along in "Prop", as the read-outs show it.
    const CPowerGroups::Copies& values = unitGroups_->Values();
    UnitChange change;
    if (flash || coupled) {
        change.flash = values.flashValue;
    }
    if (!flash || coupled) {
        change.model = values.modelValue;
    }
    if (coupled) {
        change.lead = flash ? UnitChange::Lead::Flash : UnitChange::Lead::Model;
    }
    commands->ChangeUnit(*unit, change, CCommands::Origin::Window);
}

void CControlFormView::SettingClicked(int StrobeSettings::*field, int value, SettingType type,
                                      ChangeCode /*change*/) {
    StrobeData* unit = Model()->SelectedUnit();
    if (CCommands* commands = Context().commands) {
        if (type == SettingType::TestFlash) {
            commands->TestFlash(*unit, CCommands::Origin::Window);
        } else {
            commands->ChangeUnit(*unit, UnitChangeOf(field, value), CCommands::Origin::Window);
        }
    }
    // A unit switched off takes no other change until it is switched on again.
    if (type == SettingType::FlashSwitch || type == SettingType::ModelSwitch) {
        SetControlState(ByPower);
    }
}

void CControlFormView::ShowUnit() {
    if (const StrobeData* unit = UnitOrReset()) {
        unitGroups_->ShowUnit(*unit);
        ShowConfirmation();
        SetControlState(ByPower);
    }
}

void CControlFormView::ShowConfirmation() {
    const CConfirmationTracker* confirmations = Context().confirmations;
    const StrobeData* unit = Model() ? Model()->SelectedUnit() : nullptr;
    if (!confirmations || !unit) {
        unitGroups_->ShowConfirmation(Confirmation::Confirmed, Confirmation::Confirmed);
        return;
    }
    unitGroups_->ShowConfirmation(confirmations->StateOf(*unit, ConfirmationGroup::Flash),
                                  confirmations->StateOf(*unit, ConfirmationGroup::Model));
}

void CControlFormView::ShowUnitItem(int changeCode) {
    const StrobeData* unit = UnitOrReset();
    if (!unit) {
        return;
    }
    const auto change = static_cast<ChangeCode>(changeCode);
    unitGroups_->ShowUnitItem(*unit, change);
    if (change == ChangeCode::FlashSwitch || change == ChangeCode::ModelSwitch) {
        SetControlState(ByPower);
    }
}

void CControlFormView::SetControlState(int state) {
    const auto enableAll = [this](bool on) {
        modeCombo_->setEnabled(on);
        unitGroups_->EnableFlashGroup(on);
        unitGroups_->EnablePowerSwitch(on);
        unitGroups_->EnableRest(on);
    };
    switch (state) {
        case NoUnit:
        case Enabled:
            enableAll(state == Enabled);
            break;
        case Reset:
            unitGroups_->Reset(PanelLook::kMinPower, 0, true);
            unitGroups_->ShowConfirmation(Confirmation::Confirmed, Confirmation::Confirmed);
            if (panelMode_ == GroupSettings) {
                SetControlState(UnitLayout);
                modeCombo_->setCurrentIndex(UnitSettings);
                panelMode_ = UnitSettings;
            }
            SetControlState(NoUnit);
            break;
        case UnitLayout:
            layouts_->setCurrentWidget(unitGroups_);
            break;
        case GroupLayout:
            layouts_->setCurrentWidget(groupPanel_);
            break;
        case SwitchedOff:
            modeCombo_->setEnabled(true);
            unitGroups_->EnablePowerSwitch(true);
            unitGroups_->EnableFlashGroup(false);
            unitGroups_->EnableRest(false);
            break;
        case ByPower:
            if (unitGroups_->Values().flashPower == 0) {
                SetControlState(SwitchedOff);
            } else if (panelMode_ == UnitSettings) {
                SetControlState(Enabled);
            }
            break;
        default:
            break;
    }
}

void CControlFormView::OnPanelModeSelected(int entry) {
    if (entry == panelMode_) {
        return;
    }
    panelMode_ = entry;
    if (entry == GroupSettings) {
        groupPanel_->ResetGroupPanel();
        SetControlState(GroupLayout);
    } else {
        ShowUnit();
        SetControlState(UnitLayout);
    }
    if (Host()) {
        PostWindowMessage(Host()->NavigationPane(), Msg::PanelModeChanged, entry, 0);
    }
}
