#include "common/MemoryDirectory.h"
#include "common/NetworkNamespace.h"
#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "platform/directory/NssDirectory.h"
#include "platform/registry/FileRegistry.h"
#include "scan/modScanInstalledPrograms.h"

#include <QDir>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>

using namespace modScanInstalledPrograms;
using platform::registry::FileRegistry;
using platform::registry::HKEY;
using testing_support::MemoryDirectory;
using testing_support::NetworkNamespace;
using testing_support::ProgressRecorder;
using testing_support::ResultsDatabase;
using testing_support::ScriptedShell;
using testing_support::TempProgramFolder;

namespace {

const QString Domain = QStringLiteral("CORP");
const QString Table = QStringLiteral("InstalledSoftware");
const QString AllRows = QStringLiteral("select * from InstalledSoftware order by rowid");

struct Program {
    QString key;
    QString name, version, publisher, source; // a null text is a value the entry does not have
};

QString regLine(const char *name, const QString &value)
{
    if (value.isNull())
        return {};
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return QStringLiteral("\"%1\"=\"%2\"\r\n").arg(QString::fromLatin1(name), escaped);
}

// What dpkg itself reports as installed, one "package\tversion\tmaintainer" line per package;
// nothing when dpkg-query cannot be run.
std::optional<QStringList> DpkgInstalledPackages()
{
    QProcess query;
    query.start(QStringLiteral("dpkg-query"),
                {QStringLiteral("-W"), QStringLiteral("-f=${db:Status-Status}\\t${Package}\\t${Version}\\t${Maintainer}\\n")});
    if (!query.waitForFinished(60000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return std::nullopt;
    QStringList packages;
    for (const QString &line : QString::fromUtf8(query.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() == 4 && fields[0] == u"installed")
            packages << fields.mid(1).join(u'\t');
    }
    return packages;
}

class InstalledProgramsScan : public ::testing::Test {
protected:
    void SetUp() override { QDir().mkpath(folder.File(QStringLiteral("Registry"))); }

    void NoPing() { folder.Write(QStringLiteral("Quillmere.ini"), "[Options]\r\nNoPing=1\r\n"); }

    // A computer of the domain whose registry export lists programs.
    void AddComputer(const QString &name, const std::vector<Program> &programs)
    {
        directory.AddComputer(Domain, name);
        QString text = QStringLiteral("REGEDIT4\r\n\r\n");
        for (const Program &program : programs) {
            text += QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%1]\r\n")
                        .arg(program.key);
            text += regLine("DisplayName", program.name) + regLine("DisplayVersion", program.version) +
                    regLine("Publisher", program.publisher) + regLine("InstallSource", program.source) + QStringLiteral("\r\n");
        }
        folder.Write(QStringLiteral("Registry/") + name + QStringLiteral(".reg"), text.toUtf8());
    }

    int32_t Scan(const QString &domain = Domain)
    {
        return ScanInstalledPrograms(progress, progress, database.Path(), Table, domain);
    }

    QStringList Rows() const { return database.Rows(AllRows); }

    TempProgramFolder folder;
    ResultsDatabase database;
    MemoryDirectory directory;
    ProgressRecorder progress;
    ScriptedShell shell;
};

} // namespace

TEST_F(InstalledProgramsScan, ReadsEveryKeptComputer)
{
    NoPing();
    database.Exec(QStringLiteral("insert into InstalledSoftware values('OLD','Old program','1','','')"));
    const QString long300(300, u'p');
    AddComputer(QStringLiteral("PC1"),
                {{QStringLiteral("{A}"), QStringLiteral("Tom's Tool"), QStringLiteral("1.0"), QStringLiteral("O'Neil \"Q\""),
                  QStringLiteral("C:\\Setup\\")},
                 {QStringLiteral("NoName"), QString(), QStringLiteral("2.0"), QStringLiteral("Nobody"), QString()},
                 {QStringLiteral("EmptyName"), QStringLiteral(""), QStringLiteral("3.0"), QString(), QString()},
                 {QStringLiteral("OnlyName"), QStringLiteral("Bare|Name"), QString(), QString(), QString()},
                 {QStringLiteral("Long"), long300, QString(), long300, QString()}});
    AddComputer(QStringLiteral("PC'2"), {{QStringLiteral("X"), QStringLiteral("Editor"), QStringLiteral("7"), QString(), QString()}});
    directory.AddComputer(Domain, QStringLiteral("PC3")); // no export: its registry cannot be reached

    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(ComputerList(), (QStringList{"PC1", "PC'2", "PC3"}));
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("PC1\r\nPC'2\r\nPC3\r\n"));
    EXPECT_EQ(Rows(), (QStringList{
                          "PC1\tToms Tool\t1.0\tONeil \"Q\"\tC:\\Setup\\",
                          "PC1\tBare|Name\t\t\t",
                          "PC1\t" + long300 + "\t\t" + long300 + "\t",
                          "PC|2\tEditor\t7\t\t",
                      }));
    EXPECT_EQ(progress.maxes, (std::vector<double>{3}));
    EXPECT_EQ(progress.values, (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(progress.captions, (QStringList{"Searching for network computers...", "Scanning installed programs ( 0% )",
                                              "Scanning installed programs ( 33% )", "Scanning installed programs ( 66% )",
                                              "Scanning installed programs ( 100% )",
                                              "Installed programs scanned successfully."}));
    EXPECT_TRUE(shell.prompts.empty());
    EXPECT_EQ(dynamic_cast<FileRegistry &>(platform::registry::Current()).OpenHandles(), 0u);

    // A second scan replaces the rows instead of adding to them.
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(Rows().size(), 4);
}

TEST_F(InstalledProgramsScan, ComputerWithoutNameIsPassedOver)
{
    NoPing();
    AddComputer(QStringLiteral("PC1"), {{QStringLiteral("A"), QStringLiteral("One"), QString(), QString(), QString()}});
    directory.AddComputer(Domain, QStringLiteral("ghost")).Put(QStringLiteral("Name"), QVariant());
    AddComputer(QStringLiteral("PC2"), {{QStringLiteral("B"), QStringLiteral("Two"), QString(), QString(), QString()}});
    EXPECT_EQ(Scan(), 1);
    EXPECT_EQ(ComputerList(), (QStringList{"PC1", "PC2"}));
    EXPECT_EQ(Rows(), (QStringList{"PC1\tOne\t\t\t", "PC2\tTwo\t\t\t"}));
}

// Nothing answers inside a namespace without a way out: the names cannot even be resolved.
TEST_F(InstalledProgramsScan, NoComputerAnswers)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    database.Exec(QStringLiteral("insert into InstalledSoftware values('OLD','Old program','1','','')"));
    folder.Write(QStringLiteral("Workstations.log"), "OLD\r\n");
    AddComputer(QStringLiteral("PC1"), {{QStringLiteral("A"), QStringLiteral("One"), QString(), QString(), QString()}});
    AddComputer(QStringLiteral("PC2"), {{QStringLiteral("B"), QStringLiteral("Two"), QString(), QString(), QString()}});
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
}

TEST_F(InstalledProgramsScan, WithoutIcmpEveryComputerIsReportedAndNoneKept)
{
    NetworkNamespace ns;
    REQUIRE_NAMESPACE(ns);
    directory.AddComputer(Domain, QStringLiteral("localhost"));
    directory.AddComputer(Domain, QStringLiteral("127.0.0.1"));
    NetworkNamespace::Options unprivileged;
    unprivileged.withoutRawSockets = true;
    int32_t result = -1;
    ASSERT_EQ(ns.RunInside([&] { result = Scan(); }, unprivileged), QString());
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(ComputerList().isEmpty());
    ASSERT_EQ(shell.prompts.size(), 2u);
    EXPECT_EQ(shell.prompts[1].text, QStringLiteral("Unable to Create File Handle"));
}

// The click arrives while computer 2 is read and is served when the scan lets the loop run.
TEST_F(InstalledProgramsScan, StopWhileTheSecondOfFiveIsRead)
{
    NoPing();
    for (int i = 1; i <= 5; ++i) {
        AddComputer(QStringLiteral("PC%1").arg(i),
                    {{QStringLiteral("K"), QStringLiteral("Program %1").arg(i), QString(), QString(), QString()}});
    }
    class ClickDuringSecond : public FileRegistry {
    public:
        int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) override
        {
            if (computer == u"PC2")
                QTimer::singleShot(0, [] { StopScanInstalledPrograms(); });
            return FileRegistry::ConnectRegistry(computer, root, result);
        }
    } registry;
    platform::registry::Install(&registry);
    const int32_t result = Scan();
    platform::registry::Install(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Rows(), (QStringList{"PC1\tProgram 1\t\t\t", "PC2\tProgram 2\t\t\t"}));
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
    AddComputer(QStringLiteral("PC2"), {{QStringLiteral("A"), QStringLiteral("Fine"), QString(), QString(), QString()}});
    class AccessDenied : public FileRegistry {
    public:
        int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) override
        {
            if (computer != u"STUCK")
                return FileRegistry::ConnectRegistry(computer, root, result);
            result = 0x7000;
            return 0;
        }
        int32_t OpenKey(HKEY key, const QString &subKey, HKEY &result) override
        {
            if (key != 0x7000)
                return FileRegistry::OpenKey(key, subKey, result);
            result = 0x7001;
            return 0;
        }
        int32_t EnumKey(HKEY key, uint32_t index, QString &name) override
        {
            if (key != 0x7001)
                return FileRegistry::EnumKey(key, index, name);
            ++denied;
            return 5;
        }
        int32_t CloseKey(HKEY key) override { return key >= 0x7000 ? 0 : FileRegistry::CloseKey(key); }
        long denied = 0;
    } registry;
    platform::registry::Install(&registry);
    const int32_t result = Scan();
    platform::registry::Install(nullptr);
    EXPECT_EQ(result, 1);
    EXPECT_GT(registry.denied, 0);
    EXPECT_EQ(Rows(), (QStringList{"PC2\tFine\t\t\t"}));
}

