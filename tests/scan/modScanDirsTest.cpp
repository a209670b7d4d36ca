#include "scan/modScanDirs.h"

#include "common/DirectoryTree.h"
#include "common/PathLimitChain.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "common/WithoutOpenat2.h"
#include "platform/directory/NssDirectory.h"
#include "scan/modSearchDirs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <fcntl.h>
#include <unistd.h>

using modScanDirs::ScanDirs;
using modSearchDirs::SearchDirs;
using modSearchDirs::UnlimitedDepth;
using testing_support::DirectoryTree;
using testing_support::ProgressRecorder;
using testing_support::ResultsDatabase;

namespace {

constexpr uid_t RootId = 0;
constexpr uid_t DaemonId = 1; // user and group "daemon" share the name
constexpr gid_t StaffId = 50;
constexpr uid_t DeletedId = 54321; // neither a user nor a group

const QString Permissions = QStringLiteral("Permissions");

std::string Lines(const QStringList &rows) { return rows.join(u'\n').toStdString(); }

class ScanDirsTest : public ::testing::Test {
protected:
    int32_t Scan(const QStringList &dirs) { return ScanDirs(dirs, progress, progress, database.Path(), Permissions); }

    QStringList StoredRows() const { return database.Rows("select * from Permissions order by rowid"); }

    static QString Row(const QString &path, const QString &member, const QString &right)
    {
        return path + u'\t' + member + u'\t' + right;
    }

    // Ten plain directories, for the tests that count them.
    QStringList TenDirs()
    {
        QStringList dirs;
        for (int i = 1; i <= 10; ++i) {
            tree.MakeDirs({QString::number(i)});
            tree.Chmod(QString::number(i), 0700);
            dirs << tree.Path(QString::number(i));
        }
        return dirs;
    }

