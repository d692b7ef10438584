// Package import of books of awkward shapes: 16,000 namesakes (one name with 16,000 numbered
// copies), one line of 20,001 generations, and the clan of the generator at 100,000 and (long runs)
// 1,000,000 members. Each package is exported from its book and imported back into it, so every name
// clashes and is made unique.
#include <benchmark/benchmark.h>

#include <QFileInfo>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

constexpr qint32 kBranch = 1;
const QString kPassword = QStringLiteral("pw");

enum Shape { kNamesakes, kLine, kClan };

void FillNamesakes(dao::Database& db, int members) {
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES ('王祖', '')"));
    for (int i = 0; i < members - 1; ++i)
        db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, '王祖')"),
                   {i == 0 ? QStringLiteral("王甲") : QStringLiteral("王甲[%1]").arg(i)});
    tx.Commit();
}

void FillLine(dao::Database& db, int members) {
    dao::Transaction tx = db.BeginTrans();
    for (int i = 0; i < members; ++i)
        db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES (?, ?)"),
                   {book_generator::BookMemberName(i),
                    i == 0 ? QString("") : book_generator::BookMemberName(i - 1)});
    tx.Commit();
}

QString RootOf(Shape shape) {
    return shape == kNamesakes ? QStringLiteral("王祖") : book_generator::BookMemberName(0);
}

// Arguments: shape, members.
void BM_ImportShape(benchmark::State& state) {
    const auto shape = Shape(state.range(0));
    const int members = int(state.range(1));
    const QString package = [&] {
        bench_support::UseBookFolder(std::pair{int(shape), members});
        return GetAppPath() + QStringLiteral("shape.mdb");
    }();
    {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        if (shape == kNamesakes) FillNamesakes(db, members);
        if (shape == kLine) FillLine(db, members);
        if (shape == kClan) book_generator::GenerateBook(db, members, 20240601u);
        // The branch flag is set directly: numbering the generations is another benchmark's business.
        db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=?"), {kBranch});
    }
    state.counters["book_MB_before"] = double(QFileInfo(DataDbPath()).size()) / (1024 * 1024);
    Cls数据操作 ops;
    if (ops.族谱备份(package, RootOf(shape), kBranch, kPassword) != members)
        state.SkipWithError("the export did not write every member");
    bench_support::ResetPeak();
    for (auto _ : state) {
        QString error;
        if (ops.ReLoad(package, kPassword, QString(), QString(), &error) != 0)
            state.SkipWithError(error.toStdString().c_str());
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["book_MB"] = double(QFileInfo(DataDbPath()).size()) / (1024 * 1024);
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
}

void Shapes(benchmark::internal::Benchmark* b) {
    b->Args({kNamesakes, 16000})->Args({kLine, 20001})->Args({kClan, 100000});
    if (bench_support::LongRuns()) b->Args({kClan, 1000000});
    b->ArgNames({"shape", "members"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}
BENCHMARK(BM_ImportShape)->Apply(Shapes);

}  // namespace

QENTARA_BENCHMARK_MAIN()
