#include "common/NetworkNamespace.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace testing_support {

namespace {

bool runIp(const QStringList &args, QString *error)
{
    QProcess ip;
    ip.start(QStringLiteral("ip"), args);
    if (ip.waitForFinished(10000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("ip %1: %2%3").arg(args.join(u' '), QString::fromLocal8Bit(ip.readAllStandardError()), ip.errorString());
    return false;
}

// Capabilities are per thread on Linux: dropping one here leaves the rest of the process alone.
bool dropRawSocketCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
    return syscall(SYS_capset, &header, data) == 0;
}

} // namespace

NetworkNamespace::NetworkNamespace()
{
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("quill-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(counter++);
    if (geteuid() != 0) {
        m_why = QStringLiteral("network namespaces need root");
        return;
    }
    m_created = runIp({"netns", "add", m_name}, &m_why);
    m_available = m_created && Ip(QStringLiteral("link set lo up"));
}

NetworkNamespace::~NetworkNamespace()
{
    if (m_created)
        runIp({"netns", "del", m_name}, nullptr);
}

bool NetworkNamespace::Ip(const QString &command) { return runIp(QStringList{"-n", m_name} + command.split(u' '), &m_why); }

QString NetworkNamespace::RunInside(const std::function<void()> &body, RawSockets raw)
{
    if (!m_available)
        return m_why;
    QString failure;
    std::thread inside([&] {
        const QByteArray path = "/var/run/netns/" + m_name.toUtf8();
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!entered)
            failure = QStringLiteral("cannot enter %1").arg(QString::fromUtf8(path));
        else if (raw == WithoutRawSockets && !dropRawSocketCapability())
            failure = QStringLiteral("cannot drop CAP_NET_RAW");
        else
            body();
    });
    inside.join();
    return failure;
}

// /proc/sys/net and /proc/thread-self/net show the namespace of the calling thread.
bool NetworkNamespace::SetSysctl(const QString &key, const QByteArray &value)
{
    bool written = false;
    const QString failure = RunInside([&] {
        QFile file(QStringLiteral("/proc/sys/") + key);
        written = file.open(QIODevice::WriteOnly) && file.write(value) == value.size();
    });
    return failure.isEmpty() && written;
}

long long NetworkNamespace::IcmpCounter(const QString &name)
{
    long long value = -1;
    RunInside([&] {
        QFile snmp(QStringLiteral("/proc/thread-self/net/snmp"));
        if (!snmp.open(QIODevice::ReadOnly))
            return;
        // Two "Icmp:" lines: the counter names, then their values.
        QList<QList<QByteArray>> icmp;
        for (const QByteArray &line : snmp.readAll().split('\n')) {
            if (line.startsWith("Icmp: "))
                icmp << line.mid(6).split(' ');
        }
        const qsizetype at = icmp.isEmpty() ? -1 : icmp[0].indexOf(name.toLatin1());
        if (at >= 0 && icmp.size() > 1 && at < icmp[1].size())
            value = icmp[1][at].toLongLong();
    });
    return value;
}

} // namespace testing_support
