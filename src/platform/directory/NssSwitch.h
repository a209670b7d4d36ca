#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace platform::directory {

// What the name-service switch file says of the accounts' databases. Where it names a database's
// sources as a plain list ("group: files systemd sss"), the C library asks them in that order,
// goes on past one that does not know a name, and gives a user the groups of every source: then
// each source may be asked on its own and the answers joined as the library joins them. Anything
// else (no line for the database, an action such as "[NOTFOUND=return]", a second line, an
// "initgroups" line of its own, a file that cannot be read) is left to the library's own
// look-ups: for such a database Sources gives nothing. A "#" after the colon begins no comment,
// as for the library: "files # sss" lists the sources "files", "#" (which does not load) and "sss".
class NssSwitch {
public:
    explicit NssSwitch(const QString &file = QStringLiteral("/etc/nsswitch.conf"));

    // The sources of database ("passwd", "group"), in order, when they are a plain list.
    std::optional<QList<QByteArray>> Sources(QByteArrayView database) const;

private:
    std::optional<QList<QByteArray>> m_passwd;
    std::optional<QList<QByteArray>> m_group;
};

} // namespace platform::directory
