// Every route of the remote interface against a real main frame whose port is a pseudo-terminal:
// what each answers, the frames each writes, and that each refusal writes nothing.

#include "RemoteRig.h"

#include "link/ConfirmationTracker.h"
#include "model/StudioModel.h"
#include "views/NavigationFormView.h"
#include "views/NavigationGrid.h"
#include "views/StudioListFormView.h"

#include <QAction>
#include <QComboBox>

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace orvane::remote::test {
namespace {

constexpr std::uint8_t kFlashPower = 3;
constexpr std::uint8_t kPhotoCell = 7;
constexpr std::uint8_t kSound = 8;
constexpr std::uint8_t kTestFlash = 11;
constexpr std::uint8_t kModelSwitch = 12;
constexpr std::uint8_t kFlashSwitch = 13;

QJsonObject Body(const Response& r) {
    return r.json.object();
}

// Studio A scanned, with three units answering on CH-01..CH-03.
class RemoteApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Start());
        ASSERT_TRUE(rig.Scan('A', {{0, 40, 30}, {1, 50, 30}, {2, 60, 30}}));
        ASSERT_EQ(rig.Studio(0).nChItemCnt, 3);
    }

    StrobeData& Unit(int slot) { return *rig.Studio(0).Unit(slot); }
    QString Shown(const char* name) const {
        return rig.frame->ControlPane()->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

    RemoteRig rig;
};

TEST_F(RemoteApiTest, StatusAndUnitsTellWhatTheWindowShows) {
    const QJsonObject status = Body(rig.Call("GET", "status"));
    EXPECT_EQ(status.value(QStringLiteral("connected")), QJsonValue(true));
    EXPECT_EQ(status.value(QStringLiteral("port")).toString(), rig.pty.SlavePath());
    EXPECT_EQ(status.value(QStringLiteral("studio")), QJsonValue(QStringLiteral("A")));
    EXPECT_EQ(status.value(QStringLiteral("tuned")), QJsonValue(QStringLiteral("A")));

    const QJsonArray units = rig.Call("GET", "studios/A/units").json.array();
    ASSERT_EQ(units.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject unit = units[i].toObject();
        EXPECT_EQ(unit.value(QStringLiteral("channel")).toInt(), i + 1);
        EXPECT_DOUBLE_EQ(unit.value(QStringLiteral("flash")).toDouble(), 4.0 + i);
        EXPECT_EQ(unit.value(QStringLiteral("model_mode")).toString(), QStringLiteral("free"));
        EXPECT_EQ(unit.value(QStringLiteral("lamp_mode")).toString(), QStringLiteral("flash-prop"));
        EXPECT_EQ(unit.value(QStringLiteral("ticked")), QJsonValue(false));
    }
    EXPECT_TRUE(rig.Call("GET", "studios/B/units").json.array().isEmpty());
    EXPECT_EQ(rig.Call("GET", "studios/F/units").status, 404);
    EXPECT_EQ(rig.Call("GET", "studios/A/units/2").json.object().value("channel").toInt(), 2);
    EXPECT_EQ(rig.Call("GET", "studios/A/units/4").status, 404);
    EXPECT_EQ(rig.Call("GET", "nothing/here").status, 404);
    const Response wrongMethod = rig.Call("DELETE", "studios/A/units/2");
    EXPECT_EQ(wrongMethod.status, 405);
    EXPECT_TRUE(wrongMethod.HasHeader("Allow"));
}

