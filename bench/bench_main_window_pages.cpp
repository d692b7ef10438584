// Page turning from the main toolbar on large generated books, pages of 30 (the default): Next page
// from page 1, 10 and 1,000 (the pages up to there walked once beforehand), and the jump to the last
// page chosen in the page prompt with nothing recorded beyond page 1 (also over 2,000,000 members with
// QENTARA_BENCH_LONG=1), and the member search for a member shown only on the last page, from page 1 with
// nothing recorded beyond it. The page prompt and the search's forms are answered by a script; the
// viewer runs without its engine, since a page turn only blanks it.

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
#include "member/member_record.h"
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
    // Chooses the page in the prompt and presses Next; a page beyond the last lands on the last, with a
    // word that says so.
    void Next(qint32 page, bool beyondLast = false) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [page](QObject*) {
            App().FormParamString = QString::number(page);
            return 1;
        });
        if (beyondLast) ui_->ExpectMsgBox(vb::OK);
        window_->TbarOP_ButtonClick(QStringLiteral("NextPage"));
    }
    // Searches for `name`, passing over the `hits` - 1 other members whose names hold it, and agrees to
    // turn to the page that shows him.
    void Seek(const QString& name, int hits) {
        for (int i = 0; i < hits; ++i)
            ui_->ExpectForm(QStringLiteral("Frm子女"), [name](QObject*) {
                App().FormParamString =
                    App().SharedMember->strBoy == name ? QStringLiteral("ok") : QStringLiteral("s");
                return 1;
            });
        ui_->ExpectMsgBox(vb::Yes);
        window_->SeekMember(name);
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

// Forgets every page after the first and shows page 1, as a book opened afresh.
void BackToPageOne(dsptree& w, qint32 estimate) {
    App().CurrentPage = 1;
    w.RebuildPage();
    PageStartStore().TruncateAfter(1);
    App().RepaginateNeeded = true;
    w.SetPageCount(estimate);
}

void BM_JumpToLastPage(benchmark::State& state) {
    PagingWindow paging(int(state.range(0)));
    dsptree& w = paging.window();
    const qint32 estimate = w.PageCount();
    bench_support::ResetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        BackToPageOne(w, estimate);
        state.ResumeTiming();
        paging.Next(estimate, true);
    }
    state.counters["last_page"] = App().CurrentPage;
    state.counters["page_count"] = w.PageCount();
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}
BENCHMARK(BM_JumpToLastPage)
    ->Arg(100000)
    ->Arg(1000000)
    ->Apply(bench_support::WithLongRun)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_SeekMemberOnLastPage(benchmark::State& state) {
    PagingWindow paging(int(state.range(0)));
    dsptree& w = paging.window();
    const qint32 estimate = w.PageCount();
    paging.Next(estimate, true);
    const qint32 lastPage = App().CurrentPage;
    // The last member shown there: the page before cannot show him, his father's page ends before.
    QString name;
    for (int i = w.TreeNodes().Count(); i >= 1 && name.isEmpty(); --i)
        if (w.TreeNodes().KeyAt(i).startsWith(QLatin1Char('_'))) name = w.TreeNodes().KeyAt(i).mid(1);
    const QVariant id = App().DataDb.Scalar(
        QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"filial\"=?"), {name});
    const int hits =
        App()
            .DataDb
            .Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE "
                                   "instr(lower(\"filial\"), lower(?)) > 0 AND \"filial_id\" <= ?"),
                    {name, id})
            .toInt();
    bench_support::ResetPeak();
    for (auto _ : state) {
        state.PauseTiming();
        BackToPageOne(w, estimate);
        state.ResumeTiming();
        paging.Seek(name, hits);
    }
    if (App().CurrentPage != lastPage || w.TreeTag() != name)
        state.SkipWithError("the search did not land on the last page");
    state.counters["page"] = App().CurrentPage;
    state.counters["hits"] = hits;
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}
BENCHMARK(BM_SeekMemberOnLastPage)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

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
