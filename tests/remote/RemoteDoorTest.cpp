// Clients that hold connections without finishing their requests: they must not keep a client
// with the token out, whatever they do. Half heads are dropped oldest first, per peer and when the
// server is full; a head must arrive within its time; event streams have limits of their own.

#include "RemoteRig.h"

#include "remote/GuardedTcpServer.h"
#include "remote/RemoteServer.h"
#include "remote/RequestGuard.h"
#include "remote/WarningThrottle.h"

#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <list>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvane::remote::test {
namespace {

constexpr QByteArrayView kHalfHead = "GET /api/v1/status HTTP/1.1\r\nHost: 127";

// Connections that send half a request head and wait, from one source address.
class HalfHeads {
public:
    HalfHeads(quint16 port, const QHostAddress& from, int count) {
        for (int i = 0; i < count; ++i) {
            QTcpSocket& socket = sockets_.emplace_back();
            socket.bind(from);
            socket.connectToHost(QHostAddress::LocalHost, port);
            socket.write(kHalfHead.toByteArray());
            // One at a time, so the server sees them in this order.
            EXPECT_TRUE(QTest::qWaitFor([&] { return socket.bytesToWrite() == 0; }, 2000));
            QTest::qWait(2);
        }
        QTest::qWait(100);
    }

    // Which of them the server still keeps open, in the order they were made.
    std::vector<bool> Open() {
        QCoreApplication::processEvents();
        std::vector<bool> open;
        for (QTcpSocket& socket : sockets_) {
            open.push_back(socket.state() == QAbstractSocket::ConnectedState);
        }
        return open;
    }
    int OpenCount() {
        const std::vector<bool> open = Open();
        return static_cast<int>(std::count(open.begin(), open.end(), true));
    }
    QTcpSocket& First() { return sockets_.front(); }

private:
    std::list<QTcpSocket> sockets_;
};

// The last `count` are open and all before them closed.
bool NewestOpen(const std::vector<bool>& open, std::size_t count) {
    for (std::size_t i = 0; i < open.size(); ++i) {
        if (open[i] != (i + count >= open.size())) {
            return false;
        }
    }
    return true;
}

class RemoteDoorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Start()); }

    quint16 Port() const { return rig.remote->Port(); }

    RemoteRig rig;
};

TEST_F(RemoteDoorTest, SixtyHalfHeadsDoNotKeepARequestWithTheTokenOut) {
    HalfHeads held(Port(), QHostAddress::LocalHost, 60);
    const Response status = rig.Call("GET", "status");
    EXPECT_EQ(status.status, 200) << status.body.toStdString();
    // One peer keeps at most eight unfinished requests: the newest, never the one coming in.
    const std::vector<bool> open = held.Open();
    EXPECT_TRUE(NewestOpen(open, 7) || NewestOpen(open, 8)) << held.OpenCount();
}

