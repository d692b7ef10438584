// The tree pages of a large book: creating the data-operations object, the first page, the jump to the
// last page (one page-jump call a page, as the tree window makes them), the widest page, and a rename
// and a truncation of the page starts after the walk, over 10,000 to 1,000,000 members in pages of 30.
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/test_data_generator.h"
#include "platform/dao/dao_database.h"
#include "member/member_record.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"

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


bool QueueLeft() {
    return !App().DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"temp\" LIMIT 1")).isNull();
}

// The tree window's jump: the starts of page 1 into the queue, then one call a page until the queue
// is empty. Returns the number of pages.
qint32 JumpToLastPage(Cls数据操作& ops, qint32 pageLimit) {
    ops.Find世祖(0, QString());
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    for (const PageStart& s : PageStartStore(db).StartsOf(1))
        db.Execute(QStringLiteral("INSERT INTO \"temp\" (\"filial\", \"generation\") VALUES (?, ?)"),
                   {s.name, s.generation});
    tx.Commit();
    App().CurrentPage = 0;
    QString target;
    ops.BeginPageRun();
    while (QueueLeft() && App().CurrentPage < pageLimit) {
        ops.Node分结点数跳页(kNodesPerPage, target);
        ++App().CurrentPage;
    }
    ops.EndPageRun();
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

qint64 StoreRows() {
    return App().DataDb
        .Scalar(QStringLiteral("SELECT (SELECT count(*) FROM \"pagestart_order\") + (SELECT count(*) FROM "
                               "\"pagestart_page\") + (SELECT count(*) FROM \"temp世祖\")"))
        .toLongLong();
}

// The second argument caps the pages walked.
void BM_JumpToLastPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    const qint64 before = QFileInfo(DataDbPath()).size();
    bench_support::ResetPeak();
    qint32 pages = 0;
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        pages = JumpToLastPage(ops, qint32(state.range(1)));
        ms = double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["pages"] = pages;
    state.counters["start_rows"] = double(StoreRows());
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["file_growth_MB"] = double(QFileInfo(DataDbPath()).size() - before) / 1048576.0;
    state.counters["ms/page"] = pages > 0 ? ms / pages : 0;
    state.SetLabel(!QueueLeft() ? "reached the last page" : "stopped at the page cap");
}
BENCHMARK(BM_JumpToLastPage)
    ->Args({10000, 1000000})
    ->Args({100000, 1000000})
    ->Args({1000000, 1000000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The test-data generator's line books: five lines of single children, `generations` deep.
void BM_JumpToLastPageLineBook(benchmark::State& state) {
    const int generations = int(state.range(0));
    if (bench_support::UseBookFolder(-generations)) ClsTest().生成测试数据(generations);
    App().NodesPerPage = kNodesPerPage;
    Cls数据操作 ops;
    const qint64 before = QFileInfo(DataDbPath()).size();
    bench_support::ResetPeak();
    qint32 pages = 0;
    for (auto _ : state) pages = JumpToLastPage(ops, 10000000);
    state.counters["members"] = double(5 * (qint64(generations) + 1));
    state.counters["pages"] = pages;
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["file_growth_MB"] = double(QFileInfo(DataDbPath()).size() - before) / 1048576.0;
}
BENCHMARK(BM_JumpToLastPageLineBook)
    ->Arg(20000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The widest page shows every member still queued when the page before it filled. Found among 400
// pages spread over the book and their neighbours: reading every page would take longer than the run.
qint32 WidestPage() {
    PageStartStore store;
    const qint32 last = store.HighestPage();
    const auto widestOf = [&](qint32 from, qint32 to, qint32 step) {
        qint32 best = 1;
        qsizetype width = -1;
        for (qint32 p = std::max(from, 1); p <= std::min(to, last); p += step) {
            const qsizetype w = store.StartsOf(p).size();
            if (w > width) width = w, best = p;
        }
        return best;
    };
    const qint32 step = std::max(1, last / 400);
    const qint32 coarse = widestOf(1, last, step);
    return widestOf(coarse - step, coarse + step, 1);
}

void BM_ShowWidestPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    JumpToLastPage(ops, 1000000);
    const qint32 widest = WidestPage();
    MemoryTreeNodes tree;
    for (auto _ : state) {
        App().CurrentPage = widest;
        ops.显示世祖(tree, kNodesPerPage);
        ops.Tree分结点数展开(tree, kNodesPerPage);
    }
    state.counters["page"] = widest;
    state.counters["starts"] = double(PageStartStore().StartsOf(widest).size());
    state.counters["nodes"] = tree.Count();
}
BENCHMARK(BM_ShowWidestPage)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// After a walk to the last page: a member that starts many pages renamed (and back), and every page
// after the first forgotten, as an edit of the tree does.
void BM_RenameAndTruncateAfterWalk(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    double renameMs = 0;
    double truncateMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        JumpToLastPage(ops, 1000000);
        const QString name = PageStartStore().StartsOf(WidestPage()).back().name;
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        const QString other = name + QStringLiteral("甲");
        for (const auto& [from, to] : {std::pair{name, other}, std::pair{other, name}}) {
            Cls子女 member;
            if (member.Find自已(from) != 0) state.SkipWithError("member missing");
            member.strBoy = to;
            member.Whnt自已(from);
        }
        renameMs = double(clock.nsecsElapsed()) / 2e6;
        clock.restart();
        ops.Del后续分页标志(1);
        truncateMs = double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["rename_ms"] = renameMs;
    state.counters["truncate_ms"] = truncateMs;
}
BENCHMARK(BM_RenameAndTruncateAfterWalk)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

QENTARA_BENCHMARK_MAIN()
