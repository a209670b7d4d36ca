#include "common/MemoryDirectory.h"
#include "common/TestSupport.h"
#include "shell/frmSettings.h"

#include <QFile>

#include <gtest/gtest.h>

using testing_support::TempProgramFolder;

namespace {

frmSettings &settings() { return frmSettings::Instance(); }

} // namespace

TEST(frmSettings, WithoutASettingsFileEveryGetterGivesItsDefault)
{
    TempProgramFolder folder;
    EXPECT_EQ(settings().GetDatabasePath(), folder.Path() + "NetworkInfo.mdb");
    EXPECT_EQ(settings().GetShowQuickStart(), "1");
    EXPECT_EQ(settings().GetNetworkgroupSubdirCount(), "3");
    EXPECT_EQ(settings().GetNetworkuserSubdirCount(), "3");
    EXPECT_EQ(settings().GetMinimizeToTray(), "0");
    EXPECT_EQ(settings().GetNoPing(), "0");
    EXPECT_EQ(settings().GetCheckForUpdates(), "0");
    EXPECT_EQ(settings().GetScheduledScan(), "0");
    EXPECT_EQ(settings().GetScheduledTime(), "");
    EXPECT_TRUE(settings().GetDirectories().isEmpty());
    EXPECT_EQ(settings().SettingsFile(), folder.Path() + "Quillmere.ini");
    EXPECT_FALSE(QFile::exists(settings().SettingsFile())) << "reading must not create the file";
}

TEST(frmSettings, EveryReadGoesToTheFileAndLongValuesComeBackWhole)
{
    TempProgramFolder folder;
    folder.Write("Quillmere.ini", "[Options]\nDatabasePath=/a.mdb\n");
    EXPECT_EQ(settings().GetDatabasePath(), "/a.mdb");
    const QString longPath = "/srv/" + QString("x").repeated(295);
    folder.Write("Quillmere.ini", ("[options]\r\ndatabasepath = " + longPath + "\r\n").toUtf8());
    EXPECT_EQ(settings().GetDatabasePath(), longPath);
}

TEST(frmSettings, DirectoriesFollowTheCountWithGapsAndOddCounts)
{
    TempProgramFolder folder;
    const struct {
        const char *content;
        QStringList expected;
    } cases[] = {
        {"[Directories]\nDirectoryCount=2\nDirectory1=/home\n", {"/home", ""}},
        {"[Directories]\nDirectoryCount=3\nDirectory1=/a\nDirectory3=/c\nDirectory2=/b\n", {"/a", "/b", "/c"}},
        {"[Directories]\nDirectoryCount=two\nDirectory1=/a\n", {}},
        // Counts beyond the 16-bit range or below zero: every Directory key, by its number.
        {"[Directories]\nDirectoryCount=-1\nDirectory1=/a\n", {"/a"}},
        {"[Directories]\nDirectoryCount=-0.7\nDirectory1=/a\n", {"/a"}}, // rounds to -1
        {"[Directories]\nDirectoryCount=65535\nDirectory10=/j\nDirectory01=/x\nDirectory3=/c\nDIRECTORY1=/a\n"
         "DirectoryX=/x\n", {"/a", "/c", "/j"}},
        {"[Directories]\nDirectoryCount=1.5\nDirectory1=/a\nDirectory2=/b\n", {"/a", "/b"}},
        {"[Directories]\nDirectoryCount=0.5\nDirectory1=/a\n", {}},
        {"[Directories]\nDirectoryCount=1abc\nDirectory1=/a\n", {"/a"}},
        {"[Directories]\nDirectoryCount=99999999\nDirectory1=/a\n", {"/a"}},
        {"[Directories]\nDirectory1=/a\n", {}},
    };
    for (const auto &c : cases) {
        folder.Write("Quillmere.ini", c.content);
        EXPECT_EQ(settings().GetDirectories(), c.expected) << c.content;
    }
    // The largest count, from one reading of the file.
    folder.Write("Quillmere.ini", "[Directories]\nDirectoryCount=32767\nDirectory32767=/last\n");
    const QStringList largest = settings().GetDirectories();
    ASSERT_EQ(largest.size(), 32767);
    EXPECT_EQ(largest.last(), "/last");
}

TEST(frmSettings, SettersWriteTheirTextFormsAndKeepTheRestOfTheFile)
{
    TempProgramFolder folder;
    folder.Write("Quillmere.ini", "[Options]\nDomain=SALES\n[Directories]\nDirectoryCount=1\nDirectory1=/srv\n");
    const struct {
        int16_t value;
        const char *quickStart;
        const char *count;
    } cases[] = {{1, "1", "1"}, {2, "0", "2"}, {0, "0", "0"}, {12, "0", "12"}, {-3, "0", "-3"}, {-32768, "0", "-32768"}};
    for (const auto &c : cases) {
        settings().SetShowQuickStart(c.value);
        settings().SetNetworkgroupSubdirCount(c.value);
        settings().SetNetworkuserSubdirCount(c.value);
        EXPECT_EQ(settings().GetShowQuickStart(), c.quickStart) << c.value;
        EXPECT_EQ(settings().GetNetworkgroupSubdirCount(), c.count);
        EXPECT_EQ(settings().GetNetworkuserSubdirCount(), c.count);
    }
    EXPECT_EQ(settings().GetDomain(), "SALES");
    EXPECT_EQ(settings().GetDirectories(), QStringList{"/srv"});
}

TEST(frmSettings, AnEmptyDomainFallsBackToTheDirectoryWithoutWriting)
{
    TempProgramFolder folder;
    const QByteArray content = "[Options]\nDomain=\n";
    folder.Write("Quillmere.ini", content);
    {
        testing_support::MemoryDirectory service;
        service.AddDomain("FIRST");
        service.AddDomain("SECOND");
        EXPECT_EQ(settings().GetDomain(), "FIRST");
    }
    {
        testing_support::MemoryDirectory none;
        EXPECT_EQ(settings().GetDomain(), "");
    }
    EXPECT_EQ(folder.Read("Quillmere.ini"), content);
    // The real backend: this machine is the one domain.
    EXPECT_FALSE(settings().GetDomain().isEmpty());
    EXPECT_FALSE(settings().GetDomain().contains(u'.'));
}
