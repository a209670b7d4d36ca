#pragma once

#include <QString>

namespace platform::userstore {

// The per-user store: small values kept per application, section and key for the user who runs
// the program. They live in $XDG_CONFIG_HOME/<application>/<application>.conf (by default under
// ~/.config), an INI file that is read again on every call, so a value written by a second
// process is seen at the next read. Keys may be any text, full paths included; they are matched
// exactly. A store that cannot be read gives the default; a failed write is reported by the
// result only.

QString GetSetting(const QString &application, const QString &section, const QString &key,
                   const QString &defaultValue = {});
bool SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value);
bool DeleteSetting(const QString &application, const QString &section, const QString &key);

// The file that holds the application's values.
QString StoreFile(const QString &application);

} // namespace platform::userstore
