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

} // namespace modInternet
