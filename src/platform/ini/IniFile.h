#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <map>

namespace platform::ini {

// The INI reader and writer that the settings accessors and the scan window call. Every call
// goes to the file: nothing is cached, so a hand edit or another writer is seen at once.
//
// Reading follows the usual INI conventions: section and key names match without regard to
// letter case (unless the caller asks for exact matching), blanks around "=" and around the
// value are ignored, a value in matching double quotes loses them, a value ends at a NUL, lines
// beginning with ";" or "#" are comments. Files are UTF-8 (with or without a byte-order mark;
// Latin-1 in a line whose bytes are no UTF-8) or UTF-16 with its byte-order mark; lines end in
// CR LF, LF or CR. The first matching section and key win. Values are returned whole: a caller
// that needs a length limit applies it itself.
//
// Writes go to a new file that replaces the old one in one step, in UTF-8, keeping the old
// file's line ends, mode and owner; a write that fails (a full disk) leaves the old file as it was.
// A file without any write permission (read-only), one this user may not write and one that cannot
// be read are never replaced. Nothing waits on a FIFO in the file's place, and only a regular file
// is read or replaced.

// One reading of a file, for a caller that needs many of its keys: the answers ReadValue would
// give, without reading the file again for each key.
class Snapshot {
public:
    explicit Snapshot(const QString &file, Qt::CaseSensitivity names = Qt::CaseInsensitive);

    QString Value(const QString &section, const QString &key, const QString &defaultValue) const;
    // The keys of section, in the file's order and spelling.
    QStringList Keys(const QString &section) const;

private:
    struct Section {
        QHash<QString, QString> values; // the first of each key
        QStringList keys;
    };
    QString Folded(const QString &name) const;

    Qt::CaseSensitivity m_names;
    std::map<QString, Section> m_sections; // the first section of each name
};

// The value of key in section, or defaultValue when the file, the section or the key is missing
// or the file cannot be read.
QString ReadValue(const QString &section, const QString &key, const QString &defaultValue, const QString &file,
                  Qt::CaseSensitivity names = Qt::CaseInsensitive);

// Sets key in section to value, keeping every other line of the file as it is; a missing key
// is added at the end of its section and a missing section at the end of the file, which is
// created when needed. Returns false when the file could not be written, and writes nothing for
// a key or value with a line break or a NUL in it.
bool WriteValue(const QString &section, const QString &key, const QString &value, const QString &file,
                Qt::CaseSensitivity names = Qt::CaseInsensitive);

struct Entry {
    QString section;
    QString key;
    QString value;
};

// Replaces the whole file with the entries, written in order as WriteValue would write them one
// by one into an empty file (a key of a section that already has keys goes after them), but in
// one step: the old content stays until the new file is complete. An entry with a line break or
// a NUL is left out. Returns false when the file is left as it is because it is read-only; raises
// support::Error, naming the file and the reason, when it cannot be read (it is not replaced then)
// or the write fails.
bool RewriteFile(const QList<Entry> &entries, const QString &file);

// Raises support::Error, naming the file and the reason, when the file is there but cannot be
// read (a directory, a FIFO, no permission): its keys would silently read as their defaults. A
// missing file is no error.
void CheckReadable(const QString &file);

// Removes key from section (every other line kept). Returns false when the file could not be
// written; a missing key is not an error.
bool DeleteValue(const QString &section, const QString &key, const QString &file,
                 Qt::CaseSensitivity names = Qt::CaseInsensitive);

} // namespace platform::ini
