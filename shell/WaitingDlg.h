#pragma once

#include <QBasicTimer>
#include <QDialog>

class QLabel;

// "Channel scan": counts the seconds of a scan with one dot each and closes itself after six.
// It is modal, yet the main frame keeps handling what the units report while it is open.
class CWaitingDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickLimit = 6;

    // tickMs is one second; tests may make it shorter.
    CWaitingDlg(const QString& studioName, QWidget* parent, int tickMs = 1000);

    QString Text() const { return text_; }
    int Ticks() const { return ticks_; }

protected:
    void showEvent(QShowEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QLabel* label_;  // 1030
    QBasicTimer tickTimer_;
    int tickMs_;
    int ticks_ = 0;
    QString text_;
};