TEST_F(RemoteApiTest, AChangeWritesOneFramePerKeyAndShowsInTheWindow) {
    auto* tree = qobject_cast<CStudioListFormView*>(rig.frame->StudioListPane());
    ASSERT_TRUE(tree->ClickLine(Unit(2)));
    const Response r = rig.Call("PATCH", "studios/A/units/3",
                                R"({"model_on": false, "cell": true, "flash": 5.5})");
    ASSERT_EQ(r.status, 200) << r.body.toStdString();
    // Sliders first, then the switches in the panel's order, the lamp's "OFF" last of them.
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 2, 55, 30));
    EXPECT_EQ(rig.Line(7), SettingFrame(kPhotoCell, 2, 0, 2));
    EXPECT_EQ(rig.Line(7), SettingFrame(kModelSwitch, 2, 0, 0));
    EXPECT_TRUE(rig.NothingWritten());
    EXPECT_DOUBLE_EQ(Body(r).value(QStringLiteral("flash")).toDouble(), 5.5);
    EXPECT_EQ(Body(r).value(QStringLiteral("model_on")), QJsonValue(false));
    // The panel shows the unit of the selection with its new values.
    EXPECT_EQ(rig.frame->Model().SelectedUnit(), &Unit(2));
    EXPECT_EQ(Shown("flashValue"), QStringLiteral("5.5"));
    EXPECT_EQ(Shown("modelValue"), QStringLiteral("OFF"));
}

TEST_F(RemoteApiTest, RefusedChangesSendNothingAndChangeNothing) {
    const std::pair<const char*, int> cases[] = {
        {R"({"flash": 9.0})", 400},   {R"({"flash": 5.55})", 400},
        {R"({"flash": "5.5"})", 400}, {R"({"cell": 1})", 400},
        {R"({"speed": 1})", 400},     {R"({"flash": )", 400},
        {R"([{"flash": 5.0}])", 400}, {R"({})", 400},
    };
    for (const auto& [body, status] : cases) {
        const Response r = rig.Call("PATCH", "studios/A/units/1", body);
        EXPECT_EQ(r.status, status) << body;
        EXPECT_FALSE(r.Error().isEmpty()) << body;
    }
    EXPECT_EQ(rig.Call("PATCH", "studios/A/units/9", R"({"flash": 5.0})").status, 404);
    EXPECT_EQ(rig.Call("PATCH", "studios/F/units/1", R"({"flash": 5.0})").status, 404);
    const Response otherStudio = rig.Call("PATCH", "studios/C/units/1", R"({"flash": 5.0})");
    EXPECT_EQ(otherStudio.status, 409);
    EXPECT_TRUE(otherStudio.Error().contains(QStringLiteral("tuned to Studio A")));
    EXPECT_TRUE(rig.NothingWritten());
    EXPECT_EQ(Unit(0).nFlashValue, 40);

    // Switched off, a unit takes nothing but being switched on, as its panel does.
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/2", R"({"flash_on": false})").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashSwitch, 1, 0, 0));
    EXPECT_EQ(rig.Call("PATCH", "studios/A/units/2", R"({"cell": true})").status, 409);
    EXPECT_EQ(rig.Call("POST", "studios/A/units/2/test").status, 409);
    EXPECT_TRUE(rig.NothingWritten());
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/2", R"({"cell": true, "flash_on": true})").status,
              200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashSwitch, 1, 0, 1));
    EXPECT_EQ(rig.Line(7), SettingFrame(kPhotoCell, 1, 0, 2));
}

TEST_F(RemoteApiTest, TestFlashAndGroupChangesGoOutAsThePanelsSendThem) {
    ASSERT_EQ(rig.Call("POST", "studios/A/units/3/test").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kTestFlash, 2, 0, 0));

    EXPECT_EQ(rig.Call("POST", "studios/A/group", R"({"flash_offset": 1.0})").status, 409);
    for (const char* unit : {"studios/A/units/1", "studios/A/units/2"}) {
        ASSERT_EQ(rig.Call("PATCH", unit, R"({"ticked": true})").status, 200);
    }
    EXPECT_TRUE(rig.NothingWritten());

    const Response r =
        rig.Call("POST", "studios/A/group", R"({"flash_offset": 1.0, "sound": true})");
    ASSERT_EQ(r.status, 200) << r.body.toStdString();
    // One power table for the studio (the unticked CH-03 keeps 6.0), then one setting frame for
    // both ticked units.
    Bytes table = {0xFF, 0x17, 0x1E, 50, 30, 60, 30, 60, 30};
    table.resize(0x17, 0);
    EXPECT_EQ(rig.Line(table.size()), table);
    EXPECT_EQ(rig.Line(7), (Bytes{0xFF, 0x07, 0x10 + kSound, 0x00, 0x03, 0x00, 0x04}));
    EXPECT_DOUBLE_EQ(Body(r).value(QStringLiteral("flash_offset")).toDouble(), 1.0);
    EXPECT_EQ(Body(r).value(QStringLiteral("units")).toArray().size(), 2);

    // An offset reaches no further than a level can be high.
    EXPECT_EQ(rig.Call("POST", "studios/A/group", R"({"flash_offset": 8.2})").status, 400);
    EXPECT_TRUE(rig.NothingWritten());
}

