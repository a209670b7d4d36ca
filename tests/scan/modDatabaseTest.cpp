#include "scan/modDatabase.h"

#include "platform/database/Connection.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

using platform::database::Connection;
using testing_support::ResultsDatabase;
using modDatabase::MismatchEnd;

namespace {

// Runs a step's database work the way the scan steps do and returns the status text of the
// error it raised, or "" when it raised none.
QString statusOf(const std::function<void()> &work, const std::function<QString(const support::Error &)> &message)
{
    try {
        work();
    } catch (const support::Error &error) {
        return message(error);
    }
    return {};
}

auto oneTable(const QString &table)
{
    return [table](const support::Error &e) { return modDatabase::ErrorMessage(e, table); };
}

auto usersAndGroups()
{
    return [](const support::Error &e) {
        return modDatabase::ErrorMessage(e, u"Users"_qs, u"Groups"_qs, MismatchEnd::FullStop);
    };
}

auto finishing()
{
    return [](const support::Error &e) {
        return modDatabase::ErrorMessage(e, u"UnusedGroups"_qs, u"UsedGroups"_qs, MismatchEnd::NoFullStop);
    };
}

} // namespace

TEST(modDatabase, ApostropheRule)
{
    EXPECT_EQ(modDatabase::EscapeQuotes(u"O'Neil's 'share'"_qs), u"O|Neil|s |share|"_qs);
    EXPECT_EQ(modDatabase::UnescapeQuotes(u"O|Neil|s |share|"_qs), u"O'Neil's 'share'"_qs);
    // A name that really holds "|" comes back with "'" in its place.
    EXPECT_EQ(modDatabase::UnescapeQuotes(modDatabase::EscapeQuotes(u"a|b"_qs)), u"a'b"_qs);
    EXPECT_EQ(modDatabase::EscapeQuotes(QString()), QString());
    // Only the ASCII apostrophe counts, not the typographic one.
    EXPECT_EQ(modDatabase::EscapeQuotes(u"O\u2019Neil"_qs), u"O\u2019Neil"_qs);
}

TEST(modDatabase, ConnectionStringNamesTheFile)
{
    EXPECT_EQ(modDatabase::ConnectionString(u"/opt/q/NetworkInfo.mdb"_qs),
              u"Provider=Microsoft.Jet.OLEDB.4.0;data source=/opt/q/NetworkInfo.mdb;Jet OLEDB:Engine Type=5;"_qs);
    EXPECT_EQ(Connection::DataSource(modDatabase::ConnectionString(u"/srv/x;y/db.mdb"_qs)), u"/srv/x;y/db.mdb"_qs);
}

TEST(modDatabase, TheEmptyDatabaseHasTheSevenTablesWithTheirColumnsInOrder)
{
    ResultsDatabase db;
    EXPECT_EQ(db.Rows(u"select name from sqlite_schema where type = 'table' order by rowid"_qs),
              (QStringList{u"Permissions"_qs, u"Users"_qs, u"Groups"_qs, u"UserGroup"_qs, u"UsedGroups"_qs,
                           u"InstalledSoftware"_qs, u"settings"_qs}));
    const std::pair<QString, QStringList> tables[] = {
        {u"Permissions"_qs, {u"Path"_qs, u"Member"_qs, u"Right"_qs}},
        {u"Users"_qs,
         {u"Username"_qs, u"UserPath"_qs, u"AccountDisabled"_qs, u"PasswordNeverExpires"_qs, u"LastLogin"_qs}},
        {u"Groups"_qs, {u"GroupName"_qs}},
        {u"UserGroup"_qs, {u"User"_qs, u"Group"_qs}},
        {u"UsedGroups"_qs, {u"GroupName"_qs}},
        {u"InstalledSoftware"_qs,
         {u"computer"_qs, u"Program name"_qs, u"DisplayVersion"_qs, u"Publisher"_qs, u"InstallSource"_qs}},
        {u"settings"_qs, {u"LastScanDate"_qs}},
    };
    for (const auto &[table, columns] : tables) {
        EXPECT_EQ(db.Rows(u"select name from pragma_table_info('"_qs + table + u"') order by cid"_qs), columns)
            << table.toStdString();
        EXPECT_TRUE(db.Rows(u"select count(*) from "_qs + table) == QStringList{u"0"_qs});
    }
}

