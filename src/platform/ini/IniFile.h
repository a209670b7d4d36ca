#pragma once

#include <QList>
#include <QString>

namespace platform::ini {

// The INI reader and writer that the settings accessors and the scan window call. Every call
// goes to the file: nothing is cached, so a hand edit or another writer is seen at once.
//
// Reading follows the usual INI conventions: section and key names match without regard to
// letter case (unless the caller asks for exact matching), blanks around "=" and around the
// value are ignored, a value in matching double quotes loses them, lines beginning with ";" or
// "#" are comments, CR LF and LF line ends and a UTF-8 byte-order mark are accepted. The first
// matching section and key win. Values are returned whole: a caller that needs a length limit
// applies it itself.

// The value of key in section, or defaultValue when the file, the section or the key is missing
// or the file cannot be read.
QString ReadValue(const QString &section, const QString &key, const QString &defaultValue, const QString &file,
                  Qt::CaseSensitivity names = Qt::CaseInsensitive);

// Sets key in section to value, keeping every other line of the file as it is; a missing key
// is added at the end of its section and a missing section at the end of the file, which is
// created when needed. The new content goes to a temporary file that replaces the old one, so a
// crash never leaves half a file. Returns false when the file could not be written, and
// writes nothing for a key or value with a line break in it.
bool WriteValue(const QString &section, const QString &key, const QString &value, const QString &file,
                Qt::CaseSensitivity names = Qt::CaseInsensitive);

struct Entry {
    QString section;
    QString key;
    QString value;
};

// Replaces the whole file with the entries, written in order as WriteValue would write them one
// by one into an empty file (a key of a section that already has keys goes after them), but in
// one step: the old content stays until the new file is complete. An entry with a line break is
// left out. Returns false when the file could not be written.
bool RewriteFile(const QList<Entry> &entries, const QString &file);

// Removes key from section (every other line kept). Returns false when the file could not be
// written; a missing key is not an error.
bool DeleteValue(const QString &section, const QString &key, const QString &file,
                 Qt::CaseSensitivity names = Qt::CaseInsensitive);

} // namespace platform::ini
