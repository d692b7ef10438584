// The tree pages of a large book: creating the data-operations object, the first page, the jump to the
// last page (as the page prompt makes it, and one page-jump call a page as the tree window made it
// before), the widest page, and a rename and a truncation of the page starts after the walk, over
// 10,000 to 1,000,000 members in pages of 30 (2,000,000 with QENTARA_BENCH_LONG=1).
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"
#include "store/test_data_generator.h"

namespace {

constexpr qint32 kNodesPerPage = 30;

// One book folder per size, generated once and kept for the run.
void UseBook(int members) {
    bench_support::UseGeneratedBook(members);
    App().NodesPerPage = kNodesPerPage;
}

bool QueueLeft() {
    return !App().DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"temp\" LIMIT 1")).isNull();
}

// The page prompt's jump to the last page with only page 1 recorded (WalkToPage: far jumps are walked
// in memory). Returns the number of pages.
qint32 JumpToLastPage(Cls数据操作& ops) {
    ops.Find世祖(0, QString());
    App().CurrentPage = 1;
    qint32 pageCount = std::numeric_limits<qint32>::max();
    return WalkToPage(ops, pageCount, pageCount);
}

// The same jump one page-jump call a page, as the tree window made it before. Returns the number of
// pages.
qint32 JumpPageByPage(Cls数据操作& ops, qint32 pageLimit) {
    ops.Find世祖(0, QString());
    QueuePageStarts(1);
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

void ReportJump(benchmark::State& state, qint32 pages, double ms, qint64 sizeBefore) {
    state.counters["pages"] = pages;
    state.counters["start_rows"] = double(StoreRows());
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["file_growth_MB"] = double(QFileInfo(DataDbPath()).size() - sizeBefore) / 1048576.0;
    state.counters["ms/page"] = pages > 0 ? ms / pages : 0;
    state.SetLabel(!QueueLeft() ? "reached the last page" : "stopped at the page cap");
}

// Times one jump over the book of the first argument. CPU time is the figure to compare: the wall time
// holds the disk syncs of the commits.
void TimeJump(benchmark::State& state, const std::function<qint32(Cls数据操作&)>& jump) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    const qint64 before = QFileInfo(DataDbPath()).size();
    bench_support::ResetPeak();
    qint32 pages = 0;
    double ms = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        pages = jump(ops);
        ms = double(clock.nsecsElapsed()) / 1e6;
    }
    ReportJump(state, pages, ms, before);
}

void BM_JumpToLastPage(benchmark::State& state) {
    TimeJump(state, [](Cls数据操作& ops) { return JumpToLastPage(ops); });
}
BENCHMARK(BM_JumpToLastPage)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Apply(bench_support::WithLongRun)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The second argument caps the pages walked.
void BM_JumpPageByPage(benchmark::State& state) {
    const qint32 cap = qint32(state.range(1));
    TimeJump(state, [cap](Cls数据操作& ops) { return JumpPageByPage(ops, cap); });
}
BENCHMARK(BM_JumpPageByPage)
    ->Args({10000, 1000000})
    ->Args({100000, 1000000})
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
    for (auto _ : state) pages = JumpToLastPage(ops);
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

// After the jump to the last page, as a user pages on; the first showing is timed apart from the
// others.
void BM_ShowWidestPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    JumpToLastPage(ops);
    const qint32 widest = WidestPage();
    MemoryTreeNodes tree;
    bench_support::ResetPeak();
    for (auto _ : state) {
        App().CurrentPage = widest;
        ops.显示世祖(tree, kNodesPerPage);
        ops.Tree分结点数展开(tree, kNodesPerPage);
    }
    state.counters["page"] = widest;
    state.counters["starts"] = double(PageStartStore().StartsOf(widest).size());
    state.counters["nodes"] = tree.Count();
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}
BENCHMARK(BM_ShowWidestPage)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Apply(bench_support::WithLongRun)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Renames a member as the member form does (Whnt自已 with its cascade over children, keywords, page
// starts, pictures and page); milliseconds, -1 when there is no such member.
double Rename(const QString& from, const QString& to) {
    QElapsedTimer clock;
    clock.start();
    Cls子女 member;
    if (member.Find自已(from) != 0) return -1;
    member.strBoy = to;
    member.Whnt自已(from);
    return double(clock.nsecsElapsed()) / 1e6;
}

QString OtherName(const QString& name) {
    return name + QStringLiteral("甲");
}

// The member that ends the widest page: it starts that page and the one after.
QString WidestPageMember() {
    return PageStartStore().StartsOf(WidestPage()).back().name;
}

// After a walk to the last page: a member that starts two pages renamed (and back), and every page
// after the first forgotten, as an edit of the tree does.
void BM_RenameAndTruncateAfterWalk(benchmark::State& state) {
    UseBook(int(state.range(0)));
    Cls数据操作 ops;
    double renameMs = 0;
    double truncateMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        JumpToLastPage(ops);
        const QString name = WidestPageMember();
        state.ResumeTiming();
        const double there = Rename(name, OtherName(name));
        const double back = Rename(OtherName(name), name);
        if (there < 0 || back < 0) state.SkipWithError("member missing");
        renameMs = (there + back) / 2;
        QElapsedTimer clock;
        clock.start();
        ops.Del后续分页标志(1);
        truncateMs = double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["rename_ms"] = renameMs;
    state.counters["truncate_ms"] = truncateMs;
}
BENCHMARK(BM_RenameAndTruncateAfterWalk)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

constexpr const char* kRenameOnce = "--rename-once";

// The first rename of a program run, after a walk to the last page made in an earlier run: this program
// started again over the same book, opening it as the program does at its start (every book file
// checked, the members file kept open), then renaming once and telling how long the rename took.
void BM_FirstRenameInAProcess(benchmark::State& state) {
    UseBook(int(state.range(0)));
    {
        Cls数据操作 ops;
        JumpToLastPage(ops);
    }
    const QString name = WidestPageMember();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kRenameOnce), qEnvironmentVariable("QENTARA_HOME"), name});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the fresh process failed");
            break;
        }
        state.SetIterationTime(child.readAllStandardOutput().trimmed().toDouble() / 1000.0);
    }
}
BENCHMARK(BM_FirstRenameInAProcess)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

int RenameOnce(const QString& home, const QString& name) {
    qputenv("QENTARA_HOME", home.toUtf8());
    ResetAppState();
    CheckBookFiles();
    OpenDataDb(DataDbPath(), BookDbPassword());
    Cls数据操作 ops;
    const double ms = Rename(name, OtherName(name));
    if (ms < 0 || Rename(OtherName(name), name) < 0) return 1;
    std::printf("%.3f\n", ms);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], kRenameOnce) == 0) {
        QCoreApplication app(argc, argv);
        return RenameOnce(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
    }
    return bench_support::RunBenchmarks(argc, argv);
}
