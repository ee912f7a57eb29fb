// The "Business Memory" box of the remote control panel, the panel attached on its own: the studio
// files it lists and previews from a real folder, the files its Save writes there, the unit
// settings frames its Load writes (to a recording link writer), the toolbar commands it switches
// on and off, and what it tells the studio list (a stand-in that writes it down).

#include "model/StudioModel.h"
#include "panels/ControlFormView.h"
#include "support/PaneKit.h"
#include "support/PlaceUnit.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using Bytes = RecordingLinkWriter::Bytes;

const QString kFolder = QStringLiteral("Business Memory");
const QString kSaveQuestion = QStringLiteral("Do you want to save current setting?");
const QString kLoadQuestion =
    QStringLiteral("Current settig is deleted. Do you want to open file?");

// One unit of a studio file: its slot, model name, the nine settings in file order (flash value,
// cell, sound, charge, flash switch, model value, mode 1, mode 2, lamp switch) and light name.
struct FileUnit {
    int slot;
    const char* modelName;
    std::array<int, 9> values;
    const char* lightName;
};

QString StudioFileText(const std::vector<FileUnit>& units) {
    static const std::array<const char*, 9> kNames = {"nFlashValue",  "bFlashCell",  "bFlashSnd",
                                                      "bFlashCharge", "bFlashPow",   "nModelValue",
                                                      "nModelMode1",  "nModelMode2", "bModelPow"};
    QString text = QStringLiteral(
                       "<?xml version='1.0' encoding='utf-8'?>\n<StudioManage>\n"
                       "\t<Studio nStudioNum=\"1\" sStudioName=\"Studio B\" nChItemCnt=\"%1\">")
                       .arg(units.size());
    for (const FileUnit& unit : units) {
        text += QStringLiteral("\n\t\t<Strobe nChNum=\"%1\" sChName=\"CH-%2\" sModelName=\"%3\">")
                    .arg(unit.slot)
                    .arg(unit.slot + 1, 2, 10, QLatin1Char('0'))
                    .arg(QString::fromUtf8(unit.modelName));
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            text += QStringLiteral("\n\t\t\t<%1>%2</%1>")
                        .arg(QString::fromLatin1(kNames[i]))
                        .arg(unit.values[i]);
        }
        text += QStringLiteral("\n\t\t\t<sLightName>%1</sLightName>\n\t\t</Strobe>")
                    .arg(QString::fromUtf8(unit.lightName));
    }
    text += QStringLiteral("\n\t</Studio>\n</StudioManage>\n");
    return text;
}

// Slots 0, 3 and 8: a lamp switched off, a flash switched off, and a slot Studio A will not use.
const std::vector<FileUnit> kPortrait = {
    {0, "Mono 400", {52, 1, 0, 1, 1, 40, 1, 1, 0}, "Key"},
    {3, "Mono 200", {64, 0, 1, 1, 0, 33, 0, 0, 1}, "Rim"},
    {8, "Mono 100", {20, 0, 0, 1, 1, 25, 0, 1, 1}, "Hair"},
};
const std::vector<FileUnit> kAlpha = {
    {5, "Pack 1200", {11, 0, 0, 1, 1, 81, 0, 0, 1}, "Fill"},
};

Bytes UnitSettingsFrame(std::uint8_t maskHigh, std::uint8_t maskLow, const StrobeSettings& s) {
    const auto b = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
    return {0xFF,
            0x0E,
            0x01,
            maskHigh,
            maskLow,
            b(s.bFlashPow),
            b(s.nFlashValue),
            b(s.nModelValue),
            b(s.bFlashCell),
            b(s.bFlashSnd),
            b(s.nModelMode1),
            b(s.nModelMode2),
            b(s.bModelPow),
            0x00};
}

class BusinessMemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kit.folder.isValid());
        // The files are there before the panel starts, as a user's saved setups are.
        ASSERT_TRUE(QDir(kit.Folder()).mkdir(kFolder));
        WriteFile(QStringLiteral("Portrait.xml"), StudioFileText(kPortrait));
        WriteFile(QStringLiteral("Alpha.xml"), StudioFileText(kAlpha));
        WriteFile(QStringLiteral("Broken.xml"), QStringLiteral("<StudioManage><Studio>"));
        WriteFile(QStringLiteral("notes.txt"), QStringLiteral("not a studio"));

        panel = kit.ShowPane<CControlFormView>({325, 450});
        ASSERT_NE(panel, nullptr);
        fileList = panel->findChild<QListWidget*>(QStringLiteral("fileList"));
        fileName = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        fileInfo = panel->findChild<QPlainTextEdit*>(QStringLiteral("fileInfo"));
        ASSERT_NE(fileList, nullptr);
        ASSERT_NE(fileName, nullptr);
        ASSERT_NE(fileInfo, nullptr);
    }

    QString FilePath(const QString& name) const {
        return QDir(QDir(kit.Folder()).filePath(kFolder)).filePath(name);
    }

    void WriteFile(const QString& name, const QString& text) {
        QFile file(FilePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_GT(file.write(text.toUtf8()), 0);
    }

    QStringList Listed() const {
        QStringList titles;
        for (int row = 0; row < fileList->count(); ++row) {
            titles.append(fileList->item(row)->text());
        }
        return titles;
    }

    // A mouse click on the entry with that title.
    void Pick(const QString& title) {
        const QList<QListWidgetItem*> found = fileList->findItems(title, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << title.toStdString();
        fileList->scrollToItem(found.front());
        QTest::mouseClick(fileList->viewport(), Qt::LeftButton, {},
                          fileList->visualItemRect(found.front()).center());
    }

    // A unit in a slot of Studio A with the settings given.
    StrobeData* PlaceInStudioA(int slot, const StrobeSettings& settings) {
        StrobeData* placed = PlaceNewUnit(kit.model, 0, slot, settings);
        placed->sLightName = QStringLiteral("Own light");
        placed->nItemKind = TreeItemTag::UnitLine;
        return placed;
    }

    // Studio A's line is the selection, as the studio tree makes it.
    StudioData* SelectStudioA() {
        StudioData* studio = kit.model.Studio(0);
        studio->nItemKind = TreeItemTag::StudioLine;
        kit.model.pSelTag = studio;
        return studio;
    }

    // Whether the panes have switched the toolbar command on.
    bool Offered(int command) const { return kit.host.IsCommandEnabled(command); }

    // The toolbar button, pressed: the window sends its command to the control panel.
    void RunCommand(int command) {
        ASSERT_TRUE(Offered(command));
        SendWindowMessage(panel.get(),
                          command == ToolbarCommand::Load ? Msg::LoadCommand : Msg::SaveCommand);
    }

    // Nothing went out since the last frame read.
    void ExpectNothingWritten() { EXPECT_EQ(kit.link.Rest(), std::vector<Bytes>{}); }

    std::vector<NotifyRecorder::Message>& ToStudioList() { return kit.host.studioList.messages; }

    PaneKit kit;
    std::unique_ptr<CControlFormView> panel;
    QListWidget* fileList = nullptr;
    QLineEdit* fileName = nullptr;
    QPlainTextEdit* fileInfo = nullptr;
};

const QString kPortraitInfo = QStringLiteral(
    "File info :\nCH-01 Flash 5.2 Model OFF\nCH-04 Flash OFF Model 3.3\n"
    "CH-09 Flash 2.0 Model 2.5\n");

TEST_F(BusinessMemoryTest, ListsTheStudioFilesOfTheFolderWhenFirstShown) {
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Broken"),
                                     QStringLiteral("Portrait")}));
    EXPECT_TRUE(fileName->text().isEmpty());
    EXPECT_TRUE(fileInfo->toPlainText().isEmpty());
    EXPECT_FALSE(Offered(ToolbarCommand::Load));
    EXPECT_FALSE(Offered(ToolbarCommand::Save));
    // The box is usable from the keyboard and tells what each part is.
    for (QWidget* w : std::initializer_list<QWidget*>{fileList, fileName}) {
        EXPECT_FALSE(w->accessibleName().isEmpty());
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus);
    }
    EXPECT_FALSE(fileInfo->accessibleName().isEmpty());
}

