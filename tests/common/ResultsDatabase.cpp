#include "common/ResultsDatabase.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

namespace testing_support {

namespace {
// Opens the file for one call and closes it again, so nothing stays locked between calls.
auto openRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot open " << path.toStdString() << ": " << sqlite3_errmsg(db);
    sqlite3_busy_timeout(db, 5000);
    return std::unique_ptr<sqlite3, int (*)(sqlite3 *)>(db, &sqlite3_close_v2);
}
} // namespace

void MakeEmptyDatabase(const QString &path)
{
    QProcess tool;
    tool.start(QStringLiteral(QUILL_MAKE_DATABASE), {path});
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        ADD_FAILURE() << "cannot make an empty results database at " << path.toStdString() << ": "
                      << tool.readAllStandardError().toStdString() << tool.errorString().toStdString();
}

ResultsDatabase::ResultsDatabase() : m_path(m_folder.filePath(QStringLiteral("NetworkInfo.mdb")))
{
    MakeEmptyDatabase(m_path);
}

QString ResultsDatabase::WriteFile(const QString &name, const QByteArray &content) const
{
    QFile file(File(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        ADD_FAILURE() << "cannot write " << file.fileName().toStdString();
    return file.fileName();
}

void ResultsDatabase::Exec(const QString &sql) const
{
    const auto db = openRaw(m_path);
    char *message = nullptr;
    if (sqlite3_exec(db.get(), sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << sql.toStdString() << ": " << (message ? message : "?");
    sqlite3_free(message);
}

QStringList ResultsDatabase::Rows(const QString &query) const
{
    const auto db = openRaw(m_path);
    QStringList rows;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), query.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
        ADD_FAILURE() << query.toStdString() << ": " << sqlite3_errmsg(db.get());
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
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
