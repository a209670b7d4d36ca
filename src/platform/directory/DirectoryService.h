#pragma once

#include <QStringList>

namespace platform::directory {

// The directory service the program reads domains, users, groups and computers from. The real
// backend reads this machine's accounts through NSS; tests install a backend of their own.
class DirectoryService {
public:
    virtual ~DirectoryService() = default;

    // The domains (and workgroups) the service sees, in its order.
    virtual QStringList Domains() = 0;
};

// The backend in use: NSS until another is installed.
DirectoryService &Current();
// Installs service (not owned) as the one in use; nullptr restores the NSS backend.
void Install(DirectoryService *service);

} // namespace platform::directory
