// Numbering a whole book by generation: 标识世祖 from the root over 10,000 to 1,000,000 members.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

// One book folder per size, generated once and kept for the run.
void UseBook(int members) {
    static std::map<int, std::unique_ptr<QTemporaryDir>> books;
    auto& dir = books[members];
    const bool fresh = !dir;
    if (fresh) dir = std::make_unique<QTemporaryDir>();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    qputenv("QENTARA_HOME", dir->path().toUtf8());
    if (!fresh) return;
    EnsureBookFiles();
    dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
    book_generator::GenerateBook(db, members, 20240601u);
}

// Peak resident memory since the last reset, in MB.
double PeakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts the peak over from the current size (Linux: "5" to clear_refs).
void ResetPeak() {
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd < 0) return;
    if (::write(fd, "5", 1) != 1) qWarning("peak memory not reset");
    ::close(fd);
}

// Marks the whole tree with `branch`; returns the statistics.
QString MarkWholeTree(Cls数据操作& ops, qint32 branch) {
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops.标识世祖(book_generator::BookMemberName(0), branch, 0, first, force, protection);
    return App().FormParamString;
}

void Report(benchmark::State& state, int members, const QString& statistics) {
    state.counters["peak_MB"] = PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
    if (!statistics.startsWith(QStringLiteral("30%")))
        state.SkipWithError(("unexpected statistics " + statistics).toStdString().c_str());
    state.SetLabel(statistics.toStdString());
}

// Every row changes: the branch number alternates, so each run writes the whole book.
void BM_NumberWholeTree(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members);
    Cls数据操作 ops;
    ResetPeak();
    QString statistics;
    qint32 branch = 1;
    for (auto _ : state) statistics = MarkWholeTree(ops, branch = 3 - branch);
    Report(state, members, statistics);
}
BENCHMARK(BM_NumberWholeTree)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The tree is numbered already: the walk finds every row right and writes nothing.
void BM_RenumberUnchangedTree(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members);
    Cls数据操作 ops;
    MarkWholeTree(ops, 7);
    ResetPeak();
    QString statistics;
    for (auto _ : state) statistics = MarkWholeTree(ops, 7);
    Report(state, members, statistics);
}
BENCHMARK(BM_RenumberUnchangedTree)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
