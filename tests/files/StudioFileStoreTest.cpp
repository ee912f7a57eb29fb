#include "files/StudioFileStore.h"
#include "model/StudioModel.h"
#include "support/RecordingMessageBox.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <csignal>

#include <memory>

namespace {

// Each test works in a scratch folder of its own, standing for the working folder.
class StudioFileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch.isValid());
        QDir(scratch.path()).mkdir(StudioFileStore::kFolderName);
    }

    StrobeData* AddUnit(StudioData& studio, int slot) {
        auto unit = std::make_unique<StrobeData>();
        StrobeData* raw = unit.get();
        model.PlaceUnit(studio, slot, std::move(unit));
        return raw;
    }

    void Select(StudioData& studio) {
        studio.nItemKind = TreeItemTag::StudioLine;
        model.pSelTag = &studio;
    }

    QByteArray ReadFile(const QString& title) const {
        QFile file(store.PathForTitle(title));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteFile(const QString& title, const QByteArray& bytes) const {
        QFile file(store.PathForTitle(title));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A file with the given Strobe elements inside one Studio element.
    static QByteArray StudioFile(const QByteArray& strobes) {
        return "<?xml version='1.0' encoding='utf-8'?>\n<StudioManage><Studio nStudioNum=\"0\" "
               "sStudioName=\"Studio A\" nChItemCnt=\"1\">" +
               strobes + "</Studio></StudioManage>";
    }
    static QByteArray Strobe(const QByteArray& attributes, int flash, const QByteArray& light) {
        QByteArray values;
        const int numbers[9] = {flash, 1, 0, 1, 1, 40, 1, 0, 1};
        for (int n : numbers) {
            values += "<v>" + QByteArray::number(n) + "</v>";
        }
        return "<Strobe " + attributes + ">" + values + "<v>" + light + "</v></Strobe>";
    }

    QTemporaryDir scratch;
    StudioModel model;
    RecordingMessageBox boxes;
    StudioFileStore store{&model, &boxes, QDir(scratch.path())};
};

}  // namespace

TEST_F(StudioFileStoreTest, SavedFileHasTheFixedLayoutLineByLine) {
    StudioData& studioB = *model.pStudio[1];
    AddUnit(studioB, 0);
    Select(studioB);
    ASSERT_EQ(store.SaveStudioFile(QStringLiteral("Portrait")), 1);
    EXPECT_TRUE(boxes.texts.isEmpty());
    const QByteArray expected =
        "<?xml version='1.0' encoding='utf-8'?>\n"
        "<StudioManage>\n"
        "\t<Studio nStudioNum=\"1\" sStudioName=\"Studio B\" nChItemCnt=\"1\">\n"
        "\t\t<Strobe nChNum=\"0\" sChName=\"CH-01\" sModelName=\"Not define\">\n"
        "\t\t\t<nFlashValue>0</nFlashValue>\n"
        "\t\t\t<bFlashCell>0</bFlashCell>\n"
        "\t\t\t<bFlashSnd>0</bFlashSnd>\n"
        "\t\t\t<bFlashCharge>1</bFlashCharge>\n"
        "\t\t\t<bFlashPow>1</bFlashPow>\n"
        "\t\t\t<nModelValue>0</nModelValue>\n"
        "\t\t\t<nModelMode1>0</nModelMode1>\n"
        "\t\t\t<nModelMode2>0</nModelMode2>\n"
        "\t\t\t<bModelPow>1</bModelPow>\n"
        "\t\t\t<sLightName>Not define</sLightName>\n"
        "\t\t</Strobe>\n"
        "\t</Studio>\n"
        "</StudioManage>";
    EXPECT_EQ(ReadFile(QStringLiteral("Portrait")), expected);
}

