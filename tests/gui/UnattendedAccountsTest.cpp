#include "analysis/clsAnalysis.h"
#include "common/TestSupport.h"
#include "common/UnattendedRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// Sorted and each once, so that a failure shows the difference readably.
std::string Listed(QStringList values)
{
    values.sort();
    values.removeDuplicates();
    return values.join(u'\n').toStdString();
}

QStringList Lines(const QByteArray &content) { return QString::fromUtf8(content).split(u'\n', Qt::SkipEmptyParts); }

// Accounts and groups in every place a source can hold them, with numbers free on this machine:
// in the account files (which lack root and nobody, and begin with a compat line), in a source
// that answers look-ups but lists nothing (lookuponly), and in nss-systemd's drop-in records.
struct StagedAccounts {
    explicit StagedAccounts(const TempProgramFolder &folder)
    {
        const QByteArray etcPasswd = FileContent("/etc/passwd"), etcGroup = FileContent("/etc/group");
        QByteArray passwd, group = "+:::\n";
        for (const QByteArray &line : etcPasswd.split('\n'))
            if (!line.isEmpty() && !line.startsWith("root:") && !line.startsWith("nobody:"))
                passwd += line + '\n';
        for (const QByteArray &line : etcGroup.split('\n'))
            if (!line.isEmpty() && !line.startsWith("root:") && !line.startsWith("nogroup:"))
                group += line + '\n';
        const auto id = [](uint32_t value) { return QByteArray::number(value); };
        // alice and erin are local; carol's primary group and remote's account only lookuponly
        // knows, and dombob is a local group beside an account of the same name there. Where
        // lookuponly answers first, both (an account of both sides), the gid of lclash (a group
        // of both sides) and dropu and dropg (nss-systemd's, dropg ddrop's primary group) are its
        // own.
        passwd += "alice:x:" + id(alice) + ':' + id(alice) + "::/:/bin/false\n"
                  "carol:x:" + id(carol) + ':' + id(ldapgrp) + "::/:/bin/false\n"
                  "erin:x:" + id(erin) + ':' + id(erin) + "::/:/bin/false\n"
                  "zed:x:" + id(zed) + ":0::/:/bin/false\n"
                  "both:x:" + id(both) + ':' + id(both) + "::/:/bin/false\n"
                  "ddrop:x:" + id(ddrop) + ':' + id(dropg) + "::/:/bin/false\n";
        group += "alice:x:" + id(alice) + ":\nerin:x:" + id(erin) + ":\ndombob:x:" + id(dombob) + ":alice,erin\n"
                 "nobody:x:" + id(nobody) + ":alice,erin\nboth:x:" + id(both) + ":\nlclash:x:" + id(clash) + ":erin\n";
        folder.Write("passwd", passwd);
        folder.Write("group", group);
        QDir().mkpath(folder.File("lookuponly"));
        folder.Write("lookuponly/passwd", "dombob:x:" + id(dombob) + ':' + id(dombob) + "::/:/bin/false\n"
                                          "remote:x:" + id(remote) + ':' + id(remote) + "::/:/bin/false\n"
                                          "both:x:" + id(both) + ':' + id(ldapgrp) + "::/:/bin/false\n"
                                          "dropu:x:" + id(dropu) + ':' + id(ldapgrp) + "::/:/bin/false\n");
        folder.Write("lookuponly/group", "ldapgrp:x:" + id(ldapgrp) + ":alice,carol\nremote:x:" + id(remote) + ":erin\n"
                                         "dgclash:x:" + id(clash) + ":\ndgdrop:x:" + id(dropg) + ":\n");
        // Each record under its name and, linked, under its number, as systemd installs them: it
        // lists the records it finds by number.
        QDir().mkpath(folder.File("userdb"));
        folder.Write("userdb/dropu.user", "{\"userName\":\"dropu\",\"uid\":" + id(dropu) + ",\"gid\":" + id(dropu) + "}\n");
        folder.Write("userdb/dropu.group", "{\"groupName\":\"dropu\",\"gid\":" + id(dropu) + "}\n");
        folder.Write("userdb/dropg.group", "{\"groupName\":\"dropg\",\"gid\":" + id(dropg) + "}\n");
        QFile::link("dropu.user", folder.File("userdb/" + QString::number(dropu) + ".user"));
        QFile::link("dropu.group", folder.File("userdb/" + QString::number(dropu) + ".group"));
        QFile::link("dropg.group", folder.File("userdb/" + QString::number(dropg) + ".group"));
        folder.Write("userdb/dropu:dropg.membership", "");
        folder.Write("userdb/erin:dropg.membership", "");
    }

