// The dialog that pairs a phone: its QR code read back by a real decoder from a grab of the
// dialog, the addresses to copy, "New token", and the hint when no phone can reach the program.

#include "shell/PhoneDialog.h"
#include "support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QString Link(const QString& host, char fill) {
    return QStringLiteral("http://%1:8717/#token=%2")
        .arg(host, QString(64, QChar::fromLatin1(fill)));
}

// What zbarimg reads in a grab of the widget; empty where it reads nothing.
QString Decoded(QWidget& widget) {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("dialog.png"));
    EXPECT_TRUE(widget.grab().save(file));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    EXPECT_TRUE(zbar.waitForFinished(10000));
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

TEST(PhoneDialogTest, TheCodeReadsBackAsTheAddressAndANewTokenMakesANewOne) {
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        GTEST_SKIP() << "zbarimg is not installed (scripts/deps.sh installs zbar-tools)";
    }
    char fill = 'a';
    int renewed = 0;
    PhonePairing pairing{[&] {
                             return QStringList{Link(QStringLiteral("192.168.1.20"), fill),
                                                Link(QStringLiteral("10.0.0.5"), fill)};
                         },
                         [&](QString&) {
                             ++renewed;
                             fill = 'b';
                             return true;
                         },
                         8717};
    CPhoneDialog dialog(pairing);
    dialog.show();
    EXPECT_EQ(Decoded(dialog), Link(QStringLiteral("192.168.1.20"), 'a'));
    const auto* addresses = dialog.findChild<QPlainTextEdit*>(QStringLiteral("phoneAddresses"));
    ASSERT_NE(addresses, nullptr);
    EXPECT_EQ(addresses->toPlainText(), Link(QStringLiteral("192.168.1.20"), 'a') + u'\n' +
                                            Link(QStringLiteral("10.0.0.5"), 'a'));

    dialog.findChild<QPushButton*>(QStringLiteral("newTokenButton"))->click();
    EXPECT_EQ(renewed, 1);
    EXPECT_EQ(Decoded(dialog), Link(QStringLiteral("192.168.1.20"), 'b'));
    EXPECT_TRUE(addresses->toPlainText().contains(Link(QStringLiteral("10.0.0.5"), 'b')));
}

TEST(PhoneDialogTest, ATokenThatCannotBeWrittenIsToldAndTheCodeStays) {
    RecordingMessageBox boxes;
    PhonePairing pairing{[] { return QStringList{Link(QStringLiteral("10.0.0.5"), 'a')}; },
                         [](QString& reason) {
                             reason = QStringLiteral("the folder is not yours");
                             return false;
                         },
                         8717};
    CPhoneDialog dialog(pairing, &boxes);
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("newTokenButton"))->click();
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("No new token: the folder is not yours")});
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>(QStringLiteral("phoneAddresses"))->toPlainText(),
              Link(QStringLiteral("10.0.0.5"), 'a'));
}

TEST(PhoneDialogTest, OnThisMachineOnlyItShowsNoCodeButHowToStartForTheStudioNetwork) {
    CPhoneDialog dialog({[] { return QStringList(); }, {}, 8717});
    dialog.show();
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("phoneCode"))->isVisible());
    EXPECT_FALSE(dialog.findChild<QPlainTextEdit*>(QStringLiteral("phoneAddresses"))->isVisible());
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("phoneHint"))
                    ->text()
                    .contains(QStringLiteral("orvane --remote 0.0.0.0:8717")));
}

TEST(PhoneDialogTest, TheCodeHasItsQuietZoneAndGrowsWithItsText) {
    const QImage small = CPhoneDialog::QrImage(QStringLiteral("http://10.0.0.5:1/"), 1);
    const QImage large = CPhoneDialog::QrImage(Link(QStringLiteral("192.168.100.200"), 'f'), 1);
    ASSERT_FALSE(small.isNull());
    EXPECT_GT(large.width(), small.width());
    // Four white modules on every side, then the finder pattern's dark corner.
    EXPECT_EQ(small.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(small.pixelColor(4, 4), QColor(Qt::black));
    EXPECT_EQ(small.width(), small.height());
}

}  // namespace
