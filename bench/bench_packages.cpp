// Book packages: exporting a branch and importing it again, for a 10,000-member branch with a page per
// member and 2,000 pictures of 50 KB, and a 100,000-member branch without pictures. The import goes into
// the book the branch came from, so every member's name clashes and is made unique: the costly case.
// The backup command from the root of the generated clan, at 100,000 and (long runs) 1,000,000 members.
#include <benchmark/benchmark.h>
#include <utility>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/md5_digest.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"

namespace {

constexpr int kPictureBytes = 50 * 1024;
constexpr qint32 kBranch = 1;
const QString kPassword = QStringLiteral("pw");

// The package beside the current book's files.
QString Package(bool strong) {
    return GetAppPath() + (strong ? QStringLiteral("strong.mdb") : QStringLiteral("branch.mdb"));
}

// One book folder per case, generated and marked once; the export writes the package the import reads.
void UseBook(int members, int pictures) {
    if (!bench_support::UseBookFolder(std::pair{members, pictures})) return;
    {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        book_generator::GenerateBook(db, members, 20240601u);
    }
    if (pictures > 0) bench_support::AddPagesAndPictures(members, pictures, kPictureBytes);
    Cls数据操作 ops;
    bench_support::MarkWholeBook(ops, kBranch);
}

QString DigestFor(bool strong) {
    return strong ? ClsMD5_1().DigestStrToHexStr(QStringLiteral("secret99")) : QString();
}

// Arguments: members, pictures, strong password (0/1).
void BM_Export(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members, int(state.range(1)));
    App().StrgPswdDigest = DigestFor(state.range(2) != 0);
    Cls数据操作 ops;
    bench_support::ResetPeak();
    qint32 written = 0;
    for (auto _ : state)
        written =
            ops.族谱备份(Package(state.range(2) != 0), book_generator::BookMemberName(0), kBranch, kPassword);
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
    if (written != members) state.SkipWithError("not every member was written");
}

void BM_Import(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members, int(state.range(1)));
    const QString digest = DigestFor(state.range(2) != 0);
    App().StrgPswdDigest = digest;
    Cls数据操作 ops;
    const QString package = Package(!digest.isEmpty());
    ops.族谱备份(package, book_generator::BookMemberName(0), kBranch, kPassword);
    bench_support::ResetPeak();
    for (auto _ : state) {
        QString error;
        const qint32 result = ops.ReLoad(package, kPassword, QString(), digest, &error);
        if (result != 0) state.SkipWithError(error.toStdString().c_str());
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
}

void Cases(benchmark::internal::Benchmark* b) {
    b->Args({10000, 2000, 0})->Args({10000, 2000, 1})->Args({100000, 0, 0});
    b->ArgNames({"members", "pictures", "strong"})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(2);
}

BENCHMARK(BM_Export)->Apply(Cases);
BENCHMARK(BM_Import)->Apply(Cases);

// The backup command's work from the root (marking, package, compaction). Arguments: members, and
// whether the book was never numbered (1: every generation is written) or backed up before (0).
void BM_Backup(benchmark::State& state) {
    const int members = int(state.range(0));
    const bool neverNumbered = state.range(1) != 0;
    UseBook(members, 0);
    App().StrgPswdDigest.clear();
    Cls数据操作 ops;
    const QString root = book_generator::BookMemberName(0);
    bench_support::ResetPeak();
    qint32 written = 0;
    for (auto _ : state) {
        if (neverNumbered) {
            state.PauseTiming();
            ops.清世代数据();
            App().DataDb.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=-9"));
            App().RootAncestorName.clear();
            state.ResumeTiming();
        }
        written = BackUpBranch(ops, root, kBranch, Package(false), kPassword);
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    if (written != members) state.SkipWithError("not every member was written");
}

// The marking alone, as the backup runs it: its share of the backup.
void BM_BackupMarking(benchmark::State& state) {
    const int members = int(state.range(0));
    const bool neverNumbered = state.range(1) != 0;
    UseBook(members, 0);
    Cls数据操作 ops;
    for (auto _ : state) {
        if (neverNumbered) {
            state.PauseTiming();
            ops.清世代数据();
            App().DataDb.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=-9"));
            state.ResumeTiming();
        }
        MarkBranchToActOn(ops, book_generator::BookMemberName(0), kBranch);
    }
}

void BackupCases(benchmark::internal::Benchmark* b) {
    b->Args({100000, 0})->Args({100000, 1});
    if (bench_support::LongRuns()) b->Args({1000000, 0})->Args({1000000, 1});
    b->ArgNames({"members", "never_numbered"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
}

BENCHMARK(BM_Backup)->Apply(BackupCases);
BENCHMARK(BM_BackupMarking)->Apply(BackupCases);

}  // namespace

QENTARA_BENCHMARK_MAIN()
