#include "platform/security/ADsSecurity.h"

#include "platform/directory/NssDirectory.h"
#include "support/Error.h"

#include <QFile>

#include <acl/libacl.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace platform::security {

namespace {

constexpr QLatin1StringView FileMoniker("FILE://");

// Permission bits of one entry: read 4, write 2, execute 1 (as in a file mode).
constexpr int ReadBit = 4;
constexpr int WriteBit = 2;
constexpr int ExecuteBit = 1;
constexpr int NoEntry = -1;

struct AclFree {
    void operator()(void *object) const { acl_free(object); }
};
using AclHandle = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

// The description is the system's message, unless given.
[[noreturn]] void RaiseSystemError(int error, const QString &description = {})
{
    // The number only has to stand apart from the database's numbers; the description is what
    // the user reads.
    throw support::Error(support::SystemErrorCode(error),
                         description.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : description,
                         QStringLiteral("ADsSecurity"));
}

// The directory, opened without following a link in its place: the search found a directory
// there, and a link put there since (a directory swapped for a link to one that its owner keeps
// closed) must not have that other directory's rights stored under the found name. Opened as a
// path only, so that, as by name, a directory that may be searched but not listed (0711) still
// has its rights read.
class OpenDirectory {
public:
    explicit OpenDirectory(const QByteArray &path)
        : m_fd(open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
    {
        if (m_fd >= 0)
            return;
        // A link, refused for being one, says so.
        const int error = errno;
        struct stat link {};
        if (lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            RaiseSystemError(error, QStringLiteral("Is a symbolic link"));
        RaiseSystemError(error);
    }
    ~OpenDirectory() { close(m_fd); }
    OpenDirectory(const OpenDirectory &) = delete;
    OpenDirectory &operator=(const OpenDirectory &) = delete;

    int Fd() const { return m_fd; }
    // A path that names this very directory, however its own path has changed since.
    QByteArray Path() const { return "/proc/self/fd/" + QByteArray::number(m_fd); }

private:
    int m_fd;
};

// The entries of one POSIX ACL, sorted by kind.
struct AclEntries {
    int userObj = NoEntry;
    int groupObj = NoEntry;
    int other = NoEntry;
    int mask = NoEntry;
    std::vector<std::pair<id_t, int>> users;
    std::vector<std::pair<id_t, int>> groups;
};

int PermissionBits(acl_entry_t entry)
{
    acl_permset_t permset = nullptr;
    if (acl_get_permset(entry, &permset) != 0)
        RaiseSystemError(errno);
    return (acl_get_perm(permset, ACL_READ) == 1 ? ReadBit : 0)
           | (acl_get_perm(permset, ACL_WRITE) == 1 ? WriteBit : 0)
           | (acl_get_perm(permset, ACL_EXECUTE) == 1 ? ExecuteBit : 0);
}

id_t Qualifier(acl_entry_t entry)
{
    void *qualifier = acl_get_qualifier(entry);
    if (!qualifier)
        RaiseSystemError(errno);
    const id_t id = *static_cast<id_t *>(qualifier);
    acl_free(qualifier);
    return id;
}

AclEntries ReadEntries(acl_t acl)
{
    AclEntries entries;
    acl_entry_t entry = nullptr;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag = ACL_UNDEFINED_TAG;
        if (acl_get_tag_type(entry, &tag) != 0)
            RaiseSystemError(errno);
        switch (tag) {
        case ACL_USER_OBJ: entries.userObj = PermissionBits(entry); break;
        case ACL_GROUP_OBJ: entries.groupObj = PermissionBits(entry); break;
        case ACL_OTHER: entries.other = PermissionBits(entry); break;
        case ACL_MASK: entries.mask = PermissionBits(entry); break;
        case ACL_USER: entries.users.emplace_back(Qualifier(entry), PermissionBits(entry)); break;
        case ACL_GROUP: entries.groups.emplace_back(Qualifier(entry), PermissionBits(entry)); break;
        default: break;
        }
    }
    return entries;
}

// For the owner the kernel consults only the owner entry, and a member of the owning group gets
// what any of that group's entries grants: the access ACL keeps one entry per trustee, the owning
// group's carrying the rights of a named entry for the same group as well. (Both are limited by
// the same mask, so the bits may be joined before it applies.)
AclEntries OneEntryPerTrustee(AclEntries acl, uid_t owner, gid_t group)
{
    std::erase_if(acl.users, [owner](const auto &user) { return user.first == owner; });
    for (const auto &[gid, bits] : acl.groups) {
        if (gid == group)
            acl.groupObj = (acl.groupObj == NoEntry ? 0 : acl.groupObj) | bits;
    }
    std::erase_if(acl.groups, [group](const auto &named) { return named.first == group; });
    return acl;
}

// A file system without ACLs (ramfs, /proc, /sys) has only the permission bits of its mode, and
// no default ACL. A descriptor opened as a path only is read through its /proc name.
AclHandle ReadAcl(const OpenDirectory &directory, acl_type_t type, mode_t mode)
{
    AclHandle acl(acl_get_file(directory.Path().constData(), type));
    if (!acl && errno == ENOTSUP)
        acl.reset(type == ACL_TYPE_ACCESS ? acl_from_mode(mode) : acl_init(0));
    if (!acl)
        RaiseSystemError(errno);
    return acl;
}

// The trustee of an account number, looked up once per object. An account that no longer exists
// (a deleted user, files from another machine) keeps its number as its name.
template <typename Id, typename Lookup>
QString CachedTrustee(std::unordered_map<Id, QString> &cache, Id id, const QString &hostPrefix, Lookup nameOf)
{
    auto found = cache.find(id);
    if (found == cache.end()) {
        const QString name = nameOf(id);
        found = cache.emplace(id, hostPrefix + (name.isEmpty() ? QString::number(id) : name)).first;
    }
    return found->second;
}

} // namespace

uint32_t AccessMaskOf(bool read, bool write, bool execute)
{
    if (read && write && execute)
        return FullAccess;
    return (read ? ReadAccess : 0) | (write ? WriteAccess : 0) | (execute ? ExecuteAccess : 0);
}

ADsSecurity::ADsSecurity() : m_hostPrefix(directory::NssDirectory::HostShortName() + u'\\') {}

QString ADsSecurity::UserTrustee(uid_t uid)
{
    return CachedTrustee(m_users, uid, m_hostPrefix, [](uid_t id) {
        const passwd *account = getpwuid(id);
        return account ? QString::fromUtf8(account->pw_name) : QString();
    });
}

QString ADsSecurity::GroupTrustee(gid_t gid)
{
    // A group that shares its name with an account stays apart from it: its owner and its group
    // are two trustees.
    return CachedTrustee(m_groups, gid, m_hostPrefix, [](gid_t id) {
        const group *account = getgrgid(id);
        return account ? directory::NssDirectory::GroupName(account->gr_name) : QString();
    });
}

std::optional<SecurityDescriptor> ADsSecurity::GetSecurityDescriptor(const QString &objectPath)
{
    if (!objectPath.startsWith(FileMoniker, Qt::CaseInsensitive))
        return std::nullopt;
    const OpenDirectory directory(QFile::encodeName(objectPath.mid(FileMoniker.size())));
    struct stat info {};
    if (fstat(directory.Fd(), &info) != 0)
        RaiseSystemError(errno);
    const AclEntries access = OneEntryPerTrustee(ReadEntries(ReadAcl(directory, ACL_TYPE_ACCESS, info.st_mode).get()),
                                                 info.st_uid, info.st_gid);
    const AclEntries defaults = ReadEntries(ReadAcl(directory, ACL_TYPE_DEFAULT, info.st_mode).get());

    SecurityDescriptor descriptor;
    auto add = [&descriptor](int bits, const QString &trustee, uint32_t flags) {
        if (bits == NoEntry)
            return;
        const uint32_t mask = AccessMaskOf(bits & ReadBit, bits & WriteBit, bits & ExecuteBit);
        if (mask != 0)
            descriptor.DiscretionaryAcl.push_back({mask, trustee, flags});
    };
    auto addAcl = [&](const AclEntries &acl, const QString &owner, const QString &group, uint32_t flags) {
        // The mask limits every entry of the group class: named users, the owning group and
        // named groups.
        auto effective = [&acl](int bits) { return acl.mask == NoEntry || bits == NoEntry ? bits : bits & acl.mask; };
        add(acl.userObj, owner, flags);
        for (const auto &[uid, bits] : acl.users)
            add(effective(bits), UserTrustee(uid), flags);
        add(effective(acl.groupObj), group, flags);
        for (const auto &[gid, bits] : acl.groups)
            add(effective(bits), GroupTrustee(gid), flags);
        add(acl.other, QString::fromUtf16(EveryoneTrustee), flags);
    };
    addAcl(access, UserTrustee(info.st_uid), GroupTrustee(info.st_gid), 0);
    addAcl(defaults, QString::fromUtf16(CreatorOwnerTrustee), QString::fromUtf16(CreatorGroupTrustee),
           DefaultAclFlags);
    return descriptor;
}

} // namespace platform::security
