#include "views/PaneBase.h"

#include "model/StudioModel.h"

void CPaneBase::Attach(const PaneContext& context) {
    context_ = context;
    OnInitialUpdate();
}

bool CPaneBase::event(QEvent* e) {
    if (const WindowMessageEvent* message = AsWindowMessage(e)) {
        // The one check every pane makes before touching a unit a queued message names: is it
        // still the unit the message was posted about? If not, the message is dropped here.
        if (message->Stamp() != 0 &&
            !(Model() && Model()->LiveUnit(message->LParam(), message->Stamp()))) {
            return true;
        }
        return OnMessage(*message);
    }
    return QWidget::event(e);
}
