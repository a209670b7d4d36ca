#include "common/DirectoryTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

namespace {

constexpr uid_t NobodyId = 65534;

void SetAclOfType(const QString &path, const QString &text, acl_type_t type)
{
    acl_t acl = acl_from_text(text.toUtf8().constData());
    ASSERT_NE(acl, nullptr) << "ACL text rejected: " << text.toStdString();
    const int result = acl_set_file(QFile::encodeName(path).constData(), type, acl);
    const int error = errno;
    acl_free(acl);
    ASSERT_EQ(result, 0) << "acl_set_file " << path.toStdString() << ": " << std::strerror(error);
}

} // namespace

DirectoryTree::DirectoryTree()
{
    EXPECT_TRUE(m_folder.isValid());
    Chmod({}, 0755);
}

void DirectoryTree::MakeDirs(const QStringList &relatives) const
{
    for (const QString &relative : relatives)
        ASSERT_TRUE(QDir().mkpath(Path(relative))) << relative.toStdString();
}

void DirectoryTree::SetAcl(const QString &relative, const QString &text) const
{
    SetAclOfType(Path(relative), text, ACL_TYPE_ACCESS);
}

void DirectoryTree::SetDefaultAcl(const QString &relative, const QString &text) const
{
    SetAclOfType(Path(relative), text, ACL_TYPE_DEFAULT);
}

void DirectoryTree::Chown(const QString &relative, uid_t owner, gid_t group) const
{
    ASSERT_EQ(chown(QFile::encodeName(Path(relative)).constData(), owner, group), 0) << std::strerror(errno);
}

void DirectoryTree::Chmod(const QString &relative, mode_t mode) const
{
    const QString path = relative.isEmpty() ? Root() : Path(relative);
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), mode), 0) << std::strerror(errno);
}

Unprivileged::Unprivileged()
{
    if (geteuid() != 0) {
        m_active = true; // already an ordinary user
        return;
    }
    // Only the effective user changes: the real and saved user stay root, so the destructor can
    // switch back, and meanwhile the kernel clears the capabilities that let root pass every check.
    m_switched = seteuid(NobodyId) == 0;
    m_active = m_switched;
}

Unprivileged::~Unprivileged()
{
    if (m_switched && seteuid(0) != 0)
        ADD_FAILURE() << "could not become root again: " << std::strerror(errno);
}

} // namespace testing_support
