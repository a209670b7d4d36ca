#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace platform::listview {

enum ListSortOrder : int { lvwAscending = 0, lvwDescending = 1 };

// The rows of a list in report view: each row is its own text followed by its sub-items, one
// per column. Sorting is always on: the rows are kept ordered by the text of column SortKey in
// the direction SortOrder, comparing without regard to letter case. Rows with equal texts keep
// their order, so sorting on one column and then another orders by both.
class ListItems : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ListItems(QStringList columnHeaders, QObject *parent = nullptr);

    // Replaces every row with rows, in the list's sort order.
    void Fill(std::vector<QStringList> rows);
    int Count() const { return int(m_order.size()); }
    // The row shown at index (from 0), in the current order.
    const QStringList &Item(int index) const { return m_rows[size_t(m_order[size_t(index)])]; }

    int SortKey() const { return m_sortKey; }
    void setSortKey(int column);
    int SortOrder() const { return m_sortOrder; }
    void setSortOrder(int order);

    // The picture every row shows beside its text (a QIcon, made by the widget side).
    void setImage(const QVariant &image) { m_image = image; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Sorts the rows; with views attached, selections and the current row follow their rows.
    void Sort(bool notify);
    // The rows' order that SortKey and SortOrder give, starting from the order shown.
    std::vector<int> SortedOrder() const;

    QStringList m_headers;
    // The rows as they were added, and the order in which they are shown: sorting moves only
    // positions, and reads the rows in the order they lie in memory.
    std::vector<QStringList> m_rows;
    std::vector<int> m_order;
    int m_sortKey = 0;
    int m_sortOrder = lvwAscending;
    QVariant m_image;
};

} // namespace platform::listview
