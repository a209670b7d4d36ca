#include "platform/database/Connection.h"

#include "platform/database/DatabaseError.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QtGlobal>

#include <sqlite3.h>

namespace platform::database {

namespace {
// How old a transaction may grow before the next write commits it: a killed process loses at
// most about this much work, and the disk is flushed about once per interval.
constexpr qint64 kCommitIntervalMs = 1000;
// How long a statement waits for another program's lock on the file before it fails.
constexpr int kBusyTimeoutMs = 5000;

// Resets (kept statements) or finalizes (one-off statements) a statement when its run ends,
// however it ends.
class StatementUse {
public:
    StatementUse(sqlite3_stmt *statement, bool kept) : m_statement(statement), m_kept(kept) {}
    ~StatementUse()
    {
        if (m_kept) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        } else {
            sqlite3_finalize(m_statement);
        }
    }
    StatementUse(const StatementUse &) = delete;
    StatementUse &operator=(const StatementUse &) = delete;

private:
    sqlite3_stmt *m_statement;
    bool m_kept;
};

int bind(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QString: {
        // The text stays in parameters, which outlive the statement's run: bound in place.
        const QString &text = *static_cast<const QString *>(value.constData());
        return sqlite3_bind_text64(statement, index, reinterpret_cast<const char *>(text.utf16()),
                                   sqlite3_uint64(text.size()) * sizeof(char16_t), SQLITE_STATIC, SQLITE_UTF16);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text64(statement, index, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT,
                                   SQLITE_UTF8);
    }
    }
}

bool onlyBlanksAndSemicolons(const char *text)
{
    for (; text && *text; ++text) {
        if (*text != ';' && !QChar::isSpace(uchar(*text)))
            return false;
    }
    return true;
}
} // namespace

Connection::Connection() = default;

Connection::~Connection()
{
    try {
        Close();
    } catch (const support::Error &error) {
        qWarning("Results database: rows could not be committed: %s", error.what());
    }
}

QString Connection::DataSource(const QString &connectionString)
{
    static const QRegularExpression key(QStringLiteral("(?:^|;)\\s*data source\\s*="),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression nextKey(QStringLiteral("^\\s*[A-Za-z][A-Za-z0-9 _:.]*="));
    const auto match = key.match(connectionString);
    if (!match.hasMatch())
        return {};
    const QString rest = connectionString.mid(match.capturedEnd());
    const QString trimmed = rest.trimmed();
    if (trimmed.startsWith(u'"')) {
        const qsizetype close = trimmed.indexOf(u'"', 1);
        return close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1);
    }
    // The value runs to the first ";" that ends the string or starts another "key=": a path
    // may contain ";" itself.
    qsizetype end = rest.indexOf(u';');
    while (end >= 0) {
        const QString after = rest.mid(end + 1);
        if (after.trimmed().isEmpty() || nextKey.match(after).hasMatch())
            break;
        end = rest.indexOf(u';', end + 1);
    }
    return (end < 0 ? rest : rest.left(end)).trimmed();
}

void Connection::Open(const QString &, const QString &, int)
{
    if (m_db)
        throw UsageError(kObjectOpen);
    const QString path = DataSource(m_connectionString);
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists() || file.isDir())
        throw FileNotFound(path);
    if (!file.isReadable())
        throw FileNotReadable(path, QStringLiteral("permission denied"));
    // SQLite would take an empty file for a new, empty database: it is no results database.
    if (file.size() == 0)
        throw NotADatabase(path);

    sqlite3 *db = nullptr;
    // A connection is used by one thread only: SQLite need not lock it on every call.
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // Reading the schema makes SQLite read the file's header now, so a file that is no
        // database fails at Open rather than at the first statement.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        const support::Error error = (rc & 0xFF) == SQLITE_CANTOPEN
                                         ? FileNotReadable(path, QString::fromUtf8(sqlite3_errstr(rc)))
                                         : SqliteError(db, rc);
        sqlite3_close_v2(db);
        throw error;
    }
    m_db = db;
}

sqlite3_stmt *Connection::Prepare(const QString &sql, bool reuse)
{
    if (reuse) {
        if (sqlite3_stmt *kept = m_statements.value(sql))
            return kept;
    }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *statement = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), reuse ? SQLITE_PREPARE_PERSISTENT : 0,
                                      &statement, &tail);
    if (rc != SQLITE_OK)
        Fail(rc);
    if (!statement || !onlyBlanksAndSemicolons(tail)) {
        sqlite3_finalize(statement);
        Commit();
        throw NotOneStatement();
    }
    if (reuse)
        m_statements.insert(sql, statement);
    return statement;
}

