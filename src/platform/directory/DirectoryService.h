#pragma once

#include "platform/directory/DirectoryObjects.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace platform::directory {

// A bound domain: enumerates its users, groups and computers, each in the service's order.
// Every call reads the service anew.
class DomainContainer {
public:
    virtual ~DomainContainer() = default;

    // The domain's name as the service spells it.
    virtual QString Name() const = 0;
    virtual std::vector<User> Users() = 0;
    virtual std::vector<Group> Groups() = 0;
    virtual std::vector<Computer> Computers() = 0;
};

// The directory service the program reads domains, users, groups and computers from. The real
// backend reads this machine's accounts through NSS; tests install a backend of their own.
class DirectoryService {
public:
    virtual ~DirectoryService() = default;

    // The domains (and workgroups) the service sees, in its order.
    virtual QStringList Domains() = 0;
    // Binds domain (letter case does not matter); raises kDomainNotFound "Domain not found"
    // when the service does not know it.
    virtual std::unique_ptr<DomainContainer> Bind(const QString &domain) = 0;
};

// The error Bind raises for a domain it does not know.
support::Error DomainNotFound();

// The backend in use: NSS until another is installed.
DirectoryService &Current();
// Installs service (not owned) as the one in use; nullptr restores the NSS backend.
void Install(DirectoryService *service);

} // namespace platform::directory
