#pragma once

#include "platform/directory/NssSource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <optional>

namespace platform::directory {

// The files source's own entries, read from its files as its module reads them (the C library's
// parser of fgetpwent and fgetgrent, the first entry of a name or number counting), each file once
// and only when first asked.
class NssFiles {
public:
    // True for the name of a compat line ("+", "+name", "-name"), which stands for other entries:
    // a look-up by name or by number passes it over, as the module's does.
    static bool IsCompatLine(QByteArrayView name) { return name.startsWith('+') || name.startsWith('-'); }

    std::optional<NssSource::Ids> Account(const QByteArray &name);
    std::optional<QByteArray> GroupName(gid_t gid);

private:
    std::optional<QHash<QByteArray, NssSource::Ids>> m_accounts;
    std::optional<QHash<gid_t, QByteArray>> m_groupNames;
};

} // namespace platform::directory
