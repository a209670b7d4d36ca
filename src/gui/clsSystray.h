#pragma once

#include <QIcon>
#include <QString>

// The program's icon in the desktop's notification area, shown while the main window waits there
// minimised. The clicks on it reach the main window through the notification area's signals.
class clsSystray {
public:
    // Puts oIcon into the notification area, with the program's name and version as its tip.
    void SysTray(const QIcon &oIcon);
    // Changes the picture of the icon that is shown; its tip stays.
    void ModifyIcon(const QIcon &oIcon);
    // Removes the icon; nothing happens when none is shown.
    void CleanUpSystray();

    // "Quill Mere", a line break, "Version " and Major.Minor.Revision.
    static QString TipText();
};
