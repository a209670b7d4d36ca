#include "platform/database/Recordset.h"

#include "platform/database/DatabaseError.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace platform::database {

namespace {
QVariant valueAt(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(statement, column)));
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement, column)));
    }
    }
}

bool isTableName(const QString &source)
{
    static const QRegularExpression name(QStringLiteral("^(?:[A-Za-z_][A-Za-z0-9_]*|\\[[^\\]]+\\])$"));
    return name.match(source).hasMatch();
}
} // namespace

QString Field::Text() const
{
    if (m_value->isNull())
        throw UsageError(kInvalidUseOfNull);
    return m_value->toString();
}

void Recordset::Open(const QString &Source, Connection &ActiveConnection, int CursorType, int LockType, int Options)
{
    Open(Source, {}, ActiveConnection, CursorType, LockType, Options);
}

void Recordset::Open(const QString &Source, const QVariantList &parameters, Connection &ActiveConnection, int, int,
                     int Options)
{
    if (m_open)
        throw UsageError(kObjectOpen);
    const QString source = Source.trimmed();
    const bool table = Options == adCmdTable || (Options != adCmdText && isTableName(source));
    QString sql = source;
    if (table)
        sql = QStringLiteral("SELECT * FROM ") + (source.startsWith(u'[') ? source : u'[' + source + u']');

    m_values.clear();
    m_rows = 0;
    m_row = 0;
    int columns = 0;
    const int resultColumns = ActiveConnection.Run(sql, parameters, [&](sqlite3_stmt *statement) {
        columns = sqlite3_column_count(statement);
        for (int i = 0; i < columns; ++i)
            m_values.push_back(valueAt(statement, i));
        ++m_rows;
    });
    m_columns = resultColumns;
    m_open = resultColumns > 0;
}

bool Recordset::Eof() const
{
    if (!m_open)
        throw UsageError(kObjectClosed);
    return m_row >= m_rows;
}

void Recordset::MoveNext()
{
    if (Eof())
        throw UsageError(kNoCurrentRecord);
    ++m_row;
}

Field Recordset::Fields(int index) const
{
    if (Eof())
        throw UsageError(kNoCurrentRecord);
    if (index < 0 || index >= m_columns)
        throw UsageError(kNoSuchField);
    return Field(m_values[m_row * size_t(m_columns) + size_t(index)]);
}

int Recordset::RecordCount() const
{
    if (!m_open)
        throw UsageError(kObjectClosed);
    return int(m_rows);
}

void Recordset::Close()
{
    m_open = false;
    m_values.clear();
    m_values.shrink_to_fit();
    m_rows = m_row = 0;
    m_columns = 0;
}

} // namespace platform::database
