#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

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

void SetProgramFolder(const QString &folder) { overrideFolder() = folder; }

} // namespace support
