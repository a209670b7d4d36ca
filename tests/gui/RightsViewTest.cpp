#include "common/DirectoryTree.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "analysis/modRightsTree.h"
#include "gui/frmAnalysis.h"
#include "gui/frmSelect.h"
#include "gui/usrGroupsRight.h"
#include "gui/usrUserRight.h"
#include "platform/listview/widgets/ListBox.h"
#include "scan/modScanDirs.h"
#include "scan/modSearchDirs.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

using testing_support::ResultsDatabase;
using testing_support::ScriptedShell;
using testing_support::TempProgramFolder;

namespace {

// Answers the next pick list of view once it is shown (the view may read the database first).
// The answer is given up with the view.
void AnswerPickList(QWidget *view, std::function<void(frmSelect &)> answer)
{
    auto *poll = new QTimer(view);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (auto *dialog = qobject_cast<frmSelect *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            answer(*dialog);
        }
    });
    poll->start(5);
}

// The leaves of a view's tree as "directory picture", and the right a click on each shows.
QStringList Leaves(RightsView &view)
{
    QStringList leaves;
    KeyedTreeModel &nodes = view.Nodes();
    for (int i = 1; i <= nodes.Count(); ++i) {
        if (nodes.rowCount(nodes.IndexOf(i)) != 0)
            continue;
        view.treeMaps->setCurrentIndex(nodes.IndexOf(i));
        leaves << QStringLiteral("%1 %2 %3").arg(nodes.At(i).text).arg(nodes.At(i).image).arg(view.lblNetworkRight->text());
    }
    return leaves;
}

class RightsViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseDatabase(database.Path());
        database.Exec("insert into UsedGroups values ('staff'); insert into UsedGroups values ('web');"
                      "insert into Users values ('alice', 'WinNT://H/alice', 'False', 'False', '01/01/1000');"
                      "insert into UserGroup values ('alice', 'staff');"
                      "insert into Permissions values ('/srv/data', 'staff', 'Read&Execute');"
                      "insert into Permissions values ('/srv/data/hr', 'staff', 'Special');"
                      "insert into Permissions values ('/srv/data/hr', 'alice', 'Full');"
                      "insert into Permissions values ('/srv/data/hr', 'web', 'Modify');"
                      "insert into Permissions values ('/home/alice', 'alice', 'Read&Write');");
    }

    void UseDatabase(const QString &path)
    {
        folder.Write("Quillmere.ini", "[Options]\nDatabasePath=" + path.toUtf8() +
                                          "\n[Directories]\nDirectoryCount=2\nDirectory1=/srv\nDirectory2=/home\n");
    }

    void Choose(RightsView &view, QPushButton *picker, const QString &search)
    {
        AnswerPickList(&view, [search](frmSelect &dialog) {
            dialog.txtSearch->setText(search);
            QTest::keyClick(dialog.txtSearch, Qt::Key_Return);
        });
        picker->click();
    }

    TempProgramFolder folder;
    ResultsDatabase database;
    ScriptedShell shell;
};

} // namespace

TEST_F(RightsViewTest, GroupTreeFromThePickedGroupWithRightsAndPictures)
{
    usrGroupsRight view;
    view.resize(900, 600);
    view.cmdFilter->click();
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_EQ(shell.prompts[0].text, "Please select first an network group to view the access rights of that group.");
    EXPECT_EQ(shell.prompts[0].title, "Select networkgroup");
    EXPECT_EQ(shell.prompts[0].style, platform::shell::vbInformation);
    EXPECT_EQ(view.Nodes().Count(), 0);

    Choose(view, view.cmdSelectGroup, "STA");
    EXPECT_EQ(view.txtGroup->text(), "staff");
    EXPECT_EQ(view.lblAnalysisProgress->text(), "List of available network groups loaded.");
    view.LoadControl();
    view.cmdFilter->click();
    EXPECT_EQ(Leaves(view), (QStringList{"data 3 Read&Execute"})) << "a right of none of the six words is filtered";
    EXPECT_EQ(view.lblAnalysisProgress->text(), "Analyses build successfully.");

    // Only Full ticked: none of the group's rows is left; none ticked: every right.
    for (QCheckBox *box : {view.chkList, view.chkRead, view.chkExecute, view.chkModify, view.chkWrite})
        box->setChecked(false);
    view.cmdFilter->click();
    EXPECT_EQ(Leaves(view), (QStringList{"No items found. 1 None"}));
    view.chkFull->setChecked(false);
    view.cmdFilter->click();
    EXPECT_EQ(Leaves(view), (QStringList{"hr 7 Unknown (Special)"}));
    view.treeMaps->setCurrentIndex(view.Nodes().IndexOf(3));
    EXPECT_EQ(view.lblNetworkRight->text(), "Read&Execute");

    // "&Explore" opens the directory of the selected node; the root stands for none.
    view.treeMaps->setCurrentIndex(view.Nodes().IndexOf(4));
    view.mnuExplore->trigger();
    view.treeMaps->setCurrentIndex(view.Nodes().IndexOf(1));
    view.mnuExplore->trigger();
    EXPECT_EQ(shell.opened, QStringList{"/srv/data/hr"});

    // A query that fails leaves the tree and its rights as they were.
    UseDatabase(database.File("missing.mdb"));
    view.cmdFilter->click();
    EXPECT_EQ(view.lblAnalysisProgress->text(), "Database file not found!");
    EXPECT_EQ(Leaves(view), (QStringList{"hr 7 Unknown (Special)"}));
}

