// The main window on large generated books, pages of 30, with the real web engine offscreen: opening
// the window until page 1 and the blank page are shown, a node click until the member's page has
// loaded, and a search for a member far from page 1 (the second argument: the member's number in the
// book, which puts it on about that number / 31 pages on).
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
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
#include "member/member_record.h"
#include "online/user_record.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/data_ops.h"

namespace {

void WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void UseBook(int members) {
    const bool fresh = bench_support::UseGeneratedBook(members);
    App().CurrentUser = std::make_shared<Cls_User>();
    if (!fresh) return;
    Cls数据操作 ops;
    // Pages for the first members (they stand on page 1).
    for (int i = 0; i < 20; ++i) {
        QString page =
            QStringLiteral("<html><head><title>%1</title></head><body><p>%1 的生平事迹。</p>%2</body></html>")
                .arg(book_generator::BookMemberName(i), QString(400, QChar(0x8C31)));
        ops.SaveAnyHtml(page, book_generator::BookMemberName(i));
    }
}

std::unique_ptr<dsptree> OpenWindow() {
    auto window = std::make_unique<dsptree>();
    window->Form_Load();
    window->setWindowState(Qt::WindowNoState);
    window->resize(1280, 800);
    window->show();
    WaitUntil([&] { return window->DocumentLoaded(); });
    return window;
}

void BM_OpenMainWindow(benchmark::State& state) {
    UseBook(int(state.range(0)));
    // The engine's start-up, once per run, is not the window's.
    static double engineStartMs = -1;
    QElapsedTimer first;
    first.start();
    OpenWindow();
    if (engineStartMs < 0) engineStartMs = double(first.elapsed());
    state.counters["first_open_ms_in_run"] = engineStartMs;
    for (auto _ : state) {
        auto window = OpenWindow();
        benchmark::DoNotOptimize(window.get());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenMainWindow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_NodeClickToPageShown(benchmark::State& state) {
    UseBook(int(state.range(0)));
    auto window = OpenWindow();
    TreeWidgetNodes& nodes = window->TreeNodes();
    int turn = 0;
    for (auto _ : state) {
        // Two members with pages by turns, so every click writes and loads a page.
        const QString key = QLatin1Char('_') + book_generator::BookMemberName(1 + turn++ % 2);
        window->SetDocumentLoaded(false);
        window->TreeVw_NodeClick(nodes.ItemAt(nodes.IndexOf(key)));
        WaitUntil([&] { return window->DocumentLoaded(); });
    }
}
BENCHMARK(BM_NodeClickToPageShown)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_SearchMemberOnAFarPage(benchmark::State& state) {
    UseBook(int(state.range(0)));
    auto window = OpenWindow();
    const QString target = book_generator::BookMemberName(int(state.range(1)));
    auto script = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* ui = script.get();
    auto previous = SetInteraction(std::move(script));
    qint32 page = 0;
    for (auto _ : state) {
        state.PauseTiming();
        App().CurrentPage = 1;
        window->RebuildPage();
        ui->ExpectForm(QStringLiteral("Frm子女"), [&](QObject*) {
            App().FormParamString =
                App().SharedMember->strBoy == target ? QStringLiteral("ok") : QStringLiteral("s");
            return 1;
        });
        ui->ExpectMsgBox(vb::Yes);
        state.ResumeTiming();
        window->SeekMember(target);
        page = App().CurrentPage;
    }
    state.counters["page"] = page;
    SetInteraction(std::move(previous));
}
BENCHMARK(BM_SearchMemberOnAFarPage)
    ->Args({100000, 3100})
    ->Args({1000000, 3100})
    ->Args({100000, 31000})
    ->Args({1000000, 31000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    return bench_support::RunEngineBenchmarks<QApplication>(argc, argv);
}
