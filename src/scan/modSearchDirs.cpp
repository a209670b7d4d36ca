#include "scan/modSearchDirs.h"

#include "support/DoEvents.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <deque>

namespace modSearchDirs {

namespace {

// Closes a directory listing on every way out.
class Listing {
public:
    explicit Listing(const QString &path) : m_dir(opendir(QFile::encodeName(path).constData())) {}
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

// A name that is no valid UTF-8 becomes a text with replacement characters, which names another
// path (or none): such a directory cannot be stored or read back under its own name.
bool StandsForItself(const QString &name, const char *bytes)
{
    return !name.contains(QChar::ReplacementCharacter) || QFile::encodeName(name) == bytes;
}

} // namespace

void SearchDirs(const QString &RootDir, int32_t MaxDepth, QStringList &Dirs)
{
    // Blanks before a typed root are a slip of the keyboard (a root is an absolute path); at its
    // end they belong to the last directory's name, as everywhere below it.
    QString root = RootDir;
    while (root.startsWith(u' ') || root.startsWith(u'\t'))
        root.remove(0, 1);
    if (!root.endsWith(u'/'))
        root += u'/';
    const qsizetype rootLength = root.size();
    const bool limited = MaxDepth < UnlimitedDepth;

    std::deque<QString> queue{root};
    while (!queue.empty()) {
        QString current = std::move(queue.front());
        queue.pop_front();
        if (!current.endsWith(u'/'))
            current += u'/';

        Listing listing(current);
        if (!listing)
            continue; // unreadable or gone: it adds nothing, the search goes on

        bool serve = false; // not before the first entry
        while (true) {
            if (serve)
                support::DoEvents();
            const dirent *entry = listing.Next();
            if (!entry)
                break;
            // The loop is served before each further entry, but not after "." and "..": every
            // listing has them, and in a tree of leaf directories serving it for them would
            // triple the cost of the search without making the window any more responsive.
            serve = !IsDotOrDotDot(entry->d_name);
            if (entry->d_name[0] == '.' || !IsDirectory(listing, *entry))
                continue;

            const QString name = QFile::decodeName(entry->d_name);
            if (!StandsForItself(name, entry->d_name))
                continue;
            QString path = current + name;
            // The queue is worked off level by level, so the first entry below the limit means
            // that everything still queued lies on the deepest admitted level: stop here.
            if (limited && QStringView(path).mid(rootLength).count(u'/') >= MaxDepth)
                return;
            Dirs.append(path);
            queue.push_back(std::move(path));
        }
    }
}

} // namespace modSearchDirs