TEST_F(StudioFileStoreTest, SaveWritesUnitsInSlotOrderAndReadsBackIdentically) {
    StudioData& studioC = *model.pStudio[2];
    StrobeData* seven = AddUnit(studioC, 7);
    StrobeData* two = AddUnit(studioC, 2);
    seven->sModelName = QStringLiteral("Rim <left> & \"back\"");
    seven->sLightName = QStringLiteral("Strip 'A'\tdiffused");
    seven->nFlashValue = 81;
    seven->nModelMode2 = 1;
    two->nFlashValue = 11;
    two->bFlashCharge = 0;
    two->sLightName = QString::fromUtf8("Sch\xc3\xb6n \xe2\x98\x80");
    two->bSelected = 1;
    two->nHeatLevel = 70;
    Select(studioC);
    ASSERT_EQ(store.SaveStudioFile(QStringLiteral("Two lights")), 1);

    const QByteArray text = ReadFile(QStringLiteral("Two lights"));
    EXPECT_TRUE(
        text.contains("<Studio nStudioNum=\"2\" sStudioName=\"Studio C\" nChItemCnt=\"2\">"));
    EXPECT_LT(text.indexOf("nChNum=\"2\""), text.indexOf("nChNum=\"7\""));

    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("Two lights")), 1);
    const StudioData& file = *model.pFileStudio;
    EXPECT_EQ(file.nChItemCnt, 2);
    for (const StrobeData* original : {two, seven}) {
        const StrobeData* loaded = file.Unit(original->nChNum);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->Settings(), original->Settings());
        EXPECT_EQ(loaded->sModelName, original->sModelName);
        EXPECT_EQ(loaded->sLightName, original->sLightName);
        EXPECT_EQ(loaded->sChName, original->sChName);
        EXPECT_EQ(loaded->bSelected, 0);
        EXPECT_EQ(loaded->nHeatLevel, 0);
    }
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(StudioFileStoreTest, NamesThatXmlReadersAlterReadBackExactly) {
    StudioData& studioD = *model.pStudio[3];
    const QString names[] = {
        QStringLiteral("line\rbreak"),
        QStringLiteral("   "),
        QStringLiteral("\t"),
        QString::fromUtf8("\xc2\xa0"),  // a no-break space alone
        QString::fromUtf8("Sun \xf0\x9f\x8c\x9e"),
        QStringLiteral(" padded "),
        QStringLiteral("a]]>b"),
    };
    int slot = 0;
    for (const QString& name : names) {
        StrobeData* unit = AddUnit(studioD, slot++);
        unit->sLightName = name;
        unit->sModelName = name;
    }
    Select(studioD);
    ASSERT_EQ(store.SaveStudioFile(QStringLiteral("Odd names")), 1);
    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("Odd names")), 1);
    for (int i = 0; i < slot; ++i) {
        const StrobeData* loaded = model.pFileStudio->Unit(i);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->sLightName, names[i]) << i;
        EXPECT_EQ(loaded->sModelName, names[i]) << i;
    }
}

TEST_F(StudioFileStoreTest, NamesAFileCannotCarryAreRefusedAndTheOldFileKept) {
    StudioData& studioE = *model.pStudio[4];
    StrobeData* unit = AddUnit(studioE, 1);
    Select(studioE);
    ASSERT_EQ(store.SaveStudioFile(QStringLiteral("Kept")), 1);
    const QByteArray before = ReadFile(QStringLiteral("Kept"));
    const QString unsavable[] = {QStringLiteral("bell\a"),
                                 QString(QChar(0xD800)) + QStringLiteral("x"),
                                 QString(QChar(0xFFFF))};
    for (const QString& name : unsavable) {
        boxes.texts.clear();
        unit->sLightName = name;
        EXPECT_EQ(store.SaveStudioFile(QStringLiteral("Kept")), 0);
        EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
        unit->sLightName = QStringLiteral("Not define");
        unit->sModelName = name;
        boxes.texts.clear();
        EXPECT_EQ(store.SaveStudioFile(QStringLiteral("Kept")), 0);
        EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
        unit->sModelName = QStringLiteral("Not define");
    }
    EXPECT_EQ(ReadFile(QStringLiteral("Kept")), before);
}

TEST_F(StudioFileStoreTest, SavingWithoutUnitsOrSelectionWritesNothing) {
    Select(*model.pStudio[0]);
    EXPECT_EQ(store.SaveStudioFile(QStringLiteral("Empty")), 1);
    model.pSelTag = nullptr;
    EXPECT_EQ(store.SaveStudioFile(QStringLiteral("Empty")), 1);
    EXPECT_EQ(boxes.texts, QStringList({"No channel item.", "No channel item."}));
    EXPECT_EQ(boxes.captions.value(0), "Orvane");
    EXPECT_FALSE(QFile::exists(store.PathForTitle(QStringLiteral("Empty"))));
}

