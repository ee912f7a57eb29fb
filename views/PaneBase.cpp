#include "views/PaneBase.h"

#include "views/PaneHost.h"

void CPaneBase::Attach(QObject* mainFrame, StudioModel* model) {
    mainFrame_ = mainFrame;
    host_ = dynamic_cast<CPaneHost*>(mainFrame);
    model_ = model;
    OnInitialUpdate();
}

bool CPaneBase::event(QEvent* e) {
    if (const WindowMessageEvent* message = AsWindowMessage(e)) {
        return OnMessage(*message);
    }
    return QWidget::event(e);
}
