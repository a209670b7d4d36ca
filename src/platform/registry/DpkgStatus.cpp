#include "platform/registry/DpkgStatus.h"

#include <QList>

namespace platform::registry {

namespace {

void finish(std::vector<DpkgPackage> &packages, DpkgPackage &package, bool installed)
{
    if (installed && !package.package.isEmpty())
        packages.push_back(package);
    package = DpkgPackage{};
}

} // namespace

std::vector<DpkgPackage> InstalledPackages(const QByteArray &status)
{
    std::vector<DpkgPackage> packages;
    DpkgPackage package;
    bool installed = false;
    for (const QByteArray &raw : status.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.trimmed().isEmpty()) {
            finish(packages, package, installed);
            installed = false;
            continue;
        }
        if (line.startsWith(' ') || line.startsWith('\t'))
            continue; // a continuation of a multi-line field such as Description
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray field = line.left(colon).trimmed().toLower();
        const QString value = QString::fromUtf8(line.mid(colon + 1).trimmed());
        if (field == "package")
            package.package = value;
        else if (field == "architecture")
            package.architecture = value;
        else if (field == "version")
            package.version = value;
        else if (field == "maintainer")
            package.maintainer = value;
        else if (field == "status")
            installed = value.split(u' ', Qt::SkipEmptyParts).value(2) == u"installed";
    }
    finish(packages, package, installed);
    return packages;
}

} // namespace platform::registry
