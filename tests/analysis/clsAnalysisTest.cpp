#include "analysis/clsAnalysis.h"

#include "support/DateText.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using testing_support::ProgressRecorder;
using testing_support::ResultsDatabase;

namespace {

const QString kGathering = u"Gathering information from the database..."_qs;

// A results database with rights of several members on directories that share prefixes.
class clsAnalysisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.Exec(u"insert into Permissions values('/srv/Data2','Staff','Read&Write');"
                "insert into Permissions values('/srv/Data','Staff','Read&Execute');"
                "insert into Permissions values('/srv/Data/sub','Staff','Full');"
                "insert into Permissions values('/srv/Other','Staff','List');"
                "insert into Permissions values('/srv/a_b','Staff','Read');"
                "insert into Permissions values('/srv/axb','Staff','Modify');"
                "insert into Permissions values('/srv/Data','Admins','Full');"
                "insert into Permissions values('/srv/it|s','O|Brien Group','Read&Execute');"
                "insert into Permissions values('/home/al|ce','al|ce','Full');"
                "insert into Permissions values('/srv/Data','Users','Read');"
                "insert into Permissions values('/srv/Sales','Sales|Team','Modify');"
                "insert into UserGroup values('al|ce','Users');"
                "insert into UserGroup values('al|ce','Sales|Team');"
                "insert into UserGroup values('bob','Users');"_qs);
    }

    // The paths and rights of a rights query as "path right" lines.
    static QStringList lines(const QStringList &directories, const QStringList &rights)
    {
        EXPECT_EQ(directories.size(), rights.size());
        QStringList result;
        for (qsizetype i = 0; i < directories.size() && i < rights.size(); ++i)
            result << directories[i] + u' ' + rights[i];
        return result;
    }

    QStringList groupRights(const QString &group, const QString &directories, const QString &filter = {})
    {
        QStringList paths, rights;
        EXPECT_EQ(analysis.GetDirectoryRights(db.Path(), filter, group, paths, rights, progress, progress, directories), 1)
            << progress.Caption().toStdString();
        return lines(paths, rights);
    }

    QStringList userRights(const QString &user, bool related, const QString &directories = {})
    {
        QStringList paths, rights;
        EXPECT_EQ(analysis.GetUserRights(db.Path(), {}, user, paths, rights, progress, progress, directories, related), 1)
            << progress.Caption().toStdString();
        return lines(paths, rights);
    }

    ResultsDatabase db;
    clsAnalysis analysis;
    ProgressRecorder progress;
};

} // namespace

TEST_F(clsAnalysisTest, DirectoryFilterFormsSelectRowsByPathPrefix)
{
    const QStringList staff = {u"/srv/Data Read&Execute"_qs, u"/srv/Data/sub Full"_qs, u"/srv/Data2 Read&Write"_qs,
                               u"/srv/Other List"_qs, u"/srv/a_b Read"_qs, u"/srv/axb Modify"_qs};
    struct Case {
        QString directories;
        QString filter;
        QStringList expected;
    };
    const Case cases[] = {
        {QString(), QString(), staff},
        {u"All directories"_qs, QString(), staff},
        // One directory is a prefix: /srv/Data also selects /srv/Data2, and letter case counts.
        {u"/srv/Data"_qs, QString(), {u"/srv/Data Read&Execute"_qs, u"/srv/Data/sub Full"_qs, u"/srv/Data2 Read&Write"_qs}},
        {u"/srv/data"_qs, QString(), {}},
        // "_" is a wildcard of the prefix.
        {u"/srv/a_"_qs, QString(), {u"/srv/a_b Read"_qs, u"/srv/axb Modify"_qs}},
        {u"/srv/Data/, /srv/Other"_qs, QString(), {u"/srv/Data/sub Full"_qs, u"/srv/Other List"_qs}},
        {u"/srv/Data, /srv/a_"_qs, u"Right LIKE '%Read%'"_qs,
         {u"/srv/Data Read&Execute"_qs, u"/srv/Data2 Read&Write"_qs, u"/srv/a_b Read"_qs}},
        {u"/srv/Data"_qs, u"Right LIKE '%Read%' OR Right LIKE '%Full%'"_qs,
         {u"/srv/Data Read&Execute"_qs, u"/srv/Data/sub Full"_qs, u"/srv/Data2 Read&Write"_qs}},
        {QString(), u"Right LIKE '%Modify%'"_qs, {u"/srv/axb Modify"_qs}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.directories + u" | "_qs + c.filter).toStdString());
        progress = ProgressRecorder();
        EXPECT_EQ(groupRights(u"Staff"_qs, c.directories, c.filter), c.expected);
        EXPECT_EQ(progress.captions, (QStringList{kGathering, u"Filling the list with directories..."_qs}));
        EXPECT_EQ(progress.Value(), c.expected.size());
        if (!c.expected.isEmpty()) {
            EXPECT_EQ(progress.Max(), c.expected.size());
        }
    }
}

