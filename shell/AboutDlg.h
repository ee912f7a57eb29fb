#pragma once

#include <QDialog>

// "About": the program's icon, name and version, and an "OK" button. Enter and Escape close it
// as well as the button does.
class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    // Results of DoModal, as for the program's other dialogs.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    explicit CAboutDlg(QWidget* parent);

    // Runs the dialog modally: kIdOk after "OK" or Enter, kIdCancel after Escape or closing.
    int DoModal();
};
