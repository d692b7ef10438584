// What a few requests can take from everybody else, through the door in front of a page service that runs
// as its own process (qentara_server, as `./dev server` runs it): normal requests beside batches of costly
// readings that their callers drop after half a second and batches that their callers hold, and sixteen
// bodies of 20 MB with 1.4 million keys each at once, with the service's memory afterwards. Each figure
// comes with the load average at its start. Run under pg_virtualenv (./dev bench does).
#include <benchmark/benchmark.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "bench_server.h"
#include "bench_support.h"
#include "door_client.h"

namespace {

using door_client::Connection;
using door_client::MillisecondsSince;
using Clock = std::chrono::steady_clock;
using bench_server::Authority;
using bench_server::Json;
using bench_server::LabelWithLoad;
using bench_server::Percentile;

constexpr int kTreeMembers = 5000;
constexpr int kTreeRoot = 900000;
constexpr int kReadingsEach = 100;
constexpr int kDroppers = 40;
constexpr int kHolders = 32;  // eight from each of four addresses
constexpr int kBodyKeys = 1400000;

// The page service as a process of its own on the benchmark's database, and the door in front of it.
class ServiceProcess {
public:
    explicit ServiceProcess(bench_server::BenchServer& server) {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        // What it says of failures (a cancelled statement each time a caller hangs up) goes to a file: a
        // pipe nobody reads would stop it once full.
        process_.setStandardErrorFile(log_.filePath(QStringLiteral("pages.log")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGPASSWORD"), bench_server::kPagesPassword);
        process_.setProcessEnvironment(environment);
        const PgParams params = server.pagesParams();
        process_.start(QStringLiteral(QENTARA_SERVER_PROGRAM),
                       {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet"),
                        QStringLiteral("--door-address"), QStringLiteral("127.0.0.1"), QStringLiteral("--db-host"),
                        qEnvironmentVariable("PGHOST"), QStringLiteral("--db-port"), qEnvironmentVariable("PGPORT"),
                        QStringLiteral("--db-name"), params.dbname, QStringLiteral("--db-user"), params.user});
        static const QRegularExpression listening(QStringLiteral("on http://127\\.0\\.0\\.1:(\\d+)"));
        QByteArray said;
        while (process_.waitForReadyRead(10000)) {
            said += process_.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(said));
            if (match.hasMatch()) {
                port_ = match.captured(1).toInt();
                break;
            }
        }
        if (port_ == 0) {
            error_ = "the page service did not start: " + process_.readAllStandardError().toStdString();
            return;
        }
        if (const QString failure = door_.start({port_}); !failure.isEmpty()) error_ = failure.toStdString();
    }
    ~ServiceProcess() {
        door_.stop();
        process_.terminate();
        if (!process_.waitForFinished(10000)) process_.kill();
    }

    const std::string& error() const { return error_; }
    int doorPort() const { return door_.port(); }
    // The service's resident memory now, in MB.
    double residentMb() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
        if (!status.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
        return -1;
    }

private:
    QTemporaryDir log_;
    QProcess process_;
    TestDoor door_;
    int port_ = 0;
    std::string error_;
};

bench_server::BenchServer& Server() {
    static bench_server::BenchServer server(QStringLiteral("bounds"));
    return server;
}

ServiceProcess& Service() {
    static ServiceProcess service(Server());
    return service;
}

// Registers an account open to the world; its credential, *account its id.
std::string Register(const QString& number, qint32* account) {
    Connection door;
    if (!door.open(Service().doorPort(), "127.0.0.1", Authority())) return {};
    const door_client::Answer answer = door.post(
        "/door/logon",
        Json({{QStringLiteral("procedure"), QStringLiteral("sp_trylogon")},
              {QStringLiteral("values"), QJsonObject{{QStringLiteral("@z_user_no"), number},
                                                     {QStringLiteral("@z_pswd"), QStringLiteral("digest")},
                                                     {QStringLiteral("@z_pswd2"), QStringLiteral("digest2")},
                                                     {QStringLiteral("@z_nick"), QStringLiteral("基准")},
                                                     {QStringLiteral("@z_right"), QStringLiteral("1")},
                                                     {QStringLiteral("@z_logon_type"), QStringLiteral("1")}}}}));
    const QJsonObject reply = QJsonDocument::fromJson(QByteArray::fromStdString(answer.body)).object();
    *account = reply.value(QStringLiteral("out")).toObject().value(QStringLiteral("@z_acc_id")).toInt();
    return reply.value(QStringLiteral("credential")).toString().toStdString();
}

// A batch of readings of the whole 5,000-member tree, without a credential, as anybody may send it.
std::string CostlyBatch() {
    QJsonArray calls;
    for (int i = 0; i < kReadingsEach; ++i)
        calls.append(QJsonObject{
            {QStringLiteral("procedure"), QStringLiteral("sp_GnSeekList2")},
            {QStringLiteral("values"), QJsonObject{{QStringLiteral("@myacc_id"), QStringLiteral("0")},
                                                    {QStringLiteral("@myboy_id"), QString::number(kTreeRoot)}}}});
    return Json({{QStringLiteral("calls"), calls}});
}

// The POST of a body, written whole.
std::string PostOf(const std::string& path, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A logged-on user's reading of one member from an address of its own, beside 40 callers from one address
// that send a batch of 100 readings of a 5,000-member tree and hang up after half a second, again and
// again, and 32 callers from four addresses that send such batches and wait for the answers, again and
// again. The figure is the user's time.
void BM_NormalRequestBesideDroppedAndHeldBatches(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    if (!Service().error().empty()) return state.SkipWithError(Service().error().c_str());
    qint32 owner = 0;
    const std::string credential = Register(QStringLiteral("tree-owner"), &owner);
    if (credential.empty()) return state.SkipWithError("no account");
    const PgResult planted = Server().admin().exec(
        QStringLiteral("INSERT INTO members (filial_id, filial, sent_name, father_id, myacc_id) "
                       "SELECT $1 + n, '树' || n, '树' || n, CASE WHEN n = 0 THEN NULL ELSE $1 + (n - 1) / 3 END, "
                       "$2 FROM generate_series(0, $3 - 1) n"),
        {kTreeRoot, owner, kTreeMembers});
    if (!planted.ok) return state.SkipWithError(planted.error.toStdString().c_str());
    Server().admin().exec(QStringLiteral("ANALYZE members"));
    const std::string batch = PostOf("/door/calls", CostlyBatch());

    LabelWithLoad(state);
    std::atomic<bool> running{true};
    std::atomic<int> dropped{0}, heldAnswered{0}, heldBusy{0}, heldRefused{0};
    std::vector<std::thread> costly;
    for (int i = 0; i < kDroppers; ++i)
        costly.emplace_back([&] {
            while (running) {
                Connection door;
                if (!door.open(Service().doorPort(), "127.0.7.1", Authority()) || !door.write(batch)) continue;
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                ++dropped;
            }
        });
    for (int i = 0; i < kHolders; ++i)
        costly.emplace_back([&, i] {
            const std::string source = "127.0.8." + std::to_string(1 + i % 4);
            Connection door;
            while (running) {
                if (!door.open(Service().doorPort(), source, Authority(), 120)) continue;
                const door_client::Answer answer = door.post("/door/calls", CostlyBatch());
                if (answer.status == 200)
                    ++heldAnswered;
                else if (answer.status == 503)
                    ++heldBusy;
                else
                    ++heldRefused;
            }
        });
    // Until the costly work has taken what it can.
    std::this_thread::sleep_for(std::chrono::seconds(5));

    Connection user;
    if (!user.open(Service().doorPort(), "127.0.9.1", Authority()))
        return state.SkipWithError("no connection for the user");
    const std::string reading =
        Json({{QStringLiteral("procedure"), QStringLiteral("sp_Getzpdata2")},
              {QStringLiteral("key"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
              {QStringLiteral("values"), QJsonObject{{QStringLiteral("@z_filial_id"), QString::number(kTreeRoot + 7)}}}});
    std::vector<double> times;
    int failed = 0;
    double busiest = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const door_client::Answer answer = user.post("/door/call", reading, credential);
        const double ms = MillisecondsSince(start);
        if (answer.status != 200) ++failed;
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
        busiest = std::max(busiest, Server()
                                        .admin()
                                        .exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                                                             "usename = 'qntzp_pages' AND state = 'active'"))
                                        .rows.value(0)
                                        .value(0)
                                        .toDouble());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    running = false;
    for (std::thread& t : costly) t.join();
    state.counters["failed"] = failed;
    state.counters["p50_ms"] = Percentile(times, 0.50);
    state.counters["worst_ms"] = Percentile(times, 1.0);
    state.counters["costly_statements_at_once"] = busiest;
    state.counters["batches_dropped"] = dropped.load();
    state.counters["held_batches_answered"] = heldAnswered.load();
    state.counters["held_batches_busy_503"] = heldBusy.load();
    state.counters["held_batches_refused"] = heldRefused.load();
    if (failed > 0) state.SkipWithError("the user was refused");
}

// Calls at once (one, then sixteen), each a body of 20 MB naming 1.4 million values, each from an address
// of its own: the time of each, from its first byte to its answer, and the service's memory afterwards.
void BM_BodiesOfManyKeys(benchmark::State& state) {
    const int bodies = int(state.range(0));
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    if (!Service().error().empty()) return state.SkipWithError(Service().error().c_str());
    std::string values;
    values.reserve(size_t(kBodyKeys) * 16);
    for (int k = 0; k < kBodyKeys; ++k) values += (k ? ",\"k" : "\"k") + std::to_string(1000000 + k) + "\":\"1\"";
    const std::string body =
        PostOf("/door/call", R"({"procedure":"sp_Getzpdata2","key":"k","values":{)" + values + "}}");
    values.clear();
    state.counters["body_mb"] = double(body.size()) / (1024 * 1024);
    state.counters["rss_before_mb"] = Service().residentMb();
    LabelWithLoad(state);
    std::vector<double> times;
    int refused = 0, other = 0;
    for (auto _ : state) {
        std::latch ready(bodies + 1);
        std::vector<double> mine(bodies, 0);
        std::vector<int> statuses(bodies, 0);
        std::vector<std::thread> senders;
        for (int i = 0; i < bodies; ++i)
            senders.emplace_back([&, i] {
                Connection door;
                const bool open = door.open(Service().doorPort(), "127.0.10." + std::to_string(i + 1), Authority());
                ready.arrive_and_wait();
                if (!open) return;
                const auto start = Clock::now();
                const door_client::Answer answer = door.send(body);
                mine[size_t(i)] = MillisecondsSince(start);
                statuses[size_t(i)] = answer.status;
            });
        ready.arrive_and_wait();
        for (std::thread& t : senders) t.join();
        for (int i = 0; i < bodies; ++i) {
            times.push_back(mine[size_t(i)]);
            if (statuses[size_t(i)] >= 400 && statuses[size_t(i)] < 500)
                ++refused;
            else
                ++other;
        }
        state.SetIterationTime(*std::max_element(mine.begin(), mine.end()) / 1000);
    }
    // What the service keeps once the bodies are gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    state.counters["rss_after_mb"] = Service().residentMb();
    state.counters["p50_ms"] = Percentile(times, 0.50);
    state.counters["worst_ms"] = Percentile(times, 1.0);
    state.counters["refused_4xx"] = refused;
    if (other > 0) state.SkipWithError("a body was not refused");
}

BENCHMARK(BM_NormalRequestBesideDroppedAndHeldBatches)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100);
BENCHMARK(BM_BodiesOfManyKeys)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

QENTARA_BENCHMARK_MAIN()
