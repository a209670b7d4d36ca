// The installed-software view over 100,000 InstalledSoftware rows, timed side by side in one
// run: the query alone, LoadControl (the query and filling the list), the fill alone, and a
// sort of the filled list on another column. Prints the median of each and the two ratios
// that matter (goals: LoadControl at most 3 times the query, a sort at most the fill, taken both
// as AddProgramsToList alone and as LoadControl less the query).

#include "analysis/clsAnalysis.h"
#include "gui/usrInstalledSoftware.h"
#include "platform/listview/widgets/ListView.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int kRows = 100'000;
constexpr int kRounds = 11;

// 500 computers with 200 programs each, as a scan of the domain writes them.
void fillDatabase(const QString &path)
{
    if (QProcess::execute(QStringLiteral(QUILL_MAKE_DATABASE), {path}) != 0)
        std::abort();
    sqlite3 *db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const QString sql = QStringLiteral(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < %1) "
        "insert into InstalledSoftware select 'WS' || printf('%03d', i / 200), "
        "'Program ' || (i % 200) || ' ' || substr('Suite Tools Runtime Viewer Driver', 1 + (i % 5) * 6, 6), "
        "(i % 9) || '.' || (i % 13) || '.' || i, 'Publisher ' || (i % 37), 'C:\\Install\\' || (i % 200)"
        " from n").arg(kRows - 1);
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(db);
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Milliseconds one call of step takes.
double timeMs(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("NetworkInfo.mdb"));
    fillDatabase(database);
    support::SetProgramFolder(folder.path());

    usrInstalledSoftware view;
    view.resize(1200, 800);
    view.show();
    view.LoadControl(); // once untimed, as the first showing of the tab
    if (view.lstViewSoftware->Items().Count() != kRows)
        std::abort();

    // The four steps take turns in every round, so that a busy machine slows them alike.
    std::vector<double> queries, loads, fills, sorts;
    int column = 0;
    for (int round = 0; round < kRounds; ++round) {
        queries.push_back(timeMs([&] {
            clsAnalysis analysis;
            QList<clsProgram> programs;
            support::MemoryProgressBar bar;
            support::MemoryStatusLabel label;
            analysis.GetInstalledSoftware(database, programs, bar, label);
        }));
        loads.push_back(timeMs([&] { view.LoadControl(); }));
        fills.push_back(timeMs([&] { view.AddProgramsToList(); }));
        sorts.push_back(timeMs([&] {
            column = column % 4 + 2; // headers 2 to 5 in turn: every click sorts on another column
            emit view.lstViewSoftware->ColumnClick(column);
        }));
    }
    const double query = median(queries), load = median(loads), fill = median(fills), sort = median(sorts);
    std::printf("%d rows, median of %d rounds\n", kRows, kRounds);
    std::printf("  GetInstalledSoftware (query alone)  %8.1f ms\n", query);
    std::printf("  LoadControl (query and fill)        %8.1f ms   %.2f x the query (goal <= 3)\n", load,
                load / query);
    std::printf("  AddProgramsToList (fill alone)      %8.1f ms\n", fill);
    std::printf("  sort on another column              %8.1f ms   %.2f x the fill alone, %.2f x LoadControl's "
                "fill (goal <= 1)\n",
                sort, sort / fill, sort / (load - query));
    return 0;
}
