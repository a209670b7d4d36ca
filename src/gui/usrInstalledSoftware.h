#pragma once

#include "analysis/clsProgram.h"
#include "gui/AnalysisList.h"

#include <QList>

#include <optional>

class QLineEdit;
class frmSelect;

// The installed-software view: one row per program per computer, narrowed by a computer filter
// and a program filter, sortable by any column and exported as CSV.
class usrInstalledSoftware : public AnalysisList {
    Q_OBJECT

public:
    explicit usrInstalledSoftware(QWidget *parent = nullptr);

    // Resets both filters and reads the inventory again; the analysis window calls it each time
    // the view's tab is shown. A failed read keeps the records, the filters and the rows.
    void LoadControl();
    // Takes from colAllPrograms the records that pass both filters, then refills the list.
    void FilterList();
    // Refills the list from colShownPrograms.
    void AddProgramsToList();

    QLabel *lblInstalledSoftware = nullptr;
    QFrame *Line3 = nullptr;
    QFrame *Line4 = nullptr;
    QLabel *lblComputer = nullptr;
    QLineEdit *txtComputer = nullptr;
    QPushButton *cmdSelectComputer = nullptr;
    QLabel *lblProgram = nullptr;
    QLineEdit *txtProgram = nullptr;
    QPushButton *cmdSelectProgram = nullptr;
    platform::listview::ListView *lstViewSoftware = nullptr;

    // Every record the last load read, and those the filters let through (absent until the
    // first successful load).
    QList<clsProgram> colAllPrograms;
    std::optional<QList<clsProgram>> colShownPrograms;

private:
    void LoadInstalledSoftware();
    void cmdSelectComputer_Click();
    void cmdSelectProgram_Click();
    // Lets the user pick a row in the pick list; a chosen row becomes filter's text and the
    // list is filtered again.
    void SelectFilter(QLineEdit *filter, const QString &strCaption, void (frmSelect::*fill)());
};
