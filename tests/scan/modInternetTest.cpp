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

bool pingInside(NetworkNamespace &ns, const QString &host, NetworkNamespace::RawSockets raw = NetworkNamespace::WithRawSockets)
{
    bool answered = true;
    const QString failure = ns.RunInside([&] { answered = modInternet::Ping(host); }, raw);
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

// Linux delivers a request to 0.0.0.0 to this machine, so an unknown name must not be sent at all;
// a silent host gets one request, no retry, and false once the time-out has passed. Without an
// ICMP socket every ping shows the message.
TEST(Ping, InsideANamespace)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    ScriptedShell shell;
    EXPECT_FALSE(pingInside(ns, QStringLiteral("no-such-computer.invalid")));
    EXPECT_FALSE(pingInside(ns, QString()));
    EXPECT_EQ(ns.IcmpCounter(QStringLiteral("OutEchos")), 0);

    // 10.231.0.2 lies on a link whose other end nobody listens at: requests leave and vanish.
    for (const char *command : {"link add q0 type veth peer name q1", "addr add 10.231.0.1/24 dev q0", "link set q0 up",
                                "link set q1 up", "neigh add 10.231.0.2 lladdr 02:00:00:00:00:01 dev q0 nud permanent"})
        ASSERT_TRUE(ns.Ip(QString::fromLatin1(command)));
    EXPECT_FALSE(pingInside(ns, QStringLiteral("10.231.0.2")));
    EXPECT_EQ(ns.IcmpCounter(QStringLiteral("OutEchos")), 1);
    EXPECT_TRUE(shell.prompts.empty());

    EXPECT_FALSE(pingInside(ns, QStringLiteral("127.0.0.1"), NetworkNamespace::WithoutRawSockets));
    EXPECT_FALSE(pingInside(ns, QStringLiteral("no-such-computer.invalid"), NetworkNamespace::WithoutRawSockets));
    ASSERT_EQ(shell.prompts.size(), 2u);
    for (const auto &prompt : shell.prompts) {
        EXPECT_EQ(prompt.text, QStringLiteral("Unable to Create File Handle"));
        EXPECT_EQ(prompt.style, platform::shell::vbCritical | platform::shell::vbOKOnly);
        EXPECT_EQ(prompt.title, QString::fromUtf8(support::ProgramTitle));
    }
}

TEST(GetTagValue, ReadsTheFirstElementExactly)
{
    const QString reply = "HTTP/1.0 200 OK\r\n\r\n<ACK>yes</ACK><VERSION>1.2.3</VERSION><VERSION>9.9.9</VERSION>"
                          "<EMPTY></EMPTY><OPEN>never closed";
    const struct {
        const char *tag;
        const char *value;
    } cases[] = {
        {"ACK", "yes"}, {"VERSION", "1.2.3"}, {"EMPTY", ""}, {"OPEN", ""}, {"ack", ""}, {"MISSING", ""}, {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(modInternet::GetTagValue(reply, c.tag), c.value) << c.tag;
    // A closing tag before the opening one does not count.
    EXPECT_EQ(modInternet::GetTagValue("</A>x<A>y</A>", "A"), "y");
    // Texts far beyond 16-bit positions.
    const QString padding(100000, u'x');
    EXPECT_EQ(modInternet::GetTagValue(padding + "<A>" + padding + "</A>", "A"), padding);
}
