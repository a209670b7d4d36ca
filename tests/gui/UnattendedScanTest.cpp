#include "analysis/clsAnalysis.h"
#include "common/PathLimitChain.h"
#include "common/TestSupport.h"
#include "common/UnattendedRun.h"
#include "platform/database/Recordset.h"
#include "platform/directory/NssDirectory.h"
#include "scan/modDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <fcntl.h>
#include <grp.h>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using testing_support::FileContent;
using testing_support::FreeId;
using testing_support::PrivateMountsAvailable;
using testing_support::PrivateMountsCommand;
using testing_support::RemovedTree;
using testing_support::RowCount;
using testing_support::Rows;
using testing_support::StartUnattended;
using testing_support::TempProgramFolder;

namespace {

// True when the process holds an exclusive flock on file, through one of its descriptors.
bool holdsFlock(qint64 pid, const QString &file)
{
    const QString process = QStringLiteral("/proc/%1/").arg(pid);
    for (const QString &fd : QDir(process + "fd").entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(process + "fd/" + fd) == file
            && FileContent(process + "fdinfo/" + fd).simplified().contains("FLOCK ADVISORY WRITE"))
            return true;
    }
    return false;
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
    StartUnattended(folder, process);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QString database = folder.File("NetworkInfo.mdb");
    for (const char *table : {"Users", "Groups", "UserGroup", "Permissions", "UsedGroups", "InstalledSoftware", "settings"})
        EXPECT_GT(RowCount(database, table), 0) << table;
    EXPECT_EQ(RowCount(database, "Permissions where Path like '%/.hidden%'"), 0);
    EXPECT_GT(RowCount(database, "Permissions where Path = '" + tree + "/sales/2026'"), 0);

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

// A run that fails, or a task that fails, ends the program with exit code 1 and says why, naming
// the file or directory and the reason, every failure of the run (not only the last), with control
// characters escaped. Nothing waits on a FIFO. Settings that cannot be read stop the run before it
// touches the database, and are not rewritten.
TEST(UnattendedScan, AFailedRunOrTaskEndsTheProgramWithExitCodeOneAndSaysWhy)
{
    const QString none = "[Options]\nScanUsers=0\nScanDirectories=0\nScanPrograms=0\n";
    const auto fifo = [](const QByteArray &path) { ASSERT_EQ(mkfifo(path.constData(), 0644), 0); };
    const auto folder = [](const QByteArray &path) {
        ASSERT_TRUE(QDir().mkpath(QFile::decodeName(path.left(path.lastIndexOf('/')))));
        ASSERT_EQ(mkdir(path.constData(), 0755), 0);
    };
    const struct {
        QString settings;
        QByteArray replaced; // a file put in the place of this one
        std::function<void(const QByteArray &)> by;
        QStringList says; // {folder} stands for the program folder
        bool started;
    } cases[] = {
        {"[Options]\nDomain=no-such-domain\nScanDirectories=0\nScanPrograms=0\n", "ScanLog.log", folder,
         {": Domain not found!\n", ": Unknown error: {folder}ScanLog.log cannot be written: Is a directory.\n"}, true},
        {none, "ScanLog.log", fifo, {"{folder}ScanLog.log cannot be written: Not a regular file.\n"}, true},
        {{}, "Quillmere.ini", folder, {"{folder}Quillmere.ini cannot be read: Is a directory. The scan did not start.\n"}, false},
        {{}, "Quillmere.ini", fifo, {"{folder}Quillmere.ini cannot be read: Not a regular file. The scan did not start.\n"}, false},
        {"[Options]\nScanUsers=0\nScanPrograms=0\n[Directories]\nDirectoryCount=3\nDirectory1={folder}gone\nDirectory2=tree\n"
         "Directory3={folder}tree\n", "tree/nl\nclosed\xe9", folder,
         {": Could not read (Name is not valid UTF-8): {folder}tree/nl\\x0Aclosed\\xE9\n",
          ": The root directory {folder}gone cannot be listed: No such file or directory. The root directory tree is "
          "not an absolute path. The directory rights were not scanned.\n"}, true},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        const RemovedTree removed{folder.File("tree")};
        folder.InstallDatabase();
        if (!c.settings.isEmpty())
            folder.Write("Quillmere.ini", QString(c.settings).replace("{folder}", folder.Path()).toUtf8());
        c.by(QFile::encodeName(folder.Path()) + c.replaced);
        QProcess process;
        StartUnattended(folder, process);
        ASSERT_TRUE(process.waitForFinished(60000)) << c.replaced.toStdString();
        EXPECT_EQ(process.exitCode(), 1) << c.replaced.toStdString();
        const QByteArray errors = process.readAllStandardError();
        for (const QString &says : c.says)
            EXPECT_TRUE(errors.contains(QString(says).replace("{folder}", folder.Path()).toUtf8())) << errors.toStdString();
        if (c.started) {
            EXPECT_TRUE(folder.Read("Quillmere.ini").contains("\nScanPrograms=0\n")) << c.replaced.toStdString();
        } else {
            EXPECT_EQ(RowCount(folder.File("NetworkInfo.mdb"), "settings"), 0) << c.replaced.toStdString();
            EXPECT_FALSE(QFileInfo(folder.File("Quillmere.ini")).isFile()) << "left as it was";
        }
    }
}

// The program folder on a full disk (a tmpfs filled up), the database elsewhere: the settings
// keep what they held, and the run says what it could not write and ends with exit code 1.
TEST(UnattendedScan, AFullDiskKeepsTheSettingsAndFailsTheRun)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    const QString full = folder.File("full/");
    ASSERT_TRUE(QDir().mkpath(full) && QDir().mkpath(folder.File("after")));
    const QByteArray settings = ("[Options]\nDatabasePath=" + folder.File("NetworkInfo.mdb")
                                 + "\nScanUsers=0\nScanDirectories=0\nScanPrograms=0\n[Directories]\nDirectoryCount=1\n"
                                   "Directory1=/srv\n").toUtf8();
    folder.Write("Quillmere.ini", settings);
    // The tmpfs, seen only by the run, holds the program and its settings and is filled up; what
    // the run leaves there is copied out before the mount goes.
    QProcess process;
    StartUnattended(folder, process,
                    {"unshare", "--mount", "--propagation", "private", "sh", "-c",
                     "mount -t tmpfs -o size=64m none \"$1\" && cp \"$3\" \"$2/Quillmere.ini\" \"$1/\" && "
                     "{ dd if=/dev/zero of=\"$1/filler\" bs=1M 2>/dev/null; true; } && \"$1/quillmere\" \"$4\"; code=$?; "
                     "cp \"$1/Quillmere.ini\" \"$2/after/\"; exit $code",
                     "sh", full, folder.Path()});
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 1) << errors.toStdString();
    for (const char *file : {"ScanLog.log", "Quillmere.ini"})
        EXPECT_TRUE(errors.contains(full + file + " cannot be written: No space left on device.")) << errors.toStdString();
    EXPECT_EQ(folder.Read("after/Quillmere.ini"), settings);
}

