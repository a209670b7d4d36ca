#pragma once

#include "analysis/clsProgram.h"
#include "analysis/clsUser.h"
#include "support/ProgressPair.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <cstdint>
#include <functional>

namespace platform::database {
class Connection;
class Recordset;
} // namespace platform::database

// The reader of the results database. It keeps no state: every operation opens its own
// connection, reads, closes and returns. The list operations replace the caller's collections
// with new ones before reading, drive the caller's progress pair and return 1, or 0 with the
// failure's message in the status label; rows read before a failure stay in the collections.
//
// Names, groups and directories passed in are brought to their stored form (the apostrophe
// rule) and bound to the statements as values, so any text can be asked for. A Null value in a
// row is skipped: the record keeps that property's initial value, a text list gets no entry.
class clsAnalysis {
public:
    // The stored date of the last scan, "" when there is none or anything fails.
    QString GetLastScanDate(const QString &DbasePath);
    // Stores datScanDate as the date of the last scan (inserting the one row, or updating every
    // row). Failures are not reported.
    void SetLastScanDate(const QString &DbasePath, const QString &datScanDate);

    // The Permissions rows of strNetworkGroup, ordered by path: colOutputDirectories[i] and
    // colOutputRights[i] are the path and the right of one row. strDirectories is "" or
    // "All directories" for every directory, else one directory or several joined by ", ";
    // each selects its own path and the paths below it, letter case counting and no character
    // a wildcard ("/srv/data" neither "/srv/data-old" nor "/srv/Data").
    // strFilterRight is "" or a condition on the column Right, used as the views build it.
    int32_t GetDirectoryRights(const QString &DbasePath, const QString &strFilterRight,
                               const QString &strNetworkGroup, QStringList &colOutputDirectories,
                               QStringList &colOutputRights, support::ProgressBar &Progress,
                               support::StatusLabel &ProgressLabel, const QString &strDirectories);
    // The same for strUser, and with blnAlsoRelatedGroups for every group the user belongs to
    // (table UserGroup) as well.
    int32_t GetUserRights(const QString &DbasePath, const QString &strFilterRight, const QString &strUser,
                          QStringList &colOutputDirectories, QStringList &colOutputRights,
                          support::ProgressBar &Progress, support::StatusLabel &ProgressLabel,
                          const QString &strDirectories, bool blnAlsoRelatedGroups);
    int32_t GetUsedGroups(const QString &DbasePath, QStringList &colOutputGroups, support::ProgressBar &Progress,
                          support::StatusLabel &ProgressLabel);
    int32_t GetUsers(const QString &DbasePath, QList<clsUser> &colOutputUsers, support::ProgressBar &Progress,
                     support::StatusLabel &ProgressLabel);
    int32_t GetInstalledSoftware(const QString &DbasePath, QList<clsProgram> &colOutputPrograms,
                                 support::ProgressBar &Progress, support::StatusLabel &ProgressLabel);
    // The distinct computer names (program names) of InstalledSoftware, without status texts or
    // progress; 0 without a message on failure.
    int32_t GetComputers(const QString &DbasePath, QStringList &colOutputComputers);
    int32_t GetPrograms(const QString &DbasePath, QStringList &colOutputComputers);

private:
    using OpenRows = std::function<void(platform::database::Connection &, platform::database::Recordset &)>;
    using TakeRow = std::function<void(const platform::database::Recordset &)>;
    // Gives the condition on Member and appends its values; may read the open connection.
    using MemberCondition = std::function<QString(platform::database::Connection &, QVariantList &)>;

    // The course every list operation with progress follows around its own statement and row.
    int32_t ReadList(const QString &DbasePath, const QString &strTable, const QString &strFilling,
                     support::ProgressBar &Progress, support::StatusLabel &ProgressLabel, const OpenRows &openRows,
                     const TakeRow &takeRow);
    int32_t ReadRights(const QString &DbasePath, const QString &strFilterRight, const MemberCondition &members,
                       QStringList &colOutputDirectories, QStringList &colOutputRights,
                       support::ProgressBar &Progress, support::StatusLabel &ProgressLabel,
                       const QString &strDirectories);
    int32_t ReadDistinct(const QString &DbasePath, const QString &strStatement, QStringList &colOutput);

    QString GetErrorMessage(int32_t lngNumber, const QString &strDescription, const QString &strTable);
};
