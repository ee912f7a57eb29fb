// What comes from outside and must not be taken as it stands: a token file that is no private
// file of this user's, an address in digits of another script, a setup title that is no file
// name, a body that names a key twice; and how the start of the interface is told in the window.

#include "RemoteRig.h"

#include "remote/RemoteEndpoint.h"
#include "remote/RemoteJson.h"
#include "remote/RemoteNotice.h"
#include "remote/RemoteToken.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace orvane::remote::test {
namespace {

constexpr uid_t kNobody = 65534;

QByteArray Path(const QString& path) {
    return QFile::encodeName(path);
}

// A token file with a good token, of the mode given.
QString WriteToken(const QString& path, mode_t mode) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(40, 'a') + '\n');
    file.close();
    EXPECT_EQ(::chmod(Path(path).constData(), mode), 0);
    return path;
}

class TokenFileTest : public ::testing::Test {
protected:
    // Refused, at once, with the path and the words given in the reason.
    void ExpectRefused(const QString& path, const QString& words) {
        QElapsedTimer clock;
        clock.start();
        QString reason;
        EXPECT_FALSE(RemoteToken::ReadOrCreate(path, reason)) << path.toStdString();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_TRUE(reason.contains(words)) << reason.toStdString();
        EXPECT_TRUE(reason.contains(QFileInfo(path).path())) << reason.toStdString();
    }
    QString In(const QString& name) const { return home.filePath(name); }

    QTemporaryDir home;
};

TEST_F(TokenFileTest, AFifoALinkOrAWideFileIsRefusedAtOnce) {
    ASSERT_EQ(::mkdir(Path(In("a")).constData(), 0700), 0);
    ASSERT_EQ(::mkfifo(Path(In("a/fifo")).constData(), 0600), 0);
    ExpectRefused(In("a/fifo"), QStringLiteral("not a regular file"));
    WriteToken(In("a/token"), 0600);
    ASSERT_TRUE(QFile::link(In("a/token"), In("a/link")));
    ExpectRefused(In("a/link"), QStringLiteral("symbolic link"));
    WriteToken(In("a/wide"), 0644);
    ExpectRefused(In("a/wide"), QStringLiteral("chmod 600"));
    QString reason;
    EXPECT_TRUE(RemoteToken::ReadOrCreate(In("a/token"), reason)) << reason.toStdString();
}

TEST_F(TokenFileTest, TheFolderMustBeThisUsersOwnPrivateFolderAndNoLink) {
    ASSERT_EQ(::mkdir(Path(In("open")).constData(), 0755), 0);
    ASSERT_EQ(::chmod(Path(In("open")).constData(), 0755), 0);
    ExpectRefused(In("open/remote-token"), QStringLiteral("chmod 700"));
    EXPECT_FALSE(QFile::exists(In("open/remote-token")));
    ASSERT_EQ(::mkdir(Path(In("private")).constData(), 0700), 0);
    ASSERT_TRUE(QFile::link(In("private"), In("linked")));
    ExpectRefused(In("linked/remote-token"), QStringLiteral("symbolic link"));
    // Created where missing, private.
    QString reason;
    EXPECT_TRUE(RemoteToken::ReadOrCreate(In("new/orvane/remote-token"), reason));
    struct stat info {};
    ASSERT_EQ(::lstat(Path(In("new/orvane")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // orvane-ctl holds the default file to the same rules.
    EXPECT_TRUE(RemoteToken::ReadInPrivateFolder(In("new/orvane/remote-token"), reason));
    WriteToken(In("open/remote-token"), 0600);
    EXPECT_FALSE(RemoteToken::ReadInPrivateFolder(In("open/remote-token"), reason));
}

TEST_F(TokenFileTest, AFolderOrAFileOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a folder of another user needs root";
    }
    ASSERT_EQ(::mkdir(Path(In("theirs")).constData(), 0700), 0);
    ASSERT_EQ(::chown(Path(In("theirs")).constData(), kNobody, kNobody), 0);
    ExpectRefused(In("theirs/remote-token"), QStringLiteral("another user"));
    ASSERT_EQ(::mkdir(Path(In("mine")).constData(), 0700), 0);
    WriteToken(In("mine/remote-token"), 0600);
    ASSERT_EQ(::chown(Path(In("mine/remote-token")).constData(), kNobody, kNobody), 0);
    ExpectRefused(In("mine/remote-token"), QStringLiteral("another user"));
}

TEST(RemoteEndpointInputTest, OnlyAsciiDigitsAndPortsFromOne) {
    for (const char* wrong : {"127.0.0.1:٨٧١٧", "٨٧١٧", "0", "127.0.0.1:0", "65536",
                              "１２７.0.0.1:80", "127.0.0.1:+80"}) {
        EXPECT_FALSE(RemoteEndpoint::Parse(QString::fromUtf8(wrong))) << wrong;
    }
    EXPECT_EQ(RemoteEndpoint::Parse(QStringLiteral("65535"))->port, 65535);
    EXPECT_TRUE(RemoteEndpoint::Parse(QStringLiteral("1"))->ExposureWarning().isEmpty());
    EXPECT_TRUE(RemoteEndpoint::Parse(QStringLiteral("[::1]:80"))->ExposureWarning().isEmpty());
    const QString warning = RemoteEndpoint::Parse(QStringLiteral("0.0.0.0:80"))->ExposureWarning();
    EXPECT_TRUE(warning.contains(QStringLiteral("anyone on that network who holds the token")));
}

TEST(RemoteJsonTest, ABodyThatNamesAKeyTwiceIsRefused) {
    const auto reason = [](const char* body) {
        QString why;
        return RemoteJson::StrictObject(QByteArray(body), why) ? std::string("taken")
                                                               : why.toStdString();
    };
    EXPECT_EQ(reason(R"({"flash": 5.5, "flash": 6})"),
              "the body holds the key \"flash\" more than once");
    EXPECT_EQ(reason(R"({"fl\u0061sh": 5.5, "flash": 6})"),
              "the body holds the key \"flash\" more than once");
    EXPECT_EQ(reason(R"({"a": {"b": 1, "b": 2}})"), "the body holds the key \"b\" more than once");
    // The same key in different objects, or as a value, is no repetition.
    EXPECT_EQ(reason(R"({"a": {"b": 1}, "c": [{"b": 2}, "b"], "d": "a"})"), "taken");
    EXPECT_EQ(reason(R"({"a\"": 1, "a": 2})"), "taken");
    EXPECT_EQ(reason("[1]"), "the body must be a JSON object");
}

class RemoteInputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Start()); }

    RemoteNotice::Window Notice() {
        return {[this](const QString& text, const QString& details) {
                    rig.frame->ShowRemoteState(text, details);
                },
                rig.boxes, *rig.frame};
    }

    RemoteRig rig;
};

