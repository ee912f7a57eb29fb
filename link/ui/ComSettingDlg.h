#pragma once

#include "platform/PortProblem.h"

#include <QDialog>

#include <functional>

class QComboBox;
struct PortSettings;

// "Com Setting": the user picks the serial port. Baud rate, parity, data bits and stop bits are
// shown but fixed, so confirming always sets 9600, no parity, 8 and one stop bit. The port box's
// tooltip and accessible description say what stands in the way of the selected port.
class CComSettingDlg final : public QDialog {
    Q_OBJECT
public:
    // Results of DoModal, as the callers compare them.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    // Finds what is known about a port by its name.
    using PortCheckFunction = std::function<PortReport(const QString& portName)>;

    // The dialog edits the record in place when the user confirms. It tells what `check` finds
    // about the selected port; the default look opens nothing.
    CComSettingDlg(PortSettings* settings, QWidget* parent, PortCheckFunction check = {});

    // Looks at the selected port again; the box's texts change only when what is found does.
    void UpdatePortReason();

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
    PortCheckFunction portCheck_;
    QComboBox* portBox_;      // 1012
    QComboBox* baudBox_;      // 1013
    QComboBox* parityBox_;    // 1014
    QComboBox* dataBitsBox_;  // 1015
    QComboBox* stopBitsBox_;  // 1016
};
