// The pedigree chart of a generated branch of 10,000 and 100,000 members (30 generations): generating the
// chart table, drawing one page, exporting the whole chart as HTML.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/interaction/scripted_interaction.h"
#include "print/print_zp.h"

namespace {

void UseBook(int members) {
    if (!bench_support::UseBookFolder(members)) {
        OpenDataDb(DataDbPath(), BookDbPassword());
        return;
    }
    OpenDataDb(DataDbPath(), BookDbPassword());
    book_generator::GenerateBook(App().DataDb, members, 20240601u);
}

// Generates the chart of the whole generated book (the prompt answers 1), default widths 3 and 12.
void GenerateChart(ScriptedInteraction& ui) {
    ui.ExpectForm(QStringLiteral("FrmLittle"), [](QObject*) {
        App().FormParamString = QStringLiteral("1");
        return 1;
    });
    App().FormParamString = QStringLiteral("王氏世系图");
    App().SelectedNodeIndex = 5;
    if (!clsPrintZp().PrintPxt(book_generator::BookMemberName(0), false))
        throw std::runtime_error("chart not generated");
}

qint64 ChartRows() {
    return App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM \"skrslt\"")).toLongLong();
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_GenerateChart(benchmark::State& state) {
    const int members = int(state.range(0));
    UseBook(members);
    auto ui = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction& script = *ui;
    auto previous = SetInteraction(std::move(ui));
    bench_support::ResetPeak();
    for (auto _ : state) GenerateChart(script);
    state.counters["chart_lines"] = double(ChartRows() - 81);
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
    SetInteraction(std::move(previous));
}
BENCHMARK(BM_GenerateChart)->Apply(Sizes)->Iterations(3);

}  // namespace

// The page drawing measures and paints text, which needs a GUI application (offscreen is enough).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    return 0;
}