TEST_F(InstalledProgramsScan, DomainThatCannotBeBound)
{
    database.Exec(QStringLiteral("insert into InstalledSoftware values('OLD','Old program','1','','')"));
    folder.Write(QStringLiteral("Workstations.log"), "OLD\r\n");
    directory.AddComputer(Domain, QStringLiteral("PC1"));
    EXPECT_EQ(Scan(QStringLiteral("NOWHERE")), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Unknown error: Domain not found"));
    EXPECT_EQ(Rows(), (QStringList{"OLD\tOld program\t1\t\t"}));
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("OLD\r\n"));
    EXPECT_TRUE(shell.prompts.empty());

    try {
        SearchNetworkComputers(QStringLiteral("NOWHERE"));
        ADD_FAILURE() << "the search raised nothing";
    } catch (const support::Error &error) {
        EXPECT_EQ(error.Number(), platform::directory::kDomainNotFound);
        EXPECT_EQ(error.Source(), QStringLiteral("Get the list of workstations"));
    }
}

TEST_F(InstalledProgramsScan, DatabaseFailuresEndTheTaskWithTheirMessage)
{
    NoPing();
    AddComputer(QStringLiteral("PC1"), {{QStringLiteral("A"), QStringLiteral("One"), QStringLiteral("1"), QString(), QString()}});
    EXPECT_EQ(ScanInstalledPrograms(progress, progress, database.File(QStringLiteral("missing.mdb")), Table, Domain), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Database file not found!"));
    // The computer search came first and wrote its list.
    EXPECT_EQ(folder.Read(QStringLiteral("Workstations.log")), QByteArray("PC1\r\n"));

    EXPECT_EQ(ScanInstalledPrograms(progress, progress, database.Path(), QStringLiteral("Software"), Domain), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("Table 'Software' not found in database!"));

    // A version longer than its column allows: the rows before it stay.
    AddComputer(QStringLiteral("PC2"), {{QStringLiteral("B"), QStringLiteral("Two"), QString(5000, u'9'), QString(), QString()}});
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(progress.Caption(), QStringLiteral("The database fields are too small, some information is not saved!"));
    EXPECT_EQ(Rows(), (QStringList{"PC1\tOne\t1\t\t"}));
}

// This host's programs are the packages dpkg lists as installed, through the real directory.
TEST_F(InstalledProgramsScan, ThisHostListsItsInstalledPackages)
{
    const std::optional<QStringList> installed = DpkgInstalledPackages();
    if (!installed)
        GTEST_SKIP() << "dpkg-query is not available here";
    const QString host = platform::directory::NssDirectory::HostShortName();
    std::multiset<QString> expected;
    for (const QString &package : *installed)
        expected.insert(QString(host + u'\t' + package + u'\t').remove(u'\''));
    ASSERT_FALSE(expected.empty());

    NoPing();
    platform::directory::Install(nullptr); // the NSS backend: this host and the exports beside the program
    const int32_t result = Scan(host);
    platform::directory::Install(&directory);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ComputerList(), QStringList{host});
    const QStringList rows = Rows();
    EXPECT_EQ(std::multiset<QString>(rows.begin(), rows.end()), expected);
}
