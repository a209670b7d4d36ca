#include "platform/listview/widgets/ListBox.h"

namespace platform::listview {

ListBox::ListBox(QWidget *parent) : QListView(parent)
{
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int ListBox::ListCount() const { return model() ? model()->rowCount() : 0; }

QString ListBox::List(int index) const { return model()->index(index, 0).data().toString(); }

bool ListBox::Selected(int index) const { return selectionModel()->isRowSelected(index, {}); }

void ListBox::setSelected(int index, bool selected)
{
    selectionModel()->select(model()->index(index, 0),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

int ListBox::ListIndex() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void ListBox::setListIndex(int index)
{
    selectionModel()->setCurrentIndex(model()->index(index, 0), QItemSelectionModel::NoUpdate);
}

} // namespace platform::listview
