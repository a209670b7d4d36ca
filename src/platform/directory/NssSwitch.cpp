#include "platform/directory/NssSwitch.h"

#include <QFile>
#include <QHash>

namespace platform::directory {

namespace {

// Each database the file names, with the text after its colon; a database named twice is kept
// with an empty list of sources, which counts as no plain list.
QHash<QByteArray, QList<QByteArray>> Databases(const QByteArray &content)
{
    QHash<QByteArray, QList<QByteArray>> databases;
    for (QByteArray line : content.split('\n')) {
        line.truncate(line.indexOf('#') < 0 ? line.size() : line.indexOf('#'));
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed();
        const QList<QByteArray> sources = line.mid(colon + 1).simplified().split(' ');
        databases.insert(name, databases.contains(name) ? QList<QByteArray>{} : sources);
    }
    return databases;
}

std::optional<QList<QByteArray>> PlainList(const QList<QByteArray> &sources)
{
    for (const QByteArray &source : sources) {
        if (source.isEmpty() || source.contains('[') || source.contains(']'))
            return std::nullopt;
    }
    if (sources.isEmpty())
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
    // With a line of its own, a user's groups follow other rules: the first source that knows
    // the user gives them all.
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
