#include "scan/UnreadableAccounts.h"

bool UnreadableAccounts::ReadableUser(const QString &unreadableName)
{
    return Readable(unreadableName, m_users, QStringLiteral("Account name is not valid UTF-8"));
}

bool UnreadableAccounts::ReadableGroup(const QString &unreadableName)
{
    return Readable(unreadableName, m_groups, QStringLiteral("Group name is not valid UTF-8"));
}

QStringList UnreadableAccounts::Counts() const
{
    return Counted(m_users.size(), QStringLiteral("user"), QStringLiteral("users"))
           + Counted(m_groups.size(), QStringLiteral("group"), QStringLiteral("groups"));
}

bool UnreadableAccounts::Readable(const QString &unreadableName, QSet<QString> &noted, const QString &reason)
{
    if (unreadableName.isEmpty())
        return true;
    if (!noted.contains(unreadableName)) {
        noted.insert(unreadableName);
        m_list.push_back({unreadableName, reason});
    }
    return false;
}
