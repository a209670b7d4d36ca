#include "gui/usrUserInformation.h"

#include "analysis/modListView.h"
#include "gui/ViewLoad.h"
#include "shell/frmSettings.h"

usrUserInformation::usrUserInformation(QWidget *parent)
    : AnalysisList({QStringLiteral("Username,Disabled,Pwd never expires,Last login"),
                    {0, 2, 3, 4},
                    QStringLiteral("Error while exporting the list of users. ")},
                   parent)
{
    lblUserInformation = MakeTitle("lblUserInformation", "User details", 660);
    lstViewUsers = MakeList("lstViewUsers",
                            {QStringLiteral("Username"), QStringLiteral("Userpath"), QStringLiteral("Account disabled"),
                             QStringLiteral("Password never expires"), QStringLiteral("Last login")},
                            ":/icons/user.png");
}

void usrUserInformation::LoadControl()
{
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    objAnalysis = std::make_unique<clsAnalysis>();
    FillUserList();
}

void usrUserInformation::FillUserList()
{
    QList<clsUser> colUsers;
    if (objAnalysis->GetUsers(frmSettings::Instance().GetDatabasePath(), colUsers, *m_progress, *m_progressLabel) == 0)
        return;
    ShowRows(
        int(colUsers.size()), [colUsers](int row, int column) { return modListView::UserText(colUsers[row], column); },
        QStringLiteral("List of users loaded."));
}
