// The pedigree chart of a generated branch of 10,000, 100,000 and (long runs) 1,000,000 members (30
// generations): generating the chart table, laying its lines out alone, drawing one page, exporting the
// whole chart as HTML.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <map>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_types.h"
#include "platform/interaction/scripted_interaction.h"
#include "print/chart_branch.h"
#include "print/chart_html_export.h"
#include "print/chart_renderer.h"
#include "print/painter_chart_canvas.h"
#include "print/print_tree.h"
#include "print/print_zp.h"
#include "store/data_ops.h"

namespace {

// The generated book of that size, open, with scripted dialogs for the run of one benchmark.
class ChartBook {
public:
    explicit ChartBook(int members) {
        const bool fresh = bench_support::UseBookFolder(members);
        OpenDataDb(DataDbPath(), BookDbPassword());
        if (fresh) book_generator::GenerateBook(App().DataDb, members, 20240601u);
        auto ui = std::make_unique<ScriptedInteraction>();
        script_ = ui.get();
        previous_ = SetInteraction(std::move(ui));
    }
    ~ChartBook() { SetInteraction(std::move(previous_)); }
    ScriptedInteraction& script() { return *script_; }

private:
    ScriptedInteraction* script_;
    std::unique_ptr<Interaction> previous_;
};

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
    b->Arg(10000)->Arg(100000);
    if (bench_support::LongRuns()) b->Arg(1000000);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The branch numbered already (a chart made before): the numbering finds every row right.
void BM_GenerateChart(benchmark::State& state) {
    const int members = int(state.range(0));
    ChartBook book(members);
    ScriptedInteraction& script = book.script();
    GenerateChart(script);
    bench_support::ResetPeak();
    for (auto _ : state) GenerateChart(script);
    state.counters["chart_lines"] = double(ChartRows() - 81);
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GenerateChart)->Apply(Sizes)->Iterations(3);

// The first chart of a book never numbered: every member's generation is written.
void BM_GenerateFirstChart(benchmark::State& state) {
    const int members = int(state.range(0));
    ChartBook book(members);
    ScriptedInteraction& script = book.script();
    bench_support::ResetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        Cls数据操作().清世代数据();
        App().DataDb.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\"=-9"));
        state.ResumeTiming();
        GenerateChart(script);
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}
BENCHMARK(BM_GenerateFirstChart)->Apply(Sizes)->Iterations(3);

// The chart's lines laid out alone (the three sections of widths 3 and 12, in the table's UTF-8, none
// written), as the thread that lays them out does while the rows are written: it must keep ahead.
void BM_LayOutChart(benchmark::State& state) {
    const int members = int(state.range(0));
    ChartBook book(members);
    GenerateChart(book.script());
    const ChartWidths widths{3, 12};
    const ChartBranch branch(App().DataDb, 5, 1, 34);
    std::vector<std::unique_ptr<ChartForest>> sections;
    for (const qint64 first : {1, 12, 23}) sections.push_back(branch.Section(first, first + 11, false));
    qint64 lines = 0;
    std::string utf8;
    for (auto _ : state) {
        for (const auto& section : sections) {
            LayOutChartSection(*section, widths, [&](QStringView line) {
                utf8.clear();
                dao::AppendEngineUtf8(utf8, line);
                ++lines;
            });
        }
        benchmark::DoNotOptimize(utf8.data());
    }
    state.counters["lines/s"] = benchmark::Counter(double(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayOutChart)->Apply(Sizes);

// The chart of the book, generated once per size.
const ChartText& ChartOf(int members, ScriptedInteraction& ui) {
    static std::map<int, ChartText> charts;
    if (!charts.count(members)) {
        GenerateChart(ui);
        charts[members] = ChartText::Load(App().DataDb);
    }
    return charts[members];
}

// One A4 page on screen at 100 % (an image of 96 pixels to the inch), the middle page of the chart.
void BM_DrawPage(benchmark::State& state) {
    const int members = int(state.range(0));
    ChartBook book(members);
    ScriptedInteraction& script = book.script();
    PresetChartPreview();
    const ChartRenderer renderer(ChartOf(members, script));
    QImage page(794, 1123, QImage::Format_RGB32);
    page.setDotsPerMeterX(3780);
    page.setDotsPerMeterY(3780);
    const int lines = 47;
    const int middle = renderer.PageCount(lines) / 2 + 1;
    for (auto _ : state) {
        QPainter painter(&page);
        PainterChartCanvas canvas(page, &painter);
        benchmark::DoNotOptimize(renderer.DrawChartPage(canvas, false, nullptr, middle, lines));
    }
    state.counters["pages"] = renderer.PageCount(lines);
}
BENCHMARK(BM_DrawPage)->Apply(Sizes);

void BM_ExportHtml(benchmark::State& state) {
    const int members = int(state.range(0));
    ChartBook book(members);
    ScriptedInteraction& script = book.script();
    const ChartText& chart = ChartOf(members, script);
    for (auto _ : state) {
        script.ExpectMsgBox(1);
        if (ExportChartHtml(chart).isEmpty()) state.SkipWithError("export failed");
    }
    state.counters["lines"] = double(chart.lines.size());
}
BENCHMARK(BM_ExportHtml)->Apply(Sizes);

}  // namespace

// The page drawing measures and paints text, which needs a GUI application (offscreen is enough).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return bench_support::RunBenchmarks<QGuiApplication>(argc, argv);
}
