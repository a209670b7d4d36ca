#include "scan/modDatabase.h"

#include "platform/database/Connection.h"
#include "platform/database/DatabaseError.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

using platform::database::Connection;
using testing_support::ResultsDatabase;
using modDatabase::MismatchEnd;
namespace db = platform::database;

TEST(modDatabase, ApostropheRuleAndConnectionString)
{
    EXPECT_EQ(modDatabase::EscapeQuotes(u"O'Neil's 'share'"_qs), u"O|Neil|s |share|"_qs);
    EXPECT_EQ(modDatabase::UnescapeQuotes(u"O|Neil|s |share|"_qs), u"O'Neil's 'share'"_qs);
    // A name that really holds "|" comes back with "'" in its place.
    EXPECT_EQ(modDatabase::UnescapeQuotes(modDatabase::EscapeQuotes(u"a|b"_qs)), u"a'b"_qs);
    EXPECT_EQ(modDatabase::EscapeQuotes(QString()), QString());
    // Only the ASCII apostrophe counts, not the typographic one.
    EXPECT_EQ(modDatabase::EscapeQuotes(u"O\u2019Neil"_qs), u"O\u2019Neil"_qs);
    EXPECT_EQ(Connection::DataSource(modDatabase::ConnectionString(u"/srv/x;y/db.mdb"_qs)), u"/srv/x;y/db.mdb"_qs);
}

TEST(modDatabase, TheEmptyDatabaseHasTheSevenTablesWithTheirColumnsInOrder)
{
    ResultsDatabase db;
    const std::pair<QString, QString> tables[] = {
        {u"Permissions"_qs, u"Path|Member|Right"_qs},
        {u"Users"_qs, u"Username|UserPath|AccountDisabled|PasswordNeverExpires|LastLogin"_qs},
        {u"Groups"_qs, u"GroupName"_qs},
        {u"UserGroup"_qs, u"User|Group"_qs},
        {u"UsedGroups"_qs, u"GroupName"_qs},
        {u"InstalledSoftware"_qs, u"computer|Program name|DisplayVersion|Publisher|InstallSource"_qs},
        {u"settings"_qs, u"LastScanDate"_qs},
    };
    QStringList names;
    for (const auto &[table, columns] : tables) {
        names << table;
        const QString info = u"select name from pragma_table_info('"_qs + table + u"') order by cid"_qs;
        EXPECT_EQ(db.Rows(info).join(u'|'), columns);
        EXPECT_EQ(db.Rows(u"select count(*) from "_qs + table), QStringList{u"0"_qs}) << table.toStdString();
    }
    EXPECT_EQ(db.Rows(u"select name from sqlite_schema where type = 'table' order by rowid"_qs), names);
}

TEST(modDatabase, StepsEmptyTheirTableAndInsertRowsInStoredForm)
{
    ResultsDatabase db;
    db.Exec(u"insert into Permissions values('/old','x','Full')"_qs);
    Connection connection;
    modDatabase::OpenDatabase(connection, db.Path());
    modDatabase::EmptyTable(connection, u"Permissions"_qs);
    const QString path = modDatabase::EscapeQuotes(QString(4096 - 10, u'd') + u"/O'Neil_%"_qs);
    modDatabase::InsertRow(connection, u"Permissions"_qs, {path, u"Domain Users"_qs, u"Read&Execute"_qs});
    modDatabase::InsertRow(connection, u"UserGroup"_qs, {u"al|ce"_qs, u"Users"_qs});
    connection.Close();
    EXPECT_EQ(db.Rows(u"select * from Permissions"_qs), QStringList{path + u"\tDomain Users\tRead&Execute"_qs});
    EXPECT_EQ(db.Rows(u"select * from UserGroup"_qs), QStringList{u"al|ce\tUsers"_qs});
}

TEST(modDatabase, MessagesByNumberFirstLetterAndForm)
{
    // One table (Permissions); users and groups (full stop); the finishing queries (none). An
    // empty text in the last two columns stands for the same text as the first.
    struct Case {
        int32_t number;
        QString description;
        QString one, two = {}, finishing = {};
    };
    const QString write = u"Could not write to database!"_qs;
    const Case cases[] = {
        {db::kTableNotFound, u"no such table"_qs, u"Table 'Permissions' not found in database!"_qs,
         u"Table 'Users' or 'Groups' not found in database!"_qs,
         u"Table 'UnusedGroups' or 'UsedGroups' not found in database!"_qs},
        {db::kDatabaseFailure, u"Unknown"_qs, u"Unrecognized database format!"_qs},
        {db::kDatabaseFailure, u"Could not find"_qs, u"Database file not found!"_qs},
        {db::kDatabaseFailure, u"D"_qs, u"Database table 'Permissions' does not contain the right number of fields!"_qs,
         u"Database table 'Users' or 'Groups' does not contain the right number of fields!"_qs,
         u"Database table 'UnusedGroups' or 'UsedGroups' does not contain the right number of fields!"_qs},
        {db::kDatabaseFailure, u"unrecognized"_qs, write},
        {db::kDatabaseFailure, QString(), write},
        {db::kValueTooLong, u"long"_qs, u"The database fields are too small, some information is not saved!"_qs},
        {db::kTypeMismatch, u"datatype mismatch"_qs, u"Unknown error: datatype mismatch"_qs,
         u"Type mismatch during the writing process to the table 'Users' or 'Groups'."_qs,
         u"Type mismatch during the writing process to the table 'UnusedGroups' or 'UsedGroups'"_qs},
        {support::ResultCode(0x80005000), u"gone"_qs, u"Unknown error: gone"_qs, u"Domain not found!"_qs,
         u"Domain not found!"_qs},
        {db::kStatementRejected, u"Invalid SQL statement (x)"_qs, u"Unknown error: Invalid SQL statement (x)"_qs},
        {support::ResultCode(0x8000500D), u"no value"_qs, u"Unknown error: no value"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.description.toStdString());
        const support::Error error(c.number, c.description);
        EXPECT_EQ(modDatabase::ErrorMessage(error, u"Permissions"_qs), c.one);
        EXPECT_EQ(modDatabase::ErrorMessage(error, u"Users"_qs, u"Groups"_qs, MismatchEnd::FullStop),
                  c.two.isEmpty() ? c.one : c.two);
        EXPECT_EQ(modDatabase::ErrorMessage(error, u"UnusedGroups"_qs, u"UsedGroups"_qs, MismatchEnd::NoFullStop),
                  c.finishing.isEmpty() ? c.one : c.finishing);
    }
}
