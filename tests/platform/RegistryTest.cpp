#include "common/MountNamespace.h"
#include "common/TestSupport.h"
#include "platform/registry/DpkgStatus.h"
#include "platform/registry/FileRegistry.h"
#include "platform/registry/RegExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

using namespace platform::registry;
using testing_support::TempProgramFolder;

namespace {

QByteArray utf16Export(const QString &text) { return QByteArray("\xFF\xFE") + QByteArray(QStringEncoder(QStringConverter::Utf16LE)(text)); }

// One program entry as the layer shows it; a missing value is nothing, not "".
struct Entry {
    std::optional<QString> displayName, displayVersion, publisher, installSource;
    bool operator==(const Entry &) const = default;
};

std::optional<QString> value(FileRegistry &registry, HKEY key, const QString &name)
{
    uint32_t type = 0;
    QString data;
    if (registry.QueryValue(key, name, type, data) != ERROR_SUCCESS)
        return std::nullopt;
    EXPECT_EQ(type, REG_SZ);
    return data;
}

// The uninstall key of computer, subkey name -> entry; nothing when it cannot be opened.
std::optional<std::map<QString, Entry>> uninstallEntries(FileRegistry &registry, const QString &computer)
{
    HKEY root = 0, uninstall = 0;
    if (registry.ConnectRegistry(computer, HKEY_LOCAL_MACHINE, root) != ERROR_SUCCESS)
        return std::nullopt;
    const int32_t opened = registry.OpenKey(root, UninstallKey, uninstall);
    EXPECT_EQ(registry.CloseKey(root), ERROR_SUCCESS);
    if (opened != ERROR_SUCCESS)
        return std::nullopt;
    std::map<QString, Entry> entries;
    QString name;
    uint32_t index = 0;
    for (; registry.EnumKey(uninstall, index, name) == ERROR_SUCCESS; ++index) {
        HKEY program = 0;
        EXPECT_EQ(registry.OpenKey(uninstall, name, program), ERROR_SUCCESS);
        const auto get = [&](const char *valueName) { return value(registry, program, QString::fromLatin1(valueName)); };
        entries[name] = Entry{get("DisplayName"), get("DisplayVersion"), get("Publisher"), get("InstallSource")};
        registry.CloseKey(program);
    }
    EXPECT_EQ(registry.EnumKey(uninstall, index, name), ERROR_NO_MORE_ITEMS);
    registry.CloseKey(uninstall);
    EXPECT_EQ(registry.OpenHandles(), 0u);
    return entries;
}

const QString Long300 = QString(300, u'x');
const QString Keep = QStringLiteral("HKEY_LOCAL_MACHINE\\") + UninstallKey;

// One export body covering the awkward cases, a line an entry ("~" stands for the uninstall key,
// "%1" for 300 characters); the header is put in front of it.
const QString Body = [] {
    QStringList lines;
    for (const char *line :
         {"", "[~]", "", R"([~\Tool])", R"("DisplayName"="Tom's Tool")", R"("DisplayVersion"="1.2")", R"("Publisher"="Say \"hi\"")",
          R"("InstallSource"="C:\\Temp\\")", R"("EstimatedSize"=dword:00001000)", R"("Blob"=hex:01,02,03,\)", "  04,05",
          R"("UninstallString"=hex(2):43,00,3a,00,\)", "  5c,00,00,00", "", R"([~\NoName])", R"("DisplayVersion"="9")", "",
          R"([~\EmptyName])", R"("DisplayName"="")", "", "; a comment, then lines no editor writes", "this is not a registry line",
          R"("DisplayName")", R"("Broken"="never closed)", R"(="=")", "[", R"([~\Long])", R"("displayname"="%1")",
          R"("Publisher"="%1")", R"(@="default value")", "",
          R"([hkey_local_machine\software\microsoft\windows\currentversion\uninstall\Tool])", R"("DisplayVersion"="1.3")",
          R"("Blob2"=hex:00,\)", R"([HKEY_LOCAL_MACHINE\SOFTWARE\Other\Uninstall\Elsewhere])", R"("DisplayName"="Not a program")",
          R"([HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Wow])", R"("DisplayName"="32-bit")",
          R"([HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\User])", R"("DisplayName"="Per user")",
          R"([-~\Gone])", R"("DisplayName"="Deleted")", R"([~\Only\Deeper])", R"("DisplayName"="Deeper")", R"([~\Removed])",
          R"("DisplayName"="Here")", R"("DisplayName"=-)", R"([~\Accents])", "\"DisplayName\"=\"Caf\xE9 Tool\"",
          "\"Publisher\"=\"Soci\xE9t\xE9 G\xE9n\xE9rale\""})
        lines << QString::fromLatin1(line).replace(u'~', Keep).replace(QStringLiteral("%1"), Long300);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}();

const std::map<QString, Entry> Expected = {
    {"Tool", {"Tom's Tool", "1.3", "Say \"hi\"", "C:\\Temp\\"}},
    {"NoName", {std::nullopt, "9", std::nullopt, std::nullopt}},
    {"EmptyName", {QString(), std::nullopt, std::nullopt, std::nullopt}},
    {"Long", {Long300, std::nullopt, Long300, std::nullopt}},
    {"Only", {}},
    {"Removed", {}},
    {"Accents", {QStringLiteral("Café Tool"), std::nullopt, QStringLiteral("Société Générale"), std::nullopt}},
};

// Both forms an export comes in; the third also has Unix line ends and a differently cased name,
// the fourth one line in Latin-1 (pasted from an ANSI file) among the UTF-8 ones.
const std::pair<const char *, QByteArray> Exports[] = {
    {"PC01.reg", utf16Export("Windows Registry Editor Version 5.00\r\n" + Body)},
    {"PC02.reg", QString("REGEDIT4\r\n" + Body).toUtf8()},
    {"pc03.REG", QString("REGEDIT4\r\n" + Body).replace("\r\n", "\n").toUtf8()},
    {"PC04.reg", QString("REGEDIT4\r\n" + Body).toUtf8().replace("Caf\xC3\xA9 Tool", "Caf\xE9 Tool")},
};

class RegistryExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(folder.File(QStringLiteral("Registry")));
        for (const auto &[file, bytes] : Exports)
            folder.Write(QStringLiteral("Registry/") + QLatin1String(file), bytes);
    }
    TempProgramFolder folder;
    FileRegistry registry;
};

} // namespace

