#include "panels/ControlSelFormView.h"

#include "commands/Commands.h"
#include "model/StudioModel.h"
#include "panels/PanelLook.h"
#include "platform/WindowMessage.h"
#include "views/PaneHost.h"

#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

CControlSelFormView::CControlSelFormView(QWidget* parent, QPoint origin) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Selected unit(s) settings"));
    setFont(PanelLook::TemplateFont());
    resize(DialogUnits(font()).Size(205, 120));
    CPowerGroups::Layout layout;
    layout.scale = CPowerGroups::Scale::Offset;
    layout.origin = -origin;
    layout.namePrefix = QStringLiteral("sel");
    groups_ = new CPowerGroups(layout, *this, this);
    groups_->setAccessibleName(accessibleName());
    // The groups cover the whole panel, whatever size its owner gives it.
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(groups_);
    ResetGroupPanel();
}

CControlSelFormView::~CControlSelFormView() = default;

void CControlSelFormView::Attach(const PaneContext& context) {
    context_ = context;
}

void CControlSelFormView::ResetGroupPanel() {
    // No mode of either kind is chosen until the user clicks one.
    groups_->Reset(0, -1, false);
    lastSentFlash_ = lastSentModel_ = 0;
}

void CControlSelFormView::PowerSet(bool flash, bool /*coupled*/) {
    // The offsets' changes since the last table went out; in "Prop" the panel has moved the other
    // offset along, and a unit in "Prop" moves both its powers by the offset that changed.
    GroupChange change;
    change.flashOffset = FlashOffset() - lastSentFlash_;
    change.modelOffset = ModelOffset() - lastSentModel_;
    change.tables = flash ? GroupChange::Tables::Flash : GroupChange::Tables::Model;
    // Taken as sent also with nobody ticked: a later change applies only what changed from here.
    lastSentFlash_ = FlashOffset();
    lastSentModel_ = ModelOffset();
    if (StudioData* studio = SelectedStudio()) {
        context_.commands->ChangeTicked(*studio, change, CCommands::Origin::Window);
    }
}

void CControlSelFormView::SettingClicked(int StrobeSettings::*field, int value, SettingType type,
                                         ChangeCode /*change*/) {
    StudioData* studio = SelectedStudio();
    if (!studio) {
        return;
    }
    if (type == SettingType::TestFlash) {
        context_.commands->TestTicked(*studio, CCommands::Origin::Window);
    } else {
        context_.commands->ChangeTicked(*studio, GroupChangeOf(field, value),
                                        CCommands::Origin::Window);
    }
}

StudioData* CControlSelFormView::SelectedStudio() const {
    return context_.model && context_.commands ? context_.model->SelectedStudio() : nullptr;
}
