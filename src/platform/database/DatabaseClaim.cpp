#include "platform/database/DatabaseClaim.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::database {

namespace {

const QString Source = QStringLiteral("DatabaseClaim");

// Read-only: a lock file that another user made serves this one as well. Non-blocking, so that
// a pipe put in the lock file's place cannot hold the run up. Not inherited by the programs the
// program starts (an updater would otherwise keep the claim after the program has ended).
constexpr int OpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

// Opens the lock file, making it when it is not there; -1 with errno set when that fails.
// The two opens can disagree for good: a symbolic link to a missing file is not there to the
// first and there to the second. A real race (another run making or removing the file between
// them) settles within a few rounds, so the rounds are few; after them the file counts as missing.
int OpenLockFile(const QByteArray &path)
{
    constexpr int Rounds = 8;
    for (int round = 0; round < Rounds; ++round) {
        if (const int fd = open(path.constData(), OpenFlags); fd >= 0 || errno != ENOENT)
            return fd;
        // Made here, so the mode is ours to set: readable for every user, whatever the umask.
        if (const int fd = open(path.constData(), OpenFlags | O_CREAT | O_EXCL, 0644); fd >= 0) {
            fchmod(fd, 0644);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        // Another run made it in the meantime: open that one.
    }
    errno = ENOENT;
    return -1;
}

// The lock file of a database ("" for a database that is not there).
QString LockFile(const QString &databasePath)
{
    const QFileInfo file(databasePath);
    return file.isFile() ? file.canonicalFilePath() + QStringLiteral(".lock") : QString();
}

} // namespace

DatabaseClaim::DatabaseClaim(const QString &databasePath)
{
    const QString lock = LockFile(databasePath);
    if (lock.isEmpty())
        return;
    m_fd = OpenLockFile(QFile::encodeName(lock));
    if (m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return;
    const int error = errno;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (error == EWOULDBLOCK)
        throw support::Error(kClaimHeld, QStringLiteral("Another scan is writing to the results database ") + databasePath
                                             + QStringLiteral("."), Source);
    throw support::Error(support::ResultCode(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu)),
                         QStringLiteral("The results database %1 cannot be claimed: %2: %3.")
                             .arg(databasePath, lock, QString::fromLocal8Bit(std::strerror(error))),
                         Source);
}

DatabaseClaim::~DatabaseClaim()
{
    if (m_fd >= 0)
        close(m_fd); // drops the flock
}

} // namespace platform::database
