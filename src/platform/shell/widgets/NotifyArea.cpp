#include "platform/shell/widgets/NotifyArea.h"

#include "support/Installed.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace platform::shell {

namespace {

// The window messages a click over the icon stands for.
constexpr int RightButtonUp = 517;
constexpr int LeftButtonDoubleClick = 515;
constexpr int MiddleButtonUp = 520;

int mouseMessageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return NotifyArea::LeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return LeftButtonDoubleClick;
    case QSystemTrayIcon::MiddleClick:
        return MiddleButtonUp;
    default:
        return RightButtonUp;
    }
}

} // namespace

SystemTrayArea::SystemTrayArea() = default;

SystemTrayArea::~SystemTrayArea() = default;

bool SystemTrayArea::IsAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QSystemTrayIcon &SystemTrayArea::Icon()
{
    if (!m_icon) {
        m_icon = std::make_unique<QSystemTrayIcon>();
        m_menu = std::make_unique<QMenu>();
        connect(m_menu->addAction(tr("&Restore")), &QAction::triggered, this, &NotifyArea::RestoreRequested);
        m_icon->setContextMenu(m_menu.get());
        connect(m_icon.get(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) { emit MouseMessage(mouseMessageOf(reason)); });
    }
    return *m_icon;
}

void SystemTrayArea::Show(const QIcon &icon, const QString &tip)
{
    Icon().setIcon(icon);
    Icon().setToolTip(tip);
    Icon().show();
}

void SystemTrayArea::SetIcon(const QIcon &icon) { Icon().setIcon(icon); }

void SystemTrayArea::Remove()
{
    if (m_icon)
        m_icon->hide();
}

bool SystemTrayArea::IsShown() const { return m_icon && m_icon->isVisible(); }

NotifyArea &CurrentNotifyArea()
{
    static NoNotifyArea none;
    return support::Installed<NotifyArea>::Or(none);
}

void InstallNotifyArea(NotifyArea *area) { support::Installed<NotifyArea>::Install(area); }

} // namespace platform::shell
