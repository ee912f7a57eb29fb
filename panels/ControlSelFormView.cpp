#include "panels/ControlSelFormView.h"

#include "link/UnitMask.h"
#include "link/ZbProtocol.h"
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

template <class Visit>
void CControlSelFormView::ForEachTicked(Visit visit) const {
    StudioModel* model = context_.model;
    const StudioData* studio = model ? model->SelectedStudio() : nullptr;
    if (!studio) {
        return;
    }
    // The grid's rows are the units of the studio of the selection, so its unit count bounds
    // them; rows the grid does not (yet) hold are simply not there to act on.
    const qsizetype count = std::min<qsizetype>(studio->nChItemCnt, model->arUnits.size());
    for (qsizetype j = 0; j < count; ++j) {
        StrobeData* unit = model->arUnits[j];
        if (unit && unit->bSelected) {
            visit(*unit);
        }
    }
}

void CControlSelFormView::PowerSet(bool flash, bool /*coupled*/) {
    ApplyOffsets(flash, !flash);
}

void CControlSelFormView::ApplyOffsets(bool flashChanged, bool modelChanged) {
    const int flashDelta = FlashOffset() - lastSentFlash_;
    const int modelDelta = ModelOffset() - lastSentModel_;
    // Taken as sent also with nobody ticked: a later change applies only what changed from here.
    lastSentFlash_ = FlashOffset();
    lastSentModel_ = ModelOffset();

    int ticked = 0;
    ForEachTicked([&](StrobeData& unit) {
        // A unit in "Prop" moves both its powers by whichever offset the user changed; a unit in
        // "Free" moves each power by its own offset's change.
        const bool prop = unit.nModelMode1 == 1;
        unit.nFlashValue =
            std::clamp(unit.nFlashValue + (prop && modelChanged ? modelDelta : flashDelta),
                       PanelLook::kMinPower, PanelLook::kMaxPower);
        unit.nModelValue =
            std::clamp(unit.nModelValue + (prop && flashChanged ? flashDelta : modelDelta),
                       PanelLook::kMinPower, PanelLook::kMaxPower);
        ++ticked;
    });
    if (ticked == 0) {
        return;
    }
    // One frame carries the powers of the whole studio, however many units are ticked.
    StudioData* studio = context_.model->SelectedStudio();
    if (CZbProtocol* protocol = context_.protocol) {
        if (flashChanged) {
            protocol->SendPowerTable(SettingType::FlashPowerTable, studio);
        }
        if (modelChanged) {
            protocol->SendPowerTable(SettingType::ModelPowerTable, studio);
        }
    }
    PostTickedChanged(ChangeCode::ModelPower);
}

void CControlSelFormView::SettingClicked(int StrobeSettings::*field, int value, SettingType type,
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
    if (CZbProtocol* protocol = context_.protocol) {
        protocol->SendSetting(mask, last, type);
    }
    if (change != ChangeCode::None) {
        PostTickedChanged(change);
    }
}

void CControlSelFormView::PostTickedChanged(ChangeCode change) {
    // Posted: the navigation view refreshes every row of the studio once the panel is done.
    if (context_.host) {
        if (QWidget* navigation = context_.host->NavigationPane()) {
            PostWindowMessage(navigation, Msg::TickedUnitsChanged, static_cast<int>(change), 0);
        }
    }
}
