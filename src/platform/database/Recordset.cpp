#include "platform/database/Recordset.h"

#include "platform/database/DatabaseError.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>

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
        return QVariant(m_real);
    case Kind::Bytes:
        return QVariant(QByteArray(m_data, m_size));
    case Kind::Text:
        break;
    }
    return QVariant(QString::fromUtf8(m_data, m_size));
}

QString Field::Text() const
{
    if (m_kind == Kind::Text)
        return QString::fromUtf8(m_data, m_size);
    if (m_kind == Kind::Null)
        throw UsageError(kInvalidUseOfNull);
    return Value().toString();
}

QByteArray Field::Utf8() const
{
    if (m_kind == Kind::Text)
        return QByteArray::fromRawData(m_data, m_size);
    return Text().toUtf8();
}

const char *Recordset::Keep(const char *data, int size)
{
    constexpr size_t kBlock = 1 << 20;
    const auto bytes = size_t(size);
    if (bytes > m_left) {
        const size_t length = std::max(kBlock, bytes);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(length));
        m_free = m_blocks.back().get();
        m_left = length;
    }
    char *kept = m_free;
    if (bytes)
        std::memcpy(kept, data, bytes);
    m_free += bytes;
    m_left -= bytes;
    return kept;
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

    Close();
    const int resultColumns = ActiveConnection.Run(sql, parameters, [this](sqlite3_stmt *statement) {
        const int columns = sqlite3_column_count(statement);
        for (int i = 0; i < columns; ++i) {
            Field &cell = m_cells.emplace_back();
            switch (sqlite3_column_type(statement, i)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
                cell.m_kind = Field::Kind::Integer;
                cell.m_number = sqlite3_column_int64(statement, i);
                break;
            case SQLITE_FLOAT:
                cell.m_kind = Field::Kind::Real;
                cell.m_real = sqlite3_column_double(statement, i);
                break;
            case SQLITE_TEXT: {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                cell.m_kind = Field::Kind::Text;
                cell.m_size = sqlite3_column_bytes(statement, i);
                cell.m_data = Keep(text, cell.m_size);
                break;
            }
            default: {
                const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, i));
                cell.m_kind = Field::Kind::Bytes;
                cell.m_size = sqlite3_column_bytes(statement, i);
                cell.m_data = Keep(bytes, cell.m_size);
                break;
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
    return m_cells[m_row * size_t(m_columns) + size_t(index)];
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
    m_cells = std::vector<Field>();
    m_blocks.clear();
    m_free = nullptr;
    m_left = 0;
    m_rows = m_row = 0;
    m_columns = 0;
}

} // namespace platform::database
