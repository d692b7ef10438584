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

}  // namespace

QENTARA_BENCHMARK_MAIN()
