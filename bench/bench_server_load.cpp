// The community server under load, through the program's procedures and pages: twenty clients uploading
// 1,000 members each at the same moment (all with the same names, then each with names of its own),
// 1,000 colliding names on a server that holds 100,000 members more, 1,000 page requests at once, and
// one request beside 100 connections that send nothing. Each figure comes with the load average at its
// start. Run under pg_virtualenv (./dev bench does).
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "bench_server.h"
#include "bench_support.h"
#include "pages/page_service.h"
#include "platform/door/server_error.h"

namespace {

constexpr int kClients = 20;
constexpr int kMembersEach = 1000;
constexpr int kFillerMembers = 100000;
constexpr int kParallelRequests = 1000;
constexpr int kIdleConnections = 100;

bench_server::BenchServer& Server() {
    static bench_server::BenchServer server(QStringLiteral("load"));
    return server;
}

void LabelWithLoad(benchmark::State& state) {
    QFile file(QStringLiteral("/proc/loadavg"));
    const QByteArray load =
        file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : "?";
    state.SetLabel("load " + load.toStdString());
}

// sp_savezpdata2 as the upload sends a member: a son of `father`, the particulars of a plain member.
void SaveMember(ServerCommand& cmd, qint32 account, const QString& name, const QString& father) {
    cmd.SetCommandText(QStringLiteral("sp_savezpdata2"));
    cmd.SetValue(QStringLiteral("@z_accid"), account);
    cmd.SetValue(QStringLiteral("@z_filial_id"), 0);
    cmd.SetValue(QStringLiteral("@z_father"), father);
    cmd.SetValue(QStringLiteral("@z_filial"), name);
    cmd.SetValue(QStringLiteral("@z_mother"), QStringLiteral("某氏"));
    cmd.SetValue(QStringLiteral("@z_Boy_Sex"), true);
    cmd.SetValue(QStringLiteral("@z_boy_active"), false);
    cmd.SetValue(QStringLiteral("@z_Mother_active"), false);
    for (const char* text :
         {"@z_boy_birthday", "@z_boy_death", "@z_mother_birthday", "@z_mother_death", "@z_mother_folk",
          "@z_m_education", "@z_m_position", "@z_boy_folk", "@z_boy_education", "@z_boy_position"})
        cmd.SetValue(QString::fromLatin1(text), QString());
    cmd.SetValue(QStringLiteral("@z_c_jc_w_z_h"), QStringLiteral("%%%%%"));
    cmd.SetValue(QStringLiteral("@z_boy_sort"), 1);
    cmd.SetValue(QStringLiteral("@z_boy_right"), 0);
    cmd.Execute();
}

struct Uploads {
    double seconds = 0;
    int failedClients = 0;
    QString firstError;
};

// Clients that each log on with an account of their own, wait for the others, then upload a branch of
// `members` members (member i the son of member (i-1)/3) named name(client, i), one call per member.
Uploads UploadAtOnce(const QString& run, int clients, int members,
                     const std::function<QString(int client, int i)>& name) {
    std::latch ready(clients + 1), go(1);
    std::vector<QString> errors(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            auto db = bench_server::OpenConnection();
            ServerCommand cmd(db.get());
            qint32 account = 0;
            try {
                if (db) account = bench_server::LogOn(cmd, QStringLiteral("%1-%2").arg(run).arg(c));
            } catch (const ServerError& e) {
                errors[size_t(c)] = e.Description();
            }
            ready.arrive_and_wait();
            go.wait();
            if (account == 0) {
                if (errors[size_t(c)].isEmpty()) errors[size_t(c)] = QStringLiteral("no log-on");
                return;
            }
            try {
                for (int i = 0; i < members; ++i)
                    SaveMember(cmd, account, name(c, i), i == 0 ? QString() : name(c, (i - 1) / 3));
            } catch (const ServerError& e) {
                errors[size_t(c)] = e.Description();
            }
        });
    ready.arrive_and_wait();
    QElapsedTimer clock;
    clock.start();
    go.count_down();
    for (std::thread& t : threads) t.join();
    Uploads result;
    result.seconds = clock.nsecsElapsed() / 1e9;
    for (const QString& error : errors)
        if (!error.isEmpty()) {
            ++result.failedClients;
            if (result.firstError.isEmpty()) result.firstError = error;
        }
    return result;
}

void ReportUploads(benchmark::State& state, const Uploads& uploads) {
    state.SetIterationTime(uploads.seconds);
    state.counters["failed_clients"] = uploads.failedClients;
    if (uploads.failedClients > 0) state.SkipWithError(uploads.firstError.toStdString().c_str());
}

