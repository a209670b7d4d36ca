#include "common/ResultsDatabase.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

namespace {
// Opens the file for one call and closes it again, so nothing stays locked between calls.
class RawConnection {
public:
    explicit RawConnection(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path.toStdString() << ": " << sqlite3_errmsg(m_db);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~RawConnection() { sqlite3_close_v2(m_db); }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};
} // namespace

QString ResultsDatabase::Template() { return QStringLiteral(QUILL_RESULTS_DATABASE); }

ResultsDatabase::ResultsDatabase() : m_path(m_folder.filePath(QStringLiteral("NetworkInfo.mdb")))
{
    if (!QFile::copy(Template(), m_path))
        ADD_FAILURE() << "cannot copy the empty results database " << Template().toStdString();
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
}

void ResultsDatabase::Exec(const QString &sql) const
{
    const RawConnection db(m_path);
    char *message = nullptr;
    if (sqlite3_exec(db.handle(), sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << sql.toStdString() << ": " << (message ? message : "?");
    sqlite3_free(message);
}

QStringList ResultsDatabase::Rows(const QString &query) const
{
    const RawConnection db(m_path);
    QStringList rows;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db.handle(), query.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << query.toStdString() << ": " << sqlite3_errmsg(db.handle());
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        QStringList values;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            values << (text ? QString::fromUtf8(text) : QStringLiteral("<Null>"));
        }
        rows << values.join(u'\t');
    }
    sqlite3_finalize(statement);
    return rows;
}

} // namespace testing_support
