#include "platform/database/DatabaseError.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace platform::database {

namespace {
support::Error make(int32_t number, const QString &description) { return {number, description, kErrorSource}; }

QString fileOf(sqlite3 *db)
{
    const char *name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}
} // namespace

support::Error FileNotFound(const QString &path)
{
    return make(kDatabaseFailure, QStringLiteral("Could not find file '%1'.").arg(path));
}

support::Error FileNotReadable(const QString &path, const QString &reason)
{
    // Deliberately not "C...": the file is there, it just cannot be used.
    return make(kDatabaseFailure, QStringLiteral("The database file '%1' cannot be opened: %2.").arg(path, reason));
}

support::Error NotADatabase(const QString &path)
{
    return make(kDatabaseFailure, QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

support::Error NotOneStatement()
{
    return make(kStatementRejected, QStringLiteral("Invalid SQL statement: a command runs exactly one statement."));
}

support::Error SqliteError(sqlite3 *db, int code)
{
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));

    switch (code & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return NotADatabase(fileOf(db));
    case SQLITE_CANTOPEN:
        return FileNotFound(fileOf(db));
    case SQLITE_TOOBIG:
        return make(kValueTooLong, QStringLiteral("The value is too large for its field (%1).").arg(message));
    case SQLITE_MISMATCH:
        return make(kTypeMismatch, QStringLiteral("Data type mismatch in a field (%1).").arg(message));
    case SQLITE_CONSTRAINT:
        if (code == SQLITE_CONSTRAINT_CHECK)
            return make(kValueTooLong, QStringLiteral("The field is too small for the value (%1).").arg(message));
        if (code == SQLITE_CONSTRAINT_DATATYPE)
            return make(kTypeMismatch, QStringLiteral("Data type mismatch in a field (%1).").arg(message));
        return make(kDatabaseFailure, QStringLiteral("The row was refused by the table's rules (%1).").arg(message));
    case SQLITE_READONLY:
        return make(kDatabaseFailure, QStringLiteral("The database file cannot be written (%1).").arg(message));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return make(kDatabaseFailure, QStringLiteral("The database file is locked by another program (%1).").arg(message));
    case SQLITE_FULL:
        return make(kDatabaseFailure, QStringLiteral("There is not enough space on the disk (%1).").arg(message));
    case SQLITE_ERROR: {
        static const QRegularExpression noTable(QStringLiteral("^no such table: (?:\\w+\\.)?(.+)$"));
        static const QRegularExpression valueCount(
            QStringLiteral("^(?:table \\S+ has \\d+ columns but \\d+ values were supplied|"
                           "\\d+ values for \\d+ columns|all VALUES must have the same number of terms)"));
        if (const auto match = noTable.match(message); match.hasMatch())
            return make(kTableNotFound, QStringLiteral("Table '%1' does not exist.").arg(match.captured(1)));
        if (valueCount.match(message).hasMatch())
            return make(kDatabaseFailure, QStringLiteral("Destination table and statement differ in their number of values (%1).").arg(message));
        return make(kStatementRejected, QStringLiteral("Invalid SQL statement (%1).").arg(message));
    }
    default:
        return make(kDatabaseFailure, QStringLiteral("The database engine failed (%1).").arg(message));
    }
}

support::Error UsageError(int32_t number)
{
    switch (number) {
    case kNoCurrentRecord:
        return make(number, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                           "Requested operation requires a current record."));
    case kNoSuchField:
        return make(number, QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    case kObjectClosed:
        return make(number, QStringLiteral("Operation is not allowed when the object is closed."));
    case kObjectOpen:
        return make(number, QStringLiteral("Operation is not allowed when the object is open."));
    case kInvalidUseOfNull:
        return make(number, QStringLiteral("Invalid use of Null"));
    default:
        return make(number, QStringLiteral("Database object error %1.").arg(number));
    }
}

} // namespace platform::database