TEST_F(clsAnalysisTest, AnEmptyResultLeavesMaxAndEmptiesTheCallersLists)
{
    progress.setMax(77);
    progress.setValue(5);
    QStringList paths{u"stale"_qs}, rights{u"stale"_qs};
    EXPECT_EQ(analysis.GetDirectoryRights(db.Path(), {}, u"Nobody"_qs, paths, rights, progress, progress, {}), 1);
    EXPECT_TRUE(paths.isEmpty());
    EXPECT_TRUE(rights.isEmpty());
    EXPECT_EQ(progress.Max(), 77);
    EXPECT_EQ(progress.Value(), 0);
}

TEST_F(clsAnalysisTest, NamesAndDirectoriesWithApostrophesCanBeAnalysed)
{
    EXPECT_EQ(groupRights(u"O'Brien Group"_qs, u"/srv/it's"_qs), QStringList{u"/srv/it's Read&Execute"_qs});
    EXPECT_EQ(groupRights(u"O'Brien Group"_qs, u"/srv/none, /srv/it's"_qs), QStringList{u"/srv/it's Read&Execute"_qs});
    EXPECT_EQ(userRights(u"al'ce"_qs, false), QStringList{u"/home/al'ce Full"_qs});
    // A quote in a value stays a value, whatever follows it.
    EXPECT_TRUE(groupRights(u"x' OR '1'='1"_qs, {}).isEmpty());
}

TEST_F(clsAnalysisTest, UserRightsWithAndWithoutRelatedGroups)
{
    EXPECT_EQ(userRights(u"al'ce"_qs, true),
              (QStringList{u"/home/al'ce Full"_qs, u"/srv/Data Read"_qs, u"/srv/Sales Modify"_qs}));
    EXPECT_EQ(userRights(u"al'ce"_qs, true, u"/srv/"_qs), (QStringList{u"/srv/Data Read"_qs, u"/srv/Sales Modify"_qs}));
    EXPECT_EQ(userRights(u"al'ce"_qs, false, u"/srv/"_qs), QStringList());
    // Without rows in UserGroup the user stands alone.
    db.Exec(u"insert into Permissions values('/srv/bob','carol','Full')"_qs);
    EXPECT_EQ(userRights(u"carol"_qs, true), QStringList{u"/srv/bob Full"_qs});
}

TEST_F(clsAnalysisTest, NullValuesAreSkippedOneValueAtATime)
{
    db.Exec(u"insert into Permissions values('/srv/Data/null',NULL,'Full');"
            "insert into Permissions values('/srv/Data/nullright','Staff',NULL);"
            "insert into Permissions values(NULL,'Staff','Full');"
            "insert into UsedGroups values('Staff'); insert into UsedGroups values(NULL);"
            "insert into UsedGroups values('Sales|Team');"
            "insert into Users values(NULL,'HOST\\x',NULL,'True',NULL);"
            "insert into InstalledSoftware values('pc1',NULL,'1.0',NULL,'');"
            "insert into InstalledSoftware values(NULL,'tool','2',NULL,'');"
            "insert into UserGroup values('bob',NULL)"_qs);
    // The lists stay parallel: a row with a Null path or right is left out whole.
    EXPECT_EQ(groupRights(u"Staff"_qs, u"/srv/Data/"_qs), QStringList{u"/srv/Data/sub Full"_qs});
    EXPECT_EQ(userRights(u"bob"_qs, true, u"/srv/Data"_qs), QStringList{u"/srv/Data Read"_qs});

    QStringList groups{u"stale"_qs};
    EXPECT_EQ(analysis.GetUsedGroups(db.Path(), groups, progress, progress), 1);
    EXPECT_EQ(groups, (QStringList{u"Staff"_qs, u"Sales'Team"_qs}));
    EXPECT_EQ(progress.Max(), 3); // every row counts, the skipped one too
    EXPECT_EQ(progress.Value(), 3);

    QList<clsUser> users;
    EXPECT_EQ(analysis.GetUsers(db.Path(), users, progress, progress), 1);
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0].Username(), QString());
    EXPECT_EQ(users[0].UserPath(), u"HOST\\x"_qs);
    EXPECT_FALSE(users[0].AccountDisabled());
    EXPECT_TRUE(users[0].PasswordNeverExpires());
    EXPECT_EQ(users[0].LastLogin(), support::ZeroDate());

    QList<clsProgram> programs;
    EXPECT_EQ(analysis.GetInstalledSoftware(db.Path(), programs, progress, progress), 1);
    ASSERT_EQ(programs.size(), 2);
    EXPECT_EQ(programs[0].Program(), QString());
    EXPECT_EQ(programs[0].version(), u"1.0"_qs);
    EXPECT_EQ(programs[1].Computer(), QString());

    QStringList computers;
    EXPECT_EQ(analysis.GetComputers(db.Path(), computers), 1);
    EXPECT_EQ(computers, QStringList{u"pc1"_qs});
}

