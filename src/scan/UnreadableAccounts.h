#pragma once

#include "scan/PassedOver.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

// The accounts and groups whose names are no text, which the results database cannot hold: a task
// passes each over with every row that names it, notes it once in its list of passed-over items
// and counts it in its closing line ("2 users and 1 group").
class UnreadableAccounts {
public:
    explicit UnreadableAccounts(std::vector<PassedOver> &list) : m_list(list) {}

    // True when unreadableName (an account's or group's name as support::KeptBytes keeps it, or
    // empty for a name that is text) is empty; otherwise notes the account or group.
    bool ReadableUser(const QString &unreadableName);
    bool ReadableGroup(const QString &unreadableName);

    // How many were noted, in all.
    size_t Noted() const { return m_users.size() + m_groups.size(); }
    // The counts for a closing line: "2 users", "1 group"; nothing for none.
    QStringList Counts() const;

private:
    bool Readable(const QString &unreadableName, QSet<QString> &noted, const QString &reason);

    std::vector<PassedOver> &m_list;
    QSet<QString> m_users;
    QSet<QString> m_groups;
};
