#include "common/NetworkNamespace.h"
#include "common/TestSupport.h"
#include "platform/icmp/IcmpEcho.h"
#include "scan/modInternet.h"

#include "Version.h"

#include <QDir>

#include <gtest/gtest.h>

using testing_support::NetworkNamespace;
using testing_support::ScriptedShell;

namespace {

bool pingInside(NetworkNamespace &ns, const QString &host, NetworkNamespace::Options options = {})
{
    bool answered = true;
    const QString failure = ns.RunInside([&] { answered = modInternet::Ping(host); }, options);
    EXPECT_TRUE(failure.isEmpty()) << qPrintable(failure);
    return answered;
}

qsizetype openDescriptors() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(); }

} // namespace

TEST(Ping, LoopbackAnswersAndNothingStaysOpen)
{
    if (!platform::icmp::EchoHandle::Open().IsValid())
        GTEST_SKIP() << "this process may open no ICMP socket (neither ping_group_range nor CAP_NET_RAW)";
    ScriptedShell shell;
    const qsizetype before = openDescriptors();
    EXPECT_TRUE(modInternet::Ping(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(modInternet::Ping(QStringLiteral("localhost")));
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_TRUE(shell.prompts.empty());
}

// Linux delivers a request to 0.0.0.0 to this machine, so an unknown name must not be sent at all.
TEST(Ping, UnresolvableNameSendsNothing)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    ScriptedShell shell;
    EXPECT_FALSE(pingInside(ns, QStringLiteral("no-such-computer.invalid")));
    EXPECT_FALSE(pingInside(ns, QString()));
    EXPECT_EQ(ns.IcmpCounter(QStringLiteral("OutEchos")), 0);
    EXPECT_TRUE(shell.prompts.empty());
}

// One request, no retry, and false once the time-out has passed without an answer.
TEST(Ping, SilentHostGivesFalse)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    // The address is on a link whose other end nobody listens at: requests leave and vanish.
    ASSERT_TRUE(ns.Ip({"link", "add", "q0", "type", "veth", "peer", "name", "q1"}));
    ASSERT_TRUE(ns.Ip({"addr", "add", "10.231.0.1/24", "dev", "q0"}));
    ASSERT_TRUE(ns.Ip({"link", "set", "q0", "up"}));
    ASSERT_TRUE(ns.Ip({"link", "set", "q1", "up"}));
    ASSERT_TRUE(ns.Ip({"neigh", "add", "10.231.0.2", "lladdr", "02:00:00:00:00:01", "dev", "q0", "nud", "permanent"}));
    EXPECT_FALSE(pingInside(ns, QStringLiteral("10.231.0.2")));
    EXPECT_EQ(ns.IcmpCounter(QStringLiteral("OutEchos")), 1);
}

TEST(Ping, NoIcmpSocketShowsTheMessage)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    ScriptedShell shell;
    NetworkNamespace::Options unprivileged;
    unprivileged.withoutRawSockets = true;
    EXPECT_FALSE(pingInside(ns, QStringLiteral("127.0.0.1"), unprivileged));
    EXPECT_FALSE(pingInside(ns, QStringLiteral("no-such-computer.invalid"), unprivileged));
    ASSERT_EQ(shell.prompts.size(), 2u);
    for (const auto &prompt : shell.prompts) {
        EXPECT_EQ(prompt.text, QStringLiteral("Unable to Create File Handle"));
        EXPECT_EQ(prompt.style, platform::shell::vbCritical | platform::shell::vbOKOnly);
        EXPECT_EQ(prompt.title, QString::fromUtf8(support::ProgramTitle));
    }
}