TEST_F(RemoteApiTest, AGroupChangeLeavesTheUsersPanelAsTheUserLeftIt) {
    auto* combo = rig.frame->ControlPane()->findChild<QComboBox*>(QStringLiteral("modeCombo"));
    auto* name = rig.frame->StudioListPane()->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    auto* tree = qobject_cast<CStudioListFormView*>(rig.frame->StudioListPane());
    ASSERT_TRUE(tree->ClickLine(Unit(0)));
    name->setText(QStringLiteral("Half typed"));
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/2", R"({"ticked": true})").status, 200);
    ASSERT_EQ(rig.Call("POST", "studios/A/group", R"({"model_offset": -0.5})").status, 200);
    Bytes table = {0xFF, 0x17, 0x1F, 40, 30, 50, 25, 60, 30};
    table.resize(0x17, 0);
    EXPECT_EQ(rig.Line(table.size()), table);
    EXPECT_EQ(combo->currentIndex(), 0) << "the unit layout stays up";
    EXPECT_EQ(name->text(), QStringLiteral("Half typed"));
    EXPECT_EQ(rig.frame->Model().SelectedUnit(), &Unit(0));
    EXPECT_EQ(Unit(1).nModelValue, 25);
}

TEST_F(RemoteApiTest, SelectingAndScanningActAsTheTreeAndTheToolbarDo) {
    const Response selected = rig.Call("POST", "studios/B/select");
    EXPECT_EQ(Body(selected).value(QStringLiteral("studio")), QJsonValue(QStringLiteral("B")));
    auto* navigation = qobject_cast<CNavigationFormView*>(rig.frame->NavigationPane());
    EXPECT_EQ(navigation->Grid()->Heading(), QStringLiteral("Channel Select [ Studio B ]"));
    EXPECT_TRUE(rig.NothingWritten());

    ASSERT_TRUE(rig.Scan('B', {{4, 33, 22}}));
    EXPECT_EQ(rig.Studio(1).nChItemCnt, 1);

    // Studio A holds units while the dongle is tuned to B: its line starts a re-scan, which is
    // busy for a while. Meanwhile nothing acts, while reading goes on.
    Response duringScan;
    Response statusDuringScan;
    QObject::connect(rig.frame.get(), &CMainFrame::ScanStarted, [&] {
        QTimer::singleShot(0, rig.frame.get(), [&] {
            duringScan = rig.Call("POST", "studios/C/scan");
            statusDuringScan = rig.Call("GET", "status");
        });
    });
    bool finished = false;
    QObject::connect(rig.frame.get(), &CMainFrame::ScanFinished, [&] { finished = true; });
    const Response rescan = rig.Call("POST", "studios/A/select");
    EXPECT_EQ(rescan.status, 202);
    EXPECT_EQ(Body(rescan).value(QStringLiteral("scanning")), QJsonValue(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 5000));
    EXPECT_EQ(rig.Line(5), ScanRequest('A'));
    EXPECT_EQ(duringScan.status, 409);
    EXPECT_EQ(Body(statusDuringScan).value(QStringLiteral("scanning")), QJsonValue(true));
    EXPECT_EQ(rig.Call("POST", "studios/G/select").status, 404);
    EXPECT_TRUE(rig.NothingWritten());
}

