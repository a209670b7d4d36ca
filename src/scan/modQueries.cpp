#include "scan/modQueries.h"

#include "platform/database/Connection.h"
#include "platform/database/Recordset.h"
#include "scan/modDatabase.h"
#include "scan/modScanDirs.h"
#include "support/DoEvents.h"
#include "support/Error.h"

namespace modQueries {

namespace {

namespace db = platform::database;

// Home and profile folders are shared below a "Domain Users" folder; the rights on them say
// nothing about the groups, and user accounts are no groups. Paths compare with their letter
// case, as Linux paths do: GLOB, where LIKE would ignore it.
const QString UsedGroupsSelection = QStringLiteral(
    "SELECT DISTINCT [Permissions].[Member] From Permissions WHERE path not glob '*Domain Users/profiles*' "
    "and path not glob '*Domain Users/home*' and member not in (select username from users)");

void ShowStep(support::ProgressBar &Bar, support::StatusLabel &Status, double value, const QString &text)
{
    Bar.setValue(value);
    Status.setCaption(text);
    support::DoEvents();
}

} // namespace

void ExecuteQueries(support::ProgressBar &Bar, support::StatusLabel &Status, const QString &DbPath,
                    const QString &UsedTable, const QString &UnusedTable)
{
    db::Connection connection;
    db::Recordset selection;
    try {
        Status.setCaption(QStringLiteral("Executing queries ( 0% )"));
        support::DoEvents();
        modDatabase::OpenDatabase(connection, DbPath);
        Bar.setValue(0);
        Bar.setMax(4);
        ShowStep(Bar, Status, 1, QStringLiteral("Executing queries ( 25% )"));
        ShowStep(Bar, Status, 2, QStringLiteral("Executing queries ( 50% )"));

        modDatabase::EmptyTable(connection, UsedTable);
        selection.Open(UsedGroupsSelection, connection, db::adOpenKeyset, db::adLockOptimistic);
        modDatabase::LeftOutRows leftOut;
        for (; !selection.Eof(); selection.MoveNext()) {
            support::DoEvents();
            // Stored as read: the members are in stored form already (apostrophes as "|").
            // A Null member (only a hand-edited file has one) is skipped like an empty one.
            const db::Field member = selection.Fields(0);
            const QString name = member.IsNull() ? QString() : modScanDirs::MemberName(member.Text());
            if (!name.isEmpty())
                leftOut.Store([&] { modDatabase::InsertRow(connection, UsedTable, {name}); });
        }
        leftOut.RaiseIfAny();

        ShowStep(Bar, Status, 3, QStringLiteral("Executing queries ( 75% )"));
        ShowStep(Bar, Status, 4, SuccessText);
        selection.Close();
        connection.Close();
    } catch (const support::Error &error) {
        Status.setCaption(
            modDatabase::ErrorMessage(error, UnusedTable, UsedTable, modDatabase::MismatchEnd::NoFullStop));
        if (selection.State() != db::adStateClosed)
            selection.Close();
        modDatabase::CloseAfterError(connection);
    }
}

} // namespace modQueries