TEST_F(RightsViewTest, UserTreeMergesTheRightsOfItsGroups)
{
    usrUserRight view;
    Choose(view, view.cmdSelectUser, "");
    EXPECT_EQ(view.txtUser->text(), "alice");
    EXPECT_EQ(view.lblAnalysisProgress->text(), "List of available users loaded.");
    view.txtSubDirs->setText("99");
    view.cmdFilter->click();
    const QStringList leaves{"alice 5 Read&Write", "hr 6 Full"};
    EXPECT_EQ(Leaves(view), leaves);
    const int data = view.Nodes().Find("Scanned directories/srv/data/");
    EXPECT_EQ(modRightsTree::NodeRight(view.Nodes(), data, view.colRights), "Read&Execute");
    view.chkRelatedGroups->setChecked(false);
    view.cmdFilter->click();
    EXPECT_EQ(Leaves(view), leaves);
    EXPECT_EQ(view.Nodes().At(view.Nodes().Find("Scanned directories/srv/data/")).tag, 0)
        << "without the groups' rows /srv/data has no row of its own";
}

TEST_F(RightsViewTest, DirectoryPickerJoinsTheChosenRoots)
{
    usrGroupsRight view;
    const auto pick = [&](std::vector<int> rows) {
        AnswerPickList(&view, [rows](frmSelect &dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Directories");
            EXPECT_EQ(dialog.lstItems->ListCount(), 3);
            for (int row : rows)
                dialog.lstItems->setSelected(row, true);
            dialog.cmdOK->click();
        });
        view.cmdSelectDirectory->click();
        return view.txtDirectories->text();
    };
    EXPECT_EQ(pick({1, 2}), "/srv, /home");
    EXPECT_EQ(pick({2}), "/home");
    EXPECT_EQ(pick({0, 2}), "All directories");
    EXPECT_EQ(pick({}), "");
}

TEST_F(RightsViewTest, ClicksDuringALoadAreIgnored)
{
    usrGroupsRight view;
    Choose(view, view.cmdSelectGroup, "staff");
    view.txtSubDirs->setText("99");
    view.cmdFilter->click();
    const QString before = QStringList(Leaves(view)).join(u',');
    bool pickerOpened = false;
    int nested = 0;
    // While the query lets the message loop run: Refresh again, a picker and a node click.
    QTimer::singleShot(0, [&] {
        AnswerPickList(&view, [&](frmSelect &dialog) {
            pickerOpened = true;
            dialog.reject();
        });
        ++nested;
        view.cmdSelectGroup->click();
        view.cmdFilter->click();
        view.treeMaps->setCurrentIndex(view.Nodes().IndexOf(3));
    });
    view.lblNetworkRight->setText("None");
    view.cmdFilter->click();
    EXPECT_EQ(nested, 1);
    QTest::qWait(30);
    EXPECT_FALSE(pickerOpened);
    EXPECT_EQ(view.lblNetworkRight->text(), "None");
    EXPECT_EQ(QStringList(Leaves(view)).join(u','), before);
    EXPECT_EQ(view.lblAnalysisProgress->text(), "Analyses build successfully.");
}

