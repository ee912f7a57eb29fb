#include "remote/MessageRelay.h"

#include "platform/QtMessageBoxService.h"

int CMessageRelay::Show(const QString& text, const QString& caption, Buttons buttons) {
    if (capture_) {
        capture_->append(text);
        return buttons == Buttons::OkCancel ? kCancel : kOk;
    }
    if (shown_) {
        return shown_->Show(text, caption, buttons);
    }
    return CQtMessageBoxService().Show(text, caption, buttons);
}
