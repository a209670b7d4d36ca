#pragma once

#include "platform/registry/Registry.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace platform::registry {

struct RegistryValue {
    uint32_t type = REG_SZ;
    QString data;
};

// One key of a registry tree: its subkeys in the order they first appeared, and its values.
// Key and value names match without regard to letter case, as in the registry.
class RegistryKey {
public:
    explicit RegistryKey(QString name = {}) : m_name(std::move(name)) {}
    // Frees the keys below without recursion, however deeply they nest.
    ~RegistryKey();
    RegistryKey(RegistryKey &&) = default;
    RegistryKey &operator=(RegistryKey &&) = delete;

    const QString &Name() const { return m_name; }

    // The subkey called name, made when missing.
    RegistryKey &Ensure(const QString &name);
    // The key below this one that path names ("A\B\C"; empty parts are ignored, an empty path
    // is this key), or nullptr.
    const RegistryKey *Find(const QString &path) const;

    size_t SubkeyCount() const { return m_subkeys.size(); }
    const RegistryKey &Subkey(size_t index) const { return *m_subkeys[index]; }

    void SetValue(const QString &name, RegistryValue value);
    void RemoveValue(const QString &name);
    const RegistryValue *Value(const QString &name) const;

private:
    QString m_name;
    std::vector<std::unique_ptr<RegistryKey>> m_subkeys;
    QHash<QString, size_t> m_subkeyIndex; // lower-case name -> position in m_subkeys
    QHash<QString, RegistryValue> m_values; // lower-case name -> value
};

// The parts of a key path, without empty ones ("A\\B\" gives A, B).
QStringList SplitKeyPath(const QString &path);

// How deep a registry tree may nest: a key path of more parts than this names no key.
inline constexpr qsizetype MaxKeyDepth = 512;

} // namespace platform::registry
