#include "platform/listview/widgets/ListView.h"

#include <QHeaderView>
#include <QIcon>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace platform::listview {

ListView::ListView(const QStringList &columnHeaders, const QIcon &image, QWidget *parent)
    : QTreeView(parent), m_items(columnHeaders)
{
    m_items.setImage(image);
    setModel(&m_items);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // One height for every row: a list of many thousands of rows is laid out without measuring each.
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(true);
    // The header turns its indicator on every click; the owner's sort decides what it shows.
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        emit ColumnClick(section + 1);
        ShowSortIndicator();
    });
    connect(&m_items, &QAbstractItemModel::layoutChanged, this, &ListView::ShowSortIndicator);
    connect(&m_items, &QAbstractItemModel::modelReset, this, &ListView::FitColumns);
    header()->resizeSections(QHeaderView::ResizeToContents);
    ShowSortIndicator();
}

// The first rows give the columns their widths (measured on the rows in view, so a long list
// costs no more); after that the widths stay as the user sets them. Every column stays in view:
// when the texts are wider than the list, the widest columns share what the narrower ones leave,
// and their long texts are elided.
void ListView::FitColumns()
{
    if (m_fitted || m_items.Count() == 0)
        return;
    m_fitted = true;
    const int columns = m_items.columnCount();
    std::vector<int> wanted;
    for (int column = 0; column < columns; ++column)
        wanted.push_back(std::max(sizeHintForColumn(column), header()->sectionSizeHint(column)));
    // The first rows arrive before the vertical scroll bar shows: its room is kept free.
    const int scrollBar = verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int widest = WidestColumn(wanted, viewport()->width() - scrollBar);
    // The last column too: it stretches over what is left, but never below the width it had.
    for (int column = 0; column < columns; ++column)
        setColumnWidth(column, std::min(wanted[size_t(column)], widest));
}

int ListView::WidestColumn(std::vector<int> wanted, int room)
{
    std::sort(wanted.begin(), wanted.end());
    for (size_t i = 0; i < wanted.size(); ++i) {
        const int share = room / int(wanted.size() - i);
        if (wanted[i] > share)
            return share;
        room -= wanted[i];
    }
    return wanted.empty() ? 0 : wanted.back();
}

void ListView::ShowSortIndicator()
{
    header()->setSortIndicator(m_items.SortKey(),
                               m_items.SortOrder() == lvwDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

} // namespace platform::listview
