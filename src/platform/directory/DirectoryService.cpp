#include "platform/directory/DirectoryService.h"

#include "platform/directory/NssDirectory.h"
#include "support/Installed.h"

namespace platform::directory {

DirectoryService &Current()
{
    static NssDirectory nss;
    return support::Installed<DirectoryService>::Or(nss);
}

void Install(DirectoryService *service) { support::Installed<DirectoryService>::Install(service); }

support::Error DomainNotFound()
{
    return support::Error(kDomainNotFound, QStringLiteral("Domain not found"), QStringLiteral("Active Directory"));
}

} // namespace platform::directory
