// The group rights view's "&Refresh directory list" over 100,000 Permissions rows of one group,
// each in a directory of its own below one root, against its query alone, side by side: the
// build (query, tree and progress, into the real view with its tree shown) should take at most
// three times the query.

#include "analysis/clsAnalysis.h"
#include "gui/usrGroupsRight.h"
#include "platform/database/Connection.h"
#include "scan/modDatabase.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kRows = 100'000;
const QString kGroup = QStringLiteral("Staff");

QString g_database;

void fillDatabase(const QString &path)
{
    if (QProcess::execute(QStringLiteral(QUILL_MAKE_DATABASE), {path}) != 0)
        std::abort();
    const char *const rights[] = {"Read&Execute", "Full", "Modify", "Read&Write", "List", "Read", "1200A0"};
    platform::database::Connection connection;
    modDatabase::OpenDatabase(connection, path);
    modDatabase::RowWriter rows(connection, QStringLiteral("Permissions"), 3);
    for (int i = 0; i < kRows; ++i) {
        const QString directory = QStringLiteral("/srv/data/dept%1/project%2/folder%3")
                                      .arg(i / 10000, 2, 10, QChar(u'0'))
                                      .arg(i / 100, 4, 10, QChar(u'0'))
                                      .arg(i, 6, 10, QChar(u'0'));
        rows.Insert({directory, kGroup, QString::fromLatin1(rights[i % 7])});
    }
    connection.Close();
}

void BM_QueryAlone(benchmark::State &state)
{
    for (auto _ : state) {
        clsAnalysis analysis;
        QStringList paths, rights;
        support::MemoryProgressBar bar;
        support::MemoryStatusLabel status;
        if (analysis.GetDirectoryRights(g_database, QString(), kGroup, paths, rights, bar, status, QString()) != 1)
            state.SkipWithError("query failed");
        benchmark::DoNotOptimize(paths);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_BuildRightsTree(benchmark::State &state)
{
    usrGroupsRight view;
    view.resize(900, 600);
    view.show();
    view.txtGroup->setText(kGroup);
    view.txtSubDirs->setText(QStringLiteral("99"));
    // Every rights box unticked: the query has no rights condition, like the query alone.
    for (QCheckBox *box : {view.chkList, view.chkRead, view.chkExecute, view.chkModify, view.chkWrite, view.chkFull})
        box->setChecked(false);
    for (auto _ : state) {
        view.cmdFilter_Click();
        QCoreApplication::processEvents(); // the tree view lays the new tree out
    }
    if (view.Nodes().Count() < kRows)
        state.SkipWithError("tree incomplete");
    state.SetItemsProcessed(state.iterations() * kRows);
}

BENCHMARK(BM_QueryAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildRightsTree)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    support::SetProgramFolder(folder.path());
    g_database = folder.filePath(QStringLiteral("NetworkInfo.mdb"));
    fillDatabase(g_database);
    QFile settings(folder.filePath(QStringLiteral("Quillmere.ini")));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("[Options]\nDatabasePath=" + g_database.toUtf8() + "\n");
    settings.close();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
