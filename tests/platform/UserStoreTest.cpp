#include "common/TestSupport.h"
#include "platform/userstore/UserStore.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace platform::userstore;
using testing_support::TempProgramFolder;

TEST(UserStore, KeepsValuesPerApplicationSectionAndExactKey)
{
    TempProgramFolder folder;
    EXPECT_EQ(GetSetting("Quillmere", "Options", "Maximize"), "");
    EXPECT_EQ(GetSetting("Quillmere", "Options", "Maximize", "d"), "d");
    ASSERT_TRUE(SaveSetting("Quillmere", "Options", "Maximize", "1"));
    EXPECT_EQ(GetSetting("Quillmere", "Options", "Maximize"), "1");
    EXPECT_TRUE(QFile::exists(folder.ConfigHome() + "/Quillmere/Quillmere.conf"));

    // Download markers are keyed by full paths, which may hold any character and differ only
    // in letter case.
    const QString a = QStringLiteral("/opt/Quill Mere/Updates/a=b;c#[d].tar");
    const QString b = QStringLiteral("/opt/quill mere/updates/A=B;C#[D].TAR");
    ASSERT_TRUE(SaveSetting("Quillmere", "Downloads", a, "100"));
    ASSERT_TRUE(SaveSetting("Quillmere", "Downloads", b, "200"));
    EXPECT_EQ(GetSetting("Quillmere", "Downloads", a), "100");
    EXPECT_EQ(GetSetting("Quillmere", "Downloads", b), "200");
    ASSERT_TRUE(DeleteSetting("Quillmere", "Downloads", a));
    EXPECT_EQ(GetSetting("Quillmere", "Downloads", a, "gone"), "gone");
    EXPECT_EQ(GetSetting("Quillmere", "Downloads", b), "200");
    EXPECT_EQ(GetSetting("Other", "Options", "Maximize", "none"), "none");
}

TEST(UserStore, AStoreThatCannotBeWrittenGivesDefaults)
{
    TempProgramFolder folder;
    // The store's folder is taken by a plain file: nothing can be created below it.
    QFile blocker(folder.ConfigHome() + "/Quillmere");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(SaveSetting("Quillmere", "Options", "Maximize", "1"));
    EXPECT_EQ(GetSetting("Quillmere", "Options", "Maximize", "dflt"), "dflt");
    EXPECT_TRUE(DeleteSetting("Quillmere", "Options", "Maximize"));
}
