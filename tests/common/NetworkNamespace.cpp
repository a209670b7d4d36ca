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
    if (!ip.waitForFinished(10000) || ip.exitStatus() != QProcess::NormalExit || ip.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("ip %1: %2%3").arg(args.join(u' '), QString::fromLocal8Bit(ip.readAllStandardError()),
                                                       ip.errorString());
        return false;
    }
    return true;
}

// Capabilities are per thread on Linux: dropping one here leaves the rest of the process alone.
bool dropRawSocketCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned bit = 1u << (CAP_NET_RAW % 32);
    data[CAP_NET_RAW / 32].effective &= ~bit;
    data[CAP_NET_RAW / 32].permitted &= ~bit;
    data[CAP_NET_RAW / 32].inheritable &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

// /proc/sys/net and /proc/thread-self/net show the namespace of the calling thread.
bool writeFile(const char *path, const QByteArray &content)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
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
    m_created = runIp({QStringLiteral("netns"), QStringLiteral("add"), m_name}, &m_why);
    if (!m_created)
        return;
    m_available = runIp({QStringLiteral("-n"), m_name, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
                         QStringLiteral("up")},
                        &m_why);
}

NetworkNamespace::~NetworkNamespace()
{
    if (m_created)
        runIp({QStringLiteral("netns"), QStringLiteral("del"), m_name}, nullptr);
}

bool NetworkNamespace::Ip(const QStringList &args) { return runIp(QStringList{QStringLiteral("-n"), m_name} + args, &m_why); }

QString NetworkNamespace::RunInside(const std::function<void()> &body, Options options)
{
    if (!m_available)
        return m_why;
    QString failure;
    std::thread inside([&] {
        const QByteArray path = "/var/run/netns/" + m_name.toUtf8();
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            failure = QStringLiteral("cannot open %1").arg(QString::fromUtf8(path));
            return;
        }
        const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        if (!entered) {
            failure = QStringLiteral("setns failed");
            return;
        }
        if (options.allowDatagramPing && !writeFile("/proc/sys/net/ipv4/ping_group_range", "0 2147483647")) {
            failure = QStringLiteral("cannot set ping_group_range");
            return;
        }
        if (options.withoutRawSockets && !dropRawSocketCapability()) {
            failure = QStringLiteral("cannot drop CAP_NET_RAW");
            return;
        }
        body();
    });
    inside.join();
    return failure;
}

bool NetworkNamespace::SetSysctl(const QString &key, const QByteArray &value)
{
    bool written = false;
    const QByteArray path = "/proc/sys/" + key.toUtf8();
    const QString failure = RunInside([&] { written = writeFile(path.constData(), value); });
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
        QList<QByteArray> names;
        for (const QByteArray &line : snmp.readAll().split('\n')) {
            if (!line.startsWith("Icmp: "))
                continue;
            const QList<QByteArray> fields = line.mid(6).split(' ');
            if (names.isEmpty()) {
                names = fields;
                continue;
            }
            const qsizetype at = names.indexOf(name.toLatin1());
            if (at >= 0 && at < fields.size())
                value = fields[at].toLongLong();
            return;
        }
    });
    return value;
}

} // namespace testing_support
