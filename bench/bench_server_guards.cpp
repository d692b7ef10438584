// What a password guesser learns from the time a log-on takes: a wrong password for a number with an
// account and a log-on of a number without one (each a bcrypt check of cost 10), and both once they are
// kept waiting (no check at all). Through the page service, as the program calls sp_trylogon (the door
// would allow only 30 log-ons a minute). Each figure comes with the load average at its start. Run under
// pg_virtualenv (./dev bench does).
#include <benchmark/benchmark.h>
#include <QFile>

#include "bench_server.h"
#include "bench_support.h"
#include "platform/door/server_error.h"

namespace {

using bench_server::LabelWithLoad;

bench_server::BenchServer& Server() {
    static bench_server::BenchServer server(QStringLiteral("guards"));
    static const bool registered = [] {
        if (!server.error().empty()) return false;
        auto db = bench_server::OpenConnection();
        ServerCommand cmd(db.get());
        return bench_server::LogOn(cmd, QStringLiteral("owner")) > 0;
    }();
    if (!registered) qFatal("no server: %s", server.error().c_str());
    return server;
}

// A log-on with a wrong password: range(0) 1 for the number with an account, 0 for one without;
// range(1) 1 when the number is kept waiting, 0 when its count is forgotten before each try.
void BM_WrongPassword(benchmark::State& state) {
    PgConnection& admin = Server().admin();
    LabelWithLoad(state);
    const QString number = state.range(0) ? QStringLiteral("owner") : QStringLiteral("nobody");
    const bool waiting = state.range(1) != 0;
    auto forget = [&] {
        admin.exec(QStringLiteral("DELETE FROM logon_failures"));
        admin.exec(QStringLiteral("DELETE FROM logon_unknown_failures"));
    };
    forget();
    if (waiting) {
        admin.exec(QStringLiteral("INSERT INTO logon_failures SELECT acc_id, '', 20, now(), now() + interval "
                                  "'1 hour' FROM accounts WHERE user_no = 'owner'"));
        admin.exec(QStringLiteral("INSERT INTO logon_unknown_failures VALUES (digest('nobody', 'sha256'), 20, "
                                  "now(), now() + interval '1 hour')"));
    }
    auto db = bench_server::OpenConnection();
    ServerCommand cmd(db.get());
    for (auto _ : state) {
        if (!waiting) {
            state.PauseTiming();
            forget();
            state.ResumeTiming();
        }
        cmd.SetCommandText(QStringLiteral("sp_trylogon"));
        cmd.SetValue(QStringLiteral("@z_user_no"), number);
        cmd.SetValue(QStringLiteral("@z_pswd"), QStringLiteral("a guess"));
        cmd.SetValue(QStringLiteral("@z_pswd2"), QString());
        cmd.SetValue(QStringLiteral("@z_right"), 0);
        cmd.SetValue(QStringLiteral("@z_acc_id"), 0);
        cmd.SetValue(QStringLiteral("@z_nick"), QString());
        cmd.SetValue(QStringLiteral("@z_state"), 0);
        cmd.SetValue(QStringLiteral("@z_group_id"), 0);
        cmd.SetValue(QStringLiteral("@z_logon_type"), 0);
        db->setCredential(QString());
        try {
            cmd.Execute();
            if (waiting || cmd.Value(QStringLiteral("@z_state")).toInt() != 2) state.SkipWithError("not refused");
        } catch (const ServerError&) {
            if (!waiting) state.SkipWithError("kept waiting");
        }
    }
    forget();
}
BENCHMARK(BM_WrongPassword)
    ->ArgNames({"account", "waiting"})
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1);

}  // namespace

QENTARA_BENCHMARK_MAIN()