TEST_F(StudioFileStoreTest, SaveReplacesAnExistingFileAndEmptyTitleNamesDotXml) {
    StudioData& studioA = *model.pStudio[0];
    StrobeData* unit = AddUnit(studioA, 5);
    Select(studioA);
    unit->nFlashValue = 30;
    ASSERT_EQ(store.SaveStudioFile(QString()), 1);
    unit->nFlashValue = 60;
    ASSERT_EQ(store.SaveStudioFile(QString()), 1);
    EXPECT_TRUE(QFile::exists(QDir(scratch.path()).filePath("Business Memory/.xml")));
    EXPECT_TRUE(ReadFile(QString()).contains("<nFlashValue>60</nFlashValue>"));
    EXPECT_EQ(store.ListStudioFiles(), QStringList({""}));
}

TEST_F(StudioFileStoreTest, SaveCutShortByAFullDiskLeavesTheOldSetupIntact) {
    StudioData& studioA = *model.pStudio[0];
    AddUnit(studioA, 0)->nFlashValue = 42;
    Select(studioA);
    ASSERT_EQ(store.SaveStudioFile(QStringLiteral("Kept")), 1);
    const QByteArray before = ReadFile(QStringLiteral("Kept"));

    // A file-size limit makes the write fail part-way, as a full disk would, even for root.
    for (int slot = 1; slot < kSlotCount; ++slot) {
        AddUnit(studioA, slot);
    }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(before.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = store.SaveStudioFile(QStringLiteral("Kept"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
    EXPECT_EQ(ReadFile(QStringLiteral("Kept")), before);
    EXPECT_EQ(QDir(scratch.path()).entryList({"Business Memory/*"}, QDir::Files).size(), 0);
    EXPECT_EQ(store.ListStudioFiles(), QStringList({"Kept"}));
}

TEST_F(StudioFileStoreTest, SaveIntoAFolderThatIsAFileFails) {
    QDir(scratch.path()).rmdir(StudioFileStore::kFolderName);
    QFile blocker(QDir(scratch.path()).filePath(StudioFileStore::kFolderName));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AddUnit(*model.pStudio[0], 0);
    Select(*model.pStudio[0]);
    EXPECT_EQ(store.SaveStudioFile(QStringLiteral("Any")), 0);
    EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
}

TEST_F(StudioFileStoreTest, TitlesThatAreNotPlainNamesAreRefused) {
    AddUnit(*model.pStudio[0], 0);
    Select(*model.pStudio[0]);
    WriteFile(QStringLiteral("Good"), StudioFile(Strobe("nChNum=\"1\"", 50, "x")));
    QFile outside(QDir(scratch.path()).filePath("outside.xml"));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    outside.write(StudioFile(Strobe("nChNum=\"1\"", 50, "x")));
    outside.close();
    for (const QString& title :
         {QStringLiteral("../outside"), QStringLiteral("a/b"), QStringLiteral("..\\outside"),
          QStringLiteral(".."), QStringLiteral("bad\nname"), QStringLiteral("tab\tname")}) {
        boxes.texts.clear();
        EXPECT_EQ(store.SaveStudioFile(title), 0) << title.toStdString();
        EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
        boxes.texts.clear();
        EXPECT_EQ(store.LoadStudioFile(title), 0) << title.toStdString();
        EXPECT_EQ(boxes.texts, QStringList({"Fail to open file"}));
    }
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 0);
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::Files), QStringList({"outside.xml"}));
    EXPECT_EQ(store.ListStudioFiles(), QStringList({"Good"}));
}

