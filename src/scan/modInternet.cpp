#include "scan/modInternet.h"

#include "platform/icmp/IcmpEcho.h"
#include "platform/shell/Shell.h"

namespace modInternet {

namespace {
constexpr int EchoDataSize = 32;
constexpr int TimeToLive = 255;
constexpr int TimeoutMs = 2000;
} // namespace

bool Ping(const QString &strHostName)
{
    const std::optional<uint32_t> destination = platform::icmp::LookupIPv4(strHostName);

    platform::icmp::EchoHandle handle = platform::icmp::EchoHandle::Open();
    if (!handle.IsValid()) {
        platform::shell::MsgBox(QStringLiteral("Unable to Create File Handle"),
                                platform::shell::vbOKOnly | platform::shell::vbCritical);
        return false;
    }
    // Sending to the 0.0.0.0 of an unresolved name would reach this very machine on Linux and
    // report an unknown computer as reachable.
    if (!destination)
        return false;

    const QByteArray data(EchoDataSize, 'A');
    return handle.SendEcho(*destination, data, TimeToLive, TimeoutMs) == platform::icmp::EchoStatus::Success;
}

QString GetTagValue(const QString &text, const QString &tag)
{
    const QString opening = u'<' + tag + u'>';
    const qsizetype found = text.indexOf(opening);
    if (found < 0)
        return {};
    const qsizetype start = found + opening.size();
    const qsizetype stop = text.indexOf(QStringLiteral("</") + tag + u'>', start);
    return stop < 0 ? QString() : text.mid(start, stop - start);
}

} // namespace modInternet
