#include "platform/userstore/UserStore.h"

#include "platform/ini/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace platform::userstore {

namespace {

QString configHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

// Keys may hold any character, while an INI key cannot hold "=", "[", line breaks, comment
// characters or outer blanks: percent-encode everything outside a safe set.
QString encodeKey(const QString &key)
{
    return QString::fromLatin1(key.toUtf8().toPercentEncoding("/\\:()"));
}

} // namespace

QString StoreFile(const QString &application)
{
    return configHome() + u'/' + application + u'/' + application + QStringLiteral(".conf");
}

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    return ini::ReadValue(section, encodeKey(key), defaultValue, StoreFile(application), Qt::CaseSensitive);
}

bool SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value)
{
    const QString file = StoreFile(application);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    return ini::WriteValue(section, encodeKey(key), value, file, Qt::CaseSensitive);
}

bool DeleteSetting(const QString &application, const QString &section, const QString &key)
{
    return ini::DeleteValue(section, encodeKey(key), StoreFile(application), Qt::CaseSensitive);
}

} // namespace platform::userstore
