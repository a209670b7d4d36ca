#include "common/MemoryDirectory.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "scan/modDatabase.h"
#include "scan/modScanUsersGroups.h"
#include "support/DateText.h"

#include <gtest/gtest.h>

using namespace testing_support;
using platform::directory::Group;
using platform::directory::User;

namespace {

const QString Domain = QStringLiteral("CORP");
const QString UsersRows = QStringLiteral("select * from Users order by rowid");
const QString GroupsRows = QStringLiteral("select * from Groups order by rowid");
const QString MembershipRows = QStringLiteral("select * from UserGroup order by rowid");

class UsersGroupsScan : public ::testing::Test {
protected:
    int32_t Scan(const QString &domain = Domain, const QString &path = {}, std::vector<PassedOver> *passedOver = nullptr)
    {
        return modScanUsersGroups::ScanUsersGroups(progress, progress, path.isEmpty() ? database.Path() : path, "Users",
                                                   "Groups", "UserGroup", domain, passedOver);
    }

    // Rows left by an earlier scan, which every run must replace.
    void OldRows() const
    {
        database.Exec("insert into Users values('old','CORP\\old','False','False','01/01/1000');"
                      "insert into Groups values('Old group');insert into UserGroup values('old','Old group')");
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
    directory.AddUser(Domain, "O'Neil", {"Sales'Team", "Domain Users"}).Put("LastLogin", login);
    User &never = directory.AddUser(Domain, "never", {"Domain Users"});
    never.Put("UserFlags", 0x10201);
    never.Put("AccountDisabled", true);
    directory.AddUser(Domain, "loner"); // in no group at all
    directory.AddGroup(Domain, "Sales'Team");
    directory.AddGroup(Domain, "Domain Users");

    EXPECT_EQ(Scan(), 1);
    const QString loginText = modDatabase::EscapeQuotes(support::DateText(login));
    EXPECT_EQ(Rows(UsersRows), (QStringList{"O|Neil\tCORP\\O|Neil\tFalse\tFalse\t" + loginText,
                                            "never\tCORP\\never\tTrue\tTrue\t01/01/1000",
                                            "loner\tCORP\\loner\tFalse\tFalse\t01/01/1000"}));
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"O|Neil\tUsers", "O|Neil\tSales|Team", "O|Neil\tDomain Users",
                                                 "never\tUsers", "never\tDomain Users", "loner\tUsers"}));
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"Sales|Team", "Domain Users"}));
    EXPECT_EQ(progress.captions, (QStringList{"Scanning users...", "Scanning groups...",
                                              "Users and groups scanned successfully."}));
    EXPECT_TRUE(progress.maxes.empty() && progress.values.empty());
    EXPECT_EQ(directory.binds, 2);
}

TEST_F(UsersGroupsScan, APropertyWithoutValueSkipsOnlyItsStatement)
{
    // The first user never expires; the second has no UserFlags and must not inherit that.
    directory.AddUser(Domain, "first").Put("UserFlags", 0x10000);
    directory.AddUser(Domain, "noflags").Put("UserFlags", QVariant());
    // Without AccountDisabled the users row cannot be built; the memberships still are.
    directory.AddUser(Domain, "nodisabled", {"G"}).Put("AccountDisabled", QVariant());
    // A group without a name is left out of the memberships, the next one is not.
    Group nameless = platform::directory::MakeGroup(Domain, "x");
    nameless.Put("Name", QVariant());
    directory.AddUser(Domain, "member").setGroups({nameless, platform::directory::MakeGroup(Domain, "G")});
    directory.AddGroup(Domain, "G");
    directory.AddGroup(Domain, "pathless").Put("ADsPath", QVariant());
    directory.AddGroup(Domain, "H");

    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows(UsersRows), (QStringList{"first\tCORP\\first\tFalse\tTrue\t01/01/1000",
                                            "noflags\tCORP\\noflags\tFalse\tFalse\t01/01/1000",
                                            "member\tCORP\\member\tFalse\tFalse\t01/01/1000"}));
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"first\tUsers", "noflags\tUsers", "nodisabled\tUsers", "nodisabled\tG",
                                                 "member\tUsers", "member\tG"}));
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"G", "H"}));
}

TEST_F(UsersGroupsScan, TheDomainIsFoundInAnyLetterCaseEvenWithoutGroups)
{
    OldRows();
    directory.AddUser(Domain, "alice", {"Somewhere else"});
    EXPECT_EQ(Scan("ELSEWHERE"), 0);
    EXPECT_EQ(progress.Caption(), "Domain not found!");
    for (const QString &query : {UsersRows, GroupsRows, MembershipRows})
        EXPECT_TRUE(Rows(query).isEmpty()) << query.toStdString();

    EXPECT_EQ(Scan("corp"), 1);
    EXPECT_TRUE(Rows(GroupsRows).isEmpty());
    EXPECT_EQ(Rows(MembershipRows), (QStringList{"alice\tUsers", "alice\tSomewhere else"}));
    EXPECT_EQ(progress.Caption(), "Users and groups scanned successfully.");
}

