#pragma once

// A community server database of a benchmark run: created on the PostgreSQL cluster the environment
// names (PGHOST, PGPORT, PGUSER, PGPASSWORD: run under pg_virtualenv), loaded with the schema, reached
// by the program's "server_db" setting (in a settings folder of the run's own), dropped at the end.

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <string>

#include "frame/server_connection.h"
#include "pages/schema_loader.h"
#include "platform/pg/pg_command.h"
#include "platform/pg/pg_connection.h"
#include "platform/settings_store.h"

namespace bench_server {

// The environment's cluster as its superuser: libpq takes PGHOST and the rest for what is left empty.
inline PgParams Superuser(const QString& dbname) {
    PgParams params;
    params.dbname = dbname;
    return params;
}

// Logs on (registering the first time) through the command's connection, which then acts for the
// account; the account id, 0 when refused.
inline qint32 LogOn(PgCommand& cmd, const QString& number, int level = 1) {
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
        if (!admin ||
            !admin->exec(QStringLiteral("CREATE DATABASE ") + PgConnection::QuoteIdentifier(dbname_)).ok) {
            error_ = "cannot create the server database";
            return;
        }
        created_ = true;
        owner_ = PgConnection::Open(Superuser(dbname_));
        if (!owner_ || !LoadServerSchema(*owner_).isEmpty()) {
            error_ = "cannot load the server schema";
            return;
        }
        SaveSetting(QStringLiteral("server_db"), QStringLiteral("%%") + dbname_);
    }
    ~BenchServer() {
        ServerConnection().reset();
        owner_.reset();
        if (!created_) return;
        if (auto admin = PgConnection::Open(Superuser(QStringLiteral("postgres"))))
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS ") + PgConnection::QuoteIdentifier(dbname_) +
                        QStringLiteral(" WITH (FORCE)"));
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    const std::string& error() const { return error_; }
    PgConnection& owner() { return *owner_; }
    PgParams ownerParams() const { return Superuser(dbname_); }

private:
    QTemporaryDir settings_;
    QString dbname_;
    std::string error_;
    bool created_ = false;
    std::unique_ptr<PgConnection> owner_;
};

}  // namespace bench_server
