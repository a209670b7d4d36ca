#include "analysis/modTree.h"

#include "analysis/KeyedTreeModel.h"

#include <QVarLengthArray>

namespace modTree {

namespace {
const QString Separator = QStringLiteral("/");
} // namespace

int AddPathToTree(const QString &strPath, KeyedTreeModel &objTree, const QString &strRootText, int16_t intImage,
                  int16_t intLeafImage)
{
    const QString working = Separator + strPath;
    QList<QStringView> pieces;
    SplitString(pieces, working, Separator);
    const QString rootKey = strRootText + Separator;
    if (!strRootText.isEmpty() && !NodeExists(rootKey, objTree))
        objTree.Add(0, rootKey, strRootText, intImage);

    // The key of a component's node is the key of its parent, the component and "/": every key
    // of the chain is a beginning of the last one. Empty pieces make no node.
    struct Component {
        qsizetype piece;
        qsizetype keyLength;
    };
    QString key = rootKey;
    QVarLengthArray<Component, 16> chain;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        if (pieces[i].isEmpty())
            continue;
        key += pieces[i];
        key += Separator;
        chain.append({i, key.size()});
    }
    // Rows mostly share their parents, so the deepest node that exists is sought from the end.
    qsizetype made = chain.size();
    int parent = 0;
    while (made > 0 && (parent = objTree.Find(key.left(chain[made - 1].keyLength))) == 0)
        --made;
    if (made == 0)
        parent = objTree.Find(rootKey);
    const qsizetype last = pieces.size() - 1;
    int result = 0;
    for (qsizetype j = made; j < chain.size(); ++j) {
        const qsizetype i = chain[j].piece;
        parent = objTree.Add(parent, key.left(chain[j].keyLength), pieces[i].toString(),
                             i < last ? intImage : intLeafImage);
        if (i == last)
            result = parent;
    }
    return result;
}

bool NodeExists(const QString &strKey, const KeyedTreeModel &objTree) { return objTree.Find(strKey) != 0; }

void SplitString(QList<QStringView> &arr, QStringView strText, QStringView strDelimiter)
{
    if (strText.isEmpty())
        return;
    QList<QStringView> pieces;
    pieces.reserve(strText.count(strDelimiter) + 1);
    qsizetype start = 0;
    qsizetype lastCut = -1;
    // Every position is a candidate, so delimiters may overlap ("aaa" holds "aa" twice).
    for (qsizetype at = strText.indexOf(strDelimiter); at >= 0 && at < strText.size();
         at = strText.indexOf(strDelimiter, at + 1)) {
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