    DirectoryTree tree;
    ResultsDatabase database;
    ProgressRecorder progress;
};

TEST(RightNameTest, NamedMasksAndHexadecimalForTheRest)
{
    // Every mask this system's permission sets give, then each other name once; a mask without a
    // name is in capitals, without prefix or leading zeros.
    const std::pair<uint32_t, const char *> cases[] = {
        {0x00120089, "Read&Execute"},       {0x001200A9, "Read&Execute"}, {0x0012019F, "Read&Write"},
        {0x001F01FF, "Full"},               {0x001200A0, "1200A0"},       {0x00120116, "120116"},
        {0x001201B6, "1201B6"},             {0x00110001, "Read&Delete"},  {0x001701FF, "Modify"},
        {0x001201BF, "Read&Write&Execute"}, {0x01120089, "Read"},         {0x011200A9, "List"},
        {0x10000000, "Full"},               {0xA0000000, "List&Read&Execute"}, {0x00000001, "1"},
        {0x00000000, "0"},                  {0xFFFFFFFF, "FFFFFFFF"},
    };
    for (const auto &[mask, name] : cases)
        EXPECT_EQ(modScanDirs::RightName(mask), QString::fromLatin1(name)) << std::hex << mask;
}

TEST(MemberNameTest, CutAtTheFirstBackslash)
{
    for (const auto &[trustee, member] : {std::pair{"HOST\\alice", "alice"}, {"CREATOR OWNER", "CREATOR OWNER"},
                                          {"A\\B\\C", "B\\C"}, {"\\x", "x"}, {"HOST\\", ""}})
        EXPECT_EQ(modScanDirs::MemberName(trustee), member) << trustee;
}

TEST_F(ScanDirsTest, RowsOfRealAclsInListOrder)
{
    tree.MakeDirs({"shared", "daemon", "o'neil", "deleted", "deletedAcl"});
    // The owner comes again as a named group, not in a row.
    tree.Chown("shared", RootId, StaffId);
    tree.SetAcl("shared", "u::rwx,g::r-x,g:root:rw-,m::rwx,o::r-x");
    // Owner and owning group share the name and stay two trustees.
    tree.Chown("daemon", DaemonId, DaemonId);
    tree.Chmod("daemon", 0750);
    // Nothing for others, and a permission set without a name.
    tree.Chown("o'neil", RootId, StaffId);
    tree.Chmod("o'neil", 0730);
    // A deleted user and its private group, both without an entry, have the same number and stay
    // two trustees, as owner and owning group, and as named entries.
    tree.Chown("deleted", DeletedId, DeletedId);
    tree.Chmod("deleted", 0750);
    tree.SetAcl("deletedAcl", "u::rwx,u:54321:r-x,g::---,g:54321:rwx,m::rwx,o::---");
    database.Exec("insert into Permissions values('/earlier','x','Full')");

    const QString shared = tree.Path("shared"), daemon = tree.Path("daemon"), oneil = tree.Path("o|neil"),
                  deleted = tree.Path("deleted"), deletedAcl = tree.Path("deletedAcl");
    EXPECT_EQ(Scan({shared, daemon, tree.Path("o'neil"), deleted, deletedAcl}), 1);
    EXPECT_EQ(Lines(StoredRows()), Lines({Row(shared, "root", "Full"), Row(shared, "staff", "Read&Execute"),
                                          Row(shared, "@root", "Read&Write"), Row(shared, "Everyone", "Read&Execute"),
                                          Row(daemon, "daemon", "Full"), Row(daemon, "@daemon", "Read&Execute"),
                                          Row(oneil, "root", "Full"), Row(oneil, "staff", "1201B6"),
                                          Row(deleted, "54321", "Full"), Row(deleted, "@54321", "Read&Execute"),
                                          Row(deletedAcl, "root", "Full"), Row(deletedAcl, "54321", "Read&Execute"),
                                          Row(deletedAcl, "@54321", "Full")}));
    EXPECT_EQ(progress.captions, (QStringList{"Scannning directories ( 20% )", "Scannning directories ( 40% )",
                                              "Scannning directories ( 60% )", "Scannning directories ( 80% )",
                                              "Scannning directories ( 100% )", "Directories scanned successfully."}));
    EXPECT_EQ(progress.Max(), 5);
    EXPECT_EQ(progress.Value(), 5);
}

TEST_F(ScanDirsTest, PercentIsRoundedDownFromTheExactFraction)
{
    EXPECT_EQ(Scan(QStringList(100, tree.Root())), 1);
    for (int i = 1; i <= 100; ++i)
        EXPECT_EQ(progress.captions.at(i - 1), QStringLiteral("Scannning directories ( %1% )").arg(i));
}

TEST_F(ScanDirsTest, EmptyListEmptiesTheTableAndLeavesMax)
{
    database.Exec("insert into Permissions values('/earlier','x','Full')");
    progress.setMax(7);
    progress.setValue(3);
    // A stop asked for before the scan starts is not seen by it.
    modScanDirs::StopScanDirs();
    EXPECT_EQ(Scan({}), 1);
    EXPECT_TRUE(StoredRows().isEmpty());
    EXPECT_EQ(progress.Max(), 7);
    EXPECT_EQ(progress.Value(), 0);
    EXPECT_EQ(progress.Caption(), "Directories scanned successfully.");
}

TEST_F(ScanDirsTest, StopTakesEffectAfterTheDirectoryInHand)
{
    const QStringList dirs = TenDirs();
    // The Stop button is clicked while the third directory is in hand: its click is handled by the
    // message loop that the scan serves after that directory.
    progress.onChange = [&] {
        if (progress.Value() == 3 && progress.captions.size() == 2)
            QTimer::singleShot(0, [] { modScanDirs::StopScanDirs(); });
    };
    EXPECT_EQ(Scan(dirs), 0);
    EXPECT_EQ(progress.Caption(), "Scan cancelled.");
    EXPECT_EQ(progress.Value(), 3);
    const QStringList rows = StoredRows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows.last(), Row(dirs.at(2), "root", "Full"));
}

