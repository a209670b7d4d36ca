#include "analysis/clsAnalysis.h"

#include "scan/modScanDirs.h"
#include "scan/modSearchDirs.h"
#include "support/DateText.h"

#include "common/DirectoryTree.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using testing_support::ProgressRecorder;

namespace {

const QString kGathering = u"Gathering information from the database..."_qs;

// Users and programs as lines of their properties joined by "|", flags as 0 or 1.
QStringList describe(const QList<clsUser> &users)
{
    QStringList lines;
    for (const clsUser &u : users)
        lines << QStringList{u.Username(), u.UserPath(), QString::number(u.AccountDisabled()),
                             QString::number(u.PasswordNeverExpires()), u.LastLogin().toDateTime().toString(Qt::ISODate)}
                     .join(u'|');
    return lines;
}

QStringList describe(const QList<clsProgram> &programs)
{
    QStringList lines;
    for (const clsProgram &p : programs)
        lines << QStringList{p.Computer(), p.Program(), p.version(), p.Publisher(), p.InstallSource()}.join(u'|');
    return lines;
}

// A results database with rights of several members on directories that share prefixes.
class clsAnalysisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.Exec(u"insert into Permissions values ('/srv/Data2','Staff','Read&Write'),"
                "('/srv/Data','Staff','Read&Execute'), ('/srv/Data/sub','Staff','Full'), ('/srv/Other','Staff','List'),"
                "('/srv/a_b','Staff','Read'), ('/srv/axb','Staff','Modify'), ('/srv/Data','Admins','Full'),"
                "('/srv/it|s','O|Brien Group','Read&Execute'), ('/home/al|ce','al|ce','Full'),"
                "('/srv/Data','Users','Read'), ('/srv/Sales','Sales|Team','Modify');"
                "insert into UserGroup values ('al|ce','Users'), ('al|ce','Sales|Team'), ('bob','Users');"_qs);
    }

    // The rights a query returns, as "path right" lines.
    template <typename Read> QStringList rights(Read read)
    {
        QStringList paths, rights;
        EXPECT_EQ(read(paths, rights), 1) << progress.Caption().toStdString();
        EXPECT_EQ(paths.size(), rights.size());
        for (qsizetype i = 0; i < paths.size() && i < rights.size(); ++i)
            paths[i] += u' ' + rights[i];
        return paths;
    }
    QStringList groupRights(const QString &group, const QString &directories, const QString &filter = {})
    {
        return rights([&](QStringList &p, QStringList &r) {
            return analysis.GetDirectoryRights(db.Path(), filter, group, p, r, progress, progress, directories);
        });
    }
    QStringList userRights(const QString &user, bool related, const QString &directories = {})
    {
        return rights([&](QStringList &p, QStringList &r) {
            return analysis.GetUserRights(db.Path(), {}, user, p, r, progress, progress, directories, related);
        });
    }

    // The status text of an operation that must fail.
    QString failure(int32_t result) const
    {
        EXPECT_EQ(result, 0);
        return progress.Caption();
    }

    testing_support::ResultsDatabase db;
    clsAnalysis analysis;
    ProgressRecorder progress;
};

} // namespace

