#include "analysis/KeyedTreeModel.h"
#include "analysis/modRightsTree.h"
#include "common/TestSupport.h"

#include <gtest/gtest.h>

using namespace modRightsTree;

namespace {

struct Built {
    KeyedTreeModel tree;
    testing_support::ProgressRecorder progress;
    QStringList rights;

    Built(const QList<std::pair<QString, QString>> &rows, const QString &depth, bool merge)
    {
        QStringList paths;
        for (const auto &[path, right] : rows) {
            paths << path;
            rights << right;
        }
        BuildTree(tree, paths, rights, depth, merge, progress, progress);
    }

    // The shown directories, each as "path picture right".
    QStringList Leaves() const
    {
        QStringList leaves;
        for (int i = 1; i <= tree.Count(); ++i)
            if (tree.rowCount(tree.IndexOf(i)) == 0)
                leaves << QStringLiteral("%1 %2 %3")
                              .arg(DirectoryOf(tree, i).value_or(tree.At(i).text))
                              .arg(tree.At(i).image)
                              .arg(NodeRight(tree, i, rights));
        return leaves;
    }
};

} // namespace

TEST(modRightsTree, PictureByTheLaterWordAndTheFilterInTheSameOrder)
{
    const std::pair<const char *, int> pictures[] = {
        {"List", 1},  {"Read&Delete", 2}, {"Read&Execute", 3}, {"Modify", 4},       {"Read&Write", 5},
        {"FULL", 6},  {"Full&Read", 6},   {"Read&Write&Execute", 5}, {"1200A0", 7}, {"", 7},
    };
    for (const auto &[right, picture] : pictures)
        EXPECT_EQ(RightPicture(right), picture) << right;

    EXPECT_EQ(RightsFilter({true, true, true, true, true, true}),
              "Right LIKE '%List%' OR Right LIKE '%Read%' OR Right LIKE '%Execute%' OR "
              "Right LIKE '%Modify%' OR Right LIKE '%Write%' OR Right LIKE '%Full%'");
    EXPECT_EQ(RightsFilter({false, true, false, false, false, true}), "Right LIKE '%Read%' OR Right LIKE '%Full%'");
    EXPECT_EQ(RightsFilter({}), "");
}

TEST(modRightsTree, DepthLimitsLevelsBelowTheRoot)
{
    const QList<std::pair<QString, QString>> rows = {
        {"//srv/share/", "Read"}, {"//srv/share/a", "Read"}, {"//srv/share/a/b/", "Read"},
        {"/data/", "Read"},       {"/data/a", "Read"},       {"/data/a/b/", "Read"},
    };
    const struct {
        const char *depth;
        QStringList leaves;
    } cases[] = {
        {"0", {"No items found. 1 None"}},
        {".5", {"No items found. 1 None"}},
        {"no number", {"No items found. 1 None"}},
        {"-1", {"No items found. 1 None"}},
        {"1", {"/srv/share 2 Read", "/data 2 Read"}},
        {"2", {"/srv/share/a 2 Read", "/data/a 2 Read"}},
        {"3", {"/srv/share/a/b 2 Read", "/data/a/b 2 Read"}},
        {"99", {"/srv/share/a/b 2 Read", "/data/a/b 2 Read"}},
    };
    for (const auto &c : cases) {
        Built built(rows, c.depth, false);
        EXPECT_EQ(built.Leaves(), c.leaves) << c.depth;
    }
}

TEST(modRightsTree, EqualPathsMergedToTheHighestPictureOnlyWhenAsked)
{
    const QList<std::pair<QString, QString>> rows = {
        {"/d/a", "Read"},         {"/d/a", "Full"},                                 // Full wins
        {"/d/b", "Read&Write"},   {"/d/b", "Read&Execute"},                         // Write over Execute
        {"/d/c", "Read"},         {"/d/c", "Read&Delete"},                          // a tie keeps the first
        {"/d/e", "Special"},      {"/d/e", "Other"},                                // none of the six words
        {"/d/E", "Modify"},                                                          // another directory
    };
    Built merged(rows, "99", true);
    EXPECT_EQ(merged.Leaves(), (QStringList{"/d/a 6 Full", "/d/b 5 Read&Write", "/d/c 2 Read",
                                            "/d/e 7 Unknown (Special)", "/d/E 4 Modify"}));
    Built first(rows, "99", false);
    EXPECT_EQ(first.Leaves(), (QStringList{"/d/a 2 Read", "/d/b 5 Read&Write", "/d/c 2 Read",
                                           "/d/e 7 Unknown (Special)", "/d/E 4 Modify"}));
    EXPECT_EQ(merged.progress.captions.last(), "Analyses build successfully.");
    EXPECT_EQ(merged.progress.Value(), rows.size());

    // A tag read against rights of another build shows nothing rather than a stranger's right.
    EXPECT_EQ(NodeRight(merged.tree, merged.tree.Count(), {"Full"}), "None");
}

TEST(modRightsTree, NoRowsGiveTheSingleEmptyNodeWithAFullBar)
{
    Built built({}, "3", true);
    EXPECT_EQ(built.Leaves(), QStringList{"No items found. 1 None"});
    EXPECT_EQ(built.tree.Count(), 1);
    EXPECT_EQ(built.progress.Max(), 1);
    EXPECT_EQ(built.progress.Value(), 1);
    EXPECT_EQ(built.progress.captions,
              (QStringList{"Adding the directories to the tree...", "Analyses build successfully."}));
    EXPECT_FALSE(DirectoryOf(built.tree, 1));
}
