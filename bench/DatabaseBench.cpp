// Writing and reading the Permissions table the way the permission scan and the group rights
// view do: one insert per row through the database layer, and GetDirectoryRights reading every
// row back into the two lists.

#include "analysis/clsAnalysis.h"
#include "platform/database/Connection.h"
#include "scan/modDatabase.h"
#include "support/ProgressPair.h"

#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kRows = 1'000'000;

const char *const kRights[] = {"Read&Execute", "Full", "Modify", "Read&Write", "List", "Read"};

// A fresh empty results database, made by the build's tool.
QString emptyDatabase(const QTemporaryDir &folder)
{
    const QString path = folder.filePath(QStringLiteral("NetworkInfo.mdb"));
    if (QProcess::execute(QStringLiteral(QUILL_MAKE_DATABASE), {path}) != 0)
        std::abort();
    return path;
}

// The permission scan's table work: open, empty the table, one insert per access entry of
// every directory (values under the apostrophe rule), close.
void writePermissions(const QString &path, int rows)
{
    platform::database::Connection connection;
    modDatabase::OpenDatabase(connection, path);
    modDatabase::EmptyTable(connection, QStringLiteral("Permissions"));
    for (int i = 0; i < rows; ++i) {
        const QString directory = QStringLiteral("/srv/share/dept%1/project%2/folder%3")
                                      .arg(i / 100000, 2, 10, QChar(u'0'))
                                      .arg(i / 1000, 4, 10, QChar(u'0'))
                                      .arg(i, 7, 10, QChar(u'0'));
        modDatabase::InsertRow(connection, QStringLiteral("Permissions"),
                               {modDatabase::EscapeQuotes(directory), modDatabase::EscapeQuotes(QStringLiteral("Staff")),
                                modDatabase::EscapeQuotes(QString::fromLatin1(kRights[i % 6]))});
    }
    connection.Close();
}

void BM_InsertPermissions(benchmark::State &state)
{
    const QTemporaryDir folder;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = emptyDatabase(folder);
        state.ResumeTiming();
        writePermissions(path, kRows);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_InsertPermissions)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetDirectoryRights(benchmark::State &state)
{
    const QTemporaryDir folder;
    const QString path = emptyDatabase(folder);
    writePermissions(path, kRows);
    clsAnalysis analysis;
    support::MemoryProgressBar bar;
    support::MemoryStatusLabel label;
    for (auto _ : state) {
        QStringList directories, rights;
        if (analysis.GetDirectoryRights(path, {}, QStringLiteral("Staff"), directories, rights, bar, label, {}) != 1 ||
            directories.size() != kRows)
            state.SkipWithError(label.Caption().toUtf8().constData());
        benchmark::DoNotOptimize(directories);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_GetDirectoryRights)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