void BM_TwentyClientsSameNames(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    for (auto _ : state)
        ReportUploads(state,
                      UploadAtOnce(QStringLiteral("same%1").arg(state.iterations()), kClients, kMembersEach,
                                   [](int, int i) { return QStringLiteral("同名成员%1").arg(i); }));
    state.counters["members/s"] =
        benchmark::Counter(double(kClients) * kMembersEach * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_TwentyClientsDistinctNames(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    for (auto _ : state) {
        const QString run = QStringLiteral("own%1").arg(state.iterations());
        ReportUploads(state, UploadAtOnce(run, kClients, kMembersEach, [run](int c, int i) {
                          return QStringLiteral("%1客%2成员%3").arg(run).arg(c).arg(i);
                      }));
    }
    state.counters["members/s"] =
        benchmark::Counter(double(kClients) * kMembersEach * state.iterations(), benchmark::Counter::kIsRate);
}

// 100,000 members more, of one account: 1,000 names a hundred times over, numbered as uploads number
// them. One client then uploads those 1,000 names again.
void BM_CollidingNamesOnAFullServer(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    static bool filled = false;
    if (!filled) {
        auto db = bench_server::OpenConnection();
        ServerCommand cmd(db.get());
        const qint32 filler = bench_server::LogOn(cmd, QStringLiteral("filler"));
        const PgResult inserted = Server().admin().exec(
            QStringLiteral(
                "INSERT INTO members (filial, name_no, sent_name, myacc_id) "
                "SELECT CASE WHEN k = 0 THEN '满员' || n ELSE '满员' || n || '(' || (k + 1) || ')' END, "
                "CASE WHEN k = 0 THEN 0 ELSE k + 1 END, '满员' || n, $1 "
                "FROM generate_series(0, 999) n, generate_series(0, $2 / 1000 - 1) k"),
            {filler, kFillerMembers});
        if (!inserted.ok) return state.SkipWithError(inserted.error.toStdString().c_str());
        Server().admin().exec(QStringLiteral("ANALYZE members"));
        filled = true;
    }
    LabelWithLoad(state);
    for (auto _ : state)
        ReportUploads(state, UploadAtOnce(QStringLiteral("full%1").arg(state.iterations()), 1, kMembersEach,
                                          [](int, int i) { return QStringLiteral("满员%1").arg(i); }));
    state.counters["members_on_server"] = Server()
                                              .admin()
                                              .exec(QStringLiteral("SELECT count(*) FROM members"))
                                              .rows.value(0)
                                              .value(0)
                                              .toDouble();
}

// The page service of the run, on a free port.
PageService& Pages() {
    return Server().pages();
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One page request on a connection of its own: the status, 0 when none came.
int Get(int port, const char* target) {
    const int fd = Connect(port);
    if (fd < 0) return 0;
    const std::string request =
        std::string("GET ") + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
        ::close(fd);
        return 0;
    }
    std::string reply;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, size_t(got));
    ::close(fd);
    return reply.compare(0, 9, "HTTP/1.1 ") == 0 ? std::atoi(reply.c_str() + 9) : 0;
}

const char kPage[] = "/flsh2/getright.asp?accid=1";

void BM_ThousandPageRequestsAtOnce(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    int failed = 0;
    for (auto _ : state) {
        std::latch go(1);
        std::atomic<int> notOk{0};
        std::vector<std::thread> clients;
        for (int i = 0; i < kParallelRequests; ++i)
            clients.emplace_back([&] {
                go.wait();
                if (Get(Pages().port(), kPage) != 200) ++notOk;
            });
        QElapsedTimer clock;
        clock.start();
        go.count_down();
        for (std::thread& t : clients) t.join();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        failed += notOk;
    }
    state.counters["not_200"] = failed;
    state.counters["requests/s"] =
        benchmark::Counter(double(kParallelRequests) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_RequestBesideHundredIdleConnections(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    std::vector<int> idle;
    for (int i = 0; i < kIdleConnections; ++i) idle.push_back(Connect(Pages().port()));
    int failed = 0;
    double worst = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (Get(Pages().port(), kPage) != 200) ++failed;
        const double seconds = clock.nsecsElapsed() / 1e9;
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
    }
    for (int fd : idle)
        if (fd >= 0) ::close(fd);
    state.counters["not_200"] = failed;
    state.counters["worst_ms"] = worst * 1000;
}

BENCHMARK(BM_TwentyClientsSameNames)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_TwentyClientsDistinctNames)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_CollidingNamesOnAFullServer)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ThousandPageRequestsAtOnce)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
// Well inside the idle connections' time-out, so that every request meets all of them.
BENCHMARK(BM_RequestBesideHundredIdleConnections)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);

}  // namespace

QENTARA_BENCHMARK_MAIN()
