#include "platform/files/RegularFile.h"

#include "platform/files/Descriptor.h"
#include "support/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::files {

namespace {

// The reason for something that is there but is no regular file.
constexpr int NotRegular = -1;

[[noreturn]] void Raise(const QString &file, const char *what, int error)
{
    const QString reason = error == NotRegular ? QStringLiteral("Not a regular file")
                                               : QString::fromLocal8Bit(std::strerror(error));
    const int number = error == NotRegular ? EINVAL : error;
    throw support::Error(support::SystemErrorCode(number),
                         QStringLiteral("%1 cannot be %2: %3.").arg(file, QLatin1String(what), reason),
                         QStringLiteral("RegularFile"));
}

// 0 for a regular file, else what to report: a directory says so itself.
int KindError(const struct stat &info)
{
    if (S_ISREG(info.st_mode))
        return 0;
    return S_ISDIR(info.st_mode) ? EISDIR : NotRegular;
}

// 0 when every byte was written, else the error.
int WriteAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        bytes = bytes.sliced(written);
    }
    return 0;
}

// 0 for a regular file or none at all; else what keeps the file from being written.
int WritableKind(const QByteArray &path)
{
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    return KindError(info);
}

// The file opened with flags, without waiting on a FIFO, and checked to be a regular file; -1 with
// errno set when it is not there (no such file, or a file where a folder on its path should be).
int OpenRegular(const QString &file, int flags, const char *what)
{
    const int fd = ::open(QFile::encodeName(file).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
        return -1;
    if (fd < 0)
        Raise(file, what, errno);
    struct stat info {};
    const int kind = fstat(fd, &info) != 0 ? errno : KindError(info);
    if (kind != 0) {
        ::close(fd);
        Raise(file, what, kind);
    }
    return fd;
}

} // namespace

std::optional<QByteArray> Read(const QString &file)
{
    const int fd = OpenRegular(file, O_RDONLY, "read");
    if (fd < 0)
        return std::nullopt;
    Descriptor descriptor(fd);
    QByteArray content;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Raise(file, "read", errno);
        if (got == 0)
            return content;
        content.append(buffer, got);
    }
}

// The look before the open keeps a FIFO from being opened for writing at all.
void Append(const QString &file, const QByteArray &bytes)
{
    if (const int kind = WritableKind(QFile::encodeName(file)))
        Raise(file, "written", kind);
    const int fd = OpenRegular(file, O_WRONLY | O_APPEND | O_CREAT, "written");
    if (fd < 0)
        Raise(file, "written", errno); // a folder on its path missing, or a file in its place
    Descriptor descriptor(fd);
    if (const int error = WriteAll(fd, bytes))
        Raise(file, "written", error);
    if (const int error = descriptor.Close())
        Raise(file, "written", error);
}

void Replace(const QString &file, const QByteArray &bytes)
{
    const QFileInfo link(file);
    const QByteArray target = QFile::encodeName(link.isSymLink() ? link.symLinkTarget() : file);
    struct stat old {};
    const bool exists = stat(target.constData(), &old) == 0;
    if (const int kind = WritableKind(target))
        Raise(file, "written", kind);
    // Made with the umask applied, like any new file; an old file's mode is given to it below.
    QByteArray temporary;
    int fd = -1;
    do {
        temporary = target + ".new-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (fd < 0 && errno == EEXIST);
    if (fd < 0)
        Raise(file, "written", errno);
    Descriptor descriptor(fd);
    const auto fail = [&](int error) {
        ::unlink(temporary.constData());
        Raise(file, "written", error);
    };
    if (exists) {
        // The owner first: changing it may clear mode bits. Only root may give a file away.
        [[maybe_unused]] const int owned = fchown(fd, old.st_uid, old.st_gid);
        if (fchmod(fd, old.st_mode & 07777) != 0)
            fail(errno);
    }
    if (const int error = WriteAll(fd, bytes))
        fail(error);
    if (fsync(fd) != 0)
        fail(errno);
    if (const int error = descriptor.Close())
        fail(error);
    if (::rename(temporary.constData(), target.constData()) != 0)
        fail(errno);
}

} // namespace platform::files
