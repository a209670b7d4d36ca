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
