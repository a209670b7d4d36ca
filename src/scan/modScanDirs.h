#pragma once

#include "scan/PassedOver.h"
#include "support/ProgressPair.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The permission scan: the access rights of every listed directory, one row per entry
// (Path, Member, Right) in the results database.
namespace modScanDirs {

// Reads the access rights of each directory of Dirs, in order, into Table of the database at
// DbPath (emptied first). Within one directory, a run of consecutive entries for the same trustee
// gives one row, with the right of its first entry. Bar counts the directories; Status ends with
// "Directories scanned successfully." (result 1), "Scan cancelled." or the error's message
// (result 0). Rows stored before a stop or an error stay. A directory whose rights cannot be read
// (gone, no access, a path too long) adds no rows and the scan goes on: it is appended to
// Unreadable (when given; once, when the directory search noted it there already). So is an account
// or group whose name is no text (its entries have no rows; the directory's others stay), once.
// Unreadable may hold the directories the search passed over; when it holds any at the end, the
// scan ends with "Directories scanned; <n> directories and <u> users and <g> groups could not be
// read." (result 1, each part only when there are any), counting them all. A row
// with a value too long for its column is left out and ends the step only at its end
// (modDatabase::LeftOutRows). Symbolic links are not followed: the directory search lists none.
int32_t ScanDirs(const QStringList &Dirs, support::ProgressBar &Bar, support::StatusLabel &Status,
                 const QString &DbPath, const QString &Table, std::vector<PassedOver> *Unreadable = nullptr);

// Asks a running ScanDirs to stop once the directory in hand is complete. A stop asked for before
// the scan starts is not seen by it.
void StopScanDirs();

// The name stored for an access mask: "Full", "Modify", "Read&Execute", ... or, for a mask
// without a name, its value in hexadecimal capitals without prefix or leading zeros.
QString RightName(uint32_t mask);

// The trustee without the part up to and including its first "\" ("HOST\alice" gives "alice");
// a trustee without "\" whole.
QString MemberName(const QString &trustee);

} // namespace modScanDirs
