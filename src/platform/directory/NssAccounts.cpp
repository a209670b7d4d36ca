#include "platform/directory/NssAccounts.h"

#include "platform/directory/NssSwitch.h"

#include <grp.h>
#include <pwd.h>

#include <algorithm>
#include <array>

namespace platform::directory {

namespace {

// The sources whose lists hold everything they answer, so that only the other sources are asked:
// the files, and nss-systemd, which lists its users and groups but for root and nobody (uid and
// gid 0 and 65534), which it answers without listing wherever the files lack them.
const QByteArray Files = QByteArrayLiteral("files");
const QByteArray Systemd = QByteArrayLiteral("systemd");
constexpr std::array<id_t, 2> SystemdOwnIds{0, 65534};

// A compat line of the files ("+", "+name", "-name") stands for other entries: a look-up by name
// or by number passes it over.
bool IsCompatLine(const QByteArray &name) { return name.startsWith('+') || name.startsWith('-'); }

// The sources of database to ask one by one, or nothing when the C library's look-ups are to be
// followed.
std::optional<std::vector<NssSource>> AskedSources(const std::optional<QList<QByteArray>> &sources)
{
    if (!sources)
        return std::nullopt;
    std::vector<NssSource> asked;
    for (const QByteArray &source : *sources) {
        if (source != Files && source != Systemd)
            asked.emplace_back(source);
    }
    return asked;
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
    m_accountSources = AskedSources(accountSources);
    m_groupSources = AskedSources(groupSources);
    ReadAccounts();
    ReadGroups();
    const bool systemdAccounts = m_accountSources && accountSources->contains(Systemd);
    const bool systemdGroups = m_groupSources && groupSources->contains(Systemd);
    if (systemdAccounts || systemdGroups)
        AddSystemdEntries(NssSource(Systemd), systemdAccounts, systemdGroups);
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
        if (!IsCompatLine(name))
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
        if (m_groupSources && !IsCompatLine(name) && !m_groupOfGid.contains(entry->gr_gid))
            m_groupOfGid.insert(entry->gr_gid, name);
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

void NssAccounts::AddSystemdEntries(const NssSource &systemd, bool accounts, bool groups)
{
    for (const id_t id : SystemdOwnIds) {
        if (accounts) {
            if (const auto name = systemd.AccountName(id))
                m_knownAccounts.insert(*name);
        }
        if (groups && !m_groupOfGid.contains(id)) {
            if (const auto name = systemd.GroupName(id))
                m_groupOfGid.insert(id, *name);
        }
    }
}

std::vector<gid_t> NssAccounts::GroupIds(const Account &account) const
{
    if (!m_groupSources)
        return EachOnce(GroupList(account));
    std::vector<gid_t> gids{account.gid};
    const std::vector<gid_t> listing = m_memberOf.value(account.name);
    gids.insert(gids.end(), listing.begin(), listing.end());
    for (const NssSource &source : *m_groupSources)
        source.AddGroups(account.name, account.gid, gids);
    return EachOnce(gids);
}

std::optional<QByteArray> NssAccounts::GroupName(gid_t gid)
{
    const auto found = m_groupOfGid.constFind(gid);
    if (found != m_groupOfGid.cend())
        return *found;
    std::optional<QByteArray> name;
    if (!m_groupSources) {
        if (const group *entry = getgrgid(gid))
            name = QByteArray(entry->gr_name);
    } else {
        for (auto source = m_groupSources->begin(); !name && source != m_groupSources->end(); ++source)
            name = source->GroupName(gid);
    }
    m_groupOfGid.insert(gid, name);
    return name;
}

bool NssAccounts::SharesName(const QByteArray &group) const
{
    if (!m_accountSources)
        return getpwnam(group.constData()) != nullptr;
    return m_knownAccounts.contains(group)
           || std::any_of(m_accountSources->begin(), m_accountSources->end(),
                          [&group](const NssSource &source) { return source.KnowsAccount(group); });
}

} // namespace platform::directory
