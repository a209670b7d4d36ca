#pragma once

#include <QDialog>
#include <QStringList>
#include <QStringListModel>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform::listview {
class ListBox;
}

// The modal pick list of the analysis views. In search mode it shows a search box over a
// single-choice list that narrows as the user types; in list mode one list of several choices
// whose first row is "All". The caller sets the caption, fills it (SetCollection, LoadComputers
// or LoadPrograms), runs exec(), then reads selected() and the rows of lstItems.
class frmSelect : public QDialog {
    Q_OBJECT

public:
    explicit frmSelect(QWidget *parent = nullptr);

    // Shows colItems under the title strTitle. The dialog works on the caller's own list, which
    // it must outlive: list mode (blnSearch false) puts "All" before its first item. nullptr shows
    // empty lists.
    void SetCollection(QStringList *colItems, const QString &strTitle, bool blnSearch = false);
    // Search mode over the distinct computers (programs) of the results database, with the first
    // row "All computers" ("All programs"). A failed read is not reported: the names read before
    // it are shown.
    void LoadComputers();
    void LoadPrograms();

    // True only after OK (the button, a double-click on a row or Enter in the search box).
    bool selected() const { return m_selected; }
    // The text of the first selected row of lstItems, if any.
    std::optional<QString> FirstSelected() const;

    QLabel *lblTitle = nullptr;
    QLabel *lblSearch = nullptr;
    QLineEdit *txtSearch = nullptr;
    QLabel *imgSearch = nullptr;
    platform::listview::ListBox *lstSelectOne = nullptr;
    platform::listview::ListBox *lstItems = nullptr; // the result, rows in the order of the collection
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void LoadDistinct(bool programs);
    void FillLists();
    void txtSearch_Enter();
    void cmdOK_Click();
    void CopySelection();
    void Form_Resize();

    QStringList *colListItems = nullptr;
    QStringListModel m_rows; // the rows of both lists, which always hold the same
    QStringList m_loaded; // the list LoadComputers and LoadPrograms read
    bool m_search = false;
    bool m_selected = false;
};
