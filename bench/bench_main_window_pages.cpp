// Page turning from the main toolbar on large generated books, pages of 30 (the default): Next page
// from page 1, 10 and 1,000 (the pages up to there walked once beforehand), and the jump to the last
// page chosen in the page prompt with nothing recorded beyond page 1. The page prompt is answered by a
// script; the viewer runs without its engine, since a page turn only blanks it.

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/page_viewer.h"
#include "online/user_record.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/page_start_store.h"

namespace {

// A window over the book with a scripted page prompt.
class PagingWindow {
public:
    explicit PagingWindow(int members) {
        bench_support::UseGeneratedBook(members);
        App().CurrentUser = std::make_shared<Cls_User>();
        auto script = std::make_unique<ScriptedInteraction>();
        ui_ = script.get();
        previous_ = SetInteraction(std::move(script));
        // Every case starts from page 1 alone, as a book opened for the first time.
        OpenDataDb(DataDbPath(), BookDbPassword());
        PageStartStore().TruncateAfter(0);
        window_ = std::make_unique<dsptree>();
        window_->Form_Load();
    }
    ~PagingWindow() {
        window_.reset();
        SetInteraction(std::move(previous_));
    }
    dsptree& window() { return *window_; }
    // Chooses the page in the prompt and presses Next.
    void Next(qint32 page) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [page](QObject*) {
            App().FormParamString = QString::number(page);
            return 1;
        });
        window_->TbarOP_ButtonClick(QStringLiteral("NextPage"));
    }

private:
    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    std::unique_ptr<dsptree> window_;
};

void BM_NextPage(benchmark::State& state) {
    PagingWindow paging(int(state.range(0)));
    const qint32 from = qint32(state.range(1));
    if (from > 1) paging.Next(from);
    for (auto _ : state) {
        state.PauseTiming();
        App().CurrentPage = from;
        paging.window().RebuildPage();
        state.ResumeTiming();
        paging.Next(from + 1);
    }
    state.counters["page"] = App().CurrentPage;
    state.counters["nodes"] = paging.window().TreeNodes().Count();
}
BENCHMARK(BM_NextPage)
    ->Args({100000, 1})
    ->Args({100000, 10})
    ->Args({100000, 1000})
    ->Args({1000000, 1})
    ->Args({1000000, 10})
    ->Args({1000000, 1000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void BM_JumpToLastPage(benchmark::State& state) {
    PagingWindow paging(int(state.range(0)));
    dsptree& w = paging.window();
    const qint32 estimate = w.PageCount();
    bench_support::ResetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        App().CurrentPage = 1;
        w.RebuildPage();
        PageStartStore().TruncateAfter(1);
        App().RepaginateNeeded = true;
        w.SetPageCount(estimate);
        state.ResumeTiming();
        paging.Next(estimate);
    }
    state.counters["last_page"] = App().CurrentPage;
    state.counters["page_count"] = w.PageCount();
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}
BENCHMARK(BM_JumpToLastPage)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    PageViewer::SetEngineEnabled(false);
    // The window writes its settings on closing: never into the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    return bench_support::RunBenchmarks<QApplication>(argc, argv);
}
