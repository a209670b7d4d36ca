#include "analysis/clsAnalysis.h"
#include "common/MemoryDirectory.h"
#include "common/TestSupport.h"
#include "gui/frmMain.h"
#include "gui/frmScanNetwork.h"
#include "platform/database/DatabaseClaim.h"
#include "platform/database/Recordset.h"
#include "scan/modDatabase.h"
#include "shell/frmSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A program folder with a fresh empty results database and a memory directory with one domain,
// so that a run touches nothing outside the test.
struct ScanFixture {
    ScanFixture()
    {
        folder.InstallDatabase();
        directory.AddUser("TESTDOM", "alice", {"Sales"});
        directory.AddGroup("TESTDOM", "Sales");
        folder.Write("Quillmere.ini", "[Options]\nDomain=TESTDOM\nNoPing=1\n");
    }

    // count directories below a new root, each with a subdirectory.
    QString Tree(int count) const
    {
        for (int i = 0; i < count; ++i)
            QDir().mkpath(folder.File(QStringLiteral("tree/d%1/sub").arg(i)));
        return folder.File("tree");
    }

    QStringList LogLines() const { return QString::fromUtf8(folder.Read("ScanLog.log")).split("\r\n", Qt::SkipEmptyParts); }

    int PermissionRows() const
    {
        platform::database::Connection connection;
        modDatabase::OpenDatabase(connection, folder.File("NetworkInfo.mdb"));
        platform::database::Recordset rows;
        rows.Open("select count(*) from Permissions", connection);
        return rows.Fields(0).Value().toInt();
    }

    // Every row of the rights, sorted, so that a repeated or respelled directory shows.
    QStringList StoredRights() const
    {
        QStringList rows;
        platform::database::Connection connection;
        modDatabase::OpenDatabase(connection, folder.File("NetworkInfo.mdb"));
        platform::database::Recordset records;
        for (records.Open("select Path || ' ' || Member || ' ' || Right from Permissions order by 1", connection);
             !records.Eof(); records.MoveNext())
            rows << records.Fields(0).Text();
        return rows;
    }

    QString LastScanDate() const { return clsAnalysis().GetLastScanDate(folder.File("NetworkInfo.mdb")); }

    testing_support::TempProgramFolder folder;
    testing_support::MemoryDirectory directory;
    testing_support::ScriptedShell shell;
};

// A loaded window with only the given tasks ticked and the given roots.
void prepare(frmScanNetwork &window, std::initializer_list<QCheckBox *frmScanNetwork::*> tasks, const QStringList &roots = {})
{
    window.Form_Load();
    window.lstDirs->clear();
    window.lstDirs->addItems(roots);
    for (QCheckBox *box : {window.chkUsers, window.chkDirectories, window.chkPrograms})
        box->setCheckState(Qt::Unchecked);
    for (auto task : tasks)
        (window.*task)->setCheckState(Qt::Checked);
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// Calls act every time the run lets the message loop run.
struct WhileRunning {
    explicit WhileRunning(std::function<void()> act)
    {
        QObject::connect(&timer, &QTimer::timeout, std::move(act));
        timer.start(0);
    }
    QTimer timer;
};

} // namespace

