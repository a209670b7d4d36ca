#pragma once

#include "support/ProgressPair.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class KeyedTreeModel;

// What the two rights views share below their windows: the node pictures of rights, the rights
// filter, the depth rule and the build of a rights tree from the rows of a query.
namespace modRightsTree {

// Node pictures: 1 List (also the root and every intermediate directory), 2 Read, 3 Execute,
// 4 Modify, 5 Write, 6 Full, 7 a right that names none of these.
constexpr int PictureCount = 7;
const QString RootText = QStringLiteral("Scanned directories");
const QString NoItemsText = QStringLiteral("No items found.");

// The picture of a right: the words are tested in the order above, letter case ignored, and a
// later word wins ("Read&Write&Execute" is Write, anything naming Full is Full).
int RightPicture(const QString &right);

// The condition on Right for the ticked boxes, in the order List, Read, Execute, Modify, Write,
// Full ("Right LIKE '%List%' OR ..."); "" when none is ticked, which means every right.
QString RightsFilter(const std::array<bool, 6> &ticked);

// Whether a directory path (ending with "/") lies within depth levels below its root: a path
// that begins with a single "/" may hold depth + 1 separators, any other (a "//server/share/"
// path) depth + 3. A depth of exactly 99 shows every path.
bool DepthShows(const QString &path, double depth);

// The rows of a rights query as a tree below "Scanned directories", each shown row's node
// tagged with its row number (from 1) and pictured by its right. With mergeEqualPaths, a run of
// rows with the same path gives one node showing the run's highest picture (ties keep the
// earlier row); without, the first row of a path decides. The depth text is read as the depth
// box's leading number. A tree without rows becomes the single node "No items found.".
//
// Order of work, as the progress pair shows it: the status text and the bar's start, one pass of
// the message loop (the old tree still shown), then the tree is emptied and rebuilt without
// letting the loop run, and the status reads "Analyses build successfully.".
void BuildTree(KeyedTreeModel &tree, const QStringList &paths, const QStringList &rights, const QString &depthText,
               bool mergeEqualPaths, support::ProgressBar &progress, support::StatusLabel &status);

// The text the right display shows for a node: "None" for a node without a tag (or a tag that is
// no row of rights), the right of the tagged row, or "Unknown (" + right + ")" for a node whose
// picture is the last one.
QString NodeRight(const KeyedTreeModel &tree, int node, const QStringList &rights);

// The directory a node stands for, rebuilt from the node texts below the root: "/" + the texts
// joined by "/". Nothing for a root node (the tree's root or "No items found.").
std::optional<QString> DirectoryOf(const KeyedTreeModel &tree, int node);

} // namespace modRightsTree
