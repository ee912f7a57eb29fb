#include "link/PortSettings.h"
#include "link/ui/ComSettingDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QStringList Entries(const QComboBox* box) {
    QStringList entries;
    for (int i = 0; i < box->count(); ++i) {
        entries.append(box->itemText(i));
    }
    return entries;
}

// Runs the dialog modally and lets `answer` act on it once it is shown.
int RunModal(CComSettingDlg& dialog, const std::function<void(CComSettingDlg&)>& answer) {
    QTimer::singleShot(0, &dialog, [&] { answer(dialog); });
    return dialog.DoModal();
}

void Click(CComSettingDlg& dialog, const char* button) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
}

}  // namespace

TEST(ComSettingDlg, OpensWithTheFixedListsAndTheRecordsPortSelected) {
    PortSettings settings;
    settings.nBaudRate = 19200;
    settings.nParity = 2;
    CComSettingDlg dialog(&settings, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Com Setting");
    const QStringList ports = Entries(dialog.PortBox());
    ASSERT_GE(ports.size(), 10);
    EXPECT_EQ(ports.mid(0, 10), QStringList({"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
                                             "COM8", "COM9", "COM10"}));
    EXPECT_EQ(dialog.PortBox()->currentIndex(), 1);
    EXPECT_TRUE(dialog.PortBox()->isEnabled());
    EXPECT_EQ(Entries(dialog.BaudBox()),
              QStringList({"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                           "38400", "57600", "115200", "230000"}));
    // The other boxes open on their fixed entries whatever the record holds, and stay disabled.
    EXPECT_EQ(dialog.BaudBox()->currentText(), "9600");
    EXPECT_EQ(Entries(dialog.ParityBox()), QStringList({"NONE", "ODD", "EVEN", "MASK", "SPACE"}));
    EXPECT_EQ(dialog.ParityBox()->currentIndex(), 0);
    EXPECT_EQ(Entries(dialog.DataBitsBox()), QStringList({"4", "5", "6", "7", "8"}));
    EXPECT_EQ(dialog.DataBitsBox()->currentText(), "8");
    EXPECT_EQ(Entries(dialog.StopBitsBox()), QStringList({"1", "1.5", "2"}));
    EXPECT_EQ(dialog.StopBitsBox()->currentIndex(), 0);
    for (QComboBox* box :
         {dialog.BaudBox(), dialog.ParityBox(), dialog.DataBitsBox(), dialog.StopBitsBox()}) {
        EXPECT_FALSE(box->isEnabled());
        EXPECT_FALSE(box->accessibleName().isEmpty());
    }
    EXPECT_EQ(dialog.PortBox()->accessibleName(), "Com Port");
}

TEST(ComSettingDlg, OkStoresThePortAndTheFixedLineSettings) {
    PortSettings settings;
    settings.sPortName = QStringLiteral("COM7");
    settings.nBaudRate = 19200;
    settings.nDataBits = 5;
    settings.nStopBits = 2;
    settings.nParity = 3;
    CComSettingDlg dialog(&settings, nullptr);
    EXPECT_EQ(dialog.PortBox()->currentText(), "COM7");
    EXPECT_EQ(RunModal(dialog, [](CComSettingDlg& d) { Click(d, "okButton"); }),
              CComSettingDlg::kIdOk);
    EXPECT_EQ(settings.sPortName, "COM7");
    EXPECT_EQ(settings.nBaudRate, 9600);
    EXPECT_EQ(settings.nDataBits, 8);
    EXPECT_EQ(settings.nStopBits, 0);
    EXPECT_EQ(settings.nParity, 0);
}

TEST(ComSettingDlg, PortMatchIgnoresCaseForTheComEntries) {
    PortSettings lower;
    lower.sPortName = QStringLiteral("com3");
    CComSettingDlg first(&lower, nullptr);
    EXPECT_EQ(first.PortBox()->currentText(), "COM3");
    EXPECT_FALSE(Entries(first.PortBox()).contains("com3"));
    RunModal(first, [](CComSettingDlg& d) { Click(d, "okButton"); });
    EXPECT_EQ(lower.sPortName, "COM3");
}

// A port the machine does not list right now (its dongle unplugged, or a name from another
// system) is offered as it was saved and kept by Ok, so the program finds it again later.
TEST(ComSettingDlg, SavedPortThatIsNotListedIsOfferedSelectedAndKeptByOk) {
    for (const QString& saved :
         {QStringLiteral("COM12"), QStringLiteral("ttyOrvaneGone0"),
          QStringLiteral("/tmp/orvane-gone/tty"), QStringLiteral("serial/by-id/usb-Gone-if00")}) {
        PortSettings settings;
        settings.sPortName = saved;
        CComSettingDlg dialog(&settings, nullptr);
        EXPECT_EQ(Entries(dialog.PortBox()).count(saved), 1) << saved.toStdString();
        EXPECT_EQ(dialog.PortBox()->currentText().toStdString(), saved.toStdString());
        EXPECT_EQ(RunModal(dialog, [](CComSettingDlg& d) { Click(d, "okButton"); }),
                  CComSettingDlg::kIdOk);
        EXPECT_EQ(settings.sPortName.toStdString(), saved.toStdString());
    }
}

TEST(ComSettingDlg, EmptySavedPortSelectsNothingAndOkWaitsForAChoice) {
    PortSettings settings;
    settings.sPortName.clear();
    CComSettingDlg dialog(&settings, nullptr);
    EXPECT_EQ(dialog.PortBox()->currentIndex(), -1);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(RunModal(dialog,
                       [ok](CComSettingDlg& d) {
                           QTest::keyClick(&d, Qt::Key_Return);  // Ok is the default button
                           EXPECT_TRUE(d.isVisible());
                           d.PortBox()->setCurrentIndex(2);
                           EXPECT_TRUE(ok->isEnabled());
                           Click(d, "okButton");
                       }),
              CComSettingDlg::kIdOk);
    EXPECT_EQ(settings.sPortName, "COM3");
}

TEST(ComSettingDlg, ChosenPortIsStoredAndAnAbsolutePathIsOffered) {
    PortSettings settings;
    settings.sPortName = QStringLiteral("/tmp/orvane-test/ttySim");
    CComSettingDlg dialog(&settings, nullptr);
    EXPECT_EQ(dialog.PortBox()->currentText(), "/tmp/orvane-test/ttySim");
    RunModal(dialog, [](CComSettingDlg& d) {
        d.PortBox()->setFocus();
        d.PortBox()->setCurrentIndex(4);
        Click(d, "okButton");
    });
    EXPECT_EQ(settings.sPortName, "COM5");
}

TEST(ComSettingDlg, CancelAndEscapeLeaveTheRecordUntouched) {
    PortSettings settings;
    settings.sPortName = QStringLiteral("COM4");
    settings.nBaudRate = 4800;
    CComSettingDlg dialog(&settings, nullptr);
    EXPECT_EQ(RunModal(dialog,
                       [](CComSettingDlg& d) {
                           d.PortBox()->setCurrentIndex(0);
                           Click(d, "cancelButton");
                       }),
              CComSettingDlg::kIdCancel);
    CComSettingDlg again(&settings, nullptr);
    EXPECT_EQ(RunModal(again, [](CComSettingDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
              CComSettingDlg::kIdCancel);
    EXPECT_EQ(settings.sPortName, "COM4");
    EXPECT_EQ(settings.nBaudRate, 4800);
}