TEST(frmScanNetwork, LoadsItsInputsAndRewritesTheWholeFileInItsOrder)
{
    ScanFixture fx;
    fx.folder.Write("Quillmere.ini", "; by hand\n[Options]\nDomain=\nNoPing=0\nUnknownKey=x\nScanPrograms=0\nScanUsers=7\n"
                                     "SubdirectoryCount=4\n[Directories]\nDirectoryCount=3\nDirectory1=/srv\nDirectory3=/home\n");
    frmScanNetwork window;
    window.Form_Load();
    EXPECT_EQ(entries(window.lstDirs), (QStringList{"/srv", "/home"}));
    EXPECT_EQ(window.txtSubCount->text(), "4");
    EXPECT_EQ(window.chkPrograms->checkState(), Qt::Unchecked);
    EXPECT_EQ(window.chkUsers->checkState(), Qt::Checked) << "7 is no check-box value: the box keeps its state";
    EXPECT_EQ(window.lblLastScanDate->text(), "Last scan date:");

    window.cmdStart->setText("&Stop scanning"); // a Stop press outside a run: only the rewrite
    window.cmdStart_Click();
    EXPECT_EQ(QString::fromUtf8(fx.folder.Read("Quillmere.ini")),
              "[Options]\nDatabasePath=" + fx.folder.File("NetworkInfo.mdb")
                  + "\nDomain=TESTDOM\nShowQuickStart=1\nCheckForUpdates=0\nNetworkgroupSubdirCount=3\n"
                    "NetworkuserSubdirCount=3\nMinimizeToTray=0\nSubdirectoryCount=4\nScanUsers=1\nScanDirectories=1\n"
                    "ScanPrograms=0\nScheduledScan=0\nScheduledTime=\nAllSubdirectories=0\n"
                    "[Directories]\nDirectoryCount=2\nDirectory1=/srv\nDirectory2=/home\n");

    fx.folder.Write("Quillmere.ini", "[Options]\nNoPing=1\nAllSubdirectories=1\n");
    window.Form_Load();
    EXPECT_TRUE(window.lstDirs->count() == 0 && window.txtSubCount->text() == "2") << "loaded anew";
    EXPECT_EQ(window.chkAll->checkState(), Qt::Checked);
    for (QWidget *depth : std::initializer_list<QWidget *>{window.txtSubCount, window.lblScan1, window.lblScan2})
        EXPECT_FALSE(depth->isEnabled());
    window.close();
    EXPECT_TRUE(fx.folder.Read("Quillmere.ini").contains("\nNoPing=1\nAllSubdirectories=1\n[Directories]\nDirectoryCount=0\n"));
}

TEST(frmScanNetwork, TheInputsAddRemoveAndFilterAsTyped)
{
    ScanFixture fx;
    frmScanNetwork window;
    window.Form_Load();
    window.show();
    window.txtDir->setText("   ");
    QTest::mouseClick(window.cmdAdd, Qt::LeftButton);
    EXPECT_EQ(window.lstDirs->count(), 0) << "blanks only are not added";
    for (const char *dir : {" /a", "/b", "/c", "/d", "/e"}) {
        window.txtDir->setText(dir);
        QTest::keyClick(window.txtDir, Qt::Key_Return);
    }
    EXPECT_EQ(entries(window.lstDirs), (QStringList{" /a", "/b", "/c", "/d", "/e"}));
    EXPECT_TRUE(window.txtDir->text().isEmpty());
    for (int row : {1, 2, 4})
        window.lstDirs->item(row)->setSelected(true);
    QTest::keyClick(window.lstDirs, Qt::Key_Delete);
    window.close();

    frmScanNetwork reloaded; // the leading blank survives the settings file
    reloaded.Form_Load();
    EXPECT_EQ(entries(reloaded.lstDirs), (QStringList{" /a", "/d"}));

    reloaded.txtSubCount->clear();
    QTest::keyClicks(reloaded.txtSubCount, "1a-2.5x");
    EXPECT_EQ(reloaded.txtSubCount->text(), "12.5");
    QTest::keyClick(reloaded.txtSubCount, Qt::Key_Backspace);
    EXPECT_EQ(reloaded.txtSubCount->text(), "12.");
    reloaded.show();
    QApplication::setActiveWindow(&reloaded);
    reloaded.txtSubCount->setFocus();
    QTest::keyClick(reloaded.txtSubCount, Qt::Key_Tab);
    EXPECT_FALSE(reloaded.txtSubCount->hasFocus()) << "Tab moves on";
    EXPECT_EQ(reloaded.txtSubCount->text(), "12.");

    fx.shell.folders = {"", "/srv/picked"};
    QTest::mouseClick(reloaded.cmdBrowse, Qt::LeftButton);
    EXPECT_TRUE(reloaded.txtDir->text().isEmpty()) << "a cancelled picker leaves the box as it was";
    QTest::mouseClick(reloaded.cmdBrowse, Qt::LeftButton);
    EXPECT_EQ(reloaded.txtDir->text(), "/srv/picked");
}

TEST(frmScanNetwork, ARunWithNoTaskTickedOnlyFinishesLogsAndStoresTheScanTime)
{
    ScanFixture fx;
    frmScanNetwork window;
    prepare(window, {});
    QStringList titles;
    WhileRunning sample([&] {
        if (titles.isEmpty() || titles.last() != window.lblProgressTitle->text())
            titles << window.lblProgressTitle->text();
    });
    window.cmdStart_Click();
    titles.removeAll("Progress");
    EXPECT_EQ(titles, (QStringList{"Progress  (task 5/5)"}));
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (done)");
    EXPECT_EQ(window.lblProgress[0]->text(), "Scanning users and networkgroups (0%)");
    EXPECT_EQ(window.lblProgress[4]->text(), "Scan finished successfully.");
    ASSERT_EQ(fx.LogLines().size(), 1);
    EXPECT_TRUE(fx.LogLines().first().endsWith(")  -  Scan finished successfully."));
    EXPECT_FALSE(fx.LastScanDate().isEmpty());
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
    EXPECT_TRUE(window.lstDirs->isEnabled());
}

