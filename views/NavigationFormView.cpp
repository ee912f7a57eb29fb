#include "views/NavigationFormView.h"

CNavigationFormView::CNavigationFormView(QWidget* parent)
    : CPaneBase(QStringLiteral("Channel Select"), parent) {}

bool CNavigationFormView::OnMessage(const WindowMessageEvent& message) {
    switch (message.Message()) {
        case Msg::ShowStudio:
        case Msg::SelectUnitRow:
        case Msg::UnitAdded:
        case Msg::UnitSettingChanged:
        case Msg::UnitRefreshed:
        case Msg::TickedUnitsChanged:
        case Msg::PanelModeChanged:
            return true;
        default:
            return false;
    }
}
