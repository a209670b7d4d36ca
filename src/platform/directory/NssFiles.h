#pragma once

#include "platform/directory/NssSource.h"

#include <QByteArray>
#include <QHash>

#include <optional>

namespace platform::directory {

// The files source's own entries, read from its files as its module reads them (the C library's
// parser of fgetpwent and fgetgrent, the first entry of a name or number counting), each file once
// and only when first asked. A compat line ("+", "+name", "-name") stands for other entries: a
// look-up passes it over, as the module's does.
class NssFiles {
public:
    std::optional<NssSource::Ids> Account(const QByteArray &name);
    std::optional<QByteArray> GroupName(gid_t gid);

private:
    std::optional<QHash<QByteArray, NssSource::Ids>> m_accounts;
    std::optional<QHash<gid_t, QByteArray>> m_groupNames;
};

} // namespace platform::directory
