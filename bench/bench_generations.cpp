// Numbering a whole book by generation: 标识世祖 from the root over 10,000 to 1,000,000 members.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

// One book folder per size, generated once and kept for the run.
void UseBook(int members) {
    if (!bench_support::UseBookFolder(members)) return;
    dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
    book_generator::GenerateBook(db, members, 20240601u);
}

// Marks the whole tree with `branch`; returns the statistics.
QString MarkWholeTree(Cls数据操作& ops, qint32 branch) {
    bench_support::MarkWholeBook(ops, branch);
    return App().FormParamString;
}

void Report(benchmark::State& state, int members, const QString& statistics) {
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
    if (!statistics.startsWith(QStringLiteral("30%")))
        state.SkipWithError(("unexpected statistics " + statistics).toStdString().c_str());
    state.SetLabel(statistics.toStdString());
}

// Books of 10,000 to 1,000,000 members, three runs each.
void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

// Every row changes: the branch number alternates, so each run writes the whole book.
void BM_NumberWholeTree(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members);
    Cls数据操作 ops;
    bench_support::ResetPeak();
    QString statistics;
    qint32 branch = 1;
    for (auto _ : state) statistics = MarkWholeTree(ops, branch = 3 - branch);
    Report(state, members, statistics);
}
BENCHMARK(BM_NumberWholeTree)->Apply(Sizes);

// The tree is numbered already: the walk finds every row right and writes nothing.
void BM_RenumberUnchangedTree(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members);
    Cls数据操作 ops;
    MarkWholeTree(ops, 7);
    bench_support::ResetPeak();
    QString statistics;
    for (auto _ : state) statistics = MarkWholeTree(ops, 7);
    Report(state, members, statistics);
}
BENCHMARK(BM_RenumberUnchangedTree)->Apply(Sizes);

}  // namespace

QENTARA_BENCHMARK_MAIN()