TEST_F(RegistryExport, EveryFormGivesTheSameEntries)
{
    for (const char *computer : {"PC01", "PC02", "PC03", "PC04"}) {
        SCOPED_TRACE(computer);
        const auto entries = uninstallEntries(registry, QString::fromLatin1(computer));
        ASSERT_TRUE(entries);
        EXPECT_EQ(*entries, Expected);
    }
}

TEST_F(RegistryExport, KeysStayValidAfterTheirParentCloses)
{
    HKEY root = 0, uninstall = 0, tool = 0;
    ASSERT_EQ(registry.ConnectRegistry(QStringLiteral("PC01"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    EXPECT_EQ(registry.OpenKey(root, QStringLiteral("SOFTWARE\\Nothing"), uninstall), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(uninstall, 0u);
    ASSERT_EQ(registry.OpenKey(root, UninstallKey, uninstall), ERROR_SUCCESS);
    EXPECT_EQ(registry.CloseKey(root), ERROR_SUCCESS);
    ASSERT_EQ(registry.OpenKey(uninstall, QStringLiteral("tool"), tool), ERROR_SUCCESS);
    EXPECT_EQ(registry.CloseKey(uninstall), ERROR_SUCCESS);
    EXPECT_EQ(value(registry, tool, QStringLiteral("DISPLAYNAME")), QStringLiteral("Tom's Tool"));
    EXPECT_EQ(registry.CloseKey(tool), ERROR_SUCCESS);
    QString name;
    EXPECT_EQ(registry.EnumKey(tool, 0, name), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.EnumKey(0, 0, name), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.CloseKey(tool), ERROR_INVALID_HANDLE);
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

// A file that cannot be read as an export is named with the reason; a computer without any file
// has no word.
TEST_F(RegistryExport, ComputersWithoutAReadableExportCannotBeConnected)
{
    const QByteArray header = "REGEDIT4\r\n";
    const auto utf16 = [](const char *text, QStringConverter::Encoding encoding) {
        return QByteArray(QStringEncoder(encoding)(QString::fromLatin1(text)));
    };
    const struct {
        const char *file;
        QByteArray bytes;
        const char *reason; // nullptr: no file of the computer's name at all
    } cases[] = {
        {"TEXT", "just some text\r\n" + header, "No registry export header"},
        {"EMPTY", "", "File is empty"},
        {"BLANKS", " \r\n\t\n", "No registry export header"},
        {"BINARY", QByteArray("\x00\x01\x02\xFF\xFE", 5), "No registry export header"},
        {"HALF", "\xFF\xFE" /* a BOM alone */, "No registry export header"},
        {"UTF16LE", utf16("\r\nREGEDIT4\r\n[HKEY_LOCAL_MACHINE]\r\n", QStringConverter::Utf16LE), "UTF-16 without a byte-order mark"},
        {"UTF16BE", utf16("Windows Registry Editor Version 5.00\r\n", QStringConverter::Utf16BE), "UTF-16 without a byte-order mark"},
        {"MISSING", {}, nullptr},
        {"../Outside", {}, nullptr},
        {"..", {}, nullptr},
        {"Registry/../Outside", {}, nullptr},
    };
    folder.Write(QStringLiteral("Outside.reg"), header);
    for (const auto &c : cases) {
        if (c.reason)
            folder.Write(QStringLiteral("Registry/%1.reg").arg(QLatin1String(c.file)), c.bytes);
    }
    ASSERT_TRUE(QDir().mkpath(folder.File(QStringLiteral("Registry/FOLDER.reg"))));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        HKEY root = 12345;
        EXPECT_NE(registry.ConnectRegistry(QString::fromLatin1(c.file), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
        EXPECT_EQ(root, 0u);
        const std::optional<ReadFailure> failure = registry.LastReadFailure();
        ASSERT_EQ(failure.has_value(), c.reason != nullptr);
        if (failure) {
            EXPECT_EQ(failure->file, folder.File(QStringLiteral("Registry/%1.reg").arg(QLatin1String(c.file))));
            EXPECT_EQ(failure->reason, QLatin1String(c.reason));
        }
    }
    HKEY root = 0;
    EXPECT_NE(registry.ConnectRegistry(QStringLiteral("FOLDER"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    ASSERT_TRUE(registry.LastReadFailure());
    EXPECT_FALSE(registry.LastReadFailure()->reason.isEmpty());
    ASSERT_EQ(registry.ConnectRegistry(QStringLiteral("PC02"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    EXPECT_FALSE(registry.LastReadFailure()) << "a connection that works forgets the last failure";
    registry.CloseKey(root);
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

// An export cut off anywhere keeps every entry that was whole before the cut; here the cut is
// inside the escaped Publisher text of Tool, at an odd byte.
TEST(RegistryExportText, TruncatedExportKeepsWhatIsWhole)
{
    const qsizetype cut = 2 + 2 * ("Windows Registry Editor Version 5.00\r\n" + Body).indexOf(QStringLiteral("hi\\\"")) + 1;
    const std::optional<QString> text = DecodeExport(Exports[0].second.left(cut));
    ASSERT_TRUE(text);
    const RegistryKey tree = ParseExport(*text, Keep);
    const RegistryKey *tool = tree.Find(Keep + QStringLiteral("\\Tool"));
    ASSERT_NE(tool, nullptr);
    ASSERT_NE(tool->Value(QStringLiteral("DisplayVersion")), nullptr);
    EXPECT_EQ(tool->Value(QStringLiteral("DisplayVersion"))->data, QStringLiteral("1.2"));
    EXPECT_EQ(tool->Value(QStringLiteral("Publisher")), nullptr);
    EXPECT_EQ(tree.Find(Keep)->SubkeyCount(), 1u);
}

// Mutated exports of every form must parse without a crash, and nothing outside the kept key
// may ever appear in the result.
TEST(RegistryExportText, MutatedExportsNeverBreakTheParser)
{
    QRandomGenerator random(20240601);
    const char specials[] = {'"', '\\', '[', ']', '=', '@', '\r', '\n', '\0', '-', ':', '\xFF'};
    const auto special = [&] { return specials[random.bounded(int(sizeof specials))]; };
    const std::function<void(QByteArray &, qsizetype)> mutations[] = {
        [&](QByteArray &bytes, qsizetype at) { bytes[at] = special(); },
        [&](QByteArray &bytes, qsizetype at) { bytes.insert(at, special()); },
        [&](QByteArray &bytes, qsizetype at) { bytes.remove(at, 1 + random.bounded(16)); },
        [&](QByteArray &bytes, qsizetype at) { bytes.truncate(at); },
    };
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = Exports[round % std::size(Exports)].second;
        for (int edits = 1 + random.bounded(8); edits > 0 && !bytes.isEmpty(); --edits)
            mutations[random.bounded(int(std::size(mutations)))](bytes, random.bounded(bytes.size()));
        const std::optional<QString> text = DecodeExport(bytes);
        if (!text)
            continue;
        ++decoded;
        const RegistryKey tree = ParseExport(*text, Keep);
        ASSERT_LE(tree.SubkeyCount(), 1u);
        ASSERT_TRUE(tree.SubkeyCount() == 0 || tree.Subkey(0).Name().compare(u"HKEY_LOCAL_MACHINE", Qt::CaseInsensitive) == 0);
    }
    EXPECT_GT(decoded, 1000); // most mutations leave the header whole and reach the parser
}

// The registry nests at most 512 levels: a deeper section of an export is no key. Trees of any
// depth are freed without running out of stack, here on a thread with a small one.
TEST(RegistryExportText, KeysDeeperThanTheRegistryAllowsAreRefusedAndDeepTreesFreed)
{
    const auto path = [](int depth) { return QStringList(depth, QStringLiteral("K")).join(u'\\'); };
    QString text = QStringLiteral("REGEDIT4\r\n");
    for (const int depth : {512, 513, 100000})
        text += u'[' + path(depth) + QStringLiteral("]\r\n\"DisplayName\"=\"x\"\r\n");
    const RegistryKey tree = ParseExport(text, QStringLiteral("K"));
    const RegistryKey *deepest = tree.Find(path(512));
    ASSERT_NE(deepest, nullptr);
    EXPECT_TRUE(deepest->Value(QStringLiteral("DisplayName")) && deepest->SubkeyCount() == 0);

    QThread *thread = QThread::create([] {
        RegistryKey root;
        RegistryKey *key = &root;
        for (int level = 0; level < 20000; ++level)
            key = &key->Ensure(QStringLiteral("K"));
    });
    thread->setStackSize(256 * 1024);
    thread->start();
    EXPECT_TRUE(thread->wait(60000));
    delete thread;
}

// Packages are listed when installed, triggers still to run or not, and named as dpkg names them
// (amd64 the native architecture here).
TEST(DpkgStatus, InstalledPackagesAreNamedAsDpkgNamesThem)
{
    const struct {
        const char *paragraph;
        const char *name; // nullptr: left out
    } cases[] = {
        {"Package: alpha\nStatus: install ok installed\nPriority: optional\nArchitecture: amd64\n"
         "Maintainer: Pat O'Neil <pat@example.org>\nVersion: 1:2.3-4\nDescription: first line\n Package: not-a-package\n .\n",
         "alpha"},
        {"Package: gone\nStatus: deinstall ok config-files\nVersion: 1\n", nullptr},
        {"Package: broken\nStatus: install reinstreq half-installed\n\r", nullptr},
        {"Package: unpacked\nStatus: install ok unpacked\n", nullptr},
        {"Package: halfway\nStatus: install ok half-configured\n", nullptr},
        {"Package: held\r\nStatus: hold ok installed\r\nArchitecture: all\r\nVersion: 3\r\n\n\n", "held"},
        {"Package: pending\nStatus: install ok triggers-pending\nArchitecture: amd64\nTriggers-Pending: /usr/share/man\n", "pending"},
        {"Package: awaiting\nStatus: install ok triggers-awaited\nArchitecture: amd64\nTriggers-Awaited: pending\n", "awaiting"},
        {"package: alpha\nstatus: install ok installed\narchitecture: i386\nversion: 1:2.3-4\n", "alpha:i386"},
        {"Package: libz\nStatus: install ok installed\nArchitecture: amd64\nMulti-Arch: same\n", "libz:amd64"},
        {"Package: libz\nStatus: install ok installed\nArchitecture: i386\nMulti-Arch: same\n", "libz:i386"},
        {"Package: tools\nStatus: install ok installed\nArchitecture: all\nMulti-Arch: foreign\n", "tools"},
        {"Package: bare\nStatus: install ok installed\nMaintainer: Zo\xEB Lef\xE8vre <zoe@example.org>\n", "bare"},
        {"Package: accents\nStatus: install ok installed\nMaintainer: Zo\xC3\xAB Lef\xC3\xA8vre\n", "accents"},
    };
    QByteArray status;
    QStringList expected;
    for (const auto &c : cases) {
        status += QByteArray(c.paragraph) + '\n';
        if (c.name)
            expected << QString::fromLatin1(c.name);
    }
    const std::vector<DpkgPackage> packages = InstalledPackages(status, QStringLiteral("amd64"));
    QStringList names;
    for (const DpkgPackage &package : packages)
        names << package.name;
    EXPECT_EQ(names, expected);
    ASSERT_EQ(packages.size(), 10u);
    EXPECT_EQ(packages[1].version, QStringLiteral("3"));
    EXPECT_EQ(packages[1].maintainer, QString());
    EXPECT_EQ(packages[8].maintainer, QStringLiteral("Zoë Lefèvre <zoe@example.org>")) << "a Latin-1 line";
    EXPECT_EQ(packages[9].maintainer, QStringLiteral("Zoë Lefèvre"));
    // Where dpkg cannot tell its own architecture, only what may be installed twice is qualified.
    EXPECT_EQ(InstalledPackages(status, QString())[4].name, QStringLiteral("alpha"));
    EXPECT_EQ(InstalledPackages(status, QString())[6].name, QStringLiteral("libz:i386"));

    TempProgramFolder folder;
    folder.Write(QStringLiteral("status"), status);
    FileRegistry registry(folder.File(QStringLiteral("status")));
    const auto entries = uninstallEntries(registry, QStringLiteral("localhost"));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 10u);
    EXPECT_EQ(entries->at(QStringLiteral("alpha:amd64")).publisher, QStringLiteral("Pat O'Neil <pat@example.org>"));
    EXPECT_EQ(entries->at(QStringLiteral("libz:i386")), (Entry{"libz:i386", QString(), QString(), QString()}));

    FileRegistry noDatabase(folder.File(QStringLiteral("missing")));
    HKEY root = 1;
    EXPECT_NE(noDatabase.ConnectRegistry(QStringLiteral("localhost"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    EXPECT_EQ(root, 0u);
}

namespace {

// status with the line of field in package's paragraph set to line, or line added at the
// paragraph's end when field is empty.
QByteArray edited(QByteArray status, const QByteArray &package, const QByteArray &field, const QByteArray &line)
{
    const qsizetype from = status.indexOf("\nPackage: " + package + '\n') + 1;
    const qsizetype end = status.indexOf("\n\n", from) + 1;
    const qsizetype at = field.isEmpty() ? end : status.indexOf('\n' + field + ": ", from) + 1;
    EXPECT_TRUE(from > 0 && at > 0 && at <= end) << package.toStdString() << ' ' << field.toStdString();
    return field.isEmpty() ? status.insert(at, line + '\n') : status.replace(at, status.indexOf('\n', at) - at, line);
}

// What dpkg-query lists as installed: Package:Architecture -> the entry this host's registry
// must show. A line that is no UTF-8 is taken as Latin-1.
std::map<QString, Entry> dpkgQueryInstalled()
{
    QProcess query;
    query.start(QStringLiteral("dpkg-query"), {"-W", "-f=${db:Status-Status}\\t${Package}:${Architecture}\\t"
                                                     "${binary:Package}\\t${Version}\\t${Maintainer}\\n"});
    if (!query.waitForFinished(60000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        ADD_FAILURE() << query.readAllStandardError().toStdString();
        return {};
    }
    std::map<QString, Entry> installed;
    for (const QByteArray &bytes : query.readAllStandardOutput().split('\n')) {
        const QString utf8 = QString::fromUtf8(bytes);
        const QStringList f = (utf8.toUtf8() == bytes ? utf8 : QString::fromLatin1(bytes)).split(u'\t');
        if (f.size() == 5 && QStringList({"installed", "triggers-pending", "triggers-awaited"}).contains(f[0]))
            installed[f[1]] = Entry{f[2], f[3], f[4], QString()};
    }
    return installed;
}

} // namespace

// This host's entries are the packages that dpkg itself reports as installed, named as it names
// them: on a copy of the machine's status database, edited to hold a package of a second
// architecture, one of a foreign one, packages with triggers pending and awaited, and a Latin-1
// maintainer, bound over the real one where only this test sees it.
TEST(DpkgStatus, ThisHostAgreesWithDpkgQuery)
{
    const QString real = QStringLiteral("/var/lib/dpkg/status");
    QFile file(real);
    if (!file.open(QIODevice::ReadOnly) || QStandardPaths::findExecutable(QStringLiteral("dpkg-query")).isEmpty())
        GTEST_SKIP() << "dpkg is not installed here";
    QByteArray status = file.readAll();
    const QByteArray other = NativeArchitecture() == u"i386" ? "armhf" : "i386";
    const qsizetype libc = status.indexOf("\nPackage: libc6\n") + 1;
    const QByteArray libcNative = status.mid(libc, status.indexOf("\n\n", libc) + 2 - libc);
    status = libcNative + edited(status, "libc6", "Architecture", "Architecture: " + other);
    status = edited(status, "diffutils", "Architecture", "Architecture: " + other);
    status = edited(status, "sed", "Status", "Status: install ok triggers-pending");
    status = edited(status, "sed", {}, "Triggers-Pending: /usr/share/man");
    status = edited(status, "grep", "Status", "Status: install ok triggers-awaited");
    status = edited(status, "grep", {}, "Triggers-Awaited: sed");
    status = edited(status, "gzip", "Maintainer", "Maintainer: Zo\xEB Lef\xE8vre <zoe@example.org>");
    TempProgramFolder folder;
    folder.Write(QStringLiteral("status"), status);

    std::map<QString, Entry> expected;
    std::optional<std::map<QString, Entry>> entries;
    const auto bind = [&] { return testing_support::Bind(folder.File(QStringLiteral("status")), real); };
    ASSERT_EQ(testing_support::InPrivateMounts(bind, [&] {
        expected = dpkgQueryInstalled();
        FileRegistry registry;
        entries = uninstallEntries(registry, QStringLiteral("localhost"));
    }), QString());
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries, expected);
    const QString native = NativeArchitecture();
    EXPECT_EQ(entries->at("libc6:" + native).displayName, "libc6:" + native);
    EXPECT_EQ(entries->at("libc6:" + other).displayName, "libc6:" + other);
    EXPECT_EQ(entries->at("diffutils:" + other).displayName, "diffutils:" + other);
    EXPECT_EQ(entries->at("sed:" + native).displayName, QStringLiteral("sed"));
    EXPECT_EQ(entries->at("grep:" + native).displayName, QStringLiteral("grep"));
    EXPECT_EQ(entries->at("gzip:" + native).publisher, QStringLiteral("Zoë Lefèvre <zoe@example.org>"));
}