TEST_F(clsAnalysisTest, UsersAreReadWithExactFlagsAndTheirLastLogin)
{
    const QDateTime login(QDate(2005, 3, 7), QTime(14, 5, 9));
    db.Exec(u"insert into Users values('al|ce','HOST\\al|ce','True','true','"_qs + support::DateText(login) +
            u"');insert into Users values('bob','HOST\\bob','False','True','01/01/1000');"
            "insert into Users values('eve','HOST\\eve','TRUE','False','not a date')"_qs);
    QList<clsUser> users{clsUser()};
    EXPECT_EQ(analysis.GetUsers(db.Path(), users, progress, progress), 1);
    ASSERT_EQ(users.size(), 3);
    EXPECT_EQ(users[0].Username(), u"al'ce"_qs);
    EXPECT_EQ(users[0].UserPath(), u"HOST\\al'ce"_qs);
    EXPECT_TRUE(users[0].AccountDisabled());
    EXPECT_FALSE(users[0].PasswordNeverExpires()) << "\"true\" in lower case is not true";
    EXPECT_EQ(users[0].LastLogin(), login);
    EXPECT_EQ(users[1].LastLogin(), QDateTime(QDate(1000, 1, 1), QTime(0, 0)));
    EXPECT_FALSE(users[2].AccountDisabled());
    // A text that is no date counts like a Null value: the record keeps the zero date.
    EXPECT_EQ(users[2].LastLogin(), support::ZeroDate());
    EXPECT_EQ(progress.captions, (QStringList{kGathering, u"Filling the list with users..."_qs}));
}

TEST_F(clsAnalysisTest, InstalledSoftwareComputersAndPrograms)
{
    QStringList computers{u"stale"_qs};
    EXPECT_EQ(analysis.GetComputers(db.Path(), computers), 1);
    EXPECT_TRUE(computers.isEmpty());

    db.Exec(u"insert into InstalledSoftware values('pc|1','bash','5.2','Debian','');"
            "insert into InstalledSoftware values('pc|1','Toms Tool','1','Tom','/opt/it|s');"
            "insert into InstalledSoftware values('pc2','bash','5.1','Debian','')"_qs);
    EXPECT_EQ(analysis.GetComputers(db.Path(), computers), 1);
    EXPECT_EQ(computers, (QStringList{u"pc'1"_qs, u"pc2"_qs}));
    QStringList names;
    EXPECT_EQ(analysis.GetPrograms(db.Path(), names), 1);
    EXPECT_EQ(names, (QStringList{u"bash"_qs, u"Toms Tool"_qs}));

    QList<clsProgram> programs;
    EXPECT_EQ(analysis.GetInstalledSoftware(db.Path(), programs, progress, progress), 1);
    ASSERT_EQ(programs.size(), 3);
    EXPECT_EQ(programs[1].Computer(), u"pc'1"_qs);
    EXPECT_EQ(programs[1].Program(), u"Toms Tool"_qs);
    EXPECT_EQ(programs[1].version(), u"1"_qs);
    EXPECT_EQ(programs[1].Publisher(), u"Tom"_qs);
    EXPECT_EQ(programs[1].InstallSource(), u"/opt/it's"_qs);
    EXPECT_EQ(programs[1].InstallDate(), support::ZeroDate());
    EXPECT_EQ(progress.captions.last(), u"Filling the list with programs..."_qs);
}

