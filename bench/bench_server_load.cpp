// The community server under load, through its door (nginx with TLS) as a clan's server runs it: 1,000
// clients each logging on and making 20 calls at once; normal requests beside 600 connections that
// trickle their headers in and 600 that send nothing; other clients beside one client whose 100
// connections each run the costliest call; twenty clients uploading 1,000 members each (the same names,
// then names of their own); 1,000 colliding names on a server that holds 100,000 members more; clients
// guessing one account's password, and a right log-on. Each
// client comes from an address of its own (127.1.x.y) as the door sees it. Each figure comes with the
// load average at its start. Run under pg_virtualenv (./dev bench does).
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <latch>
#include <mutex>
#include <thread>
#include <vector>

#include "bench_server.h"
#include "bench_support.h"
#include "door_client.h"

namespace {

using door_client::Connection;
using door_client::MillisecondsSince;
using door_client::SourceAddress;
using Clock = std::chrono::steady_clock;
using bench_server::Authority;
using bench_server::Json;
using bench_server::LabelWithLoad;
using bench_server::Percentile;

constexpr int kLogOnClients = 1000;
constexpr int kCallsEach = 20;
constexpr int kUploadClients = 20;
constexpr int kMembersEach = 1000;
constexpr int kFillerMembers = 100000;
constexpr int kSlowConnections = 600;
constexpr int kIdleConnections = 600;
constexpr int kGreedyConnections = 100;
constexpr int kPictureBytes = 12 * 1024 * 1024 - 1;

bench_server::BenchServer& Server() {
    static bench_server::BenchServer server(QStringLiteral("load"));
    static const QString door = server.error().empty() ? server.startDoor() : QString();
    if (!door.isEmpty()) qFatal("the door did not start: %s", qPrintable(door));
    return server;
}

int DoorPort() {
    return Server().door()->port();
}

QJsonObject Parse(const std::string& body) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

std::string Call(const char* procedure, const QJsonObject& values) {
    return Json({{QStringLiteral("procedure"), QString::fromLatin1(procedure)},
                 {QStringLiteral("key"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                 {QStringLiteral("values"), values}});
}

// A log-on (a registration the first time) on the connection; the credential, "" when refused.
std::string LogOn(Connection& door, const QString& number, qint32* account = nullptr) {
    const door_client::Answer answer = door.post(
        "/door/logon", Call("sp_trylogon", {{QStringLiteral("@z_user_no"), number},
                                            {QStringLiteral("@z_pswd"), QStringLiteral("digest")},
                                            {QStringLiteral("@z_pswd2"), QStringLiteral("digest2")},
                                            {QStringLiteral("@z_nick"), QStringLiteral("基准")},
                                            {QStringLiteral("@z_right"), QStringLiteral("1")},
                                            {QStringLiteral("@z_logon_type"), QStringLiteral("1")}}));
    const QJsonObject reply = Parse(answer.body);
    if (account)
        *account = reply.value(QStringLiteral("out")).toObject().value(QStringLiteral("@z_acc_id")).toInt();
    return reply.value(QStringLiteral("credential")).toString().toStdString();
}

// sp_savezpdata2 as the upload sends a member: a son of `father`, the particulars of a plain member.
QJsonObject MemberValues(qint32 account, const QString& name, const QString& father) {
    return {{QStringLiteral("@z_accid"), QString::number(account)},
            {QStringLiteral("@z_filial_id"), QStringLiteral("0")},
            {QStringLiteral("@z_father"), father},
            {QStringLiteral("@z_filial"), name},
            {QStringLiteral("@z_mother"), QStringLiteral("某氏")},
            {QStringLiteral("@z_Boy_Sex"), QStringLiteral("true")},
            {QStringLiteral("@z_boy_active"), QStringLiteral("false")},
            {QStringLiteral("@z_Mother_active"), QStringLiteral("false")},
            {QStringLiteral("@z_c_jc_w_z_h"), QStringLiteral("%%%%%")},
            {QStringLiteral("@z_boy_sort"), QStringLiteral("1")},
            {QStringLiteral("@z_boy_right"), QStringLiteral("0")}};
}

// The server id a save answered; 0 when it failed.
qint32 SavedId(const door_client::Answer& answer) {
    if (answer.status != 200) return 0;
    return Parse(answer.body)
        .value(QStringLiteral("out"))
        .toObject()
        .value(QStringLiteral("@z_filial_id"))
        .toInt();
}

// 1,000 clients, each on a connection and an address of its own, log on and make 20 calls at once:
// saves of members (a branch) and readings of them, in turn.
void BM_ThousandClientsLogOnAndMakeTwentyCalls(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    for (auto _ : state) {
        std::latch ready(kLogOnClients + 1), go(1);
        std::mutex mutex;
        std::vector<double> calls, logOns;
        std::atomic<int> failed{0};
        std::vector<std::thread> clients;
        const QString run = QUuid::createUuid().toString(QUuid::Id128).left(6);
        for (int c = 0; c < kLogOnClients; ++c)
            clients.emplace_back([&, c] {
                Connection door;
                const bool open = door.open(DoorPort(), SourceAddress(c), Authority());
                ready.arrive_and_wait();
                go.wait();
                std::vector<double> mine;
                auto start = Clock::now();
                qint32 account = 0;
                const std::string credential =
                    open ? LogOn(door, QStringLiteral("%1-%2").arg(run).arg(c), &account) : "";
                const double logOn = MillisecondsSince(start);
                if (credential.empty()) {
                    failed += kCallsEach + 1;
                    return;
                }
                qint32 last = 0;
                QString father;
                for (int i = 0; i < kCallsEach; ++i) {
                    start = Clock::now();
                    if (i % 2 == 0) {
                        const QString name = QStringLiteral("客%1成员%2").arg(c).arg(i);
                        last = SavedId(door.post("/door/call",
                                                 Call("sp_savezpdata2", MemberValues(account, name, father)),
                                                 credential));
                        father = name;
                        if (last == 0) ++failed;
                    } else {
                        const door_client::Answer read = door.post(
                            "/door/call",
                            Call("sp_Getzpdata2", {{QStringLiteral("@z_filial_id"), QString::number(last)}}),
                            credential);
                        if (read.status != 200) ++failed;
                    }
                    mine.push_back(MillisecondsSince(start));
                }
                std::lock_guard lock(mutex);
                calls.insert(calls.end(), mine.begin(), mine.end());
                logOns.push_back(logOn);
            });
        ready.arrive_and_wait();
        QElapsedTimer clock;
        clock.start();
        go.count_down();
        for (std::thread& t : clients) t.join();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        state.counters["failed_calls"] = failed.load();
        state.counters["calls_p50_ms"] = Percentile(calls, 0.50);
        state.counters["calls_p99_ms"] = Percentile(calls, 0.99);
        state.counters["logon_p50_ms"] = Percentile(logOns, 0.50);
        state.counters["logon_p99_ms"] = Percentile(logOns, 0.99);
        if (failed > 0) state.SkipWithError("not every call was answered");
    }
    state.counters["calls/s"] = benchmark::Counter(
        double(kLogOnClients) * (kCallsEach + 1) * state.iterations(), benchmark::Counter::kIsRate);
}

// A normal request on a new TLS connection, its time in milliseconds; -1 when it failed.
double NormalRequest(const std::string& source) {
    const auto start = Clock::now();
    Connection door;
    if (!door.open(DoorPort(), source, Authority())) return -1;
    // A page anybody may ask (the level page answers only a proven account): no association 1, "".
    const door_client::Answer answer = door.request("GET", "/flsh2/getgroupdetail.asp?gid=1");
    return answer.status == 200 && answer.body.empty() ? MillisecondsSince(start) : -1;
}

// 600 connections that send one header line every 2 s, and 600 that send nothing, all open; normal
// requests meanwhile, each on a new connection of its own.
void BM_NormalRequestBesideSlowAndIdleConnections(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    std::vector<std::unique_ptr<Connection>> slow, idle;
    for (int i = 0; i < kSlowConnections; ++i) {
        slow.push_back(std::make_unique<Connection>());
        if (!slow.back()->open(DoorPort(), SourceAddress(i), Authority()) ||
            !slow.back()->write("GET /data/newver.txt HTTP/1.1\r\nHost: 127.0.0.1\r\n"))
            return state.SkipWithError("a slow connection did not open");
    }
    for (int i = 0; i < kIdleConnections; ++i) {
        idle.push_back(std::make_unique<Connection>());
        if (!idle.back()->openIdle(DoorPort(), SourceAddress(kSlowConnections + i)))
            return state.SkipWithError("an idle connection did not open");
    }
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        for (int line = 0; trickling; ++line) {
            for (auto& c : slow) c->write("X-Slow-" + std::to_string(line) + ": x\r\n");
            for (int i = 0; i < 20 && trickling; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::vector<double> times;
    int failed = 0;
    for (auto _ : state) {
        const double ms = NormalRequest("127.0.0.1");
        if (ms < 0) ++failed;
        times.push_back(std::max(ms, 0.0));
        state.SetIterationTime(std::max(ms, 0.0) / 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    trickling = false;
    trickle.join();
    state.counters["failed"] = failed;
    state.counters["p50_ms"] = Percentile(times, 0.50);
    state.counters["worst_ms"] = Percentile(times, 1.0);
}

// One client (one address) holds 100 connections, each downloading a picture of 12 MB again and again
// (the heaviest answer the server gives); other clients meanwhile read members, each call timed.
void BM_OtherClientsBesideOneWithAHundredCostlyCalls(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    static std::string credential;
    static qint32 account = 0, member = 0;
    if (credential.empty()) {
        Connection door;
        if (!door.open(DoorPort(), "127.0.0.1", Authority()))
            return state.SkipWithError("no connection to the door");
        credential = LogOn(door, QStringLiteral("greedy"), &account);
        member = SavedId(door.post("/door/call",
                                   Call("sp_savezpdata2", MemberValues(account, QStringLiteral("大图"), {})),
                                   credential));
        QByteArray picture(kPictureBytes, 'p');
        const door_client::Answer saved = door.post(
            "/door/call",
            Call("sp_saveimage",
                 {{QStringLiteral("@z_filial"), QStringLiteral("大图")},
                  {QStringLiteral("@z_imgpath"), QStringLiteral("a.jpg")},
                  {QStringLiteral("@z_myimage"),
                   QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(picture.toBase64())}}}}),
            credential);
        if (member == 0 || saved.status != 200) return state.SkipWithError("the picture was not stored");
    }
    LabelWithLoad(state);
    const std::string costly = Call("sp_GetImage", {{QStringLiteral("@z_filial"), QStringLiteral("大图")}});
    std::atomic<bool> running{true};
    std::atomic<int> served{0}, refused{0};
    std::vector<std::thread> greedy;
    for (int i = 0; i < kGreedyConnections; ++i)
        greedy.emplace_back([&] {
            Connection door;
            if (!door.open(DoorPort(), "127.0.0.200", Authority())) return;
            while (running) {
                const door_client::Answer answer = door.post("/door/call", costly, credential);
                if (answer.status == 200)
                    ++served;
                else if (answer.status == 429)
                    ++refused;
                if (answer.status == 0 && !door.open(DoorPort(), "127.0.0.200", Authority())) return;
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<double> times;
    int failed = 0;
    Connection other;
    if (!other.open(DoorPort(), "127.0.0.100", Authority())) return state.SkipWithError("no connection");
    const std::string reading =
        Call("sp_Getzpdata2", {{QStringLiteral("@z_filial_id"), QString::number(member)}});
    for (auto _ : state) {
        const auto start = Clock::now();
        const door_client::Answer answer = other.post("/door/call", reading, credential);
        const double ms = MillisecondsSince(start);
        if (answer.status != 200) ++failed;
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    running = false;
    for (std::thread& t : greedy) t.join();
    state.counters["failed"] = failed;
    state.counters["p50_ms"] = Percentile(times, 0.50);
    state.counters["worst_ms"] = Percentile(times, 1.0);
    state.counters["costly_served"] = served.load();
    state.counters["costly_refused_429"] = refused.load();
}

struct Uploads {
    double seconds = 0;
    int failedClients = 0;
    std::string firstError;
};

// Clients that each log on with an account of their own, wait for the others, then upload a branch of
// `members` members (member i the son of member (i-1)/3) named name(client, i), one call per member.
Uploads UploadAtOnce(const QString& run, int clients, int members,
                     const std::function<QString(int client, int i)>& name) {
    std::latch ready(clients + 1), go(1);
    std::vector<std::string> errors(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            Connection door;
            qint32 account = 0;
            std::string credential;
            if (door.open(DoorPort(), SourceAddress(c), Authority()))
                credential = LogOn(door, QStringLiteral("%1-%2").arg(run).arg(c), &account);
            ready.arrive_and_wait();
            go.wait();
            if (credential.empty()) {
                errors[size_t(c)] = "no log-on";
                return;
            }
            for (int i = 0; i < members; ++i) {
                const door_client::Answer answer = door.post(
                    "/door/call",
                    Call("sp_savezpdata2",
                         MemberValues(account, name(c, i), i == 0 ? QString() : name(c, (i - 1) / 3))),
                    credential);
                if (SavedId(answer) == 0) {
                    errors[size_t(c)] = answer.body.empty() ? "no answer" : answer.body;
                    return;
                }
            }
        });
    ready.arrive_and_wait();
    QElapsedTimer clock;
    clock.start();
    go.count_down();
    for (std::thread& t : threads) t.join();
    Uploads result;
    result.seconds = clock.nsecsElapsed() / 1e9;
    for (const std::string& error : errors)
        if (!error.empty()) {
            ++result.failedClients;
            if (result.firstError.empty()) result.firstError = error;
        }
    return result;
}

void ReportUploads(benchmark::State& state, const Uploads& uploads) {
    state.SetIterationTime(uploads.seconds);
    state.counters["failed_clients"] = uploads.failedClients;
    if (uploads.failedClients > 0) state.SkipWithError(uploads.firstError.c_str());
}

void BM_TwentyClientsSameNames(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    for (auto _ : state)
        ReportUploads(state, UploadAtOnce(QStringLiteral("same%1").arg(state.iterations()), kUploadClients,
                                          kMembersEach,
                                          [](int, int i) { return QStringLiteral("同名成员%1").arg(i); }));
    state.counters["members/s"] = benchmark::Counter(
        double(kUploadClients) * kMembersEach * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_TwentyClientsDistinctNames(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    LabelWithLoad(state);
    for (auto _ : state) {
        const QString run = QStringLiteral("own%1").arg(state.iterations());
        ReportUploads(state, UploadAtOnce(run, kUploadClients, kMembersEach, [run](int c, int i) {
                          return QStringLiteral("%1客%2成员%3").arg(run).arg(c).arg(i);
                      }));
    }
    state.counters["members/s"] = benchmark::Counter(
        double(kUploadClients) * kMembersEach * state.iterations(), benchmark::Counter::kIsRate);
}

// 100,000 members more, of one account: 1,000 names a hundred times over, numbered as uploads number
// them. One client then uploads those 1,000 names again.
void BM_CollidingNamesOnAFullServer(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    static bool filled = false;
    if (!filled) {
        Connection door;
        qint32 filler = 0;
        if (!door.open(DoorPort(), "127.0.0.1", Authority()) ||
            LogOn(door, QStringLiteral("filler"), &filler).empty())
            return state.SkipWithError("no log-on");
        // The rows are the administrator's, in bulk: without the time-out of a call, and without the
        // trigger that counts an account's members one row at a time (each count rewrote the account's
        // one row, so the insert slowed as it went); the count is set once afterwards.
        PgConnection& admin = Server().admin();
        const QList<PgConnection::Statement> bulk{
            {QStringLiteral("BEGIN"), {}, {}},
            {QStringLiteral("SET LOCAL statement_timeout = 0"), {}, {}},
            {QStringLiteral("ALTER TABLE members DISABLE TRIGGER members_usage"), {}, {}},
            {QStringLiteral(
                 "INSERT INTO members (filial, name_no, sent_name, myacc_id) "
                 "SELECT CASE WHEN k = 0 THEN '满员' || n ELSE '满员' || n || '(' || (k + 1) || ')' END, "
                 "CASE WHEN k = 0 THEN 0 ELSE k + 1 END, '满员' || n, $1::integer "
                 "FROM generate_series(0, 999) n, generate_series(0, $2::integer / 1000 - 1) k"),
             {filler, kFillerMembers},
             {}},
            {QStringLiteral("ALTER TABLE members ENABLE TRIGGER members_usage"), {}, {}},
            {QStringLiteral(
                 "INSERT INTO account_usage AS u (acc_id, members) VALUES ($1::integer, $2::integer) "
                 "ON CONFLICT (acc_id) DO UPDATE SET members = u.members + EXCLUDED.members"),
             {filler, kFillerMembers},
             {}},
            {QStringLiteral("COMMIT"), {}, {}}};
        for (const PgResult& r : admin.pipeline(bulk))
            if (!r.ok) {
                if (admin.inTransaction()) admin.rollback();
                return state.SkipWithError(r.error.toStdString().c_str());
            }
        admin.exec(QStringLiteral("ANALYZE members"));
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

// A log-on of one account with this digest; the account must exist.
std::string LogOnCall(const QString& number, const QString& digest) {
    return Call("sp_trylogon", {{QStringLiteral("@z_user_no"), number},
                                {QStringLiteral("@z_pswd"), digest},
                                {QStringLiteral("@z_pswd2"), QString()},
                                {QStringLiteral("@z_right"), QStringLiteral("0")},
                                {QStringLiteral("@z_logon_type"), QStringLiteral("0")}});
}

// Clients guessing one account's password as fast as the door answers them, each from an address of its
// own, for three minutes from the account's first wrong password: how many guesses were checked (answered
// "wrong") in each minute, refused unchecked by the account's delay, and refused by the door's limit on
// log-ons (after which a client pauses 100 ms, to spare the shared machine; the door's limit is per
// address and counts none of that).
void BM_WrongPasswordsAgainstOneAccount(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    const int clients = int(state.range(0));
    constexpr int kMinutes = 3;
    const QString number = QStringLiteral("guessed%1").arg(clients);
    {
        Connection door;
        if (!door.open(DoorPort(), "127.0.0.1", Authority()) || LogOn(door, number).empty())
            return state.SkipWithError("no account to guess");
    }
    LabelWithLoad(state);
    for (auto _ : state) {
        std::atomic<int> checked[kMinutes] = {}, delayed{0}, limited{0}, other{0};
        const auto start = Clock::now();
        const auto end = start + std::chrono::minutes(kMinutes);
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&, c] {
                const std::string source = "127.0.4." + std::to_string(c + 1);
                Connection door;
                int guess = 0;
                while (Clock::now() < end) {
                    if (!door.open(DoorPort(), source, Authority())) continue;
                    while (Clock::now() < end) {
                        const door_client::Answer answer =
                            door.post("/door/logon",
                                      LogOnCall(number, QStringLiteral("guess-%1-%2").arg(c).arg(++guess)));
                        const auto minute =
                            std::chrono::duration_cast<std::chrono::minutes>(Clock::now() - start);
                        if (answer.status == 200) {
                            ++checked[std::min<int>(int(minute.count()), kMinutes - 1)];
                        } else if (answer.status == 422 && answer.body.find("QN429") != std::string::npos) {
                            ++delayed;
                        } else if (answer.status == 429) {
                            ++limited;
                            std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        } else {
                            ++other;
                        }
                        if (answer.status == 0) break;
                    }
                }
            });
        for (std::thread& t : threads) t.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        for (int m = 0; m < kMinutes; ++m)
            state.counters["checked_min" + std::to_string(m + 1)] = checked[m].load();
        state.counters["delay_refused"] = delayed.load();
        state.counters["door_refused_429"] = limited.load();
        state.counters["other"] = other.load();
        if (other > 0) state.SkipWithError("answers other than a verdict or a refusal");
    }
    const PgResult grown = Server().admin().exec(
        QStringLiteral(
            "SELECT round(extract(epoch FROM next_try - last_failure)), failures FROM logon_failures f "
            "JOIN accounts a USING (acc_id) WHERE a.user_no = $1"),
        {number});
    state.counters["delay_s_now"] = grown.rows.value(0).value(0).toDouble();
    state.counters["failures"] = grown.rows.value(0).value(1).toDouble();
}

// A right log-on through the door on an open connection (bcrypt at cost 10 included), each from an
// address of its own as people log on.
void BM_RightLogOn(benchmark::State& state) {
    if (!Server().error().empty()) return state.SkipWithError(Server().error().c_str());
    const QString number = QStringLiteral("rightful");
    {
        Connection door;
        if (!door.open(DoorPort(), "127.0.0.1", Authority()) || LogOn(door, number).empty())
            return state.SkipWithError("no account");
    }
    LabelWithLoad(state);
    std::vector<double> times;
    int i = 0;
    for (auto _ : state) {
        Connection door;
        if (!door.open(DoorPort(), "127.0.5." + std::to_string(1 + i++ % 250), Authority()))
            return state.SkipWithError("no connection");
        const auto start = Clock::now();
        const door_client::Answer answer =
            door.post("/door/logon", LogOnCall(number, QStringLiteral("digest")));
        const double ms = MillisecondsSince(start);
        if (Parse(answer.body).value(QStringLiteral("credential")).toString().isEmpty())
            return state.SkipWithError(answer.body.c_str());
        times.push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["p50_ms"] = Percentile(times, 0.50);
    state.counters["worst_ms"] = Percentile(times, 1.0);
}

BENCHMARK(BM_ThousandClientsLogOnAndMakeTwentyCalls)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_NormalRequestBesideSlowAndIdleConnections)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);
BENCHMARK(BM_OtherClientsBesideOneWithAHundredCostlyCalls)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50);
BENCHMARK(BM_TwentyClientsSameNames)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_TwentyClientsDistinctNames)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_CollidingNamesOnAFullServer)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_WrongPasswordsAgainstOneAccount)
    ->Arg(1)
    ->Arg(10)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_RightLogOn)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);

}  // namespace

QENTARA_BENCHMARK_MAIN()