// An ordinary user's run, in a network namespace of its own (where no group may open an ICMP
// socket): the software task's "Unable to Create File Handle" goes to standard error instead of a
// box that nobody could click, fails the task, and the run ends. Settings of root's that the user
// cannot read stop the run before it touches the database.
TEST(UnattendedScan, AnOrdinaryUsersRunNeverWaitsOnABoxAndNeverRunsOnSettingsItCannotRead)
{
    if (QProcess::execute("unshare", {"--net", "setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "true"}) != 0)
        GTEST_SKIP() << "cannot make a network namespace and become nobody here (needs root)";
    const struct {
        const char *settings;
        QFile::Permissions mode;
        const char *says;
    } cases[] = {
        {"[Options]\nScanUsers=0\nScanDirectories=0\n", QFile::Permissions(0x6666), ": Unable to Create File Handle\n"},
        {"[Options]\nScanUsers=0\nScanDirectories=0\nScanPrograms=0\n", QFile::ReadOwner | QFile::WriteOwner,
         "Quillmere.ini cannot be read: Permission denied. The scan did not start.\n"},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        folder.InstallDatabase();
        folder.Write("Quillmere.ini", c.settings);
        const QFile::Permissions open = QFile::Permissions(0x7777);
        for (const QString &path : {folder.Path(), folder.ConfigHome(), folder.File("NetworkInfo.mdb")})
            ASSERT_TRUE(QFile::setPermissions(path, open));
        ASSERT_TRUE(QFile::setPermissions(folder.File("Quillmere.ini"), c.mode));
        QProcess process;
        StartUnattended(folder, process, {"unshare", "--net", "setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
        ASSERT_TRUE(process.waitForFinished(60000)) << c.says;
        EXPECT_EQ(process.exitCode(), 1);
        const QByteArray errors = process.readAllStandardError();
        EXPECT_TRUE(errors.contains(c.says)) << errors.toStdString();
        EXPECT_EQ(RowCount(folder.File("NetworkInfo.mdb"), "settings") == 1, c.mode == QFile::Permissions(0x6666));
    }
}

// Two runs by different users on one database: the second touches nothing, says so and ends with
// exit code 1. The first one's claim lasts until it dies, even by SIGKILL.
TEST(UnattendedScan, ASecondRunOnAClaimedDatabaseTouchesNothingAndTheClaimDiesWithTheFirst)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    const QByteArray settings = "[Options]\nScanUsers=0\nScanDirectories=0\nScanPrograms=0\n";
    folder.Write("Quillmere.ini", settings);
    // The first run waits for the database, which the test holds, and is stopped while it waits:
    // in the middle of its run, with its claim.
    const QString database = folder.File("NetworkInfo.mdb");
    sqlite3 *held = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(database).constData(), &held), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(held, "begin immediate", nullptr, nullptr, nullptr), SQLITE_OK);
    QProcess first;
    StartUnattended(folder, first);
    ASSERT_TRUE(testing_support::RunUntil([&] { return holdsFlock(first.processId(), database + ".lock"); }, 60000));
    ASSERT_EQ(kill(first.processId(), SIGSTOP), 0);
    sqlite3_close(held);

    QTemporaryDir otherUser; // its own instance lock: the second run does not hand over to the first
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(otherUser.path()));
    QProcess second;
    StartUnattended(folder, second);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.ConfigHome()));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains(
        ("Another scan is writing to the results database " + database + ". The scan did not start.").toUtf8()));
    EXPECT_EQ(folder.Read("Quillmere.ini"), settings);
    EXPECT_EQ(RowCount(database, "settings"), 0);

    first.kill();
    ASSERT_TRUE(first.waitForFinished(60000));
    QProcess third;
    StartUnattended(folder, third);
    ASSERT_TRUE(third.waitForFinished(60000));
    EXPECT_EQ(third.exitCode(), 0) << third.readAllStandardError().toStdString();
    EXPECT_EQ(RowCount(database, "settings"), 1);
}

