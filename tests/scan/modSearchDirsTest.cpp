#include "scan/modSearchDirs.h"

#include "common/DirectoryTree.h"
#include "support/Error.h"
#include "support/NameBytes.h"

#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using modSearchDirs::SearchDirs;
using modSearchDirs::UnlimitedDepth;

namespace {

// Lists compared as sorted text, so that a failure shows readable names.
std::string Sorted(QStringList list)
{
    list.sort();
    return list.join(u' ').toStdString();
}

std::string Relative(const QStringList &dirs, const QString &root)
{
    QStringList relative;
    for (const QString &dir : dirs)
        relative << dir.mid(root.size() + 1);
    return Sorted(relative);
}

class SearchDirsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeDirs({"a/a1/a11", "a/a2", "b/b1/b11/b111", "c", ".config/inner", "a/.cache/deep"});
        QFile file(tree.Path("a/file")); // files are no directories, whatever their name
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QStringList Search(const QString &root, int32_t depth)
    {
        QStringList dirs;
        SearchDirs(root, depth, dirs);
        return dirs;
    }

    testing_support::DirectoryTree tree;
};

TEST_F(SearchDirsTest, DepthLimitsTheLevelsListedBreadthFirst)
{
    const QStringList level1{"a", "b", "c"};
    const QStringList level2 = level1 + QStringList{"a/a1", "a/a2", "b/b1"};
    const QStringList level3 = level2 + QStringList{"a/a1/a11", "b/b1/b11"};
    const QStringList all = level3 + QStringList{"b/b1/b11/b111"};
    const std::pair<int32_t, QStringList> cases[] = {{-1, {}}, {0, {}}, {1, level1}, {2, level2}, {3, level3},
                                                     {4, all}, {99, all}, {250, all}};
    for (const auto &[depth, expected] : cases) {
        const QStringList dirs = Search(tree.Root(), depth);
        EXPECT_EQ(Relative(dirs, tree.Root()), Sorted(expected)) << "depth " << depth;
        EXPECT_EQ(dirs.size(), expected.size()) << "depth " << depth << ": listed twice";
        // No directory before one of a shallower level, and none with a trailing "/".
        for (qsizetype i = 1; i < dirs.size(); ++i)
            EXPECT_LE(dirs[i - 1].count(u'/'), dirs[i].count(u'/')) << dirs[i].toStdString();
        for (const QString &dir : dirs)
            EXPECT_FALSE(dir.endsWith(u'/')) << dir.toStdString();
    }
}

// Blanks before an absolute root are a slip of the keyboard; a blank at its end is part of the
// last directory's name, as the scan window keeps it.
TEST_F(SearchDirsTest, RootWithTrailingSlashOrLeadingBlanksGivesTheSamePathsAndIsAppended)
{
    const QStringList plain = Search(tree.Root(), 2);
    EXPECT_EQ(Search(tree.Root() + u'/', 2), plain);
    EXPECT_EQ(Search("  " + tree.Root() + "/", 2), plain);
    for (const QString &dir : plain)
        EXPECT_FALSE(dir.contains(u"//")) << dir.toStdString();
    tree.MakeDirs({"c /blank"});
    EXPECT_EQ(Search(tree.Path("c "), 1), QStringList{tree.Path("c /blank")});
    // The list is appended to. A root that is missing, a file or relative raises, naming it.
    QStringList dirs{"earlier"};
    SearchDirs(tree.Path("b"), 1, dirs);
    for (const auto &[root, says] : {std::pair{tree.Path("gone"), tree.Path("gone") + " cannot be listed: No such file or directory."},
                                     {tree.Path("a/file"), tree.Path("a/file") + " cannot be listed: Not a directory."},
                                     {"  b/", "The root directory b is not an absolute path."}}) {
        try {
            SearchDirs(root, 5, dirs);
            ADD_FAILURE() << root.toStdString();
        } catch (const support::Error &error) {
            EXPECT_TRUE(error.Description().endsWith(says)) << error.Description().toStdString();
        }
    }
    EXPECT_EQ(dirs, (QStringList{"earlier", tree.Path("b/b1")}));
    EXPECT_EQ(modSearchDirs::RootPath(" " + tree.Path("b//")), tree.Path("b"));
    // The file system's root plays the drive's.
    EXPECT_TRUE(Search("/", 1).contains("/tmp"));
    for (const QString &dir : Search("/", 1)) {
        EXPECT_FALSE(dir.startsWith("/.")) << dir.toStdString();
        EXPECT_EQ(dir.count(u'/'), 1) << dir.toStdString();
    }
}

TEST_F(SearchDirsTest, ChainDeeperThanOneHundredLevels)
{
    tree.MakeDirs({"deep" + QString("/d").repeated(104)});
    const QStringList limited = Search(tree.Path("deep"), 99);
    ASSERT_EQ(limited.size(), 99);
    EXPECT_EQ(limited.last().count(u'/'), tree.Path("deep").count(u'/') + 99);
    EXPECT_EQ(Search(tree.Path("deep"), 100).size(), 104);
}

