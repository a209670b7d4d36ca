#include "analysis/clsAnalysis.h"

#include "platform/database/DatabaseError.h"
#include "platform/database/Recordset.h"
#include "platform/database/TextPool.h"
#include "scan/modDatabase.h"
#include "scan/modSearchDirs.h"
#include "support/DoEvents.h"

namespace db = platform::database;

using modDatabase::EscapeQuotes;
using modDatabase::UnescapeQuotes;

namespace {

const QString kAllDirectories = QStringLiteral("All directories");

// A statement that meets a Null value is skipped and the operation goes on with the next one.
template <typename Statement> void skipOnNull(Statement statement)
{
    try {
        statement();
    } catch (const support::Error &error) {
        if (error.Number() != db::kInvalidUseOfNull)
            throw;
    }
}

void openRows(db::Recordset &records, const QString &source, db::Connection &connection,
              const QVariantList &parameters = {})
{
    records.Open(source, parameters, connection, db::adOpenStatic, db::adLockOptimistic, -1);
}

// The condition for one chosen directory: its own path and the paths below it. A chosen
// directory is a root entry of the settings, read as the directory the entry names, as the scan
// stored its rows ("/srv/data/" is /srv/data). Paths compare as their bytes, so letter case counts
// and no character stands for others: the paths below the directory run from its path and "/" up
// to, not including, its path and "0", the character after "/" (the results database is UTF-8).
// "/" has every path below it.
QString directoryCondition(const QString &directory, QVariantList &parameters)
{
    const QString path = EscapeQuotes(modSearchDirs::RootPath(directory));
    const QString below = path.endsWith(u'/') ? path : path + u'/';
    parameters << path << below << below.chopped(1) + u'0';
    return QStringLiteral("Path = ? OR (Path >= ? AND Path < ?)");
}

// The directory filter and the right filter of the rights statements, after the condition on
// Member, with the directories bound as values.
QString directoryAndRightFilter(const QString &strDirectories, const QString &strFilterRight, QVariantList &parameters)
{
    QString sql;
    if (strDirectories.isEmpty() || strDirectories == kAllDirectories) {
        sql = QStringLiteral(" ");
    } else {
        QStringList any;
        for (const QString &directory : strDirectories.split(QStringLiteral(", ")))
            any << directoryCondition(directory, parameters);
        sql = QStringLiteral(" AND (") + any.join(QStringLiteral(" OR ")) + QStringLiteral(") ");
    }
    if (!strFilterRight.isEmpty())
        sql += QStringLiteral("AND (") + strFilterRight + u')';
    return sql + QStringLiteral(" ORDER BY Path ASC");
}

// The text of a date field as a date; a text that is no date is a type mismatch, which ends the
// read like any error the message table has no row for.
support::LocalDateTime dateOf(const db::Field &field, support::DateTextReader &reader)
{
    const support::LocalDateTime value = reader.Read(field.Utf8());
    if (!value.isValid())
        throw support::Error(13, QStringLiteral("Type mismatch"), db::kErrorSource);
    return value;
}

} // namespace

QString clsAnalysis::GetLastScanDate(const QString &DbasePath)
{
    try {
        db::Connection connection;
        modDatabase::OpenDatabase(connection, DbasePath);
        db::Recordset records;
        openRows(records, QStringLiteral("Select LastScanDate from settings"), connection);
        return records.Fields(0).Text();
    } catch (const support::Error &) {
        return {};
    }
}

void clsAnalysis::SetLastScanDate(const QString &DbasePath, const QString &datScanDate)
{
    try {
        db::Connection connection;
        modDatabase::OpenDatabase(connection, DbasePath);
        db::Recordset records;
        openRows(records, QStringLiteral("Select * from settings"), connection);
        if (records.RecordCount() < 1)
            connection.Execute(QStringLiteral("insert into settings values(?)"), {datScanDate});
        else
            connection.Execute(QStringLiteral("Update settings set LastScanDate = ?"), {datScanDate});
        connection.Close();
    } catch (const support::Error &) {
        // Not reported: the scan goes on without a stored date.
    }
}

