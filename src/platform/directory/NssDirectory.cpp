#include "platform/directory/NssDirectory.h"

#include <unistd.h>

#include <array>

namespace platform::directory {

QString NssDirectory::HostShortName()
{
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return QStringLiteral("localhost");
    const QString host = QString::fromUtf8(name.data());
    return host.section(u'.', 0, 0);
}

QStringList NssDirectory::Domains() { return {HostShortName()}; }

} // namespace platform::directory