TEST_F(RightsViewTest, DepthBoxesStoredByTheWindowAndClampedWhenRead)
{
    {
        frmAnalysis window;
        window.AnalysisTabPage->setCurrentIndex(0); // the tab that is selected: nothing runs
        window.close();
    }
    EXPECT_FALSE(folder.Read("Quillmere.ini").contains("SubdirCount")) << "boxes never filled store nothing";

    folder.Write("Quillmere.ini", "[Options]\nNetworkgroupSubdirCount=40000\nNetworkuserSubdirCount=-7\n");
    frmAnalysis window;
    window.AnalysisTabPage->setCurrentIndex(1);
    window.usrGroupsRight->txtSubDirs->clear();
    window.AnalysisTabPage->setCurrentIndex(1); // selected already: the box is not filled again
    EXPECT_EQ(window.usrGroupsRight->txtSubDirs->text(), "");
    window.AnalysisTabPage->setCurrentIndex(2);
    window.AnalysisTabPage->setCurrentIndex(1);
    EXPECT_EQ(window.usrGroupsRight->txtSubDirs->text(), "99");
    EXPECT_EQ(window.usrUserRight->txtSubDirs->text(), "-7");
    window.usrUserRight->txtSubDirs->clear();
    QKeyEvent arabicThree(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\u0663")); // a digit, not 0-9
    QApplication::sendEvent(window.usrUserRight->txtSubDirs, &arabicThree);
    QTest::keyClicks(window.usrUserRight->txtSubDirs, "a-.5x");
    EXPECT_EQ(window.usrUserRight->txtSubDirs->text(), ".5");
    window.close();
    const QByteArray settings = folder.Read("Quillmere.ini");
    EXPECT_TRUE(settings.contains("NetworkgroupSubdirCount=99")) << settings.constData();
    EXPECT_TRUE(settings.contains("NetworkuserSubdirCount=0")) << settings.constData();
}

TEST_F(RightsViewTest, TreeToolsOpenExpandAndHighlight)
{
    usrGroupsRight view;
    view.resize(900, 600);
    view.show();
    Choose(view, view.cmdSelectGroup, "staff");
    view.txtSubDirs->setText("99");
    view.cmdFilter->click();
    QTest::mouseMove(view.picTreeNodes[0]);
    EXPECT_EQ(view.intLastPicture, 0);
    EXPECT_EQ(view.picTreeNodes[0]->palette().color(QPalette::Window), QColor(0xFF, 0xE0, 0xC0));
    QTest::mouseClick(view.picTreeNodes[0], Qt::LeftButton);
    EXPECT_TRUE(view.picTreeNodesFrame->isVisible());
    EXPECT_TRUE(view.picTreeNodes[1]->isVisible());

    const auto expanded = [&] {
        QStringList shown;
        for (int i = 1; i <= view.Nodes().Count(); ++i)
            if (view.Nodes().rowCount(view.Nodes().IndexOf(i)) > 0 && view.treeMaps->isExpanded(view.Nodes().IndexOf(i)))
                shown << view.Nodes().At(i).text;
        return shown;
    };
    QTest::mouseClick(view.picTreeNodes[2], Qt::LeftButton);
    EXPECT_EQ(expanded(), QStringList{"Scanned directories"});
    QTest::mouseClick(view.picTreeNodes[2], Qt::LeftButton);
    EXPECT_EQ(expanded(), (QStringList{"Scanned directories", "srv"}));
    QTest::mouseClick(view.picTreeNodes[3], Qt::LeftButton);
    EXPECT_EQ(expanded(), QStringList{"Scanned directories"});
    QTest::mouseClick(view.picTreeNodes[4], Qt::LeftButton);
    EXPECT_EQ(expanded(), (QStringList{"Scanned directories", "srv"}));
    QTest::mouseClick(view.picTreeNodes[5], Qt::LeftButton);
    EXPECT_TRUE(expanded().isEmpty());

    QTest::mouseMove(view.treeMaps->viewport());
    EXPECT_EQ(view.intLastPicture, -1);
    QTest::mouseClick(view.picTreeNodes[1], Qt::LeftButton);
    EXPECT_FALSE(view.picTreeNodesFrame->isVisible());
}

// A real tree with real ACLs, scanned into a fresh results database, then shown by the view.
TEST_F(RightsViewTest, ScannedAclsBecomeTheGroupsTree)
{
    testing_support::DirectoryTree tree;
    tree.MakeDirs({"projects/alpha/src", "projects/beta", "projects/ old"});
    tree.SetAcl("projects", "u::rwx,g::r-x,g:staff:r-x,m::r-x,o::r-x");
    tree.SetAcl("projects/alpha", "u::rwx,g::r-x,g:staff:rwx,m::rwx,o::r-x");
    tree.SetAcl("projects/alpha/src", "u::rwx,g::r-x,g:staff:rw-,m::rwx,o::---");
    tree.SetAcl("projects/ old", "u::rwx,g::r-x,g:staff:r--,m::rwx,o::---");
    QStringList dirs;
    modSearchDirs::SearchDirs(tree.Root(), modSearchDirs::UnlimitedDepth, dirs);
    testing_support::ProgressRecorder progress;
    ASSERT_EQ(modScanDirs::ScanDirs(dirs, progress, progress, database.Path(), "Permissions"), 1)
        << progress.Caption().toStdString();

    usrGroupsRight view;
    view.txtGroup->setText("staff");
    view.txtSubDirs->setText("99");
    view.cmdFilter->click();
    const auto shown = [&](const QString &relative) {
        const int node = view.Nodes().Find("Scanned directories" + tree.Path(relative) + u'/');
        return node == 0 ? QString("absent")
                         : QStringLiteral("%1 %2").arg(view.Nodes().At(node).image)
                               .arg(modRightsTree::NodeRight(view.Nodes(), node, view.colRights));
    };
    EXPECT_EQ(shown("projects"), "3 Read&Execute");
    EXPECT_EQ(shown("projects/alpha"), "6 Full");
    EXPECT_EQ(shown("projects/alpha/src"), "5 Read&Write");
    EXPECT_EQ(shown("projects/beta"), "absent") << "staff holds nothing there";
    EXPECT_EQ(shown("projects/ old"), "3 Read&Execute") << "the blank is part of the name";
}