int Connection::Run(const QString &sql, const QVariantList &parameters,
                    const std::function<void(sqlite3_stmt *)> &onRow)
{
    if (!m_db)
        throw UsageError(kObjectClosed);
    const bool reuse = !parameters.isEmpty();
    sqlite3_stmt *statement = Prepare(sql, reuse);
    const StatementUse use(statement, reuse);
    for (int i = 0; i < parameters.size(); ++i) {
        if (const int rc = bind(statement, i + 1, parameters[i]); rc != SQLITE_OK)
            Fail(rc);
    }
    return Step(statement, onRow);
}

int Connection::Step(sqlite3_stmt *statement, const std::function<void(sqlite3_stmt *)> &onRow)
{
    const bool writes = !sqlite3_stmt_readonly(statement);
    if (writes)
        BeginWrite();
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (onRow)
            onRow(statement);
    }
    if (rc != SQLITE_DONE)
        Fail(rc);
    if (writes)
        CommitIfDue();
    return sqlite3_column_count(statement);
}

Command::Command(Connection &ActiveConnection, const QString &CommandText)
    : m_connection(ActiveConnection), m_db(ActiveConnection.m_db), m_statement(nullptr)
{
    if (!m_db)
        throw UsageError(kObjectClosed);
    // Owned here, not kept by the connection: a connection closed meanwhile stays a zombie that
    // SQLite frees when this statement is finalized, so m_db names no other connection.
    m_statement = ActiveConnection.Prepare(CommandText, false);
}

Command::~Command() { sqlite3_finalize(m_statement); }

void Command::Execute(std::initializer_list<QStringView> values)
{
    if (m_connection.m_db != m_db)
        throw UsageError(kObjectClosed);
    const StatementUse use(m_statement, true);
    int index = 0;
    for (QStringView value : values) {
        // The values outlive the run: bound in place, in the native UTF-16. An empty view may have
        // no data at all, and a null pointer would bind Null instead of "".
        const char16_t *text = value.utf16() ? value.utf16() : u"";
        const int rc = sqlite3_bind_text64(m_statement, ++index, reinterpret_cast<const char *>(text),
                                           sqlite3_uint64(value.size()) * sizeof(char16_t), SQLITE_STATIC, SQLITE_UTF16);
        if (rc != SQLITE_OK)
            m_connection.Fail(rc);
    }
    m_connection.Step(m_statement, {});
}

int Connection::Execute(const QString &CommandText, const QVariantList &parameters)
{
    Run(CommandText, parameters, {});
    return sqlite3_changes(m_db);
}

void Connection::BeginWrite()
{
    if (!sqlite3_get_autocommit(m_db))
        return;
    if (const int rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        Fail(rc);
    m_transactionAge.start();
    m_endHook.emplace([this] { Commit(); });
}

void Connection::CommitIfDue()
{
    if (m_transactionAge.isValid() && m_transactionAge.elapsed() >= kCommitIntervalMs) {
        if (const int rc = Commit(); rc != SQLITE_OK)
            throw SqliteError(m_db, rc);
    }
}

int Connection::Commit()
{
    int rc = SQLITE_OK;
    if (m_db && !sqlite3_get_autocommit(m_db))
        rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    // A failed commit that SQLite has not rolled back stays pending, for the next try.
    if (!m_db || sqlite3_get_autocommit(m_db)) {
        m_transactionAge.invalidate();
        m_endHook.reset();
    }
    return rc;
}

void Connection::Fail(int code)
{
    // The description is taken before the commit replaces the connection's last message.
    const support::Error error = SqliteError(m_db, code);
    Commit();
    throw error;
}

void Connection::Close()
{
    if (!m_db)
        return;
    const int rc = Commit();
    std::optional<support::Error> failed;
    if (rc != SQLITE_OK)
        failed = SqliteError(m_db, rc);
    Release();
    if (failed)
        throw *failed;
}

void Connection::Release()
{
    for (sqlite3_stmt *statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    m_statements.clear();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_transactionAge.invalidate();
    m_endHook.reset();
}

} // namespace platform::database