TEST_F(UsersGroupsScan, DatabaseFailuresUseTheTwoTableMessages)
{
    directory.AddUser(Domain, "alice");
    directory.AddGroup(Domain, "G");
    database.Exec("alter table Groups add column Extra text");
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), "Database table 'Users' or 'Groups' does not contain the right number of fields!");
    // Rows written before the failing statement stay.
    EXPECT_EQ(Rows(UsersRows).size(), 1);
    EXPECT_EQ(Rows(MembershipRows), QStringList{"alice\tUsers"});

    // A missing table is named as the users or groups table; the users table was emptied first.
    for (const QString missing : {"UserGroup", "Groups"}) {
        database.Exec("drop table " + missing + ";insert into Users values('old','CORP\\old','False','False','01/01/1000')");
        EXPECT_EQ(Scan(), 0);
        EXPECT_EQ(progress.Caption(), "Table 'Users' or 'Groups' not found in database!");
        EXPECT_TRUE(Rows(UsersRows).isEmpty()) << missing.toStdString();
    }

    progress.captions.clear();
    EXPECT_EQ(Scan(Domain, database.File("missing.mdb")), 0);
    EXPECT_EQ(progress.captions, (QStringList{"Scanning users...", "Database file not found!"}));
}

TEST_F(UsersGroupsScan, HostileNames)
{
    const QString pipe = "a|b'c", foreign = "Jürgen Ωμέγα 李小龍 \U0001F600", slashed = "dept/sub";
    const QString longest(256, u'ü');
    User &first = directory.AddUser(Domain, pipe, {pipe, foreign});
    directory.AddUser(Domain, foreign, {longest});
    directory.AddUser(Domain, slashed, {slashed});
    directory.AddUser(Domain, longest);
    for (const QString &name : {pipe, foreign, slashed, longest})
        directory.AddGroup(Domain, name);
    // Names that are no text are passed over with every row that names them, each noted once.
    Group unreadable = platform::directory::MakeGroup(Domain, "grp\uFFFD");
    unreadable.setUnreadableName("grp\\xE9");
    std::vector<Group> memberships = first.Groups();
    memberships.insert(memberships.begin() + 1, unreadable);
    first.setGroups(memberships);
    directory.AddUser(Domain, "caf\uFFFD", {pipe}).setUnreadableName("caf\\xE9");
    directory.AddGroup(Domain, "grp\uFFFD").setUnreadableName("grp\\xE9");
    std::vector<PassedOver> passedOver{{"/srv/earlier", "Permission denied"}};

    EXPECT_EQ(Scan(Domain, {}, &passedOver), 1);
    EXPECT_EQ(progress.Caption(), "Users and groups scanned; 1 user and 1 group could not be read.");
    QStringList noted;
    for (const auto &[name, reason] : passedOver)
        noted << reason + ": " + name;
    EXPECT_EQ(noted, (QStringList{"Permission denied: /srv/earlier", "Group name is not valid UTF-8: grp\\xE9",
                                  "Account name is not valid UTF-8: caf\\xE9"}));
    EXPECT_EQ(Rows("select Username, UserPath from Users order by rowid"),
              (QStringList{"a|b|c\tCORP\\a|b|c", foreign + "\tCORP\\" + foreign, "dept/sub\tCORP\\dept\\sub",
                           longest + "\tCORP\\" + longest}));
    EXPECT_EQ(Rows(MembershipRows),
              (QStringList{"a|b|c\tUsers", "a|b|c\ta|b|c", "a|b|c\t" + foreign, foreign + "\tUsers", foreign + "\t" + longest,
                           "dept/sub\tUsers", "dept/sub\tdept/sub", longest + "\tUsers"}));
    // A group's name is what its path holds after the domain, "/" and all.
    EXPECT_EQ(Rows(GroupsRows), (QStringList{"a|b|c", foreign, "dept/sub", longest}));

    // A name longer than its column allows leaves out its rows only, and the task ends with the
    // message for fields that are too small.
    directory.AddUser(Domain, QString(300, u'x'), {"G"});
    directory.AddUser(Domain, "after");
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), "The database fields are too small, some information is not saved!");
    EXPECT_EQ(Rows(UsersRows).size(), 5);
    EXPECT_EQ(Rows(MembershipRows).last(), "after\tUsers");
    EXPECT_EQ(Rows(GroupsRows).size(), 4);
}

} // namespace
