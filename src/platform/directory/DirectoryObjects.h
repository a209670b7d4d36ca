#pragma once

#include "support/Error.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>

#include <vector>

namespace platform::directory {

// Binding a domain the service does not know.
inline constexpr int32_t kDomainNotFound = support::ResultCode(0x80005000);
// Reading a property that holds no value (a user who never logged on has no LastLogin).
inline constexpr int32_t kPropertyNotFound = support::ResultCode(0x8000500D);

// Bits of a user's "UserFlags" value: the account is disabled; its password never expires.
inline constexpr int kAccountDisable = 0x2;
inline constexpr int kDontExpirePassword = 0x10000;

// One object of the directory with its property values. Property names match without regard to
// letter case. Reading a property that holds no value raises kPropertyNotFound at that read, so
// a caller can skip exactly the statement that needed it.
class DirectoryObject {
public:
    // The value of property, or kPropertyNotFound when it holds none.
    QVariant Get(const QString &property) const;
    // Sets property; an invalid QVariant removes its value.
    void Put(const QString &property, const QVariant &value);

    QString Name() const { return Get(QStringLiteral("Name")).toString(); }
    // "WinNT://" + domain + "/" + name.
    QString ADsPath() const { return Get(QStringLiteral("ADsPath")).toString(); }

    // A service that names objects with bytes (NSS) may hold a name that is no valid UTF-8. Its
    // text then stands for another name or for none, so such an object carries its name as
    // support::KeptBytes keeps it, for reports (printed "caf\xE9"); empty for a name that is text.
    const QString &UnreadableName() const { return m_unreadableName; }
    void setUnreadableName(QString name) { m_unreadableName = std::move(name); }

private:
    QHash<QString, QVariant> m_properties;
    QString m_unreadableName;
};

class Group : public DirectoryObject {};

class Computer : public DirectoryObject {};

class User : public DirectoryObject {
public:
    bool AccountDisabled() const { return Get(QStringLiteral("AccountDisabled")).toBool(); }
    QDateTime LastLogin() const { return Get(QStringLiteral("LastLogin")).toDateTime(); }

    // The groups the user belongs to, in the service's order.
    const std::vector<Group> &Groups() const { return m_groups; }
    void setGroups(std::vector<Group> groups) { m_groups = std::move(groups); }

private:
    std::vector<Group> m_groups;
};

// Runs step, which reads properties; a property without a value skips only that step, as the
// scan steps treat it. Any other error goes on to the caller. Returns false when it was skipped.
template <typename Step>
bool SkippingMissingProperty(Step step)
{
    try {
        step();
        return true;
    } catch (const support::Error &error) {
        if (error.Number() != kPropertyNotFound)
            throw;
        return false;
    }
}

// The three kinds of object, each with Name and ADsPath set for domain; the rest is the
// backend's to fill.
User MakeUser(const QString &domain, const QString &name);
Group MakeGroup(const QString &domain, const QString &name);
Computer MakeComputer(const QString &domain, const QString &name);

} // namespace platform::directory
