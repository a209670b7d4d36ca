#include "shell/frmSettings.h"

#include "platform/directory/DirectoryService.h"
#include "platform/ini/IniFile.h"
#include "support/NumericText.h"
#include "support/ProgramFolder.h"

#include <QRegularExpression>

#include <map>

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

QStringList frmSettings::GetDirectories() { return DirectoriesIn(platform::ini::Snapshot(SettingsFile())); }

QStringList frmSettings::DirectoriesIn(const platform::ini::Snapshot &settings)
{
    const double count = support::Val(settings.Value(Directories, QStringLiteral("DirectoryCount"), QStringLiteral("0")));
    QStringList directories;
    // A count that no 16-bit number holds, or one that rounds to a number below zero, is a
    // damaged file rather than a list: every Directory key there is is taken, in the order of its
    // number, so that a rewrite of the file keeps them all.
    if (count < -0.5 || count >= 32767.5) {
        std::map<qlonglong, QString> numbered;
        static const QRegularExpression directoryKey(QStringLiteral("^Directory([1-9][0-9]{0,17})$"),
                                                     QRegularExpression::CaseInsensitiveOption);
        for (const QString &key : settings.Keys(Directories)) {
            if (const auto match = directoryKey.match(key); match.hasMatch())
                numbered.emplace(match.captured(1).toLongLong(), settings.Value(Directories, key, QString()));
        }
        for (const auto &[number, directory] : numbered)
            directories << directory;
        return directories;
    }
    const int16_t n = support::CInt(count);
    for (int i = 1; i <= n; ++i)
        directories << settings.Value(Directories, QStringLiteral("Directory") + QString::number(i), QString());
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