TEST(modDatabase, StepsEmptyTheirTableAndInsertRowsInStoredForm)
{
    ResultsDatabase db;
    db.Exec(u"insert into Permissions values('/old','x','Full')"_qs);
    Connection connection;
    modDatabase::OpenDatabase(connection, db.Path());
    modDatabase::EmptyTable(connection, u"Permissions"_qs);
    const QString path = QString(4096 - 10, u'd') + u"/O'Neil_%"_qs;
    modDatabase::InsertRow(connection, u"Permissions"_qs,
                           {modDatabase::EscapeQuotes(path), u"Domain Users"_qs, u"Read&Execute"_qs});
    modDatabase::InsertRow(connection, u"UserGroup"_qs, {u"al|ce"_qs, u"Users"_qs});
    connection.Close();
    EXPECT_EQ(db.Rows(u"select * from Permissions"_qs),
              QStringList{modDatabase::EscapeQuotes(path) + u"\tDomain Users\tRead&Execute"_qs});
    EXPECT_EQ(db.Rows(u"select * from UserGroup"_qs), QStringList{u"al|ce\tUsers"_qs});
}

TEST(modDatabase, DatabaseFailuresBecomeTheStepsMessages)
{
    ResultsDatabase db;
    QFile::copy(db.Path(), db.File(u"noGroups.mdb"_qs));
    QFile::copy(db.Path(), db.File(u"typed.mdb"_qs));
    {
        QFile text(db.File(u"notes.mdb"_qs));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write(QByteArray("These are not the rows you are looking for.\n").repeated(100));
    }
    db.Exec(u"drop table UsedGroups; drop table InstalledSoftware"_qs);
    ResultsDatabase noGroups;
    noGroups.Exec(u"insert into Users values('a','b','c','d','e'); drop table Groups"_qs);
    ResultsDatabase typed;
    typed.Exec(u"drop table Users; create table Users (Username TEXT, UserPath TEXT, AccountDisabled INTEGER, "
               "PasswordNeverExpires TEXT, LastLogin TEXT) STRICT"_qs);

    auto openAt = [](const QString &path) {
        return [path] {
            Connection c;
            modDatabase::OpenDatabase(c, path);
        };
    };
    auto insertInto = [](const QString &path, const QString &table, const QStringList &values) {
        return [path, table, values] {
            Connection c;
            modDatabase::OpenDatabase(c, path);
            modDatabase::InsertRow(c, table, values);
        };
    };
    struct Case {
        const char *what;
        std::function<void()> work;
        std::function<QString(const support::Error &)> message;
        QString expected;
    };
    const Case cases[] = {
        {"missing file", openAt(db.File(u"gone.mdb"_qs)), oneTable(u"Permissions"_qs), u"Database file not found!"_qs},
        {"not a database", openAt(db.File(u"notes.mdb"_qs)), usersAndGroups(), u"Unrecognized database format!"_qs},
        {"missing table, one table",
         [&] {
             Connection c;
             modDatabase::OpenDatabase(c, db.Path());
             modDatabase::EmptyTable(c, u"InstalledSoftware"_qs);
         },
         oneTable(u"InstalledSoftware"_qs), u"Table 'InstalledSoftware' not found in database!"_qs},
        {"missing table, two tables",
         [&] {
             Connection c;
             modDatabase::OpenDatabase(c, noGroups.Path());
             modDatabase::EmptyTable(c, u"Users"_qs);
             modDatabase::EmptyTable(c, u"Groups"_qs);
         },
         usersAndGroups(), u"Table 'Users' or 'Groups' not found in database!"_qs},
        {"missing table, finishing queries",
         [&] {
             Connection c;
             modDatabase::OpenDatabase(c, db.Path());
             modDatabase::EmptyTable(c, u"UsedGroups"_qs);
         },
         finishing(), u"Table 'UnusedGroups' or 'UsedGroups' not found in database!"_qs},
        {"wrong number of values, one table", insertInto(db.Path(), u"Permissions"_qs, {u"/srv"_qs, u"alice"_qs}),
         oneTable(u"Permissions"_qs), u"Database table 'Permissions' does not contain the right number of fields!"_qs},
        {"wrong number of values, two tables", insertInto(db.Path(), u"Groups"_qs, {u"a"_qs, u"b"_qs}),
         usersAndGroups(), u"Database table 'Users' or 'Groups' does not contain the right number of fields!"_qs},
        {"value too long", insertInto(db.Path(), u"Permissions"_qs, {QString(4097, u'p'), u"a"_qs, u"Full"_qs}),
         oneTable(u"Permissions"_qs), u"The database fields are too small, some information is not saved!"_qs},
        {"type mismatch, users and groups",
         insertInto(typed.Path(), u"Users"_qs, {u"a"_qs, u"b"_qs, u"False"_qs, u"False"_qs, u"x"_qs}), usersAndGroups(),
         u"Type mismatch during the writing process to the table 'Users' or 'Groups'."_qs},
        {"type mismatch, finishing queries",
         insertInto(typed.Path(), u"Users"_qs, {u"a"_qs, u"b"_qs, u"False"_qs, u"False"_qs, u"x"_qs}), finishing(),
         u"Type mismatch during the writing process to the table 'UnusedGroups' or 'UsedGroups'"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(statusOf(c.work, c.message), c.expected);
    }
    // The users table was emptied before the groups table was found missing, and stays empty.
    EXPECT_EQ(noGroups.Rows(u"select count(*) from Users"_qs), QStringList{u"0"_qs});
    // The one-table steps have no type-mismatch row.
    const QString mismatch = statusOf(insertInto(typed.Path(), u"Users"_qs, {u"a"_qs, u"b"_qs, u"no"_qs, u"c"_qs, u"d"_qs}),
                                      oneTable(u"Users"_qs));
    EXPECT_TRUE(mismatch.startsWith(u"Unknown error: "_qs)) << mismatch.toStdString();
}

TEST(modDatabase, MessageRowsByNumberAndFirstLetter)
{
    const int32_t failure = support::ResultCode(0x80004005);
    const int32_t domain = support::ResultCode(0x80005000);
    const int32_t rejected = support::ResultCode(0x80040E14);
    struct Case {
        int32_t number;
        QString description;
        QString oneTable;  // T = "Permissions"
        QString twoTables; // "Users", "Groups", full stop
    };
    const Case cases[] = {
        {failure, u"unrecognized"_qs, u"Could not write to database!"_qs, u"Could not write to database!"_qs},
        {failure, u"could not find"_qs, u"Could not write to database!"_qs, u"Could not write to database!"_qs},
        {failure, u"d"_qs, u"Could not write to database!"_qs, u"Could not write to database!"_qs},
        {failure, QString(), u"Could not write to database!"_qs, u"Could not write to database!"_qs},
        {failure, u"Unknown"_qs, u"Unrecognized database format!"_qs, u"Unrecognized database format!"_qs},
        {domain, u"The domain is gone"_qs, u"Unknown error: The domain is gone"_qs, u"Domain not found!"_qs},
        {rejected, u"Invalid SQL statement (x)"_qs, u"Unknown error: Invalid SQL statement (x)"_qs,
         u"Unknown error: Invalid SQL statement (x)"_qs},
        {support::ResultCode(0x8000500D), u"no value"_qs, u"Unknown error: no value"_qs, u"Unknown error: no value"_qs},
    };
    for (const Case &c : cases) {
        const support::Error error(c.number, c.description);
        EXPECT_EQ(modDatabase::ErrorMessage(error, u"Permissions"_qs), c.oneTable);
        EXPECT_EQ(modDatabase::ErrorMessage(error, u"Users"_qs, u"Groups"_qs, MismatchEnd::FullStop), c.twoTables);
    }
}

TEST(modDatabase, RowsInsertedBeforeAnErrorStayAndAStepWithoutItemsStillEmptiesItsTable)
{
    ResultsDatabase db;
    db.Exec(u"insert into InstalledSoftware values('old','x','','','')"_qs);
    const QString status = statusOf(
        [&] {
            Connection c;
            modDatabase::OpenDatabase(c, db.Path());
            modDatabase::EmptyTable(c, u"InstalledSoftware"_qs);
            modDatabase::InsertRow(c, u"InstalledSoftware"_qs, {u"pc1"_qs, u"bash"_qs, u"5.2"_qs, u""_qs, u""_qs});
            modDatabase::InsertRow(c, u"InstalledSoftware"_qs, {u"pc1"_qs, u"Toms Tool"_qs, u"1"_qs, u"Tom"_qs, u""_qs});
            modDatabase::InsertRow(c, u"InstalledSoftware"_qs, {QString(300, u'c'), u"x"_qs, u""_qs, u""_qs, u""_qs});
            modDatabase::InsertRow(c, u"InstalledSoftware"_qs, {u"pc2"_qs, u"never"_qs, u""_qs, u""_qs, u""_qs});
        },
        oneTable(u"InstalledSoftware"_qs));
    EXPECT_EQ(status, u"The database fields are too small, some information is not saved!"_qs);
    EXPECT_EQ(db.Rows(u"select [Program name] from InstalledSoftware"_qs), (QStringList{u"bash"_qs, u"Toms Tool"_qs}));

    Connection c;
    modDatabase::OpenDatabase(c, db.Path());
    modDatabase::EmptyTable(c, u"InstalledSoftware"_qs);
    c.Close();
    EXPECT_TRUE(db.Rows(u"select * from InstalledSoftware"_qs).isEmpty());
}
