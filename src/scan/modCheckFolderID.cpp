#include "scan/modCheckFolderID.h"

#include <QDir>
#include <QStandardPaths>

#include <optional>

namespace modCheckFolderID {

namespace {

// The numbers callers use, with the standard location that plays their part here.
std::optional<QStandardPaths::StandardLocation> locationOf(int folderId)
{
    switch (folderId & 0xFF) {
    case 0x00: // desktop
    case 0x10: // desktop directory
        return QStandardPaths::DesktopLocation;
    case 0x05: // documents
        return QStandardPaths::DocumentsLocation;
    case 0x0D: // music
        return QStandardPaths::MusicLocation;
    case 0x0E: // videos
        return QStandardPaths::MoviesLocation;
    case 0x27: // pictures
        return QStandardPaths::PicturesLocation;
    case 0x1A: // application data
        return QStandardPaths::GenericConfigLocation;
    case 0x1C: // local application data
        return QStandardPaths::GenericDataLocation;
    case 0x28: // the user's profile
        return QStandardPaths::HomeLocation;
    default:
        return std::nullopt;
    }
}

} // namespace

QString GetSpecialFolderPath(int folderId)
{
    const auto location = locationOf(folderId);
    if (!location)
        return {};
    const QString path = QStandardPaths::writableLocation(*location);
    if (path.isEmpty() || !QDir().mkpath(path))
        return {};
    return path;
}

} // namespace modCheckFolderID
