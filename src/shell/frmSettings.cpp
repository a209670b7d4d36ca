#include "shell/frmSettings.h"

#include "platform/directory/DirectoryService.h"
#include "platform/ini/IniFile.h"
#include "support/Error.h"
#include "support/NumericText.h"
#include "support/ProgramFolder.h"

namespace {
const QString Options = QStringLiteral("Options");
const QString Directories = QStringLiteral("Directories");
} // namespace

frmSettings &frmSettings::Instance()
{
    static frmSettings instance;
    return instance;
}

QString frmSettings::SettingsFile()
{
    strAppPath = support::ProgramFolder();
    return strAppPath + QStringLiteral("Quillmere.ini");
}

// Values are read whole. (A fixed read buffer would cut long paths, and the scan window's full
// rewrite would then store the cut text for good.)
QString frmSettings::ReadOption(const QString &key, const QString &defaultValue)
{
    return platform::ini::ReadValue(Options, key, defaultValue, SettingsFile());
}

// A failed write is not reported: the next read shows what the file really holds.
void frmSettings::WriteOption(const QString &key, const QString &value)
{
    platform::ini::WriteValue(Options, key, value, SettingsFile());
}

QString frmSettings::GetDatabasePath()
{
    return ReadOption(QStringLiteral("DatabasePath"), support::ProgramFolder() + QStringLiteral("NetworkInfo.mdb"));
}

QString frmSettings::GetDomain()
{
    const QString domain = ReadOption(QStringLiteral("Domain"), QString());
    if (!domain.isEmpty())
        return domain;
    const QStringList domains = platform::directory::Current().Domains();
    return domains.isEmpty() ? QString() : domains.first();
}

QString frmSettings::GetMinimizeToTray() { return ReadOption(QStringLiteral("MinimizeToTray"), QStringLiteral("0")); }

QString frmSettings::GetNoPing() { return ReadOption(QStringLiteral("NoPing"), QStringLiteral("0")); }

QString frmSettings::GetShowQuickStart() { return ReadOption(QStringLiteral("ShowQuickStart"), QStringLiteral("1")); }

QString frmSettings::GetNetworkgroupSubdirCount()
{
    return ReadOption(QStringLiteral("NetworkgroupSubdirCount"), QStringLiteral("3"));
}

QString frmSettings::GetNetworkuserSubdirCount()
{
    return ReadOption(QStringLiteral("NetworkuserSubdirCount"), QStringLiteral("3"));
}

QString frmSettings::GetCheckForUpdates() { return ReadOption(QStringLiteral("CheckForUpdates"), QStringLiteral("0")); }

QString frmSettings::GetScheduledScan() { return ReadOption(QStringLiteral("ScheduledScan"), QStringLiteral("0")); }

QString frmSettings::GetScheduledTime() { return ReadOption(QStringLiteral("ScheduledTime"), QString()); }

QStringList frmSettings::GetDirectories()
{
    const QString file = SettingsFile();
    const QString countText = platform::ini::ReadValue(Directories, QStringLiteral("DirectoryCount"), QStringLiteral("0"), file);
    // A count beyond the 16-bit range is no real list of roots but a damaged file: no roots.
    int16_t count = 0;
    try {
        count = support::CInt(support::Val(countText));
    } catch (const support::Error &) {
        count = 0;
    }
    QStringList directories;
    for (int i = 1; i <= count; ++i)
        directories << platform::ini::ReadValue(Directories, QStringLiteral("Directory") + QString::number(i), QString(), file);
    return directories;
}

void frmSettings::SetShowQuickStart(int16_t intQuickStart)
{
    WriteOption(QStringLiteral("ShowQuickStart"), intQuickStart == 1 ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmSettings::SetNetworkgroupSubdirCount(int16_t intCount)
{
    WriteOption(QStringLiteral("NetworkgroupSubdirCount"), QString::number(intCount));
}

void frmSettings::SetNetworkuserSubdirCount(int16_t intCount)
{
    WriteOption(QStringLiteral("NetworkuserSubdirCount"), QString::number(intCount));
}
