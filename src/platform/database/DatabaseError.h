#pragma once

#include "support/Error.h"

#include <QString>

struct sqlite3;

namespace platform::database {

// The result codes the database layer raises. The callers' message tables test these numbers,
// and for kDatabaseFailure the first letter of the description as well:
//   "U..." the file is not a database (or is damaged), "C..." the file cannot be found,
//   "D..." a statement gives a table the wrong number of values; every other failure that stops
//   a read or a write has a description that begins with another letter.
inline constexpr int32_t kDatabaseFailure = support::ResultCode(0x80004005);
inline constexpr int32_t kTypeMismatch = support::ResultCode(0x80040E07);
inline constexpr int32_t kStatementRejected = support::ResultCode(0x80040E14);
inline constexpr int32_t kTableNotFound = support::ResultCode(0x80040E37);
inline constexpr int32_t kValueTooLong = support::ResultCode(0x80040E57);

// Misuse of the objects themselves.
inline constexpr int32_t kNoCurrentRecord = support::ResultCode(0x800A0BCD);
inline constexpr int32_t kNoSuchField = support::ResultCode(0x800A0CC1);
inline constexpr int32_t kObjectClosed = support::ResultCode(0x800A0E78);
inline constexpr int32_t kObjectOpen = support::ResultCode(0x800A0E79);

// A Null value read where text is expected.
inline constexpr int32_t kInvalidUseOfNull = 94;

// The source that the layer's errors carry.
inline const QString kErrorSource = QStringLiteral("Results database");

// The one place where SQLite's failures become the layer's numbers and descriptions. code is
// the (extended) result code of the failed call, db the connection it failed on (may be null).
support::Error SqliteError(sqlite3 *db, int code);

// The failures of opening a file that is missing or is no database.
support::Error FileNotFound(const QString &path);
support::Error FileNotReadable(const QString &path, const QString &reason);
support::Error NotADatabase(const QString &path);

// A command text with nothing to run, or with a second statement after the first.
support::Error NotOneStatement();

// Errors of the objects' own rules.
support::Error UsageError(int32_t number);

} // namespace platform::database
