#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace platform::registry {

// One package of dpkg's status database.
struct DpkgPackage {
    QString package;
    QString architecture;
    QString version;
    QString maintainer;
};

// The packages that dpkg's status database (the text of /var/lib/dpkg/status) lists as
// installed (status word "installed"), in the database's order. Packages in any other state
// (removed with their configuration kept, half-installed, ...) are left out.
std::vector<DpkgPackage> InstalledPackages(const QByteArray &status);

} // namespace platform::registry
