#pragma once

#include "gui/AnalysisList.h"

#include <QList>

class clsUser;

// The user details view: every scanned network user with the user's path, the two account
// flags and the last login, sortable by any column and exported as CSV.
class usrUserInformation : public AnalysisList {
    Q_OBJECT

public:
    explicit usrUserInformation(QWidget *parent = nullptr);

    // Reads the users again and refills the list; the analysis window calls it each time the
    // view's tab is shown. A failed read keeps the rows the list had.
    void LoadControl();

    QLabel *lblUserInformation = nullptr;
    platform::listview::ListView *lstViewUsers = nullptr;

private:
    void FillUserList();
};
