// Reading and rewriting the root directories of a settings file with many of them: the list
// read key by key (one reading of the file per key), against the accessor's one reading, and the
// scan window's full rewrite.

#include "platform/ini/IniFile.h"
#include "shell/frmSettings.h"
#include "support/ProgramFolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString Directories = QStringLiteral("Directories");

// A program folder whose settings file lists count directories.
struct SettingsFolder {
    explicit SettingsFolder(int count)
    {
        support::SetProgramFolder(folder.path());
        QList<platform::ini::Entry> entries{{Directories, QStringLiteral("DirectoryCount"), QString::number(count)}};
        for (int i = 1; i <= count; ++i)
            entries.append({Directories, QStringLiteral("Directory%1").arg(i), QStringLiteral("/srv/share/dept%1").arg(i)});
        platform::ini::RewriteFile(entries, file());
    }
    ~SettingsFolder() { support::SetProgramFolder({}); }
    QString file() const { return folder.filePath(QStringLiteral("Quillmere.ini")); }
    QTemporaryDir folder;
};

void BM_DirectoriesKeyByKey(benchmark::State &state)
{
    const SettingsFolder settings(int(state.range(0)));
    for (auto _ : state) {
        QStringList directories;
        for (int i = 1; i <= state.range(0); ++i)
            directories << platform::ini::ReadValue(Directories, QStringLiteral("Directory%1").arg(i), {}, settings.file());
        benchmark::DoNotOptimize(directories);
    }
}
BENCHMARK(BM_DirectoriesKeyByKey)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetDirectories(benchmark::State &state)
{
    const SettingsFolder settings(int(state.range(0)));
    for (auto _ : state) {
        const QStringList directories = frmSettings::Instance().GetDirectories();
        if (directories.size() != state.range(0))
            state.SkipWithError("not every directory was read");
        benchmark::DoNotOptimize(directories);
    }
}
BENCHMARK(BM_GetDirectories)->Arg(2000)->Arg(32767)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RewriteFile(benchmark::State &state)
{
    const SettingsFolder settings(0);
    QList<platform::ini::Entry> entries;
    for (int i = 1; i <= state.range(0); ++i)
        entries.append({Directories, QStringLiteral("Directory%1").arg(i), QStringLiteral("/srv/share/dept%1").arg(i)});
    for (auto _ : state) {
        if (!platform::ini::RewriteFile(entries, settings.file()))
            state.SkipWithError("the file could not be written");
    }
}
BENCHMARK(BM_RewriteFile)->Arg(32767)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
