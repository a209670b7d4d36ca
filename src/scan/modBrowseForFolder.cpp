#include "scan/modBrowseForFolder.h"

#include "platform/shell/Shell.h"
#include "scan/modCheckFolderID.h"

namespace modBrowseForFolder {

QString BrowseForFolder(const QString &title, int /*flags*/, int rootFolderId)
{
    const QString root = modCheckFolderID::GetSpecialFolderPath(rootFolderId);
    return platform::shell::Current().BrowseForFolder(title, root).value_or(QString());
}

} // namespace modBrowseForFolder