TEST_F(SearchDirsTest, SymbolicLinksAreNeverFollowedBelowTheRootAsTyped)
{
    // A link back up the tree would make a search without limit loop; a link to another tree
    // would list directories outside the chosen root.
    ASSERT_TRUE(QFile::link(tree.Root(), tree.Path("a/a1/up")));
    ASSERT_TRUE(QFile::link(tree.Path("b"), tree.Path("c/to-b")));
    EXPECT_EQ(Relative(Search(tree.Root(), UnlimitedDepth), tree.Root()),
              "a a/a1 a/a1/a11 a/a2 b b/b1 b/b1/b11 b/b1/b11/b111 c");
    // The root is searched as typed, also through a link, and its paths keep the typed name.
    EXPECT_EQ(Relative(Search(tree.Path("c/to-b/b1"), UnlimitedDepth), tree.Path("c/to-b/b1")), "b11 b11/b111");

    // A directory swapped for a link to a closed tree after the search found it, here "b" while it
    // is listed: nothing is listed through the link below it, and the directory found below it is
    // passed over.
    testing_support::DirectoryTree closed;
    closed.MakeDirs({"b1/secret"});
    ASSERT_TRUE(QFile::link(closed.Root(), tree.Path("swap")));
    QStringList dirs;
    std::vector<PassedOver> unreadable;
    bool swapped = false;
    QTimer swap;
    QObject::connect(&swap, &QTimer::timeout, [&] {
        if (swapped || !dirs.contains(tree.Path("b/b1")))
            return;
        swapped = renameat2(AT_FDCWD, QFile::encodeName(tree.Path("b")).constData(), AT_FDCWD,
                            QFile::encodeName(tree.Path("swap")).constData(), RENAME_EXCHANGE) == 0;
    });
    swap.start(0);
    SearchDirs(tree.Root(), UnlimitedDepth, dirs, &unreadable);
    ASSERT_TRUE(swapped);
    EXPECT_EQ(Relative(dirs, tree.Root()), "a a/a1 a/a1/a11 a/a2 b b/b1 c");
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].Name, tree.Path("b/b1"));
    EXPECT_EQ(unreadable[0].Reason, "A directory above it is a symbolic link");
}

// A directory that cannot be listed is listed itself but adds nothing, and is reported, unless
// it lies on the deepest level, where nothing below it is lost.
TEST_F(SearchDirsTest, DirectoryThatCannotBeListedIsReportedWhereItLosesWhatLiesBelow)
{
    tree.Chmod("b", 0700);
    QStringList dirs, shallow;
    std::vector<PassedOver> unreadable, none;
    {
        testing_support::Unprivileged nobody;
        if (!nobody.Active())
            GTEST_SKIP() << "cannot run unprivileged here";
        SearchDirs(tree.Root(), UnlimitedDepth, dirs, &unreadable);
        SearchDirs(tree.Root(), 1, shallow, &none);
    }
    tree.Chmod("b", 0755);
    EXPECT_EQ(Relative(dirs, tree.Root()), "a a/a1 a/a1/a11 a/a2 b c");
    EXPECT_EQ(Relative(shallow, tree.Root()), "a b c");
    EXPECT_TRUE(none.empty());
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].Name, tree.Path("b"));
    EXPECT_EQ(unreadable[0].Reason, "Permission denied");
}

// A name that is no UTF-8 would be stored as another path: it is left out with what lies below
// and reported with its bad bytes escaped; valid UTF-8 in the same name is shown as it is.
TEST_F(SearchDirsTest, NameThatIsNoUtf8IsReportedWithItsBadBytesEscaped)
{
    const QByteArray root = QFile::encodeName(tree.Path("c"));
    for (const QByteArray &name : {QByteArray("/lat\xe9n"), QByteArray("/lat\xe9n/below"), QByteArray("/caf\xc3\xa9-\xc3")})
        ASSERT_EQ(mkdir(root + name, 0755), 0);
    QStringList dirs;
    std::vector<PassedOver> unreadable;
    SearchDirs(tree.Path("c"), UnlimitedDepth, dirs, &unreadable);
    EXPECT_TRUE(dirs.isEmpty());
    QStringList reported;
    for (const auto &[name, reason] : unreadable)
        reported << QString::fromUtf8(support::Printed(name.mid(tree.Path("c").size()))) + u' ' + reason;
    EXPECT_EQ(Sorted(reported), "/caf\u00e9-\\xC3 Name is not valid UTF-8 /lat\\xE9n Name is not valid UTF-8");
}

TEST_F(SearchDirsTest, ServesTheMessageLoopWhileListing)
{
    qsizetype listedWhenServed = -1;
    QStringList dirs;
    QTimer::singleShot(0, [&] { listedWhenServed = dirs.size(); });
    SearchDirs(tree.Root(), 3, dirs);
    EXPECT_GE(listedWhenServed, 0) << "the message loop was not served";
    EXPECT_LT(listedWhenServed, dirs.size());
}

} // namespace
