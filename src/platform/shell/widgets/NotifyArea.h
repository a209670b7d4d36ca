#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace platform::shell {

// The desktop's notification area, holding at most one icon of the program's. The real one is a
// QSystemTrayIcon; tests install their own to stand in for a desktop with or without such an area.
class NotifyArea : public QObject {
    Q_OBJECT

public:
    // The mouse message of the left button released over the icon.
    static constexpr int LeftButtonUp = 514;

    virtual bool IsAvailable() const = 0;
    // Puts the icon into the area, or updates the one that is there.
    virtual void Show(const QIcon &icon, const QString &tip) = 0;
    virtual void SetIcon(const QIcon &icon) = 0;
    virtual void Remove() = 0;
    virtual bool IsShown() const = 0;

signals:
    // A mouse message over the icon, numbered as the window messages are (LeftButtonUp, ...).
    void MouseMessage(int message);
    // The icon's menu asked for the window back: some areas open the menu on any click and never
    // report a left click.
    void RestoreRequested();
};

// The system's notification area through QSystemTrayIcon; one icon for the program's life. The
// program installs one that lives as long as its application object.
class SystemTrayArea : public NotifyArea {
    Q_OBJECT

public:
    SystemTrayArea();
    ~SystemTrayArea() override;

    bool IsAvailable() const override;
    void Show(const QIcon &icon, const QString &tip) override;
    void SetIcon(const QIcon &icon) override;
    void Remove() override;
    bool IsShown() const override;

private:
    QSystemTrayIcon &Icon();

    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

// A desktop without a notification area: nothing can be put there.
class NoNotifyArea : public NotifyArea {
    Q_OBJECT

public:
    bool IsAvailable() const override { return false; }
    void Show(const QIcon &, const QString &) override {}
    void SetIcon(const QIcon &) override {}
    void Remove() override {}
    bool IsShown() const override { return false; }
};

// The area in use: the one installed by the program or a test (not owned), else none.
NotifyArea &CurrentNotifyArea();
void InstallNotifyArea(NotifyArea *area);

} // namespace platform::shell
