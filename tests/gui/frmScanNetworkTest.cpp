#include "common/MemoryDirectory.h"
#include "common/TestSupport.h"
#include "gui/frmScanNetwork.h"
#include "shell/frmSettings.h"
#include "analysis/clsAnalysis.h"
#include "platform/database/Recordset.h"
#include "scan/modDatabase.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using testing_support::TempProgramFolder;

namespace {

// A program folder with a fresh copy of the empty results database and a memory directory
// with one domain, so that a run touches nothing outside the test.
struct ScanFixture {
    ScanFixture()
    {
        folder.InstallDatabase();
        directory.AddUser("TESTDOM", "alice", {"Sales"});
        directory.AddGroup("TESTDOM", "Sales");
        folder.Write("Quillmere.ini", "[Options]\nDomain=TESTDOM\nNoPing=1\n");
    }

    void Settings(const QByteArray &content) const { folder.Write("Quillmere.ini", content); }

    // Builds count directories below root, each with a subdirectory: levels 1 and 2.
    QString Tree(const QString &name, int count) const
    {
        const QString root = folder.File(name);
        for (int i = 0; i < count; ++i)
            QDir().mkpath(QStringLiteral("%1/d%2/sub").arg(root).arg(i));
        return root;
    }

    QStringList LogLines() const
    {
        const QString text = QString::fromUtf8(folder.Read("ScanLog.log"));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    int PermissionRows() const
    {
        platform::database::Connection connection;
        modDatabase::OpenDatabase(connection, folder.File("NetworkInfo.mdb"));
        platform::database::Recordset rows;
        rows.Open("select count(*) from Permissions", connection, 3, 3, -1);
        return rows.Fields(0).Value().toInt();
    }

    QString LastScanDate() const { return clsAnalysis().GetLastScanDate(folder.File("NetworkInfo.mdb")); }

    TempProgramFolder folder;
    testing_support::MemoryDirectory directory;
    testing_support::ScriptedShell shell;
};

// Leaves only the given task boxes ticked and no roots from earlier runs' settings.
void untickAll(frmScanNetwork &window)
{
    window.lstDirs->clear();
    for (QCheckBox *box : {window.chkUsers, window.chkDirectories, window.chkPrograms})
        box->setCheckState(Qt::Unchecked);
}

// Calls sample every time the run lets the message loop run.
class Sampler {
public:
    explicit Sampler(std::function<void()> sample)
    {
        QObject::connect(&m_timer, &QTimer::timeout, std::move(sample));
        m_timer.start(0);
    }

private:
    QTimer m_timer;
};

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

TEST(frmScanNetwork, LoadsItsInputsAndRewritesTheWholeFileInItsOrder)
{
    ScanFixture fx;
    fx.Settings("; hand-written\n[Options]\nDomain=\nNoPing=0\nUnknownKey=x\nScanPrograms=0\nScanUsers=7\n"
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
    const QString domain = frmSettings::Instance().GetDomain();
    EXPECT_EQ(QString::fromUtf8(fx.folder.Read("Quillmere.ini")),
              "[Options]\nDatabasePath=" + fx.folder.File("NetworkInfo.mdb") + "\nDomain=" + domain
                  + "\nShowQuickStart=1\nCheckForUpdates=0\nNetworkgroupSubdirCount=3\nNetworkuserSubdirCount=3\n"
                    "MinimizeToTray=0\nSubdirectoryCount=4\nScanUsers=1\nScanDirectories=1\nScanPrograms=0\n"
                    "ScheduledScan=0\nScheduledTime=\nAllSubdirectories=0\n"
                    "[Directories]\nDirectoryCount=2\nDirectory1=/srv\nDirectory2=/home\n");
    EXPECT_EQ(domain, "TESTDOM") << "the empty domain is resolved through the directory and stored";
}

TEST(frmScanNetwork, KeepsNoPingOnlyWhenItIsOneAndTicksEverySubdirectory)
{
    ScanFixture fx;
    fx.Settings("[Options]\nNoPing=1\nAllSubdirectories=1\n");
    frmScanNetwork window;
    window.Form_Load();
    EXPECT_EQ(window.chkAll->checkState(), Qt::Checked);
    EXPECT_FALSE(window.txtSubCount->isEnabled());
    EXPECT_FALSE(window.lblScan1->isEnabled());
    EXPECT_FALSE(window.lblScan2->isEnabled());
    EXPECT_EQ(window.txtSubCount->text(), "2");
    window.close();
    const QString written = QString::fromUtf8(fx.folder.Read("Quillmere.ini"));
    EXPECT_TRUE(written.contains("\nNoPing=1\nAllSubdirectories=1\n[Directories]\nDirectoryCount=0\n")) << written.toStdString();
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
    EXPECT_EQ(window.txtDir->text(), "   ");

    for (const char *dir : {" /a", "/b", "/c", "/d"}) {
        window.txtDir->setText(dir);
        QTest::keyClick(window.txtDir, Qt::Key_Return);
    }
    EXPECT_EQ(entries(window.lstDirs), (QStringList{" /a", "/b", "/c", "/d"}));
    EXPECT_TRUE(window.txtDir->text().isEmpty());

    for (int row : {0, 2, 3})
        window.lstDirs->item(row)->setSelected(true);
    QTest::keyClick(window.lstDirs, Qt::Key_Delete);
    EXPECT_EQ(entries(window.lstDirs), (QStringList{"/b"}));

    window.txtSubCount->clear();
    QTest::keyClicks(window.txtSubCount, "1a-2.5x");
    EXPECT_EQ(window.txtSubCount->text(), "12.5");
    QTest::keyClick(window.txtSubCount, Qt::Key_Backspace);
    EXPECT_EQ(window.txtSubCount->text(), "12.");

    // A root with a leading blank survives the settings file.
    window.close();
    frmScanNetwork reloaded;
    reloaded.Form_Load();
    EXPECT_EQ(entries(reloaded.lstDirs), (QStringList{"/b"}));
    reloaded.txtDir->setText(" /with lead");
    QTest::keyClick(reloaded.txtDir, Qt::Key_Return);
    reloaded.close();
    frmScanNetwork again;
    again.Form_Load();
    EXPECT_EQ(entries(again.lstDirs), (QStringList{"/b", " /with lead"}));

    fx.shell.folders = {"", "/srv/picked"};
    QTest::mouseClick(window.cmdBrowse, Qt::LeftButton);
    EXPECT_TRUE(window.txtDir->text().isEmpty()) << "a cancelled picker leaves the box as it was";
    QTest::mouseClick(window.cmdBrowse, Qt::LeftButton);
    EXPECT_EQ(window.txtDir->text(), "/srv/picked");
}

TEST(frmScanNetwork, ARunWithNoTaskTickedOnlyFinishesLogsAndStoresTheScanTime)
{
    ScanFixture fx;
    frmScanNetwork window;
    window.Form_Load();
    untickAll(window);
    QStringList titles;
    Sampler sampler([&] {
        if (titles.isEmpty() || titles.last() != window.lblProgressTitle->text())
            titles << window.lblProgressTitle->text();
    });
    window.cmdStart_Click();
    titles.removeAll("Progress");
    EXPECT_EQ(titles, (QStringList{"Progress  (task 5/5)"}));
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (done)");
    EXPECT_EQ(window.lblProgress[0]->text(), "Scanning users and networkgroups (0%)");
    EXPECT_EQ(window.lblProgress[4]->text(), "Scan finished successfully.");
    const QStringList log = fx.LogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().endsWith(")  -  Scan finished successfully.")) << log.first().toStdString();
    EXPECT_FALSE(fx.LastScanDate().isEmpty());
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
    EXPECT_TRUE(window.lstDirs->isEnabled());
}

TEST(frmScanNetwork, TheDepthComesFromTheBoxRoundedToEvenOrIsUnlimited)
{
    ScanFixture fx;
    const QString root = fx.folder.File("tree");
    QDir().mkpath(root + "/1/2/3/4/5/6");
    const struct {
        const char *text;
        bool all;
        int listed;
    } cases[] = {{"2.5", false, 2}, {"3.5", false, 4}, {"", false, 0}, {"1", true, 6}};
    for (const auto &c : cases) {
        frmScanNetwork window;
        window.Form_Load();
        untickAll(window);
        window.chkDirectories->setCheckState(Qt::Checked);
        window.lstDirs->addItem(root);
        window.txtSubCount->setText(c.text);
        window.chkAll->setCheckState(c.all ? Qt::Checked : Qt::Unchecked);
        window.cmdStart_Click();
        EXPECT_EQ(window.colDirs.size(), c.listed) << c.text;
        EXPECT_EQ(window.lblProgress[1]->text(), "Directories listed successfully.");
    }
}

TEST(frmScanNetwork, AnEmptyRootListStillEmptiesThePermissions)
{
    ScanFixture fx;
    const QString root = fx.Tree("tree", 2);
    const auto scanDirectories = [&](const QStringList &roots) {
        frmScanNetwork window;
        window.Form_Load();
        untickAll(window);
        window.chkDirectories->setCheckState(Qt::Checked);
        window.lstDirs->addItems(roots);
        window.cmdStart_Click();
        EXPECT_EQ(window.lblProgress[1]->text(), "Directories listed successfully.");
        EXPECT_EQ(window.lblProgress[2]->text(), "Directories scanned successfully.");
        EXPECT_EQ(window.colDirs.size(), roots.isEmpty() ? 0 : 4);
    };
    scanDirectories({root});
    ASSERT_GT(fx.PermissionRows(), 0);
    scanDirectories({});
    EXPECT_EQ(fx.PermissionRows(), 0);
}

TEST(frmScanNetwork, StopDuringTheRightsScanEndsItAfterTheCurrentDirectoryAndStartsNoOtherTask)
{
    ScanFixture fx;
    frmScanNetwork window;
    window.Form_Load();
    untickAll(window);
    window.chkDirectories->setCheckState(Qt::Checked);
    window.chkPrograms->setCheckState(Qt::Checked);
    window.lstDirs->addItem(fx.Tree("tree", 10));
    window.txtSubCount->setText("1");
    bool pressed = false;
    Sampler stopper([&] {
        if (!pressed && window.lblProgress[2]->text() == "Scannning directories ( 20% )") {
            pressed = true;
            window.cmdStart_Click();
        }
    });
    window.cmdStart_Click();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(window.lblProgress[2]->text(), "Scan cancelled.");
    EXPECT_EQ(window.lblProgress[3]->text(), "Scanning installed software (0%)");
    EXPECT_EQ(window.lblProgress[4]->text(), "Finishing (0%)");
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (cancelled)");
    const QStringList log = fx.LogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().endsWith("  -  Scan cancelled."));
    EXPECT_FALSE(fx.LastScanDate().isEmpty());
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
}

TEST(frmScanNetwork, StopDuringTheUsersScanLetsItFinish)
{
    ScanFixture fx;
    for (int i = 0; i < 5; ++i)
        fx.directory.AddUser("TESTDOM", QStringLiteral("user%1").arg(i));
    frmScanNetwork window;
    window.Form_Load();
    window.lstDirs->addItem(fx.Tree("tree", 2));
    bool pressed = false;
    Sampler stopper([&] {
        if (!pressed && window.lblProgress[0]->text() == "Scanning users...") {
            pressed = true;
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
        window.Form_Load();
        untickAll(window);
        window.cmdStart_Click();
        const QByteArray log = fx.folder.Read("ScanLog.log");
        if (size == 250000) {
            EXPECT_TRUE(log.startsWith(QByteArray(size, 'x')));
            EXPECT_GT(log.size(), size);
        } else {
            EXPECT_FALSE(log.startsWith("x"));
            EXPECT_TRUE(log.endsWith("  -  Scan finished successfully.\r\n"));
        }
    }
}

TEST(frmScanNetwork, AScanLogThatCannotBeWrittenLeavesTheWindowRunning)
{
    ScanFixture fx;
    QDir().mkpath(fx.folder.File("ScanLog.log")); // a folder where the log should go
    frmScanNetwork window;
    window.Form_Load();
    untickAll(window);
    window.cmdStart_Click();
    EXPECT_TRUE(window.lblProgress[4]->text().startsWith("Unknown error: ")) << window.lblProgress[4]->text().toStdString();
    EXPECT_EQ(window.cmdStart->text(), "&Stop scanning");
    EXPECT_FALSE(window.lstDirs->isEnabled());
    EXPECT_TRUE(fx.LastScanDate().isEmpty());
    window.cmdStart_Click(); // the way out: Stop
    EXPECT_EQ(window.lblProgressTitle->text(), "Progress  (cancelled)");
    EXPECT_EQ(window.cmdStart->text(), "&Start scanning");
}

TEST(frmScanNetwork, ClosingTheWindowDuringARunLeavesItAloneButTheRunEndsItsWork)
{
    ScanFixture fx;
    auto *window = new frmScanNetwork;
    window->Form_Load();
    untickAll(*window);
    window->chkDirectories->setCheckState(Qt::Checked);
    window->lstDirs->addItem(fx.Tree("tree", 10));
    window->show();
    bool closed = false;
    QString titleAtClose;
    Sampler closer([&] {
        if (!closed && window->lblProgress[2]->text() == "Scannning directories ( 20% )") {
            closed = true;
            window->close();
            titleAtClose = window->lblProgressTitle->text();
        }
    });
    window->cmdStart_Click();
    ASSERT_TRUE(closed);
    EXPECT_EQ(window->lblProgressTitle->text(), titleAtClose) << "the closed window is not touched";
    EXPECT_EQ(window->lblProgress[2]->text(), "Scannning directories ( 20% )");
    EXPECT_FALSE(window->isVisible());
    const QStringList log = fx.LogLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().endsWith("  -  Scan cancelled."));
    EXPECT_FALSE(fx.LastScanDate().isEmpty());
    EXPECT_FALSE(window->Running());
    delete window;
}
