#pragma once

#include "platform/directory/DirectoryService.h"

namespace platform::directory {

// This machine's accounts through NSS (local files, and the domain accounts of winbind or sssd
// where they are configured). The machine is the one domain; its name is the host's short name.
//
// Users come from getpwent, groups from getgrent, each read once per call (NssAccounts), the
// groups named as GroupName names them. An object whose name is no valid UTF-8 is marked with
// its UnreadableName. What NSS does not carry is read from two files: the shadow file (a locked
// "!" password or an expired account disables the user; a maximum password age that is empty,
// negative or at least 10000 days, or no line for the account at all, means the password never
// expires) and the lastlog file (the last login; a user without a record has no LastLogin). A
// shadow file that cannot be read (not root) leaves every user enabled and without the
// never-expires bit. The computers are this host and every computer that has a registry export
// Registry/<computer>.reg in the program folder, when the file name is a computer's name (no
// control characters, none of \ / : * ? " < > |, not only dots) that does not name this host; a
// file name that is no UTF-8 gives a computer marked with its UnreadableName.
class NssDirectory : public DirectoryService {
public:
    struct Files {
        QString shadow = QStringLiteral("/etc/shadow");
        QString lastlog = QStringLiteral("/var/log/lastlog");
    };

    NssDirectory() = default;
    explicit NssDirectory(Files files) : m_files(std::move(files)) {}

    QStringList Domains() override;
    std::unique_ptr<DomainContainer> Bind(const QString &domain) override;

    // The host name up to its first ".".
    static QString HostShortName();
    // True when computer names this machine (its short or full host name, "localhost", "." or "").
    static bool IsThisHost(const QString &computer);

    // The name under which the group called name is stored and shown everywhere (the domain's
    // groups, a user's memberships, the trustees of access rights): its own name, or "@" + its
    // name when an account has that name too. Linux lets a user and a group share a name (Debian
    // gives every user a private group of the same name); the results know a member only by its
    // name, so without the "@" the group's rights would pass for the user's and the other way round.
    // "An account has that name" is what getpwnam says, here and in the users scan alike. A name
    // that is no UTF-8 keeps its bytes (support::NameText).
    static QString GroupName(const char *name);

private:
    Files m_files;
};

} // namespace platform::directory