TEST_F(RemoteInputTest, TitlesThatAreNoFileNameAndRepeatedKeysAnswer400) {
    ASSERT_TRUE(rig.Scan('A', {{0, 56, 41}}));
    const QByteArray tooLong(300, 'x');
    for (const QByteArray& title : {QByteArray("."), QByteArray("%2E"), tooLong}) {
        const Response r = rig.Call("PUT", "setups/" + title);
        EXPECT_EQ(r.status, 400) << title.toStdString();
        EXPECT_FALSE(r.Error().isEmpty());
    }
    EXPECT_TRUE(rig.Call("PUT", "setups/" + tooLong).Error().contains(QStringLiteral("too long")));
    EXPECT_TRUE(QDir(rig.folder.filePath(QStringLiteral("Business Memory"))).isEmpty());
    EXPECT_EQ(rig.Call("PUT", "setups/" + QByteArray(251, 'y')).status, 200);

    const Response twice = rig.Call("PATCH", "studios/A/units/1", R"({"flash":5.5,"flash":6.0})");
    EXPECT_EQ(twice.status, 400);
    EXPECT_TRUE(twice.Error().contains(QStringLiteral("more than once")));
    EXPECT_TRUE(rig.NothingWritten());
}

TEST_F(RemoteInputTest, TheWindowTellsWhereTheInterfaceListensOrWhyItIsOff) {
    const QString listening = RemoteNotice::Listening(Notice(), *rig.remote);
    EXPECT_TRUE(
        listening.startsWith(QStringLiteral("orvane: remote interface on http://127.0.0.1:")));
    EXPECT_EQ(rig.frame->RemoteState()->text(), QStringLiteral("Remote on"));

    CRemoteControl::Options options;
    options.endpoint = *RemoteEndpoint::Parse(QStringLiteral("0.0.0.0:1"));
    options.endpoint.port = 0;
    options.tokenPath = rig.folder.filePath(QStringLiteral("config/orvane/remote-token"));
    CRemoteControl network(options);
    QString reason;
    ASSERT_TRUE(network.Start(rig.Program(), reason)) << reason.toStdString();
    EXPECT_TRUE(RemoteNotice::Listening(Notice(), network)
                    .contains(QStringLiteral("warning: the remote interface listens on 0.0.0.0")));
    EXPECT_TRUE(rig.frame->RemoteState()->toolTip().contains(QStringLiteral("holds the token")));

    const QString off = RemoteNotice::Off(Notice(), QStringLiteral("cannot listen on <b>x</b>"));
    EXPECT_EQ(off,
              QStringLiteral("orvane: the remote interface is off: cannot listen on <b>x</b>\n"));
    EXPECT_EQ(rig.frame->RemoteState()->text(), QStringLiteral("Remote off"));
    EXPECT_TRUE(rig.frame->RemoteState()->toolTip().contains(QStringLiteral("&lt;b&gt;")));
    // Once, in a box, when the window takes events.
    EXPECT_TRUE(rig.boxes.texts.isEmpty());
    QTest::qWait(20);
    EXPECT_EQ(
        rig.boxes.texts,
        QStringList{QStringLiteral("The remote interface is off: cannot listen on <b>x</b>.")});
}

}  // namespace
}  // namespace orvane::remote::test
