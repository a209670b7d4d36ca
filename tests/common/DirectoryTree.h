#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

// A real directory tree with real POSIX ACLs in a temporary folder, removed with the object. The
// folder is open to every user (0755) so that tests may look at it unprivileged. A call the system
// refuses fails the test.
class DirectoryTree {
public:
    DirectoryTree()
    {
        EXPECT_TRUE(m_folder.isValid());
        Chmod({}, 0755);
    }

    QString Root() const { return m_folder.path(); } // without a trailing "/"
    QString Path(const QString &relative) const { return Root() + u'/' + relative; }

    // Makes each directory (relative to the root) with its parents, all 0755 whatever the umask.
    void MakeDirs(const QStringList &relatives) const
    {
        for (const QString &relative : relatives) {
            ASSERT_TRUE(QDir().mkpath(Path(relative))) << relative.toStdString();
            QString prefix;
            for (const QString &part : relative.split(u'/')) {
                prefix += (prefix.isEmpty() ? QString() : QStringLiteral("/")) + part;
                Chmod(prefix, 0755);
            }
        }
    }
    // Sets a directory's access or default ACL from the short text form ("u::rwx,u:daemon:r-x,...").
    void SetAcl(const QString &relative, const QString &text) const { SetAcl(relative, text, ACL_TYPE_ACCESS); }
    void SetDefaultAcl(const QString &relative, const QString &text) const { SetAcl(relative, text, ACL_TYPE_DEFAULT); }
    void Chown(const QString &relative, uid_t owner, gid_t group) const
    {
        ASSERT_EQ(chown(QFile::encodeName(Path(relative)).constData(), owner, group), 0) << std::strerror(errno);
    }
    void Chmod(const QString &relative, mode_t mode) const
    {
        ASSERT_EQ(chmod(QFile::encodeName(Path(relative)).constData(), mode), 0) << std::strerror(errno);
    }

private:
    void SetAcl(const QString &relative, const QString &text, acl_type_t type) const
    {
        acl_t acl = acl_from_text(text.toUtf8().constData());
        ASSERT_NE(acl, nullptr) << "ACL text rejected: " << text.toStdString();
        const int result = acl_set_file(QFile::encodeName(Path(relative)).constData(), type, acl);
        const int error = errno;
        acl_free(acl);
        ASSERT_EQ(result, 0) << relative.toStdString() << ": " << std::strerror(error);
    }

    QTemporaryDir m_folder;
};

// Runs its scope as the unprivileged user "nobody", so that permission bits apply as they do to an
// ordinary user (tests run as root, which passes them all). Active() is false when the switch is
// not possible: the test should then be skipped.
class Unprivileged {
public:
    // Only the effective user changes: the real and saved user stay root, so the destructor can
    // switch back, and meanwhile the kernel clears the capabilities that let root pass every check.
    Unprivileged() : m_switched(geteuid() == 0 && seteuid(65534) == 0), m_active(m_switched || geteuid() != 0) {}
    ~Unprivileged()
    {
        if (m_switched && seteuid(0) != 0)
            ADD_FAILURE() << "could not become root again: " << std::strerror(errno);
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

    bool Active() const { return m_active; }

private:
    const bool m_switched;
    const bool m_active;
};

} // namespace testing_support
