#include "scan/modSearchDirs.h"

#include "platform/files/RootDirectory.h"
#include "support/DoEvents.h"
#include "support/Error.h"
#include "support/NameBytes.h"

#include <QFile>
#include <QHash>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <deque>

namespace modSearchDirs {

namespace {

[[noreturn]] void RaiseForRoot(int error, const QString &description)
{
    throw support::Error(support::SystemErrorCode(error), description,
                         QStringLiteral("SearchDirs"));
}

[[noreturn]] void RaiseForRoot(int error, const QString &root, const QString &reason)
{
    RaiseForRoot(error, QStringLiteral("The root directory %1 cannot be listed: %2.").arg(root, reason));
}

// A directory below the root, opened for listing without following a link on the way (errno
// tells why it could not be); closed on every way out.
class Listing {
public:
    Listing(const platform::files::RootDirectory &root, const QByteArray &relative) : m_dir(nullptr)
    {
        platform::files::Descriptor fd = root.Open(relative, O_RDONLY);
        if (fd.IsOpen() && (m_dir = fdopendir(fd.Fd())))
            fd.Release(); // the listing closes it
    }
    ~Listing()
    {
        if (m_dir)
            closedir(m_dir);
    }
    Listing(const Listing &) = delete;
    Listing &operator=(const Listing &) = delete;

