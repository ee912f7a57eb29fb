// Who gets in, and what is turned away at the door: the token file, the token on every request,
// bodies and heads beyond their limits, and titles that would leave the setups' folder.

#include "RemoteRig.h"

#include "model/StudioModel.h"
#include "remote/RemoteEndpoint.h"
#include "remote/RemoteToken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orvane::remote::test {
namespace {

mode_t ModeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

TEST(RemoteTokenTest, IsCreatedPrivateOnceAndRefusedWhenOthersMayReadIt) {
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("config/orvane/remote-token"));
    QString reason;
    const std::optional<QByteArray> token = RemoteToken::ReadOrCreate(path, reason);
    ASSERT_TRUE(token) << reason.toStdString();
    EXPECT_EQ(token->size(), 2 * RemoteToken::kRandomBytes);
    EXPECT_TRUE(QByteArray::fromHex(*token).toHex() == *token);
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ModeOf(QFileInfo(path).path()), 0700u);
    EXPECT_EQ(RemoteToken::ReadOrCreate(path, reason), token);
    const QString other = home.filePath(QStringLiteral("other"));
    EXPECT_NE(RemoteToken::ReadOrCreate(other, reason), token);

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_FALSE(RemoteToken::Read(path, reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("chmod 600"))) << reason.toStdString();
    // Not through a link, nor a token too short to be one.
    ASSERT_TRUE(QFile::link(other, home.filePath(QStringLiteral("link"))));
    EXPECT_FALSE(RemoteToken::Read(home.filePath(QStringLiteral("link")), reason));
    QFile shortToken(home.filePath(QStringLiteral("short")));
    ASSERT_TRUE(shortToken.open(QIODevice::WriteOnly));
    shortToken.write("abc\n");
    shortToken.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    shortToken.close();
    EXPECT_FALSE(RemoteToken::Read(shortToken.fileName(), reason));

    EXPECT_TRUE(RemoteToken::Matches(*token, *token));
    EXPECT_FALSE(RemoteToken::Matches(token->left(63), *token));
    EXPECT_FALSE(RemoteToken::Matches(*token + "0", *token));
    EXPECT_FALSE(RemoteToken::Matches({}, {}));
}

TEST(RemoteEndpointTest, ReadsAPortOrAnAddressWithItsPort) {
    const auto parsed = [](const char* text) {
        const auto endpoint = RemoteEndpoint::Parse(QString::fromLatin1(text));
        return endpoint ? endpoint->ToString().toStdString() : std::string("refused");
    };
    EXPECT_EQ(parsed("8717"), "127.0.0.1:8717");
    EXPECT_EQ(parsed("0.0.0.0:80"), "0.0.0.0:80");
    EXPECT_EQ(parsed("[::1]:9000"), "[::1]:9000");
    for (const char* wrong : {"", "x", "70000", "-1", "::1:80", "1.2.3:80", "host:80", ":80"}) {
        EXPECT_EQ(parsed(wrong), "refused") << wrong;
    }
}

class RemoteSecurityTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Start()); }

    QByteArray Select(const QByteArray& authorization) const {
        return rig.Request("POST", "studios/B/select", {}, authorization);
    }

    RemoteRig rig;
};

TEST_F(RemoteSecurityTest, WithoutTheRightTokenNothingHappens) {
    for (const QByteArray& authorization :
         {QByteArray(), QByteArray("Bearer"), "Bearer " + rig.token.left(63),
          "Bearer " + rig.token + "0", "Basic " + rig.token, "Token " + rig.token}) {
        const Response r = rig.Raw(Select(authorization));
        EXPECT_EQ(r.status, 401) << authorization.toStdString();
        EXPECT_TRUE(r.HasHeader("WWW-Authenticate"));
        EXPECT_FALSE(r.body.contains(rig.token));
    }
    // Unknown paths too: nobody learns what is there without the token.
    EXPECT_EQ(rig.Raw(rig.Request("GET", "no/such", {}, {})).status, 401);
    EXPECT_EQ(rig.frame->Model().pSelTag, nullptr);
    EXPECT_EQ(rig.Raw(Select("bearer  " + rig.token)).status, 200);
}

