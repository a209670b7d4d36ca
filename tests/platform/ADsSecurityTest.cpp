#include "platform/security/ADsSecurity.h"

#include "common/DirectoryTree.h"
#include "common/WithoutOpenat2.h"
#include "platform/directory/NssDirectory.h"
#include "support/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace platform::security;
using testing_support::DirectoryTree;

namespace {

// Accounts every Debian system has: user and group "daemon" share the name and number 1 (so the
// group is "@daemon", as group root is "@root"), while the user with number 4 is "sync" and the
// group "adm".
constexpr uid_t RootId = 0;
constexpr uid_t DaemonId = 1;
constexpr gid_t AdmId = 4;

// An entry as the tests expect it.
struct Entry {
    uint32_t mask;
    QString trustee;
    uint32_t flags;
};

// The entries as text, so that a failure shows the whole list readably.
std::string Line(const Entry &entry)
{
    return entry.trustee.toStdString() + ' ' + QString::number(entry.mask, 16).toStdString() + ' '
           + std::to_string(entry.flags) + '\n';
}

std::string Describe(const SecurityDescriptor &descriptor)
{
    std::string text;
    for (const AccessControlEntry &entry : descriptor.DiscretionaryAcl)
        text += Line({entry.AccessMask, entry.Trustee, entry.AceFlags});
    return text;
}

std::string Expected(const std::vector<Entry> &entries)
{
    std::string text;
    for (const Entry &entry : entries)
        text += Line(entry);
    return text;
}

class ADsSecurityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeDirs({"dir"});
        tree.Chown("dir", RootId, RootId);
    }

    // The directory's entries, read below the tree's root or the given one.
    std::string Read(const QString &relative, const QString &root = {})
    {
        const auto descriptor = security.GetSecurityDescriptor("FILE://" + tree.Path(relative), RootPath(root));
        EXPECT_TRUE(descriptor.has_value());
        return Describe(descriptor.value_or(SecurityDescriptor{}));
    }

    // The system's message for the path, or "" when it could be read.
    QString ErrorOf(const QString &relative)
    {
        try {
            security.GetSecurityDescriptor("FILE://" + tree.Path(relative), tree.Root());
        } catch (const support::Error &error) {
            return error.Description();
        }
        return {};
    }

    QString RootPath(const QString &root) const { return root.isEmpty() ? tree.Root() : tree.Path(root); }

    static QString Host(const QString &name) { return platform::directory::NssDirectory::HostShortName() + u'\\' + name; }

    DirectoryTree tree;
    ADsSecurity security;
};

TEST(AccessMaskOfTest, EachPermissionSet)
{
    // Indexed by the permission bits: read 4, write 2, execute 1.
    const uint32_t expected[] = {0, 0x001200A0, 0x00120116, 0x001201B6, 0x00120089, 0x001200A9, 0x0012019F, 0x001F01FF};
    for (int bits = 0; bits < 8; ++bits)
        EXPECT_EQ(AccessMaskOf(bits & 4, bits & 2, bits & 1), expected[bits]) << bits;
}