    const uint32_t alice = FreeId(3960001), carol = FreeId(alice + 1), erin = FreeId(carol + 1), zed = FreeId(erin + 1),
                   dombob = FreeId(zed + 1), nobody = FreeId(dombob + 1), ldapgrp = FreeId(nobody + 1),
                   remote = FreeId(ldapgrp + 1), dropu = FreeId(remote + 1), dropg = FreeId(dropu + 1),
                   both = FreeId(dropg + 1), clash = FreeId(both + 1), ddrop = FreeId(clash + 1);
};

// Runs the unattended scan of folder with "passwd:" and "group:" set to sources, in a private
// mount namespace that holds the staged accounts (and a /run of its own for the drop-in records).
// The tests' source "stalled" waits 5 ms a call there and writes each call of the scan's to
// "scan-calls". In the same namespace it then writes what "id" and "getent" answer: each
// account's groups ("user|group") to "expected-memberships", every listed group to
// "expected-groups", and the group of each gid in gids to "expected-trustees", each group named
// "@" + its name when "getent passwd" finds an account of that name.
void ScanWithSources(const TempProgramFolder &folder, const QString &sources, const QStringList &gids, QProcess &process)
{
    QByteArray nsswitch;
    for (const QByteArray &line : FileContent("/etc/nsswitch.conf").split('\n')) {
        if (!line.startsWith("passwd:") && !line.startsWith("group:"))
            nsswitch += line + '\n';
    }
    folder.Write("nsswitch.conf", nsswitch + "passwd: " + sources.toUtf8() + "\ngroup: " + sources.toUtf8() + '\n');
    const QString script = QStringLiteral(R"(f=$1; shift
mount --bind "$f/passwd" /etc/passwd && mount --bind "$f/group" /etc/group &&
mount --bind "$f/nsswitch.conf" /etc/nsswitch.conf && mount -t tmpfs none /run && cp -r "$f/userdb" /run/userdb || exit 99
STALLED_CALLS="$f/scan-calls" "$@"; code=$?
named() { n=$(getent group "$1" | cut -d: -f1) && [ -n "$n" ] || return 1
          if getent passwd "$n" >/dev/null; then echo "@$n"; else echo "$n"; fi; }
getent passwd | cut -d: -f1 | while read -r u; do
    for g in $(id -G "$u"); do n=$(named "$g") && echo "$u|$n"; done
done > "$f/expected-memberships"
getent group | cut -d: -f1 | while read -r g; do
    if getent passwd "$g" >/dev/null; then echo "@$g"; else echo "$g"; fi
done > "$f/expected-groups"
for g in %1; do named "$g" || echo "@$g"; done > "$f/expected-trustees"
exit $code)").arg(gids.join(u' '));
    StartUnattended(folder, process,
                    {"env", "LD_LIBRARY_PATH=" + NssModuleFolder(), "LOOKUPONLY_FILES=" + folder.File("lookuponly"),
                     "STALLED_WAIT_MS=5", "unshare", "--mount", "--propagation", "private", "sh", "-c", script, "sh",
                     folder.Path()});
}