TEST_F(RemoteApiTest, SetupsAreSavedListedPreviewedAndLoadedAsTheBoxDoes) {
    const Response saved = rig.Call("PUT", "setups/Portrait");
    ASSERT_EQ(saved.status, 200) << saved.body.toStdString();
    const QDir memory(QDir(rig.folder.path()).filePath(QStringLiteral("Business Memory")));
    EXPECT_EQ(memory.entryList(QDir::Files), QStringList{QStringLiteral("Portrait.xml")});
    EXPECT_EQ(rig.Call("GET", "setups").json.array(), QJsonArray{QStringLiteral("Portrait")});

    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/1", R"({"flash": 7.0})").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 0, 70, 30));
    const QJsonArray preview = Body(rig.Call("GET", "setups/Portrait")).value("units").toArray();
    ASSERT_EQ(preview.size(), 3);
    EXPECT_DOUBLE_EQ(preview[0].toObject().value(QStringLiteral("flash")).toDouble(), 4.0);
    // A look at a setup leaves the box as it was.
    EXPECT_TRUE(rig.frame->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().isEmpty());

    ASSERT_EQ(rig.Call("POST", "setups/Portrait/load").status, 200);
    for (int slot = 0; slot < 3; ++slot) {
        const Bytes frame = rig.Line(14);
        ASSERT_EQ(frame.size(), 14u);
        EXPECT_EQ(frame[2], 0x01);
        EXPECT_EQ(frame[4], 1 << slot);
    }
    EXPECT_EQ(Unit(0).nFlashValue, 40);
    EXPECT_EQ(rig.Call("GET", "setups/Nope").status, 404);
    EXPECT_EQ(rig.Call("POST", "setups/Nope/load").status, 404);

    // A file that cannot be written is reported with the window's text, and leaves nothing.
    ASSERT_TRUE(memory.mkdir(QStringLiteral("Blocked.xml")));
    const Response failed = rig.Call("PUT", "setups/Blocked");
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.Error(), QStringLiteral("Fail to save file"));
    EXPECT_EQ(memory.entryList(QDir::Files), QStringList{QStringLiteral("Portrait.xml")});
    // A studio without units has nothing to save.
    ASSERT_EQ(rig.Call("POST", "studios/D/select").status, 200);
    const Response empty = rig.Call("PUT", "setups/Empty");
    EXPECT_EQ(empty.status, 409);
    EXPECT_EQ(empty.Error(), QStringLiteral("No channel item."));
    EXPECT_FALSE(QFileInfo::exists(memory.filePath(QStringLiteral("Empty.xml"))));
    EXPECT_TRUE(rig.boxes.texts.isEmpty()) << rig.boxes.texts.join(u'|').toStdString();
}

TEST_F(RemoteApiTest, EventsStreamTheLinkScansAndUnits) {
    EventStream events(rig);
    ASSERT_TRUE(events.WaitFor("event: status\ndata: {"));
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/2", R"({"flash": 6.5})").status, 200);
    EXPECT_TRUE(events.WaitFor("event: unit-changed\ndata: {\"cell\":false,\"channel\":2,"));
    EXPECT_TRUE(events.Text().contains("\"flash\":6.5"));
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 1, 65, 30));
    ASSERT_TRUE(rig.Scan('A', {{5, 44, 33}}));
    EXPECT_TRUE(events.WaitFor("event: scan\ndata: {\"state\":\"started\",\"studio\":\"A\"}"));
    EXPECT_TRUE(events.WaitFor("event: unit-placed\ndata: {\"cell\":false,\"channel\":6,"));
    EXPECT_TRUE(events.WaitFor("event: scan\ndata: {\"state\":\"finished\",\"studio\":\"A\"}"));
    rig.pty.HangUp();
    EXPECT_TRUE(events.WaitFor("event: link\ndata: {\"connected\":false,"));
}