TEST_F(ADsSecurityTest, OwnerGroupAndEveryoneByNameOrNumber)
{
    tree.Chmod("dir", 0754);
    EXPECT_EQ(Read("dir"), Expected({{FullAccess, Host("root"), 0},
                                     {ReadAccess | ExecuteAccess, Host("@root"), 0},
                                     {ReadAccess, "Everyone", 0}}));
    tree.Chown("dir", DaemonId, DaemonId);
    tree.Chmod("dir", 0730);
    EXPECT_EQ(Read("dir"), Expected({{FullAccess, Host("daemon"), 0}, {WriteAccess | ExecuteAccess, Host("@daemon"), 0}}));
    // A user that no longer exists keeps its number, a group without an entry "@" and its number:
    // a deleted user and its private group of the same number stay two trustees. User 4 and
    // group 4 keep their own names.
    tree.Chown("dir", 54321, 54321);
    tree.SetAcl("dir", "u::r-x,u:4:rwx,u:54322:-w-,g::r--,g:adm:r--,g:54322:rwx,m::rwx,o::---");
    tree.SetDefaultAcl("dir", "u::---,g::---,g:54321:r-x,m::r-x,o::---");
    EXPECT_EQ(Read("dir"), Expected({{ReadAccess | ExecuteAccess, Host("54321"), 0},
                                     {FullAccess, Host("sync"), 0},
                                     {WriteAccess, Host("54322"), 0},
                                     {ReadAccess, Host("@54321"), 0},
                                     {ReadAccess, Host("adm"), 0},
                                     {FullAccess, Host("@54322"), 0},
                                     {ReadAccess | ExecuteAccess, Host("@54321"), DefaultAclFlags}}));
    // Lists longer than the room of a first read, in both ACLs.
    QStringList named;
    std::vector<Entry> access{{ReadAccess | ExecuteAccess, Host("54321"), 0}}, inherited;
    for (int uid = 60000; uid < 60140; ++uid) {
        named << QStringLiteral("u:%1:r--").arg(uid);
        access.push_back({ReadAccess, Host(QString::number(uid)), 0});
        inherited.push_back({ReadAccess, Host(QString::number(uid)), DefaultAclFlags});
    }
    tree.SetAcl("dir", "u::r-x,g::---,m::r--,o::---," + named.join(u','));
    tree.SetDefaultAcl("dir", "u::---,g::---,m::r--,o::---," + named.join(u','));
    access.insert(access.end(), inherited.begin(), inherited.end());
    EXPECT_EQ(Read("dir"), Expected(access));
}

TEST_F(ADsSecurityTest, MaskLimitsNamedEntriesAndOwningGroupButNotOwnerOrOthers)
{
    // bin's write is masked away: it grants nothing and is left out.
    tree.SetAcl("dir", "u::rwx,u:daemon:rwx,u:bin:-w-,g::rwx,g:adm:rw-,m::r-x,o::rwx");
    EXPECT_EQ(Read("dir"), Expected({{FullAccess, Host("root"), 0},
                                     {ReadAccess | ExecuteAccess, Host("daemon"), 0},
                                     {ReadAccess | ExecuteAccess, Host("@root"), 0},
                                     {ReadAccess, Host("adm"), 0},
                                     {FullAccess, "Everyone", 0}}));
}

// A member gets what any of the group's entries grants under the mask, and the owner only what
// the owner entry grants: one access entry per trustee. The default ACL is passed on as it is.
TEST_F(ADsSecurityTest, AGroupsAccessEntriesBecomeOneWithTheirUnionAndTheOwnerHasOne)
{
    tree.Chown("dir", RootId, AdmId);
    const struct {
        const char *acl;
        std::string expected;
    } cases[] = {
        {"u::rwx,g::r--,g:adm:rwx,m::rwx,o::---", Expected({{FullAccess, Host("root"), 0}, {FullAccess, Host("adm"), 0}})},
        // Joined at the owning group's place, before @daemon (gid 1); the mask takes adm's write.
        {"u::rwx,g::r--,g:daemon:rwx,g:adm:-wx,m::r-x,o::r--",
         Expected({{FullAccess, Host("root"), 0},
                   {ReadAccess | ExecuteAccess, Host("adm"), 0},
                   {ReadAccess | ExecuteAccess, Host("@daemon"), 0},
                   {ReadAccess, "Everyone", 0}})},
        {"u::r-x,u:root:rwx,u:daemon:rwx,g::---,g:adm:rw-,m::rwx,o::---",
         Expected({{ReadAccess | ExecuteAccess, Host("root"), 0},
                   {FullAccess, Host("daemon"), 0},
                   {ReadAccess | WriteAccess, Host("adm"), 0}})},
    };
    for (const auto &c : cases) {
        tree.SetAcl("dir", c.acl);
        EXPECT_EQ(Read("dir"), c.expected) << c.acl;
    }
    tree.SetAcl("dir", "u::rwx,g::r--,o::---");
    tree.SetDefaultAcl("dir", "u::rwx,u:root:r--,g::r-x,g:adm:rwx,m::rw-,o::--x");
    EXPECT_EQ(Read("dir"), Expected({{FullAccess, Host("root"), 0},
                                     {ReadAccess, Host("adm"), 0},
                                     {FullAccess, "CREATOR OWNER", DefaultAclFlags},
                                     {ReadAccess, Host("root"), DefaultAclFlags},
                                     {ReadAccess, "CREATOR GROUP", DefaultAclFlags},
                                     {ReadAccess | WriteAccess, Host("adm"), DefaultAclFlags},
                                     {ExecuteAccess, "Everyone", DefaultAclFlags}}));
}

