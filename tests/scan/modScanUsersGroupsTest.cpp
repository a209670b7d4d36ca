#include "common/MemoryDirectory.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "platform/directory/NssDirectory.h"
#include "scan/modDatabase.h"
#include "scan/modScanUsersGroups.h"
#include "support/DateText.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>

#include <iostream>
#include <set>

using namespace testing_support;
using modScanUsersGroups::ScanUsersGroups;
using platform::directory::Group;
using platform::directory::User;

namespace {

const QString Domain = QStringLiteral("CORP");
const QString UsersRows = QStringLiteral("select * from Users order by rowid");
const QString GroupsRows = QStringLiteral("select * from Groups order by rowid");
const QString MembershipRows = QStringLiteral("select * from UserGroup order by rowid");

class UsersGroupsScan : public ::testing::Test {
protected:
    int32_t Scan(const QString &domain = Domain)
    {
        return ScanUsersGroups(progress, progress, database.Path(), QStringLiteral("Users"), QStringLiteral("Groups"),
                               QStringLiteral("UserGroup"), domain);
    }

    // Rows left by an earlier scan, which every run must replace.
    void OldRows() const
    {
        database.Exec(QStringLiteral("insert into Users values('old','CORP\\old','False','False','01/01/1000');"
                                     "insert into Groups values('Old group');"
                                     "insert into UserGroup values('old','Old group')"));
    }

    QStringList Rows(const QString &query) const { return database.Rows(query); }

    ResultsDatabase database;
    MemoryDirectory directory;
    ProgressRecorder progress;
};

TEST_F(UsersGroupsScan, StoresUsersMembershipsAndGroupsUnderTheApostropheRule)
{
    OldRows();
    const QDateTime login(QDate(2024, 3, 5), QTime(14, 7, 9));
    directory.AddUser(Domain, QStringLiteral("O'Neil"), {QStringLiteral("Sales'Team"), QStringLiteral("Domain Users")})
        .Put(QStringLiteral("LastLogin"), login);
    User &never = directory.AddUser(Domain, QStringLiteral("never"), {QStringLiteral("Domain Users")});
    never.Put(QStringLiteral("UserFlags"), 0x10201);
    never.Put(QStringLiteral("AccountDisabled"), true);
    directory.AddUser(Domain, QStringLiteral("loner")); // in no group at all
    directory.AddGroup(Domain, QStringLiteral("Sales'Team"));
    directory.AddGroup(Domain, QStringLiteral("Domain Users"));

    EXPECT_EQ(Scan(), 1);
    const QString loginText = support::DateText(login);
    EXPECT_EQ(Rows(UsersRows), (QStringList{"O|Neil\tCORP\\O|Neil\tFalse\tFalse\t" + modDatabase::EscapeQuotes(loginText),
                                            "never\tCORP\\never\tTrue\tTrue\t01/01/1000",
                                            "loner\tCORP\\loner\tFalse\tFalse\t01/01/1000"}));
    EXPECT_EQ(support::ReadDateText(loginText), login);
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"O|Neil\tUsers", "O|Neil\tSales|Team", "O|Neil\tDomain Users",
                                                 "never\tUsers", "never\tDomain Users", "loner\tUsers"}));
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"Sales|Team", "Domain Users"}));
    EXPECT_EQ(progress.captions, (QStringList{"Scanning users...", "Scanning groups...",
                                              "Users and groups scanned successfully."}));
    EXPECT_TRUE(progress.maxes.empty());
    EXPECT_TRUE(progress.values.empty());
    EXPECT_EQ(directory.binds, 2);
}

TEST_F(UsersGroupsScan, APropertyWithoutValueSkipsOnlyItsStatement)
{
    // The first user never expires; the second has no UserFlags and must not inherit that.
    directory.AddUser(Domain, QStringLiteral("first")).Put(QStringLiteral("UserFlags"), 0x10000);
    directory.AddUser(Domain, QStringLiteral("noflags")).Put(QStringLiteral("UserFlags"), QVariant());
    // Without AccountDisabled the users row cannot be built; the memberships still are.
    directory.AddUser(Domain, QStringLiteral("nodisabled"), {QStringLiteral("G")})
        .Put(QStringLiteral("AccountDisabled"), QVariant());
    // A group without a name is left out of the memberships, the next one is not.
    User &member = directory.AddUser(Domain, QStringLiteral("member"));
    Group nameless = platform::directory::MakeGroup(Domain, QStringLiteral("x"));
    nameless.Put(QStringLiteral("Name"), QVariant());
    member.setGroups({nameless, platform::directory::MakeGroup(Domain, QStringLiteral("G"))});
    directory.AddGroup(Domain, QStringLiteral("G"));
    directory.AddGroup(Domain, QStringLiteral("pathless")).Put(QStringLiteral("ADsPath"), QVariant());
    directory.AddGroup(Domain, QStringLiteral("H"));

    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows(UsersRows), (QStringList{"first\tCORP\\first\tFalse\tTrue\t01/01/1000",
                                            "noflags\tCORP\\noflags\tFalse\tFalse\t01/01/1000",
                                            "member\tCORP\\member\tFalse\tFalse\t01/01/1000"}));
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"first\tUsers", "noflags\tUsers", "nodisabled\tUsers", "nodisabled\tG",
                                                 "member\tUsers", "member\tG"}));
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"G", "H"}));
}

