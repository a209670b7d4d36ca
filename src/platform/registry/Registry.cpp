#include "platform/registry/Registry.h"

#include "platform/registry/FileRegistry.h"
#include "support/Installed.h"

namespace platform::registry {

Backend &Current()
{
    static FileRegistry files;
    return support::Installed<Backend>::Or(files);
}

void Install(Backend *backend) { support::Installed<Backend>::Install(backend); }

int32_t RegConnectRegistry(const QString &computer, HKEY root, HKEY &result)
{
    result = 0;
    return Current().ConnectRegistry(computer, root, result);
}

int32_t RegOpenKey(HKEY key, const QString &subKey, HKEY &result)
{
    result = 0;
    return Current().OpenKey(key, subKey, result);
}

int32_t RegEnumKey(HKEY key, uint32_t index, QString &name) { return Current().EnumKey(key, index, name); }

int32_t RegQueryValueEx(HKEY key, const QString &valueName, uint32_t &type, QString &data)
{
    return Current().QueryValue(key, valueName, type, data);
}

int32_t RegCloseKey(HKEY key) { return Current().CloseKey(key); }

std::optional<ReadFailure> RegLastReadFailure() { return Current().LastReadFailure(); }

} // namespace platform::registry
