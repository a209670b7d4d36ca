#include "common/TestSupport.h"
#include "gui/frmAnalysis.h"
#include "gui/frmMain.h"
#include "gui/usrGroupsRight.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

using testing_support::TempProgramFolder;

namespace {

QStringList VisibleExplanations(const frmAnalysis &window)
{
    QStringList shown;
    for (QGroupBox *frame : window.fraExplanation)
        if (frame->isVisibleTo(window.AnalysisTabPage->widget(0)))
            shown << frame->objectName();
    return shown;
}

} // namespace

TEST(frmAnalysis, OverviewExplainsTheHoveredEntryAndAClickOpensItsTab)
{
    TempProgramFolder folder;
    frmAnalysis window;
    window.show();
    EXPECT_EQ(window.windowTitle(), "Analyses");
    QStringList tabs;
    for (int i = 0; i < window.AnalysisTabPage->count(); ++i)
        tabs << window.AnalysisTabPage->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"Analyses", "Access rights per user group", "Access rights per single user",
                                 "User details", "Installed software"}));
    EXPECT_EQ(window.AnalysisTabPage->currentIndex(), 0);
    EXPECT_EQ(window.intLastLabel, -1);
    EXPECT_EQ(VisibleExplanations(window),
              (QStringList{"fraExplanation1", "fraExplanation2", "fraExplanation3", "fraExplanation4"}));
    EXPECT_EQ(window.childAt(window.fraExplanation[4]->geometry().center() +
                             window.AnalysisTabPage->widget(0)->mapTo(&window, QPoint())),
              window.fraExplanation[4]->findChild<QWidget *>())
        << "the hint lies in front";

    QTest::mouseMove(window.lblAnalysis[2]);
    EXPECT_EQ(VisibleExplanations(window), QStringList{"fraExplanation2"});
    EXPECT_EQ(window.intLastLabel, 2);
    EXPECT_EQ(window.picAnalysis[2]->palette().color(QPalette::Window), QColor(0xFF, 0xE0, 0xC0));
    EXPECT_EQ(window.picAnalysis[1]->palette().color(QPalette::Window), QColor(0xEE, 0xF2, 0xFB));
    QTest::mouseMove(window.picAnalysis[3]);
    EXPECT_EQ(VisibleExplanations(window), QStringList{"fraExplanation3"});

    QTest::mouseClick(window.picAnalysis[1], Qt::LeftButton);
    EXPECT_EQ(window.AnalysisTabPage->currentIndex(), 0) << "a click on a picture does nothing";
    QTest::mouseClick(window.lblAnalysis[2], Qt::LeftButton);
    EXPECT_EQ(window.AnalysisTabPage->currentIndex(), 3);
}

TEST(frmAnalysis, NeverLowerThanItsDesignMinimum)
{
    TempProgramFolder folder;
    frmAnalysis window;
    window.show();
    // 6000 twips with the title bar and borders, which take 465 twips of them.
    window.resize(900, 200);
    EXPECT_EQ(window.height(), 369);
    window.resize(1000, 700);
    EXPECT_EQ(window.AnalysisTabPage->width(), 1000 + 8 - 2 * 24);
    EXPECT_EQ(window.AnalysisTabPage->height(), 700 + 31 - 64 - 47);
}

TEST(frmAnalysis, TheMenuKeepsOneWindowAndMakesANewOneAfterAClose)
{
    TempProgramFolder folder;
    frmMain main({});
    main.tmrLoadSplash->stop(); // no first-run Settings dialog in the middle
    main.show();
    main.mnuViewAnalysis->trigger();
    QPointer<frmAnalysis> first = main.Analysis();
    ASSERT_TRUE(first);
    main.mnuViewAnalysis->trigger();
    EXPECT_EQ(main.Analysis(), first);
    EXPECT_EQ(main.mdiArea->subWindowList().size(), 1);
    EXPECT_EQ(main.mdiArea->activeSubWindow()->widget(), first);

    main.mdiArea->activeSubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first) << "a closed window is gone";
    main.mnuViewAnalysis->trigger();
    ASSERT_TRUE(main.Analysis());
    EXPECT_TRUE(main.Analysis()->isVisible());
}

TEST(frmAnalysis, AMaximisedWindowInsideANormalMainWindowIsLaidOutAgain)
{
    TempProgramFolder folder;
    frmMain main({});
    main.tmrLoadSplash->stop();
    main.show();
    ASSERT_FALSE(main.isMaximized());
    main.mnuViewAnalysis->trigger();
    frmAnalysis *window = main.Analysis();
    window->AnalysisTabPage->setCurrentIndex(1);
    const int treeWidth = window->usrGroupsRight->treeMaps->width();
    main.mdiArea->activeSubWindow()->showMaximized();
    QCoreApplication::processEvents();
    const QSize tab(window->width() + 8 - 2 * 24, window->height() + 31 - 64 - 47);
    EXPECT_EQ(window->AnalysisTabPage->size(), tab);
    EXPECT_EQ(window->usrGroupsRight->size(), tab - QSize(31, 48));
    EXPECT_GT(window->usrGroupsRight->treeMaps->width(), treeWidth);
}
