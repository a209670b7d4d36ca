#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace testing_support {

// A network namespace made for one test (root only): its loopback is up and nothing in it
// reaches the outside network. Code runs inside it on a thread of its own that has entered the
// namespace, so the test binary itself stays where it is.
class NetworkNamespace {
public:
    NetworkNamespace();
    ~NetworkNamespace();
    NetworkNamespace(const NetworkNamespace &) = delete;
    NetworkNamespace &operator=(const NetworkNamespace &) = delete;

    // False when namespaces cannot be made here; Why() then says what failed.
    bool Available() const { return m_available; }
    const QString &Why() const { return m_why; }

    // Runs "ip -n <namespace> args..."; true when it succeeded.
    bool Ip(const QStringList &args);

    struct Options {
        // Drops CAP_NET_RAW from the thread first, so that it cannot open raw sockets.
        bool withoutRawSockets = false;
        // Lets every group open datagram ICMP sockets in the namespace (net.ipv4.ping_group_range).
        bool allowDatagramPing = false;
    };
    // Runs body on a thread inside the namespace and waits for it. Returns an empty text on
    // success, else what went wrong before body could run.
    QString RunInside(const std::function<void()> &body, Options options);
    QString RunInside(const std::function<void()> &body) { return RunInside(body, Options{}); }

    // Writes value to the namespace's /proc/sys/<key> (as "net/ipv4/icmp_echo_ignore_all").
    bool SetSysctl(const QString &key, const QByteArray &value);

    // A counter of the namespace's ICMP statistics ("OutEchos", "InEchoReps", ...), read on
    // a thread inside it; -1 when it cannot be read.
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