    explicit operator bool() const { return m_dir != nullptr; }
    dirent *Next() { return readdir(m_dir); }
    int Fd() const { return dirfd(m_dir); }

private:
    DIR *m_dir;
};

// A real directory, never a symbolic link to one: a link back up the tree must not make the
// search loop, and a link elsewhere would list directories outside the chosen root.
bool IsDirectory(const Listing &listing, const dirent &entry)
{
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_DIR;
    // Some file systems do not report the type in the listing.
    struct stat info {};
    if (fstatat(listing.Fd(), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return S_ISDIR(info.st_mode);
}

bool IsDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One search, level by level. A directory is listed only when its subdirectories lie within the
// depth: one on the deepest level is never opened, so that one that cannot be listed there, which
// would lose nothing, is not reported. Every directory is opened below the root, as the root was
// typed, without following a link on the way: one found as a directory and swapped for a link
// since, or one below it, is passed over.
class Search {
public:
    Search(const QString &root, int32_t maxDepth, QStringList &dirs, std::vector<PassedOver> &unreadable)
        : m_root(QFile::encodeName(root)), m_prefixLength(root.endsWith(u'/') ? root.size() : root.size() + 1),
          m_maxDepth(maxDepth), m_dirs(dirs), m_unreadable(unreadable)
    {
    }

    void Run(const QString &root)
    {
        if (!Opens(0))
            return;
        if (!m_root.IsOpen())
            RaiseForRoot(m_root.Error(), root, QString::fromLocal8Bit(std::strerror(m_root.Error())));
        m_queue.push_back({root, 0});
        while (!m_queue.empty()) {
            const auto [dir, level] = std::move(m_queue.front());
            m_queue.pop_front();
            List(dir, level);
        }
    }

private:
    bool Opens(int32_t level) const { return m_maxDepth >= UnlimitedDepth || level < m_maxDepth; }

    void List(const QString &dir, int32_t level)
    {
        const QString prefix = dir.endsWith(u'/') ? dir : dir + u'/';
        const QByteArray relative = level == 0 ? QByteArrayLiteral(".") : QFile::encodeName(dir.mid(m_prefixLength));
        const qsizetype relativePrefix = level == 0 ? 0 : relative.size() + 1; // what precedes a name below it
        Listing listing(m_root, relative);
        if (!listing)
            return PassOver(dir, relative, errno, level); // unreadable, gone or a link: the search goes on
        bool serve = false; // not before the first entry
        while (true) {
            if (serve)
                support::DoEvents();
            errno = 0;
            const dirent *entry = listing.Next();
            if (!entry) {
                if (errno != 0)
                    PassOver(dir, relative, errno, level); // what was found before the break stays
                return;
            }
            // The loop is served before each further entry, but not after "." and "..": every
            // listing has them, and in a tree of leaf directories serving it for them would
            // triple the cost of the search without making the window any more responsive.
            serve = !IsDotOrDotDot(entry->d_name);
            if (entry->d_name[0] != '.' && IsDirectory(listing, *entry))
                Found(prefix, relativePrefix, entry->d_name, level + 1);
        }
    }

    // A directory whose path would be longer than the system's limit is passed over like one that
    // cannot be listed, with what lies below it: it can be reached from the root, but no tool that
    // works by path could open it.
    void Found(const QString &prefix, qsizetype relativePrefix, const char *bytes, int32_t level)
    {
        const QString name = QFile::decodeName(bytes);
        if (!support::StandsForItself(name, bytes)) {
            m_unreadable.push_back({prefix + support::KeptBytes(bytes), QStringLiteral("Name is not valid UTF-8")});
            return;
        }
        QString path = prefix + name;
        if (!m_root.WithinPathLimit(relativePrefix + qsizetype(std::strlen(bytes)))) {
            m_unreadable.push_back({std::move(path), QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))});
            return;
        }
        m_dirs.append(path);
        if (Opens(level))
            m_queue.push_back({std::move(path), level});
    }

    // A root is what the user asked for: one that cannot be listed (moved away, a file, a mount
    // that did not come up) is an error, where a subdirectory is passed over.
    void PassOver(const QString &dir, const QByteArray &relative, int error, int32_t level)
    {
        const QString reason = m_root.Reason(relative, error);
        if (level == 0)
            RaiseForRoot(error, dir, reason);
        m_unreadable.push_back({dir, reason});
    }

    const platform::files::RootDirectory m_root;
    const qsizetype m_prefixLength; // of the root and its "/": what precedes a relative path
    const int32_t m_maxDepth;
    QStringList &m_dirs;
    std::vector<PassedOver> &m_unreadable;
    std::deque<std::pair<QString, int32_t>> m_queue;
};

} // namespace

QString RootPath(const QString &RootDir)
{
    // Blanks before a typed root are a slip of the keyboard (a root is an absolute path); at its
    // end they belong to the last directory's name, as everywhere below it.
    QString root = RootDir;
    while (root.startsWith(u' ') || root.startsWith(u'\t'))
        root.remove(0, 1);
    while (root.size() > 1 && root.endsWith(u'/'))
        root.chop(1);
    if (!root.startsWith(u'/'))
        return root; // refused as typed
    // "//srv" would pass for a network share in the rights views, and "/srv/./data" for a
    // directory of its own; neither part changes which directory the path reaches.
    QStringList parts = root.split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    return u'/' + parts.join(u'/');
}

void SearchDirs(const QString &RootDir, int32_t MaxDepth, QStringList &Dirs, std::vector<PassedOver> *Unreadable)
{
    const QString root = RootPath(RootDir);
    // A relative root would be taken from wherever the program was started (under cron, the home
    // folder), and its paths would not count their levels from "/".
    if (!root.startsWith(u'/'))
        RaiseForRoot(EINVAL, QStringLiteral("The root directory %1 is not an absolute path.").arg(root));
    // ".." goes up from wherever the part before it leads, which is not the directory its text
    // names when that part is a link. Taken out by the text, the root could reach another directory
    // than the system's; kept, every path stored below it would carry it.
    if (root.split(u'/').contains(QStringLiteral("..")))
        RaiseForRoot(EINVAL, QStringLiteral("The root directory %1 has a \"..\" part: give the path without it.").arg(root));
    std::vector<PassedOver> ignored;
    Search(root, MaxDepth, Dirs, Unreadable ? *Unreadable : ignored).Run(root);
}

QStringList FoundBelow(const QStringList &Dirs)
{
    QHash<QString, QString> rootOf;
    rootOf.reserve(Dirs.size());
    QStringList roots;
    roots.reserve(Dirs.size());
    for (const QString &dir : Dirs) {
        const qsizetype slash = dir.lastIndexOf(u'/');
        const QString parent = dir.left(slash == 0 ? 1 : slash); // "/" above "/tmp"
        const auto found = rootOf.constFind(parent);
        roots << (found == rootOf.cend() ? parent : *found);
        rootOf.insert(dir, roots.last());
    }
    return roots;
}

} // namespace modSearchDirs