// Scans the staged accounts of folder with sources (ScanWithSources) and checks that every
// account's groups and the list of groups are what "id" and "getent" answer there. Returns the
// memberships stored ("user|group").
QStringList ScannedAsTheNameServiceAnswers(const TempProgramFolder &folder, const QString &sources,
                                           const QStringList &gids = {})
{
    QProcess process;
    ScanWithSources(folder, sources, gids, process);
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString database = folder.File("NetworkInfo.mdb");
    const QStringList memberships = Rows(database, "select User || '|' || \"Group\" from UserGroup where \"Group\" <> 'Users'");
    EXPECT_EQ(Listed(memberships), Listed(Lines(folder.Read("expected-memberships"))));
    EXPECT_EQ(Listed(Rows(database, "select GroupName from Groups")), Listed(Lines(folder.Read("expected-groups"))));
    return memberships;
}

// True when the line sources names first and, if it names second at all, names it later.
bool AnswersBefore(const QString &sources, const QString &first, const QString &second)
{
    const QStringList words = sources.split(u' ');
    return words.contains(first) && (!words.contains(second) || words.indexOf(first) < words.indexOf(second));
}

} // namespace

// Whatever the sources, every account's groups are those "id" shows, and every group has one
// name in every table, "@" + its name exactly when a look-up finds an account of that name: a
// source that answers look-ups but lists nothing (sssd or nslcd with enumeration off) gives a
// local account groups and a local group's name an account, and where it stands before files or
// systemd, its uid, primary group and group names come first; nss-systemd answers for root and
// nobody, which the files lack here; a compat line ("+") names no group. Each source is asked on
// its own where nsswitch.conf lists them plainly ("#" after the colon is a source that does not
// load, as the C library reads it), and through the C library where it does not (an action, or a
// source between systemd and files, whose entries the lists the C library gives mix).
TEST(UnattendedAccounts, EveryAccountsGroupsAndEveryGroupsNameAreAsTheNameServiceAnswers)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    for (const QString sources : {"files systemd lookuponly", "files [NOTFOUND=continue] systemd lookuponly",
                                  "files systemd", "files", "lookuponly files systemd", "files lookuponly systemd",
                                  "systemd lookuponly files", "files # lookuponly", "files lookuponly#old"}) {
        SCOPED_TRACE(sources.toStdString());
        TempProgramFolder folder;
        folder.InstallDatabase();
        const StagedAccounts staged(folder);
        const QString team = folder.File("shares/team");
        ASSERT_TRUE(QDir().mkpath(team));
        ASSERT_EQ(chown(team.toUtf8().constData(), staged.alice, staged.dombob), 0);
        ASSERT_EQ(chmod(team.toUtf8().constData(), 0750), 0);
        const auto gid = [](uint32_t value) { return QString::number(value); };
        const QStringList teamGroups{gid(staged.ldapgrp), gid(staged.remote), gid(staged.nobody), gid(staged.clash),
                                     gid(staged.dropg)};
        QString acl;
        for (const QString &group : teamGroups)
            acl += "g:" + group + ":r-x,";
        ASSERT_EQ(QProcess::execute("setfacl", {"-m", acl.chopped(1), team}), 0);
        folder.Write("Quillmere.ini", ("[Options]\nScanPrograms=0\nSubdirectoryCount=1\n[Directories]\nDirectoryCount=1\n"
                                       "Directory1=" + folder.File("shares") + "\n").toUtf8());

        const QStringList memberships = ScannedAsTheNameServiceAnswers(folder, sources, teamGroups + QStringList{gid(staged.dombob)});
        const QString database = folder.File("NetworkInfo.mdb");
        const QStringList trustees = Lines(folder.Read("expected-trustees"));
        EXPECT_EQ(Listed(Rows(database, "select Member from Permissions where Path = '" + team + "'")),
                  Listed(trustees + QStringList{"alice"}));
        // Each of the team's groups under the name its members' rows give it (a number without a
        // group has no members).
        for (const QString &trustee : trustees) {
            const bool held = std::any_of(memberships.begin(), memberships.end(),
                                          [&](const QString &row) { return row.endsWith(u'|' + trustee); });
            EXPECT_TRUE(held || trustee.mid(1).toUInt() != 0) << trustee.toStdString();
        }

        // The cases themselves, as the C library answered them.
        const bool lookupOnly = sources.split(u' ').contains("lookuponly");
        const bool systemd = sources.contains("systemd");
        const bool beforeFiles = AnswersBefore(sources, "lookuponly", "files");
        const bool beforeSystemd = AnswersBefore(sources, "lookuponly", "systemd");
        EXPECT_EQ(memberships.contains("alice|ldapgrp"), lookupOnly);
        EXPECT_EQ(memberships.contains("erin|@dombob"), lookupOnly);
        EXPECT_EQ(memberships.contains("erin|@nobody"), systemd);
        EXPECT_EQ(memberships.contains("zed|@root"), systemd);
        EXPECT_FALSE(memberships.contains("zed|+"));
        EXPECT_EQ(memberships.contains("dropu|@dropu"), systemd && !beforeSystemd);
        EXPECT_EQ(memberships.contains("dropu|ldapgrp"), systemd && beforeSystemd);
        EXPECT_EQ(memberships.contains("ddrop|dropg"), systemd && !beforeSystemd);
        EXPECT_EQ(memberships.contains("ddrop|dgdrop"), beforeSystemd);
        EXPECT_EQ(memberships.contains("both|@both"), !beforeFiles);
        EXPECT_EQ(memberships.contains("both|ldapgrp"), beforeFiles);
        EXPECT_EQ(memberships.contains("erin|lclash"), !beforeFiles);
        EXPECT_EQ(memberships.contains("erin|dgclash"), beforeFiles);

        // A member of the group has the group's rights in the user view.
        QStringList directories, rights;
        ProgressRecorder progress;
        ASSERT_EQ(clsAnalysis().GetUserRights(database, "", "erin", directories, rights, progress, progress, "", true), 1);
        directories.removeDuplicates();
        EXPECT_EQ(directories, QStringList{team});
    }
}

