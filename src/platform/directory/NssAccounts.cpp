#include "platform/directory/NssAccounts.h"

#include "platform/directory/NssSwitch.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <array>

namespace platform::directory {

namespace {

// nss-systemd lists its users and groups but for root and nobody (uid and gid 0 and 65534),
// which it answers without listing wherever the files lack them.
constexpr std::array<id_t, 2> SystemdOwnIds{0, 65534};

// What getpwnam answers for the account called name.
std::optional<NssSource::Ids> LibraryAccount(const QByteArray &name)
{
    const passwd *entry = getpwnam(name.constData());
    return entry ? std::optional(NssSource::IdsOf(*entry)) : std::nullopt;
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
{
    const NssSwitch nsswitch;
    const auto accountSources = nsswitch.Sources("passwd");
    const auto groupSources = nsswitch.Sources("group");
    m_accountLine = NssLine::Of(accountSources);
    m_groupLine = NssLine::Of(groupSources);
    ReadAccounts();
    ReadGroups();
    const bool systemdAccounts = m_accountLine && accountSources->contains(NssLine::Systemd);
    const bool systemdGroups = m_groupLine && groupSources->contains(NssLine::Systemd);
    if (systemdAccounts || systemdGroups)
        AddSystemdEntries(systemdAccounts, systemdGroups);
}

void NssAccounts::ReadAccounts()
{
    QSet<QByteArray> listed;
    setpwent();
    while (const passwd *entry = getpwent()) {
        const QByteArray name(entry->pw_name);
        if (listed.contains(name))
            continue;
        listed.insert(name);
        m_accounts.push_back({name, entry->pw_uid, entry->pw_gid});
        if (!NssFiles::IsCompatLine(name))
            m_knownAccounts.insert(name);
    }
    endpwent();
}

void NssAccounts::ReadGroups()
{
    QSet<QByteArray> seen;
    setgrent();
    while (const group *entry = getgrent()) {
        const QByteArray name(entry->gr_name);
        // Like a look-up by gid, the first group listed with a gid names it. Where the C library
        // is asked, it names every gid itself.
        if (m_groupLine && !NssFiles::IsCompatLine(name) && !m_listedGroupOfGid.contains(entry->gr_gid))
            m_listedGroupOfGid.insert(entry->gr_gid, name);
        if (!seen.contains(name)) {
            seen.insert(name);
            m_groupNames.push_back(name);
        }
        // A compat line counts for its members' groups, as it does for the files source.
        for (char **member = entry->gr_mem; *member; ++member)
            m_memberOf[QByteArray(*member)].push_back(entry->gr_gid);
    }
    endgrent();
}

void NssAccounts::AddSystemdEntries(bool accounts, bool groups)
{
    NssSource systemd(NssLine::Systemd);
    for (const id_t id : SystemdOwnIds) {
        if (accounts) {
            if (const auto name = systemd.AccountName(id))
                m_knownAccounts.insert(*name);
        }
        if (groups && !m_listedGroupOfGid.contains(id)) {
            if (const auto name = systemd.GroupName(id))
                m_listedGroupOfGid.insert(id, *name);
        }
    }
}

NssAccounts::Account NssAccounts::LookedUp(const Account &account)
{
    if (NssFiles::IsCompatLine(account.name))
        return account;
    const NssSource::Ids listed{account.uid, account.gid};
    const auto ids = m_accountLine ? m_accountLine->Walk([&](NssSource &source) { return source.Account(account.name); },
                                                         [&] { return m_files.Account(account.name); },
                                                         [&] { return std::optional<NssSource::Ids>(listed); })
                                   : LibraryAccount(account.name);
    return {account.name, ids.value_or(listed).uid, ids.value_or(listed).gid};
}

std::vector<gid_t> NssAccounts::GroupIds(const Account &account)
{
    if (!m_groupLine)
        return EachOnce(GroupList(account));
    std::vector<gid_t> gids{account.gid};
    const std::vector<gid_t> listing = m_memberOf.value(account.name);
    gids.insert(gids.end(), listing.begin(), listing.end());
    for (NssSource &source : m_groupLine->Asked())
        source.AddGroups(account.name, account.gid, gids);
    return EachOnce(gids);
}

std::optional<QByteArray> NssAccounts::GroupName(gid_t gid)
{
    if (!m_groupLine) {
        const group *entry = getgrgid(gid);
        return entry ? std::optional<QByteArray>(entry->gr_name) : std::nullopt;
    }
    return m_groupLine->Walk([gid](NssSource &source) { return source.GroupName(gid); },
                             [&] { return m_files.GroupName(gid); },
                             [&] {
                                 const auto listed = m_listedGroupOfGid.constFind(gid);
                                 return listed == m_listedGroupOfGid.cend() ? std::nullopt : std::optional(*listed);
                             });
}

bool NssAccounts::SharesName(const QByteArray &group)
{
    if (!m_accountLine)
        return getpwnam(group.constData()) != nullptr;
    auto &asked = m_accountLine->Asked();
    return m_knownAccounts.contains(group) || std::any_of(asked.begin(), asked.end(), [&group](NssSource &source) {
               return source.Account(group).has_value();
           });
}

} // namespace platform::directory
