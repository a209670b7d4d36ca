#include "platform/directory/NssFiles.h"

#include <grp.h>
#include <pwd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace platform::directory {

namespace {

// Fills index from the file at path, which next (fgetpwent_r or fgetgrent_r) reads: for every
// entry but compat lines, key(entry) to value(entry), the first entry of a key counting. next
// says ERANGE, and reads the same line again, when the buffer is too small for it.
template <typename Entry, typename Key, typename Value>
void ReadEntries(const char *path, int (*next)(FILE *, Entry *, char *, size_t, Entry **), char *Entry::*name,
                 Key (*key)(const Entry &), Value (*value)(const Entry &), QHash<Key, Value> &index)
{
    FILE *file = std::fopen(path, "re");
    if (!file)
        return;
    std::vector<char> buffer(1024);
    Entry entry{};
    Entry *read = nullptr;
    for (;;) {
        const int error = next(file, &entry, buffer.data(), buffer.size(), &read);
        if (error == ERANGE && buffer.size() < NssSource::LargestEntry) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0)
            break;
        if (!NssFiles::IsCompatLine(read->*name) && !index.contains(key(*read)))
            index.insert(key(*read), value(*read));
    }
    std::fclose(file);
}

QByteArray NameOfAccount(const passwd &entry) { return entry.pw_name; }
gid_t IdOfGroup(const group &entry) { return entry.gr_gid; }

// The value of key in index, when it has one.
template <typename Key, typename Value>
std::optional<Value> Found(const QHash<Key, Value> &index, const Key &key)
{
    const auto found = index.constFind(key);
    return found == index.cend() ? std::nullopt : std::optional<Value>(*found);
}

} // namespace

std::optional<NssSource::Ids> NssFiles::Account(const QByteArray &name)
{
    if (!m_accounts)
        ReadEntries("/etc/passwd", fgetpwent_r, &passwd::pw_name, NameOfAccount, NssSource::IdsOf, m_accounts.emplace());
    return Found(*m_accounts, name);
}

std::optional<QByteArray> NssFiles::GroupName(gid_t gid)
{
    if (!m_groupNames)
        ReadEntries("/etc/group", fgetgrent_r, &group::gr_name, IdOfGroup, NssSource::NameOf, m_groupNames.emplace());
    return Found(*m_groupNames, gid);
}

} // namespace platform::directory
