#pragma once

#include <QString>

// Special folders by their classic numbers (0 the desktop, 5 the documents, ...), mapped to the
// user's folders on Linux.
namespace modCheckFolderID {

// The folder's path, created when it does not exist yet; "" for a number without a folder here.
QString GetSpecialFolderPath(int folderId);

} // namespace modCheckFolderID
