#pragma once

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
// asking NSS per account made a scan grow with the square of the accounts. Names are the bytes
// the system holds, which need not be UTF-8.
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

    // The gids of every group account belongs to, its primary group first, each once: for an
    // account of the local files, the groups that list it as a member; for any other (winbind,
    // sssd) what its source answers for it, which need not be in any list of members.
    std::vector<gid_t> GroupIds(const Account &account) const;
    // The name of the group of gid (the first one NSS lists), nothing when no group has it.
    std::optional<QByteArray> GroupName(gid_t gid);
    // True when an account has the name of group too.
    bool SharesName(const QByteArray &group) const;

private:
    void ReadAccounts();
    void ReadGroups();

    std::vector<Account> m_accounts;
    QSet<QByteArray> m_accountNames;
    QSet<QByteArray> m_listedTwice;
    QSet<QByteArray> m_localAccounts;  // in the passwd file
    QSet<QByteArray> m_localGroups;    // in the group file
    std::vector<QByteArray> m_groupNames;
    QHash<gid_t, std::optional<QByteArray>> m_groupOfGid;
    QHash<QByteArray, std::vector<gid_t>> m_memberOf; // a member's name: the gids of the groups that list it
};

} // namespace platform::directory
