#include "shell/WaitingDlg.h"

#include "platform/DialogUnits.h"

#include <QKeyEvent>
#include <QLabel>
#include <QTimerEvent>

CWaitingDlg::CWaitingDlg(const QString& studioName, QWidget* parent, int tickMs)
    : QDialog(parent), label_(new QLabel(this)), tickMs_(tickMs), text_(studioName) {
    setWindowTitle(QStringLiteral("Channel scan"));
    setModal(true);
    setFont(DialogUnits::ShellDlgFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(160, 55));
    label_->setObjectName(QStringLiteral("scanLabel"));
    label_->setGeometry(du.Rect(10, 20, 140, 12));
    label_->setAlignment(Qt::AlignCenter);
    label_->setTextFormat(Qt::PlainText);  // the studio's name is the user's or a file's
    label_->setText(QStringLiteral("Please wait for channel scan."));
    label_->setAccessibleName(windowTitle());
}

void CWaitingDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (tickTimer_.isActive() || ticks_ > 0) {
        return;
    }
    text_ += QStringLiteral(" scanning ");
    label_->setText(text_);
    label_->setAccessibleDescription(text_);
    tickTimer_.start(tickMs_, this);
}

void CWaitingDlg::timerEvent(QTimerEvent* e) {
    if (e->timerId() != tickTimer_.timerId()) {
        QDialog::timerEvent(e);
        return;
    }
    ++ticks_;
    text_ += u'.';
    label_->setText(text_);
    label_->setAccessibleDescription(text_);
    if (ticks_ == kTickLimit) {
        tickTimer_.stop();
        accept();
    }
}

void CWaitingDlg::keyPressEvent(QKeyEvent* e) {
    // Enter ends the wait early, as Escape and the close box do.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
