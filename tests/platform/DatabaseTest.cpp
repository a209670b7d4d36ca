#include "platform/database/Connection.h"
#include "platform/database/DatabaseClaim.h"
#include "platform/database/DatabaseError.h"
#include "platform/database/Recordset.h"
#include "support/ProgramEnd.h"

#include "common/DirectoryTree.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform::database;

namespace {

QString connectionString(const QString &path)
{
    return u"Provider=Microsoft.Jet.OLEDB.4.0;data source="_qs + path + u";Jet OLEDB:Engine Type=5;"_qs;
}

// Runs body and returns the error it raised (number 0 when it raised none).
template <typename Body> support::Error raised(Body body)
{
    try {
        body();
    } catch (const support::Error &error) {
        return error;
    }
    return support::Error(0, u"no error"_qs);
}

class DatabaseTest : public ::testing::Test {
protected:
    void open(Connection &c, const QString &path) const
    {
        c.setConnectionString(connectionString(path));
        c.Open();
    }
    void open(Connection &c) const { open(c, db.Path()); }
    QStringList groups() const { return db.Rows(u"select GroupName from Groups"_qs); }

    testing_support::ResultsDatabase db;
    Connection connection;
};
using DatabaseConnection = DatabaseTest;
using DatabaseRecordset = DatabaseTest;
using DatabaseCommand = DatabaseTest;

struct Ended {};

} // namespace

TEST(DatabaseConnectionString, DataSourceIsTakenFromTheConnectionString)
{
    // A path may hold ";" and "=" as long as no "key=" follows the ";".
    for (const QString &path : {u"/srv/db/NetworkInfo.mdb"_qs, u"/srv/a;b/x=1.mdb"_qs})
        EXPECT_EQ(Connection::DataSource(connectionString(path)), path);
    EXPECT_EQ(Connection::DataSource(u"DATA SOURCE = \"/srv/with;quotes.mdb\";Mode=3"_qs), u"/srv/with;quotes.mdb"_qs);
    EXPECT_EQ(Connection::DataSource(u"data source=/x.mdb"_qs), u"/x.mdb"_qs);
    EXPECT_EQ(Connection::DataSource(u"Provider=Microsoft.Jet.OLEDB.4.0;"_qs), QString());
}

TEST_F(DatabaseConnection, OpeningFailsAtOpenForAMissingFileOrAFileThatIsNoDatabase)
{
    const QString empty = db.WriteFile(u"empty.mdb"_qs, {});
    const QString text = db.WriteFile(u"text.mdb"_qs, QByteArray("Path,Member,Right\n/srv,alice,Full\n").repeated(200));
    const std::pair<QString, QChar> cases[] = {
        {db.File(u"missing.mdb"_qs), u'C'}, {db.File(QString()), u'C'}, {QString(), u'C'}, {empty, u'U'}, {text, u'U'},
    };
    for (const auto &[path, first] : cases) {
        SCOPED_TRACE(path.toStdString());
        Connection c;
        const auto error = raised([&] { open(c, path); });
        EXPECT_EQ(error.Number(), kDatabaseFailure);
        EXPECT_TRUE(error.Description().startsWith(first)) << error.Description().toStdString();
        EXPECT_EQ(c.State(), adStateClosed);
    }
    EXPECT_FALSE(QFile::exists(db.File(u"missing.mdb"_qs))) << "Open must never create a file";
    EXPECT_EQ(QFile(empty).size(), 0);
}

