#include "platform/security/ADsSecurity.h"

#include "common/DirectoryTree.h"
#include "platform/directory/NssDirectory.h"
#include "support/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace platform::security;
using testing_support::DirectoryTree;

namespace {

// Accounts every Debian system has.
constexpr uid_t RootId = 0;
constexpr uid_t DaemonId = 1; // user and group "daemon" share the name and number
constexpr uid_t BinId = 2;
constexpr gid_t AdmId = 4;

// One entry as text, so that a failure shows the whole list readably.
std::string Describe(const SecurityDescriptor &descriptor)
{
    std::string text;
    for (const AccessControlEntry &entry : descriptor.DiscretionaryAcl)
        text += entry.Trustee.toStdString() + ' ' + QString::number(entry.AccessMask, 16).toStdString() + ' '
                + std::to_string(entry.AceFlags) + '\n';
    return text;
}

std::string Expected(std::initializer_list<AccessControlEntry> entries)
{
    return Describe(SecurityDescriptor{entries});
}

class ADsSecurityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.MakeDirs({"dir"});
        tree.Chown("dir", RootId, RootId);
    }

    SecurityDescriptor Read(const QString &relative)
    {
        const auto descriptor = security.GetSecurityDescriptor("FILE://" + tree.Path(relative));
        EXPECT_TRUE(descriptor.has_value());
        return descriptor.value_or(SecurityDescriptor{});
    }

    static QString Host(const QString &name) { return platform::directory::NssDirectory::HostShortName() + u'\\' + name; }

    DirectoryTree tree;
    ADsSecurity security;
};

TEST(AccessMaskOfTest, EachPermissionSet)
{
    EXPECT_EQ(AccessMaskOf(false, false, false), 0u);
    EXPECT_EQ(AccessMaskOf(true, false, false), 0x00120089u);
    EXPECT_EQ(AccessMaskOf(false, true, false), 0x00120116u);
    EXPECT_EQ(AccessMaskOf(false, false, true), 0x001200A0u);
    EXPECT_EQ(AccessMaskOf(true, true, false), 0x0012019Fu);
    EXPECT_EQ(AccessMaskOf(true, false, true), 0x001200A9u);
    EXPECT_EQ(AccessMaskOf(false, true, true), 0x001201B6u);
    EXPECT_EQ(AccessMaskOf(true, true, true), 0x001F01FFu);
}

TEST_F(ADsSecurityTest, PlainModeGivesOwnerGroupAndEveryone)
{
    tree.Chmod("dir", 0754);
    EXPECT_EQ(Describe(Read("dir")), Expected({
                                         {FullAccess, Host("root"), 0},
                                         {ReadAccess | ExecuteAccess, Host("root"), 0},
                                         {ReadAccess, "Everyone", 0},
                                     }));
}

TEST_F(ADsSecurityTest, MaskLimitsNamedEntriesAndOwningGroupButNotOwnerOrOthers)
{
    tree.SetAcl("dir", "u::rwx,u:daemon:rwx,u:bin:-w-,g::rwx,g:adm:rw-,m::r-x,o::rwx");
    EXPECT_EQ(Describe(Read("dir")), Expected({
                                         {FullAccess, Host("root"), 0},
                                         {ReadAccess | ExecuteAccess, Host("daemon"), 0},
                                         // bin's write is masked away: it grants nothing and is left out
                                         {ReadAccess | ExecuteAccess, Host("root"), 0},
                                         {ReadAccess, Host("adm"), 0},
                                         {FullAccess, "Everyone", 0},
                                     }));
}

TEST_F(ADsSecurityTest, DefaultAclFollowsAsInheritOnlyEntries)
{
    tree.SetAcl("dir", "u::rwx,g::r-x,o::---");
    tree.SetDefaultAcl("dir", "u::rwx,u:bin:r--,g::r-x,g:adm:rwx,m::rw-,o::--x");
    EXPECT_EQ(Describe(Read("dir")), Expected({
                                         {FullAccess, Host("root"), 0},
                                         {ReadAccess | ExecuteAccess, Host("root"), 0},
                                         {FullAccess, "CREATOR OWNER", DefaultAclFlags},
                                         {ReadAccess, Host("bin"), DefaultAclFlags},
                                         {ReadAccess, "CREATOR GROUP", DefaultAclFlags},
                                         {ReadAccess | WriteAccess, Host("adm"), DefaultAclFlags},
                                         {ExecuteAccess, "Everyone", DefaultAclFlags},
                                     }));
}

TEST_F(ADsSecurityTest, OwnerAndGroupNamesAndNumbersWithoutAccount)
{
    tree.Chown("dir", DaemonId, DaemonId);
    tree.Chmod("dir", 0730);
    EXPECT_EQ(Describe(Read("dir")), Expected({
                                         {FullAccess, Host("daemon"), 0},
                                         {WriteAccess | ExecuteAccess, Host("daemon"), 0},
                                     }));
    // An owner with no account (a deleted user) keeps its number; the cache must not mix up
    // the user and group of the same number either.
    tree.Chown("dir", 54321, AdmId);
    tree.SetAcl("dir", "u::r-x,u:54322:rwx,g::---,g:54323:r--,m::rwx,o::---");
    EXPECT_EQ(Describe(Read("dir")), Expected({
                                         {ReadAccess | ExecuteAccess, Host("54321"), 0},
                                         {FullAccess, Host("54322"), 0},
                                         {ReadAccess, Host("54323"), 0},
                                     }));
    tree.Chown("dir", BinId, BinId);
    EXPECT_EQ(Read("dir").DiscretionaryAcl.front().Trustee, Host("bin"));
}

TEST_F(ADsSecurityTest, PathThatCannotBeReadRaisesTheSystemsMessage)
{
    try {
        security.GetSecurityDescriptor("FILE://" + tree.Path("missing"));
        FAIL() << "no error for a missing directory";
    } catch (const support::Error &error) {
        EXPECT_EQ(error.Description(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    }

    tree.MakeDirs({"closed/inner"});
    tree.Chmod("closed", 0700);
    testing_support::Unprivileged nobody;
    if (!nobody.Active())
        GTEST_SKIP() << "cannot run unprivileged here";
    try {
        security.GetSecurityDescriptor("FILE://" + tree.Path("closed/inner"));
        FAIL() << "no error for a directory behind a closed one";
    } catch (const support::Error &error) {
        EXPECT_EQ(error.Description(), QString::fromLocal8Bit(std::strerror(EACCES)));
    }
}

TEST_F(ADsSecurityTest, OnlyFileObjectsHaveADescriptorHere)
{
    EXPECT_FALSE(security.GetSecurityDescriptor("LDAP://" + tree.Path("dir")).has_value());
    EXPECT_TRUE(security.GetSecurityDescriptor("file://" + tree.Path("dir")).has_value());
}

} // namespace