TEST_F(clsAnalysisTest, LastScanDateIsInsertedThenUpdated)
{
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), QString());
    analysis.SetLastScanDate(db.Path(), u"07.03.2005 14:05:09"_qs);
    EXPECT_EQ(db.Rows(u"select * from settings"_qs), QStringList{u"07.03.2005 14:05:09"_qs});
    analysis.SetLastScanDate(db.Path(), u"08.03.2005"_qs);
    EXPECT_EQ(db.Rows(u"select * from settings"_qs), QStringList{u"08.03.2005"_qs});
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), u"08.03.2005"_qs);
    // Every row is updated.
    db.Exec(u"insert into settings values('other')"_qs);
    analysis.SetLastScanDate(db.Path(), u"09.03.2005"_qs);
    EXPECT_EQ(db.Rows(u"select * from settings"_qs), (QStringList{u"09.03.2005"_qs, u"09.03.2005"_qs}));

    db.Exec(u"delete from settings; insert into settings values(NULL)"_qs);
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), QString());
    const QString missing = db.File(u"missing.mdb"_qs);
    EXPECT_EQ(analysis.GetLastScanDate(missing), QString());
    analysis.SetLastScanDate(missing, u"x"_qs);
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(clsAnalysisTest, FailuresShowTheirMessageAndReturnZero)
{
    const QString missing = db.File(u"missing.mdb"_qs);
    QStringList paths, rights, groups;
    QList<clsUser> users;
    QList<clsProgram> programs;

    EXPECT_EQ(analysis.GetUsers(missing, users, progress, progress), 0);
    EXPECT_EQ(progress.Caption(), u"Database file not found!"_qs);
    EXPECT_EQ(analysis.GetInstalledSoftware(missing, programs, progress, progress), 0);
    EXPECT_EQ(progress.Caption(), u"Database file not found!"_qs);
    EXPECT_EQ(analysis.GetDirectoryRights(missing, {}, u"Staff"_qs, paths, rights, progress, progress, {}), 0);
    EXPECT_EQ(progress.Caption(), u"Database file not found!"_qs);
    EXPECT_EQ(analysis.GetComputers(missing, groups), 0);

    {
        QFile notes(db.File(u"notes.mdb"_qs));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write(QByteArray("no database here\n").repeated(100));
    }
    EXPECT_EQ(analysis.GetUsedGroups(db.File(u"notes.mdb"_qs), groups, progress, progress), 0);
    EXPECT_EQ(progress.Caption(), u"Unrecognized database format!"_qs);

    // A statement the database rejects (a broken right filter).
    EXPECT_EQ(analysis.GetUserRights(db.Path(), u"Right LIKE"_qs, u"bob"_qs, paths, rights, progress, progress,
                                     {}, true),
              0);
    EXPECT_EQ(progress.Caption(), u"Invalid SQL statement found, could not load the data from the database."_qs);

    // A missing table, for the related groups as well, names the operation's table.
    db.Exec(u"drop table UsedGroups; drop table UserGroup"_qs);
    EXPECT_EQ(analysis.GetUsedGroups(db.Path(), groups, progress, progress), 0);
    EXPECT_EQ(progress.Caption(), u"Table 'UsedGroups' not found in database!"_qs);
    EXPECT_EQ(analysis.GetUserRights(db.Path(), {}, u"bob"_qs, paths, rights, progress, progress, {}, true), 0);
    EXPECT_EQ(progress.Caption(), u"Table 'Permissions' not found in database!"_qs);

    // A table with too few columns for the record: the rows read before the failure stay.
    db.Exec(u"drop table InstalledSoftware; create table InstalledSoftware (computer TEXT, name TEXT);"
            "insert into InstalledSoftware values('pc1','bash')"_qs);
    programs = {clsProgram(), clsProgram()};
    EXPECT_EQ(analysis.GetInstalledSoftware(db.Path(), programs, progress, progress), 0);
    EXPECT_EQ(progress.Caption(), u"Unknown error while loading the data."_qs);
    EXPECT_TRUE(programs.isEmpty());
    EXPECT_EQ(analysis.GetPrograms(db.Path(), groups), 0);
    EXPECT_TRUE(groups.isEmpty());
}