TEST(frmScanNetwork, TheDepthComesFromTheBoxRoundedToEvenOrIsUnlimited)
{
    ScanFixture fx;
    const QString root = fx.folder.File("deep");
    QDir().mkpath(root + "/1/2/3/4/5/6");
    const struct {
        const char *text;
        Qt::CheckState all;
        int listed;
    } cases[] = {{"2.5", Qt::Unchecked, 2}, {"3.5", Qt::Unchecked, 4}, {"", Qt::Unchecked, 0}, {"1", Qt::Checked, 6},
                 {"1e10", Qt::Unchecked, 6}, {"-1e10", Qt::Unchecked, 0}};
    for (const auto &c : cases) {
        frmScanNetwork window;
        prepare(window, {&frmScanNetwork::chkDirectories}, {root});
        window.txtSubCount->setText(c.text);
        window.chkAll->setCheckState(c.all);
        window.cmdStart_Click();
        EXPECT_EQ(window.colDirs.size(), c.listed) << c.text;
    }
}

// Each root is searched once, however often and however spelled it is listed (a trailing "/", "//",
// "."), and a directory below two roots, one inside the other, is stored and counted once; an
// empty list still empties the rights. A root that is missing, relative or has a ".." part fails
// the search, named with its reason, and the rights are not scanned: the table keeps the last
// scan's rows.
TEST(frmScanNetwork, RootsAreSearchedOnceAndOneThatCannotBeListedKeepsTheLastRights)
{
    ScanFixture fx;
    const QString root = fx.Tree(2), gone = fx.folder.File("gone");
    ASSERT_EQ(mkdir((QFile::encodeName(root) + "/d0/lat\xe9n").constData(), 0755), 0); // passed over
    const QString notListed = "The root directory " + gone + " cannot be listed: No such file or directory. "
                              "The root directory tree is not an absolute path. The root directory " + root
                              + "/d1/../d0 has a \"..\" part: give the path without it. The directory rights were not scanned.";
    const QString listed = "Directories listed successfully.", scanned = "Directories scanned successfully.",
                  passedOver = "Directories scanned; 1 directory could not be read.";
    const struct {
        QStringList roots;
        QString listed, scanned;
        bool rows; // those the one root gives, or none
    } cases[] = {
        {{root}, listed, passedOver, true},
        {{root, root + "/", " " + root + "//", "/" + root + "/./", root.section(u'/', 0, -2) + "//./tree"}, listed, passedOver, true},
        {{root + "/d0", root}, listed, passedOver, true},
        {{}, listed, scanned, false},
        {{root}, listed, passedOver, true},
        {{gone, root, "tree", root + "/d1/../d0"}, notListed, "Scanning directories (0%)", true},
    };
    QStringList oneRoot;
    for (const auto &c : cases) {
        frmScanNetwork window;
        prepare(window, {&frmScanNetwork::chkDirectories}, c.roots);
        window.cmdStart_Click();
        const std::string roots = c.roots.join(", ").toStdString();
        EXPECT_EQ(window.lblProgress[1]->text(), c.listed) << roots;
        EXPECT_EQ(window.lblProgress[2]->text(), c.scanned) << roots;
        if (oneRoot.isEmpty())
            oneRoot = fx.StoredRights();
        EXPECT_EQ(fx.StoredRights(), c.rows ? oneRoot : QStringList()) << roots;
    }
    EXPECT_TRUE(oneRoot.join(u'\n').contains(root + "/d0/sub root Full")) << oneRoot.join(u'\n').toStdString();
    EXPECT_TRUE(fx.LogLines().at(fx.LogLines().size() - 2).endsWith("  -  " + notListed));
}

