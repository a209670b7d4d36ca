#pragma once

#include <QListView>
#include <QString>

namespace platform::listview {

// A list box: one column of texts, whose rows, selection and current row its owner reads and
// sets by number (from 0). The rows come from a model that several list boxes may share; each
// keeps its own selection. Rows are laid out as one height, so many thousands cost no more.
class ListBox : public QListView {
    Q_OBJECT

public:
    explicit ListBox(QWidget *parent = nullptr);

    int ListCount() const;
    QString List(int index) const;
    bool Selected(int index) const;
    void setSelected(int index, bool selected);
    // The current row, -1 when there is none.
    int ListIndex() const;
    // Makes index the current row (-1: none) and leaves the selection as it is.
    void setListIndex(int index);
};

} // namespace platform::listview
