// The tree pages of a large book: creating the data-operations object, the first page, the jump to the
// last page (one page-jump call a page, as the tree window makes them) and the page starts of the
// whole book, over 10,000 to 1,000,000 members in pages of 30.
#include <benchmark/benchmark.h>
#include <QElapsedTimer>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"

namespace {

constexpr qint32 kNodesPerPage = 30;

// One book folder per size, generated once and kept for the run.
void UseBook(int members) {
    const bool fresh = bench_support::UseBookFolder(members);
    App().NodesPerPage = kNodesPerPage;
    if (!fresh) return;
    dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
    book_generator::GenerateBook(db, members, 20240601u);
}

qint64 QueueRows() {
    return App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"temp\"")).toLongLong();
}

// The tree window's jump: the starts of page 1 into the queue, then one call a page until the queue
// is empty. Returns the number of pages.
qint32 JumpToLastPage(Cls数据操作& ops, qint32 pageLimit) {
    ops.Find世祖(0, QString());
    dao::Database& db = App().DataDb;
    db.Execute(
        QStringLiteral("INSERT INTO \"temp\" (\"filial\", \"generation\") SELECT \"father\", \"generation\" "
                       "FROM \"temp世祖\" WHERE \"currentpage\" = 1 ORDER BY rowid"));
    App().CurrentPage = 0;
    QString target;
    while (QueueRows() > 0 && App().CurrentPage < pageLimit) {
        ops.Node分结点数跳页(kNodesPerPage, target);
        ++App().CurrentPage;
    }
    return App().CurrentPage;
}

void BM_CreateDataOps(benchmark::State& state) {
    UseBook(int(state.range(0)));
    for (auto _ : state) {
        Cls数据操作 ops;
        benchmark::DoNotOptimize(&ops);
    }
}
BENCHMARK(BM_CreateDataOps)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The first object of a run pays for the keyed open of the members file.
void BM_CreateDataOpsColdOpen(benchmark::State& state) {
    UseBook(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        App().DataDb.Close();
        dao::ReleaseAllIdleConnections();
        state.ResumeTiming();
        Cls数据操作 ops;
        benchmark::DoNotOptimize(&ops);
    }
}
BENCHMARK(BM_CreateDataOpsColdOpen)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FindRootsWholeBook(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    for (auto _ : state) ops.Find世祖(0, QString());
}
BENCHMARK(BM_FindRootsWholeBook)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ShowFirstPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    ops.Find世祖(0, QString());
    MemoryTreeNodes tree;
    for (auto _ : state) {
        App().CurrentPage = 1;
        ops.显示世祖(tree, kNodesPerPage);
        ops.Tree分结点数展开(tree, kNodesPerPage);
    }
    state.counters["nodes"] = tree.Count();
}
BENCHMARK(BM_ShowFirstPage)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The second argument caps the pages walked: the list of page starts grows with pages times the
// width of the tree, which at a million members is far beyond any jump's reach.
void BM_JumpToLastPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    bench_support::ResetPeak();
    qint32 pages = 0;
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        pages = JumpToLastPage(ops, qint32(state.range(1)));
        ms = double(clock.nsecsElapsed()) / 1e6;
    }
    const qint64 startRows =
        App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"temp世祖\"")).toLongLong();
    state.counters["pages"] = pages;
    state.counters["start_rows"] = double(startRows);
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["ms/page"] = pages > 0 ? ms / pages : 0;
    state.SetLabel(QueueRows() == 0 ? "reached the last page" : "stopped at the page cap");
}
BENCHMARK(BM_JumpToLastPage)
    ->Args({10000, 1000000})
    ->Args({100000, 1000000})
    ->Args({1000000, 2000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The widest page shows every member still queued when the page before it filled.
void BM_ShowWidestPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    JumpToLastPage(ops, 1000000);
    const qint32 widest =
        App()
            .DataDb
            .Scalar(QStringLiteral("SELECT \"currentpage\" FROM \"temp世祖\" GROUP BY \"currentpage\" "
                                   "ORDER BY count(*) DESC LIMIT 1"))
            .toInt();
    MemoryTreeNodes tree;
    for (auto _ : state) {
        App().CurrentPage = widest;
        ops.显示世祖(tree, kNodesPerPage);
        ops.Tree分结点数展开(tree, kNodesPerPage);
    }
    state.counters["page"] = widest;
    state.counters["nodes"] = tree.Count();
}
BENCHMARK(BM_ShowWidestPage)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

QENTARA_BENCHMARK_MAIN()
