#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

namespace testing_support {

// A real directory tree in a temporary folder, with real POSIX ACLs, removed with the object.
// The folder is open to every user (0755) so that tests may look at it unprivileged.
class DirectoryTree {
public:
    DirectoryTree();

    // The tree's root, without a trailing "/".
    QString Root() const { return m_folder.path(); }
    QString Path(const QString &relative) const { return Root() + u'/' + relative; }

    // Makes each directory (relative to the root) with its parents.
    void MakeDirs(const QStringList &relatives) const;
    // Sets a directory's access ACL, or its default ACL, from the short text form
    // ("u::rwx,u:daemon:r-x,g::r-x,m::r-x,o::---"); the test fails on a text the system rejects.
    void SetAcl(const QString &relative, const QString &text) const;
    void SetDefaultAcl(const QString &relative, const QString &text) const;
    void Chown(const QString &relative, uid_t owner, gid_t group) const;
    void Chmod(const QString &relative, mode_t mode) const;

private:
    QTemporaryDir m_folder;
};

// Runs its scope as the unprivileged user "nobody", so that permission bits apply as they do to
// an ordinary user: root passes them all, and tests run as root. Restores the effective user when
// it goes. Active() is false when the switch is not possible (the test should then be skipped).
class Unprivileged {
public:
    Unprivileged();
    ~Unprivileged();
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool Active() const { return m_active; }

private:
    bool m_switched = false;
    bool m_active = false;
};

} // namespace testing_support
