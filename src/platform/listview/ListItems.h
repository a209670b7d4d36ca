#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace platform::listview {

enum ListSortOrder : int { lvwAscending = 0, lvwDescending = 1 };

// The rows of a list in report view: each row is its own text followed by its sub-items, one
// per column. Sorting is always on: the rows are kept ordered by the text of column SortKey in
// the direction SortOrder, comparing without regard to letter case. Rows with equal texts keep
// their order, so sorting on one column and then another orders by both.
//
// The texts are asked for when they are needed (the rows in view, a sort, an export): a list of
// many thousands of records is filled without making every text of every row.
class ListItems : public QAbstractTableModel {
    Q_OBJECT

public:
    // The text of a row (counted from 0 in the order of the fill) in a column.
    using Texts = std::function<QString(int row, int column)>;

    explicit ListItems(QStringList columnHeaders, QObject *parent = nullptr);

    // Replaces every row with count rows whose texts come from texts, in the list's sort order.
    void Fill(int count, Texts texts);
    int Count() const { return int(m_order.size()); }
    // The text in column of the row shown at index (from 0), in the current order.
    QString Text(int index, int column) const { return m_texts(m_order[size_t(index)], column); }
    // Every text of the row shown at index.
    QStringList Item(int index) const;

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
    // The texts of the rows as they were given, and the order in which they are shown: sorting
    // moves only positions, and reads the rows in the order they were given.
    Texts m_texts;
    std::vector<int> m_order;
    int m_sortKey = 0;
    int m_sortOrder = lvwAscending;
    QVariant m_image;
};

} // namespace platform::listview
