#pragma once

#include "support/Error.h"

#include <QString>

namespace platform::database {

// Another run holds the claim.
inline constexpr int32_t kClaimHeld = support::ResultCode(0x80070021);

// A scan run's claim on a results database, held for the object's lifetime: while one run holds
// it, no other run can take it, in this process or another, of this user or another. Readers
// never take it and are never held up by it.
//
// It is an exclusive flock on "<database>.lock" beside the database (its real path, links
// resolved, so that two paths of one file share one claim). The system drops it when the process
// ends, however it ends, so a killed run leaves no claim behind; the file itself stays and is
// taken over by the next run. The database file itself is never opened here: closing any
// descriptor of it would drop SQLite's own locks on it in this process.
//
// A read descriptor is all a claim needs, and the file is readable for exactly those who may write
// the database (its owner, group and others, as its mode lets them write), whatever the umask: root's
// scheduled run and a user's run from the window claim the same file, and a user who may not
// write the database cannot hold its scans off. A database that is not there needs no claim
// (nothing can be written to it).
class DatabaseClaim {
public:
    // Raises support::Error with source "DatabaseClaim": kClaimHeld when another run holds the
    // claim, or 0x80070000 + the system's error number when the lock file cannot be opened or
    // made; the description names the file.
    explicit DatabaseClaim(const QString &databasePath);
    ~DatabaseClaim();
    DatabaseClaim(const DatabaseClaim &) = delete;
    DatabaseClaim &operator=(const DatabaseClaim &) = delete;

private:
    int m_fd = -1;
};

} // namespace platform::database
