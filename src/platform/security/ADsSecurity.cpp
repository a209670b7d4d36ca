#include "platform/security/ADsSecurity.h"

#include "platform/directory/NssDirectory.h"
#include "support/Error.h"
#include "support/NameBytes.h"

#include <QFile>

#include <endian.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform::security {

namespace {

constexpr QLatin1StringView FileMoniker("FILE://");
constexpr char AccessAcl[] = "system.posix_acl_access";
constexpr char DefaultAcl[] = "system.posix_acl_default";

// Permission bits of one entry: read 4, write 2, execute 1 (as in a file mode).
constexpr int ReadBit = 4;
constexpr int WriteBit = 2;
constexpr int ExecuteBit = 1;
constexpr int PermissionBits = ReadBit | WriteBit | ExecuteBit;
constexpr int NoEntry = -1;
// Room for the ACLs of almost every directory (a header and 127 entries) at the first read.
constexpr size_t AclBytes = 1024;

// The description is the system's message, unless given.
[[noreturn]] void RaiseSystemError(int error, const QString &description = {})
{
    // The number only has to stand apart from the database's numbers; the description is what
    // the user reads.
    throw support::Error(support::SystemErrorCode(error),
                         description.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : description,
                         QStringLiteral("ADsSecurity"));
}

// The path of a directory below root, or "." for root itself.
QByteArray BelowRoot(const QString &path, const QString &root)
{
    if (path == root)
        return QByteArrayLiteral(".");
    const QString prefix = root.endsWith(u'/') ? root : root + u'/';
    if (!path.startsWith(prefix))
        RaiseSystemError(EINVAL, QStringLiteral("Not below %1").arg(root));
    return QFile::encodeName(path.mid(prefix.size()));
}

// The directory, opened below its root without following a link anywhere on the way: the search
// found a directory there, and a link put there since, in its place or in that of a directory
// above it, must not have another directory's rights stored under the found name. Opened for
// reading, so that both lists and the owner come from the one descriptor. A directory that may be
// searched but not listed (0711) cannot be opened so by an ordinary user: it is opened as a path
// only, and its lists are read through its /proc name, so that it keeps its rights as by name.
class OpenDirectory {
public:
    OpenDirectory(const files::RootDirectory &root, const QByteArray &relative)
        : m_fd(root.Open(relative, O_RDONLY))
    {
        if (!m_fd.IsOpen() && errno == EACCES) {
            m_fd = root.Open(relative, O_PATH);
            m_pathOnly = true;
        }
        if (!m_fd.IsOpen()) {
            const int error = errno;
            RaiseSystemError(error, root.Reason(relative, error));
        }
    }

    int Fd() const { return m_fd.Fd(); }

