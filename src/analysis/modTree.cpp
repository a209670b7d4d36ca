#include "analysis/modTree.h"

#include "analysis/KeyedTreeModel.h"

namespace modTree {

namespace {
const QString Separator = QStringLiteral("/");
} // namespace

int AddPathToTree(const QString &strPath, KeyedTreeModel &objTree, const QString &strRootText, int16_t intImage,
                  int16_t intLeafImage)
{
    // The pieces of "/" + strPath are an empty one, which makes no node, and those of strPath.
    QList<QStringView> pieces;
    SplitString(pieces, strPath, Separator);
    int parent = 0;
    bool made = false;
    if (!strRootText.isEmpty())
        parent = objTree.Make(0, strRootText, intImage, made);
    // A node's key is its parent's key, its text and "/": each component is sought among the
    // children of the one before. Empty pieces make no node.
    const qsizetype last = pieces.size() - 1;
    int result = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (pieces[i].isEmpty())
            continue;
        parent = objTree.Make(parent, pieces[i], i < last ? intImage : intLeafImage, made);
        if (made && i == last)
            result = parent;
    }
    return result;
}

bool NodeExists(const QString &strKey, const KeyedTreeModel &objTree) { return objTree.Find(strKey) != 0; }

void SplitString(QList<QStringView> &arr, QStringView strText, QStringView strDelimiter)
{
    if (strText.isEmpty())
        return;
    // A delimiter of one character is sought as a character, which is quicker.
    const auto find = [&](qsizetype from) {
        return strDelimiter.size() == 1 ? strText.indexOf(strDelimiter.front(), from) : strText.indexOf(strDelimiter, from);
    };
    QList<QStringView> pieces;
    qsizetype start = 0;
    qsizetype lastCut = -1;
    // Every position is a candidate, so delimiters may overlap ("aaa" holds "aa" twice).
    for (qsizetype at = find(0); at >= 0 && at < strText.size(); at = find(at + 1)) {
        pieces << strText.mid(start, std::max<qsizetype>(0, at - start));
        start = at + strDelimiter.size();
        lastCut = at;
    }
    // Whatever follows the last cut leaves only an empty element behind.
    if (lastCut != strText.size() - 1)
        pieces << QStringView();
    arr = pieces;
}

} // namespace modTree