// The unattended run reads every settings file an administrator may leave it and never drops
// what it read: UTF-16 with its byte-order mark, CR line ends, a damaged DirectoryCount; a
// read-only file is used but not rewritten, and keeps its mode.
TEST(UnattendedScan, EverySettingsFileIsReadAndNoneLosesWhatItHeld)
{
    const auto utf8 = [](const QString &text) { return text.toUtf8(); };
    const struct {
        const char *name, *count;
        std::function<QByteArray(QString)> encode; // of the text with LF line ends
        bool readOnly = false;
    } cases[] = {
        {"UTF-16", "2", [](QString text) {
             text.replace("\n", "\r\n");
             return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
         }},
        {"CR line ends", "2", [](QString text) { return text.replace(u'\n', u'\r').toUtf8(); }},
        {"count 65535", "65535", utf8},
        {"read-only", "2", utf8, true},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        folder.InstallDatabase();
        const QString first = folder.File("first"), second = folder.File("second");
        for (const QString &root : {first, second})
            QDir().mkpath(root + "/sub");
        const QByteArray content = c.encode(QStringLiteral("[Options]\nScanUsers=0\nScanPrograms=0\nSubdirectoryCount=1\n"
                                                           "[Directories]\nDirectoryCount=%1\nDirectory1=%2\nDirectory2=%3\n")
                                                .arg(QLatin1String(c.count), first, second));
        folder.Write("Quillmere.ini", content);
        const QString settings = folder.File("Quillmere.ini");
        if (c.readOnly)
            QFile::setPermissions(settings, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        const QFile::Permissions mode = QFile::permissions(settings);

        QProcess process;
        StartUnattended(folder, process);
        ASSERT_TRUE(process.waitForFinished(60000)) << c.name;
        EXPECT_EQ(process.exitCode(), 0) << c.name << ": " << process.readAllStandardError().toStdString();
        for (const QString &root : {first, second})
            EXPECT_GT(RowCount(folder.File("NetworkInfo.mdb"), "Permissions where Path = '" + root + "/sub'"), 0) << c.name;
        EXPECT_EQ(RowCount(folder.File("NetworkInfo.mdb"), "Users"), 0) << c.name;
        EXPECT_EQ(QFile::permissions(settings), mode) << c.name;
        const QString rewritten = QString::fromUtf8(folder.Read("Quillmere.ini"));
        EXPECT_TRUE(c.readOnly ? folder.Read("Quillmere.ini") == content
                               : rewritten.contains("\nScanUsers=0\n") &&
                                     rewritten.contains("\nDirectoryCount=2\nDirectory1=" + first + "\nDirectory2=" + second))
            << c.name << ": " << rewritten.toStdString();
    }
}

// Directories that cannot be read are passed over and the scan goes on: a file system without
// ACLs (ramfs), names that are no UTF-8 and paths longer than the system's limit, which any user
// who may make directories in the tree (a sticky folder, as /tmp is) can make. The last two are
// counted and named, each once, every name printed so that it stands for one name only: its own
// backslash doubled, beside bytes and a line break that would print alike.
TEST(UnattendedScan, DirectoriesThatCannotBeReadArePassedOverAndTheScanGoesOn)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    const QString shares = folder.File("shares");
    const RemovedTree removed{shares};
    ASSERT_EQ(chmod(QFile::encodeName(folder.Path()).constData(), 0755), 0); // for nobody, who makes the chain
    for (const char *dir : {"a-plain/inner", "ramfs", "z-plain/inner"})
        ASSERT_TRUE(QDir().mkpath(shares + u'/' + dir));
    for (const QByteArray name : {"lat\xe9n", "lat\xe9n/below", "q\\xE9\xe9", "q\xe9\xe9", "nl\nx\xe9", "nl\\x0Ax\xe9"})
        ASSERT_EQ(mkdir((QFile::encodeName(shares) + '/' + name).constData(), 0755), 0) << name.toStdString();
    const testing_support::PathLimitChain chain(shares);
    ASSERT_TRUE(chain.Made());
    folder.Write("Quillmere.ini", ("[Options]\nScanUsers=0\nScanPrograms=0\nAllSubdirectories=1\n"
                                   "[Directories]\nDirectoryCount=1\nDirectory1=" + shares + "\n").toUtf8());

    QProcess process;
    StartUnattended(folder, process,
                    PrivateMountsCommand("mount -t ramfs none \"$1\" && mkdir \"$1/inner\" && chmod 750 \"$1\"",
                                    {shares + "/ramfs"}));
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    const QString bad = "Quill Mere: Could not read (Name is not valid UTF-8): " + shares,
                  tooLong = "Quill Mere: Could not read (File name too long): ";
    QStringList expected{bad + "/lat\\xE9n", bad + "/nl\\x0Ax\\xE9", bad + "/nl\\\\x0Ax\\xE9", bad + "/q\\xE9\\xE9",
                         bad + "/q\\\\xE9\\xE9", tooLong + chain.Edge(4095) + "/below", tooLong + chain.Edge(4096)};
    QStringList lines = errors.split(u'\n', Qt::SkipEmptyParts);
    expected.sort();
    lines.sort();
    EXPECT_EQ(lines.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    EXPECT_TRUE(errors.endsWith(u'\n'));
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Directories scanned; 7 directories could not be read.\r\n"));

    const QString database = folder.File("NetworkInfo.mdb");
    const auto count = [&](const QString &where) { return RowCount(database, "Permissions where " + where); };
    for (const char *dir : {"a-plain", "a-plain/inner", "ramfs/inner", "z-plain", "z-plain/inner"})
        EXPECT_EQ(count("Path = '" + shares + u'/' + dir + "' and Member = 'root' and Right = 'Full'"), 1) << dir;
    EXPECT_EQ(count("Path = '" + shares + "/ramfs' and Member = 'Everyone'"), 0) << "the mount's own mode, 0750";
    EXPECT_EQ(count("Path like '" + shares + "/lat%' or Path like '" + shares + "/q%' or Path like '" + shares + "/nl%'"), 0)
        << "no stand-in for a name that is no UTF-8";
    EXPECT_EQ(count("Path = '" + chain.Edge(4095) + "' and Member = 'nobody' and Right = 'Full'"), 1);
    EXPECT_EQ(count("length(Path) > 4095"), 0);
}

// A registry export that is none is passed over like a directory that cannot be read: named on
// standard error with the reason and counted in the task's log line, and the run succeeds.
TEST(UnattendedScan, ARegistryExportThatIsNoneIsNamedAndTheRunSucceeds)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    ASSERT_TRUE(QDir().mkpath(folder.File("Registry")));
    const RemovedTree removed{folder.File("Registry")};
    folder.Write("Registry/EMPTY.reg", "");
    // A good export beside one whose file name, and so its computer's name, is no UTF-8.
    const QByteArray program = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                               "Tool]\r\n\"DisplayName\"=\"Tool\"\r\n";
    folder.Write("Registry/GOOD.reg", program);
    const int latin1 = open((QFile::encodeName(folder.File("Registry/QMCAF")) + "\xE9.reg").constData(),
                            O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(latin1, 0);
    ASSERT_EQ(write(latin1, program.constData(), program.size()), program.size());
    close(latin1);
    folder.Write("Quillmere.ini", "[Options]\nNoPing=1\nScanUsers=0\nScanDirectories=0\n");

    QProcess process;
    StartUnattended(folder, process);
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    // The file name is named as the computers are listed, before any export is read.
    EXPECT_EQ(errors, "Quill Mere: Could not read (File name is not valid UTF-8): " + folder.File("Registry/QMCAF\\xE9.reg") + "\n"
                      "Quill Mere: Could not read (File is empty): " + folder.File("Registry/EMPTY.reg") + "\n");
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Installed programs scanned; 2 registry exports could not be read.\r\n"));
    EXPECT_GT(RowCount(folder.File("NetworkInfo.mdb"), "InstalledSoftware"), 0) << "this host's packages";
    EXPECT_EQ(Rows(folder.File("NetworkInfo.mdb"), "select computer || ' ' || \"Program name\" from InstalledSoftware "
                                                   "where \"Program name\" = 'Tool'"), QStringList{"GOOD Tool"});
    EXPECT_FALSE(folder.Read("Workstations.log").contains("QMCAF"));
}

// A file-size limit (ulimit -f) makes the writes fail, and the run says so, instead of killing it.
TEST(UnattendedScan, AFileSizeLimitFailsTheWritesButDoesNotKillTheProgram)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    folder.Write("Quillmere.ini", "[Options]\nScanDirectories=0\nScanPrograms=0\n");
    QProcess process;
    StartUnattended(folder, process, {"sh", "-c", "ulimit -f 1 && exec \"$0\" \"$@\""});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Could not write to database!\r\n"));
}

