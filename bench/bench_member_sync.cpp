// Member sync through a community server of its own: the upload of a 10,000-member branch with a page per
// member and 2,000 pictures of 50 KB, then the whole-tree download of that branch into an empty book
// and its merge. The server is a database of this run on the PostgreSQL cluster the environment names
// (PGHOST, PGPORT, PGUSER, PGPASSWORD): run it under pg_virtualenv. Without one it reports an error.
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include "bench_support.h"
#include "book_generator.h"
#include "frame/server_connection.h"
#include "online/member_exchange.h"
#include "online/user_record.h"
#include "pages/schema_loader.h"
#include "platform/pg/pg_command.h"
#include "platform/settings_store.h"
#include "store/data_ops.h"

namespace {

constexpr int kMembers = 10000;
constexpr int kPictures = 2000;
constexpr int kPictureBytes = 50 * 1024;
constexpr qint32 kBranch = 1;

// The environment's cluster as its superuser: libpq takes PGHOST and the rest for what is left empty.
PgParams Superuser(const QString& dbname) {
    PgParams params;
    params.dbname = dbname;
    return params;
}

// A server database of this run, loaded with the schema and reached by the program's "server_db"
// setting (in a settings folder of the run's own), with one account open to everybody.
class BenchServer {
public:
    BenchServer() : dbname_(QStringLiteral("qnt_bench_%1").arg(QCoreApplication::applicationPid())) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
        if (qEnvironmentVariableIsEmpty("PGHOST")) {
            error_ = "no PostgreSQL cluster: run under pg_virtualenv";
            return;
        }
        auto admin = PgConnection::Open(Superuser(QStringLiteral("postgres")));
        if (!admin ||
            !admin->exec(QStringLiteral("CREATE DATABASE ") + PgConnection::QuoteIdentifier(dbname_)).ok) {
            error_ = "cannot create the server database";
            return;
        }
        created_ = true;
        auto owner = PgConnection::Open(Superuser(dbname_));
        if (!owner || !LoadServerSchema(*owner).isEmpty()) {
            error_ = "cannot load the server schema";
            return;
        }
        SaveSetting(QStringLiteral("server_db"), QStringLiteral("%%") + dbname_);
        auto db = PgConnection::Open(ServerDbParams());
        PgCommand cmd(db.get());
        cmd.SetCommandText(QStringLiteral("sp_trylogon"));
        cmd.SetValue(QStringLiteral("@z_user_no"), QStringLiteral("bench"));
        cmd.SetValue(QStringLiteral("@z_pswd"), QStringLiteral("digest"));
        cmd.SetValue(QStringLiteral("@z_pswd2"), QStringLiteral("digest2"));
        cmd.SetValue(QStringLiteral("@z_right"), 1);
        cmd.SetValue(QStringLiteral("@z_nick"), QStringLiteral("基准"));
        cmd.SetValue(QStringLiteral("@z_logon_type"), 1);
        cmd.Execute();
        account_ = cmd.Value(QStringLiteral("@z_acc_id")).toInt();
    }
    ~BenchServer() {
        ServerConnection().reset();
        if (!created_) return;
        if (auto admin = PgConnection::Open(Superuser(QStringLiteral("postgres"))))
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + PgConnection::QuoteIdentifier(dbname_) +
                        QStringLiteral(" WITH (FORCE)"));
    }
    const std::string& error() const { return error_; }
    qint32 account() const { return account_; }

private:
    QTemporaryDir settings_;
    QString dbname_;
    std::string error_;
    bool created_ = false;
    qint32 account_ = 0;
};

BenchServer& Server() {
    static BenchServer server;
    return server;
}

void LogOn() {
    App().CurrentUser = std::make_shared<Cls_User>();
    App().CurrentUser->acc_id = Server().account();
    App().CurrentUser->Logoned = true;
}

// The server id of the uploaded branch's root; 0 until the upload has run.
qint32 gUploadedRoot = 0;

void BM_UploadBranch(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    for (auto _ : state) {
        state.PauseTiming();
        bench_support::UseBookFolder(state.iterations());  // a book never uploaded, each time
        {
            dao::Database db = dao::Database::Open(DataDbPath(), BookDbPassword());
            book_generator::GenerateBook(db, kMembers, 20240601u);
        }
        bench_support::AddPagesAndPictures(kMembers, kPictures, kPictureBytes);
        Cls数据操作 ops;
        bench_support::MarkWholeBook(ops, kBranch);
        LogOn();
        bench_support::ResetPeak();
        state.ResumeTiming();
        if (ops.UpLoad_All(kBranch) != kMembers) return state.SkipWithError("not every member went up");
        gUploadedRoot = ops.GetSql_Id(book_generator::BookMemberName(0));
    }
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
    state.counters["members/s"] =
        benchmark::Counter(double(kMembers) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_DownloadAndMerge(benchmark::State& state) {
    if (gUploadedRoot == 0) return state.SkipWithError("the upload did not run");
    double download = 0, merge = 0;
    for (auto _ : state) {
        state.PauseTiming();
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
    state.counters["peak_MB"] = bench_support::PeakMegabytes();
}

BENCHMARK(BM_UploadBranch)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_DownloadAndMerge)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

QENTARA_BENCHMARK_MAIN()
