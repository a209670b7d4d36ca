#include "platform/database/Connection.h"
#include "platform/database/DatabaseError.h"
#include "platform/database/Recordset.h"
#include "support/ProgramEnd.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace platform::database;
using testing_support::ResultsDatabase;

namespace {

QString connectionString(const QString &path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;data source=") + path +
           QStringLiteral(";Jet OLEDB:Engine Type=5;");
}

void open(Connection &connection, const QString &path)
{
    connection.setConnectionString(connectionString(path));
    connection.Open();
}

// Runs body and returns the error it raised (number 0 when it raised none).
template <typename Body> support::Error raised(Body body)
{
    try {
        body();
    } catch (const support::Error &error) {
        return error;
    }
    return support::Error(0, QStringLiteral("no error"));
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

struct Ended {};

} // namespace

TEST(DatabaseConnection, DataSourceIsTakenFromTheConnectionString)
{
    EXPECT_EQ(Connection::DataSource(connectionString(QStringLiteral("/srv/db/NetworkInfo.mdb"))),
              QStringLiteral("/srv/db/NetworkInfo.mdb"));
    // A path may hold ";" and "=" as long as no "key=" follows the ";".
    EXPECT_EQ(Connection::DataSource(connectionString(QStringLiteral("/srv/a;b/x=1.mdb"))),
              QStringLiteral("/srv/a;b/x=1.mdb"));
    EXPECT_EQ(Connection::DataSource(QStringLiteral("DATA SOURCE = \"/srv/with;quotes.mdb\";Mode=3")),
              QStringLiteral("/srv/with;quotes.mdb"));
    EXPECT_EQ(Connection::DataSource(QStringLiteral("data source=/x.mdb")), QStringLiteral("/x.mdb"));
    EXPECT_EQ(Connection::DataSource(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;")), QString());
}

TEST(DatabaseConnection, OpeningFailsAtOpenForAMissingFileOrAFileThatIsNoDatabase)
{
    ResultsDatabase db;
    writeFile(db.File(QStringLiteral("empty.mdb")), {});
    writeFile(db.File(QStringLiteral("text.mdb")), QByteArray("Path,Member,Right\n/srv,alice,Full\n").repeated(200));
    struct Case {
        QString path;
        QChar first;
    };
    const Case cases[] = {
        {db.File(QStringLiteral("missing.mdb")), u'C'},
        {db.File(QString()), u'C'}, // the folder
        {QString(), u'C'},
        {db.File(QStringLiteral("empty.mdb")), u'U'},
        {db.File(QStringLiteral("text.mdb")), u'U'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        Connection connection;
        const auto error = raised([&] { open(connection, c.path); });
        EXPECT_EQ(error.Number(), kDatabaseFailure);
        ASSERT_FALSE(error.Description().isEmpty());
        EXPECT_EQ(error.Description().front(), c.first) << error.Description().toStdString();
        EXPECT_EQ(connection.State(), adStateClosed);
    }
    EXPECT_FALSE(QFile::exists(db.File(QStringLiteral("missing.mdb")))) << "Open must never create a file";
    EXPECT_EQ(QFile(db.File(QStringLiteral("empty.mdb"))).size(), 0);
}

TEST(DatabaseConnection, FailedStatementsRaiseTheNumbersTheMessagesTest)
{
    ResultsDatabase db;
    db.Exec(QStringLiteral("CREATE TABLE Counted (Name TEXT, Number INTEGER) STRICT;"
                           "CREATE TABLE Keyed (Name TEXT PRIMARY KEY); INSERT INTO Keyed VALUES ('a');"));
    const QString path4096 = QString(4096, u'p');
    struct Case {
        const char *what;
        QString sql;
        QVariantList parameters;
        int32_t number;
        QChar first; // for kDatabaseFailure: the first letter of the description, or 0 for "not U, C or D"
    };
    const Case cases[] = {
        {"missing table", QStringLiteral("insert into Rights values('a','b','c')"), {}, kTableNotFound, {}},
        {"missing table in a subquery",
         QStringLiteral("select Member from Permissions where Member not in (select username from people)"), {},
         kTableNotFound, {}},
        {"too few values", QStringLiteral("insert into Users values('a','b','c')"), {}, kDatabaseFailure, u'D'},
        {"too many values", QStringLiteral("insert into Groups values(?,?)"), {u"a"_qs, u"b"_qs}, kDatabaseFailure, u'D'},
        {"value one too long", QStringLiteral("insert into Permissions values(?,?,?)"),
         {path4096 + u'x', u"alice"_qs, u"Full"_qs}, kValueTooLong, {}},
        {"type mismatch", QStringLiteral("insert into Counted values('a','many')"), {}, kTypeMismatch, {}},
        {"syntax error", QStringLiteral("Select * FROM Permissions WHERE (Right LIKE)"), {}, kStatementRejected, {}},
        {"second statement", QStringLiteral("delete from Users where 1<2; delete from Groups where 1<2"), {},
         kStatementRejected, {}},
        {"no statement", QStringLiteral("  ;"), {}, kStatementRejected, {}},
        {"duplicate key", QStringLiteral("insert into Keyed values('a')"), {}, kDatabaseFailure, u'\0'},
    };
    Connection connection;
    open(connection, db.Path());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto error = raised([&] { connection.Execute(c.sql, c.parameters); });
        EXPECT_EQ(error.Number(), c.number) << error.Description().toStdString();
        EXPECT_EQ(error.Source(), kErrorSource);
        if (c.number == kDatabaseFailure && c.first != u'\0') {
            EXPECT_TRUE(error.Description().startsWith(c.first)) << error.Description().toStdString();
        }
        if (c.number == kDatabaseFailure && c.first == u'\0') {
            EXPECT_FALSE(QStringLiteral("UCD").contains(error.Description().front())) << error.Description().toStdString();
        }
    }
    // The limit itself is allowed, and the connection goes on after every failure.
    EXPECT_EQ(connection.Execute(QStringLiteral("insert into Permissions values(?,?,?)"),
                                 {path4096, u"alice"_qs, u"Full"_qs}),
              1);
}

TEST(DatabaseConnection, RowsWrittenBeforeAnErrorAreInTheFileWhenTheErrorIsRaised)
{
    ResultsDatabase db;
    Connection connection;
    open(connection, db.Path());
    connection.Execute(QStringLiteral("insert into Groups values('one')"));
    connection.Execute(QStringLiteral("insert into Groups values(?)"), {u"two"_qs});
    const auto error = raised([&] { connection.Execute(QStringLiteral("insert into Groups values(?)"), {QString(300, u'x')}); });
    EXPECT_EQ(error.Number(), kValueTooLong);
    // Another reader sees them while the failing connection is still open: nothing was rolled back.
    EXPECT_EQ(db.Rows(QStringLiteral("select GroupName from Groups")), (QStringList{u"one"_qs, u"two"_qs}));
    const auto missing = raised([&] { connection.Execute(QStringLiteral("insert into Rights values('x')")); });
    EXPECT_EQ(missing.Number(), kTableNotFound);
    connection.Execute(QStringLiteral("insert into Groups values('three')"));
    connection.Close();
    EXPECT_EQ(db.Rows(QStringLiteral("select GroupName from Groups")).size(), 3);
}

TEST(DatabaseConnection, PendingRowsAreCommittedOnCloseInTheDestructorAndAtProgramEnd)
{
    ResultsDatabase db;
    {
        Connection connection;
        open(connection, db.Path());
        connection.Execute(QStringLiteral("insert into Groups values('closed')"));
        connection.Close();
        EXPECT_EQ(connection.State(), adStateClosed);
        connection.Close(); // closing twice is harmless
    }
    {
        Connection connection;
        open(connection, db.Path());
        connection.Execute(QStringLiteral("insert into Groups values('destroyed')"));
    }
    Connection connection;
    open(connection, db.Path());
    connection.Execute(QStringLiteral("insert into Groups values('ended')"));
    support::SetProgramTerminator([](int) { throw Ended{}; });
    EXPECT_THROW(support::EndProgram(0), Ended);
    support::SetProgramTerminator(nullptr);
    EXPECT_EQ(db.Rows(QStringLiteral("select GroupName from Groups")),
              (QStringList{u"closed"_qs, u"destroyed"_qs, u"ended"_qs}));
    // The connection stays usable after the hook committed its rows.
    connection.Execute(QStringLiteral("insert into Groups values('after')"));
    connection.Close();
    EXPECT_EQ(db.Rows(QStringLiteral("select count(*) from Groups")), QStringList{u"4"_qs});
}

TEST(DatabaseConnection, ObjectsRefuseWhatTheirStateDoesNotAllow)
{
    ResultsDatabase db;
    Connection connection;
    EXPECT_EQ(raised([&] { connection.Execute(QStringLiteral("select 1")); }).Number(), kObjectClosed);
    open(connection, db.Path());
    EXPECT_EQ(raised([&] { connection.Open(); }).Number(), kObjectOpen);
    Recordset records;
    records.Open(QStringLiteral("Groups"), connection);
    EXPECT_EQ(raised([&] { records.Open(QStringLiteral("Users"), connection); }).Number(), kObjectOpen);
    EXPECT_TRUE(records.Eof());
    EXPECT_EQ(raised([&] { records.MoveNext(); }).Number(), kNoCurrentRecord);
    EXPECT_EQ(raised([&] { records.Fields(0); }).Number(), kNoCurrentRecord);
    records.Close();
    EXPECT_EQ(raised([&] { records.Eof(); }).Number(), kObjectClosed);
}

TEST(DatabaseRecordset, ReadsATableOrAStatementByPositionInTheDatabasesOrder)
{
    ResultsDatabase db;
    db.Exec(QStringLiteral("insert into Users values('bob','HOST\\bob','False','True','01/01/1000');"
                           "insert into Users values('al|ce','HOST\\al|ce','True',NULL,'7 Mar 2005 14:05:09');"));
    Connection connection;
    open(connection, db.Path());
    Recordset records;
    records.Open(QStringLiteral("Users"), connection, adOpenStatic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateOpen);
    EXPECT_EQ(records.RecordCount(), 2);
    ASSERT_EQ(records.FieldCount(), 5);
    QStringList seen;
    for (; !records.Eof(); records.MoveNext()) {
        seen << records.Fields(0).Text() + u' ' + records.Fields(4).Text();
        EXPECT_EQ(raised([&] { records.Fields(5); }).Number(), kNoSuchField);
    }
    EXPECT_EQ(seen, (QStringList{u"bob 01/01/1000"_qs, u"al|ce 7 Mar 2005 14:05:09"_qs}));
    records.Close();

    // Values are bound, not spliced: an apostrophe and a LIKE pattern go in as they are.
    records.Open(QStringLiteral("select Username, PasswordNeverExpires from Users where UserPath like ?"),
                 {u"HOST\\al%"_qs}, connection, adOpenStatic, adLockOptimistic, -1);
    ASSERT_EQ(records.RecordCount(), 1);
    EXPECT_TRUE(records.Fields(1).IsNull());
    EXPECT_EQ(raised([&] { records.Fields(1).Text(); }).Number(), kInvalidUseOfNull);
    EXPECT_EQ(raised([&] { records.Fields(1).Text(); }).Description(), QStringLiteral("Invalid use of Null"));
    records.Close();
    records.Open(QStringLiteral("select count(*) from Users where Username = ?"), {u"it's"_qs}, connection);
    EXPECT_EQ(records.Fields(0).Text(), QStringLiteral("0"));
}

TEST(DatabaseRecordset, AnActionStatementRunsAtOpenAndLeavesTheRecordsetClosed)
{
    ResultsDatabase db;
    db.Exec(QStringLiteral("insert into settings values('old'); insert into settings values('older');"));
    Connection connection;
    open(connection, db.Path());
    Recordset records;
    records.Open(QStringLiteral("delete from settings where 1<2"), connection, adOpenDynamic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateClosed);
    records.Open(QStringLiteral("insert into settings values('new')"), connection, adOpenDynamic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateClosed);
    // The same connection reads its own pending rows.
    records.Open(QStringLiteral("settings"), connection, adOpenStatic, adLockOptimistic, -1);
    EXPECT_EQ(records.RecordCount(), 1);
    connection.Close();
    // Closing the connection first leaves the read rows to the record set, as the steps close
    // their objects in that order.
    EXPECT_EQ(records.Fields(0).Text(), QStringLiteral("new"));
    records.Close();
    EXPECT_EQ(db.Rows(QStringLiteral("select * from settings")), QStringList{u"new"_qs});
}

TEST(DatabaseRecordset, LikeComparesLetterCaseAsLinuxPathsDo)
{
    ResultsDatabase db;
    db.Exec(QStringLiteral("insert into Permissions values('/srv/Data','g','Full');"
                           "insert into Permissions values('/srv/data2','g','Full');"));
    Connection connection;
    open(connection, db.Path());
    Recordset records;
    records.Open(QStringLiteral("select Path from Permissions where Path like ?"), {u"/srv/Data%"_qs}, connection);
    ASSERT_EQ(records.RecordCount(), 1);
    EXPECT_EQ(records.Fields(0).Text(), QStringLiteral("/srv/Data"));
}
