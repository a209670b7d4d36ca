#include "scan/modDatabase.h"

#include "platform/database/DatabaseError.h"
#include "platform/directory/DirectoryObjects.h"

namespace modDatabase {

namespace db = platform::database;

namespace {
QString replaced(const QString &text, QChar from, QChar to)
{
    // Most texts hold neither character: hand them back shared instead of copied.
    if (!text.contains(from))
        return text;
    QString result = text;
    return result.replace(from, to);
}
} // namespace

QString EscapeQuotes(const QString &text) { return replaced(text, u'\'', u'|'); }

QString UnescapeQuotes(const QString &text) { return replaced(text, u'|', u'\''); }

QString ConnectionString(const QString &databasePath)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;data source=") + databasePath +
           QStringLiteral(";Jet OLEDB:Engine Type=5;");
}

void OpenDatabase(db::Connection &connection, const QString &databasePath)
{
    connection.setConnectionString(ConnectionString(databasePath));
    connection.Open(QString(), QString(), -1);
}

void CloseIfOpen(db::Connection &connection)
{
    if (connection.State() == db::adStateOpen)
        connection.Close();
}

void EmptyTable(db::Connection &connection, const QString &table)
{
    connection.Execute(QStringLiteral("delete from ") + table + QStringLiteral(" where 1<2"));
}

namespace {
// "insert into <table> values(?,...)" with one placeholder per column.
QString InsertStatement(const QString &table, qsizetype columns)
{
    QString sql = QStringLiteral("insert into ") + table + QStringLiteral(" values(");
    for (qsizetype i = 0; i < columns; ++i)
        sql += i ? QStringLiteral(",?") : QStringLiteral("?");
    return sql + u')';
}
} // namespace

void InsertRow(db::Connection &connection, const QString &table, const QStringList &values)
{
    QVariantList parameters;
    parameters.reserve(values.size());
    for (const QString &value : values)
        parameters.append(value);
    connection.Execute(InsertStatement(table, values.size()), parameters);
}

RowWriter::RowWriter(db::Connection &connection, const QString &table, qsizetype columns)
    : m_insert(connection, InsertStatement(table, columns))
{
}

void CloseAfterError(db::Connection &connection)
{
    try {
        CloseIfOpen(connection);
    } catch (const support::Error &) {
        // The step's message is already shown; the file is closed all the same.
    }
}

std::optional<QString> FamilyMessage(int32_t number, const QString &description, const QString &tableText,
                                     bool withTypeAndDomain, MismatchEnd end)
{
    switch (number) {
    case db::kTableNotFound:
        return QStringLiteral("Table '") + tableText + QStringLiteral("' not found in database!");
    case db::kDatabaseFailure: {
        const QChar first = description.isEmpty() ? QChar() : description.front();
        if (first == u'U')
            return QStringLiteral("Unrecognized database format!");
        if (first == u'C')
            return QStringLiteral("Database file not found!");
        if (first == u'D')
            return QStringLiteral("Database table '") + tableText +
                   QStringLiteral("' does not contain the right number of fields!");
        return QStringLiteral("Could not write to database!");
    }
    case db::kValueTooLong:
        return QStringLiteral("The database fields are too small, some information is not saved!");
    case db::kTypeMismatch:
        if (!withTypeAndDomain)
            return std::nullopt;
        return QStringLiteral("Type mismatch during the writing process to the table '") + tableText +
               (end == MismatchEnd::FullStop ? QStringLiteral("'.") : QStringLiteral("'"));
    case platform::directory::kDomainNotFound:
        if (!withTypeAndDomain)
            return std::nullopt;
        return QStringLiteral("Domain not found!");
    default:
        return std::nullopt;
    }
}

QString ErrorMessage(const support::Error &error, const QString &table)
{
    return FamilyMessage(error.Number(), error.Description(), table, false)
        .value_or(QStringLiteral("Unknown error: ") + error.Description());
}

QString ErrorMessage(const support::Error &error, const QString &table1, const QString &table2, MismatchEnd end)
{
    return FamilyMessage(error.Number(), error.Description(), table1 + QStringLiteral("' or '") + table2, true, end)
        .value_or(QStringLiteral("Unknown error: ") + error.Description());
}

} // namespace modDatabase