// A connection made and written to with the system's own calls, so that it is there before the
// server's event loop runs again.
class RawConnection {
public:
    RawConnection(quint16 port, QByteArrayView bytes) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        EXPECT_EQ(::send(fd_, bytes.data(), static_cast<size_t>(bytes.size()), 0), bytes.size());
    }
    ~RawConnection() { ::close(fd_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // What the server answered before it closed the connection.
    QByteArray Answer() const {
        QByteArray answer;
        std::array<char, 4096> buffer{};
        const bool closed = QTest::qWaitFor(
            [&] {
                const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
                if (n > 0) {
                    answer.append(buffer.data(), n);
                }
                return n == 0;
            },
            5000);
        EXPECT_TRUE(closed);
        return answer;
    }

private:
    int fd_;
};

TEST_F(RemoteDoorTest, ARequestArrivedWholeIsNotDroppedForHalfHeadsAcceptedInTheSameTurn) {
    const RawConnection valid(Port(), rig.Request("GET", "status", {}, "Bearer " + rig.token));
    std::list<RawConnection> flood;
    for (int i = 0; i < 3 * CGuardedTcpServer::Limits{}.headsMissingPerPeer; ++i) {
        flood.emplace_back(Port(), kHalfHead);
    }
    EXPECT_TRUE(valid.Answer().startsWith("HTTP/1.1 200 "));
}

TEST_F(RemoteDoorTest, OnePeersHalfHeadsDoNotCrowdOutAnothers) {
    const QHostAddress other(QStringLiteral("127.0.0.2"));
    HalfHeads quiet(Port(), other, CGuardedTcpServer::Limits{}.headsMissingPerPeer);
    HalfHeads noisy(Port(), QHostAddress::LocalHost, 30);
    EXPECT_EQ(quiet.OpenCount(), 8);
    EXPECT_EQ(noisy.OpenCount(), 8);
}

TEST_F(RemoteDoorTest, AHeadThatDoesNotArriveInTimeIsAnswered408) {
    HalfHeads held(Port(), QHostAddress::LocalHost, 1);
    QTcpSocket& socket = held.First();
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    // Well before the ten seconds a whole request may take.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !answer.isEmpty(); }, CRequestGuard::kHeadTimeoutMs + 2000));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 408 ")) << answer.toStdString();
}

TEST_F(RemoteDoorTest, EventStreamsAreLimitedPerPeerAndRefusedWithAReason) {
    std::list<EventStream> streams;
    for (int i = 0; i < CRemoteServer::kMaxStreamsPerPeer; ++i) {
        ASSERT_TRUE(streams.emplace_back(rig).WaitFor("event: status"));
    }
    const Response refused = rig.Call("GET", "events");
    EXPECT_EQ(refused.status, 503);
    EXPECT_TRUE(refused.Error().contains(QStringLiteral("from this address")))
        << refused.body.data();
    EXPECT_TRUE(streams.emplace_back(rig, QHostAddress(QStringLiteral("127.0.0.2")))
                    .WaitFor("event: status"));
    streams.pop_front();
    QTest::qWait(50);
    EXPECT_TRUE(streams.emplace_back(rig).WaitFor("event: status"));
}

// The door on its own, with a small server: when it is full, the oldest unfinished connection
// makes room for the new one, from whichever peer it came.
TEST(GuardedTcpServerTest, AFullServerDropsItsOldestUnfinishedConnectionForTheNewOne) {
    CGuardedTcpServer server({4, 8}, nullptr);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    HalfHeads first(server.serverPort(), QHostAddress(QStringLiteral("127.0.0.2")), 2);
    HalfHeads later(server.serverPort(), QHostAddress(QStringLiteral("127.0.0.3")), 4);
    EXPECT_EQ(first.Open(), std::vector<bool>({false, false}));
    EXPECT_EQ(later.OpenCount(), 4);
    EXPECT_EQ(server.OpenConnections(), 4);
}

TEST(GuardedTcpServerTest, PeersAreAddressesAndIpv6Networks) {
    const auto key = [](const char* address) {
        return CGuardedTcpServer::PeerKey(QHostAddress(QString::fromLatin1(address)));
    };
    EXPECT_EQ(key("127.0.0.1"), key("::ffff:127.0.0.1"));
    EXPECT_NE(key("127.0.0.1"), key("127.0.0.2"));
    EXPECT_EQ(key("2001:db8:1:2::1"), key("2001:db8:1:2:ffff::9"));
    EXPECT_NE(key("2001:db8:1:2::1"), key("2001:db8:1:3::1"));
}

TEST(WarningThrottleTest, EachKindIsLetThroughOnceAPeriod) {
    CWarningThrottle throttle(1000);
    EXPECT_TRUE(throttle.Allow(QStringLiteral("dropped"), 0));
    EXPECT_FALSE(throttle.Allow(QStringLiteral("dropped"), 999));
    EXPECT_TRUE(throttle.Allow(QStringLiteral("upgrade"), 999));
    EXPECT_TRUE(throttle.Allow(QStringLiteral("dropped"), 1000));
    // Kinds without end (a client's words in the text) share one place once the table is full.
    int allowed = 0;
    for (int i = 0; i < 1000; ++i) {
        allowed += throttle.Allow(QString::number(i), 1500) ? 1 : 0;
    }
    EXPECT_EQ(allowed, CWarningThrottle::kMaxKinds - 2);
}

}  // namespace
}  // namespace orvane::remote::test
