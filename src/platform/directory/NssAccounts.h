#pragma once

#include "platform/directory/NssFiles.h"
#include "platform/directory/NssLine.h"

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
// look-up through the C library gives (getpwnam, getgrouplist, getgrgid): where nsswitch.conf
// names the sources as a plain list, the line is followed as the C library follows it (NssLine),
// each source but files and systemd asked on its own; otherwise the C library is asked. Names
// are the bytes the system holds, which need not be UTF-8.
class NssAccounts {
public:
    struct Account {
        QByteArray name;
        uid_t uid;
        gid_t gid;
    };

    NssAccounts();

    // Each name once, in NSS order, as listed: where two sources list one name, the first one's.
    const std::vector<Account> &Accounts() const { return m_accounts; }
    // account (one of Accounts()) with the uid and primary group that a look-up of its name gives,
    // as "id" shows them: a source that stands before the lists answers it first.
    Account LookedUp(const Account &account);
    // The groups' names, each once, in NSS order.
    const std::vector<QByteArray> &GroupNames() const { return m_groupNames; }

    // The gids of every group account belongs to, as getgrouplist gives them: its primary group
    // first, then those of every source, each once.
    std::vector<gid_t> GroupIds(const Account &account);
    // The name of the group of gid, as getgrgid gives it; nothing when no group has it. Asked
    // anew each time: the caller keeps what it needs.
    std::optional<QByteArray> GroupName(gid_t gid);
    // True when getpwnam finds an account with the name of group.
    bool SharesName(const QByteArray &group);

private:
    void ReadAccounts();
    void ReadGroups();
    void AddSystemdEntries(bool accounts, bool groups);

    std::vector<Account> m_accounts;
    QSet<QByteArray> m_knownAccounts; // the names a look-up finds, of those the lists hold
    std::vector<QByteArray> m_groupNames;
    QHash<gid_t, QByteArray> m_listedGroupOfGid; // the names the lists give
    QHash<QByteArray, std::vector<gid_t>> m_memberOf; // a member's name: the gids of the groups that list it
    // The lines of the accounts and of the groups; nothing where the C library is followed.
    std::optional<NssLine> m_accountLine;
    std::optional<NssLine> m_groupLine;
    NssFiles m_files;
};

} // namespace platform::directory