TEST_F(clsAnalysisTest, DirectoryFilterFormsSelectADirectoryAndTheDirectoriesBelowIt)
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
        // A directory, not the paths that merely begin with its name; letter case counts.
        {u"/srv/Data"_qs, QString(), {staff[0], staff[1]}},
        {u"/srv/data"_qs, QString(), {}},
        {u"/srv/Data/, /srv/Other"_qs, QString(), {staff[0], staff[1], u"/srv/Other List"_qs}},
        {u"/srv/Data, /srv/a_b"_qs, u"Right LIKE '%Read%'"_qs, {u"/srv/Data Read&Execute"_qs, u"/srv/a_b Read"_qs}},
        // Rights compare without regard to letter case, paths with it.
        {u"/srv/Data"_qs, u"Right LIKE '%read%' OR Right LIKE '%FULL%'"_qs, {staff[0], staff[1]}},
        {u"/srv/data, /srv/Data/sub"_qs, u"Right LIKE '%full%'"_qs, {u"/srv/Data/sub Full"_qs}},
        {QString(), u"Right LIKE '%Modify%'"_qs, {u"/srv/axb Modify"_qs}},
        // No character of a directory is a wildcard.
        {u"/srv/*"_qs, QString(), {}},
        {u"/srv/[D]ata"_qs, QString(), {}},
        {u"/srv/?ata"_qs, QString(), {}},
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

    // The rows of a real scan, through both views, for directories whose names other names begin
    // with or that hold characters of patterns.
    testing_support::DirectoryTree tree;
    tree.MakeDirs({u"data/in"_qs, u"data-old/in"_qs, u"Data"_qs, u"x_y"_qs, u"xzy"_qs, u"p%/in"_qs, u"pq"_qs});
    QStringList dirs;
    modSearchDirs::SearchDirs(tree.Root(), modSearchDirs::UnlimitedDepth, dirs);
    ASSERT_EQ(modScanDirs::ScanDirs(dirs, progress, progress, db.Path(), u"Permissions"_qs), 1);
    db.Exec(u"insert into UserGroup values ('carol','Everyone')"_qs);
    const auto rows = [&](const QStringList &relatives) {
        QStringList lines;
        for (const QString &relative : relatives)
            lines << tree.Path(relative) + u" Read&Execute"_qs;
        return lines;
    };
    const QStringList all = rows({u"Data"_qs, u"data"_qs, u"data-old"_qs, u"data-old/in"_qs, u"data/in"_qs, u"p%"_qs,
                                  u"p%/in"_qs, u"pq"_qs, u"x_y"_qs, u"xzy"_qs});
    const std::pair<QString, QStringList> scanned[] = {
        {tree.Path(u"data"_qs), rows({u"data"_qs, u"data/in"_qs})},
        {tree.Path(u"x_y"_qs), rows({u"x_y"_qs})},
        {tree.Path(u"p%"_qs) + u", "_qs + tree.Path(u"xzy/"_qs), rows({u"p%"_qs, u"p%/in"_qs, u"xzy"_qs})},
        {tree.Path(u"Data"_qs) + u", "_qs + tree.Path(u"data-old"_qs),
         rows({u"Data"_qs, u"data-old"_qs, u"data-old/in"_qs})},
        {tree.Root() + u'/', all},
        {u"/"_qs, all},
    };
    for (const auto &[directories, expected] : scanned) {
        SCOPED_TRACE(directories.toStdString());
        EXPECT_EQ(groupRights(u"Everyone"_qs, directories), expected);
        EXPECT_EQ(userRights(u"carol"_qs, true, directories), expected);
    }
}

TEST_F(clsAnalysisTest, AnEmptyResultLeavesMaxAndEmptiesTheCallersLists)
{
    progress.setMax(77);
    progress.setValue(5);
    QStringList paths{u"stale"_qs}, rights{u"stale"_qs};
    EXPECT_EQ(analysis.GetDirectoryRights(db.Path(), {}, u"Nobody"_qs, paths, rights, progress, progress, {}), 1);
    EXPECT_TRUE(paths.isEmpty() && rights.isEmpty());
    EXPECT_EQ(progress.Max(), 77);
    EXPECT_EQ(progress.Value(), 0);
}

TEST_F(clsAnalysisTest, RightsOfNamesWithApostrophesAndOfUsersWithAndWithoutTheirGroups)
{
    EXPECT_EQ(groupRights(u"O'Brien Group"_qs, u"/srv/none, /srv/it's"_qs), QStringList{u"/srv/it's Read&Execute"_qs});
    // A quote in a value stays a value, whatever follows it.
    EXPECT_TRUE(groupRights(u"x' OR '1'='1"_qs, {}).isEmpty());
    EXPECT_EQ(userRights(u"al'ce"_qs, false), QStringList{u"/home/al'ce Full"_qs});
    EXPECT_EQ(userRights(u"al'ce"_qs, true),
              (QStringList{u"/home/al'ce Full"_qs, u"/srv/Data Read"_qs, u"/srv/Sales Modify"_qs}));
    EXPECT_EQ(userRights(u"al'ce"_qs, true, u"/srv/"_qs), (QStringList{u"/srv/Data Read"_qs, u"/srv/Sales Modify"_qs}));
    EXPECT_EQ(userRights(u"al'ce"_qs, false, u"/srv/"_qs), QStringList());
    // Without rows in UserGroup the user stands alone.
    db.Exec(u"insert into Permissions values('/srv/bob','carol','Full')"_qs);
    EXPECT_EQ(userRights(u"carol"_qs, true), QStringList{u"/srv/bob Full"_qs});
}