// A directory removed since the search, a path too long for the system and a directory swapped
// for a link to another (whose rights must not be stored under the found name, nor those of what
// lies below it under the names found below) are passed over, and the scan says how many and
// which, counting those the search passed over, each once.
TEST_F(ScanDirsTest, DirectoriesThatCannotBeReadArePassedOverAndCounted)
{
    QStringList dirs = TenDirs();
    tree.MakeDirs({"4/inner"});
    dirs.insert(4, tree.Path("4/inner"));
    const QString tooLong = tree.Root() + u'/' + QString(4100, u'x');
    dirs.insert(5, tooLong);
    tree.MakeDirs({"secret/inner"});
    for (const char *secret : {"secret", "secret/inner"})
        tree.SetAcl(secret, "u::rwx,u:daemon:r-x,g::---,m::r-x,o::---");
    ASSERT_TRUE(QFile::link(tree.Path("secret"), tree.Path("link")));
    bool swapped = false;
    progress.onChange = [&] {
        if (progress.Value() != 1 || std::exchange(swapped, true))
            return;
        QDir(dirs.at(1)).removeRecursively();
        ASSERT_EQ(renameat2(AT_FDCWD, QFile::encodeName(dirs.at(3)).constData(), AT_FDCWD,
                            QFile::encodeName(tree.Path("link")).constData(), RENAME_EXCHANGE), 0);
    };
    std::vector<PassedOver> unreadable{{dirs.at(1), "Not listed by the search"}};
    EXPECT_EQ(ScanDirs(dirs, progress, progress, database.Path(), Permissions, &unreadable), 1);
    EXPECT_EQ(progress.Caption(), "Directories scanned; 4 directories could not be read.");
    ASSERT_EQ(unreadable.size(), 4u);
    EXPECT_EQ(unreadable[1].Name, dirs.at(3));
    EXPECT_EQ(unreadable[1].Reason, "Is a symbolic link");
    EXPECT_EQ(unreadable[2].Name, dirs.at(4));
    EXPECT_EQ(unreadable[2].Reason, "A directory above it is a symbolic link");
    EXPECT_EQ(unreadable[3].Name, tooLong);
    EXPECT_EQ(unreadable[3].Reason, "File name too long");
    const QStringList rows = StoredRows();
    EXPECT_EQ(rows.size(), 8) << Lines(rows);
    for (const QString &gone : {dirs.at(1), dirs.at(3), dirs.at(4)})
        EXPECT_FALSE(rows.join(u'\n').contains(gone + u'\t')) << Lines(rows);
}

// A user who may make directories in the tree (a sticky folder, as /tmp is) makes a chain past the
// system's path limit. A directory whose path would be longer than 4,095 bytes is passed over by
// the search, with nothing below it searched, and counted; one of exactly 4,095 bytes is stored,
// and the scan succeeds, whichever way directories are opened. Handed such a directory, the rights
// read passes it over too, although the root could still reach it.
TEST_F(ScanDirsTest, APathPastTheSystemsLimitIsPassedOverAndCounted)
{
    const testing_support::PathLimitChain chain(tree.Root());
    if (!chain.Made())
        GTEST_SKIP() << "needs root and setpriv";
    const QString fits = chain.Edge(4095), tooLong = chain.Edge(4096);
    const auto passedOver = [](const std::vector<PassedOver> &items) {
        QStringList lines;
        for (const auto &[name, reason] : items)
            lines << name + u' ' + reason;
        return Lines(lines);
    };
    testing_support::EachWayOfOpening([&](const char *way) {
        QStringList dirs;
        std::vector<PassedOver> unreadable;
        SearchDirs(tree.Root(), UnlimitedDepth, dirs, &unreadable);
        EXPECT_EQ(dirs, chain.Chain() + QStringList{fits}) << way;
        EXPECT_EQ(passedOver(unreadable), Lines({tooLong + " File name too long", fits + "/below File name too long"}))
            << way;
        ASSERT_EQ(ScanDirs(dirs, progress, progress, database.Path(), Permissions, &unreadable), 1) << way;
        EXPECT_EQ(progress.Caption(), "Directories scanned; 2 directories could not be read.") << way;
        EXPECT_TRUE(StoredRows().contains(Row(fits, "nobody", "Full"))) << way;

        std::vector<PassedOver> handed;
        ASSERT_EQ(ScanDirs({fits, tooLong}, progress, progress, database.Path(), Permissions, &handed), 1) << way;
        EXPECT_EQ(passedOver(handed), Lines({tooLong + " File name too long"})) << way;
        for (const QString &row : StoredRows())
            EXPECT_TRUE(row.startsWith(fits + u'\t')) << way << ' ' << row.toStdString();
    });
}

// The root is opened as the user typed it, also through a link (/home may be a link to
// /data/home): its tree is scanned whole, its rows stored under the typed paths.
TEST_F(ScanDirsTest, ARootTypedThroughALinkIsScannedWholeUnderItsTypedPaths)
{
    tree.MakeDirs({"data/home/alice/mail", "data/home/bob"});
    tree.SetAcl("data/home/alice/mail", "u::rwx,u:daemon:r-x,g::---,m::r-x,o::---");
    ASSERT_TRUE(QFile::link(tree.Path("data/home"), tree.Path("home")));
    QStringList stored;
    for (const QString &root : {tree.Path("data/home"), tree.Path("home")}) {
        QStringList dirs;
        SearchDirs(root, UnlimitedDepth, dirs);
        ASSERT_EQ(Scan(dirs), 1);
        EXPECT_EQ(progress.Caption(), "Directories scanned successfully.");
        stored << StoredRows().join(u'\n').replace(root + u'/', "ROOT/");
    }
    EXPECT_EQ(stored[1].toStdString(), stored[0].toStdString());
    EXPECT_TRUE(stored[1].contains("ROOT/alice/mail\tdaemon\tRead&Execute")) << stored[1].toStdString();
}

