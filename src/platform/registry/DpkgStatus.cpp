#include "platform/registry/DpkgStatus.h"

#include "support/TextLines.h"

#include <QProcess>
#include <QStringList>

namespace platform::registry {

namespace {

// The fields of one package's paragraph that decide whether and how it is listed.
struct Paragraph {
    DpkgPackage package;
    QString multiArch;
    bool installed = false;
};

bool installedState(const QString &status)
{
    const QString state = status.split(u' ', Qt::SkipEmptyParts).value(2);
    return state == u"installed" || state == u"triggers-pending" || state == u"triggers-awaited";
}

void finish(std::vector<DpkgPackage> &packages, Paragraph &paragraph, const QString &native)
{
    DpkgPackage &package = paragraph.package;
    if (paragraph.installed && !package.package.isEmpty()) {
        const QString &architecture = package.architecture;
        const bool foreign = !native.isEmpty() && architecture != native && architecture != u"all";
        const bool qualified = !architecture.isEmpty() && (paragraph.multiArch == u"same" || foreign);
        package.name = qualified ? package.package + u':' + architecture : package.package;
        packages.push_back(std::move(package));
    }
    paragraph = Paragraph{};
}

} // namespace

std::vector<DpkgPackage> InstalledPackages(const QByteArray &status, const QString &nativeArchitecture)
{
    std::vector<DpkgPackage> packages;
    Paragraph paragraph;
    for (const QString &raw : support::Utf8OrLatin1Lines(status).split(u'\n')) {
        const QString line = raw.endsWith(u'\r') ? raw.chopped(1) : raw;
        if (line.trimmed().isEmpty()) {
            finish(packages, paragraph, nativeArchitecture);
            continue;
        }
        if (line.startsWith(u' ') || line.startsWith(u'\t'))
            continue; // a continuation of a multi-line field such as Description
        const qsizetype colon = line.indexOf(u':');
        if (colon <= 0)
            continue;
        const QString field = line.left(colon).trimmed().toLower();
        const QString value = line.mid(colon + 1).trimmed();
        if (field == u"package")
            paragraph.package.package = value;
        else if (field == u"architecture")
            paragraph.package.architecture = value;
        else if (field == u"multi-arch")
            paragraph.multiArch = value;
        else if (field == u"version")
            paragraph.package.version = value;
        else if (field == u"maintainer")
            paragraph.package.maintainer = value;
        else if (field == u"status")
            paragraph.installed = installedState(value);
    }
    finish(packages, paragraph, nativeArchitecture);
    return packages;
}

QString NativeArchitecture()
{
    static const QString native = [] {
        QProcess dpkg;
        dpkg.start(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        if (!dpkg.waitForFinished(10000) || dpkg.exitStatus() != QProcess::NormalExit || dpkg.exitCode() != 0)
            return QString();
        return QString::fromUtf8(dpkg.readAllStandardOutput()).trimmed();
    }();
    return native;
}

} // namespace platform::registry
