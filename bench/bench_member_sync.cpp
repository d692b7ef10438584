// Member sync through a community server of its own, reached through its door (nginx with TLS) as a
// clan's server is: the upload of a 10,000-member branch with a page per member and 2,000 pictures of
// 50 KB, then the whole-tree download of that branch into an empty book and its merge. Beside each, the
// same work straight on a database of its own with libpq, as the program did before the door
// (direct_sync.h): upload_ratio and download_ratio are the door's time over that one.
// QENTARA_BENCH_MEMBERS sets another size (a fifth of the members get a picture), QENTARA_BENCH_NO_DOOR=1
// goes to the page service directly. The servers are databases of this run on the PostgreSQL cluster the
// environment names (PGHOST, PGPORT, PGUSER, PGPASSWORD): run it under pg_virtualenv. Without one it
// reports an error.
#include <benchmark/benchmark.h>
#include <QElapsedTimer>

#include "bench_server.h"
#include "bench_support.h"
#include "book_generator.h"
#include "direct_sync.h"
#include "frame/server_connection.h"
#include "online/member_exchange.h"
#include "online/user_record.h"
#include "store/data_ops.h"

namespace {

const int kMembers = qEnvironmentVariableIsSet("QENTARA_BENCH_MEMBERS")
                         ? qEnvironmentVariableIntValue("QENTARA_BENCH_MEMBERS")
                         : 10000;
const int kPictures = kMembers / 5;
constexpr int kPictureBytes = 50 * 1024;
constexpr qint32 kBranch = 1;

// The server of this run, with one account open to everybody, logged on once: its credential goes with
// the program's calls.
class SyncServer : public bench_server::BenchServer {
public:
    SyncServer() : BenchServer(QStringLiteral("sync")) {
        if (!error().empty()) return;
        if (qEnvironmentVariableIntValue("QENTARA_BENCH_NO_DOOR") == 0)
            if (const QString failure = startDoor(); !failure.isEmpty()) qFatal("%s", qPrintable(failure));
        auto db = bench_server::OpenConnection();
        ServerCommand cmd(db.get());
        account_ = bench_server::LogOn(cmd, QStringLiteral("bench"));
        credential_ = db->credential();
    }
    qint32 account() const { return account_; }
    QString credential() const { return credential_; }

private:
    qint32 account_ = 0;
    QString credential_;
};

// The database the direct runs go to, with an account of its own: the door's run has taken the names.
// Made before the door's server, which then points the program at itself.
class DirectServer : public bench_server::BenchServer {
public:
    DirectServer() : BenchServer(QStringLiteral("direct")) {
        if (!error().empty()) return;
        auto db = bench_server::OpenConnection();
        ServerCommand cmd(db.get());
        account_ = bench_server::LogOn(cmd, QStringLiteral("bench"));
    }
    qint32 account() const { return account_; }
    std::unique_ptr<PgConnection> session() const {
        return direct_sync::OpenSession(pagesParams(), account_);
    }

private:
    qint32 account_ = 0;
};

struct Servers {
    DirectServer direct;
    SyncServer sync;
};

Servers& Both() {
    static Servers servers;
    return servers;
}

SyncServer& Server() {
    return Both().sync;
}

DirectServer& Direct() {
    return Both().direct;
}

void LogOn() {
    App().CurrentUser = std::make_shared<Cls_User>();
    App().CurrentUser->acc_id = Server().account();
    App().CurrentUser->Logoned = true;
    App().ServerCredential = Server().credential();
}

// A fresh book of kMembers members, pages and pictures, marked whole as the branch to upload.
void PrepareBranch(const QString& folder) {
    bench_support::UseBookFolder(folder);  // a book never uploaded, each time
    {
        dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
        book_generator::GenerateBook(db, kMembers, 20240601u);
    }
    bench_support::AddPagesAndPictures(kMembers, kPictures, kPictureBytes);
    Cls数据操作 ops;
    bench_support::MarkWholeBook(ops, kBranch);
}

// The server ids of the uploaded branch's root, through the door and direct; 0 until the upload has run.
qint32 gUploadedRoot = 0;
qint32 gDirectRoot = 0;

void BM_UploadBranch(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    if (!Direct().error().empty()) return state.SkipWithError(Direct().error().c_str());
    double door = 0, direct = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            PrepareBranch(QStringLiteral("direct %1").arg(state.iterations()));
            Cls数据操作 ops;
            const auto session = Direct().session();
            if (!session) return state.SkipWithError("no direct session");
            QElapsedTimer timer;
            timer.start();
            if (direct_sync::Upload(*session, Direct().account(), kBranch) != kMembers)
                return state.SkipWithError("not every member went up directly");
            direct += timer.elapsed() / 1000.0;
            gDirectRoot = ops.GetSql_Id(book_generator::BookMemberName(0));
        }
        PrepareBranch(QStringLiteral("door %1").arg(state.iterations()));
        Cls数据操作 ops;
        LogOn();
        bench_support::ResetPeak();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        if (ops.UpLoad_All(kBranch) != kMembers) return state.SkipWithError("not every member went up");
        door += timer.elapsed() / 1000.0;
        gUploadedRoot = ops.GetSql_Id(book_generator::BookMemberName(0));
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["direct_s"] = direct / double(state.iterations());
    state.counters["upload_ratio"] = door / direct;
}

void BM_DownloadAndMerge(benchmark::State& state) {
    if (gUploadedRoot == 0 || gDirectRoot == 0) return state.SkipWithError("the upload did not run");
    double download = 0, merge = 0, direct = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            bench_support::UseBookFolder(QStringLiteral("direct empty %1").arg(state.iterations()));
            const auto session = Direct().session();
            if (!session) return state.SkipWithError("no direct session");
            QElapsedTimer timer;
            timer.start();
            if (direct_sync::Download(*session, Direct().account(), gDirectRoot) != kMembers)
                return state.SkipWithError("not every member came directly");
            direct += timer.elapsed() / 1000.0;
        }
        bench_support::UseBookFolder(QStringLiteral("empty %1").arg(state.iterations()));
        LogOn();
        Cls数据操作 ops;
        bench_support::ResetPeak();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        if (ops.DownLoad_All(gUploadedRoot) != kMembers) return state.SkipWithError("not every member came");
        download += timer.restart() / 1000.0;
        QString error;
        if (ops.DaReLoad(member_exchange::StagingPath(), &error) != 0)
            return state.SkipWithError(error.toStdString().c_str());
        merge += timer.elapsed() / 1000.0;
        if (ops.TotalRecnNum() != kMembers) return state.SkipWithError("the book misses members");
    }
    state.counters["download_s"] = download / double(state.iterations());
    state.counters["merge_s"] = merge / double(state.iterations());
    state.counters["direct_download_s"] = direct / double(state.iterations());
    state.counters["download_ratio"] = download / direct;
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}

BENCHMARK(BM_UploadBranch)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_DownloadAndMerge)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

QENTARA_BENCHMARK_MAIN()
