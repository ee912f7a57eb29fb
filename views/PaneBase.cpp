#include "views/PaneBase.h"

void CPaneBase::Attach(const PaneContext& context) {
    context_ = context;
    OnInitialUpdate();
}

bool CPaneBase::event(QEvent* e) {
    if (const WindowMessageEvent* message = AsWindowMessage(e)) {
        return OnMessage(*message);
    }
    return QWidget::event(e);
}
