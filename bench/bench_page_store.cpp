// Saving one member page with its pictures, in the calling order of the main window's page save.
#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "bench_support.h"
#include "frame/db_connections.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/outside_page.h"
#include "store/page_scripts.h"

namespace {

constexpr int kPictureBytes = 200 * 1024;

struct BenchBook {
    BenchBook() {
        bench_support::UseBookFolder();
        QDir().mkpath(pictures.path() + "/photos");
        for (int i = 1; i <= 3; ++i) {
            QByteArray bytes(kPictureBytes, Qt::Uninitialized);
            QRandomGenerator gen(i);
            for (char& c : bytes) c = char(gen.bounded(256));
            QFile f(QStringLiteral("%1/photos/p%2.jpg").arg(pictures.path()).arg(i));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            sources << QStringLiteral("file://%1/photos/p%2.jpg").arg(pictures.path()).arg(i);
        }
        page = QStringLiteral("<html><head><title>王氏</title></head><body>");
        for (int i = 1; i <= 3; ++i)
            page += QStringLiteral("<p><img src=\"file://_app.path_%1\\photos\\p%2.jpg\"></p>")
                        .arg(QString(pictures.path()).replace('/', '\\'))
                        .arg(i);
        for (int i = 0; i < 100; ++i)
            page += QStringLiteral("<p>先祖王公，字子明，号东山，生于嘉庆年间，卒于光绪年间。</p>");
        page += QStringLiteral("</body></html>");
    }
    QTemporaryDir pictures;
    QStringList sources;
    QString page;
};

BenchBook& Book() {
    static BenchBook book;
    return book;
}

void BM_SavePageWithThreePictures(benchmark::State& state) {
    BenchBook& book = Book();
    Cls数据操作 ops;
    const QString member = QStringLiteral("王一");
    for (auto _ : state) {
        ops.SaveAnyImage(QString(), true, member, false);
        for (const QString& source : book.sources)
            if (!ops.SaveAnyImage(source, false, member, false)) state.SkipWithError("picture not stored");
        QString html = book.page;
        ops.SaveAnyHtml(html, member);
    }
    state.counters["pages/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SavePageWithThreePictures)->Unit(benchmark::kMillisecond)->UseRealTime();

// The cleaning every page from outside goes through (a package, a download, the e-book output): a page
// of range(0) paragraphs, each with a picture the member brings and one on the web; range(1) 0 takes
// out the scripts alone, as the cleaning did before it took out what leads outside.
void BM_CleanOutsidePage(benchmark::State& state) {
    const QString paragraph = QStringLiteral(
        "<p style=\"color:#333\">先祖王公，字子明，号东山，生于嘉庆年间，卒于光绪年间。"
        "<img src=\"file://_app.path_\\p%1.jpg\" width=200><img src=\"http://127.0.0.1:9/w%1.jpg\">"
        "<a href=\"http://example.com/%1\">传</a></p>");
    QString page = QStringLiteral("<html><head></head><body background=\"file://_app.bg_\\bg.jpg\">");
    QStringList pictures{QStringLiteral("file://_app.bg_\\bg.jpg")};
    for (int i = 0; i < state.range(0); ++i) {
        page += paragraph.arg(i);
        pictures << QStringLiteral("file://_app.path_\\p%1.jpg").arg(i);
    }
    page += QStringLiteral("</body></html>");
    for (auto _ : state)
        benchmark::DoNotOptimize(state.range(1) ? outside_page::Cleaned(page, pictures)
                                                : page_scripts::WithoutScripts(page));
    state.counters["page_KB"] = double(page.size() * 2) / 1024;
}
BENCHMARK(BM_CleanOutsidePage)
    ->ArgsProduct({{10, 100}, {0, 1}})
    ->ArgNames({"paragraphs", "references"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

QENTARA_BENCHMARK_MAIN()