TEST_F(ADsSecurityTest, OnlyFileObjectsThatCanBeReadHaveADescriptor)
{
    EXPECT_FALSE(security.GetSecurityDescriptor("LDAP://" + tree.Path("dir"), tree.Root()).has_value());
    EXPECT_TRUE(security.GetSecurityDescriptor("file://" + tree.Path("dir"), tree.Root()).has_value());
    EXPECT_EQ(ErrorOf("missing"), QString::fromLocal8Bit(std::strerror(ENOENT)));

    tree.MakeDirs({"closed/inner", "searchOnly"});
    tree.Chmod("closed", 0700);
    tree.SetAcl("searchOnly", "u::rwx,u:daemon:r-x,g::--x,m::r-x,o::--x");
    tree.SetDefaultAcl("searchOnly", "u::rwx,g::r-x,g:adm:rwx,m::rwx,o::---");
    const std::string searchOnly = Read("searchOnly");
    testing_support::Unprivileged nobody;
    if (!nobody.Active())
        GTEST_SKIP() << "cannot run unprivileged here";
    testing_support::EachWayOfOpening([&](const char *way) {
        EXPECT_EQ(ErrorOf("closed/inner"), QString::fromLocal8Bit(std::strerror(EACCES))) << way;
        // Its rights are readable by name, so they are through a descriptor too.
        EXPECT_EQ(Read("searchOnly"), searchOnly) << way;
    });
}

// Below the root no link is followed, in a directory's place or in that of one above it: whoever
// may write there could otherwise have a closed tree's rights read under the found names. The
// root is opened as typed, and may lie behind links.
TEST_F(ADsSecurityTest, NoLinkBelowTheRootIsFollowedButTheRootMayLieBehindOne)
{
    tree.MakeDirs({"closed/sub", "real/sub"});
    tree.SetAcl("closed/sub", "u::rwx,u:daemon:rwx,g::---,m::rwx,o::---");
    tree.SetAcl("real/sub", "u::rwx,g::r-x,g:adm:r-x,m::r-x,o::---");
    ASSERT_TRUE(QFile::link(tree.Path("closed"), tree.Path("p")));
    ASSERT_TRUE(QFile::link(tree.Path("real"), tree.Path("alias")));
    const std::string real = Read("real"), realSub = Read("real/sub");
    testing_support::EachWayOfOpening([&](const char *way) {
        EXPECT_EQ(ErrorOf("p"), "Is a symbolic link") << way;
        EXPECT_EQ(ErrorOf("p/sub"), "A directory above it is a symbolic link") << way;
        EXPECT_EQ(ErrorOf("real/sub/missing"), QString::fromLocal8Bit(std::strerror(ENOENT))) << way;
        EXPECT_EQ(Read("alias", "alias"), real) << way;
        EXPECT_EQ(Read("alias/sub", "alias"), realSub) << way;
        EXPECT_EQ(Read("alias/sub", "alias/"), realSub) << way;
    });
}

} // namespace