TEST_F(clsAnalysisTest, NullRightsAndGroupsAreSkippedOneValueAtATime)
{
    db.Exec(u"insert into Permissions values ('/srv/Data/null',NULL,'Full'), ('/srv/Data/nullright','Staff',NULL),"
            "(NULL,'Staff','Full'); insert into UsedGroups values ('Staff'), (NULL), ('Sales|Team');"
            "insert into UserGroup values('bob',NULL)"_qs);
    // The lists stay parallel: a row with a Null path or right is left out whole.
    EXPECT_EQ(groupRights(u"Staff"_qs, u"/srv/Data/"_qs),
              (QStringList{u"/srv/Data Read&Execute"_qs, u"/srv/Data/sub Full"_qs}));
    EXPECT_EQ(userRights(u"bob"_qs, true, u"/srv/Data"_qs), QStringList{u"/srv/Data Read"_qs});
    QStringList groups{u"stale"_qs};
    EXPECT_EQ(analysis.GetUsedGroups(db.Path(), groups, progress, progress), 1);
    EXPECT_EQ(groups, (QStringList{u"Staff"_qs, u"Sales'Team"_qs}));
    EXPECT_EQ(progress.Max(), 3); // every row counts, the skipped one too
    EXPECT_EQ(progress.Value(), 3);
}

TEST_F(clsAnalysisTest, UsersProgramsAndComputersWithExactFlagsAndNullValuesSkipped)
{
    QStringList computers{u"stale"_qs}, names;
    EXPECT_EQ(analysis.GetComputers(db.Path(), computers), 1);
    EXPECT_TRUE(computers.isEmpty());

    db.Exec(u"insert into Users values ('al|ce','HOST\\al|ce','True','true','"_qs +
            support::DateText(QDateTime(QDate(2005, 3, 7), QTime(14, 5, 9))) +
            u"'), ('bob','HOST\\bob','False','True','01/01/1000'), ('eve','HOST\\eve','TRUE','False',NULL),"
            "(NULL,'HOST\\x',NULL,'True',NULL);"
            "insert into InstalledSoftware values ('pc|1','bash','5.2','Debian',''),"
            "('pc|1','Toms Tool','1','Tom','/opt/it|s'), ('pc2','bash','5.1','Debian',''),"
            "('pc3',NULL,'1.0',NULL,''), (NULL,'tool','2',NULL,'')"_qs);
    // Only "True" exactly is true; a Null date leaves the zero date.
    QList<clsUser> users{clsUser()};
    EXPECT_EQ(analysis.GetUsers(db.Path(), users, progress, progress), 1);
    EXPECT_EQ(describe(users), (QStringList{u"al'ce|HOST\\al'ce|1|0|2005-03-07T14:05:09"_qs,
                                            u"bob|HOST\\bob|0|1|1000-01-01T00:00:00"_qs,
                                            u"eve|HOST\\eve|0|0|1899-12-30T00:00:00"_qs,
                                            u"|HOST\\x|0|1|1899-12-30T00:00:00"_qs}));
    EXPECT_EQ(progress.captions, (QStringList{kGathering, u"Filling the list with users..."_qs}));
    // A text that is no date ends the read, keeping the users before it.
    db.Exec(u"insert into Users values ('zed','HOST\\zed','False','False','not a date')"_qs);
    EXPECT_EQ(analysis.GetUsers(db.Path(), users, progress, progress), 0);
    EXPECT_EQ(users.size(), 4);
    EXPECT_EQ(progress.Caption(), u"Unknown error while loading the data."_qs);

    EXPECT_EQ(analysis.GetComputers(db.Path(), computers), 1);
    EXPECT_EQ(computers, (QStringList{u"pc'1"_qs, u"pc2"_qs, u"pc3"_qs}));
    EXPECT_EQ(analysis.GetPrograms(db.Path(), names), 1);
    EXPECT_EQ(names, (QStringList{u"bash"_qs, u"Toms Tool"_qs, u"tool"_qs}));
    QList<clsProgram> programs;
    EXPECT_EQ(analysis.GetInstalledSoftware(db.Path(), programs, progress, progress), 1);
    EXPECT_EQ(describe(programs), (QStringList{u"pc'1|bash|5.2|Debian|"_qs, u"pc'1|Toms Tool|1|Tom|/opt/it's"_qs,
                                               u"pc2|bash|5.1|Debian|"_qs, u"pc3||1.0||"_qs, u"|tool|2||"_qs}));
    EXPECT_EQ(progress.captions.last(), u"Filling the list with programs..."_qs);
}

