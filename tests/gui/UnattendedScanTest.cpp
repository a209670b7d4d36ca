#include "analysis/clsAnalysis.h"
#include "common/TestSupport.h"
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
// With a wrapper, the program is started through it: wrapper + {program, "-scan"}.
QProcess *startUnattended(const TempProgramFolder &folder, QProcess &process, QStringList wrapper = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    wrapper << folder.InstallProgram() << "-scan";
    process.start(wrapper.takeFirst(), wrapper);
    return &process;
}

// A command line that runs a program in a private mount namespace (root only) after the shell
// commands of setup, which see arguments as "$1", "$2", ...: what they mount is never seen
// outside, so the machine's own files and accounts are never touched.
QStringList inPrivateMounts(const QString &setup, const QStringList &arguments)
{
    return QStringList{"unshare", "--mount", "--propagation", "private", "sh", "-c",
                       setup + QStringLiteral(" && shift %1 && exec \"$@\"").arg(arguments.size()), "sh"}
           + arguments;
}

bool privateMountsAvailable() { return QProcess::execute("unshare", {"--mount", "--propagation", "private", "true"}) == 0; }

// Removes a tree that QTemporaryDir cannot: deeper than PATH_MAX, or with names that are no UTF-8.
struct RemovedTree {
    ~RemovedTree() { QProcess::execute("rm", {"-rf", path}); }
    QString path;
};

// Makes a chain of directories below base whose full paths grow past PATH_MAX (the system cannot
// name its lower end by path), each 200 bytes long.
void makeChainPastPathMax(const QString &base)
{
    int fd = open(QFile::encodeName(base).constData(), O_DIRECTORY | O_RDONLY);
    const QByteArray name(200, 'd');
    for (qsizetype length = base.size(); fd >= 0 && length < 4400; length += name.size() + 1) {
        ASSERT_EQ(mkdirat(fd, name.constData(), 0755), 0);
        const int next = openat(fd, name.constData(), O_DIRECTORY | O_RDONLY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    close(fd);
}

// An id that is neither a user's nor a group's on this machine.
uint32_t freeId(uint32_t from)
{
    while (getpwuid(from) || getgrgid(from))
        ++from;
    return from;
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True when the process holds an exclusive flock on file, through one of its descriptors.
bool holdsFlock(qint64 pid, const QString &file)
{
    const QString process = QStringLiteral("/proc/%1/").arg(pid);
    for (const QString &fd : QDir(process + "fd").entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(process + "fd/" + fd) == file
            && fileContent(process + "fdinfo/" + fd).simplified().contains("FLOCK ADVISORY WRITE"))
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
        startUnattended(folder, process);
        ASSERT_TRUE(process.waitForFinished(60000)) << c.replaced.toStdString();
        EXPECT_EQ(process.exitCode(), 1) << c.replaced.toStdString();
        const QByteArray errors = process.readAllStandardError();
        for (const QString &says : c.says)
            EXPECT_TRUE(errors.contains(QString(says).replace("{folder}", folder.Path()).toUtf8())) << errors.toStdString();
        if (c.started) {
            EXPECT_TRUE(folder.Read("Quillmere.ini").contains("\nScanPrograms=0\n")) << c.replaced.toStdString();
        } else {
            EXPECT_EQ(rowCount(folder.File("NetworkInfo.mdb"), "settings"), 0) << c.replaced.toStdString();
            EXPECT_FALSE(QFileInfo(folder.File("Quillmere.ini")).isFile()) << "left as it was";
        }
    }
}

// The program folder on a full disk (a tmpfs filled up), the database elsewhere: the settings
// keep what they held, and the run says what it could not write and ends with exit code 1.
TEST(UnattendedScan, AFullDiskKeepsTheSettingsAndFailsTheRun)
{
    if (!privateMountsAvailable())
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
    startUnattended(folder, process,
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
        startUnattended(folder, process, {"unshare", "--net", "setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
        ASSERT_TRUE(process.waitForFinished(60000)) << c.says;
        EXPECT_EQ(process.exitCode(), 1);
        const QByteArray errors = process.readAllStandardError();
        EXPECT_TRUE(errors.contains(c.says)) << errors.toStdString();
        EXPECT_EQ(rowCount(folder.File("NetworkInfo.mdb"), "settings") == 1, c.mode == QFile::Permissions(0x6666));
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
    startUnattended(folder, first);
    ASSERT_TRUE(testing_support::RunUntil([&] { return holdsFlock(first.processId(), database + ".lock"); }, 60000));
    ASSERT_EQ(kill(first.processId(), SIGSTOP), 0);
    sqlite3_close(held);

    QTemporaryDir otherUser; // its own instance lock: the second run does not hand over to the first
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(otherUser.path()));
    QProcess second;
    startUnattended(folder, second);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.ConfigHome()));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains(
        ("Another scan is writing to the results database " + database + ". The scan did not start.").toUtf8()));
    EXPECT_EQ(folder.Read("Quillmere.ini"), settings);
    EXPECT_EQ(rowCount(database, "settings"), 0);

    first.kill();
    ASSERT_TRUE(first.waitForFinished(60000));
    QProcess third;
    startUnattended(folder, third);
    ASSERT_TRUE(third.waitForFinished(60000));
    EXPECT_EQ(third.exitCode(), 0) << third.readAllStandardError().toStdString();
    EXPECT_EQ(rowCount(database, "settings"), 1);
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
        startUnattended(folder, process);
        ASSERT_TRUE(process.waitForFinished(60000)) << c.name;
        EXPECT_EQ(process.exitCode(), 0) << c.name << ": " << process.readAllStandardError().toStdString();
        for (const QString &root : {first, second})
            EXPECT_GT(rowCount(folder.File("NetworkInfo.mdb"), "Permissions where Path = '" + root + "/sub'"), 0) << c.name;
        EXPECT_EQ(rowCount(folder.File("NetworkInfo.mdb"), "Users"), 0) << c.name;
        EXPECT_EQ(QFile::permissions(settings), mode) << c.name;
        const QString rewritten = QString::fromUtf8(folder.Read("Quillmere.ini"));
        EXPECT_TRUE(c.readOnly ? folder.Read("Quillmere.ini") == content
                               : rewritten.contains("\nScanUsers=0\n") &&
                                     rewritten.contains("\nDirectoryCount=2\nDirectory1=" + first + "\nDirectory2=" + second))
            << c.name << ": " << rewritten.toStdString();
    }
}

