// The directory search and the permission scan of one tree into a results database, as the scan
// run does them: bench/scan_dirs_vs_getfacl.sh times this command against getfacl.
// Usage: bench_scan_dirs ROOT DATABASE
#include "scan/modScanDirs.h"
#include "scan/modSearchDirs.h"
#include "support/ProgressPair.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    // An application object, so that the message loop is served as in the program.
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_scan_dirs ROOT DATABASE\n");
        return 2;
    }
    QStringList dirs;
    modSearchDirs::SearchDirs(args.at(1), modSearchDirs::UnlimitedDepth, dirs);
    support::MemoryProgressBar bar;
    support::MemoryStatusLabel status;
    const int32_t result = modScanDirs::ScanDirs(dirs, bar, status, args.at(2), QStringLiteral("Permissions"));
    std::fprintf(stderr, "%lld directories: %s\n", static_cast<long long>(dirs.size()), qPrintable(status.Caption()));
    return result == 1 ? 0 : 1;
}