TEST_F(clsAnalysisTest, LastScanDateIsInsertedThenUpdated)
{
    const auto stored = [&] { return db.Rows(u"select * from settings"_qs); };
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), QString());
    analysis.SetLastScanDate(db.Path(), u"07.03.2005 14:05:09"_qs);
    EXPECT_EQ(stored(), QStringList{u"07.03.2005 14:05:09"_qs});
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), u"07.03.2005 14:05:09"_qs);
    // Once there is a row, every row is updated.
    db.Exec(u"insert into settings values('other')"_qs);
    analysis.SetLastScanDate(db.Path(), u"09.03.2005"_qs);
    EXPECT_EQ(stored(), (QStringList{u"09.03.2005"_qs, u"09.03.2005"_qs}));

    db.Exec(u"delete from settings; insert into settings values(NULL)"_qs);
    EXPECT_EQ(analysis.GetLastScanDate(db.Path()), QString());
    const QString missing = db.File(u"missing.mdb"_qs);
    EXPECT_EQ(analysis.GetLastScanDate(missing), QString());
    analysis.SetLastScanDate(missing, u"x"_qs);
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(clsAnalysisTest, FailuresShowTheirMessageAndReturnZero)
{
    const QString missing = db.File(u"missing.mdb"_qs), notFound = u"Database file not found!"_qs;
    QStringList paths, rights, groups;
    QList<clsUser> users;
    QList<clsProgram> programs;
    EXPECT_EQ(failure(analysis.GetUsers(missing, users, progress, progress)), notFound);
    EXPECT_EQ(failure(analysis.GetInstalledSoftware(missing, programs, progress, progress)), notFound);
    EXPECT_EQ(failure(analysis.GetDirectoryRights(missing, {}, u"Staff"_qs, paths, rights, progress, progress, {})),
              notFound);
    EXPECT_EQ(analysis.GetComputers(missing, groups), 0);
    const QString notes = db.WriteFile(u"notes.mdb"_qs, QByteArray("no database here\n").repeated(100));
    EXPECT_EQ(failure(analysis.GetUsedGroups(notes, groups, progress, progress)), u"Unrecognized database format!"_qs);
    // A statement the database rejects (a broken right filter).
    EXPECT_EQ(failure(analysis.GetUserRights(db.Path(), u"Right LIKE"_qs, u"bob"_qs, paths, rights, progress, progress,
                                             {}, true)),
              u"Invalid SQL statement found, could not load the data from the database."_qs);

    // A missing table, for the related groups as well, names the operation's table.
    db.Exec(u"drop table UsedGroups; drop table UserGroup"_qs);
    EXPECT_EQ(failure(analysis.GetUsedGroups(db.Path(), groups, progress, progress)),
              u"Table 'UsedGroups' not found in database!"_qs);
    EXPECT_EQ(failure(analysis.GetUserRights(db.Path(), {}, u"bob"_qs, paths, rights, progress, progress, {}, true)),
              u"Table 'Permissions' not found in database!"_qs);

    // A table with too few columns for the record: the caller's old list is gone all the same.
    db.Exec(u"drop table InstalledSoftware; create table InstalledSoftware (computer TEXT, name TEXT);"
            "insert into InstalledSoftware values('pc1','bash')"_qs);
    programs = {clsProgram(), clsProgram()};
    EXPECT_EQ(failure(analysis.GetInstalledSoftware(db.Path(), programs, progress, progress)),
              u"Unknown error while loading the data."_qs);
    EXPECT_TRUE(programs.isEmpty());
    EXPECT_EQ(analysis.GetPrograms(db.Path(), groups), 0);
    EXPECT_TRUE(groups.isEmpty());
}
