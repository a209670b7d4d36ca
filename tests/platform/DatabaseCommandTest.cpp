#include "platform/database/Connection.h"
#include "platform/database/DatabaseError.h"

#include "common/ResultsDatabase.h"

#include <gtest/gtest.h>

#include <optional>

using namespace platform::database;
using testing_support::ResultsDatabase;

namespace {

class DatabaseCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.setConnectionString("data source=" + database.Path() + ";");
        connection.Open();
    }

    // The number of the error that body raised, or nothing.
    template <typename Body> static std::optional<int32_t> Raised(Body body)
    {
        try {
            body();
        } catch (const support::Error &error) {
            return error.Number();
        }
        return std::nullopt;
    }

    ResultsDatabase database;
    Connection connection;
};

TEST_F(DatabaseCommand, RunsOnePreparedStatementWithTextValuesExactly)
{
    Command insert(connection, "insert into Permissions values(?,?,?)");
    const QString path = QStringLiteral("/srv/Ünïcode/o|neil");
    insert.Execute({path, u"", QStringView()});
    insert.Execute({u"/b", u"x'y", u"Full"});
    connection.Close();
    // Empty texts, with or without data, are "" and never Null.
    EXPECT_EQ(database.Rows("select Path, Member, Right, Member is null, Right is null from Permissions order by rowid"),
              (QStringList{path + "\t\t\t0\t0", "/b\tx'y\tFull\t0\t0"}));
}

TEST_F(DatabaseCommand, FailuresRaiseTheLayersNumbersAndKeepEarlierRows)
{
    EXPECT_EQ(Raised([&] { Command(connection, "insert into Missing values(?)"); }), kTableNotFound);
    EXPECT_EQ(Raised([&] { Command(connection, "insert into Permissions values(?,?)"); }), kDatabaseFailure);

    Command insert(connection, "insert into Permissions values(?,?,?)");
    insert.Execute({u"/kept", u"a", u"Full"});
    EXPECT_EQ(Raised([&] { insert.Execute({u"/long", QString(300, u'm'), u"Full"}); }), kValueTooLong);
    // The failed run undid only itself, and what came before is in the file already.
    EXPECT_EQ(database.Rows("select Path from Permissions"), QStringList{"/kept"});
    insert.Execute({u"/after", u"b", u"Full"});

    connection.Close();
    EXPECT_EQ(Raised([&] { insert.Execute({u"/closed", u"c", u"Full"}); }), kObjectClosed);
    EXPECT_EQ(database.Rows("select Path from Permissions order by rowid"), (QStringList{"/kept", "/after"}));
}

} // namespace
