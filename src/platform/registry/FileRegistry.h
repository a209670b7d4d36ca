#pragma once

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryKey.h"

#include <functional>
#include <map>
#include <memory>

namespace platform::registry {

// The registries of the computers as Linux can show them. This host's uninstall key lists the
// packages that dpkg's status database lists as installed, one subkey per package (DisplayName
// the package name as dpkg-query names it, DisplayVersion its version, Publisher its maintainer,
// InstallSource empty).
// Any other computer's registry is its export Registry/<computer>.reg in the program folder
// (the file name's letter case may differ from the computer's). A computer with neither cannot
// be connected; one whose file cannot be opened or is no registry export cannot either, and
// LastReadFailure names the file and says why.
class FileRegistry : public Backend {
public:
    explicit FileRegistry(QString dpkgStatusFile = QStringLiteral("/var/lib/dpkg/status"));

    int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) override;
    int32_t OpenKey(HKEY key, const QString &subKey, HKEY &result) override;
    int32_t EnumKey(HKEY key, uint32_t index, QString &name) override;
    int32_t QueryValue(HKEY key, const QString &valueName, uint32_t &type, QString &data) override;
    int32_t CloseKey(HKEY key) override;
    std::optional<ReadFailure> LastReadFailure() const override { return m_lastReadFailure; }

    // Handles given out and not yet closed.
    size_t OpenHandles() const { return m_handles.size(); }

private:
    // A connected root gives the tree below it on demand (an export is parsed only for the key
    // that is opened); an opened key shares its tree with every handle taken from it.
    struct Handle {
        std::function<std::shared_ptr<const RegistryKey>(const QString &subKey)> load;
        std::shared_ptr<const RegistryKey> tree;
        const RegistryKey *key = nullptr;
    };

    HKEY add(Handle handle);
    const RegistryKey *keyOf(HKEY key);

    QString m_dpkgStatusFile;
    std::map<HKEY, Handle> m_handles;
    HKEY m_next = 1;
    std::optional<ReadFailure> m_lastReadFailure;
};

} // namespace platform::registry
