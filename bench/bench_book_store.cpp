// Book file costs: a keyed open (in this process, and the first open of a freshly started one), a large
// insert in one transaction, look-ups by name.
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <cstring>

#include "bench_support.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"

namespace {

constexpr int kMembers = 100000;

QString MemberName(int i) {
    return QStringLiteral("王%1世").arg(i);
}

void InsertMembers(dao::Database& db, int count) {
    auto tx = db.BeginTrans();
    const QString sql = QStringLiteral(
        "INSERT INTO \"本姓成员\" (filial, father, mother, boy_birthday, Boy_Sex) VALUES (?, ?, ?, ?, ?)");
    for (int i = 0; i < count; ++i)
        db.Execute(sql, {MemberName(i), i == 0 ? QString("") : MemberName((i - 1) / 3),
                         QStringLiteral("李氏"), QStringLiteral("1900-01-01"), i % 2 == 0});
    tx.Commit();
}

void BM_KeyedOpen(benchmark::State& state) {
    bench_support::UseBookFolder();
    for (auto _ : state) {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        benchmark::DoNotOptimize(db.isOpen());
        db.Close();
        dao::ReleaseAllIdleConnections();  // the next open pays the key derivation again
    }
}
BENCHMARK(BM_KeyedOpen)->Unit(benchmark::kMillisecond);

constexpr const char* kOpenOnce = "--open-once";

// The first open of a program run: this program started again to open the book once and tell how long
// the open took (the start of the process itself is not counted).
void BM_KeyedOpenFreshProcess(benchmark::State& state) {
    bench_support::UseBookFolder();
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kOpenOnce)});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            state.SkipWithError("the fresh process failed");
            break;
        }
        state.SetIterationTime(child.readAllStandardOutput().trimmed().toDouble() / 1000.0);
    }
}
BENCHMARK(BM_KeyedOpenFreshProcess)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_Insert100kMembersOneTransaction(benchmark::State& state) {
    bench_support::UseBookFolder();
    dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
    for (auto _ : state) {
        state.PauseTiming();
        db.Execute("DELETE FROM \"本姓成员\"");
        state.ResumeTiming();
        InsertMembers(db, kMembers);
    }
    state.counters["members/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Insert100kMembersOneTransaction)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Lookup100kByName(benchmark::State& state) {
    bench_support::UseBookFolder();
    dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
    if (db.Scalar("SELECT count(*) FROM \"本姓成员\"").toInt() != kMembers) {
        db.Execute("DELETE FROM \"本姓成员\"");
        InsertMembers(db, kMembers);
    }
    for (auto _ : state) {
        for (int i = 0; i < kMembers; ++i) {
            auto rs = db.OpenRecordset(QStringLiteral("SELECT * FROM \"本姓成员\" WHERE filial=?"),
                                       {MemberName((i * 7919) % kMembers)});
            benchmark::DoNotOptimize(rs.hasRow());
        }
    }
    state.counters["lookups/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Lookup100kByName)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], kOpenOnce) == 0) {
        QCoreApplication app(argc, argv);
        QElapsedTimer clock;
        clock.start();
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (!db.isOpen()) return 1;
        std::printf("%.3f\n", ms);
        return 0;
    }
    return bench_support::RunBenchmarks(argc, argv);
}
