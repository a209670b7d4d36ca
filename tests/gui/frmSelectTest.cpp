#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "gui/frmSelect.h"
#include "platform/listview/widgets/ListBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList Rows(const platform::listview::ListBox *list)
{
    QStringList rows;
    for (int i = 0; i < list->ListCount(); ++i)
        rows << list->List(i);
    return rows;
}

} // namespace

TEST(frmSelect, SearchNarrowsWithoutRegardToCaseAndEnterTakesTheFirstMatch)
{
    QStringList computers{"All computers", "Lab-PC", "", "ABC", "xyz"};
    frmSelect dialog;
    dialog.SetCollection(&computers, "Select a computer", true);
    dialog.show();
    EXPECT_EQ(dialog.lblTitle->text(), "Select a computer");
    EXPECT_EQ(Rows(dialog.lstSelectOne), (QStringList{"All computers", "Lab-PC", "ABC", "xyz"}));

    QTest::keyClicks(dialog.txtSearch, "zz");
    EXPECT_TRUE(Rows(dialog.lstItems).isEmpty());
    QTest::keyClick(dialog.txtSearch, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter without a match does nothing";
    EXPECT_FALSE(dialog.selected());

    dialog.txtSearch->setText("ab");
    EXPECT_EQ(Rows(dialog.lstItems), (QStringList{"Lab-PC", "ABC"}));
    EXPECT_EQ(Rows(dialog.lstSelectOne), Rows(dialog.lstItems));
    QTest::keyClick(dialog.txtSearch, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.selected());
    EXPECT_EQ(dialog.FirstSelected(), "Lab-PC");
    EXPECT_EQ(dialog.lstItems->ListIndex(), 0);
    EXPECT_EQ(computers.size(), 5) << "search mode leaves the caller's list as it is";
}

TEST(frmSelect, OkWithoutAChoiceAndTheCloseBox)
{
    QStringList groups{"All", "staff"}; // a group that happens to be named "All"
    {
        frmSelect dialog;
        dialog.SetCollection(&groups, "Select a network group", true);
        dialog.show();
        dialog.cmdOK->click();
        EXPECT_TRUE(dialog.selected());
        EXPECT_FALSE(dialog.FirstSelected());
        EXPECT_EQ(dialog.lstItems->ListIndex(), -1);
    }
    {
        frmSelect dialog;
        dialog.SetCollection(&groups, "Select a network group", true);
        dialog.show();
        dialog.txtSearch->setText("all");
        QTest::keyClick(dialog.txtSearch, Qt::Key_Return);
        EXPECT_EQ(dialog.FirstSelected(), "All") << "search mode is the caller's choice, not the first row's text";
    }
    {
        frmSelect dialog;
        dialog.SetCollection(&groups, "Select a network group", true);
        dialog.show();
        dialog.lstSelectOne->setSelected(1, true);
        dialog.close();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.selected()) << "the close box counts as Cancel";
    }
    {
        frmSelect dialog;
        dialog.SetCollection(&groups, "Select a network group", true);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const QRect row = dialog.lstSelectOne->visualRect(dialog.lstSelectOne->model()->index(1, 0));
        QTest::mouseClick(dialog.lstSelectOne->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(dialog.lstSelectOne->viewport(), Qt::LeftButton, {}, row.center());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(dialog.selected()) << "a double-click on a row is OK";
        EXPECT_EQ(dialog.FirstSelected(), "staff");
        EXPECT_EQ(dialog.lstItems->ListIndex(), 1);
    }
}

TEST(frmSelect, ListModePutsAllIntoTheCallersListAndKeepsItsMinimumSize)
{
    QStringList directories{"/srv", "/home"};
    frmSelect dialog;
    dialog.SetCollection(&directories, "Select the directorie(s)");
    EXPECT_EQ(directories, (QStringList{"All", "/srv", "/home"}));
    EXPECT_EQ(Rows(dialog.lstItems), directories);
    EXPECT_TRUE(dialog.lstItems->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.txtSearch->isVisibleTo(&dialog));
    dialog.show();
    dialog.lstItems->setSelected(0, true);
    dialog.lstItems->setSelected(2, true);
    dialog.cmdOK->click();
    EXPECT_TRUE(dialog.lstItems->Selected(0) && dialog.lstItems->Selected(2));

    QStringList none;
    frmSelect empty;
    empty.SetCollection(&none, "Select the directorie(s)");
    EXPECT_EQ(Rows(empty.lstItems), QStringList{"All"});
    empty.show();
    empty.resize(10, 10);
    EXPECT_EQ(empty.size(), QSize(119, 69)) << "1900 by 1500 twips with the title bar and borders";
    // The buttons stay inside, Cancel at the right.
    EXPECT_LT(empty.cmdOK->x(), empty.cmdCancel->x());
}

TEST(frmSelect, ComputersAndProgramsComeFromTheResultsDatabase)
{
    testing_support::TempProgramFolder folder;
    testing_support::ResultsDatabase database;
    folder.Write("Quillmere.ini", "[Options]\nDatabasePath=" + database.Path().toUtf8() + "\n");
    database.Exec("insert into InstalledSoftware values ('pc1', 'Editor', '1', 'Acme', '');"
                  "insert into InstalledSoftware values ('pc2', 'Editor', '2', 'Acme', '');");
    frmSelect computers;
    computers.LoadComputers();
    EXPECT_EQ(computers.lblTitle->text(), "Select a computer");
    EXPECT_EQ(Rows(computers.lstSelectOne), (QStringList{"All computers", "pc1", "pc2"}));
    EXPECT_TRUE(computers.txtSearch->isVisibleTo(&computers));
    frmSelect programs;
    programs.LoadPrograms();
    EXPECT_EQ(Rows(programs.lstSelectOne), (QStringList{"All programs", "Editor"}));

    folder.Write("Quillmere.ini", "[Options]\nDatabasePath=" + database.File("missing.mdb").toUtf8() + "\n");
    frmSelect failed;
    failed.LoadComputers();
    EXPECT_EQ(Rows(failed.lstSelectOne), QStringList{"All computers"});
}
