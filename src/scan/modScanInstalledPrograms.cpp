#include "scan/modScanInstalledPrograms.h"

#include "platform/database/Connection.h"
#include "platform/directory/DirectoryService.h"
#include "platform/files/RegularFile.h"
#include "scan/modDatabase.h"
#include "scan/modInternet.h"
#include "shell/frmSettings.h"
#include "support/DoEvents.h"
#include "support/Error.h"
#include "support/NameBytes.h"
#include "support/ProgramFolder.h"

#include <QFile>

#include <atomic>

namespace modScanInstalledPrograms {

namespace {

using namespace platform::registry;
using platform::directory::SkippingMissingProperty;

QStringList colComputers;
std::atomic<bool> blnCancel{false};
ProgramInfo currentProgram;

// A key whose enumeration keeps failing (neither a name nor the end of the list) is given up
// after this many failures in a row, instead of being asked for ever.
constexpr int MaxFailedEnumerations = 1000;

QString percentText(const support::ProgressBar &bar)
{
    // Whole numbers, so that 29 of 100 shows 29% and not the 28 of a rounding error.
    const long long value = static_cast<long long>(bar.Value());
    const long long max = static_cast<long long>(bar.Max());
    const long long percent = max > 0 ? value * 100 / max : 0;
    return QStringLiteral("Scanning installed programs ( %1% )").arg(percent);
}

// Reads the program entries of one computer into table. A registry that is there but cannot be
// read (an export that is none) is noted in unreadable.
void ReadComputer(platform::database::Connection &connection, const QString &table, const QString &computer,
                  modDatabase::LeftOutRows &leftOut, std::vector<PassedOver> &unreadable)
{
    const HKEY hKey = OpenRemoteKey(computer, UninstallKey);
    if (const std::optional<ReadFailure> failure = hKey == 0 ? RegLastReadFailure() : std::nullopt)
        unreadable.push_back({support::KeptBytes(QFile::encodeName(failure->file)), failure->reason});
    int32_t status = ERROR_SUCCESS;
    int failures = 0;
    for (uint32_t index = 0; status != ERROR_NO_MORE_ITEMS && status != ERROR_INVALID_HANDLE; ++index) {
        QString name;
        status = RegEnumKey(hKey, index, name);
        if (status == ERROR_SUCCESS) {
            failures = 0;
            ReadProgramInfo(hKey, name);
            if (!currentProgram.DisplayName.isEmpty()) {
                leftOut.Store([&] {
                    modDatabase::InsertRow(connection, table,
                                           {modDatabase::EscapeQuotes(computer), currentProgram.DisplayName,
                                            currentProgram.DisplayVersion, currentProgram.Publisher,
                                            currentProgram.InstallSource});
                });
            }
        } else if (status != ERROR_NO_MORE_ITEMS && status != ERROR_INVALID_HANDLE && ++failures >= MaxFailedEnumerations) {
            break;
        }
    }
    RegCloseKey(hKey);
}

} // namespace

int32_t ScanInstalledPrograms(support::ProgressBar &ProgressBar, support::StatusLabel &lblStatus,
                              const QString &strDatabasePath, const QString &strTable, const QString &strDomain,
                              std::vector<PassedOver> *Unreadable)
{
    blnCancel = false;
    std::vector<PassedOver> own;
    std::vector<PassedOver> &unreadable = Unreadable ? *Unreadable : own;
    const size_t noted = unreadable.size();
    platform::database::Connection cn;
    int32_t result = 0;
    try {
        lblStatus.setCaption(QStringLiteral("Searching for network computers..."));
        SearchNetworkComputers(strDomain, &unreadable);

        ProgressBar.setValue(0);
        if (!colComputers.isEmpty()) {
            ProgressBar.setMax(colComputers.size());
        } else {
            ProgressBar.setMax(1);
            ProgressBar.setValue(1);
        }
        lblStatus.setCaption(QStringLiteral("Scanning installed programs ( 0% )"));
        support::DoEvents();

        modDatabase::OpenDatabase(cn, strDatabasePath);
        modDatabase::EmptyTable(cn, strTable);

        bool cancelled = false;
        modDatabase::LeftOutRows leftOut;
        for (const QString &computer : QStringList(colComputers)) {
            ReadComputer(cn, strTable, computer, leftOut, unreadable);
            ProgressBar.setValue(ProgressBar.Value() + 1);
            lblStatus.setCaption(percentText(ProgressBar));
            support::DoEvents();
            if (blnCancel) {
                lblStatus.setCaption(QStringLiteral("Scan cancelled."));
                cancelled = true;
                break;
            }
        }
        if (!cancelled) {
            leftOut.RaiseIfAny();
            lblStatus.setCaption(ScannedText(QStringLiteral("Installed programs"),
                                             Counted(unreadable.size() - noted, QStringLiteral("registry export"),
                                                     QStringLiteral("registry exports"))));
            result = 1;
        }
        // Inside the trap: closing commits the last rows, and a failure there must be reported.
        modDatabase::CloseIfOpen(cn);
    } catch (const support::Error &error) {
        lblStatus.setCaption(modDatabase::ErrorMessage(error, strTable));
        result = 0;
        modDatabase::CloseAfterError(cn);
    }
    return result;
}

// The computer list is written in one step once the search is complete: a search that breaks
// off, or a full disk, leaves the last list whole (and fails the task).
void SearchNetworkComputers(const QString &strDomain, std::vector<PassedOver> *Unreadable)
{
    colComputers.clear();
    try {
        std::unique_ptr<platform::directory::DomainContainer> container;
        SkippingMissingProperty([&] { container = platform::directory::Current().Bind(strDomain); });
        const bool blnNoPing = frmSettings::Instance().GetNoPing() == u"1";
        std::vector<platform::directory::Computer> computers;
        if (container)
            SkippingMissingProperty([&] { computers = container->Computers(); });
        QByteArray lines;
        for (const platform::directory::Computer &computer : computers) {
            QString name;
            if (!SkippingMissingProperty([&] { name = computer.Name(); }))
                continue; // a computer without a name cannot be reached or listed
            if (!computer.UnreadableName().isEmpty()) {
                // Its export's file name says which computer it is, and that name is no text.
                if (Unreadable)
                    Unreadable->push_back({support::RegistryExportFolder() + computer.UnreadableName() + QStringLiteral(".reg"),
                                           QStringLiteral("File name is not valid UTF-8")});
                continue;
            }
            if (blnNoPing || modInternet::Ping(name)) {
                colComputers << name;
                lines += (name + QStringLiteral("\r\n")).toUtf8();
            }
        }
        platform::files::Replace(support::ProgramFolder() + QStringLiteral("Workstations.log"), lines);
    } catch (const support::Error &error) {
        throw support::Error(error.Number(), error.Description(), QStringLiteral("Get the list of workstations"));
    }
}

HKEY OpenRemoteKey(const QString &strComputer, const QString &strSubKey)
{
    HKEY hRemote = 0;
    HKEY hKey = 0;
    RegConnectRegistry(strComputer, HKEY_LOCAL_MACHINE, hRemote);
    RegOpenKey(hRemote, strSubKey, hKey);
    RegCloseKey(hRemote);
    return hKey;
}

void ReadProgramInfo(HKEY hKey, const QString &strSubKey)
{
    currentProgram = ProgramInfo{};
    HKEY hProgram = 0;
    RegOpenKey(hKey, strSubKey, hProgram);
    const std::pair<const char *, QString *> values[] = {{"DisplayName", &currentProgram.DisplayName},
                                                         {"DisplayVersion", &currentProgram.DisplayVersion},
                                                         {"Publisher", &currentProgram.Publisher},
                                                         {"InstallSource", &currentProgram.InstallSource}};
    for (const auto &[valueName, text] : values) {
        uint32_t type = REG_SZ;
        QString data;
        if (RegQueryValueEx(hProgram, QString::fromLatin1(valueName), type, data) == ERROR_SUCCESS)
            *text = data;
    }
    RegCloseKey(hProgram);
    // A display name ends at its first NUL character; the other texts are taken whole.
    const qsizetype nul = currentProgram.DisplayName.indexOf(QChar());
    if (nul >= 0)
        currentProgram.DisplayName.truncate(nul);
    for (const auto &[valueName, text] : values)
        text->remove(u'\'');
}

void StopScanInstalledPrograms() { blnCancel = true; }

const QStringList &ComputerList() { return colComputers; }

const ProgramInfo &CurrentProgram() { return currentProgram; }

} // namespace modScanInstalledPrograms
