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

// Only those who may write the database may open its lock: flock needs no more than a read
// descriptor, so a lock that everyone could read would let any user hold every scan of the
// database off. Each class (owner, group, others) may read the lock where it may write the
// database.
mode_t LockMode(mode_t database)
{
    return (database & S_IWUSR ? S_IRUSR : 0) | (database & S_IWGRP ? S_IRGRP : 0) | (database & S_IWOTH ? S_IROTH : 0);
}

// The lock takes the database's owner and group, where this user may give them (root may), and
// the mode that follows from the database's; a lock made by an earlier version, open to everyone,
// is brought in line by the next claim of its owner or root.
void Align(int fd, const struct stat &database)
{
    struct stat lock {};
    if (fstat(fd, &lock) != 0 || (geteuid() != 0 && lock.st_uid != geteuid()))
        return;
    // Where neither the owner nor the group is ours to give, the mode alone applies.
    if (fchown(fd, database.st_uid, database.st_gid) != 0) {
        [[maybe_unused]] const int group = fchown(fd, static_cast<uid_t>(-1), database.st_gid);
    }
    fchmod(fd, LockMode(database.st_mode));
}

// Opens the lock file, making it when it is not there; -1 with errno set when that fails.
// The two opens can disagree for good: a symbolic link to a missing file is not there to the
// first and there to the second. A real race (another run making or removing the file between
// them) settles within a few rounds, so the rounds are few; after them the file counts as missing.
int OpenLockFile(const QByteArray &path, const struct stat &database)
{
    constexpr int Rounds = 8;
    for (int round = 0; round < Rounds; ++round) {
        int fd = open(path.constData(), OpenFlags);
        if (fd < 0 && errno == ENOENT)
            fd = open(path.constData(), OpenFlags | O_CREAT | O_EXCL, LockMode(database.st_mode));
        if (fd >= 0) {
            Align(fd, database);
            return fd;
        }
        if (errno != EEXIST && errno != ENOENT)
            return -1;
        // Made or removed by another run in the meantime: try again.
    }
    errno = ENOENT;
    return -1;
}

// The real path of a database, links resolved ("" for a database that is not there).
QString RealPath(const QString &databasePath)
{
    const QFileInfo file(databasePath);
    return file.isFile() ? file.canonicalFilePath() : QString();
}

} // namespace

DatabaseClaim::DatabaseClaim(const QString &databasePath)
{
    const QString database = RealPath(databasePath);
    struct stat info {};
    if (database.isEmpty() || stat(QFile::encodeName(database).constData(), &info) != 0)
        return;
    const QString lock = database + QStringLiteral(".lock");
    m_fd = OpenLockFile(QFile::encodeName(lock), info);
    if (m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return;
    const int error = errno;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    if (error == EWOULDBLOCK)
        throw support::Error(kClaimHeld, QStringLiteral("Another scan is writing to the results database ") + databasePath
                                             + QStringLiteral("."), Source);
    throw support::Error(support::SystemErrorCode(error),
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
