#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace platform::registry {

// One package of dpkg's status database.
struct DpkgPackage {
    QString name; // as dpkg-query's ${binary:Package} names it: "sed", "libc6:amd64"
    QString package;
    QString architecture;
    QString version;
    QString maintainer;
};

// The packages that dpkg's status database (the text of /var/lib/dpkg/status) lists as
// installed, in the database's order: status word "installed", or "triggers-pending" and
// "triggers-awaited" (installed and configured, with triggers still to run). Packages in any
// other state (removed with their configuration kept, half-installed, unpacked, ...) are left out.
// A package's name carries ":" and its architecture where dpkg's own would: when it may be
// installed for several architectures at once (Multi-Arch: same), or its architecture is neither
// nativeArchitecture nor "all" (an empty nativeArchitecture: never for that reason). A line that
// is no UTF-8 (a Latin-1 maintainer) is read as Latin-1.
std::vector<DpkgPackage> InstalledPackages(const QByteArray &status, const QString &nativeArchitecture);

// The architecture that dpkg on this machine installs for ("dpkg --print-architecture"), asked
// once; "" when dpkg cannot tell.
QString NativeArchitecture();

} // namespace platform::registry
