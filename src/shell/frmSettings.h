#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace platform::ini {
class Snapshot;
}

// The program-wide settings service: every accessor reads or writes one key of Quillmere.ini in
// the program folder. Nothing is cached, so a change by one writer (or by hand) is seen by the
// next read anywhere in the program. Reading never needs the file to exist: a missing file,
// section or key gives the key's default.
class frmSettings {
public:
    // The one instance, made on first use.
    static frmSettings &Instance();

    QString GetDatabasePath();
    // "Domain", or when that is empty the first domain the directory service lists (nothing is
    // written). A directory-service failure reaches the caller.
    QString GetDomain();
    QString GetMinimizeToTray();
    QString GetNoPing();
    QString GetShowQuickStart();
    QString GetNetworkgroupSubdirCount();
    QString GetNetworkuserSubdirCount();
    QString GetCheckForUpdates();
    QString GetScheduledScan();
    QString GetScheduledTime();
    // The root directories: "DirectoryCount" entries "Directory1", "Directory2", ... in order,
    // an empty text for every missing key; read from one reading of the file.
    QStringList GetDirectories();
    // The same from a reading of the settings file that the caller holds. A count below zero or
    // beyond the 16-bit range takes every "Directory" key there is, in the order of its number.
    static QStringList DirectoriesIn(const platform::ini::Snapshot &settings);
    // "1" for exactly 1, "0" for any other value (a check box's grayed state included).
    void SetShowQuickStart(int16_t intQuickStart);
    void SetNetworkgroupSubdirCount(int16_t intCount);
    void SetNetworkuserSubdirCount(int16_t intCount);

    // The settings file: the program folder + "Quillmere.ini".
    QString SettingsFile();

private:
    frmSettings() = default;

    QString ReadOption(const QString &key, const QString &defaultValue);
    void WriteOption(const QString &key, const QString &value);

    QString strAppPath;
};
