#include "platform/database/Recordset.h"

#include "platform/database/DatabaseError.h"

#include <QRegularExpression>

#include <bit>

#include <sqlite3.h>

namespace platform::database {

namespace {
bool isTableName(const QString &source)
{
    static const QRegularExpression name(QStringLiteral("^(?:[A-Za-z_][A-Za-z0-9_]*|\\[[^\\]]+\\])$"));
    return name.match(source).hasMatch();
}
} // namespace

QVariant Field::Value() const
{
    switch (m_kind) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return QVariant(qlonglong(m_number));
    case Kind::Real:
        return QVariant(std::bit_cast<double>(m_number));
    case Kind::Bytes:
        return QVariant(QByteArray(m_data, m_size));
    case Kind::Text:
        break;
    }
    return QVariant(QString::fromUtf8(m_data, m_size));
}

QString Field::Text() const
{
    if (m_kind == Kind::Null)
        throw UsageError(kInvalidUseOfNull);
    if (m_kind == Kind::Text)
        return QString::fromUtf8(m_data, m_size);
    return Value().toString();
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

    m_cells.clear();
    m_bytes.clear();
    m_rows = 0;
    m_row = 0;
    const int resultColumns = ActiveConnection.Run(sql, parameters, [this](sqlite3_stmt *statement) {
        const int columns = sqlite3_column_count(statement);
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                m_cells.push_back({0, 0, Field::Kind::Null});
                break;
            case SQLITE_INTEGER:
                m_cells.push_back({sqlite3_column_int64(statement, i), 0, Field::Kind::Integer});
                break;
            case SQLITE_FLOAT:
                m_cells.push_back({std::bit_cast<qint64>(sqlite3_column_double(statement, i)), 0, Field::Kind::Real});
                break;
            default: {
                const bool text = sqlite3_column_type(statement, i) == SQLITE_TEXT;
                const auto *data = static_cast<const char *>(text ? static_cast<const void *>(sqlite3_column_text(statement, i))
                                                                  : sqlite3_column_blob(statement, i));
                const int size = sqlite3_column_bytes(statement, i);
                m_cells.push_back({qint64(m_bytes.size()), size, text ? Field::Kind::Text : Field::Kind::Bytes});
                m_bytes.insert(m_bytes.end(), data, data + size);
            }
            }
        }
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
    const Cell &cell = m_cells[m_row * size_t(m_columns) + size_t(index)];
    const bool stored = cell.kind == Field::Kind::Text || cell.kind == Field::Kind::Bytes;
    return Field(cell.kind, cell.number, stored ? m_bytes.data() + cell.number : nullptr, qsizetype(cell.size));
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
    m_cells = {};
    m_bytes = {};
    m_rows = m_row = 0;
    m_columns = 0;
}

} // namespace platform::database