// Directories that cannot be read are passed over and the scan goes on: a file system without
// ACLs (ramfs), a Latin-1 name that is no UTF-8 and paths past PATH_MAX. The last two are counted
// and listed, once each.
TEST(UnattendedScan, DirectoriesThatCannotBeReadArePassedOverAndTheScanGoesOn)
{
    if (!privateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    const QString shares = folder.File("shares");
    const RemovedTree removed{shares};
    for (const char *dir : {"a-plain/inner", "ramfs", "long", "z-plain/inner"})
        ASSERT_TRUE(QDir().mkpath(shares + u'/' + dir));
    ASSERT_EQ(mkdir((QFile::encodeName(shares) + "/lat\xe9n").constData(), 0755), 0);
    ASSERT_EQ(mkdir((QFile::encodeName(shares) + "/lat\xe9n/below").constData(), 0755), 0);
    makeChainPastPathMax(shares + "/long");
    folder.Write("Quillmere.ini", ("[Options]\nScanUsers=0\nScanPrograms=0\nAllSubdirectories=1\n"
                                   "[Directories]\nDirectoryCount=1\nDirectory1=" + shares + "\n").toUtf8());

    QString tooLong = shares + "/long"; // the first directory of the chain that the system cannot name
    while (tooLong.size() < 4096)
        tooLong += u'/' + QString(200, u'd');

    QProcess process;
    startUnattended(folder, process,
                    inPrivateMounts("mount -t ramfs none \"$1\" && mkdir \"$1/inner\" && chmod 750 \"$1\"",
                                    {shares + "/ramfs"}));
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    EXPECT_EQ(errors, "Quill Mere: Could not read (Name is not valid UTF-8): " + shares + "/lat\\xE9n\n"
                      "Quill Mere: Could not read (File name too long): " + tooLong + "\n");
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Directories scanned; 2 directories could not be read.\r\n"));

    const QString database = folder.File("NetworkInfo.mdb");
    const auto count = [&](const QString &where) { return rowCount(database, "Permissions where " + where); };
    for (const char *dir : {"a-plain", "a-plain/inner", "ramfs/inner", "z-plain", "z-plain/inner"})
        EXPECT_EQ(count("Path = '" + shares + u'/' + dir + "' and Member = 'root' and Right = 'Full'"), 1) << dir;
    EXPECT_EQ(count("Path = '" + shares + "/ramfs' and Member = 'Everyone'"), 0) << "the mount's own mode, 0750";
    EXPECT_EQ(count("Path like '" + shares + "/lat%'"), 0) << "no stand-in for lat\\xe9n";
    EXPECT_GT(count("Path like '" + shares + "/long/%'"), 10);
}

// A registry export that is none is passed over like a directory that cannot be read: named on
// standard error with the reason and counted in the task's log line, and the run succeeds.
TEST(UnattendedScan, ARegistryExportThatIsNoneIsNamedAndTheRunSucceeds)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    ASSERT_TRUE(QDir().mkpath(folder.File("Registry")));
    folder.Write("Registry/EMPTY.reg", "");
    folder.Write("Quillmere.ini", "[Options]\nNoPing=1\nScanUsers=0\nScanDirectories=0\n");

    QProcess process;
    startUnattended(folder, process);
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
    EXPECT_EQ(errors, "Quill Mere: Could not read (File is empty): " + folder.File("Registry/EMPTY.reg") + "\n");
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Installed programs scanned; 1 registry export could not be read.\r\n"));
    EXPECT_GT(rowCount(folder.File("NetworkInfo.mdb"), "InstalledSoftware"), 0) << "this host's packages";
}