// Accounts and groups whose names are no UTF-8, two of each differing in one byte only, are passed
// over with every row that names them, in the users scan and in the rights read alike: named on
// standard error and counted in each task's log line, apart from the directories, with exit code 0. The other accounts keep their groups
// (a primary gid without a group, two groups with one gid, a member listed twice), and one
// without a shadow line never expires.
TEST(UnattendedScan, AccountsAndGroupsWhoseNamesAreNoTextArePassedOverAndCountedApart)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    folder.Write("passwd", FileContent("/etc/passwd") + "caf\xE9:x:3901001:3901001::/:/bin/false\n"
                                                        "caf\xE8:x:3901002:3901011::/:/bin/false\n"
                                                        "qm-plain:x:3901003:3901099::/:/bin/false\n"
                                                        "qm-shared:x:3901004:3901004::/:/bin/false\n");
    folder.Write("group", FileContent("/etc/group") + "grp\xE9:x:3901011:caf\xE8,qm-plain\ngrp\xE8:x:3901012:qm-plain\n"
                                                      "qm-shared:x:3901004:\nqm-team:x:3901013:qm-shared,qm-plain,nobody-here,qm-shared\n"
                                                      "qm-team2:x:3901013:qm-plain\n");
    folder.Write("shadow", FileContent("/etc/shadow") + "caf\xE9:!:19500:0:90:7:::\ncaf\xE8:*:19500:0:90:7:::\n"
                                                        "qm-shared:*:19500:0:90:7:::\n");
    // The rights read passes those names over too, keeping the directories' other rows.
    const QString shares = folder.File("shares");
    const RemovedTree removed{shares};
    ASSERT_TRUE(QDir().mkpath(shares + "/owned") && QDir().mkpath(shares + "/other"));
    ASSERT_EQ(mkdir((QFile::encodeName(shares) + "/lat\xe9n").constData(), 0755), 0);
    ASSERT_EQ(chown(QFile::encodeName(shares + "/owned").constData(), 3901001, 3901011), 0);
    ASSERT_EQ(chmod(QFile::encodeName(shares + "/owned").constData(), 0755), 0);
    ASSERT_EQ(QProcess::execute("setfacl", {"-m", "u:3901002:rwx,g:3901012:r-x,u:3901003:r-x", shares + "/owned"}), 0);
    ASSERT_EQ(chown(QFile::encodeName(shares + "/other").constData(), 3901002, 3901013), 0);
    ASSERT_EQ(chmod(QFile::encodeName(shares + "/other").constData(), 0750), 0);
    ASSERT_EQ(QProcess::execute("setfacl", {"-m", "u:3901001:r-x", shares + "/other"}), 0);
    const auto scan = [&](const QString &options) {
        folder.Write("Quillmere.ini", ("[Options]\nScanPrograms=0\n" + options + "[Directories]\nDirectoryCount=1\n"
                                       "Directory1=" + shares + "\n").toUtf8());
        QProcess process;
        StartUnattended(folder, process,
                        PrivateMountsCommand("mount --bind \"$1\" /etc/passwd && mount --bind \"$2\" /etc/group && "
                                             "mount --bind \"$3\" /etc/shadow",
                                             {folder.File("passwd"), folder.File("group"), folder.File("shadow")}));
        EXPECT_TRUE(process.waitForFinished(120000));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
        return errors;
    };
    const QString accounts = "Quill Mere: Could not read (Account name is not valid UTF-8): caf\\xE9\n"
                             "Quill Mere: Could not read (Account name is not valid UTF-8): caf\\xE8\n";
    const QString groups = "Quill Mere: Could not read (Group name is not valid UTF-8): grp\\xE9\n"
                           "Quill Mere: Could not read (Group name is not valid UTF-8): grp\\xE8\n";
    const QString directory = "Quill Mere: Could not read (Name is not valid UTF-8): " + shares + "/lat\\xE9n\n";
    // Named once, although both tasks pass them over and count them.
    EXPECT_EQ(scan({}), accounts + groups + directory);
    const QByteArray log = folder.Read("ScanLog.log");
    EXPECT_TRUE(log.contains("  -  Users and groups scanned; 2 users and 2 groups could not be read.\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("  -  Directories scanned; 1 directory and 2 users and 2 groups could not be read.\r\n"))
        << log.toStdString();

    const QString database = folder.File("NetworkInfo.mdb");
    const auto rows = [&](const QString &query) { return Rows(database, query); };
    EXPECT_EQ(rows("select Member || ' ' || Right from Permissions where Path = '" + shares + "/owned' order by rowid"),
              (QStringList{"qm-plain Read&Execute", "Everyone Read&Execute"}));
    EXPECT_EQ(rows("select Member || ' ' || Right from Permissions where Path = '" + shares + "/other' order by rowid"),
              (QStringList{"qm-team Read&Execute"}));
    EXPECT_EQ(rows("select GroupName from UsedGroups where GroupName like '%caf%' or GroupName like '%grp%'"), QStringList());
    EXPECT_EQ(rows("select Username || ' ' || PasswordNeverExpires from Users where Username like 'qm-%' "
                   "or Username like 'caf%' order by rowid"),
              (QStringList{"qm-plain True", "qm-shared False"}));
    EXPECT_EQ(rows("select User || ' ' || \"Group\" from UserGroup where User like 'qm-%' order by rowid"),
              (QStringList{"qm-plain Users", "qm-plain qm-team", "qm-shared Users", "qm-shared @qm-shared",
                           "qm-shared qm-team"}));
    EXPECT_EQ(rows("select GroupName from Groups where GroupName like '%grp%' or GroupName like '%qm-%' order by rowid"),
              (QStringList{"@qm-shared", "qm-team", "qm-team2"}));

    // The rights read alone names each once (in the order the search met the directories).
    QStringList named = scan("ScanUsers=0\n").split(u'\n');
    QStringList expected = (accounts + groups + directory).split(u'\n');
    named.sort();
    expected.sort();
    EXPECT_EQ(named, expected);
}

// Every user has a private group of the same name: the owner and the owning group of a directory
// stay two members, the group's members get the group's rights only, and the group counts as used.
// So do a deleted user and its private group, which keep the same number and no name.
TEST(UnattendedScan, AGroupNamedOrNumberedLikeAnAccountStaysApartFromIt)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    const uint32_t alice = FreeId(61000), bob = FreeId(alice + 1);
    folder.Write("passwd", FileContent("/etc/passwd") + QStringLiteral("qm-alice:x:%1:%1::/nonexistent:/bin/false\n"
                                                                      "qm-bob:x:%2:%2::/nonexistent:/bin/false\n")
                                                           .arg(alice).arg(bob).toUtf8());
    folder.Write("group", FileContent("/etc/group")
                              + QStringLiteral("qm-alice:x:%1:qm-bob\nqm-bob:x:%2:\n").arg(alice).arg(bob).toUtf8());
    const QString share = folder.File("shares/alice");
    ASSERT_TRUE(QDir().mkpath(share));
    ASSERT_EQ(chown(QFile::encodeName(share).constData(), alice, alice), 0);
    ASSERT_EQ(chmod(QFile::encodeName(share).constData(), 0750), 0);
    const uint32_t deleted = FreeId(bob + 1);
    const QString left = folder.File("shares/left");
    ASSERT_TRUE(QDir().mkpath(left));
    ASSERT_EQ(chown(QFile::encodeName(left).constData(), deleted, deleted), 0);
    ASSERT_EQ(chmod(QFile::encodeName(left).constData(), 0750), 0);
    folder.Write("Quillmere.ini", ("[Options]\nScanPrograms=0\nSubdirectoryCount=1\n"
                                   "[Directories]\nDirectoryCount=1\nDirectory1=" + folder.File("shares") + "\n").toUtf8());

    QProcess process;
    StartUnattended(folder, process,
                    PrivateMountsCommand("mount --bind \"$1\" /etc/passwd && mount --bind \"$2\" /etc/group",
                                    {folder.File("passwd"), folder.File("group")}));
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QString database = folder.File("NetworkInfo.mdb");
    const auto count = [&](const QString &where) { return RowCount(database, where); };
    EXPECT_EQ(count("Permissions where Path = '" + share + "'"), 2);
    EXPECT_EQ(count("Permissions where Member = 'qm-alice' and Right = 'Full'"), 1);
    EXPECT_EQ(count("Permissions where Member = '@qm-alice' and Right = 'Read&Execute'"), 1);
    EXPECT_EQ(count("Groups where GroupName in ('@qm-alice', '@qm-bob')"), 2);
    EXPECT_EQ(count("UserGroup where User = 'qm-bob' and \"Group\" in ('@qm-alice', '@qm-bob')"), 2);
    EXPECT_EQ(count("UsedGroups where GroupName = '@qm-alice'"), 1);
    EXPECT_EQ(count("UsedGroups where GroupName = 'qm-alice'"), 0);

    QStringList directories, rights;
    testing_support::ProgressRecorder progress;
    ASSERT_EQ(clsAnalysis().GetUserRights(database, "", "qm-bob", directories, rights, progress, progress, "", true), 1);
    EXPECT_EQ(directories, QStringList{share});
    EXPECT_EQ(rights, QStringList{"Read&Execute"}) << "the group's rights, not its namesake owner's";

    const QString number = QString::number(deleted);
    EXPECT_EQ(count("Permissions where Path = '" + left + "'"), 2);
    EXPECT_EQ(count("Permissions where Member = '" + number + "' and Right = 'Full'"), 1);
    EXPECT_EQ(count("UsedGroups where GroupName = '@" + number + "'"), 1);
    directories.clear();
    rights.clear();
    ASSERT_EQ(clsAnalysis().GetDirectoryRights(database, "", "@" + number, directories, rights, progress, progress, ""), 1);
    EXPECT_EQ(directories, QStringList{left});
    EXPECT_EQ(rights, QStringList{"Read&Execute"}) << "the group's rights, not its namesake user's";
}
