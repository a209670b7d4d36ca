#include "gui/frmSelect.h"

#include "analysis/clsAnalysis.h"
#include "gui/Design.h"
#include "gui/Resources.h"
#include "platform/listview/widgets/ListBox.h"
#include "shell/frmSettings.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>

using design::make;
using design::px;
using platform::listview::ListBox;

namespace {
const QString All = QStringLiteral("All");
constexpr int SearchListTop = 840;
constexpr int FullListTop = 480;
constexpr int ListGap = 90;
} // namespace

frmSelect::frmSelect(QWidget *parent) : QDialog(parent)
{
    LoadResources();
    setFont(QFont(QStringLiteral("Arial"), 8));
    lblTitle = make<QLabel>(this, "lblTitle", "Select a computer", 240, 120, 5000, 285);
    lblTitle->setFont(design::boldened(QFont(QStringLiteral("Arial"), 9)));
    imgSearch = design::makePicture(this, "imgSearch", ":/icons/search.png", 195, 465, 255, 255);
    lblSearch = make<QLabel>(this, "lblSearch", "Search", 550, 480, 700, 285);
    txtSearch = make<QLineEdit>(this, "txtSearch", "", 1320, 480, 3855, 285);
    design::nameAfter(txtSearch, lblSearch);
    lstItems = make<ListBox>(this, "lstItems", "", 195, SearchListTop, 5050, 5165);
    lstItems->setSelectionMode(QAbstractItemView::MultiSelection);
    lstSelectOne = make<ListBox>(this, "lstSelectOne", "", 195, SearchListTop, 5050, 5165);
    for (ListBox *list : {lstItems, lstSelectOne})
        list->setModel(&m_rows);
    cmdOK = make<QPushButton>(this, "cmdOK", "&OK", 3000, 6000, 1050, 375);
    cmdCancel = make<QPushButton>(this, "cmdCancel", "&Cancel", 4200, 6000, 1050, 375);
    // Enter belongs to the search box: it must not press a default button when nothing matches.
    for (QPushButton *button : {cmdOK, cmdCancel})
        button->setAutoDefault(false);
    setMinimumSize(px(1900 - design::ChromeWidth), px(1500 - design::ChromeHeight));
    resize(px(5550 - design::ChromeWidth), px(7025 - design::ChromeHeight));

    connect(txtSearch, &QLineEdit::textChanged, this, &frmSelect::FillLists);
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmSelect::txtSearch_Enter);
    connect(lstSelectOne, &QAbstractItemView::doubleClicked, this, &frmSelect::cmdOK_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmSelect::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    Form_Resize();
}

void frmSelect::SetCollection(QStringList *colItems, const QString &strTitle, bool blnSearch)
{
    lblTitle->setText(strTitle);
    m_rows.setStringList({});
    m_search = blnSearch;
    for (QWidget *searchOnly : std::initializer_list<QWidget *>{lblSearch, txtSearch, lstSelectOne, imgSearch})
        searchOnly->setVisible(blnSearch);
    // In search mode the single-choice list covers the result list, which takes no input then.
    lstItems->setVisible(!blnSearch);
    if (!blnSearch) {
        if (colItems)
            colItems->prepend(All);
        lstItems->move(lstItems->x(), px(FullListTop));
        Form_Resize();
    }
    colListItems = colItems;
    FillLists();
}

void frmSelect::LoadComputers() { LoadDistinct(false); }

void frmSelect::LoadPrograms() { LoadDistinct(true); }

void frmSelect::LoadDistinct(bool programs)
{
    clsAnalysis objAnalysis;
    const QString database = frmSettings::Instance().GetDatabasePath();
    if (programs)
        objAnalysis.GetPrograms(database, m_loaded);
    else
        objAnalysis.GetComputers(database, m_loaded);
    m_loaded.prepend(programs ? QStringLiteral("All programs") : QStringLiteral("All computers"));
    SetCollection(&m_loaded, programs ? QStringLiteral("Select a program") : QStringLiteral("Select a computer"), true);
}

std::optional<QString> frmSelect::FirstSelected() const
{
    for (int i = 0; i < lstItems->ListCount(); ++i)
        if (lstItems->Selected(i))
            return lstItems->List(i);
    return std::nullopt;
}

// Both lists always hold the same rows: the items that hold the search text, letter case
// ignored. Empty items are never shown.
void frmSelect::FillLists()
{
    QStringList shown;
    const QString search = txtSearch->text();
    for (const QString &item : colListItems ? *colListItems : QStringList()) {
        if (!item.isEmpty() && item.contains(search, Qt::CaseInsensitive))
            shown << item;
    }
    m_rows.setStringList(shown);
}

// Enter takes the first row that matches; with none, it does nothing.
void frmSelect::txtSearch_Enter()
{
    if (lstSelectOne->ListCount() == 0)
        return;
    lstSelectOne->setListIndex(0);
    lstSelectOne->setSelected(0, true);
    cmdOK_Click();
}

void frmSelect::cmdOK_Click()
{
    m_selected = true;
    CopySelection();
    accept();
}

// In search mode the choice is made in lstSelectOne and handed to lstItems, where callers read
// it. Which mode is shown is the caller's flag, never the first item's text: a group named
// "All" is a choice like any other.
void frmSelect::CopySelection()
{
    if (!colListItems || colListItems->isEmpty() || !m_search)
        return;
    lstItems->setListIndex(-1);
    lstItems->clearSelection();
    for (int i = 0; i < lstSelectOne->ListCount(); ++i) {
        if (!lstSelectOne->Selected(i))
            continue;
        lstItems->setSelected(i, true);
        lstItems->setListIndex(i);
    }
}

// The close box hides the dialog like Cancel: the choice is handed over, but selected() stays
// false.
void frmSelect::closeEvent(QCloseEvent *event)
{
    CopySelection();
    QDialog::closeEvent(event);
}

void frmSelect::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmSelect::Form_Resize()
{
    const int width = this->width() + px(design::ChromeWidth);
    const int height = this->height() + px(design::ChromeHeight);
    // The lists stop a little short of the buttons' line, which the rule lets them touch.
    for (ListBox *list : {lstItems, lstSelectOne})
        list->setGeometry(list->x(), list->y(), width - px(500), height - list->y() - px(1020 + ListGap));
    cmdCancel->move(width - cmdCancel->width() - px(300), height - cmdCancel->height() - px(650));
    cmdOK->move(cmdCancel->x() - cmdOK->width() - px(150), cmdCancel->y());
    txtSearch->resize(lstItems->x() + lstItems->width() - txtSearch->x(), txtSearch->height());
}