// A file-size limit (ulimit -f) makes the writes fail, and the run says so, instead of killing it.
TEST(UnattendedScan, AFileSizeLimitFailsTheWritesButDoesNotKillTheProgram)
{
    TempProgramFolder folder;
    folder.InstallDatabase();
    folder.Write("Quillmere.ini", "[Options]\nScanDirectories=0\nScanPrograms=0\n");
    QProcess process;
    startUnattended(folder, process, {"sh", "-c", "ulimit -f 1 && exec \"$0\" \"$@\""});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(folder.Read("ScanLog.log").contains("  -  Could not write to database!\r\n"));
}

// Every user has a private group of the same name: the owner and the owning group of a directory
// stay two members, the group's members get the group's rights only, and the group counts as used.
TEST(UnattendedScan, AGroupNamedLikeAnAccountStaysApartFromIt)
{
    if (!privateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    TempProgramFolder folder;
    folder.InstallDatabase();
    const uint32_t alice = freeId(61000), bob = freeId(alice + 1);
    folder.Write("passwd", fileContent("/etc/passwd") + QStringLiteral("qm-alice:x:%1:%1::/nonexistent:/bin/false\n"
                                                                      "qm-bob:x:%2:%2::/nonexistent:/bin/false\n")
                                                           .arg(alice).arg(bob).toUtf8());
    folder.Write("group", fileContent("/etc/group")
                              + QStringLiteral("qm-alice:x:%1:qm-bob\nqm-bob:x:%2:\n").arg(alice).arg(bob).toUtf8());
    const QString share = folder.File("shares/alice");
    ASSERT_TRUE(QDir().mkpath(share));
    ASSERT_EQ(chown(QFile::encodeName(share).constData(), alice, alice), 0);
    ASSERT_EQ(chmod(QFile::encodeName(share).constData(), 0750), 0);
    folder.Write("Quillmere.ini", ("[Options]\nScanPrograms=0\nSubdirectoryCount=1\n"
                                   "[Directories]\nDirectoryCount=1\nDirectory1=" + folder.File("shares") + "\n").toUtf8());

    QProcess process;
    startUnattended(folder, process,
                    inPrivateMounts("mount --bind \"$1\" /etc/passwd && mount --bind \"$2\" /etc/group",
                                    {folder.File("passwd"), folder.File("group")}));
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    const QString database = folder.File("NetworkInfo.mdb");
    const auto count = [&](const QString &where) { return rowCount(database, where); };
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
}
