#pragma once

// A community server of a benchmark run: a database created on the PostgreSQL cluster the environment
// names (PGHOST, PGPORT, PGUSER, PGPASSWORD: run under pg_virtualenv), loaded with the schema and
// accounts as `./dev server` loads them, the page service in this process and, on request, the door
// (nginx with TLS, tests/support/test_door.h) in front of it; the program is pointed at the door (or at
// the page service) in a settings folder of the run's own. Dropped at the end.

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "db/pg_connection.h"
#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "pages/page_service.h"
#include "pages/schema_loader.h"
#include "platform/door/server_command.h"
#include "platform/settings_store.h"
#include "support/test_door.h"

namespace bench_server {

inline const QString kPagesPassword = QStringLiteral("qntzp-pages-bench");

// The environment's cluster as its superuser: libpq takes PGHOST and the rest for what is left empty.
inline PgParams Superuser(const QString& dbname) {
    PgParams params;
    params.dbname = dbname;
    return params;
}

// Logs on (registering the first time) through the command's connection, which then acts for the
// account; the account id, 0 when refused.
inline qint32 LogOn(ServerCommand& cmd, const QString& number, int level = 1) {
    cmd.SetCommandText(QStringLiteral("sp_trylogon"));
    cmd.SetValue(QStringLiteral("@z_user_no"), number);
    cmd.SetValue(QStringLiteral("@z_pswd"), QStringLiteral("digest"));
    cmd.SetValue(QStringLiteral("@z_pswd2"), QStringLiteral("digest2"));
    cmd.SetValue(QStringLiteral("@z_right"), level);
    cmd.SetValue(QStringLiteral("@z_acc_id"), 0);
    cmd.SetValue(QStringLiteral("@z_nick"), QStringLiteral("基准"));
    cmd.SetValue(QStringLiteral("@z_state"), 0);
    cmd.SetValue(QStringLiteral("@z_group_id"), 0);
    cmd.SetValue(QStringLiteral("@z_logon_type"), 1);
    cmd.Execute();
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}

// A connection to the server the program is pointed at, opened.
inline std::unique_ptr<DoorConnection> OpenConnection() {
    auto connection = std::make_unique<DoorConnection>(BuiltInServerUrl());
    connection->open();
    return connection;
}

// The load averages (1, 5, 15 minutes) as the figure's label: every figure is read beside them.
inline void LabelWithLoad(benchmark::State& state) {
    QFile file(QStringLiteral("/proc/loadavg"));
    const QByteArray load =
        file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : "?";
    state.SetLabel("load " + load.toStdString());
}

// The authority that signed the door's certificate, for a client of the benchmark's own.
inline std::string Authority() {
    return TestDoor::authorityFile().toStdString();
}

inline std::string Json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// The value below which the fraction p of the values lie.
inline double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

class BenchServer {
public:
    explicit BenchServer(const QString& name)
        : dbname_(QStringLiteral("qnt_bench_%1_%2").arg(name).arg(QCoreApplication::applicationPid())) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
        if (qEnvironmentVariableIsEmpty("PGHOST")) {
            error_ = "no PostgreSQL cluster: run under pg_virtualenv";
            return;
        }
        auto admin = PgConnection::Open(Superuser(QStringLiteral("postgres")));
        if (!admin || !LoadServerAccounts(*admin).isEmpty() ||
            !admin->exec(QStringLiteral("ALTER ROLE qntzp_pages PASSWORD '%1'").arg(kPagesPassword)).ok ||
            !admin->exec(QStringLiteral("CREATE DATABASE ") + PgConnection::QuoteIdentifier(dbname_)).ok) {
            error_ = "cannot create the server database";
            return;
        }
        created_ = true;
        admin_ = PgConnection::Open(Superuser(dbname_));
        if (!admin_ || !LoadServerSchema(*admin_).isEmpty()) {
            error_ = "cannot load the server schema";
            return;
        }
        PageServiceConfig config;
        config.port = 0;
        config.database = pagesParams();
        config.doorAddresses = {QStringLiteral("127.0.0.1")};
        pages_ = std::make_unique<PageService>(config);
        QString failure;
        if (!pages_->start(&failure)) {
            error_ = failure.toStdString();
            return;
        }
        SetBuiltInServerUrl(pages_->baseUrl());
    }
    ~BenchServer() {
        ServerConnection().reset();
        door_.reset();
        pages_.reset();
        admin_.reset();
        if (!created_) return;
        if (auto admin = PgConnection::Open(Superuser(QStringLiteral("postgres"))))
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + PgConnection::QuoteIdentifier(dbname_) +
                        QStringLiteral(" WITH (FORCE)"));
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // The door in front of the page service, and the program pointed at it; "" on success.
    QString startDoor() {
        if (door_) return {};
        door_ = std::make_unique<TestDoor>();
        if (QString failure = door_->start({pages_->port()}); !failure.isEmpty()) return failure;
        SaveSetting(QStringLiteral("server_ca"), TestDoor::authorityFile());
        SetBuiltInServerUrl(door_->url());
        return {};
    }

    const std::string& error() const { return error_; }
    PgConnection& admin() { return *admin_; }
    PageService& pages() { return *pages_; }
    TestDoor* door() { return door_.get(); }
    PgParams pagesParams() const {
        PgParams params;
        params.dbname = dbname_;
        params.user = QStringLiteral("qntzp_pages");
        params.password = kPagesPassword;
        return params;
    }

private:
    QTemporaryDir settings_;
    QString dbname_;
    std::string error_;
    bool created_ = false;
    std::unique_ptr<PgConnection> admin_;
    std::unique_ptr<PageService> pages_;
    std::unique_ptr<TestDoor> door_;
};

}  // namespace bench_server
