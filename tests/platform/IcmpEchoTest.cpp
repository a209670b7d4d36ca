#include "common/NetworkNamespace.h"
#include "platform/icmp/IcmpEcho.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using platform::icmp::EchoHandle;
using platform::icmp::EchoStatus;
using platform::icmp::SocketKind;
using testing_support::NetworkNamespace;

namespace {

// Sends one echo request from inside ns through a socket of the given kind.
EchoStatus echoInside(NetworkNamespace &ns, SocketKind kind, const char *to)
{
    EchoStatus status = EchoStatus::SendFailed;
    const QString failure = ns.RunInside([&] {
        EchoHandle handle = EchoHandle::Open(kind);
        EXPECT_TRUE(handle.IsValid());
        status = handle.SendEcho(inet_addr(to), QByteArray(32, 'A'), 255, 2000);
    });
    EXPECT_TRUE(failure.isEmpty()) << qPrintable(failure);
    return status;
}

} // namespace

// On loopback a raw socket also receives the request it sent itself: that is no answer.
TEST(IcmpEcho, LoopbackReplyNoRouteAndOwnRequest)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    ASSERT_TRUE(ns.SetSysctl(QStringLiteral("net/ipv4/ping_group_range"), "0 2147483647"));
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "127.0.0.1"), EchoStatus::Success);
    EXPECT_EQ(echoInside(ns, SocketKind::Datagram, "127.0.0.1"), EchoStatus::Success);
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "10.231.0.9"), EchoStatus::Unreachable);
    ASSERT_TRUE(ns.SetSysctl(QStringLiteral("net/ipv4/icmp_echo_ignore_all"), "1"));
    EXPECT_EQ(echoInside(ns, SocketKind::Raw, "127.0.0.1"), EchoStatus::TimedOut);
}
