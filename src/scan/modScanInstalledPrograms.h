#pragma once

#include "platform/registry/Registry.h"
#include "scan/PassedOver.h"
#include "support/ProgressPair.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The installed-software scan: the domain's computers that answer an echo request (or all of
// them when the setting NoPing is "1") are written to "Workstations.log", and the programs under
// each one's uninstall key are read over the registry layer into the results database.
namespace modScanInstalledPrograms {

// The four texts of the program entry that ReadProgramInfo read last, each without any "'".
struct ProgramInfo {
    QString DisplayName;
    QString DisplayVersion;
    QString Publisher;
    QString InstallSource;
};

// The task: empties strTable, then inserts one row (computer, program name, version, publisher,
// install source) per program entry with a display name on every kept computer. Shows its
// progress in ProgressBar and lblStatus and lets the message loop run after each computer.
// Returns 1 when every kept computer was read, 0 when it was cancelled or ended on an error (the
// message then stands in lblStatus). A row with a value too long for its column is left out and
// ends the task only at its end (modDatabase::LeftOutRows). A computer whose registry is there
// but cannot be read (an export that cannot be opened or is none, or whose file name is no UTF-8)
// adds no rows and the task goes on: its file is appended to Unreadable (when given) with the
// reason, and the task ends with
// "Installed programs scanned; <n> registry exports could not be read." (result 1).
int32_t ScanInstalledPrograms(support::ProgressBar &ProgressBar, support::StatusLabel &lblStatus,
                              const QString &strDatabasePath, const QString &strTable, const QString &strDomain,
                              std::vector<PassedOver> *Unreadable = nullptr);

// Fills the computer list and rewrites "Workstations.log" in the program folder (one name and
// CR LF per kept computer, in the directory's order), in one step once the search is complete. A
// computer without a name is passed over; so is one whose name is no text (its export's file name
// is no UTF-8), which is appended to Unreadable (when given) as that file, with the reason. Any
// other failure, a file that cannot be written included, is raised with the source "Get the list
// of workstations" and leaves the file as it was.
void SearchNetworkComputers(const QString &strDomain, std::vector<PassedOver> *Unreadable = nullptr);

// The key strSubKey below HKEY_LOCAL_MACHINE on strComputer, or 0 when it cannot be opened.
// The caller closes it.
platform::registry::HKEY OpenRemoteKey(const QString &strComputer, const QString &strSubKey);

// Reads the four values of the program entry strSubKey below hKey into the current program
// record; anything that cannot be read leaves its text empty.
void ReadProgramInfo(platform::registry::HKEY hKey, const QString &strSubKey);

// Asks the running scan to stop after the computer it is reading.
void StopScanInstalledPrograms();

// The computers kept by the last search, in order.
const QStringList &ComputerList();
// The current program record.
const ProgramInfo &CurrentProgram();

} // namespace modScanInstalledPrograms
