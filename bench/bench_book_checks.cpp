// Start-up with the book-file checks: what the program does before its first window, on generated
// books of 100,000 and 1,000,000 members. The files' time is touched before each round, so that the
// engine's check runs as it does when a book is opened for the first time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <QFileInfo>

#include "bench_support.h"
#include "frame/book_schema.h"
#include "frame/db_connections.h"

namespace {

void Touch(const QString& path) {
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), nullptr, 0);
}

void BM_StartWithChecks(benchmark::State& state) {
    const int members = int(state.range(0));
    bench_support::UseGeneratedBook(members);
    state.counters["file_MB"] = double(QFileInfo(DataDbPath()).size()) / 1024 / 1024;
    for (auto _ : state) {
        state.PauseTiming();
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        for (const QString& f : {DataDbPath(), ImageDbPath(), DescriptDbPath()}) Touch(f);
        state.ResumeTiming();
        EnsureBookFiles();
        CheckBookFiles();
        OpenDataDb(DataDbPath(), BookDbPassword());
        benchmark::DoNotOptimize(App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\"")));
    }
}

BENCHMARK(BM_StartWithChecks)->Arg(100000)->Arg(1000000)->ArgName("members")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

}  // namespace

QENTARA_BENCHMARK_MAIN()
