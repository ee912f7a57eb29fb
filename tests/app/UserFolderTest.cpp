#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/UserFolder.h"

namespace {

// Each case changes the process's working folder; the next one must not start from there.
class UserFolderTest : public ::testing::Test {
protected:
    void TearDown() override { QDir::setCurrent(startFolder_); }

    QTemporaryDir home_;
    QString folder_ = QDir(home_.path()).filePath(QStringLiteral("Orvane"));

private:
    QString startFolder_ = QDir::currentPath();
};

TEST_F(UserFolderTest, CreatesTheMissingFolderAndWorksInIt) {
    QString error;
    ASSERT_TRUE(UserFolder::Enter(home_.path(), error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(folder_).isDir());
    EXPECT_EQ(QDir::currentPath(), QFileInfo(folder_).canonicalFilePath());
}

TEST_F(UserFolderTest, WorksInAnExistingFolderAndKeepsItsFiles) {
    ASSERT_TRUE(QDir(home_.path()).mkpath(QStringLiteral("Orvane/Business Memory")));
    QFile option(QDir(folder_).filePath(QStringLiteral("Option.xml")));
    ASSERT_TRUE(option.open(QIODevice::WriteOnly));
    option.write("<Option/>");
    option.close();

    QString error;
    ASSERT_TRUE(UserFolder::Enter(home_.path(), error));
    EXPECT_EQ(QDir::currentPath(), QFileInfo(folder_).canonicalFilePath());
    EXPECT_EQ(QFileInfo(QStringLiteral("Option.xml")).size(), 9);
    EXPECT_TRUE(QFileInfo(QStringLiteral("Business Memory")).isDir());
}

TEST_F(UserFolderTest, AFileInTheWayIsRefusedWithAReasonAndLeftAlone) {
    QFile inTheWay(folder_);
    ASSERT_TRUE(inTheWay.open(QIODevice::WriteOnly));
    inTheWay.write("notes");
    inTheWay.close();
    const QString before = QDir::currentPath();

    QString error;
    EXPECT_FALSE(UserFolder::Enter(home_.path(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(QDir::currentPath(), before);
    EXPECT_EQ(QFileInfo(folder_).size(), 5);
}

}  // namespace