TEST_F(BusinessMemoryTest, ClickingAFilePreviewsItIntoTheFileStudio) {
    Pick(QStringLiteral("Portrait"));
    EXPECT_EQ(fileName->text(), QStringLiteral("Portrait"));
    EXPECT_EQ(fileInfo->toPlainText(), kPortraitInfo);
    const StudioData& fileStudio = *kit.model.pFileStudio;
    EXPECT_EQ(fileStudio.nChItemCnt, 3);
    ASSERT_TRUE(fileStudio.bChUsed[3]);
    EXPECT_EQ(fileStudio.Unit(3)->nFlashValue, 64);
    EXPECT_EQ(fileStudio.Unit(3)->sLightName, QStringLiteral("Rim"));
    EXPECT_TRUE(Offered(ToolbarCommand::Load));
    EXPECT_TRUE(Offered(ToolbarCommand::Save));
    EXPECT_TRUE(kit.messages.texts.isEmpty());

    // The next pick replaces the preview and the file studio rather than adding to them.
    Pick(QStringLiteral("Alpha"));
    EXPECT_EQ(fileName->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(fileInfo->toPlainText(), QStringLiteral("File info :\nCH-06 Flash 1.1 Model 8.1\n"));
    EXPECT_EQ(fileStudio.nChItemCnt, 1);
    EXPECT_FALSE(fileStudio.bChUsed[0]);
    EXPECT_TRUE(fileStudio.bChUsed[5]);
}

TEST_F(BusinessMemoryTest, EnterOnTheListPreviewsTheCurrentEntry) {
    fileList->setFocus();
    QTest::keyClick(fileList, Qt::Key_End);
    QTest::keyClick(fileList, Qt::Key_Return);
    EXPECT_EQ(fileName->text(), QStringLiteral("Portrait"));
    EXPECT_EQ(fileInfo->toPlainText(), kPortraitInfo);
    EXPECT_TRUE(Offered(ToolbarCommand::Load));
}

TEST_F(BusinessMemoryTest, AFileThatCannotBeReadEmptiesThePreviewAndStillOffersLoad) {
    Pick(QStringLiteral("Portrait"));
    ASSERT_FALSE(fileInfo->toPlainText().isEmpty());
    Pick(QStringLiteral("Broken"));
    EXPECT_EQ(kit.messages.texts, QStringList{QStringLiteral("Fail to open file")});
    EXPECT_TRUE(fileInfo->toPlainText().isEmpty());
    EXPECT_EQ(fileName->text(), QStringLiteral("Broken"));
    EXPECT_TRUE(Offered(ToolbarCommand::Load));
}

TEST_F(BusinessMemoryTest, TypingANameOffersSave) {
    fileName->setFocus();
    QTest::keyClicks(fileName, QStringLiteral("Ev"));
    EXPECT_TRUE(Offered(ToolbarCommand::Save));
    EXPECT_FALSE(Offered(ToolbarCommand::Load));
}

TEST_F(BusinessMemoryTest, SaveAsksThenWritesTheStudioAndListsItsFile) {
    PlaceInStudioA(2, StrobeSettings{.nFlashValue = 47, .nModelValue = 39});
    SelectStudioA();
    Pick(QStringLiteral("Alpha"));
    fileName->selectAll();
    QTest::keyClicks(fileName, QStringLiteral("Evening"));

    RunCommand(ToolbarCommand::Save);
    EXPECT_EQ(kit.messages.texts, QStringList{kSaveQuestion});
    EXPECT_EQ(kit.messages.captions, QStringList{QStringLiteral("Business Memory")});
    EXPECT_EQ(kit.messages.lastButtons, CMessageBoxService::Buttons::OkCancel);

    QFile saved(FilePath(QStringLiteral("Evening.xml")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Studio A"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("<nFlashValue>47</nFlashValue>")))
        << text.toStdString();
    EXPECT_EQ(Listed(), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Broken"),
                                     QStringLiteral("Evening"), QStringLiteral("Portrait")}));
    EXPECT_TRUE(fileName->text().isEmpty());
    EXPECT_TRUE(fileInfo->toPlainText().isEmpty());
    EXPECT_FALSE(Offered(ToolbarCommand::Load));
    EXPECT_FALSE(Offered(ToolbarCommand::Save));

    // The new entry previews what was saved.
    Pick(QStringLiteral("Evening"));
    EXPECT_EQ(fileInfo->toPlainText(), QStringLiteral("File info :\nCH-03 Flash 4.7 Model 3.9\n"));
    // Saving writes nothing to the line.
    ExpectNothingWritten();
}

TEST_F(BusinessMemoryTest, SaveCancelledWritesNothingAndKeepsTheBox) {
    PlaceInStudioA(2, StrobeSettings{});
    SelectStudioA();
    Pick(QStringLiteral("Alpha"));
    fileName->selectAll();
    QTest::keyClicks(fileName, QStringLiteral("Evening"));
    const QString info = fileInfo->toPlainText();
    kit.messages.answer = CMessageBoxService::kCancel;

    RunCommand(ToolbarCommand::Save);
    EXPECT_EQ(kit.messages.texts, QStringList{kSaveQuestion});
    EXPECT_FALSE(QFile::exists(FilePath(QStringLiteral("Evening.xml"))));
    EXPECT_EQ(Listed().size(), 3);
    EXPECT_EQ(fileName->text(), QStringLiteral("Evening"));
    EXPECT_EQ(fileInfo->toPlainText(), info);
    EXPECT_TRUE(Offered(ToolbarCommand::Load));
    EXPECT_TRUE(Offered(ToolbarCommand::Save));
}

TEST_F(BusinessMemoryTest, LoadCopiesTheFileOntoTheUnitsAndSendsEachItsSettings) {
    const StrobeSettings six{.nFlashValue = 70, .bFlashSnd = 1, .nModelValue = 60};
    StrobeData* unit0 = PlaceInStudioA(0, StrobeSettings{});
    StrobeData* unit3 = PlaceInStudioA(3, StrobeSettings{});
    StrobeData* unit6 = PlaceInStudioA(6, six);
    StudioData* studio = SelectStudioA();
    Pick(QStringLiteral("Portrait"));
    ToStudioList().clear();

    RunCommand(ToolbarCommand::Load);
    EXPECT_EQ(kit.messages.texts, QStringList{kLoadQuestion});
    EXPECT_EQ(kit.messages.captions, QStringList{QStringLiteral("Business Memory")});
    EXPECT_EQ(kit.messages.lastButtons, CMessageBoxService::Buttons::OkCancel);

    // Slots used on both sides take the file's settings and names.
    EXPECT_EQ(unit0->nFlashValue, 52);
    EXPECT_EQ(unit0->bFlashCell, 1);
    EXPECT_EQ(unit0->nModelMode1, 1);
    EXPECT_EQ(unit0->bModelPow, 0);
    EXPECT_EQ(unit0->sModelName, QStringLiteral("Mono 400"));
    EXPECT_EQ(unit0->sLightName, QStringLiteral("Key"));
    EXPECT_EQ(unit3->bFlashPow, 0);
    EXPECT_EQ(unit3->nModelValue, 33);
    EXPECT_EQ(unit3->sLightName, QStringLiteral("Rim"));
    // A unit the file does not know keeps its settings; a slot only the file uses stays empty.
    EXPECT_EQ(unit6->Settings(), six);
    EXPECT_EQ(unit6->sLightName, QStringLiteral("Own light"));
    EXPECT_FALSE(studio->bChUsed[8]);
    EXPECT_EQ(studio->nChItemCnt, 3);

    EXPECT_EQ(ToStudioList(),
              (std::vector<NotifyRecorder::Message>{{Msg::RebuildSelectedStudio, 0, 0}}));

    // One complete settings frame per unit, in slot order.
    const Bytes frame0 = UnitSettingsFrame(0x00, 0x01,
                                           {.nFlashValue = 52,
                                            .bFlashCell = 1,
                                            .nModelValue = 40,
                                            .nModelMode1 = 1,
                                            .nModelMode2 = 1,
                                            .bModelPow = 0});
    const Bytes frame3 = UnitSettingsFrame(
        0x00, 0x08, {.nFlashValue = 64, .bFlashSnd = 1, .bFlashPow = 0, .nModelValue = 33});
    const Bytes frame6 = UnitSettingsFrame(0x02, 0x00, six);
    EXPECT_EQ(kit.link.Next(), frame0);
    EXPECT_EQ(kit.link.Next(), frame3);
    EXPECT_EQ(kit.link.Next(), frame6);
    ExpectNothingWritten();

    // The box and the commands stay as they were.
    EXPECT_EQ(fileName->text(), QStringLiteral("Portrait"));
    EXPECT_EQ(fileInfo->toPlainText(), kPortraitInfo);
    EXPECT_TRUE(Offered(ToolbarCommand::Load));
    EXPECT_TRUE(Offered(ToolbarCommand::Save));
}

TEST_F(BusinessMemoryTest, LoadCancelledChangesNothingAndSendsNothing) {
    StrobeData* unit0 = PlaceInStudioA(0, StrobeSettings{});
    SelectStudioA();
    Pick(QStringLiteral("Portrait"));
    ToStudioList().clear();
    kit.messages.answer = CMessageBoxService::kCancel;

    RunCommand(ToolbarCommand::Load);
    EXPECT_EQ(kit.messages.texts, QStringList{kLoadQuestion});
    EXPECT_EQ(unit0->Settings(), StrobeSettings{});
    EXPECT_EQ(unit0->sLightName, QStringLiteral("Own light"));
    EXPECT_TRUE(ToStudioList().empty());
    ExpectNothingWritten();
}

TEST_F(BusinessMemoryTest, WithNoStudioSelectedLoadAndSaveChangeNothing) {
    StrobeData* unit0 = PlaceInStudioA(0, StrobeSettings{});
    kit.model.pSelTag = nullptr;
    Pick(QStringLiteral("Portrait"));
    ToStudioList().clear();

    RunCommand(ToolbarCommand::Load);
    // There is nothing to load onto, so nothing is asked.
    EXPECT_TRUE(kit.messages.texts.isEmpty());
    EXPECT_EQ(unit0->Settings(), StrobeSettings{});
    EXPECT_TRUE(ToStudioList().empty());
    ExpectNothingWritten();

    RunCommand(ToolbarCommand::Save);
    EXPECT_EQ(kit.messages.texts, (QStringList{kSaveQuestion, QStringLiteral("No channel item.")}));
    // The folder holds what it held, the file last picked unchanged.
    QFile kept(FilePath(QStringLiteral("Portrait.xml")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(kept.readAll()), StudioFileText(kPortrait));
    EXPECT_EQ(QDir(QDir(kit.Folder()).filePath(kFolder)).entryList(QDir::Files).size(), 4);
    ExpectNothingWritten();
}

}  // namespace
