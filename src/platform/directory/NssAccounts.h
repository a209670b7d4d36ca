#pragma once

#include "platform/directory/NssSource.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <sys/types.h>

#include <optional>
#include <vector>

namespace platform::directory {

// This machine's accounts and groups as NSS lists them, each list read once, and what the users
// scan asks of them for every account: its groups, the names of groups, whether a group shares
// its name with an account. The files source reads its whole file for every single look-up, so
// asking NSS per account made a scan grow with the square of the accounts: what the lists hold
// is answered from them. Some sources answer look-ups for entries they do not list (sssd and
// nslcd with enumeration off; nss-systemd for root and nobody), so every answer is also what a
// look-up through the C library gives (getgrouplist, getgrgid, getpwnam): where nsswitch.conf
// names the sources as a plain list, each source but files and systemd is asked on its own for
// what its list may lack; otherwise the C library is asked. Names are the bytes the system
// holds, which need not be UTF-8.
class NssAccounts {
public:
    struct Account {
        QByteArray name;
        uid_t uid;
        gid_t gid;
    };

    NssAccounts();

    // Each name once, in NSS order: where two sources list one name, the first is the one that
    // logs in.
    const std::vector<Account> &Accounts() const { return m_accounts; }
    // The groups' names, each once, in NSS order.
    const std::vector<QByteArray> &GroupNames() const { return m_groupNames; }

    // The gids of every group account belongs to, as getgrouplist gives them: its primary group
    // first, then those of every source, each once.
    std::vector<gid_t> GroupIds(const Account &account) const;
    // The name of the group of gid, as getgrgid gives it; nothing when no group has it.
    std::optional<QByteArray> GroupName(gid_t gid);
    // True when getpwnam finds an account with the name of group.
    bool SharesName(const QByteArray &group) const;

private:
    void ReadAccounts();
    void ReadGroups();
    void AddSystemdEntries(const NssSource &systemd, bool accounts, bool groups);

    std::vector<Account> m_accounts;
    QSet<QByteArray> m_knownAccounts; // the names a look-up finds, of those the lists hold
    std::vector<QByteArray> m_groupNames;
    QHash<gid_t, std::optional<QByteArray>> m_groupOfGid; // the names the lists give, and those asked for
    QHash<QByteArray, std::vector<gid_t>> m_memberOf; // a member's name: the gids of the groups that list it
    // The sources asked on their own for accounts and for groups; nothing where the C library is.
    std::optional<std::vector<NssSource>> m_accountSources;
    std::optional<std::vector<NssSource>> m_groupSources;
};

} // namespace platform::directory
