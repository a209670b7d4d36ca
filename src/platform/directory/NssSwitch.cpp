#include "platform/directory/NssSwitch.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace platform::directory {

namespace {

// Each database the file names, with the words after its colon; a database named twice is kept
// with an empty list of sources, which counts as no plain list. As the C library reads the file,
// "#" begins no comment after a database's colon: it is part of a word there ("files # sss" names
// the sources "files", "#" and "sss"). A line that begins with it names no database.
QHash<QByteArray, QList<QByteArray>> Databases(const QByteArray &content)
{
    QHash<QByteArray, QList<QByteArray>> databases;
    for (const QByteArray &line : content.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QList<QByteArray> sources = line.mid(colon + 1).simplified().split(' ');
        databases.insert(name, databases.contains(name) ? QList<QByteArray>{} : sources);
    }
    return databases;
}

// A source names the module libnss_<source>.so.2 that is loaded for it: a word of letters,
// digits, "_", "-" and "#", never a path. A "#" is part of the word as the C library reads it:
// "#" and "sss#old" name modules that do not load, which answer nothing.
bool IsSourceName(const QByteArray &source)
{
    return !source.isEmpty() && std::all_of(source.begin(), source.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '#';
    });
}

// The sources when they are all source names: an action ("[NOTFOUND=return]") is none.
std::optional<QList<QByteArray>> PlainList(const QList<QByteArray> &sources)
{
    if (sources.isEmpty() || !std::all_of(sources.begin(), sources.end(), IsSourceName))
        return std::nullopt;
    return sources;
}

} // namespace

NssSwitch::NssSwitch(const QString &file)
{
    QFile config(file);
    if (!config.open(QIODevice::ReadOnly))
        return;
    const auto databases = Databases(config.readAll());
    if (databases.contains("passwd"))
        m_passwd = PlainList(databases.value("passwd"));
    // With a line of its own, the library stops at the first source that answers for a user (unless
    // the line says otherwise), so a user's groups no longer join those of every source.
    if (databases.contains("group") && !databases.contains("initgroups"))
        m_group = PlainList(databases.value("group"));
}

std::optional<QList<QByteArray>> NssSwitch::Sources(QByteArrayView database) const
{
    if (database == "passwd")
        return m_passwd;
    if (database == "group")
        return m_group;
    return std::nullopt;
}

} // namespace platform::directory