TEST_F(RemoteSecurityTest, BodiesAndHeadsBeyondTheLimitsAreTurnedAwayUnread) {
    const QByteArray auth = "Authorization: Bearer " + rig.token + "\r\n";
    const QByteArray start =
        "PATCH /api/v1/studios/A/units/1 HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth;
    EXPECT_EQ(rig.Raw(start + "Content-Length: 70000\r\n\r\n{\"flash\":").status, 413);
    EXPECT_EQ(rig.Raw(start + "Transfer-Encoding: chunked\r\n\r\n5\r\n{...}\r\n0\r\n\r\n").status,
              411);
    EXPECT_EQ(rig.Raw(start + "Content-Length: 2, 3\r\n\r\n{}").status, 400);
    EXPECT_EQ(rig.Raw(start + "X-Filler: " + QByteArray(17000, 'x') + "\r\n\r\n").status, 431);
    // A body of exactly 64 KiB is still read, and judged on its content.
    const QByteArray full = "{}" + QByteArray(64 * 1024 - 2, ' ');
    const Response read = rig.Raw(start + "Content-Length: 65536\r\n\r\n" + full);
    EXPECT_EQ(read.status, 400);
    EXPECT_EQ(read.Error(), QStringLiteral("nothing to change"));
    EXPECT_TRUE(rig.NothingWritten());
}

TEST_F(RemoteSecurityTest, AnswersCarryNoCrossOriginHeadersAndOneConnectionOneRequest) {
    const QByteArray auth = "Authorization: Bearer " + rig.token + "\r\n";
    const Response r =
        rig.Raw("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://elsewhere\r\n" +
                auth + "\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_FALSE(r.head.toLower().contains("access-control"));
    EXPECT_EQ(
        rig.Raw("OPTIONS /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\nOrigin: http://elsewhere\r\n"
                "Access-Control-Request-Method: PATCH\r\n\r\n")
            .status,
        401);
    // A second request sent along with the first is not taken.
    rig.Raw(Select("Bearer " + rig.token) +
            rig.Request("POST", "studios/C/select", {}, "Bearer " + rig.token));
    EXPECT_EQ(rig.frame->Model().SelectedStudio(), &rig.Studio(1));
}

TEST_F(RemoteSecurityTest, TitlesThatWouldLeaveTheFolderAreRefused) {
    for (const QByteArray title : {"a%2Fb", "%2E%2E", "..%2Fescape", "a%5Cb", "%0Aline", "x/y"}) {
        const Response r = rig.Call("PUT", "setups/" + title);
        EXPECT_EQ(r.status, title == "x/y" ? 404 : 400) << title.toStdString();
        EXPECT_EQ(rig.Call("GET", "setups/" + title).status, title == "x/y" ? 404 : 400);
    }
    const QDir folder(rig.folder.path());
    EXPECT_FALSE(folder.exists(QStringLiteral("escape.xml")));
    EXPECT_TRUE(QDir(folder.filePath(QStringLiteral("Business Memory"))).isEmpty());
}

TEST_F(RemoteSecurityTest, AStartOnAWideTokenFileOrABusyPortLeavesTheInterfaceOff) {
    QTemporaryDir other;
    const QString path = other.filePath(QStringLiteral("remote-token"));
    QFile wide(path);
    ASSERT_TRUE(wide.open(QIODevice::WriteOnly));
    wide.write(QByteArray(40, 'a'));
    wide.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    CRemoteControl::Options options;
    options.endpoint.port = 0;
    options.tokenPath = path;
    CRemoteControl widely(options);
    QString reason;
    EXPECT_FALSE(widely.Start(rig.Program(), reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("chmod 600"))) << reason.toStdString();
    EXPECT_FALSE(widely.IsListening());

    options.endpoint.port = rig.remote->Port();
    options.tokenPath = rig.folder.filePath(QStringLiteral("config/orvane/remote-token"));
    CRemoteControl twice(options);
    EXPECT_FALSE(twice.Start(rig.Program(), reason));
    EXPECT_TRUE(reason.startsWith(QStringLiteral("cannot listen on 127.0.0.1:")))
        << reason.toStdString();
    EXPECT_EQ(rig.Call("GET", "status").status, 200);
}

}  // namespace
}  // namespace orvane::remote::test
