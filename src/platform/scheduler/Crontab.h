#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform::scheduler {

// The crontab of the user who runs the program, read and installed whole through the crontab
// command, or a plain file that stands in for it.

// The crontab's content, empty when the user has none yet; nothing when it could not be read
// (no crontab command, use refused by cron.allow or cron.deny, an unreadable file ...). A caller
// must never install a crontab after a failed read: that would erase the user's other jobs.
std::optional<QByteArray> ReadCrontab();

// Installs content as the user's whole crontab; false when that was refused.
bool WriteCrontab(const QByteArray &content);

// Points both calls at a plain file instead of the crontab command (a missing file reads as an
// empty crontab); an empty text goes back to the command. Tests use it so that they never touch
// a real crontab.
void SetCrontabFile(const QString &file);

} // namespace platform::scheduler
