#include "platform/registry/RegistryKey.h"

#include <QStringList>

namespace platform::registry {

QStringList SplitKeyPath(const QString &path) { return path.split(u'\\', Qt::SkipEmptyParts); }

RegistryKey::~RegistryKey()
{
    // A hostile export may nest keys very deeply: freeing them key by key from a list of our own
    // keeps the stack flat, where the members' own destructors would recurse once per level.
    std::vector<std::unique_ptr<RegistryKey>> pending = std::move(m_subkeys);
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<RegistryKey> &subkey : key->m_subkeys)
            pending.push_back(std::move(subkey));
        key->m_subkeys.clear();
    }
}

RegistryKey &RegistryKey::Ensure(const QString &name)
{
    const QString folded = name.toLower();
    const auto found = m_subkeyIndex.constFind(folded);
    if (found != m_subkeyIndex.constEnd())
        return *m_subkeys[*found];
    m_subkeyIndex.insert(folded, m_subkeys.size());
    m_subkeys.push_back(std::make_unique<RegistryKey>(name));
    return *m_subkeys.back();
}

const RegistryKey *RegistryKey::Find(const QString &path) const
{
    const RegistryKey *key = this;
    for (const QString &part : SplitKeyPath(path)) {
        const auto found = key->m_subkeyIndex.constFind(part.toLower());
        if (found == key->m_subkeyIndex.constEnd())
            return nullptr;
        key = key->m_subkeys[*found].get();
    }
    return key;
}

void RegistryKey::SetValue(const QString &name, RegistryValue value) { m_values.insert(name.toLower(), std::move(value)); }

void RegistryKey::RemoveValue(const QString &name) { m_values.remove(name.toLower()); }

const RegistryValue *RegistryKey::Value(const QString &name) const
{
    const auto found = m_values.constFind(name.toLower());
    return found == m_values.constEnd() ? nullptr : &*found;
}

} // namespace platform::registry
