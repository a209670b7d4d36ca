#include "platform/files/RootDirectory.h"

#include <QList>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::files {

namespace {

bool IsLink(int at, const char *name)
{
    struct stat info {};
    return fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
}

// One name at a time, none of them followed: for kernels before 5.6, and for sandboxes that refuse
// openat2. A link refused with O_DIRECTORY says "Not a directory", so it is told apart here.
int OpenNameByName(int root, const QByteArray &relative, int flags)
{
    const QList<QByteArray> names = relative.split('/');
    int at = root;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int stepFlags = i + 1 < names.size() ? O_PATH : flags;
        const int fd = openat(at, names[i].constData(), stepFlags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int error = errno;
        if (fd < 0 && IsLink(at, names[i].constData()))
            error = ELOOP;
        if (at != root)
            close(at);
        if (fd < 0) {
            errno = error;
            return -1;
        }
        at = fd;
    }
    return at;
}

} // namespace

RootDirectory::RootDirectory(const QByteArray &root)
    : m_fd(open(root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)), m_error(m_fd < 0 ? errno : 0)
{
}

RootDirectory::~RootDirectory()
{
    if (m_fd >= 0)
        close(m_fd);
}

int RootDirectory::Open(const QByteArray &relative, int flags) const
{
    const QByteArray path = relative.isEmpty() ? QByteArrayLiteral(".") : relative;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_DIRECTORY | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    const int fd = static_cast<int>(syscall(SYS_openat2, m_fd, path.constData(), &how, sizeof how));
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
        return fd;
    return OpenNameByName(m_fd, path, flags);
}

QString RootDirectory::Reason(const QByteArray &relative, int error) const
{
    if (error != ELOOP)
        return QString::fromLocal8Bit(std::strerror(error));
    // Nothing here follows a link, so the loop is a link met on the way.
    const qsizetype slash = relative.lastIndexOf('/');
    const int parent = slash < 0 ? -1 : Open(relative.first(slash), O_PATH);
    if (slash >= 0 && parent < 0 && errno == ELOOP)
        return QStringLiteral("A directory above it is a symbolic link");
    if (parent >= 0)
        close(parent);
    return QStringLiteral("Is a symbolic link");
}

} // namespace platform::files
