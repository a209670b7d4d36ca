#include "platform/directory/NssAccounts.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <cstdio>

namespace platform::directory {

namespace {

// The files the files source reads.
constexpr const char *PasswdFile = "/etc/passwd";
constexpr const char *GroupFile = "/etc/group";

// The names an account file lists, read with the parser the files source uses.
template <typename Entry>
QSet<QByteArray> NamesInFile(const char *path, Entry *(*next)(FILE *), char *Entry::*name)
{
    QSet<QByteArray> names;
    if (FILE *file = std::fopen(path, "re")) {
        while (const Entry *entry = next(file))
            names.insert(QByteArray(entry->*name));
        std::fclose(file);
    }
    return names;
}

// What the name service answers for the groups of account: every source is asked.
std::vector<gid_t> GroupList(const NssAccounts::Account &account)
{
    int count = 32;
    std::vector<gid_t> gids(count);
    while (getgrouplist(account.name.constData(), account.gid, gids.data(), &count) < 0) {
        // count now holds the number needed; guard against a source that keeps asking for more.
        const int needed = std::max<int>(count, static_cast<int>(gids.size()) * 2);
        gids.resize(needed);
        count = needed;
    }
    gids.resize(count);
    return gids;
}

std::vector<gid_t> EachOnce(const std::vector<gid_t> &gids)
{
    std::vector<gid_t> unique;
    QSet<gid_t> seen;
    for (gid_t gid : gids) {
        if (!seen.contains(gid)) {
            seen.insert(gid);
            unique.push_back(gid);
        }
    }
    return unique;
}

} // namespace

NssAccounts::NssAccounts()
    : m_localAccounts(NamesInFile(PasswdFile, fgetpwent, &passwd::pw_name)),
      m_localGroups(NamesInFile(GroupFile, fgetgrent, &group::gr_name))
{
    ReadAccounts();
    ReadGroups();
}

void NssAccounts::ReadAccounts()
{
    setpwent();
    while (const passwd *entry = getpwent()) {
        const QByteArray name(entry->pw_name);
        if (m_accountNames.contains(name)) {
            m_listedTwice.insert(name);
            continue;
        }
        m_accountNames.insert(name);
        m_accounts.push_back({name, entry->pw_uid, entry->pw_gid});
    }
    endpwent();
}

void NssAccounts::ReadGroups()
{
    QSet<QByteArray> seen;
    setgrent();
    while (const group *entry = getgrent()) {
        const QByteArray name(entry->gr_name);
        // Like a look-up by gid, the first group listed with a gid names it.
        if (!m_groupOfGid.contains(entry->gr_gid))
            m_groupOfGid.insert(entry->gr_gid, name);
        if (!seen.contains(name)) {
            seen.insert(name);
            m_groupNames.push_back(name);
        }
        for (char **member = entry->gr_mem; *member; ++member)
            m_memberOf[QByteArray(*member)].push_back(entry->gr_gid);
    }
    endgrent();
}

std::vector<gid_t> NssAccounts::GroupIds(const Account &account) const
{
    // A name that another source lists as well may get groups from that source too.
    if (!m_localAccounts.contains(account.name) || m_listedTwice.contains(account.name))
        return EachOnce(GroupList(account));
    std::vector<gid_t> gids{account.gid};
    const std::vector<gid_t> listing = m_memberOf.value(account.name);
    gids.insert(gids.end(), listing.begin(), listing.end());
    return EachOnce(gids);
}

std::optional<QByteArray> NssAccounts::GroupName(gid_t gid)
{
    const auto found = m_groupOfGid.constFind(gid);
    if (found != m_groupOfGid.cend())
        return *found;
    // A domain source need not list every group it knows.
    const group *entry = getgrgid(gid);
    const auto name = entry ? std::optional<QByteArray>(entry->gr_name) : std::nullopt;
    m_groupOfGid.insert(gid, name);
    return name;
}

bool NssAccounts::SharesName(const QByteArray &group) const
{
    if (m_accountNames.contains(group))
        return true;
    // A domain source need not list every account it knows either; it is asked about its own
    // groups, as the rights read asks about every group.
    return !m_localGroups.contains(group) && getpwnam(group.constData()) != nullptr;
}

} // namespace platform::directory
