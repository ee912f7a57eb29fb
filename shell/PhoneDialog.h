#pragma once

#include "shell/PhonePairing.h"

#include <QDialog>
#include <QImage>

class CMessageBoxService;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// Pairs a phone: the QR code of the first pairing address, every address as text to copy, and
// "New token". Listening on this machine only, it shows no code and says how to start Orvane for
// the studio network.
class CPhoneDialog final : public QDialog {
    Q_OBJECT
public:
    // messages: where a failure to write a new token is told; none: nowhere.
    CPhoneDialog(PhonePairing pairing, CMessageBoxService* messages = nullptr,
                 QWidget* parent = nullptr);

    // The QR code of the text, black modules on white with the quiet zone around, each module
    // scale pixels wide; a null image when the text does not fit a code.
    static QImage QrImage(const QString& text, int scale);

private:
    void Show();
    void RenewToken();

    PhonePairing pairing_;
    CMessageBoxService* messages_;
    QLabel* code_ = nullptr;
    QLabel* hint_ = nullptr;
    QPlainTextEdit* addresses_ = nullptr;
    QPushButton* newToken_ = nullptr;
};
