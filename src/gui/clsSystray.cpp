#include "gui/clsSystray.h"

#include "platform/shell/widgets/NotifyArea.h"
#include "Version.h"

using platform::shell::CurrentNotifyArea;

void clsSystray::SysTray(const QIcon &oIcon) { CurrentNotifyArea().Show(oIcon, TipText()); }

void clsSystray::ModifyIcon(const QIcon &oIcon)
{
    if (CurrentNotifyArea().IsShown())
        CurrentNotifyArea().SetIcon(oIcon);
}

void clsSystray::CleanUpSystray() { CurrentNotifyArea().Remove(); }

QString clsSystray::TipText()
{
    return QString::fromUtf8(support::ProgramTitle) + u'\n' + QStringLiteral("Version ")
        + QString::fromUtf8(support::VersionText);
}
