#pragma once

#include "platform/files/RootDirectory.h"

#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace platform::security {

// Access rights of an entry, built from the read, write and execute permissions of a POSIX ACL
// entry. Read, write and execute together give FullAccess.
inline constexpr uint32_t ReadAccess = 0x00120089;
inline constexpr uint32_t WriteAccess = 0x00120116;
inline constexpr uint32_t ExecuteAccess = 0x001200A0;
inline constexpr uint32_t FullAccess = 0x001F01FF;

// Flags of an entry: the default ACL's entries are passed on to what is created in the directory
// (files and subdirectories) and do not apply to the directory itself.
inline constexpr uint32_t ObjectInheritAce = 0x01;
inline constexpr uint32_t ContainerInheritAce = 0x02;
inline constexpr uint32_t InheritOnlyAce = 0x08;
inline constexpr uint32_t DefaultAclFlags = ObjectInheritAce | ContainerInheritAce | InheritOnlyAce;

// Trustees that name no account.
inline constexpr char16_t EveryoneTrustee[] = u"Everyone";
inline constexpr char16_t CreatorOwnerTrustee[] = u"CREATOR OWNER";
inline constexpr char16_t CreatorGroupTrustee[] = u"CREATOR GROUP";

// What a trustee names: an account (the owner, a named user), a group (the owning group, a named
// group) or neither ("Everyone", "CREATOR OWNER", "CREATOR GROUP").
enum class TrusteeKind { Other, User, Group };

struct AccessControlEntry {
    uint32_t AccessMask = 0;
    QString Trustee;       // "HOST\name" ("HOST\@name": a group named like an account), "HOST\4242"
                           // ("HOST\@4242": a group) for a number without an entry, "Everyone",
                           // "CREATOR OWNER" or "CREATOR GROUP"
    uint32_t AceFlags = 0; // 0, or DefaultAclFlags for an entry of the default ACL
    TrusteeKind Kind = TrusteeKind::Other;
    // An account's or group's name that is no valid UTF-8 does not stand for itself as text: it
    // is held here as support::KeptBytes keeps it (and so in Trustee, which then stands for that
    // one name), for reports; empty for a name that is text.
    QString UnreadableName;
};

struct SecurityDescriptor {
    std::vector<AccessControlEntry> DiscretionaryAcl;
};

// The access mask of a permission set; 0 when it grants nothing.
uint32_t AccessMaskOf(bool read, bool write, bool execute);

// Reads the access rights of directories from their POSIX ACLs, as a security
// descriptor whose discretionary ACL holds, in this order: the owner, the named users, the owning
// group, the named groups and others, then the default ACL's entries in the same order as
// inherit-only entries (its owner and group as "CREATOR OWNER" and "CREATOR GROUP"). Named users,
// named groups and the owning group carry their effective rights (limited by the ACL's mask);
// an entry that grants nothing is left out. Among the access entries each trustee has one: a
// named entry for the owning group is joined to the owning group's (the union of their rights),
// and one for the owner is left out. Account names are looked up once per object.
class ADsSecurity {
public:
    ADsSecurity();

    // objectPath is "FILE://" + the path of a directory at or below root, the directory that its
    // search began at as the user typed it: root is opened as typed, and no symbolic link below it
    // is followed. Another kind of object has no descriptor here (std::nullopt). Raises
    // support::Error with the system's message when the path cannot be read or is no directory, or
    // when a link is met below root ("Is a symbolic link", "A directory above it is a symbolic link").
    std::optional<SecurityDescriptor> GetSecurityDescriptor(const QString &objectPath, const QString &root);

private:
    // The trustee of an account number, as an entry carries it.
    struct Trustee {
        QString text;
        TrusteeKind kind;
        QString unreadableName;
    };

    const files::RootDirectory &OpenRoot(const QString &root);
    const Trustee &UserTrustee(uid_t uid);
    const Trustee &GroupTrustee(gid_t gid);

    QString m_hostPrefix; // "HOST\"
    // The root of the last call, open as long as the calls stay below it.
    QString m_rootPath;
    std::optional<files::RootDirectory> m_root;
    std::vector<char> m_attribute; // the bytes of the last ACL read, kept for the next one
    std::unordered_map<uid_t, Trustee> m_users;
    std::unordered_map<gid_t, Trustee> m_groups;
};

} // namespace platform::security
