#include "shell/AboutDlg.h"

#include "platform/DialogUnits.h"
#include "resources/Images.h"

#include <QLabel>
#include <QPushButton>

#ifndef ORVANE_VERSION
#error "ORVANE_VERSION comes from the project's version in CMake"
#endif

namespace {

// The name the program goes by inside, as its application object has it; windows show "Orvane".
constexpr auto kProductName = "Lumora";

// The dialog's template, in dialog units.
constexpr int kWidth = 235;
constexpr int kHeight = 55;
constexpr int kIconSide = 32;  // pixels: the icon is drawn at the size desktops show it at

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const QString name = QString::fromLatin1(kProductName);
    setWindowTitle(QStringLiteral("About %1").arg(name));
    setModal(true);
    setFont(DialogUnits::ShellDlgFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(kWidth, kHeight));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(AppIcon().pixmap(kIconSide, kIconSide));
    icon->setAlignment(Qt::AlignCenter);
    icon->setGeometry(du.Rect(11, 17, 20, 20));
    icon->setAccessibleName(QStringLiteral("%1 icon").arg(name));

    auto* version = new QLabel(
        QStringLiteral("%1, Version %2").arg(name, QStringLiteral(ORVANE_VERSION)), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setGeometry(du.Rect(40, 23, 130, 8));
    version->setAccessibleName(version->text());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(du.Rect(178, 7, 50, 14));
    ok->setDefault(true);
    ok->setAccessibleName(ok->text());
    connect(ok, &QPushButton::clicked, this, [this] { done(kIdOk); });
}

int CAboutDlg::DoModal() {
    // Enter presses the default button, which ends with kIdOk; Escape and closing end with 0.
    return exec() == kIdOk ? kIdOk : kIdCancel;
}