TEST_F(DatabaseConnection, FailedStatementsRaiseTheNumbersTheMessagesTest)
{
    db.Exec(u"CREATE TABLE Counted (Name TEXT, Number INTEGER) STRICT;"
            "CREATE TABLE Keyed (Name TEXT PRIMARY KEY); INSERT INTO Keyed VALUES ('a');"_qs);
    const QString path4096 = QString(4096, u'p');
    struct Case {
        const char *sql;
        QVariantList parameters;
        int32_t number;
        QChar first; // for kDatabaseFailure: U, C or D, or '?' for any other letter
    };
    const Case cases[] = {
        {"insert into Rights values('a','b','c')", {}, kTableNotFound, {}},
        {"select Member from Permissions where Member not in (select username from people)", {}, kTableNotFound, {}},
        {"insert into Users values('a','b','c')", {}, kDatabaseFailure, u'D'},
        {"insert into Groups values(?,?)", {u"a"_qs, u"b"_qs}, kDatabaseFailure, u'D'},
        {"insert into Permissions values(?,?,?)", {path4096 + u'x', u"alice"_qs, u"Full"_qs}, kValueTooLong, {}},
        {"insert into Counted values('a','many')", {}, kTypeMismatch, {}},
        {"Select * FROM Permissions WHERE (Right LIKE)", {}, kStatementRejected, {}},
        {"delete from Users where 1<2; delete from Groups where 1<2", {}, kStatementRejected, {}},
        {"  ;", {}, kStatementRejected, {}},
        {"insert into Keyed values('a')", {}, kDatabaseFailure, u'?'},
    };
    open(connection);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sql);
        const auto error = raised([&] { connection.Execute(QString::fromUtf8(c.sql), c.parameters); });
        EXPECT_EQ(error.Number(), c.number) << error.Description().toStdString();
        EXPECT_EQ(error.Source(), kErrorSource);
        if (c.number == kDatabaseFailure) {
            const QChar first = error.Description().isEmpty() ? QChar() : error.Description().front();
            EXPECT_EQ(u"UCD"_qs.contains(first) ? first : QChar(u'?'), c.first) << error.Description().toStdString();
        }
    }
    // The limit itself is allowed, and the connection goes on after every failure.
    EXPECT_EQ(connection.Execute(u"insert into Permissions values(?,?,?)"_qs, {path4096, u"alice"_qs, u"Full"_qs}), 1);
}

TEST_F(DatabaseConnection, RowsWrittenBeforeAnErrorAreInTheFileWhenTheErrorIsRaised)
{
    open(connection);
    connection.Execute(u"insert into Groups values('one')"_qs);
    connection.Execute(u"insert into Groups values(?)"_qs, {u"two"_qs});
    EXPECT_EQ(raised([&] { connection.Execute(u"insert into Groups values(?)"_qs, {QString(300, u'x')}); }).Number(),
              kValueTooLong);
    // Another reader sees them while the failing connection is still open: nothing was rolled back.
    EXPECT_EQ(groups(), (QStringList{u"one"_qs, u"two"_qs}));
    connection.Execute(u"insert into Groups values('three')"_qs);
    connection.Close();
    EXPECT_EQ(groups().size(), 3);
}

TEST_F(DatabaseConnection, PendingRowsAreCommittedOnCloseInTheDestructorAndAtProgramEnd)
{
    {
        Connection closed, destroyed;
        open(closed);
        closed.Execute(u"insert into Groups values('closed')"_qs);
        closed.Close();
        EXPECT_EQ(closed.State(), adStateClosed);
        closed.Close(); // closing twice is harmless
        open(destroyed);
        destroyed.Execute(u"insert into Groups values('destroyed')"_qs);
    }
    open(connection);
    connection.Execute(u"insert into Groups values('ended')"_qs);
    support::SetProgramTerminator([](int) { throw Ended{}; });
    EXPECT_THROW(support::EndProgram(0), Ended);
    support::SetProgramTerminator(nullptr);
    EXPECT_EQ(groups(), (QStringList{u"closed"_qs, u"destroyed"_qs, u"ended"_qs}));
    // The connection stays usable after the hook committed its rows.
    connection.Execute(u"insert into Groups values('after')"_qs);
    connection.Close();
    EXPECT_EQ(groups().size(), 4);
}

TEST_F(DatabaseConnection, ObjectsRefuseWhatTheirStateDoesNotAllow)
{
    EXPECT_EQ(raised([&] { connection.Execute(u"select 1"_qs); }).Number(), kObjectClosed);
    open(connection);
    EXPECT_EQ(raised([&] { connection.Open(); }).Number(), kObjectOpen);
    Recordset records;
    records.Open(u"Groups"_qs, connection);
    EXPECT_EQ(raised([&] { records.Open(u"Users"_qs, connection); }).Number(), kObjectOpen);
    EXPECT_TRUE(records.Eof());
    EXPECT_EQ(raised([&] { records.MoveNext(); }).Number(), kNoCurrentRecord);
    EXPECT_EQ(raised([&] { records.Fields(0); }).Number(), kNoCurrentRecord);
    records.Close();
    EXPECT_EQ(raised([&] { records.Eof(); }).Number(), kObjectClosed);
}