// Stop pressed, or the window closed, while the third of ten directories is scanned: the task
// ends after it, no later task runs, and the run still logs and stores the scan time.
TEST(frmScanNetwork, StopOrCloseDuringTheRightsScanEndsItAfterTheCurrentDirectory)
{
    for (const bool close : {false, true}) {
        ScanFixture fx;
        frmScanNetwork window;
        prepare(window, {&frmScanNetwork::chkDirectories, &frmScanNetwork::chkPrograms}, {fx.Tree(10)});
        window.txtSubCount->setText("1");
        window.show();
        bool done = false;
        WhileRunning stop([&] {
            if (!done && window.lblProgress[2]->text() == "Scannning directories ( 20% )") {
                done = true;
                close ? (void)window.close() : window.cmdStart_Click();
            }
        });
        window.cmdStart_Click();
        ASSERT_TRUE(done);
        if (close) { // the closed window is not touched again
            EXPECT_EQ(window.lblProgress[2]->text(), "Scannning directories ( 20% )");
            EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (task 3/5)");
        } else {
            EXPECT_EQ(window.lblProgress[2]->text(), "Scan cancelled.");
            EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (cancelled)");
            EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
        }
        EXPECT_EQ(window.lblProgress[3]->text(), "Scanning installed software (0%)");
        EXPECT_EQ(window.lblProgress[4]->text(), "Finishing (0%)");
        ASSERT_EQ(fx.LogLines().size(), 1);
        EXPECT_TRUE(fx.LogLines().first().endsWith("  -  Scan cancelled."));
        EXPECT_FALSE(fx.LastScanDate().isEmpty());
        EXPECT_FALSE(window.Running());
    }
}

TEST(frmScanNetwork, AWindowClosedDuringItsRunIsDestroyedWithItsFrameOnlyAfterTheRun)
{
    ScanFixture fx;
    frmMain main({});
    main.tmrLoadSplash->stop(); // no first-run Settings dialog in the middle
    main.mnuScanNetwork->trigger();
    QPointer<frmScanNetwork> window = main.ScanNetwork();
    prepare(*window, {&frmScanNetwork::chkDirectories}, {fx.Tree(10)});
    window->txtSubCount->setText("1");
    bool closed = false;
    WhileRunning close([&] {
        if (!closed && window->lblProgress[2]->text() == "Scannning directories ( 20% )") {
            closed = true;
            main.mdiArea->activeSubWindow()->close();
            EXPECT_EQ(main.ScanNetwork(), nullptr) << "gone for the menu at once";
        }
    });
    window->cmdStart_Click();
    ASSERT_TRUE(closed);
    ASSERT_FALSE(window.isNull()) << "kept while its run went on";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // as the message loop would
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(main.mdiArea->subWindowList().isEmpty());
}

// A run on a database that another run holds touches nothing and says so. A run holds its
// database from its start to its end.
TEST(frmScanNetwork, ARunOnADatabaseAnotherRunHoldsTouchesNothingAndSaysSo)
{
    ScanFixture fx;
    const QString database = fx.folder.File("NetworkInfo.mdb");
    frmScanNetwork window;
    prepare(window, {&frmScanNetwork::chkUsers, &frmScanNetwork::chkDirectories}, {fx.Tree(2)});
    {
        const platform::database::DatabaseClaim other(database);
        window.cmdStart_Click();
    }
    ASSERT_EQ(fx.shell.prompts.size(), 1u);
    EXPECT_EQ(fx.shell.prompts[0].text,
              "Another scan is writing to the results database " + database + ". The scan did not start.");
    EXPECT_EQ(window.lblProgress[0]->text(), "Scanning users and network groups (0%)") << "as loaded";
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress");
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
    EXPECT_TRUE(window.lstDirs->isEnabled());
    EXPECT_FALSE(QFile::exists(fx.folder.File("ScanLog.log")));
    EXPECT_TRUE(fx.LastScanDate().isEmpty());
    EXPECT_EQ(fx.PermissionRows(), 0);

    int claimsRefused = 0, claimsTaken = 0;
    WhileRunning probe([&] {
        try {
            const platform::database::DatabaseClaim probing(database);
            ++claimsTaken;
        } catch (const support::Error &) {
            ++claimsRefused;
        }
    });
    window.cmdStart_Click();
    EXPECT_EQ(window.lblProgress[4]->text(), "Scan finished successfully.");
    EXPECT_GT(claimsRefused, 0);
    EXPECT_EQ(claimsTaken, 0);

    // Settings that are there but cannot be read: no scan on their defaults, and no rewrite.
    const QString settings = fx.folder.File("Quillmere.ini");
    ASSERT_TRUE(QFile::remove(settings) && QDir().mkpath(settings));
    fx.shell.prompts.clear();
    const QStringList logged = fx.LogLines();
    window.cmdStart_Click();
    ASSERT_EQ(fx.shell.prompts.size(), 2u);
    EXPECT_EQ(fx.shell.prompts[0].text, settings + " cannot be read: Is a directory. The scan did not start.");
    EXPECT_EQ(fx.shell.prompts[1].text, settings + " cannot be read: Is a directory.") << "nor saved";
    EXPECT_EQ(fx.LogLines(), logged);
    EXPECT_TRUE(QFileInfo(settings).isDir());
}

