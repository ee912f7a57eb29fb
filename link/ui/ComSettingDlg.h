#pragma once

#include <QDialog>

class QComboBox;
struct PortSettings;

// "Com Setting": the user picks the serial port. Baud rate, parity, data bits and stop bits are
// shown but fixed, so confirming always sets 9600, no parity, 8 and one stop bit.
class CComSettingDlg final : public QDialog {
    Q_OBJECT
public:
    // Results of DoModal, as the callers compare them.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    // The dialog edits the record in place when the user confirms.
    CComSettingDlg(PortSettings* settings, QWidget* parent);

    // Runs the dialog modally: kIdOk after "Ok" (the record holds the dialog's values), kIdCancel
    // after "Cancel" or closing (the record is untouched).
    int DoModal();

    // The boxes by template id, for the ids a caller needs to see.
    QComboBox* PortBox() const { return portBox_; }
    QComboBox* BaudBox() const { return baudBox_; }
    QComboBox* ParityBox() const { return parityBox_; }
    QComboBox* DataBitsBox() const { return dataBitsBox_; }
    QComboBox* StopBitsBox() const { return stopBitsBox_; }

private:
    static constexpr int kComEntries = 10;  // "COM1".."COM10" head the port box

    void FillPortBox();
    // The port box's entry for the record's port, or -1.
    int SavedPortIndex() const;
    void OnOk();

    PortSettings* settings_;  // not owned
    QComboBox* portBox_;      // 1012
    QComboBox* baudBox_;      // 1013
    QComboBox* parityBox_;    // 1014
    QComboBox* dataBitsBox_;  // 1015
    QComboBox* stopBitsBox_;  // 1016
};