TEST_F(DatabaseRecordset, ReadsATableOrAStatementByPositionInTheDatabasesOrder)
{
    db.Exec(u"insert into Users values('bob','HOST\\bob','False','True','01/01/1000');"
            "insert into Users values('al|ce','HOST\\al|ce','True',NULL,'7 Mar 2005 14:05:09');"_qs);
    open(connection);
    Recordset records;
    records.Open(u"Users"_qs, connection, adOpenStatic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateOpen);
    EXPECT_EQ(records.RecordCount(), 2);
    ASSERT_EQ(records.FieldCount(), 5);
    QStringList seen;
    for (; !records.Eof(); records.MoveNext()) {
        seen << records.Fields(0).Text() + u' ' + records.Fields(4).Text();
        EXPECT_EQ(records.Fields(4).Utf8(), records.Fields(4).Text().toUtf8());
        EXPECT_EQ(raised([&] { records.Fields(5); }).Number(), kNoSuchField);
    }
    EXPECT_EQ(seen, (QStringList{u"bob 01/01/1000"_qs, u"al|ce 7 Mar 2005 14:05:09"_qs}));
    records.Close();

    // Values are bound, not spliced: an apostrophe and a LIKE pattern go in as they are; LIKE
    // ignores letter case (the right filters rely on it).
    records.Open(u"select Username, PasswordNeverExpires from Users where UserPath like ?"_qs, {u"HOST\\al%"_qs},
                 connection, adOpenStatic, adLockOptimistic, -1);
    ASSERT_EQ(records.RecordCount(), 1);
    EXPECT_TRUE(records.Fields(1).IsNull());
    const auto null = raised([&] { records.Fields(1).Text(); });
    EXPECT_EQ(null.Number(), kInvalidUseOfNull);
    EXPECT_EQ(null.Description(), u"Invalid use of Null"_qs);
    EXPECT_EQ(raised([&] { records.Fields(1).Utf8(); }).Number(), kInvalidUseOfNull);
    records.Close();
    records.Open(u"select count(*) from Users where Username = ? or UserPath like ?"_qs, {u"it's"_qs, u"host\\AL%"_qs},
                 connection);
    EXPECT_EQ(records.Fields(0).Text(), u"1"_qs);
    EXPECT_EQ(records.Fields(0).Utf8(), "1");
}

TEST_F(DatabaseRecordset, AnActionStatementRunsAtOpenAndLeavesTheRecordsetClosed)
{
    db.Exec(u"insert into settings values('old'); insert into settings values('older');"_qs);
    open(connection);
    Recordset records;
    records.Open(u"delete from settings where 1<2"_qs, connection, adOpenDynamic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateClosed);
    records.Open(u"insert into settings values('new')"_qs, connection, adOpenDynamic, adLockOptimistic, -1);
    EXPECT_EQ(records.State(), adStateClosed);
    // The same connection reads its own pending rows.
    records.Open(u"settings"_qs, connection, adOpenStatic, adLockOptimistic, -1);
    EXPECT_EQ(records.RecordCount(), 1);
    // Closing the connection first leaves the read rows to the record set, as the steps close
    // their objects in that order.
    connection.Close();
    EXPECT_EQ(records.Fields(0).Text(), u"new"_qs);
    records.Close();
    EXPECT_EQ(db.Rows(u"select * from settings"_qs), QStringList{u"new"_qs});
}

TEST_F(DatabaseCommand, RunsOnePreparedStatementWithTextValuesExactlyAndKeepsRowsBeforeAFailure)
{
    open(connection);
    EXPECT_EQ(raised([&] { Command(connection, u"insert into Missing values(?)"_qs); }).Number(), kTableNotFound);
    EXPECT_EQ(raised([&] { Command(connection, u"insert into Permissions values(?,?)"_qs); }).Number(),
              kDatabaseFailure);
    Command insert(connection, u"insert into Permissions values(?,?,?)"_qs);
    const QString path = u"/srv/Ünïcode/o|neil"_qs;
    insert.Execute({path, u"", QStringView()});
    EXPECT_EQ(raised([&] { insert.Execute({u"/long", QString(300, u'm'), u"Full"}); }).Number(), kValueTooLong);
    // The failed run undid only itself, and what came before is in the file already.
    EXPECT_EQ(db.Rows(u"select Path from Permissions"_qs), QStringList{path});
    insert.Execute({u"/b", u"x'y", u"Full"});
    connection.Close();
    EXPECT_EQ(raised([&] { insert.Execute({u"/closed", u"c", u"Full"}); }).Number(), kObjectClosed);
    // Empty texts, with or without data, are "" and never Null.
    EXPECT_EQ(db.Rows(u"select Path, Member, Right, Member is null, Right is null from Permissions order by rowid"_qs),
              (QStringList{path + u"\t\t\t0\t0"_qs, u"/b\tx'y\tFull\t0\t0"_qs}));
}