    // An extended attribute of the directory, as getxattr gives it.
    ssize_t Attribute(const char *name, char *value, size_t size) const
    {
        if (!m_pathOnly)
            return fgetxattr(Fd(), name, value, size);
        return getxattr(("/proc/self/fd/" + QByteArray::number(Fd())).constData(), name, value, size);
    }

private:
    files::Descriptor m_fd;
    bool m_pathOnly = false;
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

// An ACL in the form the kernel stores and gives it, the same on every file system: a version
// word, then entries of eight bytes (tag, permission bits, account number), little-endian.
AclEntries ParseAcl(const char *bytes, size_t size)
{
    posix_acl_xattr_header header{};
    if (size < sizeof header || (size - sizeof header) % sizeof(posix_acl_xattr_entry) != 0)
        RaiseSystemError(EINVAL);
    std::memcpy(&header, bytes, sizeof header);
    if (le32toh(header.a_version) != POSIX_ACL_XATTR_VERSION)
        RaiseSystemError(EINVAL);
    AclEntries entries;
    for (size_t at = sizeof header; at < size; at += sizeof(posix_acl_xattr_entry)) {
        posix_acl_xattr_entry entry{};
        std::memcpy(&entry, bytes + at, sizeof entry);
        const int bits = le16toh(entry.e_perm) & PermissionBits;
        const id_t id = le32toh(entry.e_id);
        switch (le16toh(entry.e_tag)) {
        case ACL_USER_OBJ: entries.userObj = bits; break;
        case ACL_GROUP_OBJ: entries.groupObj = bits; break;
        case ACL_OTHER: entries.other = bits; break;
        case ACL_MASK: entries.mask = bits; break;
        case ACL_USER: entries.users.emplace_back(id, bits); break;
        case ACL_GROUP: entries.groups.emplace_back(id, bits); break;
        default: break;
        }
    }
    return entries;
}

// The access ACL of a directory that has only the permission bits of its mode.
AclEntries ModeAcl(mode_t mode)
{
    AclEntries entries;
    entries.userObj = (mode >> 6) & PermissionBits;
    entries.groupObj = (mode >> 3) & PermissionBits;
    entries.other = mode & PermissionBits;
    return entries;
}

// One ACL of the directory, or nothing when it has none: a directory without an access ACL has
// only its mode, one without a default ACL passes nothing on, and a file system without ACLs
// (ramfs, /proc, /sys) has neither. buffer keeps the bytes, and grows to fit them.
std::optional<AclEntries> ReadAcl(const OpenDirectory &directory, const char *name, std::vector<char> &buffer)
{
    // Never empty: asked with no room, the system gives the size alone.
    buffer.resize(std::max(buffer.size(), AclBytes));
    while (true) {
        const ssize_t size = directory.Attribute(name, buffer.data(), buffer.size());
        if (size >= 0)
            return ParseAcl(buffer.data(), static_cast<size_t>(size));
        if (errno == ENODATA || errno == ENOTSUP)
            return std::nullopt;
        if (errno != ERANGE)
            RaiseSystemError(errno);
        // Larger than the buffer: ask its size, and read again (it may have grown meanwhile).
        const ssize_t needed = directory.Attribute(name, nullptr, 0);
        if (needed < 0)
            RaiseSystemError(errno);
        buffer.resize(std::max(static_cast<size_t>(needed), AclBytes));
    }
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

// The trustee of an account number, looked up once per object.
template <typename Trustee, typename Id, typename Lookup>
const Trustee &CachedTrustee(std::unordered_map<Id, Trustee> &cache, Id id, Lookup trusteeOf)
{
    auto found = cache.find(id);
    if (found == cache.end())
        found = cache.emplace(id, trusteeOf(id)).first;
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

// An account that no longer exists (a deleted user, files from another machine) keeps its
// number as its name; a group without an entry keeps it after "@", as a group named like an
// account is set apart: a deleted user's private group has the user's number, and its rights are
// not the user's.
const ADsSecurity::Trustee &ADsSecurity::UserTrustee(uid_t uid)
{
    return CachedTrustee(m_users, uid, [this](uid_t id) {
        const passwd *account = getpwuid(id);
        if (!account)
            return Trustee{m_hostPrefix + QString::number(id), TrusteeKind::User, {}};
        return Trustee{m_hostPrefix + support::NameText(account->pw_name), TrusteeKind::User,
                       support::UnreadableName(account->pw_name)};
    });
}

const ADsSecurity::Trustee &ADsSecurity::GroupTrustee(gid_t gid)
{
    // A group that shares its name with an account stays apart from it: its owner and its group
    // are two trustees.
    return CachedTrustee(m_groups, gid, [this](gid_t id) {
        const group *entry = getgrgid(id);
        if (!entry)
            return Trustee{m_hostPrefix + u'@' + QString::number(id), TrusteeKind::Group, {}};
        return Trustee{m_hostPrefix + directory::NssDirectory::GroupName(entry->gr_name), TrusteeKind::Group,
                       support::UnreadableName(entry->gr_name)};
    });
}

// The root stays open while the directories asked for lie below it: a scan asks for those of one
// root after another.
const files::RootDirectory &ADsSecurity::OpenRoot(const QString &root)
{
    if (!m_root || root != m_rootPath) {
        m_root.reset();
        m_root.emplace(QFile::encodeName(root));
        m_rootPath = root;
    }
    if (!m_root->IsOpen())
        RaiseSystemError(m_root->Error());
    return *m_root;
}

std::optional<SecurityDescriptor> ADsSecurity::GetSecurityDescriptor(const QString &objectPath, const QString &root)
{
    if (!objectPath.startsWith(FileMoniker, Qt::CaseInsensitive))
        return std::nullopt;
    const QByteArray relative = BelowRoot(objectPath.mid(FileMoniker.size()), root);
    const OpenDirectory directory(OpenRoot(root), relative);
    struct stat info {};
    if (fstat(directory.Fd(), &info) != 0)
        RaiseSystemError(errno);
    const AclEntries access = OneEntryPerTrustee(
        ReadAcl(directory, AccessAcl, m_attribute).value_or(ModeAcl(info.st_mode)), info.st_uid, info.st_gid);
    const AclEntries defaults = ReadAcl(directory, DefaultAcl, m_attribute).value_or(AclEntries{});

    SecurityDescriptor descriptor;
    const auto Named = [](const char16_t *trustee) { return Trustee{QString::fromUtf16(trustee), TrusteeKind::Other, {}}; };
    auto add = [&descriptor](int bits, const Trustee &trustee, uint32_t flags) {
        if (bits == NoEntry)
            return;
        const uint32_t mask = AccessMaskOf(bits & ReadBit, bits & WriteBit, bits & ExecuteBit);
        if (mask != 0)
            descriptor.DiscretionaryAcl.push_back({mask, trustee.text, flags, trustee.kind, trustee.unreadableName});
    };
    auto addAcl = [&](const AclEntries &acl, const Trustee &owner, const Trustee &group, uint32_t flags) {
        // The mask limits every entry of the group class: named users, the owning group and
        // named groups.
        auto effective = [&acl](int bits) { return acl.mask == NoEntry || bits == NoEntry ? bits : bits & acl.mask; };
        add(acl.userObj, owner, flags);
        for (const auto &[uid, bits] : acl.users)
            add(effective(bits), UserTrustee(uid), flags);
        add(effective(acl.groupObj), group, flags);
        for (const auto &[gid, bits] : acl.groups)
            add(effective(bits), GroupTrustee(gid), flags);
        add(acl.other, Named(EveryoneTrustee), flags);
    };
    addAcl(access, UserTrustee(info.st_uid), GroupTrustee(info.st_gid), 0);
    addAcl(defaults, Named(CreatorOwnerTrustee), Named(CreatorGroupTrustee), DefaultAclFlags);
    return descriptor;
}

} // namespace platform::security