TEST_F(RemoteApiTest, ADialogInTheWindowHoldsNoRequestButAScanAndAClosedPortDo) {
    QDialog dialog(rig.frame.get());
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/1", R"({"flash": 5.0})").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 0, 50, 30));
    dialog.close();

    // While a scan runs, its studio's units are being found again.
    Response during;
    QObject::connect(rig.frame.get(), &CMainFrame::ScanStarted, [&] {
        QTimer::singleShot(0, rig.frame.get(), [&] {
            during = rig.Call("PATCH", "studios/A/units/1", R"({"flash": 6.0})");
        });
    });
    ASSERT_EQ(rig.Call("POST", "studios/A/scan").status, 202);
    ASSERT_TRUE(QTest::qWaitFor([&] { return during.status != 0; }, 5000));
    EXPECT_EQ(during.status, 409);
    EXPECT_TRUE(during.Error().contains(QStringLiteral("scanning")));
    EXPECT_EQ(rig.Line(5), ScanRequest('A'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.frame->Commands().Scanning(); }, 5000));

    // A closed port: nothing would reach the units, and nothing is taken as sent.
    ASSERT_TRUE(rig.Scan('A', {{0, 40, 30}}));
    rig.pty.HangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.frame->IsConnected(); }, 5000));
    const Response closed = rig.Call("PATCH", "studios/A/units/1", R"({"flash": 7.0})");
    EXPECT_EQ(closed.status, 409);
    EXPECT_TRUE(closed.Error().contains(QStringLiteral("not connected")));
    EXPECT_EQ(Unit(0).nFlashValue, 40);
    EXPECT_EQ(rig.frame->Confirmations().StateOf(Unit(0)), Confirmation::Confirmed);
}

TEST_F(RemoteApiTest, UndoAndRedoTakeStepsWithTheirFramesAndAreStreamed) {
    EventStream events(rig);
    ASSERT_TRUE(events.WaitFor("event: status\ndata: {"));
    EXPECT_EQ(rig.Call("POST", "undo").status, 409);
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/1", R"({"flash": 5.5})").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 0, 55, 30));
    const QJsonObject history = Body(rig.Call("GET", "history"));
    EXPECT_EQ(history.value(QStringLiteral("undo")).toString(),
              QStringLiteral("Flash Power CH-01 4.0 → 5.5"));
    EXPECT_EQ(history.value(QStringLiteral("redo")), QJsonValue(QJsonValue::Null));

    const Response undone = rig.Call("POST", "undo");
    ASSERT_EQ(undone.status, 200) << undone.body.toStdString();
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 0, 40, 30));
    EXPECT_EQ(Unit(0).nFlashValue, 40);
    const QJsonArray steps = Body(undone).value(QStringLiteral("steps")).toArray();
    ASSERT_EQ(steps.size(), 1);
    EXPECT_EQ(steps[0].toObject().value(QStringLiteral("done")), QJsonValue(false));
    EXPECT_TRUE(events.WaitFor("event: undo\ndata: {\"step\":\"Flash Power CH-01 4.0"));
    EXPECT_TRUE(rig.frame->RedoAction()->isEnabled()) << "the window's Redo follows";

    ASSERT_EQ(rig.Call("POST", "redo").status, 200);
    EXPECT_EQ(rig.Line(7), SettingFrame(kFlashPower, 0, 55, 30));
    const Response nothing = rig.Call("POST", "redo");
    EXPECT_EQ(nothing.status, 409);
    EXPECT_TRUE(nothing.Error().contains(QStringLiteral("nothing to redo")));
    EXPECT_TRUE(rig.NothingWritten());
}

TEST_F(RemoteApiTest, UnitsTellWhetherTheyConfirmedTheLastChange) {
    EventStream events(rig);
    ASSERT_TRUE(events.WaitFor("event: status\ndata: {"));
    const auto confirmed = [&](int channel) {
        const QJsonArray units = rig.Call("GET", "studios/A/units").json.array();
        return units[channel - 1].toObject().value(QStringLiteral("confirmed")).toString();
    };
    EXPECT_EQ(confirmed(1), QStringLiteral("yes"));
    ASSERT_EQ(rig.Call("PATCH", "studios/A/units/1", R"({"flash": 5.0})").status, 200);
    // Nobody answers on the pseudo-terminal: waiting, then not confirmed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return confirmed(1) == QStringLiteral("waiting"); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return confirmed(1) == QStringLiteral("no"); }, 3000));
    EXPECT_EQ(confirmed(2), QStringLiteral("yes"));
    // The mark changes with no change of the unit's values: the stream tells it all the same.
    EXPECT_TRUE(events.WaitFor("\"confirmed\":\"waiting\""));
    EXPECT_TRUE(events.WaitFor("\"confirmed\":\"no\""));
}

}  // namespace
}  // namespace orvane::remote::test
