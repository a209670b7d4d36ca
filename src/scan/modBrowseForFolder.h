#pragma once

#include <QString>

namespace modBrowseForFolder {

// Shows the folder picker with the title, starting at the special folder rootFolderId names
// (when it has a path). Gives the chosen folder, or "" when the user cancels. The flags ask for
// file-system folders only, which is all the picker offers here.
QString BrowseForFolder(const QString &title, int flags, int rootFolderId);

} // namespace modBrowseForFolder