// A claim keeps every other claim off the database, under any path of it, until it goes; the lock
// file it leaves behind serves the next claim. A database that is not there gets no lock file.
TEST(DatabaseClaim, OneClaimPerDatabaseFileUntilItGoes)
{
    testing_support::ResultsDatabase db;
    const QString link = db.File(u"link.mdb"_qs);
    ASSERT_TRUE(QFile::link(db.Path(), link));
    {
        const DatabaseClaim first(db.Path());
        for (const QString &path : {db.Path(), link})
            EXPECT_EQ(raised([&] { DatabaseClaim second(path); }).Number(), kClaimHeld) << path.toStdString();
    }
    EXPECT_EQ(raised([&] { DatabaseClaim again(link); }).Number(), 0);
    EXPECT_TRUE(QFile::exists(db.Path() + u".lock"_qs));
    EXPECT_EQ(raised([&] { DatabaseClaim none(db.File(u"missing.mdb"_qs)); }).Number(), 0);
    EXPECT_FALSE(QFile::exists(db.File(u"missing.mdb.lock"_qs)));
}

// A lock file that is a link to nothing can be neither opened nor made: the claim gives up at
// once, names the file and leaves the link as it is.
TEST(DatabaseClaim, ALockFileLinkedToNothingIsRefusedAtOnce)
{
    testing_support::ResultsDatabase db;
    const QString lock = db.Path() + u".lock"_qs;
    ASSERT_TRUE(QFile::link(db.File(u"no-such-folder/x"_qs), lock));
    const support::Error failed = raised([&] { DatabaseClaim claim(db.Path()); });
    EXPECT_EQ(failed.Number(), support::ResultCode(0x80070000u | ENOENT));
    EXPECT_TRUE(failed.Description().contains(lock + u": "_qs)) << failed.what();
    EXPECT_EQ(QFileInfo(lock).symLinkTarget(), db.File(u"no-such-folder/x"_qs));
    EXPECT_FALSE(QFile::exists(db.File(u"no-such-folder"_qs)));
}

// Root's scheduled run and a user's run share one lock file: the one root made, even under the
// strictest umask, serves a user who may write the database, and only such a user: one who may not
// write it cannot open the lock to hold its scans off, also where an earlier version left the lock
// open to everyone. Where the user cannot make a lock, the claim fails and says where.
TEST(DatabaseClaim, OnlyThoseWhoMayWriteTheDatabaseOpenItsLockAndOneThatCannotBeMadeIsNamed)
{
    testing_support::ResultsDatabase db;
    const QString other = db.File(u"Other.mdb"_qs), closed = db.File(u"Closed.mdb"_qs);
    for (const QString &database : {other, closed})
        testing_support::MakeEmptyDatabase(database);
    ASSERT_EQ(chmod(QFile::encodeName(db.File({})).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(db.Path()).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(closed).constData(), 0644), 0);
    QFile old(closed + u".lock"_qs); // as an earlier version left it
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(chmod(QFile::encodeName(old.fileName()).constData(), 0644), 0);
    const mode_t umaskBefore = umask(077);
    for (const QString &database : {db.Path(), closed})
        const DatabaseClaim root(database);
    umask(umaskBefore);
    const auto mode = [](const QString &file) {
        struct stat info {};
        return stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 07777 : 07777;
    };
    EXPECT_EQ(mode(db.Path() + u".lock"_qs), 0444u);
    EXPECT_EQ(mode(old.fileName()), 0400u);

    const testing_support::Unprivileged user;
    if (!user.Active())
        GTEST_SKIP() << "needs to switch to the user nobody";
    EXPECT_EQ(raised([&] { DatabaseClaim claim(db.Path()); }).Number(), 0);
    for (const QString &database : {other, closed}) {
        const support::Error failed = raised([&] { DatabaseClaim claim(database); });
        EXPECT_EQ(failed.Number(), support::ResultCode(0x80070000u | EACCES)) << database.toStdString();
        EXPECT_TRUE(failed.Description().contains(database + u".lock: "_qs)) << failed.what();
    }
}
