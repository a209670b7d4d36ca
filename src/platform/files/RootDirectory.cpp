#include "platform/files/RootDirectory.h"

#include <QList>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform::files {

namespace {

bool IsLink(int at, const char *name)
{
    struct stat info {};
    return fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

// One name at a time, none of them followed: for kernels before 5.6, and for sandboxes that refuse
// openat2. A link refused with O_DIRECTORY says "Not a directory", so it is told apart here.
Descriptor OpenNameByName(int root, const QByteArray &relative, int flags)
{
    const QList<QByteArray> names = relative.split('/');
    Descriptor at;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int from = at.IsOpen() ? at.Fd() : root;
        const int stepFlags = i + 1 < names.size() ? O_PATH : flags;
        Descriptor next(openat(from, names[i].constData(), stepFlags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.IsOpen()) {
            const int error = errno;
            errno = IsLink(from, names[i].constData()) ? ELOOP : error;
            return next;
        }
        at = std::move(next);
    }
    return at;
}

} // namespace

RootDirectory::RootDirectory(const QByteArray &root)
    : m_root(open(root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)), m_error(m_root.IsOpen() ? 0 : errno),
      m_prefixLength(root.endsWith('/') ? root.size() : root.size() + 1)
{
}

Descriptor RootDirectory::Open(const QByteArray &relative, int flags) const
{
    const QByteArray path = relative.isEmpty() ? QByteArrayLiteral(".") : relative;
    if (path != "." && !WithinPathLimit(path.size())) {
        errno = ENAMETOOLONG;
        return Descriptor();
    }
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_DIRECTORY | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    Descriptor fd(static_cast<int>(syscall(SYS_openat2, m_root.Fd(), path.constData(), &how, sizeof how)));
    if (fd.IsOpen() || (errno != ENOSYS && errno != EPERM))
        return fd;
    return OpenNameByName(m_root.Fd(), path, flags);
}

QString RootDirectory::Reason(const QByteArray &relative, int error) const
{
    if (error != ELOOP)
        return QString::fromLocal8Bit(std::strerror(error));
    // Nothing here follows a link, so the loop is a link met on the way: in the directory's place
    // unless its parent cannot be reached either.
    const qsizetype slash = relative.lastIndexOf('/');
    if (slash >= 0 && !Open(relative.first(slash), O_PATH).IsOpen() && errno == ELOOP)
        return QStringLiteral("A directory above it is a symbolic link");
    return QStringLiteral("Is a symbolic link");
}

} // namespace platform::files
