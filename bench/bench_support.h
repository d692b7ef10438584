#pragma once

// What every benchmark program shares: its main, the throwaway book folders and the peak-memory reading.

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
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

namespace bench_support {

// Runs of 1,000,000 members take minutes each: they run only when QENTARA_BENCH_LONG=1.
inline bool LongRuns() {
    return qEnvironmentVariableIntValue("QENTARA_BENCH_LONG") != 0;
}

// Makes the book folder of `key` the current book ($QENTARA_HOME), with the shared state reset and no
// connection of another book cached. The folder is created, with empty book files, the first time a key
// is used and kept for the rest of the run; returns whether that was now, so the caller fills it once.
// With no key: the one book of a program that needs only one.
template <typename Key = int>
bool UseBookFolder(const Key& key = {}) {
    static std::map<Key, std::unique_ptr<QTemporaryDir>> folders;
    std::unique_ptr<QTemporaryDir>& dir = folders[key];
    const bool fresh = !dir;
    if (fresh) dir = std::make_unique<QTemporaryDir>();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    qputenv("QENTARA_HOME", dir->path().toUtf8());
    if (fresh) EnsureBookFiles();
    return fresh;
}

// The generated book of `members` members as the current book, generated the first time it is used in
// a run; returns whether that was now.
inline bool UseGeneratedBook(int members) {
    const bool fresh = UseBookFolder(members);
    if (fresh) {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        book_generator::GenerateBook(db, members, 20240601u);
    }
    return fresh;
}

// Gives every member of the generated book a page and `pictures` of its members, evenly spread, a
// picture of random bytes each.
inline void AddPagesAndPictures(int members, int pictures, int pictureBytes) {
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    dao::Transaction tx = pages.BeginTrans();
    const QString text =
        QStringLiteral("<p>先祖王公，字子明，号东山，生于嘉庆年间，卒于光绪年间。</p>").repeated(8);
    for (int i = 0; i < members; ++i)
        pages.Execute(QStringLiteral("INSERT INTO story (filial, Hisdescript) VALUES (?, ?)"),
                      {book_generator::BookMemberName(i), text});
    tx.Commit();
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    dao::Transaction itx = images.BeginTrans();
    QRandomGenerator gen(7);
    QByteArray bytes(pictureBytes, Qt::Uninitialized);
    for (int i = 0; i < pictures; ++i) {
        for (char& c : bytes) c = char(gen.bounded(256));
        images.Execute(QStringLiteral("INSERT INTO imageylk (filial, myimage, imagepath) VALUES (?, ?, ?)"),
                       {book_generator::BookMemberName(i * members / pictures), bytes,
                        QStringLiteral("file://_app.path_\\p%1.jpg").arg(i)});
    }
    itx.Commit();
}

// Numbers the whole generated book from its root as branch `branch`, as the generation command does.
inline void MarkWholeBook(Cls数据操作& ops, qint32 branch) {
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops.标识世祖(book_generator::BookMemberName(0), branch, 0, first, force, protection);
}

// The runs on 2,000,000 members come only when QENTARA_BENCH_LONG is set (LongRuns): generating that book
// alone takes a minute or more.
constexpr int kLongRunMembers = 2000000;

// Adds the long run's book size to a benchmark when long runs are asked for.
inline void WithLongRun(benchmark::internal::Benchmark* b) {
    if (LongRuns()) b->Arg(kLongRunMembers);
}

// Peak resident memory since the last ResetPeak, in MB.
inline double PeakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Starts the peak over from the current size (Linux: "5" to clear_refs).
inline void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// The book code needs a Qt application object (a QApplication for benchmarks of windows); cached
// connections are closed before the folders go.
template <typename Application = QCoreApplication>
int RunBenchmarks(int argc, char** argv) {
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ResetAppState();
    dao::ReleaseAllIdleConnections();
    return 0;
}

// Benchmarks of windows with the web engine: offscreen, no sandbox or GPU, and settings in a folder of
// their own (the windows write theirs on closing, never into the user's).
template <typename Application>
int RunEngineBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    return RunBenchmarks<Application>(argc, argv);
}

}  // namespace bench_support

#define QENTARA_BENCHMARK_MAIN()                         \
    int main(int argc, char** argv) {                    \
        return bench_support::RunBenchmarks(argc, argv); \
    }
