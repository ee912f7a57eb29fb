#include "panels/ControlFormView.h"

#include "toolkit/OXSeparator.h"

#include <QVBoxLayout>

CControlFormView::CControlFormView(QWidget* parent) : CPaneBase(parent) {
    setAccessibleName(QStringLiteral("Remote Control"));
    auto* caption = new COXSeparator(QStringLiteral("Remote Control"), this);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(16);
    font.setWeight(QFont::Black);
    caption->setFont(font);
    caption->SetTextColor(QColor(0, 0, 128));
    caption->SetLineColors(QColor(0, 0, 128), palette().color(QPalette::Light));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addStretch();
}

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
