#include "common/TestSupport.h"
#include "platform/registry/DpkgStatus.h"
#include "platform/registry/FileRegistry.h"
#include "platform/registry/RegExport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace platform::registry;
using testing_support::TempProgramFolder;

namespace {

QByteArray utf16Export(const QString &text)
{
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE") + QByteArray(encoder(text));
}

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
        entries[name] = Entry{value(registry, program, QStringLiteral("DisplayName")),
                              value(registry, program, QStringLiteral("DisplayVersion")),
                              value(registry, program, QStringLiteral("Publisher")),
                              value(registry, program, QStringLiteral("InstallSource"))};
        registry.CloseKey(program);
    }
    EXPECT_EQ(registry.EnumKey(uninstall, index, name), ERROR_NO_MORE_ITEMS);
    registry.CloseKey(uninstall);
    EXPECT_EQ(registry.OpenHandles(), 0u);
    return entries;
}

const QString Long300 = QString(300, u'x');

// One export body covering the awkward cases; the header is put in front by the callers.
QString exportBody()
{
    return QStringLiteral(
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool]\r\n"
               "\"DisplayName\"=\"Tom's Tool\"\r\n"
               "\"DisplayVersion\"=\"1.2\"\r\n"
               "\"Publisher\"=\"Say \\\"hi\\\"\"\r\n"
               "\"InstallSource\"=\"C:\\\\Temp\\\\\"\r\n"
               "\"EstimatedSize\"=dword:00001000\r\n"
               "\"Blob\"=hex:01,02,03,\\\r\n"
               "  04,05\r\n"
               "\"UninstallString\"=hex(2):43,00,3a,00,\\\r\n"
               "  5c,00,00,00\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\NoName]\r\n"
               "\"DisplayVersion\"=\"9\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\EmptyName]\r\n"
               "\"DisplayName\"=\"\"\r\n"
               "\r\n"
               "; a comment, then lines no editor writes\r\n"
               "this is not a registry line\r\n"
               "\"DisplayName\"\r\n"
               "\"Broken\"=\"never closed\r\n"
               "=\"=\"\r\n"
               "[\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Long]\r\n"
               "\"displayname\"=\"%1\"\r\n"
               "\"Publisher\"=\"%1\"\r\n"
               "@=\"default value\"\r\n"
               "\r\n"
               "[hkey_local_machine\\software\\microsoft\\windows\\currentversion\\uninstall\\Tool]\r\n"
               "\"DisplayVersion\"=\"1.3\"\r\n"
               "\"Blob2\"=hex:00,\\\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\Uninstall\\Elsewhere]\r\n"
               "\"DisplayName\"=\"Not a program\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wow]\r\n"
               "\"DisplayName\"=\"32-bit\"\r\n"
               "\r\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\User]\r\n"
               "\"DisplayName\"=\"Per user\"\r\n"
               "\r\n"
               "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone]\r\n"
               "\"DisplayName\"=\"Deleted\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Only\\Deeper]\r\n"
               "\"DisplayName\"=\"Deeper\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Removed]\r\n"
               "\"DisplayName\"=\"Here\"\r\n"
               "\"DisplayName\"=-\r\n")
        .arg(Long300);
}

std::map<QString, Entry> expectedEntries()
{
    return {
        {QStringLiteral("Tool"),
         Entry{QStringLiteral("Tom's Tool"), QStringLiteral("1.3"), QStringLiteral("Say \"hi\""), QStringLiteral("C:\\Temp\\")}},
        {QStringLiteral("NoName"), Entry{std::nullopt, QStringLiteral("9"), std::nullopt, std::nullopt}},
        {QStringLiteral("EmptyName"), Entry{QString(), std::nullopt, std::nullopt, std::nullopt}},
        {QStringLiteral("Long"), Entry{Long300, std::nullopt, Long300, std::nullopt}},
        {QStringLiteral("Only"), Entry{}},
        {QStringLiteral("Removed"), Entry{}},
    };
}

} // namespace

