#include "link/PortSettings.h"
#include "link/ui/ComSettingDlg.h"
#include "platform/QtMessageBoxService.h"
#include "shell/AboutDlg.h"
#include "shell/LumoraApp.h"
#include "shell/WaitingDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <utility>

// Captions as a window manager shows them: the title a window sets on itself on a real X server
// (_NET_WM_NAME), where the platform may add to what the program asked for. The program's own
// application object is built, so that whatever it tells Qt about itself is in force.

namespace {

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The window's _NET_WM_NAME, read by another X client, or what that client said instead.
QString ShownTitle(QWidget& window) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("-notype"),
                 QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000)) {
        return QStringLiteral("(xprop did not answer)");
    }
    // _NET_WM_NAME = "Com Setting"
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype first = out.indexOf(u'"');
    const qsizetype last = out.lastIndexOf(u'"');
    return first >= 0 && last > first ? out.mid(first + 1, last - first - 1) : out;
}

// Shows a box through the program's message box service and reads its title while it is open.
std::string ShownBoxTitle(const QString& text, const QString& caption,
                          CMessageBoxService::Buttons buttons) {
    std::string title = "(no box was shown)";
    QTimer::singleShot(0, [&title] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        title = ShownTitle(*box).toStdString();
        box->button(QMessageBox::Ok)->click();
    });
    CQtMessageBoxService(nullptr).Show(text, caption, buttons);
    return title;
}

class WindowCaption : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnX11()) {
            GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
        }
    }
};

}  // namespace

TEST_F(WindowCaption, DialogsShowTheirCaptionsExactly) {
    PortSettings settings;
    CComSettingDlg com(&settings, nullptr);
    CWaitingDlg scan(QStringLiteral("Studio A"), nullptr);
    CAboutDlg about(nullptr);
    const std::pair<QWidget*, const char*> windows[] = {
        {&com, "Com Setting"}, {&scan, "Channel scan"}, {&about, "About Lumora"}};
    for (const auto& [window, caption] : windows) {
        window->show();
        EXPECT_EQ(ShownTitle(*window).toStdString(), caption);
        window->hide();
    }
}

TEST_F(WindowCaption, MessageBoxesShowTheirCaptionsExactly) {
    using Buttons = CMessageBoxService::Buttons;
    // The link's alerts come from its reader thread and cannot be brought about from outside.
    EXPECT_EQ(
        ShownBoxTitle(QStringLiteral("Buffer full"), QStringLiteral("CCommThread"), Buttons::Ok),
        "CCommThread");
    EXPECT_EQ(ShownBoxTitle(QStringLiteral("Fail to save file"), kAppTitle, Buttons::Ok), "Orvane");
    EXPECT_EQ(ShownBoxTitle(QStringLiteral("Do you want to save current setting?"),
                            QStringLiteral("Business Memory"), Buttons::OkCancel),
              "Business Memory");
}

int main(int argc, char** argv) {
    CLumoraApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
