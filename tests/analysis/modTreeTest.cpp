#include "analysis/KeyedTreeModel.h"
#include "analysis/modTree.h"
#include "common/TestSupport.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

using modTree::AddPathToTree;

namespace {

const QString Root = QStringLiteral("Scanned directories");

// Each node as "key|text|image|parent".
QStringList Nodes(const KeyedTreeModel &tree)
{
    QStringList nodes;
    for (int i = 1; i <= tree.Count(); ++i) {
        const auto &node = tree.At(i);
        nodes << QStringLiteral("%1|%2|%3|%4").arg(tree.Key(i), node.text).arg(node.image).arg(node.parent);
    }
    return nodes;
}

} // namespace

TEST(modTree, PathsBecomeChainsOfNodesKeptExactlyAsNamed)
{
    KeyedTreeModel tree;
    EXPECT_EQ(AddPathToTree("/srv/Data/Sub/", tree, Root, 1, 6), 4);
    EXPECT_EQ(Nodes(tree), (QStringList{"Scanned directories/|Scanned directories|1|0",
                                        "Scanned directories/srv/|srv|1|1",
                                        "Scanned directories/srv/Data/|Data|1|2",
                                        "Scanned directories/srv/Data/Sub/|Sub|6|3"}));
    EXPECT_EQ(AddPathToTree("/srv/Data/Sub/", tree, Root, 1, 2), 0) << "a second add makes nothing";
    // The text after the last "/" is no component.
    EXPECT_EQ(AddPathToTree("/srv/Data/Other", tree, Root, 1, 6), 0);
    EXPECT_EQ(tree.Count(), 4);
    // Letter case and blanks tell directories apart: each of these is a node of its own.
    EXPECT_NE(AddPathToTree("/srv/data/", tree, Root, 1, 3), 0);
    EXPECT_NE(AddPathToTree("/srv/ data /", tree, Root, 1, 3), 0);
    EXPECT_EQ(tree.At(tree.Count()).text, " data ");
    // Doubled separators and the leading "//" of a share path add no empty nodes.
    const int dir = AddPathToTree("//server/share//dir/", tree, Root, 1, 5);
    ASSERT_NE(dir, 0);
    EXPECT_EQ(tree.Key(dir), "Scanned directories/server/share/dir/");
    EXPECT_EQ(tree.At(tree.At(tree.At(dir).parent).parent).parent, 1);
    EXPECT_TRUE(modTree::NodeExists("Scanned directories/srv/data/", tree));
    EXPECT_FALSE(modTree::NodeExists("Scanned directories/SRV/", tree));

    QAbstractItemModelTester tester(&tree, QAbstractItemModelTester::FailureReportingMode::Fatal);
    AddPathToTree("/srv/new/deep/", tree, Root, 1, 4); // added while a view watches
    EXPECT_EQ(tree.rowCount(tree.IndexOf(2)), 4);
}

// Directories with a few and with many subdirectories, added in no order: every path makes its
// node once, however its siblings were added, and every key finds its node.
TEST(modTree, WideDirectoriesInAnyOrderKeepOneNodePerPath)
{
    QStringList paths;
    for (int i = 0; i < 300; ++i)
        paths << QStringLiteral("/wide/d%1/").arg((i * 7919) % 300) << QStringLiteral("/few/f%1/").arg(i % 5);
    KeyedTreeModel tree;
    int made = 0;
    for (const QString &path : paths)
        made += AddPathToTree(path, tree, Root, 1, 2) != 0;
    EXPECT_EQ(made, 305);
    EXPECT_EQ(tree.Count(), 308);
    for (const QString &path : paths)
        EXPECT_EQ(AddPathToTree(path, tree, Root, 1, 2), 0) << path.toStdString();
    for (int node = 1; node <= tree.Count(); ++node)
        EXPECT_EQ(tree.Find(tree.Key(node)), node) << tree.Key(node).toStdString();
    EXPECT_EQ(tree.Find(Root + "/wide/d300/"), 0);
}

TEST(modTree, TheEmptyTreeNodeStandsAlone)
{
    KeyedTreeModel tree;
    const QString none = QStringLiteral("No items found.");
    EXPECT_EQ(AddPathToTree(none, tree, none, 1, 1), 0);
    EXPECT_EQ(Nodes(tree), QStringList{"No items found./|No items found.|1|0"});
}

TEST(modTree, SplitStringKeepsPiecesAsTheyStand)
{
    const struct {
        const char *text, *delimiter;
        QStringList pieces;
    } cases[] = {
        {"/srv/data/", "/", {"", "srv", "data"}},
        {"/No items found.", "/", {"", ""}},
        {"a/b", "/", {"a", ""}},
        {" x /y", "/", {" x ", ""}},
        {"a::b::c", "::", {"a", "b", ""}},
        {"a::", "::", {"a", ""}}, // a longer delimiter leaves its last characters behind it
        {"a:b", "::", {""}},
    };
    for (const auto &c : cases) {
        const QString text = c.text;
        QList<QStringView> pieces{u"old"};
        modTree::SplitString(pieces, text, QString::fromLatin1(c.delimiter));
        QStringList texts;
        for (QStringView piece : pieces)
            texts << piece.toString();
        EXPECT_EQ(texts, c.pieces) << c.text;
    }
    QList<QStringView> untouched{u"old"};
    modTree::SplitString(untouched, u"", u"/");
    ASSERT_EQ(untouched.size(), 1);
    EXPECT_EQ(untouched[0], u"old");
}