TEST(RegistryExport, BothFormsGiveTheSameEntries)
{
    TempProgramFolder folder;
    ASSERT_TRUE(QDir().mkpath(folder.File(QStringLiteral("Registry"))));
    folder.Write(QStringLiteral("Registry/PC01.reg"),
                 utf16Export(QStringLiteral("Windows Registry Editor Version 5.00\r\n") + exportBody()));
    folder.Write(QStringLiteral("Registry/PC02.reg"), (QStringLiteral("REGEDIT4\r\n") + exportBody()).toUtf8());
    // Unix line ends and a differently cased file name.
    folder.Write(QStringLiteral("Registry/pc03.REG"),
                 QString(QStringLiteral("REGEDIT4\n") + exportBody()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8());
    FileRegistry registry;
    for (const char *computer : {"PC01", "PC02", "PC03"}) {
        SCOPED_TRACE(computer);
        const auto entries = uninstallEntries(registry, QString::fromLatin1(computer));
        ASSERT_TRUE(entries);
        EXPECT_EQ(*entries, expectedEntries());
    }
}

TEST(RegistryExport, KeysStayValidAfterTheirParentCloses)
{
    TempProgramFolder folder;
    QDir().mkpath(folder.File(QStringLiteral("Registry")));
    folder.Write(QStringLiteral("Registry/PC01.reg"), (QStringLiteral("REGEDIT4\r\n") + exportBody()).toUtf8());
    FileRegistry registry;
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

TEST(RegistryExport, ComputersWithoutAnExportCannotBeConnected)
{
    TempProgramFolder folder;
    QDir().mkpath(folder.File(QStringLiteral("Registry")));
    folder.Write(QStringLiteral("Registry/TEXT.reg"), "just some text\r\nREGEDIT4\r\n");
    folder.Write(QStringLiteral("Registry/EMPTY.reg"), "");
    folder.Write(QStringLiteral("Registry/BINARY.reg"), QByteArray("\x00\x01\x02\xFF\xFE", 5));
    folder.Write(QStringLiteral("Registry/HALF.reg"), "\xFF\xFE"); // a BOM and nothing else
    folder.Write(QStringLiteral("Outside.reg"), "REGEDIT4\r\n");
    FileRegistry registry;
    for (const char *computer : {"TEXT", "EMPTY", "BINARY", "HALF", "MISSING", "../Outside", "..", "Registry/../Outside"}) {
        SCOPED_TRACE(computer);
        HKEY root = 12345;
        EXPECT_NE(registry.ConnectRegistry(QString::fromLatin1(computer), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
        EXPECT_EQ(root, 0u);
    }
    EXPECT_EQ(registry.OpenHandles(), 0u);
}

// An export cut off anywhere keeps every entry that was whole before the cut.
TEST(RegistryExport, TruncatedExportsKeepWhatIsWhole)
{
    const QString full = QStringLiteral("Windows Registry Editor Version 5.00\r\n") + exportBody();
    const QByteArray bytes = utf16Export(full);
    const QString keep = QStringLiteral("HKEY_LOCAL_MACHINE\\") + UninstallKey;
    const QString tool = QStringLiteral("HKEY_LOCAL_MACHINE\\") + UninstallKey + QStringLiteral("\\Tool");
    // Cut inside the escaped Publisher text of Tool, at an odd byte.
    const qsizetype cut = 2 + 2 * full.indexOf(QStringLiteral("hi\\\"")) + 1;
    const std::optional<QString> text = DecodeExport(bytes.left(cut));
    ASSERT_TRUE(text);
    const RegistryKey tree = ParseExport(*text, keep);
    const RegistryKey *entry = tree.Find(tool);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->Value(QStringLiteral("DisplayVersion")), nullptr);
    EXPECT_EQ(entry->Value(QStringLiteral("DisplayVersion"))->data, QStringLiteral("1.2"));
    EXPECT_EQ(entry->Value(QStringLiteral("Publisher")), nullptr);
    EXPECT_EQ(tree.Find(keep)->SubkeyCount(), 1u);
}

// Mutated exports of every kind must parse without a crash, and nothing outside the kept key
// may ever appear in the result.
TEST(RegistryExport, MutatedExportsNeverBreakTheParser)
{
    const QString keep = QStringLiteral("HKEY_LOCAL_MACHINE\\") + UninstallKey;
    const QByteArray seeds[] = {utf16Export(QStringLiteral("Windows Registry Editor Version 5.00\r\n") + exportBody()),
                                (QStringLiteral("REGEDIT4\r\n") + exportBody()).toUtf8()};
    const char specials[] = {'"', '\\', '[', ']', '=', '@', '\r', '\n', '\0', '-', ':', '\xFF'};
    QRandomGenerator random(20240601);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = seeds[round % 2];
        const int edits = 1 + random.bounded(8);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const qsizetype at = random.bounded(bytes.size());
            switch (random.bounded(4)) {
            case 0:
                bytes[at] = specials[random.bounded(int(sizeof specials))];
                break;
            case 1:
                bytes.insert(at, specials[random.bounded(int(sizeof specials))]);
                break;
            case 2:
                bytes.remove(at, 1 + random.bounded(16));
                break;
            default:
                bytes.truncate(at);
                break;
            }
        }
        const std::optional<QString> text = DecodeExport(bytes);
        if (!text)
            continue;
        ++decoded;
        const RegistryKey tree = ParseExport(*text, keep);
        ASSERT_LE(tree.SubkeyCount(), 1u);
        if (tree.SubkeyCount() == 1) {
            ASSERT_EQ(tree.Subkey(0).Name().compare(QStringLiteral("HKEY_LOCAL_MACHINE"), Qt::CaseInsensitive), 0);
        }
    }
    EXPECT_GT(decoded, 1000); // most mutations leave the header whole and reach the parser
}

TEST(DpkgStatus, OnlyInstalledPackagesCount)
{
    const QByteArray status =
        "Package: alpha\n"
        "Status: install ok installed\n"
        "Priority: optional\n"
        "Architecture: amd64\n"
        "Maintainer: Pat O'Neil <pat@example.org>\n"
        "Version: 1:2.3-4\n"
        "Description: first line\n"
        " Package: not-a-package\n"
        " .\n"
        "\n"
        "Package: gone\n"
        "Status: deinstall ok config-files\n"
        "Architecture: amd64\n"
        "Version: 1\n"
        "\n"
        "Package: broken\n"
        "Status: install reinstreq half-installed\n"
        "Version: 2\n"
        "\r\n"
        "Package: held\r\n"
        "Status: hold ok installed\r\n"
        "Architecture: all\r\n"
        "Version: 3\r\n"
        "\n\n\n"
        "package: alpha\n"
        "status: install ok installed\n"
        "architecture: i386\n"
        "version: 1:2.3-4\n";
    const std::vector<DpkgPackage> packages = InstalledPackages(status);
    ASSERT_EQ(packages.size(), 3u);
    EXPECT_EQ(packages[0].package, QStringLiteral("alpha"));
    EXPECT_EQ(packages[0].version, QStringLiteral("1:2.3-4"));
    EXPECT_EQ(packages[0].maintainer, QStringLiteral("Pat O'Neil <pat@example.org>"));
    EXPECT_EQ(packages[1].package, QStringLiteral("held"));
    EXPECT_EQ(packages[1].maintainer, QString());
    EXPECT_EQ(packages[2].architecture, QStringLiteral("i386"));

    TempProgramFolder folder;
    folder.Write(QStringLiteral("status"), status);
    FileRegistry registry(folder.File(QStringLiteral("status")));
    const auto entries = uninstallEntries(registry, QStringLiteral("localhost"));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u); // both architectures of alpha
    EXPECT_EQ(entries->at(QStringLiteral("alpha:amd64")),
              (Entry{QStringLiteral("alpha"), QStringLiteral("1:2.3-4"), QStringLiteral("Pat O'Neil <pat@example.org>"), QString()}));

    FileRegistry noDatabase(folder.File(QStringLiteral("missing")));
    HKEY root = 1;
    EXPECT_NE(noDatabase.ConnectRegistry(QStringLiteral("localhost"), HKEY_LOCAL_MACHINE, root), ERROR_SUCCESS);
    EXPECT_EQ(root, 0u);
}
