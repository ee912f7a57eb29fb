#include "shell/LumoraDoc.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The recent-file list lives in the user's settings: point them at a scratch folder.
class LumoraDocTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("OrvaneTest"));
        QCoreApplication::setApplicationName(QStringLiteral("LumoraDocTest"));
        QSettings().clear();
    }

    QString MakeFile(const QString& name) const {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("anything");
        return path;
    }

    QTemporaryDir settingsDir;
    QTemporaryDir files;
    CLumoraDoc document;
};

}  // namespace

TEST_F(LumoraDocTest, RecentListKeepsFourMostRecentFirstWithoutDuplicates) {
    QStringList paths;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        paths.append(MakeFile(QString::fromLatin1(name)));
        ASSERT_TRUE(document.OnOpenDocument(paths.back()));
    }
    EXPECT_EQ(document.RecentFiles(), QStringList({paths[4], paths[3], paths[2], paths[1]}));
    ASSERT_TRUE(document.OnOpenDocument(paths[2]));
    EXPECT_EQ(document.RecentFiles(), QStringList({paths[2], paths[4], paths[3], paths[1]}));
    // Kept in the settings, so a new run sees the same list.
    EXPECT_EQ(CLumoraDoc().RecentFiles(), document.RecentFiles());
}

TEST_F(LumoraDocTest, OpeningReadsNothingAndAMissingFileIsRefused) {
    const QString path = MakeFile(QStringLiteral("kept"));
    ASSERT_TRUE(document.OnOpenDocument(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "anything");
    EXPECT_FALSE(document.OnOpenDocument(files.filePath(QStringLiteral("missing"))));
    EXPECT_EQ(document.RecentFiles(), QStringList({path}));
}

TEST_F(LumoraDocTest, SavingWritesAnEmptyDocumentAndListsIt) {
    const QString path = files.filePath(QStringLiteral("saved.doc"));
    ASSERT_TRUE(document.OnSaveDocument(path));
    EXPECT_EQ(QFile(path).size(), 0);
    EXPECT_EQ(document.RecentFiles(), QStringList({path}));
    EXPECT_FALSE(document.OnSaveDocument(files.filePath(QStringLiteral("no/such/folder/x"))));
    EXPECT_EQ(document.RecentFiles().size(), 1);
}