// A source whose daemon does not answer (it waits, then says it is unavailable, as sssd's client
// does after 300 s) is asked once per line and bind, not once per account or group: from then on
// it answers nothing, as the C library finds after each wait. The rows are those of the line
// without it, and what "id" and "getent" answer. The C library still asks it whenever it reads
// the lists (set and end, twice per bind).
TEST(UnattendedAccounts, ASourceThatDoesNotAnswerIsGivenUpAfterItsFirstWait)
{
    if (!PrivateMountsAvailable())
        GTEST_SKIP() << "private mount namespaces cannot be made here (they need root)";
    const QStringList tables{"Users", "Groups", "UserGroup"};
    QStringList rows[2];
    int index = 0;
    for (const QString sources : {"stalled files systemd lookuponly", "files systemd lookuponly"}) {
        SCOPED_TRACE(sources.toStdString());
        TempProgramFolder folder;
        folder.InstallDatabase();
        const StagedAccounts staged(folder);
        folder.Write("Quillmere.ini", "[Options]\nScanDirectories=0\nScanPrograms=0\n");
        ScannedAsTheNameServiceAnswers(folder, sources);
        for (const QString &table : tables)
            rows[index] << Rows(folder.File("NetworkInfo.mdb"), "select * from " + table + " order by rowid");
        ++index;
        if (!sources.contains("stalled"))
            continue;
        // The users and the groups are each read with the sources of one bind: the accounts' line
        // asks stalled once in each, the groups' line once with the users. Beside that, each of
        // the four lists read through the C library calls its set and end functions, and Qt asks
        // for the program's user once; asked per account, it was called more than 70 times.
        const QStringList calls = Lines(folder.Read("scan-calls"));
        const QStringList lookUps = calls.filter(QRegularExpression("^(getpwnam_r|getgrgid_r|initgroups_dyn)$"));
        EXPECT_LE(lookUps.size(), 3) << calls.join(u' ').toStdString();
        EXPECT_LE(calls.size(), 16) << calls.join(u' ').toStdString();
    }
    EXPECT_EQ(rows[0], rows[1]);
}