int32_t clsAnalysis::ReadList(const QString &DbasePath, const QString &strTable, const QString &strFilling,
                              support::ProgressBar &Progress, support::StatusLabel &ProgressLabel,
                              const OpenRows &open, const TakeRow &takeRow)
{
    db::Recordset records;
    db::Connection connection;
    try {
        ProgressLabel.setCaption(QStringLiteral("Gathering information from the database..."));
        support::DoEvents();
        modDatabase::OpenDatabase(connection, DbasePath);
        open(connection, records);
        ProgressLabel.setCaption(strFilling);
        support::DoEvents();
        if (records.RecordCount() != 0)
            Progress.setMax(records.RecordCount());
        Progress.setValue(0);
        while (!records.Eof()) {
            takeRow(records);
            records.MoveNext();
            Progress.setValue(Progress.Value() + 1);
        }
        connection.Close();
        return 1;
    } catch (const support::Error &error) {
        ProgressLabel.setCaption(GetErrorMessage(error.Number(), error.Description(), strTable));
        return 0;
    }
}

int32_t clsAnalysis::ReadRights(const QString &DbasePath, const QString &strFilterRight, const MemberCondition &members,
                                QStringList &colOutputDirectories, QStringList &colOutputRights,
                                support::ProgressBar &Progress, support::StatusLabel &ProgressLabel,
                                const QString &strDirectories)
{
    colOutputDirectories = QStringList();
    colOutputRights = QStringList();
    db::TextPool rights(UnescapeQuotes); // a handful of rights over many rows
    return ReadList(
        DbasePath, QStringLiteral("Permissions"), QStringLiteral("Filling the list with directories..."), Progress,
        ProgressLabel,
        [&](db::Connection &connection, db::Recordset &records) {
            QVariantList parameters;
            QString sql = QStringLiteral("Select * FROM Permissions WHERE ") + members(connection, parameters);
            sql += directoryAndRightFilter(strDirectories, strFilterRight, parameters);
            openRows(records, sql, connection, parameters);
        },
        [&](const db::Recordset &records) {
            // Both values or neither, so that the two lists stay parallel.
            skipOnNull([&] {
                const QString path = UnescapeQuotes(records.Fields(0).Text());
                const QString right = rights.Text(records.Fields(2));
                colOutputDirectories.append(path);
                colOutputRights.append(right);
            });
        });
}

int32_t clsAnalysis::GetDirectoryRights(const QString &DbasePath, const QString &strFilterRight,
                                        const QString &strNetworkGroup, QStringList &colOutputDirectories,
                                        QStringList &colOutputRights, support::ProgressBar &Progress,
                                        support::StatusLabel &ProgressLabel, const QString &strDirectories)
{
    return ReadRights(
        DbasePath, strFilterRight,
        [&](db::Connection &, QVariantList &parameters) {
            parameters << EscapeQuotes(strNetworkGroup);
            return QStringLiteral("Member = ?");
        },
        colOutputDirectories, colOutputRights, Progress, ProgressLabel, strDirectories);
}

int32_t clsAnalysis::GetUserRights(const QString &DbasePath, const QString &strFilterRight, const QString &strUser,
                                   QStringList &colOutputDirectories, QStringList &colOutputRights,
                                   support::ProgressBar &Progress, support::StatusLabel &ProgressLabel,
                                   const QString &strDirectories, bool blnAlsoRelatedGroups)
{
    return ReadRights(
        DbasePath, strFilterRight,
        [&](db::Connection &connection, QVariantList &parameters) {
            const QString user = EscapeQuotes(strUser);
            parameters << user;
            if (blnAlsoRelatedGroups) {
                // The group names go in as stored.
                db::Recordset groups;
                openRows(groups, QStringLiteral("Select [Group] from UserGroup Where [User] = ?"), connection, {user});
                for (; !groups.Eof(); groups.MoveNext())
                    skipOnNull([&] { parameters << groups.Fields(0).Text(); });
                groups.Close();
            }
            QString placeholders = QStringLiteral("?,").repeated(parameters.size());
            placeholders.chop(1);
            return QStringLiteral("Member IN (") + placeholders + u')';
        },
        colOutputDirectories, colOutputRights, Progress, ProgressLabel, strDirectories);
}

int32_t clsAnalysis::GetUsedGroups(const QString &DbasePath, QStringList &colOutputGroups,
                                   support::ProgressBar &Progress, support::StatusLabel &ProgressLabel)
{
    colOutputGroups = QStringList();
    Progress.setValue(0);
    return ReadList(
        DbasePath, QStringLiteral("UsedGroups"), QStringLiteral("Filling the list with groups..."), Progress,
        ProgressLabel,
        [](db::Connection &connection, db::Recordset &records) { openRows(records, QStringLiteral("UsedGroups"), connection); },
        [&](const db::Recordset &records) {
            skipOnNull([&] { colOutputGroups.append(UnescapeQuotes(records.Fields(0).Text())); });
        });
}

