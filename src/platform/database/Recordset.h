#pragma once

#include "platform/database/Connection.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::database {

enum CursorTypeEnum { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3, adLockBatchOptimistic = 4 };
// How Open takes its source: a statement, a table name, or (unspecified) whichever it looks like.
enum CommandTypeEnum { adCmdUnspecified = -1, adCmdText = 1, adCmdTable = 2 };

// One value of the current row: a view into the record set's copy of the rows, valid until
// the record set reopens or closes.
class Field {
public:
    // The stored value: a null QVariant for Null, else text, a whole number, a real or bytes.
    QVariant Value() const;
    bool IsNull() const { return m_kind == Kind::Null; }
    // The value as text; Null raises error 94 "Invalid use of Null".
    QString Text() const;
    // The same text in UTF-8, for a caller that needs no QString of it. The bytes of a text value
    // are not copied: they are valid as long as the field.
    QByteArray Utf8() const;

private:
    friend class Recordset;
    enum class Kind : uint8_t { Null, Integer, Real, Text, Bytes };

    union {
        qint64 m_number = 0;
        double m_real;
        const char *m_data; // Text (UTF-8) and Bytes
    };
    int32_t m_size = 0;
    Kind m_kind = Kind::Null;
};

// The rows of one statement or table. The whole result is read at Open (a snapshot: the file
// is not held while the caller walks the rows, and RecordCount is known at once); values are
// kept as SQLite gives them and made into QStrings only when a field is read. An action
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
    // Keeps a copy of size bytes in the blocks and returns where it is.
    const char *Keep(const char *data, int size);

    std::vector<Field> m_cells; // row after row
    // The texts and bytes of the cells, in blocks that never move once written.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_free = nullptr;
    size_t m_left = 0;
    int m_columns = 0;
    size_t m_rows = 0;
    size_t m_row = 0;
    bool m_open = false;
};

} // namespace platform::database
