#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class KeyedTreeModel;

// Turns directory paths into a directory tree. Paths are cut at "/"; each component becomes a
// node that shows the component exactly as the file system names it (letter case and blanks
// kept), so that two directories are never merged into one node.
namespace modTree {

// Adds strPath's chain of nodes below the root node strRootText (made first when missing): the
// root and every intermediate node get intImage, the node of the last component intLeafImage.
// Nodes that exist already stay as they are. Returns the node made for the last component, or 0
// when it existed already or the path has none: the text after the last "/" is not a component,
// so callers end every directory path with "/". strRootText must not be empty.
//
// Keys: the root text, "/", then each component from the first down, each followed by "/".
int AddPathToTree(const QString &strPath, KeyedTreeModel &objTree, const QString &strRootText, int16_t intImage,
                  int16_t intLeafImage);

// True when a node of the tree carries exactly that key (letter case counts).
bool NodeExists(const QString &strKey, const KeyedTreeModel &objTree);

// Fills arr with the pieces of strText before each strDelimiter (compared exactly), as they
// stand; the text after the last delimiter is never stored, only an empty element for it when
// there is any. "/a/b/" gives ("", "a", "b"); "a/b" gives ("a", ""). An empty strText leaves arr
// as it was. The pieces are views into strText, valid while it is.
void SplitString(QList<QStringView> &arr, QStringView strText, QStringView strDelimiter);

} // namespace modTree
