#pragma once

#include "platform/database/Connection.h"

#include <QString>
#include <QVariant>

#include <vector>

namespace platform::database {

enum CursorTypeEnum { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
// How Open takes its source: a statement, a table name, or (unspecified) whichever it looks like.
enum CommandTypeEnum { adCmdUnspecified = -1, adCmdText = 1, adCmdTable = 2 };

// One value of the current row.
class Field {
public:
    explicit Field(const QVariant &value) : m_value(&value) {}

    // The stored value: a null QVariant for Null, else text, a whole number, a real or bytes.
    const QVariant &Value() const { return *m_value; }
    bool IsNull() const { return m_value->isNull(); }
    // The value as text; Null raises error 94 "Invalid use of Null".
    QString Text() const;

private:
    const QVariant *m_value;
};

// The rows of one statement or table. The whole result is read at Open (a snapshot: the file
// is not held while the caller walks the rows, and RecordCount is known at once). An action
// statement (insert, delete, update) runs at Open and leaves the record set closed, so the same
// object can run the next statement.
class Recordset {
public:
    // Source is a statement, or a bare table name (letters, digits and "_", or a name in
    // brackets) whose rows are read in the database's order. The cursor and lock types are
    // accepted for the callers' sake: every record set here is a read-only snapshot.
    void Open(const QString &Source, Connection &ActiveConnection, int CursorType = adOpenForwardOnly,
              int LockType = adLockReadOnly, int Options = adCmdUnspecified);
    // The same with values bound to the statement's "?" placeholders, in order.
    void Open(const QString &Source, const QVariantList &parameters, Connection &ActiveConnection,
              int CursorType = adOpenForwardOnly, int LockType = adLockReadOnly, int Options = adCmdUnspecified);

    // True after the last row (at once for an empty result). ("EOF" is taken by the C library.)
    bool Eof() const;
    void MoveNext();
    // The field at position index of the current row, counted from 0.
    Field Fields(int index) const;
    int FieldCount() const { return m_columns; }
    int RecordCount() const;
    int State() const { return m_open ? adStateOpen : adStateClosed; }
    void Close();

private:
    std::vector<QVariant> m_values; // row after row
    int m_columns = 0;
    size_t m_rows = 0;
    size_t m_row = 0;
    bool m_open = false;
};

} // namespace platform::database
