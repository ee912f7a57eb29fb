// Whom orvane-ctl lets have the token on this machine: only a listener of the user's own. The
// kernel's tables are read as the kernel writes them; a listener of another user is refused
// whether it holds the exact address, the wildcard, or IPv6's wildcard.

#include "ListenerOwner.h"

#include <QTcpServer>
#include <QUrl>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using ListenerOwner::Listener;

// As /proc/net/tcp and tcp6 print them on a little-endian machine.
const QByteArray kTcp =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
    "inode\n"
    "   0: 0100007F:220D 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 "
    "11 1 0000000000000000 100 0 0 10 0\n"
    "   1: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 65534        0 "
    "12 1 0000000000000000 100 0 0 10 0\n"
    "   2: 0100007F:220D 0100007F:9C40 01 00000000:00000000 00:00000000 00000000  1000        0 "
    "13 1 0000000000000000 20 4 30 10 -1\n";
const QByteArray kTcp6 =
    "  sl  local_address                         remote_address                        st "
    "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000001000000:1F91 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000  1000        0 14 1 0000000000000000 100 0 0 10 0\n"
    "   1: 00000000000000000000000000000000:1F92 00000000000000000000000000000000:0000 0A "
    "00000000:00000000 00:00000000 00000000     0        0 15 1 0000000000000000 100 0 0 10 0\n";

TEST(ListenerOwnerTest, ReadsListeningSocketsOfBothTables) {
    const QList<Listener> v4 = ListenerOwner::ParseTable(kTcp);
    ASSERT_EQ(v4.size(), 2);  // the connected socket is no listener
    EXPECT_EQ(v4[0].address, QHostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_EQ(v4[0].port, 8717);
    EXPECT_EQ(v4[0].uid, 1000u);
    EXPECT_EQ(v4[1].address, QHostAddress(QHostAddress::AnyIPv4));
    EXPECT_EQ(v4[1].uid, 65534u);
    const QList<Listener> v6 = ListenerOwner::ParseTable(kTcp6);
    ASSERT_EQ(v6.size(), 2);
    EXPECT_EQ(v6[0].address, QHostAddress(QStringLiteral("::1")));
    EXPECT_EQ(v6[0].port, 8081);
    EXPECT_EQ(v6[1].address, QHostAddress(QHostAddress::AnyIPv6));
}

TEST(ListenerOwnerTest, EveryListenerThatCouldTakeTheConnectionMustBeTheUsers) {
    const QList<Listener> tables =
        ListenerOwner::ParseTable(kTcp) + ListenerOwner::ParseTable(kTcp6);
    const QHostAddress local(QStringLiteral("127.0.0.1"));
    EXPECT_EQ(ListenerOwner::Refusal(local, 8717, 1000, tables), QString());
    // Another user's wildcard takes connections to every address.
    const QString wildcard = ListenerOwner::Refusal(local, 8080, 1000, tables);
    EXPECT_TRUE(wildcard.contains(QStringLiteral("belongs to another user (uid 65534)")))
        << wildcard.toStdString();
    EXPECT_FALSE(ListenerOwner::Refusal(local, 8082, 1000, tables).isEmpty());
    EXPECT_EQ(ListenerOwner::Refusal(QHostAddress(QStringLiteral("::1")), 8081, 1000, tables),
              QString());
    EXPECT_FALSE(ListenerOwner::Refusal(local, 8717, 1001, tables).isEmpty());
    // Nobody listening: whoever binds it next must not get the token either.
    EXPECT_TRUE(ListenerOwner::Refusal(local, 9999, 1000, tables)
                    .contains(QStringLiteral("no program listens on 127.0.0.1:9999")));
}

TEST(ListenerOwnerTest, ThisMachinesOwnListenerIsTakenAndAnotherMachineIsNotLookedAt) {
    QTcpServer own;
    ASSERT_TRUE(own.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("http://%1:%2");
    EXPECT_EQ(
        ListenerOwner::RefusalFor(QUrl(url.arg(QStringLiteral("127.0.0.1")).arg(own.serverPort()))),
        QString());
    EXPECT_EQ(
        ListenerOwner::RefusalFor(QUrl(url.arg(QStringLiteral("localhost")).arg(own.serverPort()))),
        QString());
    const quint16 port = own.serverPort();
    own.close();
    EXPECT_FALSE(
        ListenerOwner::RefusalFor(QUrl(url.arg(QStringLiteral("127.0.0.1")).arg(port))).isEmpty());
    EXPECT_EQ(ListenerOwner::RefusalFor(QUrl(QStringLiteral("http://192.0.2.1:8717"))), QString());
}

}  // namespace
