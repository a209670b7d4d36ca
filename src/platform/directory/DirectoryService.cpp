#include "platform/directory/DirectoryService.h"

#include "platform/directory/NssDirectory.h"

namespace platform::directory {

namespace {
DirectoryService *&installed()
{
    static DirectoryService *service = nullptr;
    return service;
}
} // namespace

DirectoryService &Current()
{
    static NssDirectory nss;
    return installed() ? *installed() : nss;
}

void Install(DirectoryService *service) { installed() = service; }

support::Error DomainNotFound()
{
    return support::Error(kDomainNotFound, QStringLiteral("Domain not found"), QStringLiteral("Active Directory"));
}

} // namespace platform::directory
