#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace support {

namespace {
QString &overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    QString folder = overrideFolder();
    if (folder.isEmpty())
        folder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString RegistryExportFolder() { return ProgramFolder() + QStringLiteral("Registry/"); }

QString ProgramFile()
{
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return ProgramFolder() + QFileInfo(path).fileName();
}

void SetProgramFolder(const QString &folder) { overrideFolder() = folder; }

} // namespace support
