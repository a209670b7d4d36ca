#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace testing_support {

// A network namespace for one test (root only) whose loopback is up and from which nothing
// reaches the outside. Code runs in it on a thread of its own; the rest of the test stays outside.
class NetworkNamespace {
public:
    NetworkNamespace();
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace &) = delete;
    NetworkNamespace &operator=(const NetworkNamespace &) = delete;

    // False when namespaces cannot be made here; Why() then says what failed.
    bool Available() const { return m_available; }
    const QString &Why() const { return m_why; }

    // Runs "ip -n <namespace> <command>" (words split at blanks); true when it succeeded.
    bool Ip(const QString &command);

    // Runs body on a thread inside the namespace (without CAP_NET_RAW, so without raw sockets, if
    // asked) and waits for it. Returns what went wrong before body could run, or an empty text.
    enum RawSockets { WithRawSockets, WithoutRawSockets };
    QString RunInside(const std::function<void()> &body, RawSockets raw = WithRawSockets);

    // Writes value to the namespace's /proc/sys/<key> (as "net/ipv4/icmp_echo_ignore_all").
    bool SetSysctl(const QString &key, const QByteArray &value);

    // A counter of the namespace's ICMP statistics ("OutEchos", ...); -1 when it cannot be read.
    long long IcmpCounter(const QString &name);

private:
    QString m_name;
    bool m_created = false;
    bool m_available = false;
    QString m_why;
};

} // namespace testing_support

// Skips the test, saying why, when the namespace could not be made.
#define REQUIRE_NAMESPACE(ns)                                                                                           \
    if (!(ns).Available())                                                                                              \
    GTEST_SKIP() << "network namespaces unavailable: " << qPrintable((ns).Why())
