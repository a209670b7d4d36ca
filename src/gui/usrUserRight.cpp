#include "gui/usrUserRight.h"

#include "analysis/clsAnalysis.h"
#include "gui/Design.h"
#include "shell/frmSettings.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {
const RightsView::Kind UserKind = {
    "lblUserRight", "Access rights per single user", "Select a network user", "txtUser",
    "<Select an user>", "cmdSelectUser", "Number of subdirectories to show:", 360,
    "Network users", "Select an user",
    "Please select first an user to view the access rights of that user.", "Select user", true,
};
} // namespace

usrUserRight::usrUserRight(QWidget *parent)
    : RightsView(UserKind, parent), lblUserRight(m_title), txtUser(m_choice), cmdSelectUser(m_picker)
{
    chkRelatedGroups = design::make<QCheckBox>(this, "chkRelatedGroups",
                                               "Show also the rights of the related network groups", 240, 1440,
                                               5000, 255);
    chkRelatedGroups->setChecked(true);
    txtSubDirs->installEventFilter(this);
}

QString usrUserRight::StoredDepth() { return frmSettings::Instance().GetNetworkuserSubdirCount(); }

void usrUserRight::StoreDepth(int16_t depth) { frmSettings::Instance().SetNetworkuserSubdirCount(depth); }

std::optional<QStringList> usrUserRight::LoadList()
{
    QList<clsUser> users;
    clsAnalysis objAnalysis;
    if (objAnalysis.GetUsers(frmSettings::Instance().GetDatabasePath(), users, *m_bar, *m_status) == 0)
        return std::nullopt;
    m_bar->setValue(m_bar->Max());
    m_status->setCaption(QStringLiteral("List of available users loaded."));
    QStringList names;
    for (const clsUser &user : users)
        names << user.Username();
    return names;
}

int32_t usrUserRight::Query(const QString &database, const QString &filter, const QString &name, QStringList &paths,
                            QStringList &rights)
{
    clsAnalysis objAnalysis;
    return objAnalysis.GetUserRights(database, filter, name, paths, rights, *m_bar, *m_status, txtDirectories->text(),
                                     chkRelatedGroups->isChecked());
}

// The depth box takes the digits 0 to 9, the point and Backspace; other typed characters are
// dropped without a sound (digits of other scripts too: the depth reads only 0 to 9). Keys that
// type nothing (Tab, the arrows) keep their work.
bool usrUserRight::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtSubDirs && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        const auto refused = [](QChar c) { return c.isPrint() && !(c >= u'0' && c <= u'9') && c != u'.'; };
        if (std::any_of(typed.cbegin(), typed.cend(), refused))
            return true;
    }
    return RightsView::eventFilter(watched, event);
}
