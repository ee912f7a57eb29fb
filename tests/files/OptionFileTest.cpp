#include "files/OptionFile.h"
#include "link/PortSettings.h"
#include "support/PortSettingsText.h"
#include "support/RecordingMessageBox.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class OptionFileTest : public ::testing::Test {
protected:
    void Write(const QByteArray& bytes) {
        QFile file(options.Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read() const {
        QFile file(options.Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static PortSettings Marked() {
        PortSettings s;
        s.sPortName = QStringLiteral("KEEP");
        s.nBaudRate = 1234;
        return s;
    }

    QTemporaryDir scratch;
    RecordingMessageBox boxes;
    OptionFile options{&boxes, QDir(scratch.path())};
};

}  // namespace

TEST_F(OptionFileTest, MissingFileLeavesTheDefaults) {
    PortSettings settings;
    EXPECT_EQ(options.LoadOptionFile(settings), 0);
    EXPECT_EQ(SettingsLine(settings), "COM2 9600 8 0 0");
}

TEST_F(OptionFileTest, SavedFileHasTheFixedLayoutAndReadsBack) {
    PortSettings settings;
    settings.sPortName = QStringLiteral("COM3");
    ASSERT_EQ(options.SaveOptionFile(settings), 1);
    EXPECT_EQ(Read(),
              "<?xml version='1.0' encoding='utf-8'?>\n"
              "<Option>\n"
              "\t<ComSet>\n"
              "\t\t<sComPort>COM3</sComPort>\n"
              "\t\t<nBaud>9600</nBaud>\n"
              "\t</ComSet>\n"
              "</Option>");
    settings.sPortName = QStringLiteral("/tmp/a & b/tty");
    settings.nBaudRate = 19200;
    ASSERT_EQ(options.SaveOptionFile(settings), 1);
    PortSettings loaded;
    EXPECT_EQ(options.LoadOptionFile(loaded), 1);
    EXPECT_EQ(loaded.sPortName, settings.sPortName);
    EXPECT_EQ(loaded.nBaudRate, 19200);
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(OptionFileTest, ValuesAreTakenByPositionWhateverTheElementNames) {
    Write(
        "<Option><Any><first> com7 </first><second>19200baud</second><third>x</third></Any>"
        "</Option>");
    PortSettings settings;
    EXPECT_EQ(options.LoadOptionFile(settings), 1);
    EXPECT_EQ(settings.sPortName, " com7 ");  // taken unchanged
    EXPECT_EQ(settings.nBaudRate, 19200);
}

TEST_F(OptionFileTest, MalformedFilesLeaveTheRecordAsItWas) {
    const QByteArray files[] = {
        "<option><ComSet><sComPort>COM7</sComPort><nBaud>4800</nBaud></ComSet></option>",
        "<Option><ComSet><sComPort>COM7</sComPort><nBaud>4800</nBaud></ComSet><More/></Option>",
        "<Option></Option>",
        "<Option><ComSet/></Option>",
        "<Option><ComSet><sComPort>COM7</sComPort>",
        "not xml at all",
        "",
    };
    for (const QByteArray& bytes : files) {
        Write(bytes);
        PortSettings settings = Marked();
        EXPECT_EQ(options.LoadOptionFile(settings), 0) << bytes.constData();
        EXPECT_EQ(settings.sPortName, "KEEP") << bytes.constData();
        EXPECT_EQ(settings.nBaudRate, 1234) << bytes.constData();
    }
}

TEST_F(OptionFileTest, FileEndingAfterThePortNameKeepsThePortName) {
    Write("<Option><ComSet><sComPort>COM9</sComPort></ComSet></Option>");
    PortSettings settings = Marked();
    EXPECT_EQ(options.LoadOptionFile(settings), 0);
    EXPECT_EQ(settings.sPortName, "COM9");
    EXPECT_EQ(settings.nBaudRate, 1234);
}

TEST_F(OptionFileTest, UnwritableFileIsReportedNotClaimedSaved) {
    ASSERT_TRUE(QDir(scratch.path()).mkdir(OptionFile::kFileName));  // a folder in the file's place
    EXPECT_EQ(options.SaveOptionFile(PortSettings{}), 0);
    EXPECT_EQ(boxes.texts, QStringList({"Fail to save file"}));
    EXPECT_EQ(boxes.captions, QStringList({"Orvane"}));
}
