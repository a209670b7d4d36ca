#include "common/MemoryDirectory.h"
#include "common/NetworkNamespace.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "platform/registry/FileRegistry.h"
#include "scan/modScanInstalledPrograms.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTimer>

#include <gtest/gtest.h>

using namespace modScanInstalledPrograms;
using platform::registry::FileRegistry;
using platform::registry::HKEY;
using testing_support::NetworkNamespace;

namespace {

const QString Domain = QStringLiteral("CORP");
const QString Table = QStringLiteral("InstalledSoftware");
const QString OldRow = QStringLiteral("insert into InstalledSoftware values('OLD','Old program','1','','')");

// One program entry of an export: its key, then DisplayName, DisplayVersion, Publisher and
// InstallSource; a null pointer is a value the entry does not have.
struct Program {
    const char *key, *values[4] = {};
};

class InstalledProgramsScan : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(folder.File(QStringLiteral("Registry"))); }

    void NoPing() { folder.Write(QStringLiteral("Quillmere.ini"), "[Options]\r\nNoPing=1\r\n"); }

    // A computer of the domain whose registry export lists programs.
    void AddComputer(const QString &name, const std::vector<Program> &programs)
    {
        directory.AddComputer(Domain, name);
        const char *const names[] = {"DisplayName", "DisplayVersion", "Publisher", "InstallSource"};
        QString text = QStringLiteral("REGEDIT4\r\n");
        for (const Program &p : programs) {
            text += QStringLiteral("\r\n[HKEY_LOCAL_MACHINE\\%1\\%2]\r\n").arg(platform::registry::UninstallKey, QString::fromUtf8(p.key));
            for (int i = 0; i < 4; ++i) {
                if (p.values[i])
                    text += QStringLiteral("\"%1\"=\"%2\"\r\n").arg(QLatin1String(names[i]), QString::fromUtf8(p.values[i])
                                                                                             .replace(u'\\', QStringLiteral("\\\\"))
                                                                                             .replace(u'"', QStringLiteral("\\\"")));
            }
        }
        folder.Write(QStringLiteral("Registry/") + name + QStringLiteral(".reg"), text.toUtf8());
    }

    int32_t Scan(const QString &domain = Domain) { return ScanInstalledPrograms(progress, progress, database.Path(), Table, domain); }

    int32_t ScanThrough(FileRegistry &registry)
    {
        platform::registry::Install(&registry);
        const int32_t result = Scan();
        platform::registry::Install(nullptr);
        return result;
    }

    QStringList Rows() const { return database.Rows(QStringLiteral("select * from InstalledSoftware order by rowid")); }

    testing_support::TempProgramFolder folder;
    testing_support::ResultsDatabase database;
    testing_support::MemoryDirectory directory;
    testing_support::ProgressRecorder progress;
    testing_support::ScriptedShell shell;
};

} // namespace

