#include "scan/modSearchDirs.h"

#include "common/DirectoryTree.h"

#include <QFile>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

using modSearchDirs::SearchDirs;
using testing_support::DirectoryTree;

namespace {

// The relative paths, and their depths, below root; checks that the list has no trailing "/"
// and that no directory comes before one of a shallower level (breadth first).
struct Listed {
    QSet<QString> relative;
    bool breadthFirst = true;
    bool trailingSlash = false;
};

Listed Relative(const QStringList &dirs, const QString &root)
{
    Listed listed;
    int lastLevel = 0;
    for (const QString &dir : dirs) {
        const QString relative = dir.mid(root.size() + 1);
        const int level = int(relative.count(u'/')) + 1;
        if (level < lastLevel)
            listed.breadthFirst = false;
        lastLevel = level;
        listed.trailingSlash |= dir.endsWith(u'/');
        listed.relative.insert(relative);
    }
    return listed;
}

// Sets compared as sorted text, so that a failure shows readable names.
std::string Set(QStringList list)
{
    list.sort();
    return list.join(u' ').toStdString();
}

std::string Set(const QSet<QString> &set) { return Set(QStringList(set.begin(), set.end())); }

class SearchDirsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeDirs({"a/a1/a11", "a/a2", "b/b1/b11/b111", "c", ".config/inner", "a/.cache/deep"});
        // Files are no directories, whatever their name.
        QFile file(tree.Path("a/file"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QStringList Search(const QString &root, int32_t depth)
    {
        QStringList dirs;
        SearchDirs(root, depth, dirs);
        return dirs;
    }

    DirectoryTree tree;
};

TEST_F(SearchDirsTest, DepthLimitsTheLevelsListedBreadthFirst)
{
    struct Case {
        int32_t depth;
        QStringList expected;
    };
    const QStringList level1{"a", "b", "c"};
    const QStringList level2 = level1 + QStringList{"a/a1", "a/a2", "b/b1"};
    const QStringList level3 = level2 + QStringList{"a/a1/a11", "b/b1/b11"};
    const QStringList all = level3 + QStringList{"b/b1/b11/b111"};
    const Case cases[] = {
        {-1, {}}, {0, {}}, {1, level1}, {2, level2}, {3, level3}, {4, all}, {99, all}, {100, all}, {250, all},
    };
    for (const Case &c : cases) {
        const QStringList dirs = Search(tree.Root(), c.depth);
        const Listed listed = Relative(dirs, tree.Root());
        EXPECT_EQ(Set(listed.relative), Set(c.expected)) << "depth " << c.depth;
        EXPECT_EQ(dirs.size(), c.expected.size()) << "depth " << c.depth << ": listed twice";
        EXPECT_TRUE(listed.breadthFirst) << "depth " << c.depth;
        EXPECT_FALSE(listed.trailingSlash) << "depth " << c.depth;
    }
}

TEST_F(SearchDirsTest, RootWithTrailingSlashOrBlanksGivesTheSamePaths)
{
    const QStringList plain = Search(tree.Root(), 2);
    EXPECT_EQ(Search(tree.Root() + u'/', 2), plain);
    EXPECT_EQ(Search("  " + tree.Root() + "/ ", 2), plain);
    for (const QString &dir : plain)
        EXPECT_FALSE(dir.contains(u"//")) << dir.toStdString();
}

TEST_F(SearchDirsTest, AppendsToWhatTheCollectionHolds)
{
    QStringList dirs{"earlier"};
    SearchDirs(tree.Path("b"), 1, dirs);
    EXPECT_EQ(dirs, (QStringList{"earlier", tree.Path("b/b1")}));
}

TEST_F(SearchDirsTest, FileSystemRootPlaysTheDriveRoot)
{
    const QStringList dirs = Search("/", 1);
    EXPECT_TRUE(dirs.contains("/tmp"));
    for (const QString &dir : dirs) {
        EXPECT_FALSE(dir.startsWith("/.")) << dir.toStdString();
        EXPECT_EQ(dir.count(u'/'), 1) << dir.toStdString();
    }
}

TEST_F(SearchDirsTest, ChainDeeperThanOneHundredLevels)
{
    QString chain = "deep";
    for (int level = 2; level <= 105; ++level)
        chain += "/d";
    tree.MakeDirs({chain});
    const QStringList limited = Search(tree.Path("deep"), 99);
    ASSERT_EQ(limited.size(), 99);
    EXPECT_EQ(limited.last().count(u'/'), tree.Path("deep").count(u'/') + 99);
    EXPECT_EQ(Search(tree.Path("deep"), 100).size(), 104);
}

TEST_F(SearchDirsTest, SymbolicLinksAreNeverFollowed)
{
    // A link back up the tree would make a search without limit loop; a link to another tree
    // would list directories outside the chosen root.
    ASSERT_TRUE(QFile::link(tree.Root(), tree.Path("a/a1/up")));
    ASSERT_TRUE(QFile::link(tree.Path("b"), tree.Path("c/to-b")));
    const Listed listed = Relative(Search(tree.Root(), modSearchDirs::UnlimitedDepth), tree.Root());
    EXPECT_FALSE(listed.relative.contains("a/a1/up"));
    EXPECT_FALSE(listed.relative.contains("c/to-b"));
    EXPECT_EQ(Set(listed.relative), Set(QStringList{"a", "b", "c", "a/a1", "a/a2", "b/b1", "a/a1/a11", "b/b1/b11", "b/b1/b11/b111"}));
}

TEST_F(SearchDirsTest, UnreadableDirectoryIsListedButAddsNothing)
{
    tree.Chmod("b/b1", 0);
    QStringList dirs;
    {
        testing_support::Unprivileged nobody;
        if (!nobody.Active())
            GTEST_SKIP() << "cannot run unprivileged here";
        SearchDirs(tree.Root(), modSearchDirs::UnlimitedDepth, dirs);
    }
    tree.Chmod("b/b1", 0755);
    EXPECT_EQ(Set(Relative(dirs, tree.Root()).relative),
              Set(QStringList{"a", "b", "c", "a/a1", "a/a2", "b/b1", "a/a1/a11"}));
}

TEST_F(SearchDirsTest, MissingRootListsNothing)
{
    EXPECT_TRUE(Search(tree.Path("gone"), 5).isEmpty());
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
