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

} // namespace platform::directory
