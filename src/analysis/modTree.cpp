#include "analysis/modTree.h"

#include "analysis/KeyedTreeModel.h"

namespace modTree {

namespace {
const QString Separator = QStringLiteral("/");

QString &endWithSeparator(QString &path)
{
    if (!path.endsWith(Separator))
        path += Separator;
    return path;
}
} // namespace

int AddPathToTree(const QString &strPath, KeyedTreeModel &objTree, const QString &strRootText, int16_t intImage,
                  int16_t intLeafImage)
{
    QStringList pieces;
    SplitString(pieces, Separator + strPath, Separator);
    if (!strRootText.isEmpty() && !NodeExists(strRootText + Separator, objTree))
        objTree.Add(0, strRootText + Separator, strRootText, intImage);
    const qsizetype last = pieces.size() - 1;
    QString parentPath;
    for (qsizetype i = 1; i <= last; ++i) {
        parentPath += pieces[i - 1];
        endWithSeparator(parentPath);
        QString currentPath = parentPath + pieces[i];
        const QString key = strRootText + endWithSeparator(currentPath);
        if (NodeExists(key, objTree))
            continue;
        const int node = objTree.Add(objTree.Find(strRootText + parentPath), key, pieces[i],
                                     i < last ? intImage : intLeafImage);
        if (i == last)
            return node;
    }
    return 0;
}

bool NodeExists(const QString &strKey, const KeyedTreeModel &objTree) { return objTree.Find(strKey) != 0; }

void SplitString(QStringList &arr, const QString &strText, const QString &strDelimiter)
{
    if (strText.isEmpty())
        return;
    QStringList pieces;
    qsizetype start = 0;
    bool cutAtLast = false;
    for (qsizetype i = 0; i < strText.size(); ++i) {
        cutAtLast = QStringView(strText).mid(i, strDelimiter.size()) == strDelimiter;
        if (cutAtLast) {
            pieces << strText.mid(start, std::max<qsizetype>(0, i - start));
            start = i + strDelimiter.size();
        }
    }
    // Whatever follows the last cut leaves only an empty element behind.
    if (!cutAtLast)
        pieces << QString();
    arr = pieces;
}

} // namespace modTree
