#include "gui/usrGroupsRight.h"

#include "analysis/clsAnalysis.h"
#include "shell/frmSettings.h"

#include <QLineEdit>

namespace {
const RightsView::Kind GroupKind = {
    "lblGroupRight", "Access rights per user group", "Select a network group", "txtGroup",
    "<Select a network group>", "cmdSelectGroup", "Number of sub/directories to show:", 0,
    "Network groups", "Select a network group",
    "Please select first an network group to view the access rights of that group.", "Select networkgroup", false,
};
} // namespace

usrGroupsRight::usrGroupsRight(QWidget *parent)
    : RightsView(GroupKind, parent), lblGroupRight(m_title), txtGroup(m_choice), cmdSelectGroup(m_picker)
{
}

QString usrGroupsRight::StoredDepth() { return frmSettings::Instance().GetNetworkgroupSubdirCount(); }

void usrGroupsRight::StoreDepth(int16_t depth) { frmSettings::Instance().SetNetworkgroupSubdirCount(depth); }

// The groups that hold rights; the status label tells how the read went.
std::optional<QStringList> usrGroupsRight::LoadList()
{
    QStringList groups;
    clsAnalysis objAnalysis;
    if (objAnalysis.GetUsedGroups(frmSettings::Instance().GetDatabasePath(), groups, *m_bar, *m_status) == 0)
        return std::nullopt;
    m_bar->setValue(m_bar->Max());
    m_status->setCaption(QStringLiteral("List of available network groups loaded."));
    return groups;
}

int32_t usrGroupsRight::Query(const QString &database, const QString &filter, const QString &name,
                              QStringList &paths, QStringList &rights)
{
    clsAnalysis objAnalysis;
    return objAnalysis.GetDirectoryRights(database, filter, name, paths, rights, *m_bar, *m_status,
                                          txtDirectories->text());
}
