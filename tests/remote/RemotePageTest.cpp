// The phone page's files as the interface serves them, and the Host check that keeps a page of
// another site from reaching the interface under a name it made to point here.

#include "RemoteRig.h"
#include "remote/HostCheck.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonObject>
#include <QRegularExpression>
#include <QToolBar>

namespace orvane::remote::test {
namespace {

TEST(HostCheckTest, TakesOnlyTheNamesAndAddressesOfThisServer) {
    CHostCheck check(QStringList{"localhost", "studio-pc", "127.0.0.1", "::1"}, 8717);
    for (const char* host : {"127.0.0.1:8717", "localhost:8717", "LOCALHOST:8717", "studio-pc",
                             "studio-pc.:8717", "[::1]:8717", "127.0.0.1"}) {
        EXPECT_TRUE(check.Accepts(host)) << host;
    }
    for (const char* host :
         {"", ":8717", "evil.example:8717", "127.0.0.1:8718", "127.0.0.1.evil.example:8717",
          "localhost:8717@evil", "[::1:8717", "[::1]x", "::1", "studio-pc:80:8717"}) {
        EXPECT_FALSE(check.Accepts(host)) << host;
    }
}

TEST(HostCheckTest, AWildcardTakesEveryAddressOfTheMachineAndOneAddressOnlyItself) {
    const QStringList all = CHostCheck::HostsFor(QHostAddress::AnyIPv4);
    EXPECT_TRUE(all.contains(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(all.contains(QStringLiteral("localhost")));
    const QStringList one = CHostCheck::HostsFor(QHostAddress(QStringLiteral("127.0.0.2")));
    EXPECT_TRUE(one.contains(QStringLiteral("127.0.0.2")));
    EXPECT_FALSE(one.contains(QStringLiteral("127.0.0.1")));
}

class RemotePageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Start()); }

    Response Get(const QByteArray& path, const QByteArray& host = "127.0.0.1",
                 const QByteArray& method = "GET") {
        return rig.Raw(method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    }

    static QByteArray Header(const Response& r, const QByteArray& name) {
        for (const QByteArray& line : r.head.split('\n')) {
            if (line.toLower().startsWith(name.toLower() + ':')) {
                return line.mid(name.size() + 1).trimmed();
            }
        }
        return {};
    }

    RemoteRig rig;
};

TEST_F(RemotePageTest, ThePageAndItsFilesComeWithoutTheTokenUnderAStrictPolicy) {
    const Response page = Get("/");
    ASSERT_EQ(page.status, 200);
    EXPECT_TRUE(Header(page, "Content-Type").startsWith("text/html"));
    const QByteArray html = page.body;
    // A strict policy forbids inline code: the page must hold none, nor load anything from afar.
    EXPECT_FALSE(QString::fromUtf8(html).contains(QRegularExpression(
        QStringLiteral("<script(?![^>]*\\bsrc=)|<style|\\sstyle=|\\son[a-z]+="))));
    EXPECT_FALSE(html.contains("http://") || html.contains("https://") || html.contains("//cdn"));
    for (const QByteArray file : {"/app.js", "/app.css", "/icon.svg"}) {
        EXPECT_TRUE(html.contains(file.mid(1))) << file.toStdString();
        EXPECT_EQ(Get(file).status, 200) << file.toStdString();
    }
    EXPECT_EQ(Header(Get("/app.js"), "Content-Type"), "text/javascript; charset=utf-8");
    // Its files, the routes' answers and their refusals all carry the same headers.
    for (const Response& r : {page, Get("/app.css"), rig.Call("GET", "status"),
                              Get("/api/v1/status"), Get("/nothing")}) {
        EXPECT_EQ(Header(r, "Content-Security-Policy"), "default-src 'self'");
        EXPECT_EQ(Header(r, "X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(Header(r, "Referrer-Policy"), "no-referrer");
        EXPECT_FALSE(r.head.toLower().contains("access-control"));
    }
    EXPECT_EQ(Get("/api/v1/status").status, 401);
    EXPECT_EQ(Get("/nothing").status, 404);
    EXPECT_EQ(Get("/", "127.0.0.1", "POST").status, 405);
}

TEST_F(RemotePageTest, ARequestNamingAnotherHostIsRefusedBeforeAnythingIsDone) {
    const QByteArray select =
        "POST /api/v1/studios/C/select HTTP/1.1\r\nAuthorization: Bearer " + rig.token + "\r\n";
    for (const QByteArray& host : {QByteArray("Host: rebound.example\r\n"), QByteArray()}) {
        const Response r = rig.Raw(select + host + "\r\n");
        EXPECT_EQ(r.status, 421) << host.toStdString();
        EXPECT_FALSE(r.Error().isEmpty());
    }
    EXPECT_EQ(rig.frame->Model().pSelTag, nullptr);
    EXPECT_EQ(Get("/", "rebound.example").status, 421);
    EXPECT_FALSE(Get("/", "rebound.example").body.contains("<html"));
    EXPECT_EQ(rig.Raw(select + "Host: localhost\r\n\r\n").status, 200);
}

TEST_F(RemotePageTest, ANewTokenUnpairsEveryDeviceAndOnlyTheNetworkIsOfferedToPhones) {
    // On loopback no phone reaches the program: nothing to pair with.
    EXPECT_TRUE(rig.remote->PairingLinks().isEmpty());
    EventStream events(rig);
    ASSERT_TRUE(events.WaitFor("event: status\ndata: {"));
    const QByteArray old = rig.token;
    QString reason;
    ASSERT_TRUE(rig.remote->RenewToken(reason)) << reason.toStdString();
    QFile file(QDir(rig.folder.path()).filePath(QStringLiteral("config/orvane/remote-token")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    rig.token = file.readAll().trimmed();
    EXPECT_NE(rig.token, old);
    EXPECT_EQ(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    EXPECT_EQ(rig.Raw(rig.Request("GET", "status", {}, "Bearer " + old)).status, 401);
    EXPECT_EQ(rig.Call("GET", "status").status, 200);
    // The stream opened with the old token is ended, not left telling.
    ASSERT_TRUE(rig.Scan('A', {{0, 40, 30}}));
    EXPECT_FALSE(events.WaitFor("event: scan", 300));
}

TEST_F(RemotePageTest, ThePhoneButtonComesAfterUndoAndRedoOnlyWhenThePairingIsGiven) {
    EXPECT_EQ(rig.frame->PhoneAction(), nullptr);
    rig.frame->SetPhonePairing({[] { return QStringList(); }, {}, 8717});
    QAction* phone = rig.frame->PhoneAction();
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->text(), QStringLiteral("Phone"));
    const QList<QAction*> actions =
        rig.frame->findChild<QToolBar*>(QStringLiteral("toolbar"))->actions();
    ASSERT_GE(actions.size(), 3);
    EXPECT_EQ(actions.last(), phone);
    EXPECT_EQ(actions[actions.size() - 2], rig.frame->RedoAction());
    EXPECT_EQ(actions[actions.size() - 3], rig.frame->UndoAction());
}

}  // namespace
}  // namespace orvane::remote::test
