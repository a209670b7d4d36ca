#include "common/TestSupport.h"
#include "platform/database/Recordset.h"
#include "platform/directory/NssDirectory.h"
#include "scan/modDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using testing_support::TempProgramFolder;

namespace {

int rowCount(const QString &database, const QString &table)
{
    platform::database::Connection connection;
    modDatabase::OpenDatabase(connection, database);
    platform::database::Recordset rows;
    rows.Open("select count(*) from " + table, connection);
    return rows.Fields(0).Value().toInt();
}

// Runs "quillmere -scan" from the folder the way cron would: no display, no Qt platform chosen.
QProcess *startUnattended(const TempProgramFolder &folder, QProcess &process)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(folder.InstallProgram(), {"-scan"});
    return &process;
}

} // namespace

TEST(UnattendedScan, FillsEveryTableWritesItsFilesAndEnds)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    const QString tree = folder.File("shares");
    for (const char *dir : {"/sales/2026", "/sales/archive", "/it/tools", "/.hidden/x"})
        QDir().mkpath(tree + dir);
    // Others may read them whatever the umask: "Everyone" is the used group the test expects.
    QDirIterator all(tree, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (all.hasNext())
        QFile::setPermissions(all.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    folder.Write("Quillmere.ini", ("[Options]\nNoPing=1\nSubdirectoryCount=2\nMinimizeToTray=0\nObsolete=1\n"
                                   "[Directories]\nDirectoryCount=1\nDirectory1=" + tree + "\n").toUtf8());

    QProcess process;
    startUnattended(folder, process);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QString database = folder.File("NetworkInfo.mdb");
    for (const char *table : {"Users", "Groups", "UserGroup", "Permissions", "UsedGroups", "InstalledSoftware", "settings"})
        EXPECT_GT(rowCount(database, table), 0) << table;
    EXPECT_EQ(rowCount(database, "Permissions where Path like '%/.hidden%'"), 0);
    EXPECT_GT(rowCount(database, "Permissions where Path = '" + tree + "/sales/2026'"), 0);

    const QStringList log = QString::fromUtf8(folder.Read("ScanLog.log")).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 4) << log.join('\n').toStdString();
    EXPECT_TRUE(log[0].endsWith("  -  Users and groups scanned successfully."));
    EXPECT_TRUE(log[1].endsWith("  -  Directories scanned successfully."));
    EXPECT_TRUE(log[3].endsWith("  -  Scan finished successfully."));
    const QString host = platform::directory::NssDirectory::HostShortName();
    EXPECT_TRUE(folder.Read("Workstations.log").startsWith((host + "\r\n").toUtf8()));

    const QString settings = QString::fromUtf8(folder.Read("Quillmere.ini"));
    EXPECT_TRUE(settings.contains("\nDomain=" + host + "\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("\nNoPing=1\n"));
    EXPECT_TRUE(settings.contains("\nDirectory1=" + tree + "\n"));
    EXPECT_FALSE(settings.contains("Obsolete"));
}

TEST(UnattendedScan, AFailedRunStillEndsTheProgramAndSaysWhy)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    folder.Write("Quillmere.ini", "[Options]\nScanUsers=0\nScanDirectories=0\nScanPrograms=0\n");
    QDir().mkpath(folder.File("ScanLog.log")); // the log cannot be written

    QProcess process;
    startUnattended(folder, process);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("Unknown error: "));
    EXPECT_TRUE(QString::fromUtf8(folder.Read("Quillmere.ini")).contains("\nScanUsers=0\n"));
}
