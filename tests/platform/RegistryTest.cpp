#include "common/TestSupport.h"
#include "platform/registry/DpkgStatus.h"
#include "platform/registry/FileRegistry.h"
#include "platform/registry/RegExport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
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

TEST(DpkgStatus, OnlyInstalledPackagesCount)
{
    const QByteArray status = "Package: alpha\nStatus: install ok installed\nPriority: optional\nArchitecture: amd64\n"
                              "Maintainer: Pat O'Neil <pat@example.org>\nVersion: 1:2.3-4\n"
                              "Description: first line\n Package: not-a-package\n .\n\n"
                              "Package: gone\nStatus: deinstall ok config-files\nVersion: 1\n\n"
                              "Package: broken\nStatus: install reinstreq half-installed\n\r\n"
                              "Package: held\r\nStatus: hold ok installed\r\nArchitecture: all\r\nVersion: 3\r\n\n\n\n"
                              "package: alpha\nstatus: install ok installed\narchitecture: i386\nversion: 1:2.3-4\n";
    const std::vector<DpkgPackage> packages = InstalledPackages(status);
    ASSERT_EQ(packages.size(), 3u);
    EXPECT_EQ(packages[0].package, QStringLiteral("alpha"));
    EXPECT_EQ(packages[1].package, QStringLiteral("held"));
    EXPECT_EQ(packages[1].version, QStringLiteral("3"));
    EXPECT_EQ(packages[1].maintainer, QString());
    EXPECT_EQ(packages[2].architecture, QStringLiteral("i386"));

    TempProgramFolder folder;
    folder.Write(QStringLiteral("status"), status);
    FileRegistry registry(folder.File(QStringLiteral("status")));
    const auto entries = uninstallEntries(registry, QStringLiteral("localhost"));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u); // both architectures of alpha
    EXPECT_EQ(entries->at(QStringLiteral("alpha:amd64")), (Entry{"alpha", "1:2.3-4", "Pat O'Neil <pat@example.org>", QString()}));

    FileRegistry noDatabase(folder.File(QStringLiteral("missing")));
    HKEY root = 1;
    EXPECT_NE(noDatabase.ConnectRegistry(QStringLiteral("localhost"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    EXPECT_EQ(root, 0u);
}

// This host's entries are the packages that dpkg itself reports as installed.
TEST(DpkgStatus, ThisHostAgreesWithDpkgQuery)
{
    QProcess query;
    query.start(QStringLiteral("dpkg-query"),
                {"-W", "-f=${db:Status-Status}\\t${Package}\\t${Architecture}\\t${Version}\\t${Maintainer}\\n"});
    if (!query.waitForFinished(60000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        GTEST_SKIP() << "dpkg-query is not available here";
    std::map<QString, Entry> expected;
    for (const QString &line : QString::fromUtf8(query.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() == 5 && f[0] == u"installed")
            expected[f[1] + u':' + f[2]] = Entry{f[1], f[3], f[4], QString()};
    }
    ASSERT_FALSE(expected.empty());
    FileRegistry registry;
    EXPECT_EQ(uninstallEntries(registry, QStringLiteral("localhost")), expected);
}
