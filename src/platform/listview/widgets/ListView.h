#pragma once

#include "platform/listview/ListItems.h"

#include <QTreeView>

#include <vector>

namespace platform::listview {

// A list in report view: a header of column captions over rows of texts with a picture beside
// each row's own text. A click on a column header is reported as ColumnClick with the header's
// number (from 1); the view sorts only as its owner sets SortKey and SortOrder.
class ListView : public QTreeView {
    Q_OBJECT

public:
    ListView(const QStringList &columnHeaders, const QIcon &image, QWidget *parent = nullptr);

    ListItems &Items() { return m_items; }
    const ListItems &Items() const { return m_items; }

signals:
    void ColumnClick(int number);

private:
    void ShowSortIndicator();
    void FitColumns();
    // The width the widest columns get so that columns of the wanted widths fill room at most.
    static int WidestColumn(std::vector<int> wanted, int room);

    ListItems m_items;
    bool m_fitted = false;
};

} // namespace platform::listview
