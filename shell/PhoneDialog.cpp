#include "shell/PhoneDialog.h"

#include "platform/MessageBoxService.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <qrencode.h>

#include <memory>

namespace {

constexpr int kQuietZone = 4;  // modules of white around the code, as readers expect
constexpr int kModulePixels = 6;

}  // namespace

QImage CPhoneDialog::QrImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code) {
        return {};
    }
    const int modules = code->width + 2 * kQuietZone;
    QImage image(modules * scale, modules * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            // Bit 0 of each byte tells a dark module; the others are the encoder's bookkeeping.
            if (code->data[y * code->width + x] & 1) {
                painter.fillRect((x + kQuietZone) * scale, (y + kQuietZone) * scale, scale, scale,
                                 Qt::black);
            }
        }
    }
    return image;
}

CPhoneDialog::CPhoneDialog(PhonePairing pairing, CMessageBoxService* messages, QWidget* parent)
    : QDialog(parent), pairing_(std::move(pairing)), messages_(messages) {
    setWindowTitle(QStringLiteral("Phone"));
    auto* layout = new QVBoxLayout(this);
    code_ = new QLabel(this);
    code_->setObjectName(QStringLiteral("phoneCode"));
    code_->setAlignment(Qt::AlignCenter);
    code_->setAccessibleName(QStringLiteral("QR code of the pairing address"));
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("phoneHint"));
    hint_->setWordWrap(true);
    hint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addresses_ = new QPlainTextEdit(this);
    addresses_->setObjectName(QStringLiteral("phoneAddresses"));
    addresses_->setReadOnly(true);
    addresses_->setAccessibleName(QStringLiteral("Pairing addresses"));
    addresses_->setFixedHeight(addresses_->fontMetrics().lineSpacing() * 4);
    newToken_ = new QPushButton(QStringLiteral("New token"), this);
    newToken_->setObjectName(QStringLiteral("newTokenButton"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(newToken_, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(newToken_, &QPushButton::clicked, this, &CPhoneDialog::RenewToken);
    for (QWidget* widget : {static_cast<QWidget*>(code_), static_cast<QWidget*>(hint_),
                            static_cast<QWidget*>(addresses_), static_cast<QWidget*>(buttons)}) {
        layout->addWidget(widget);
    }
    Show();
}

void CPhoneDialog::Show() {
    const QStringList links = pairing_.links ? pairing_.links() : QStringList();
    if (links.isEmpty()) {
        code_->hide();
        addresses_->hide();
        hint_->setText(
            QStringLiteral("Orvane listens on this machine only, where no phone can reach it. To "
                           "use a phone as the remote, start Orvane for the studio network, on "
                           "the address of this machine there or on all of its addresses:\n"
                           "orvane --remote 0.0.0.0:%1")
                .arg(pairing_.port));
        return;
    }
    code_->setPixmap(QPixmap::fromImage(QrImage(links.first(), kModulePixels)));
    code_->show();
    addresses_->setPlainText(links.join(u'\n'));
    addresses_->show();
    hint_->setText(QStringLiteral(
        "Open the address on the phone, or scan the code with its camera. Whoever holds the "
        "address can fire and change the lights; \"New token\" unpairs every device."));
}

void CPhoneDialog::RenewToken() {
    QString reason;
    if (!pairing_.newToken || !pairing_.newToken(reason)) {
        if (messages_) {
            messages_->Show(QStringLiteral("No new token: %1").arg(reason), kAppTitle,
                            CMessageBoxService::Buttons::Ok);
        }
        return;
    }
    Show();
}
