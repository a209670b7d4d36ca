#include "platform/listview/ListItems.h"

#include <algorithm>
#include <numeric>

namespace platform::listview {

ListItems::ListItems(QStringList columnHeaders, QObject *parent)
    : QAbstractTableModel(parent), m_headers(std::move(columnHeaders))
{
}

void ListItems::Fill(std::vector<QStringList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    Sort(false);
    endResetModel();
}

void ListItems::setSortKey(int column)
{
    if (column == m_sortKey)
        return;
    m_sortKey = column;
    Sort(true);
}

void ListItems::setSortOrder(int order)
{
    if (order == m_sortOrder)
        return;
    m_sortOrder = order;
    Sort(true);
}

std::vector<int> ListItems::SortedPositions() const
{
    std::vector<int> positions(m_rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    const auto text = [this](int position) -> const QString & {
        static const QString none;
        const QStringList &row = m_rows[size_t(position)];
        return m_sortKey >= 0 && m_sortKey < row.size() ? row[m_sortKey] : none;
    };
    const bool descending = m_sortOrder == lvwDescending;
    std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int order = QString::compare(text(a), text(b), Qt::CaseInsensitive);
        return descending ? order > 0 : order < 0;
    });
    return positions;
}

void ListItems::Sort(bool notify)
{
    const std::vector<int> positions = SortedPositions();
    if (notify)
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<QStringList> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        sorted.push_back(std::move(m_rows[size_t(positions[i])]));
        newRowOf[size_t(positions[i])] = int(i);
    }
    m_rows = std::move(sorted);
    if (!notify)
        return;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex &index : before)
        after << this->index(newRowOf[size_t(index.row())], index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ListItems::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : Count(); }

int ListItems::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant ListItems::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Item(index.row()).value(index.column());
    if (role == Qt::DecorationRole && index.column() == 0)
        return m_image;
    return {};
}

QVariant ListItems::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return {};
}

} // namespace platform::listview
