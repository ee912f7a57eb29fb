// What the connection pane tells a screen reader and a pointing user about the port, and the Com
// dialog alike: why it does not open and what to do, or which port is open; said again only when
// that changes.

#include "link/ui/ComSettingDlg.h"
#include "shell/ConnectionPane.h"
#include "support/FrameTestKit.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace orvane::test;

QString Description(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
}

QString NoSuchDevice(const QString& path) {
    return "Port " + path +
           ": no such device. Is the dongle plugged in? Press Com to pick its port.";
}

// Counts how often the pane's tooltip is set, and the frame's timer ticks.
class PaneWatch final : public QObject {
public:
    PaneWatch(CMainFrame& frame, QWidget& pane) {
        frame.installEventFilter(this);
        pane.installEventFilter(this);
    }
    bool WaitTicks(int count) {
        const int until = ticks + count;
        return QTest::qWaitFor([&] { return ticks >= until; }, 5000);
    }

    int tooltipsSet = 0;
    int ticks = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        tooltipsSet += event->type() == QEvent::ToolTipChange ? 1 : 0;
        ticks += event->type() == QEvent::Timer ? 1 : 0;
        return false;
    }
};

}  // namespace

TEST(ConnectionPane, TellsWhatStandsInThePortsWayAndSaysItAgainOnlyWhenThatChanges) {
    FrameInFolder f(300);
    Dongle dongle({"--unit", "A:0"});  // not started: nothing behind its link yet
    const QString port = dongle.LinkPath();
    ASSERT_NO_FATAL_FAILURE(WriteOptionFile(f.Folder(), port, 9600));
    CMainFrame& frame = f.Make();
    CConnectionPane& pane = frame.ConnectionPane();
    PaneWatch watch(frame, pane);
    const auto waitTooltip = [&](const QString& text) {
        return QTest::qWaitFor([&] { return pane.toolTip() == text; }, 5000);
    };

    // Told from the first try, made as the frame is built; the ticks that find the same say
    // nothing again.
    EXPECT_EQ(pane.toolTip(), NoSuchDevice(port));
    ASSERT_TRUE(watch.WaitTicks(4));
    EXPECT_EQ(watch.tooltipsSet, 0);
    EXPECT_EQ(pane.text(), "Zigbee disconnected");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&pane)->text(QAccessible::Name),
              "Zigbee disconnected");
    EXPECT_EQ(Description(&pane), NoSuchDevice(port));

    // The Com dialog tells the same of the link's port, and looks at any other port selected.
    QString forTheLinksPort;
    QString forCom5;
    ModalHand hand([&](QWidget* modal) {
        auto* dialog = qobject_cast<CComSettingDlg*>(modal);
        if (dialog) {
            forTheLinksPort = Description(dialog->PortBox());
            dialog->PortBox()->setCurrentIndex(dialog->PortBox()->findText("COM5"));
            forCom5 = dialog->PortBox()->toolTip();
            dialog->reject();
        }
        return dialog != nullptr;
    });
    frame.OnComSetting();
    ASSERT_TRUE(hand.Finished());
    EXPECT_EQ(forTheLinksPort, NoSuchDevice(port));
    EXPECT_EQ(forCom5, NoSuchDevice("/dev/COM5"));

    {
        QFile file(port);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(waitTooltip("Port " + port + " is not a serial port. Press Com to pick its port."));
    ASSERT_TRUE(watch.WaitTicks(3));
    EXPECT_EQ(watch.tooltipsSet, 1);

    ASSERT_TRUE(QFile::remove(port));
    ASSERT_TRUE(dongle.Start());
    ASSERT_TRUE(waitTooltip("Port " + port + " is open."));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&pane)->text(QAccessible::Name),
              "Zigbee connected");
    EXPECT_EQ(Description(&pane), "Port " + port + " is open.");

    // Pulled out: told at once, before the next try finds the same.
    ASSERT_TRUE(dongle.Command("unplug").has_value());
    ASSERT_TRUE(waitTooltip(NoSuchDevice(port)));
    EXPECT_EQ(pane.text(), "Zigbee disconnected");
    ASSERT_TRUE(watch.WaitTicks(3));
    EXPECT_EQ(watch.tooltipsSet, 3);
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
}

// Connected, the Com command lets go of the port and the ticks take it again while the dialog is
// open: the dialog follows what the status bar says.
TEST(ConnectionPane, ComDialogFollowsThePortTheTicksReopen) {
    FrameInFolder f(300);
    Dongle dongle({"--unit", "A:0"});
    ASSERT_TRUE(dongle.Start());
    ASSERT_NO_FATAL_FAILURE(WriteOptionFile(f.Folder(), dongle.LinkPath(), 9600));
    CMainFrame& frame = f.Make();
    const QString open = "Port " + dongle.LinkPath() + " is open.";
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.ConnectionPane().toolTip() == open; }));
    QStringList shown;
    ModalHand hand([&](QWidget* modal) {
        auto* dialog = qobject_cast<CComSettingDlg*>(modal);
        if (!dialog) {
            return false;
        }
        if (shown.isEmpty() || shown.back() != dialog->PortBox()->toolTip()) {
            shown.append(dialog->PortBox()->toolTip());
        }
        if (shown.size() >= 2 && shown.back() == open) {
            dialog->reject();
            return true;
        }
        return false;
    });
    frame.OnComSetting();
    ASSERT_TRUE(hand.Finished());
    // Whether the first look still found the port open depends on when it came.
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.mid(shown.size() - 2).join(u'|').toStdString(),
              ("Port " + dongle.LinkPath() + " is there and free.|" + open).toStdString());
}

TEST(ConnectionPane, NamesFromOutsideAreShownAsTheyAreNeverAsMarkup) {
    QWidget window;
    CConnectionPane pane(&window);
    PortReport report;
    report.port = QStringLiteral("<b>ttyUSB0</b>");
    report.problem = PortProblem::InUse;
    report.holder = PortHolder{42, QStringLiteral("<img src=x>\n")};
    pane.Show(false, report);
    const QString said = QStringLiteral(
        "Port <b>ttyUSB0</b> is in use by <img src=x>? (process 42). Close that "
        "program, or press Com to pick another port.");
    EXPECT_EQ(Description(&pane), said);
    // Shown as text: the tooltip's markup is Qt's own, around the escaped names.
    EXPECT_TRUE(pane.toolTip().contains(QStringLiteral("&lt;img src=x&gt;?")))
        << pane.toolTip().toStdString();
    EXPECT_FALSE(pane.toolTip().contains(QStringLiteral("<img")));
    // A text that cannot be taken for markup keeps its form.
    report.port = QStringLiteral("ttyUSB0");
    report.holder = PortHolder{42, QStringLiteral("minicom")};
    pane.Show(false, report);
    EXPECT_EQ(pane.toolTip(), Description(&pane));
}
