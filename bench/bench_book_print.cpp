// Printing and publishing a generated branch of 10,000 members with a page each: writing the book
// (tPrint.htm), printing it to PDF with the real web engine offscreen, the linked HTML site and the
// CHM e-book (chmcmd).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <map>

#include "bench_support.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/pdf_part_printer.h"
#include "platform/bookdir.h"
#include "platform/interaction/scripted_interaction.h"
#include "print/chm_doc.h"
#include "print/print_zp.h"

namespace {

constexpr int kMembers = 10000;

// The generated book with a page per member, open, with scripted dialogs that answer everything.
class PrintBook {
public:
    explicit PrintBook(int members = kMembers) {
        if (bench_support::UseGeneratedBook(members))
            bench_support::AddPagesAndPictures(members, members / 50, 20000);
        OpenDataDb(DataDbPath(), BookDbPassword());
        auto ui = std::make_unique<ScriptedInteraction>();
        script_ = ui.get();
        previous_ = SetInteraction(std::move(ui));
    }
    ~PrintBook() { SetInteraction(std::move(previous_)); }
    void ExpectStartGeneration() {
        script_->ExpectForm(QStringLiteral("FrmLittle"), [](QObject*) {
            App().FormParamString = QStringLiteral("1");
            return 1;
        });
    }
    ScriptedInteraction& script() { return *script_; }

private:
    ScriptedInteraction* script_;
    std::unique_ptr<Interaction> previous_;
};

QString Root() {
    return book_generator::BookMemberName(0);
}

// tPrint.htm of the whole branch, in document style (0) or as the register (1), vertical.
void BM_WriteBook(benchmark::State& state) {
    const bool biography = state.range(0) == 1;
    const int members = int(state.range(1));
    PrintBook book(members);
    bench_support::ResetPeak();
    for (auto _ : state) {
        if (biography) book.ExpectStartGeneration();
        const bool ok = biography ? clsPrintZp().传记谱(Root(), 1) : clsPrintZp().打印文档(Root(), 1);
        if (!ok) throw std::runtime_error("book not written");
    }
    state.counters["MB"] = double(QFile(clsPrintZp::BookFile()).size()) / 1e6;
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(members) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteBook)
    ->Args({0, kMembers})
    ->Args({1, kMembers})
    ->Args({1, 100000})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// The vertical register of a branch of that size printed to A4 PDF by the real engine offscreen: the
// whole book in one engine page, as before (0), or its parts side by side (1); then the PDF file with
// the page numbers laid over the engine's pages.
void BM_PrintBookToPdf(benchmark::State& state) {
    const int members = int(state.range(0));
    const bool inParts = state.range(1) == 1;
    PrintBook book(members);
    book.ExpectStartGeneration();
    clsPrintZp printer;
    if (!printer.传记谱(Root(), 1)) throw std::runtime_error("book not written");
    const QStringList files = inParts ? printer.BookParts() : QStringList{clsPrintZp::BookFile()};
    QPrinter target(QPrinter::HighResolution);
    target.setPageSize(QPageSize(QPageSize::A4));
    QTemporaryDir dir;
    target.setOutputFormat(QPrinter::PdfFormat);
    target.setOutputFileName(dir.filePath(QStringLiteral("book.pdf")));
    int pages = 0;
    double fileMs = 0;
    for (auto _ : state) {
        const pdf_part_printer::Result printed = pdf_part_printer::Print(
            files, PdfLayoutFor(target), [](const pdf_part_printer::Progress&) { return true; }, 1800000);
        if (printed.outcome != pdf_part_printer::Outcome::Done) throw std::runtime_error("no PDF");
        pages = pdf_book::PageCount(printed.parts);
        QElapsedTimer clock;
        clock.start();
        QString error;
        if (!WritePdfFile(printed.parts, target, QString(), QStringLiteral("&b第 &p/&P 页&b"), {}, &error))
            throw std::runtime_error(error.toStdString());
        fileMs = double(clock.elapsed());
    }
    state.counters["pages"] = pages;
    state.counters["parts"] = double(files.size());
    state.counters["file_ms"] = fileMs;
    state.counters["file_MB"] = double(QFile(target.outputFileName()).size()) / 1e6;
}
BENCHMARK(BM_PrintBookToPdf)
    ->Args({300, 0})
    ->Args({300, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_Site(benchmark::State& state) {
    PrintBook book;
    for (auto _ : state) {
        book.ExpectStartGeneration();
        book.script().ExpectMsgBox(vb::OK);
        App().FormParamString = QStringLiteral("王氏世系图");
        App().SelectedNodeIndex = 5;
        clsPrintZp printer;
        if (!printer.PrintPxt(Root(), true) || printer.Lfn_to_html2(false).isEmpty())
            throw std::runtime_error("site not written");
    }
    state.counters["members/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Site)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The branch as the tree shows it: every member with its children in sibling order.
ChmTocNode Branch() {
    std::map<QString, std::vector<QString>> children;
    for (auto rs = App().DataDb.OpenRecordset(QStringLiteral(
             "SELECT \"filial\", \"father\" FROM \"本姓成员\" ORDER BY \"boy_sort\", \"filial_id\""));
         rs.hasRow(); rs.MoveNext())
        children[rs.Text(QStringLiteral("father"))].push_back(rs.Text(QStringLiteral("filial")));
    const std::function<ChmTocNode(const QString&)> node = [&](const QString& name) {
        ChmTocNode n{name, {}};
        for (const QString& child : children[name]) n.children.push_back(node(child));
        return n;
    };
    return node(Root());
}

void BM_Ebook(benchmark::State& state) {
    PrintBook book;
    const ChmTocNode branch = Branch();
    for (auto _ : state) {
        book.script().ExpectMsgBox(vb::OK);
        if (!ClsChmDoc().init_Nopen_Chm(branch, false)) throw std::runtime_error("e-book not made");
    }
    state.counters["MB"] =
        double(QFile(GetAppPath() + QStringLiteral("chm/") + Root() + QStringLiteral(".chm")).size()) / 1e6;
    state.counters["members/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ebook)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return bench_support::RunEngineBenchmarks<QApplication>(argc, argv);
}