TEST_F(UsersGroupsScan, UnknownDomainLeavesTheTablesEmpty)
{
    OldRows();
    directory.AddUser(Domain, QStringLiteral("alice"));
    EXPECT_EQ(Scan(QStringLiteral("ELSEWHERE")), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Domain not found!"));
    for (const QString &query : {UsersRows, GroupsRows, MembershipRows})
        EXPECT_TRUE(Rows(query).isEmpty()) << query.toStdString();
}

TEST_F(UsersGroupsScan, AMissingTableIsNamedAsTheUsersOrGroupsTable)
{
    for (const QString &missing : {QStringLiteral("Groups"), QStringLiteral("UserGroup")}) {
        ResultsDatabase fresh;
        fresh.Exec(QStringLiteral("insert into Users values('old','CORP\\old','False','False','01/01/1000');"
                                  "drop table ") + missing);
        directory.AddUser(Domain, QStringLiteral("alice"));
        ProgressRecorder recorder;
        EXPECT_EQ(ScanUsersGroups(recorder, recorder, fresh.Path(), QStringLiteral("Users"), QStringLiteral("Groups"),
                                  QStringLiteral("UserGroup"), Domain),
                  0);
        EXPECT_EQ(recorder.Caption(), QStringLiteral("Table 'Users' or 'Groups' not found in database!"));
        // The users table was emptied before the missing one was reached.
        EXPECT_TRUE(fresh.Rows(UsersRows).isEmpty()) << missing.toStdString();
    }
}

TEST_F(UsersGroupsScan, DatabaseFailuresUseTheTwoTableMessages)
{
    database.Exec(QStringLiteral("alter table Groups add column Extra text"));
    directory.AddUser(Domain, QStringLiteral("alice"));
    directory.AddGroup(Domain, QStringLiteral("G"));
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(),
              QStringLiteral("Database table 'Users' or 'Groups' does not contain the right number of fields!"));
    // Rows written before the failing statement stay.
    EXPECT_EQ(Rows(UsersRows).size(), 1);
    EXPECT_EQ(Rows(MembershipRows), QStringList{"alice\tUsers"});

    ProgressRecorder recorder;
    EXPECT_EQ(ScanUsersGroups(recorder, recorder, database.File(QStringLiteral("missing.mdb")), QStringLiteral("Users"),
                              QStringLiteral("Groups"), QStringLiteral("UserGroup"), Domain),
              0);
    EXPECT_EQ(recorder.captions, (QStringList{"Scanning users...", "Database file not found!"}));
}

TEST_F(UsersGroupsScan, ADomainWithoutGroupsStillSucceeds)
{
    OldRows();
    directory.AddUser(Domain, QStringLiteral("alice"), {QStringLiteral("Somewhere else")});
    EXPECT_EQ(Scan(QStringLiteral("corp")), 1);
    EXPECT_TRUE(Rows(GroupsRows).isEmpty());
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"alice\tUsers", "alice\tSomewhere else"}));
    EXPECT_EQ(progress.Caption(), QStringLiteral("Users and groups scanned successfully."));
}

TEST_F(UsersGroupsScan, HostileNames)
{
    const QString pipe = QStringLiteral("a|b'c");
    const QString foreign = QStringLiteral("Jürgen Ωμέγα 李小龍 \U0001F600");
    const QString slashed = QStringLiteral("dept/sub");
    const QString longest = QString(256, u'ü');
    directory.AddUser(Domain, pipe, {pipe, foreign});
    directory.AddUser(Domain, foreign, {longest});
    directory.AddUser(Domain, slashed, {slashed});
    directory.AddUser(Domain, longest);
    directory.AddGroup(Domain, pipe);
    directory.AddGroup(Domain, foreign);
    directory.AddGroup(Domain, slashed);
    directory.AddGroup(Domain, longest);

    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows(QStringLiteral("select Username, UserPath from Users order by rowid")),
              (QStringList{"a|b|c\tCORP\\a|b|c", foreign + "\tCORP\\" + foreign, "dept/sub\tCORP\\dept\\sub",
                           longest + "\tCORP\\" + longest}));
    EXPECT_EQ(Rows(MembershipRows),
              (QStringList{"a|b|c\tUsers", "a|b|c\ta|b|c", "a|b|c\t" + foreign, foreign + "\tUsers", foreign + "\t" + longest,
                           "dept/sub\tUsers", "dept/sub\tdept/sub", longest + "\tUsers"}));
    // A group's name is what its path holds after the domain, "/" and all.
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"a|b|c", foreign, "dept/sub", longest}));

    // A name longer than the column allows ends the task; what came before stays.
    directory.AddUser(Domain, QString(300, u'x'));
    directory.AddUser(Domain, QStringLiteral("after"));
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("The database fields are too small, some information is not saved!"));
    EXPECT_EQ(Rows(UsersRows).size(), 4);
    EXPECT_TRUE(Rows(GroupsRows).isEmpty());
}