TEST(frmScanNetwork, StopDuringTheUsersScanLetsItFinish)
{
    ScanFixture fx;
    frmScanNetwork window;
    prepare(window, {&frmScanNetwork::chkUsers, &frmScanNetwork::chkDirectories}, {fx.Tree(2)});
    bool pressed = false;
    WhileRunning stop([&] {
        if (!pressed && window.lblProgress[0]->text() == "Scanning users...") {
            pressed = true;
            EXPECT_TRUE(!window.shpBlueCircle->isHidden() && window.shpBlueCircle->isEnabled()) << "shown, not greyed";
            EXPECT_EQ(window.shpBlueCircle->y(), window.fraScan->y() + window.chkUsers->y() + 3);
            window.cmdStart_Click();
        }
    });
    window.cmdStart_Click();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(window.lblProgress[0]->text(), "Users and groups scanned successfully.");
    EXPECT_EQ(window.lblProgress[1]->text(), "Searching directories (0%)");
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (cancelled)");
    EXPECT_EQ(fx.LogLines().size(), 1);
}

TEST(frmScanNetwork, TheScanLogBeginsAnewOnlyPastItsLimit)
{
    for (const int size : {250000, 250001}) {
        ScanFixture fx;
        fx.folder.Write("ScanLog.log", QByteArray(size, 'x'));
        frmScanNetwork window;
        prepare(window, {});
        window.cmdStart_Click();
        const QByteArray log = fx.folder.Read("ScanLog.log");
        EXPECT_EQ(log.startsWith(QByteArray(size, 'x')), size == 250000);
        EXPECT_TRUE(log.endsWith("  -  Scan finished successfully.\r\n"));
        EXPECT_EQ(log.count('\n'), 1);
    }
}

TEST(frmScanNetwork, AScanLogThatCannotBeWrittenLeavesTheWindowRunning)
{
    ScanFixture fx;
    QDir().mkpath(fx.folder.File("ScanLog.log")); // a folder where the log should go
    frmScanNetwork window;
    prepare(window, {});
    window.cmdStart_Click();
    EXPECT_TRUE(window.lblProgress[4]->text().startsWith("Unknown error: "));
    EXPECT_EQ(window.cmdStart->text(), "&Stop scanning");
    EXPECT_FALSE(window.lstDirs->isEnabled());
    EXPECT_TRUE(fx.LastScanDate().isEmpty());
    window.cmdStart_Click(); // the way out: Stop
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (cancelled)");
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
}

TEST(frmScanNetwork, ResizingCentresTheFramesHorizontally)
{
    ScanFixture fx;
    frmScanNetwork window;
    window.Form_Load();
    window.show();
    const struct {
        int width; // pixels
        int dirsLeft, scanLeft, startLeft, lineEnd;
    } cases[] = {{745, 0, 440, 632, 745}, {845, 50, 490, 682, 795}, {645, -50, 390, 582, 695}};
    for (const auto &c : cases) {
        window.resize(c.width, 500);
        EXPECT_EQ(window.fraDirs->x(), c.dirsLeft) << c.width;
        EXPECT_EQ(window.fraDetails->x(), c.dirsLeft);
        EXPECT_EQ(window.picDirs->x(), c.dirsLeft + 16);
        EXPECT_EQ(window.fraScan->x(), c.scanLeft);
        EXPECT_EQ(window.shpBlueCircle->x(), c.scanLeft + 16);
        EXPECT_EQ(window.fraProgress->x(), c.scanLeft);
        EXPECT_EQ(window.cmdStart->x(), c.startLeft);
        EXPECT_EQ(window.Line3->x() + window.Line3->width(), c.lineEnd);
        EXPECT_EQ(window.imgScan->x(), 32) << "the title stays where it is";
    }
}
