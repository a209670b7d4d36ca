#pragma once

#include "scan/PassedOver.h"
#include "support/ProgressPair.h"

#include <QString>

#include <cstdint>
#include <vector>

// The users and groups scan: every user account of the domain with its flags and last login,
// its group memberships and the domain's groups, read from the directory service into the
// results database.
namespace modScanUsersGroups {

// Empties the three tables (users, groups, user-group, in that order), then stores one row per
// user (name, path "DOMAIN\name", disabled, password never expires, last login or "01/01/1000"),
// the membership rows of each user (first the group "Users", then the user's groups in the
// directory's order) and one row per group. A property without a value skips only the statement
// that needed it. Shows its status texts in lblStatus and lets the message loop run after each
// user; the progress bar is left untouched. Returns 1 when everything was read, 0 when it ended
// on an error (the message, naming the users and groups tables, then stands in lblStatus). A row
// with a value too long for its column is left out and ends the task only at its end
// (modDatabase::LeftOutRows). An account or group whose name is no text (its UnreadableName) is
// passed over, with every row that names it, and appended to Unreadable (when given) once; the
// task then ends with "Users and groups scanned; <n> users and <m> groups could not be read."
// (each part only when there are any; result 1).
int32_t ScanUsersGroups(support::ProgressBar &ProgressBar, support::StatusLabel &lblStatus,
                        const QString &strDatabasePath, const QString &strUsersTable, const QString &strGroupsTable,
                        const QString &strUserGroupTable, const QString &strDomain,
                        std::vector<PassedOver> *Unreadable = nullptr);

} // namespace modScanUsersGroups
