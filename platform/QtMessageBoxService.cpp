#include "platform/QtMessageBoxService.h"

#include <QMessageBox>

int CQtMessageBoxService::Show(const QString& text, const QString& caption, Buttons buttons) {
    QMessageBox box(buttons == Buttons::OkCancel ? QMessageBox::Question : QMessageBox::Warning,
                    caption, text, QMessageBox::Ok, parent_);
    if (buttons == Buttons::OkCancel) {
        box.addButton(QMessageBox::Cancel);
    }
    // The texts carry names from outside (titles, ports, units): never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setAccessibleName(caption);
    box.setAccessibleDescription(text);
    return box.exec() == QMessageBox::Ok ? kOk : kCancel;
}
