#pragma once

#include "support/ProgressPair.h"

#include <QString>

// The finishing queries that close every scan run.
namespace modQueries {

// The closing text of a run of the finishing queries that ended well (they give no result).
inline const QString SuccessText = QStringLiteral("Scan finished successfully.");

// Fills UsedTable again with the names that hold rights on scanned directories outside the home
// and profile folders and that are no user account, each without its domain part. Shows four
// steps on Bar and ends Status with SuccessText or the error's message, which
// names UnusedTable and UsedTable (a name too long for its column is left out and ends the step
// only at its end, modDatabase::LeftOutRows). Not cancelled by a stop.
void ExecuteQueries(support::ProgressBar &Bar, support::StatusLabel &Status, const QString &DbPath,
                    const QString &UsedTable, const QString &UnusedTable);

} // namespace modQueries