// What getent lists for a database: the first field of every line, and the whole lines.
QStringList Getent(const QString &database)
{
    QProcess getent;
    getent.start(QStringLiteral("getent"), {database});
    if (!getent.waitForFinished(60000))
        ADD_FAILURE() << "getent " << database.toStdString() << " did not finish";
    return QString::fromUtf8(getent.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

std::set<QString> Column(const QStringList &rows, int index = 0)
{
    std::set<QString> values;
    for (const QString &row : rows)
        values.insert(row.section(u'\t', index, index));
    return values;
}

TEST_F(UsersGroupsScan, ThisMachineThroughNss)
{
    using platform::directory::NssDirectory;
    QTemporaryDir files;
    const QString lastlog = files.filePath(QStringLiteral("lastlog"));
    // A known login for the first account with a uid below 1000, so the file stays small.
    QString loggedIn;
    uid_t uid = 0;
    setpwent();
    while (const passwd *entry = getpwent()) {
        if (entry->pw_uid < 1000) {
            loggedIn = QString::fromUtf8(entry->pw_name);
            uid = entry->pw_uid;
            break;
        }
    }
    endpwent();
    ASSERT_FALSE(loggedIn.isEmpty());
    const uint32_t known = 1718000000; // 2024-06-10 06:13:20 UTC
    QByteArray records(static_cast<int>((uid + 1) * 292), '\0');
    memcpy(records.data() + uid * 292, &known, sizeof known);
    QFile file(lastlog);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(records);
    file.close();

    NssDirectory nss({QStringLiteral("/etc/shadow"), lastlog});
    platform::directory::Install(&nss);
    const int32_t result = Scan(NssDirectory::HostShortName());
    platform::directory::Install(&directory);
    ASSERT_EQ(result, 1) << progress.Caption().toStdString();

    const QStringList passwd = Getent(QStringLiteral("passwd"));
    const QStringList groups = Getent(QStringLiteral("group"));
    std::set<QString> accounts;
    for (const QString &line : passwd)
        accounts.insert(modDatabase::EscapeQuotes(line.section(u':', 0, 0)));
    std::set<QString> groupNames;
    for (const QString &line : groups)
        groupNames.insert(modDatabase::EscapeQuotes(line.section(u':', 0, 0)));
    const QStringList users = Rows(UsersRows);
    EXPECT_EQ(Column(users), accounts);
    EXPECT_EQ(Column(Rows(GroupsRows)), groupNames);

    // Every supplementary membership getent lists, and every account's own "Users" row.
    const QStringList membershipRows = Rows(MembershipRows);
    const std::set<QString> memberships(membershipRows.begin(), membershipRows.end());
    int supplementary = 0;
    for (const QString &line : groups) {
        const QString group = modDatabase::EscapeQuotes(line.section(u':', 0, 0));
        for (const QString &member : line.section(u':', 3).split(u',', Qt::SkipEmptyParts)) {
            if (!accounts.count(modDatabase::EscapeQuotes(member)))
                continue; // a member that is no account of this machine
            ++supplementary;
            EXPECT_TRUE(memberships.count(modDatabase::EscapeQuotes(member) + u'\t' + group))
                << member.toStdString() << " in " << group.toStdString();
        }
    }
    for (const QString &account : accounts)
        EXPECT_TRUE(memberships.count(account + QStringLiteral("\tUsers"))) << account.toStdString();
    if (supplementary == 0)
        std::cout << "note: this machine lists no supplementary group memberships\n";

    for (const QString &row : users) {
        const QStringList values = row.split(u'\t');
        EXPECT_EQ(values[1], NssDirectory::HostShortName() + u'\\' + values[0]);
        if (values[0] == modDatabase::EscapeQuotes(loggedIn))
            EXPECT_EQ(support::ReadDateText(values[4]).toSecsSinceEpoch(), known) << values[4].toStdString();
        else
            EXPECT_EQ(values[4], QStringLiteral("01/01/1000")) << values[0].toStdString();
    }
}

} // namespace