// A user who owns a directory in the tree swaps it for a link to a tree that only root may open,
// again and again (renameat2 with RENAME_EXCHANGE), while root's search and scan run: nothing of
// the closed tree is listed or stored under the user's names, whichever way directories are opened.
TEST_F(ScanDirsTest, AUsersSwapLoopNeverLeadsTheScanIntoAClosedTree)
{
    const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    if (geteuid() != 0 || QProcess::execute("setpriv", asNobody + QStringList{"true"}) != 0)
        GTEST_SKIP() << "needs root and setpriv";
    DirectoryTree closed;
    closed.Chmod({}, 0700);
    for (int i = 0; i < 20; ++i) {
        const QString sub = QStringLiteral("s%1").arg(i);
        tree.MakeDirs({"pub/p/" + sub + "/t"});
        closed.MakeDirs({sub + "/t", sub + "/secret"});
        for (const QString &dir : {sub, sub + "/t"})
            closed.SetAcl(dir, "u::rwx,u:daemon:rwx,g::---,m::rwx,o::---");
    }
    for (const QString &own : QDir(tree.Path("pub")).entryList(QDir::Dirs | QDir::NoDotAndDotDot) + QStringList{"."})
        QProcess::execute("chown", {"-R", "nobody", tree.Path("pub/" + own)});
    ASSERT_TRUE(QFile::link(closed.Root(), tree.Path("pub/link")));

    QProcess loop;
    // Debian's own python3: one in root's home (pyenv) is closed to nobody.
    loop.start("setpriv", asNobody + QStringList{"/usr/bin/python3", "-c",
                                                 "import ctypes, sys\n"
                                                 "libc = ctypes.CDLL(None, use_errno=True)\n"
                                                 "a, b = (name.encode() for name in sys.argv[1:])\n"
                                                 "while True: libc.renameat2(-100, a, -100, b, 2)\n",
                                                 tree.Path("pub/p"), tree.Path("pub/link")});
    ASSERT_TRUE(loop.waitForStarted());
    ASSERT_TRUE(testing_support::RunUntil([&] { return QFileInfo(tree.Path("pub/p")).isSymLink(); }, 10000));
    int linksMet = 0;
    testing_support::EachWayOfOpening([&](const char *way) {
        for (int round = 0; round < 10; ++round) {
            QStringList dirs;
            std::vector<PassedOver> unreadable;
            SearchDirs(tree.Root(), UnlimitedDepth, dirs, &unreadable);
            ASSERT_EQ(ScanDirs(dirs, progress, progress, database.Path(), Permissions, &unreadable), 1) << way;
            EXPECT_FALSE(dirs.join(u'\n').contains("secret")) << way << '\n' << Lines(dirs);
            EXPECT_FALSE(StoredRows().join(u'\n').contains("\tdaemon\t")) << way << '\n' << Lines(StoredRows());
            for (const PassedOver &passedOver : unreadable)
                linksMet += passedOver.Reason.contains("symbolic link");
        }
    });
    loop.kill();
    loop.waitForFinished();
    EXPECT_GT(linksMet, 0) << "the loop never met the scan";
}

TEST_F(ScanDirsTest, DatabaseFailuresGiveTheOneTableMessages)
{
    const QStringList dirs = TenDirs();
    database.Exec("drop table Permissions");
    EXPECT_EQ(Scan(dirs), 0);
    EXPECT_EQ(progress.Caption(), "Table 'Permissions' not found in database!");
    EXPECT_EQ(progress.Value(), 0);

    EXPECT_EQ(ScanDirs(dirs, progress, progress, database.File("missing.mdb"), Permissions), 0);
    EXPECT_EQ(progress.Caption(), "Database file not found!");

    // A table with another number of columns.
    database.Exec("create table Narrow (Path text, Member text)");
    EXPECT_EQ(ScanDirs(dirs, progress, progress, database.Path(), "Narrow"), 0);
    EXPECT_EQ(progress.Caption(), "Database table 'Narrow' does not contain the right number of fields!");
}

} // namespace
