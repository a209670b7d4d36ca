#pragma once

#include "platform/directory/DirectoryService.h"

namespace platform::directory {

// This machine's accounts through NSS (local files, and the domain accounts of winbind or sssd
// where they are configured). The machine is the one domain; its name is the host's short name.
class NssDirectory : public DirectoryService {
public:
    QStringList Domains() override;

    // The host name up to its first ".".
    static QString HostShortName();
};

} // namespace platform::directory
