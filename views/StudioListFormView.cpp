#include "views/StudioListFormView.h"

CStudioListFormView::CStudioListFormView(QWidget* parent)
    : CPaneBase(QStringLiteral("Studio List"), parent) {}

bool CStudioListFormView::OnMessage(const WindowMessageEvent& message) {
    switch (message.Message()) {
        case Msg::UnitPlaced:
        case Msg::ApplyName:
        case Msg::ScanStarted:
        case Msg::RebuildSelectedStudio:
            return true;
        default:
            return false;
    }
}
