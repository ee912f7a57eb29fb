#include "panels/ControlFormView.h"

CControlFormView::CControlFormView(QWidget* parent)
    : CPaneBase(QStringLiteral("Remote Control"), parent) {}

bool CControlFormView::OnMessage(const WindowMessageEvent& message) {
    switch (message.Message()) {
        case Msg::ShowSelectedUnit:
        case Msg::StudioHasNoUnits:
        case Msg::SelectedUnitSettingChanged:
        case Msg::SelectedUnitRefreshed:
        case Msg::SaveCommand:
        case Msg::LoadCommand:
            return true;
        default:
            return false;
    }
}