TEST_F(InstalledProgramsScan, ReadsEveryKeptComputer)
{
    NoPing();
    database.Exec(OldRow);
    const QByteArray long300(300, 'p');
    AddComputer(QStringLiteral("PC1"), {{"{A}", "Tom's Tool", "1.0", "O'Neil \"Q\"", "C:\\Setup\\"},
                                        {"NoName", nullptr, "2.0", "Nobody"},
                                        {"EmptyName", "", "3.0"},
                                        {"OnlyName", "Bare|Name"},
                                        {"Long", long300.constData(), nullptr, long300.constData()}});
    directory.AddComputer(Domain, QStringLiteral("ghost")).Put(QStringLiteral("Name"), QVariant()); // passed over
    AddComputer(QStringLiteral("PC'2"), {{"X", "Editor", "7"}});
    directory.AddComputer(Domain, QStringLiteral("PC3")); // no export: its registry cannot be reached

    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(ComputerList(), (QStringList{"PC1", "PC'2", "PC3"}));
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("PC1\r\nPC'2\r\nPC3\r\n"));
    const QString long300Text = QString::fromLatin1(long300);
    EXPECT_EQ(Rows(), (QStringList{"PC1\tToms Tool\t1.0\tONeil \"Q\"\tC:\\Setup\\", "PC1\tBare|Name\t\t\t",
                                   "PC1\t" + long300Text + "\t\t" + long300Text + "\t", "PC|2\tEditor\t7\t\t"}));
    EXPECT_EQ(progress.maxes, (std::vector<double>{3}));
    EXPECT_EQ(progress.values, (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(progress.captions, (QStringList{"Searching for network computers...", "Scanning installed programs ( 0% )",
                                              "Scanning installed programs ( 33% )", "Scanning installed programs ( 66% )",
                                              "Scanning installed programs ( 100% )",
                                              "Installed programs scanned successfully."}));
    EXPECT_TRUE(shell.prompts.empty());
    EXPECT_EQ(dynamic_cast<FileRegistry &>(platform::registry::Current()).OpenHandles(), 0u);
}

// Nothing answers inside a namespace without a way out: the names cannot even be resolved.
// Without an ICMP socket every computer is reported and none is kept, not even loopback.
TEST_F(InstalledProgramsScan, NoComputerAnswers)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    database.Exec(OldRow);
    folder.Write(QStringLiteral("Workstations.log"), "OLD\r\n");
    AddComputer(QStringLiteral("PC1"), {{"A", "One"}});
    AddComputer(QStringLiteral("PC2"), {{"B", "Two"}});
    int32_t result = -1;
    ASSERT_EQ(ns.RunInside([&] { result = Scan(); }), QString());
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(ComputerList().isEmpty());
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray());
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_EQ(progress.Max(), 1);
    EXPECT_EQ(progress.Value(), 1);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Installed programs scanned successfully."));
    EXPECT_TRUE(shell.prompts.empty());

    directory.AddComputer(Domain, QStringLiteral("127.0.0.1"));
    ASSERT_EQ(ns.RunInside([&] { result = Scan(); }, NetworkNamespace::WithoutRawSockets), QString());
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(ComputerList().isEmpty());
    ASSERT_EQ(shell.prompts.size(), 3u);
    EXPECT_EQ(shell.prompts[2].text, QStringLiteral("Unable to Create File Handle"));
}

// The click arrives while computer 2 is read and is served when the scan lets the loop run.
TEST_F(InstalledProgramsScan, StopWhileTheSecondOfFiveIsRead)
{
    NoPing();
    for (const char *name : {"1", "2", "3", "4", "5"})
        AddComputer(QStringLiteral("PC") + QLatin1String(name), {{"K", name}});
    class ClickDuringSecond : public FileRegistry {
    public:
        int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) override
        {
            if (computer == u"PC2")
                QTimer::singleShot(0, [] { StopScanInstalledPrograms(); });
            return FileRegistry::ConnectRegistry(computer, root, result);
        }
    } registry;
    EXPECT_EQ(ScanThrough(registry), 0);
    EXPECT_EQ(Rows(), (QStringList{"PC1\t1\t\t\t", "PC2\t2\t\t\t"}));
    EXPECT_EQ(progress.Caption(), QStringLiteral("Scan cancelled."));
    EXPECT_EQ(progress.values, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(registry.OpenHandles(), 0u);

    // A stop asked for before the task starts is forgotten when it starts.
    StopScanInstalledPrograms();
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows().size(), 5);
}

// A key whose enumeration fails for every index must not hold the scan for ever.
TEST_F(InstalledProgramsScan, EndlessEnumerationFailureIsGivenUp)
{
    NoPing();
    directory.AddComputer(Domain, QStringLiteral("STUCK"));
    AddComputer(QStringLiteral("PC2"), {{"A", "Fine"}});
    constexpr HKEY Stuck = 0x7000;
    class AccessDenied : public FileRegistry {
    public:
        int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) override
        {
            return computer == u"STUCK" ? (result = Stuck, 0) : FileRegistry::ConnectRegistry(computer, root, result);
        }
        int32_t OpenKey(HKEY key, const QString &subKey, HKEY &result) override
        {
            return key == Stuck ? (result = Stuck, 0) : FileRegistry::OpenKey(key, subKey, result);
        }
        int32_t EnumKey(HKEY key, uint32_t index, QString &name) override
        {
            return key == Stuck ? (++denied, 5) : FileRegistry::EnumKey(key, index, name);
        }
        int32_t CloseKey(HKEY key) override { return key == Stuck ? 0 : FileRegistry::CloseKey(key); }
        long denied = 0;
    } registry;
    EXPECT_EQ(ScanThrough(registry), 1);
    EXPECT_GT(registry.denied, 0);
    EXPECT_EQ(Rows(), (QStringList{"PC2\tFine\t\t\t"}));
}

