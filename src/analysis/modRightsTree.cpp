#include "analysis/modRightsTree.h"

#include "analysis/KeyedTreeModel.h"
#include "analysis/modTree.h"
#include "support/DoEvents.h"
#include "support/NumericText.h"
#include "support/TextHash.h"

#include <unordered_map>

namespace modRightsTree {

namespace {

constexpr std::array<const char *, 6> RightWords = {"List", "Read", "Execute", "Modify", "Write", "Full"};

// path with "/" at its end, in the buffer directory (which keeps its room from row to row).
void directoryPath(const QString &path, QString &directory)
{
    directory.truncate(0);
    directory.append(path);
    if (!directory.endsWith(u'/'))
        directory.append(u'/');
}

// Adds the node of one shown row (or run of rows) and tags it with tagRow.
void addRow(KeyedTreeModel &tree, const QString &path, int picture, int tagRow)
{
    if (const int node = modTree::AddPathToTree(path, tree, RootText, 1, int16_t(picture)))
        tree.SetTag(node, tagRow);
}

} // namespace

int RightPicture(const QString &right)
{
    int picture = PictureCount;
    for (size_t i = 0; i < RightWords.size(); ++i)
        if (right.contains(QLatin1String(RightWords[i]), Qt::CaseInsensitive))
            picture = int(i) + 1;
    return picture;
}

QString RightsFilter(const std::array<bool, 6> &ticked)
{
    QString filter;
    for (size_t i = 0; i < RightWords.size(); ++i)
        if (ticked[i])
            filter += QStringLiteral("Right LIKE '%%1%' OR ").arg(QLatin1String(RightWords[i]));
    filter.chop(filter.isEmpty() ? 0 : 4);
    return filter;
}

bool DepthShows(const QString &path, double depth)
{
    const bool rooted = path.startsWith(u'/') && !path.startsWith(QStringLiteral("//"));
    const double limit = depth + (rooted ? 1 : 3);
    return depth == 99 || double(path.count(u'/')) <= limit;
}

void BuildTree(KeyedTreeModel &tree, const QStringList &paths, const QStringList &rights, const QString &depthText,
               bool mergeEqualPaths, support::ProgressBar &progress, support::StatusLabel &status)
{
    status.setCaption(QStringLiteral("Adding the directories to the tree..."));
    progress.setValue(0);
    if (!paths.isEmpty()) {
        progress.setMax(paths.size());
    } else {
        progress.setMax(1);
        progress.setValue(1);
    }
    support::DoEvents();

    const double depth = support::Val(depthText);
    KeyedTreeModel::Bulk bulk(tree);
    tree.Clear();
    tree.Reserve(paths.size());
    // Rights repeat from row to row: each text's picture is worked out once.
    std::unordered_map<QString, int, support::TextHash> pictures;
    const auto pictureOf = [&pictures](const QString &right) {
        auto found = pictures.find(right);
        if (found == pictures.end())
            found = pictures.emplace(right, RightPicture(right)).first;
        return found->second;
    };
    QString path;
    const qsizetype count = std::min(paths.size(), rights.size());
    for (qsizetype i = 0; i < count;) {
        directoryPath(paths[i], path);
        if (!DepthShows(path, depth)) {
            progress.setValue(double(++i));
            continue;
        }
        qsizetype runEnd = i + 1;
        if (mergeEqualPaths)
            while (runEnd < count && paths[runEnd] == paths[i])
                ++runEnd;
        int best = 0;
        qsizetype tagRow = i;
        for (qsizetype j = i; j < runEnd; ++j) {
            const int picture = pictureOf(rights[j]);
            if (picture != PictureCount && picture > best) {
                best = picture;
                tagRow = j;
            }
        }
        addRow(tree, path, best == 0 ? PictureCount : best, int(tagRow + 1));
        i = runEnd;
        progress.setValue(double(i));
    }
    if (tree.Count() == 0)
        modTree::AddPathToTree(NoItemsText, tree, NoItemsText, 1, 1);
    status.setCaption(QStringLiteral("Analyses build successfully."));
}

QString NodeRight(const KeyedTreeModel &tree, int node, const QStringList &rights)
{
    const KeyedTreeModel::Node &shown = tree.At(node);
    if (shown.tag < 1 || shown.tag > rights.size())
        return QStringLiteral("None");
    const QString &right = rights[shown.tag - 1];
    return shown.image == PictureCount ? QStringLiteral("Unknown (") + right + u')' : right;
}

std::optional<QString> DirectoryOf(const KeyedTreeModel &tree, int node)
{
    QStringList components;
    for (int n = node; tree.At(n).parent != 0; n = tree.At(n).parent)
        components.prepend(tree.At(n).text);
    if (components.isEmpty())
        return std::nullopt;
    return u'/' + components.join(u'/');
}

} // namespace modRightsTree
