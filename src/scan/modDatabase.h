#pragma once

#include "platform/database/Connection.h"
#include "platform/database/DatabaseError.h"
#include "support/Error.h"

#include <QString>
#include <QStringList>

#include <optional>

// The write side of the results database: the apostrophe rule, how a step opens the file,
// empties its tables and inserts its rows, and the messages a scan step shows for a database
// error.
namespace modDatabase {

// The apostrophe rule: stored text carries "|" wherever the real text has "'".
QString EscapeQuotes(const QString &text);
QString UnescapeQuotes(const QString &text);

// "Provider=Microsoft.Jet.OLEDB.4.0;data source=" + path + ";Jet OLEDB:Engine Type=5;"
QString ConnectionString(const QString &databasePath);

// Sets the connection string for databasePath and opens the connection. Raises the database
// layer's errors (missing file, not a database).
void OpenDatabase(platform::database::Connection &connection, const QString &databasePath);

// Closes connection if it is open. Closing commits the last rows, so a step calls this inside
// its error trap, where a failure of that commit is reported like any other.
void CloseIfOpen(platform::database::Connection &connection);

// "delete from " + table + " where 1<2", run on connection.
void EmptyTable(platform::database::Connection &connection, const QString &table);

// Inserts one row into table, one value per column in column order, each value already in its
// stored form (EscapeQuotes applied where the rule asks for it). The values are bound to the
// statement "insert into <table> values(?,...)", never spliced into its text. A table with
// another number of columns raises 0x80004005 "D..."; a missing table 0x80040E37; a value
// longer than its column allows 0x80040E57.
void InsertRow(platform::database::Connection &connection, const QString &table, const QStringList &values);

// Closes connection on the way out of a step that has already failed: pending rows are committed
// and the file closed; a failure of that close does not replace the step's first message.
void CloseAfterError(platform::database::Connection &connection);

// InsertRow for a step that writes many rows into one table: the statement is prepared once.
// Each Insert gives one value per column (as many as columns says), in stored form. Raises what
// InsertRow raises; a missing table already when made.
class RowWriter {
public:
    RowWriter(platform::database::Connection &connection, const QString &table, qsizetype columns);
    void Insert(std::initializer_list<QStringView> values) { m_insert.Execute(values); }

private:
    platform::database::Command m_insert;
};

// The rows a step leaves out because a value is longer than its column allows. Such a row does
// not end the step: the step stores its other rows and, at its end, fails as if the first of
// these errors had come then (with the message for fields that are too small, and result 0).
class LeftOutRows {
public:
    // Runs insert, which stores one row; a value too long for its column leaves the row out.
    // Every other error goes on to the step.
    template <typename Insert> void Store(Insert insert)
    {
        try {
            insert();
        } catch (const support::Error &error) {
            if (error.Number() != platform::database::kValueTooLong)
                throw;
            if (!m_first)
                m_first = error;
        }
    }
    // Raises the first error of a row left out, if a row was.
    void RaiseIfAny() const
    {
        if (m_first)
            throw *m_first;
    }

private:
    std::optional<support::Error> m_first;
};

// The status text of a scan step for a caught error, one-table form (the permission scan and
// the installed-software scan): 0x80040E37, 0x80004005 by the first letter of the description,
// 0x80040E57; every other number gives "Unknown error: " + description.
QString ErrorMessage(const support::Error &error, const QString &table);

// Two-table form (the users-and-groups scan: table1 the users table, table2 the groups table;
// the finishing queries: table1 "UnusedGroups", table2 the used-groups table). It adds the rows
// 0x80040E07 (type mismatch) and 0x80005000 ("Domain not found!"); the users-and-groups scan
// ends the type-mismatch text with a full stop, the finishing queries do not.
enum class MismatchEnd { FullStop, NoFullStop };
QString ErrorMessage(const support::Error &error, const QString &table1, const QString &table2, MismatchEnd end);

// The rows that every member of the message family shares, for the read side's own table:
// tableText is a table name, or "T1' or 'T2" for two tables. Returns nothing for a number
// without a row here (each caller has its own "any other" row). withTypeAndDomain adds the
// 0x80040E07 and 0x80005000 rows.
std::optional<QString> FamilyMessage(int32_t number, const QString &description, const QString &tableText,
                                     bool withTypeAndDomain, MismatchEnd end = MismatchEnd::FullStop);

} // namespace modDatabase