TEST_F(StudioFileStoreTest, ListingCreatesTheMissingFolderAndListsOnlyXmlTitlesSorted) {
    QDir(scratch.path()).rmdir(StudioFileStore::kFolderName);
    EXPECT_TRUE(store.ListStudioFiles().isEmpty());
    EXPECT_TRUE(QFileInfo(QDir(scratch.path()).filePath("Business Memory")).isDir());
    for (const char* name : {"b.xml", "A.xml", "notes.txt", "My.Setup.xml", "c.XML"}) {
        QFile f(QDir(scratch.path()).filePath(QStringLiteral("Business Memory/") + name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QDir(scratch.path()).mkpath("Business Memory/folder.xml");
    EXPECT_EQ(store.ListStudioFiles(), QStringList({"A", "b", "My.Setup"}));
}

TEST_F(StudioFileStoreTest, LoadTakesValuesByPositionAndKeepsDefaultsForMissingAttributes) {
    WriteFile(QStringLiteral("Loose"),
              "<StudioManage><Whatever><Unit sModelName=\"Key\">"
              "<a> 55x</a><b>1</b><c>7</c><d>0</d><e>-3</e><f>500</f><g></g><h>+1</h><i>0</i>"
              "<j>Fill light</j><k>ignored</k></Unit></Whatever></StudioManage>");
    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("Loose")), 1);
    const StrobeData* unit = model.pFileStudio->Unit(0);  // no nChNum: slot 0
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->sModelName, "Key");
    const StrobeSettings expected{55, 1, 7, 0, -3, 500, 0, 1, 0};
    EXPECT_EQ(unit->Settings(), expected);
    EXPECT_EQ(unit->sLightName, "Fill light");
    EXPECT_EQ(unit->sChName, "CH-01");

    WriteFile(QStringLiteral("NoName"), StudioFile(Strobe("nChNum=\"4\"", 60, "x")));
    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("NoName")), 1);
    EXPECT_EQ(model.pFileStudio->Unit(4)->sModelName, "Not define");
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(StudioFileStoreTest, LaterDuplicateWinsAndSlotsOutsideTheStudioAreDropped) {
    WriteFile(QStringLiteral("Dup"),
              StudioFile(Strobe("nChNum=\"3\"", 30, "first") + Strobe("nChNum=\"12\"", 40, "x") +
                         Strobe("nChNum=\"-1\"", 41, "y") + Strobe("nChNum=\"3\"", 33, "second")));
    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("Dup")), 1);
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 1);
    ASSERT_NE(model.pFileStudio->Unit(3), nullptr);
    EXPECT_EQ(model.pFileStudio->Unit(3)->sLightName, "second");
    EXPECT_EQ(model.pFileStudio->Unit(3)->nFlashValue, 33);
}

TEST_F(StudioFileStoreTest, SeveralStudioElementsMergeAndAnEmptyStudioLoadsNothing) {
    WriteFile(QStringLiteral("Two"), "<StudioManage><Studio>" + Strobe("nChNum=\"1\"", 20, "a") +
                                         "</Studio><Studio>" + Strobe("nChNum=\"8\"", 21, "b") +
                                         "</Studio></StudioManage>");
    ASSERT_EQ(store.LoadStudioFile(QStringLiteral("Two")), 1);
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 2);

    model.ClearStudio(*model.pFileStudio);
    WriteFile(QStringLiteral("Empty"), StudioFile(""));
    EXPECT_EQ(store.LoadStudioFile(QStringLiteral("Empty")), 1);
    EXPECT_EQ(model.pFileStudio->nChItemCnt, 0);
}

TEST_F(StudioFileStoreTest, BrokenFilesFailWithOneMessageAndKeepUnitsPlacedBefore) {
    struct Case {
        const char* title;
        QByteArray content;
        int unitsAfter;
    };
    const Case cases[] = {
        {"Case",
         "<studiomanage><Studio>" + Strobe("nChNum=\"1\"", 20, "a") + "</Studio></studiomanage>",
         0},
        {"Broken", "<StudioManage><Studio>", 0},
        {"NotXml", "just text", 0},
        {"Short",
         StudioFile(Strobe("nChNum=\"2\"", 20, "a") +
                    "<Strobe nChNum=\"5\"><v>1</v><v>2</v></Strobe>" +
                    Strobe("nChNum=\"6\"", 20, "never")),
         1},
    };
    for (const Case& c : cases) {
        model.ClearStudio(*model.pFileStudio);
        boxes.texts.clear();
        WriteFile(QString::fromLatin1(c.title), c.content);
        EXPECT_EQ(store.LoadStudioFile(QString::fromLatin1(c.title)), 0) << c.title;
        EXPECT_EQ(boxes.texts, QStringList({"Fail to open file"})) << c.title;
        EXPECT_EQ(model.pFileStudio->nChItemCnt, c.unitsAfter) << c.title;
    }
    boxes.texts.clear();
    EXPECT_EQ(store.LoadStudioFile(QStringLiteral("Missing")), 0);
    EXPECT_EQ(boxes.texts, QStringList({"Fail to open file"}));
}
