#include "scan/modQueries.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::ProgressRecorder;
using testing_support::ResultsDatabase;

namespace {

class ExecuteQueriesTest : public ::testing::Test {
protected:
    void Run(const QString &path = {})
    {
        modQueries::ExecuteQueries(progress, progress, path.isEmpty() ? database.Path() : path, "UsedGroups", "UnusedGroups");
    }

    void Permission(const QString &path, const QString &member)
    {
        database.Exec("insert into Permissions values('" + path + "','" + member + "','Full')");
    }

    std::string UsedGroups() const
    {
        return database.Rows("select GroupName from UsedGroups order by GroupName").join(u'|').toStdString();
    }

    ResultsDatabase database;
    ProgressRecorder progress;
};

TEST_F(ExecuteQueriesTest, NamesWithRightsOutsideHomeFoldersThatAreNoAccounts)
{
    database.Exec("insert into Users values('alice','HOST\\alice','False','False','01/01/1000')");
    database.Exec("insert into Users values('bob','HOST\\bob','False','False','01/01/1000')");
    database.Exec("insert into UsedGroups values('left from the last scan')");
    Permission("/srv/data", "alice");                            // a user account
    Permission("/srv/data", "staff");
    Permission("/srv/data/sub", "staff");                        // once, however often it holds rights
    Permission("/srv/data", "Everyone");
    Permission("/srv/Domain Users/home/bob", "homeonly");        // only on home folders
    Permission("/srv/domain users/HOME/carol", "homecase");      // another folder: paths keep their case
    Permission("/srv/Domain Users/profiles/bob", "profileonly"); // only on profile folders
    Permission("/srv/Domain Users/home/bob", "adm");             // and elsewhere too:
    Permission("/srv/data", "adm");
    Permission("/srv/data", "DOM\\dev");                         // the member without its domain
    Permission("/srv/data", "o|brien");                          // kept in stored form
    Permission("/srv/data", "");                                 // empty: skipped
    Permission("/srv/data", "DOM\\");                            // empty once cut: skipped
    database.Exec("insert into Permissions values('/srv/data',NULL,'Full')");

    Run();
    EXPECT_EQ(UsedGroups(), "Everyone|adm|dev|homecase|o|brien|staff");
    EXPECT_EQ(progress.captions, (QStringList{"Executing queries ( 0% )", "Executing queries ( 25% )",
                                              "Executing queries ( 50% )", "Executing queries ( 75% )",
                                              "Scan finished successfully."}));
    EXPECT_EQ(progress.maxes, std::vector<double>{4});
    EXPECT_EQ(progress.values, (std::vector<double>{0, 1, 2, 3, 4}));
}

TEST_F(ExecuteQueriesTest, WithoutPermissionsNothingAndWithoutUsersEveryMemberCounts)
{
    database.Exec("insert into UsedGroups values('old')");
    Run();
    EXPECT_EQ(UsedGroups(), "");
    EXPECT_EQ(progress.Caption(), "Scan finished successfully.");
    Permission("/srv/data", "alice");
    Permission("/srv/data", "staff");
    Run();
    EXPECT_EQ(UsedGroups(), "alice|staff");
}

TEST_F(ExecuteQueriesTest, FailuresGiveTheTwoTableMessagesAndLeaveTheBar)
{
    for (const QString drop : {"UsedGroups", "Permissions", "Users"}) {
        ResultsDatabase fresh;
        fresh.Exec("drop table " + drop);
        ProgressRecorder recorder;
        modQueries::ExecuteQueries(recorder, recorder, fresh.Path(), "UsedGroups", "UnusedGroups");
        EXPECT_EQ(recorder.Caption(), "Table 'UnusedGroups' or 'UsedGroups' not found in database!") << drop.toStdString();
        EXPECT_EQ(recorder.Value(), 2) << drop.toStdString();
        EXPECT_EQ(recorder.Max(), 4) << drop.toStdString();
    }
    Run(database.File("missing.mdb"));
    EXPECT_EQ(progress.Caption(), "Database file not found!");
    EXPECT_EQ(progress.values, std::vector<double>{}) << "the bar is left before the file is open";
}

} // namespace
