#include "common/NetworkNamespace.h"
#include "platform/icmp/IcmpEcho.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using platform::icmp::EchoHandle;
using platform::icmp::EchoStatus;
using platform::icmp::SocketKind;
using testing_support::NetworkNamespace;

namespace {

uint32_t address(const char *dotted) { return inet_addr(dotted); }

const QByteArray Data(32, 'A');

#define REQUIRE_NAMESPACE(ns)                                                                                           \
    if (!(ns).Available())                                                                                              \
    GTEST_SKIP() << "network namespaces unavailable: " << qPrintable((ns).Why())

// Sends one echo request from inside ns through a socket of the given kind.
EchoStatus echoInside(NetworkNamespace &ns, SocketKind kind, const char *to, NetworkNamespace::Options options = {})
{
    EchoStatus status = EchoStatus::SendFailed;
    const QString failure = ns.RunInside(
        [&] {
            EchoHandle handle = EchoHandle::Open(kind);
            EXPECT_TRUE(handle.IsValid());
            status = handle.SendEcho(address(to), Data, 255, 2000);
        },
        options);
    EXPECT_TRUE(failure.isEmpty()) << qPrintable(failure);
    return status;
}

} // namespace

TEST(IcmpEcho, BothSocketKindsGetTheLoopbackReply)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "127.0.0.1"), EchoStatus::Success);
    NetworkNamespace::Options datagram;
    datagram.allowDatagramPing = true;
    EXPECT_EQ(echoInside(ns, SocketKind::Datagram, "127.0.0.1", datagram), EchoStatus::Success);
}

// On loopback a raw socket receives the request it sent itself: that is no answer.
TEST(IcmpEcho, OwnRequestOnLoopbackIsNoReply)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    ASSERT_TRUE(ns.SetSysctl(QStringLiteral("net/ipv4/icmp_echo_ignore_all"), "1"));
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "127.0.0.1"), EchoStatus::TimedOut);
    EXPECT_EQ(ns.IcmpCounter(QStringLiteral("OutEchoReps")), 0);
}

TEST(IcmpEcho, DestinationWithoutRouteIsUnreachable)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "10.231.0.9"), EchoStatus::Unreachable);
}

TEST(IcmpEcho, NoSocketWithoutPermission)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    NetworkNamespace::Options unprivileged;
    unprivileged.withoutRawSockets = true; // and the new namespace admits no group to datagram sockets
    bool anyValid = true, datagramValid = true, rawValid = true;
    const QString failure = ns.RunInside(
        [&] {
            anyValid = EchoHandle::Open().IsValid();
            datagramValid = EchoHandle::Open(SocketKind::Datagram).IsValid();
            rawValid = EchoHandle::Open(SocketKind::Raw).IsValid();
        },
        unprivileged);
    ASSERT_TRUE(failure.isEmpty()) << qPrintable(failure);
    EXPECT_FALSE(anyValid);
    EXPECT_FALSE(datagramValid);
    EXPECT_FALSE(rawValid);
}

TEST(IcmpEcho, LookupGivesIPv4Addresses)
{
    EXPECT_EQ(platform::icmp::LookupIPv4(QStringLiteral("127.0.0.1")), address("127.0.0.1"));
    EXPECT_EQ(platform::icmp::LookupIPv4(QStringLiteral("localhost")), address("127.0.0.1"));
    EXPECT_FALSE(platform::icmp::LookupIPv4(QString()));
    EXPECT_FALSE(platform::icmp::LookupIPv4(QString::fromLatin1("a\0b", 3)));
}