int32_t clsAnalysis::GetUsers(const QString &DbasePath, QList<clsUser> &colOutputUsers,
                              support::ProgressBar &Progress, support::StatusLabel &ProgressLabel)
{
    colOutputUsers = QList<clsUser>();
    Progress.setValue(0);
    support::DateTextReader dates;
    return ReadList(
        DbasePath, QStringLiteral("Users"), QStringLiteral("Filling the list with users..."), Progress, ProgressLabel,
        [](db::Connection &connection, db::Recordset &records) { openRows(records, QStringLiteral("Users"), connection); },
        [&](const db::Recordset &records) {
            clsUser user;
            skipOnNull([&] { user.setUsername(UnescapeQuotes(records.Fields(0).Text())); });
            skipOnNull([&] { user.setUserPath(UnescapeQuotes(records.Fields(1).Text())); });
            skipOnNull([&] { user.setAccountDisabled(records.Fields(2).Utf8() == "True"); });
            skipOnNull([&] { user.setPasswordNeverExpires(records.Fields(3).Utf8() == "True"); });
            skipOnNull([&] { user.setLastLogin(dateOf(records.Fields(4), dates)); });
            colOutputUsers.append(user);
        });
}

int32_t clsAnalysis::GetInstalledSoftware(const QString &DbasePath, QList<clsProgram> &colOutputPrograms,
                                          support::ProgressBar &Progress, support::StatusLabel &ProgressLabel)
{
    colOutputPrograms = QList<clsProgram>();
    Progress.setValue(0);
    // Computers, programs, publishers and install sources repeat from row to row; versions
    // mostly differ, and are made one by one.
    db::TextPool texts(UnescapeQuotes);
    return ReadList(
        DbasePath, QStringLiteral("InstalledSoftware"), QStringLiteral("Filling the list with programs..."), Progress,
        ProgressLabel,
        [](db::Connection &connection, db::Recordset &records) {
            openRows(records, QStringLiteral("InstalledSoftware"), connection);
        },
        [&](const db::Recordset &records) {
            clsProgram program;
            skipOnNull([&] { program.setComputer(texts.Text(records.Fields(0))); });
            skipOnNull([&] { program.setProgram(texts.Text(records.Fields(1))); });
            skipOnNull([&] { program.setVersion(UnescapeQuotes(records.Fields(2).Text())); });
            skipOnNull([&] { program.setPublisher(texts.Text(records.Fields(3))); });
            skipOnNull([&] { program.setInstallSource(texts.Text(records.Fields(4))); });
            colOutputPrograms.append(program);
        });
}

int32_t clsAnalysis::ReadDistinct(const QString &DbasePath, const QString &strStatement, QStringList &colOutput)
{
    colOutput = QStringList();
    try {
        db::Connection connection;
        modDatabase::OpenDatabase(connection, DbasePath);
        db::Recordset records;
        openRows(records, strStatement, connection);
        for (; !records.Eof(); records.MoveNext())
            skipOnNull([&] { colOutput.append(UnescapeQuotes(records.Fields(0).Text())); });
        connection.Close();
        return 1;
    } catch (const support::Error &) {
        return 0;
    }
}

int32_t clsAnalysis::GetComputers(const QString &DbasePath, QStringList &colOutputComputers)
{
    return ReadDistinct(DbasePath, QStringLiteral("SELECT DISTINCT [computer] FROM InstalledSoftware"),
                        colOutputComputers);
}

int32_t clsAnalysis::GetPrograms(const QString &DbasePath, QStringList &colOutputComputers)
{
    return ReadDistinct(DbasePath, QStringLiteral("SELECT DISTINCT [Program name] FROM InstalledSoftware"),
                        colOutputComputers);
}

QString clsAnalysis::GetErrorMessage(int32_t lngNumber, const QString &strDescription, const QString &strTable)
{
    if (lngNumber == db::kStatementRejected)
        return QStringLiteral("Invalid SQL statement found, could not load the data from the database.");
    return modDatabase::FamilyMessage(lngNumber, strDescription, strTable, true)
        .value_or(QStringLiteral("Unknown error while loading the data."));
}
