#include "scan/modScanUsersGroups.h"

#include "platform/database/Connection.h"
#include "platform/directory/DirectoryService.h"
#include "scan/UnreadableAccounts.h"
#include "scan/modDatabase.h"
#include "support/DateText.h"
#include "support/DoEvents.h"

namespace modScanUsersGroups {

namespace {

using namespace platform::directory;
using modDatabase::EscapeQuotes;

QString TrueFalse(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

// An ADsPath without its "WinNT://".
QString WithoutProvider(const QString &adsPath) { return adsPath.mid(8); }

// A group's name as its ADsPath gives it: the text after the first "/" that follows the
// provider (the domain), or that rest whole when it has none.
QString GroupNameOfPath(const QString &adsPath)
{
    const QString rest = WithoutProvider(adsPath);
    const qsizetype slash = rest.indexOf(u'/');
    return slash < 0 ? rest : rest.mid(slash + 1);
}

// Inserts one row whose values may read directory properties: a property without a value skips
// the row, a value too long for its column leaves it out until the task's end.
template <typename Values>
void StoreRow(platform::database::Connection &cn, const QString &table, const Values &values,
              modDatabase::LeftOutRows &leftOut)
{
    SkippingMissingProperty([&] { leftOut.Store([&] { modDatabase::InsertRow(cn, table, values()); }); });
}

void StoreUser(platform::database::Connection &cn, const User &user, const QString &strUsersTable,
               const QString &strUserGroupTable, modDatabase::LeftOutRows &leftOut, UnreadableAccounts &unreadable)
{
    // Every text starts afresh for each user, so a value the directory does not hold is never
    // taken over from the user before.
    QString strLastLogin = support::kNoDateText;
    qint64 lngFlags = 0;
    QString strPath;
    QString strName;
    SkippingMissingProperty([&] { lngFlags = user.Get(QStringLiteral("UserFlags")).toLongLong(); });
    SkippingMissingProperty([&] { strLastLogin = EscapeQuotes(support::DateText(user.LastLogin())); });
    SkippingMissingProperty([&] { strPath = EscapeQuotes(WithoutProvider(user.ADsPath()).replace(u'/', u'\\')); });
    SkippingMissingProperty([&] { strName = EscapeQuotes(user.Name()); });

    StoreRow(cn, strUsersTable, [&] {
        return QStringList{strName, strPath, TrueFalse(user.AccountDisabled()),
                           TrueFalse((lngFlags & kDontExpirePassword) != 0), strLastLogin};
    }, leftOut);
    StoreRow(cn, strUserGroupTable, [&] { return QStringList{strName, QStringLiteral("Users")}; }, leftOut);
    for (const Group &group : user.Groups()) {
        if (unreadable.ReadableGroup(group.UnreadableName()))
            StoreRow(cn, strUserGroupTable, [&] { return QStringList{strName, EscapeQuotes(group.Name())}; }, leftOut);
    }
}

} // namespace

int32_t ScanUsersGroups(support::ProgressBar &ProgressBar, support::StatusLabel &lblStatus,
                        const QString &strDatabasePath, const QString &strUsersTable, const QString &strGroupsTable,
                        const QString &strUserGroupTable, const QString &strDomain, std::vector<PassedOver> *Unreadable)
{
    Q_UNUSED(ProgressBar); // this task shows no progress of its own
    std::vector<PassedOver> own;
    UnreadableAccounts unreadable(Unreadable ? *Unreadable : own);
    platform::database::Connection cn;
    int32_t result = 0;
    try {
        lblStatus.setCaption(QStringLiteral("Scanning users..."));
        support::DoEvents();

        modDatabase::OpenDatabase(cn, strDatabasePath);
        modDatabase::EmptyTable(cn, strUsersTable);
        modDatabase::EmptyTable(cn, strGroupsTable);
        modDatabase::EmptyTable(cn, strUserGroupTable);

        const std::unique_ptr<DomainContainer> users = Current().Bind(strDomain);
        const std::unique_ptr<DomainContainer> groups = Current().Bind(strDomain);

        modDatabase::LeftOutRows leftOut;
        for (const User &user : users->Users()) {
            if (unreadable.ReadableUser(user.UnreadableName()))
                StoreUser(cn, user, strUsersTable, strUserGroupTable, leftOut, unreadable);
            support::DoEvents();
        }

        lblStatus.setCaption(QStringLiteral("Scanning groups..."));
        support::DoEvents();
        for (const Group &group : groups->Groups()) {
            if (unreadable.ReadableGroup(group.UnreadableName()))
                StoreRow(cn, strGroupsTable, [&] { return QStringList{EscapeQuotes(GroupNameOfPath(group.ADsPath()))}; },
                         leftOut);
        }
        leftOut.RaiseIfAny();

        lblStatus.setCaption(ScannedText(QStringLiteral("Users and groups"), unreadable.Counts()));
        result = 1;
        // Inside the trap: closing commits the last rows, and a failure there must be reported.
        modDatabase::CloseIfOpen(cn);
    } catch (const support::Error &error) {
        lblStatus.setCaption(
            modDatabase::ErrorMessage(error, strUsersTable, strGroupsTable, modDatabase::MismatchEnd::FullStop));
        result = 0;
        modDatabase::CloseAfterError(cn);
    }
    return result;
}

} // namespace modScanUsersGroups
