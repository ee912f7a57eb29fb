#include "platform/QtMessageBoxService.h"

#include <QMessageBox>

int CQtMessageBoxService::Show(const QString& text, const QString& caption, Buttons buttons) {
    QMessageBox box(buttons == Buttons::OkCancel ? QMessageBox::Question : QMessageBox::Warning,
                    caption, text, QMessageBox::Ok, parent_);
    if (buttons == Buttons::OkCancel) {
        box.addButton(QMessageBox::Cancel);
    }
    box.setDefaultButton(QMessageBox::Ok);
    box.setAccessibleName(caption);
    box.setAccessibleDescription(text);
    return box.exec() == QMessageBox::Ok ? kOk : kCancel;
}
