#pragma once

#include "support/ProgramEnd.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace platform::database {

// Object states, as State() reports them.
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };

// One connection to a results database file (SQLite 3). Every failure is raised as a
// support::Error with the numbers of DatabaseError.h.
//
// Opening never creates a file: a missing file, and a file that is not a database, fail at Open.
//
// Writes are grouped into transactions here, so that callers write row by row without paying
// a disk flush per row: the first write after a commit begins a transaction, and it is committed
// once it is a second old (checked at the next write), whenever a statement fails (before the
// error is raised, so rows written before an error stay), at Close, in the destructor, and when
// the program is ended at once (support::EndProgram). A statement that fails undoes only itself.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // "...;data source=<path>;..." in the form the program builds; only the data source is used.
    // The value ends at a ";" that is followed by the end or by another "key=" (a key is a
    // word of letters, digits, blanks and ":"), so a path may hold ";" otherwise; a path in
    // double quotes may hold anything but a double quote.
    QString ConnectionString() const { return m_connectionString; }
    void setConnectionString(const QString &connectionString) { m_connectionString = connectionString; }

    // The user, password and options are accepted for the callers' sake and not used.
    void Open(const QString &UserID = {}, const QString &Password = {}, int Options = -1);

    // Runs one statement (a trailing ";" is allowed, a second statement is not); the values of
    // parameters are bound to its "?" placeholders in order. Returns the number of rows the
    // statement changed.
    int Execute(const QString &CommandText, const QVariantList &parameters = {});

    int State() const { return m_db ? adStateOpen : adStateClosed; }

    // Commits what is pending and closes. A failed final commit is raised after the file has been
    // closed, so call Close inside the step's error trap on the way out to have it reported.
    void Close();

    // The data source of a connection string ("" when it names none).
    static QString DataSource(const QString &connectionString);

    // Runs sql with parameters bound; onRow is called for every result row with the statement
    // positioned on it. Returns the number of result columns. Used by Recordset.
    int Run(const QString &sql, const QVariantList &parameters, const std::function<void(sqlite3_stmt *)> &onRow);

private:
    friend class Command;

    sqlite3_stmt *Prepare(const QString &sql, bool reuse);
    // Runs a prepared statement whose values are bound; see Run.
    int Step(sqlite3_stmt *statement, const std::function<void(sqlite3_stmt *)> &onRow);
    void BeginWrite();
    void CommitIfDue();
    // Commits pending rows; returns the SQLite result code (SQLITE_OK when nothing was pending).
    int Commit();
    [[noreturn]] void Fail(int code);
    void Release();

    QString m_connectionString;
    sqlite3 *m_db = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements; // statements run with parameters, kept for reuse
    QElapsedTimer m_transactionAge;
    std::optional<support::ProgramEndHook> m_endHook; // lives while rows are uncommitted
};

// One statement prepared once and run many times with text values, for a step that writes many
// rows through one statement: neither the statement's text nor the values are looked up or
// converted per run. Runs follow the connection's transaction rules and raise its errors. A
// command outlives neither its connection nor the connection's staying open (a run after Close
// raises "object closed").
class Command {
public:
    Command(Connection &ActiveConnection, const QString &CommandText);
    ~Command();
    Command(const Command &) = delete;
    Command &operator=(const Command &) = delete;

    // Binds values to the statement's "?" placeholders in order and runs it.
    void Execute(std::initializer_list<QStringView> values);

private:
    Connection &m_connection;
    sqlite3 *m_db;
    sqlite3_stmt *m_statement;
};

} // namespace platform::database
