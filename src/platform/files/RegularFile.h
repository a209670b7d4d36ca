#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The program's own files (the settings, the scan log, the computer list) as an administrator's
// schedule meets them: on a full disk, or with something else put in their place. Every write,
// flush and close is checked, nothing waits on a pipe (a FIFO put in a file's place would hold the
// program up for good), and only regular files are read or written. A failure raises
// support::Error with the number 0x80070000 + the system's error number, a description that names
// the file and the reason, and the source "RegularFile".
namespace platform::files {

// The whole content of file, or nothing when it is not there (a link to nothing, or a path through
// a file, counts as not there). A directory, a FIFO or anything else that is no regular file cannot be read.
std::optional<QByteArray> Read(const QString &file);

// Appends bytes to file, which is made when it is not there.
void Append(const QString &file, const QByteArray &bytes);

// Replaces file with bytes in one step: they go to a new file beside it, which takes the old
// file's place only once every byte is on disk, with the old file's mode and owner (as far as
// this user may give them). On any failure the old file stays as it was. A symbolic link is
// followed: the file it names is replaced.
void Replace(const QString &file, const QByteArray &bytes);

} // namespace platform::files