// A failure ends the task with its message: an unbound domain leaves the old rows and computer
// list alone, a database failure comes after the computer list and keeps the rows before it.
TEST_F(InstalledProgramsScan, FailuresEndTheTaskWithTheirMessage)
{
    database.Exec(OldRow);
    folder.Write(QStringLiteral("Workstations.log"), "OLD\r\n");
    EXPECT_EQ(Scan(QStringLiteral("NOWHERE")), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Unknown error: Domain not found"));
    EXPECT_EQ(Rows(), (QStringList{"OLD\tOld program\t1\t\t"}));
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("OLD\r\n"));
    try {
        SearchNetworkComputers(QStringLiteral("NOWHERE"));
        ADD_FAILURE() << "the search raised nothing";
    } catch (const support::Error &error) {
        EXPECT_EQ(error.Number(), platform::directory::kDomainNotFound);
        EXPECT_EQ(error.Source(), QStringLiteral("Get the list of workstations"));
    }

    NoPing();
    AddComputer(QStringLiteral("PC1"), {{"A", "One", "1"}});
    EXPECT_EQ(ScanInstalledPrograms(progress, progress, database.File(QStringLiteral("missing.mdb")), Table, Domain), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Database file not found!"));
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("PC1\r\n"));

    // A value longer than its column allows leaves out its row only: the other rows and computers
    // are stored, and the task ends with the message for fields that are too small.
    const QByteArray long1025(1025, 'n');
    AddComputer(QStringLiteral("PC2"), {{"B", long1025.constData()}, {"C", "Three"}});
    AddComputer(QStringLiteral("PC3"), {{"D", "Four"}});
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("The database fields are too small, some information is not saved!"));
    EXPECT_EQ(Rows(), (QStringList{"PC1\tOne\t1\t\t", "PC2\tThree\t\t\t", "PC3\tFour\t\t\t"}));
    EXPECT_TRUE(shell.prompts.empty());

    // A computer list that cannot be written fails the task, named, before the table is emptied.
    ASSERT_TRUE(QFile::remove(folder.File(QStringLiteral("Workstations.log"))));
    ASSERT_TRUE(QDir().mkpath(folder.File(QStringLiteral("Workstations.log"))));
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), "Unknown error: " + folder.File(QStringLiteral("Workstations.log"))
                                      + " cannot be written: Is a directory.");
    EXPECT_EQ(Rows().size(), 3);
}

// An export that is none adds no rows and fails nothing: it is named with the reason and counted
// in the closing line (not what an earlier task passed over).
TEST_F(InstalledProgramsScan, ExportsThatCannotBeReadArePassedOverAndCounted)
{
    NoPing();
    const QByteArray export1 = QStringLiteral("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\%1\\A]\r\n\"DisplayName\"=\"One\"\r\n")
                                   .arg(platform::registry::UninstallKey).toUtf8();
    const std::pair<const char *, QByteArray> exports[] = {
        {"PC1", export1},
        {"EMPTY", ""},
        {"WIDE", QByteArray(QStringEncoder(QStringConverter::Utf16LE)(QString::fromUtf8(export1)))},
    };
    for (const auto &[computer, bytes] : exports) {
        directory.AddComputer(Domain, QLatin1String(computer));
        folder.Write(QStringLiteral("Registry/%1.reg").arg(QLatin1String(computer)), bytes);
    }
    std::vector<PassedOver> unreadable{{QStringLiteral("/srv/locked"), QStringLiteral("Permission denied")}};
    EXPECT_EQ(ScanInstalledPrograms(progress, progress, database.Path(), Table, Domain, &unreadable), 1);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Installed programs scanned; 2 registry exports could not be read."));
    EXPECT_EQ(Rows(), QStringList{"PC1\tOne\t\t\t"});
    QStringList named;
    for (const auto &[name, reason] : unreadable)
        named << reason + QStringLiteral(": ") + name;
    EXPECT_EQ(named, (QStringList{"Permission denied: /srv/locked", "File is empty: " + folder.File("Registry/EMPTY.reg"),
                                  "UTF-16 without a byte-order mark: " + folder.File("Registry/WIDE.reg")}));

    folder.Write(QStringLiteral("Registry/WIDE.reg"), export1);
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Installed programs scanned; 1 registry export could not be read."));
}
