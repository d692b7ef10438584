#pragma once

// Test-side preparation of the server account on the throwaway cluster that pg_virtualenv provides.

#include <gtest/gtest.h>
#include <QString>

#include "platform/pg/pg_connection.h"

// Without PGHOST or CI the machine has no test cluster, and tests that need one may skip.
inline bool PgTestServerExpected() {
    return !qEnvironmentVariableIsEmpty("PGHOST") || !qEnvironmentVariableIsEmpty("CI");
}

inline PgParams PgSuperuserParams(const QString& dbname = QStringLiteral("postgres")) {
    PgParams params;
    params.host = qEnvironmentVariable("PGHOST");
    params.port = qEnvironmentVariable("PGPORT");
    params.user = qEnvironmentVariable("PGUSER");
    params.password = qEnvironmentVariable("PGPASSWORD");
    params.dbname = dbname;
    return params;
}

// Creates the program's login role and its database when missing, and takes every right from PUBLIC so
// that the role only gets what is granted to it. Test programs run in parallel: the whole setup runs under
// one advisory lock, and "already exists" from a racing creator is not an error. Returns "" on success.
inline QString EnsureBuiltinServerAccount() {
    QString error;
    auto admin = PgConnection::Open(PgSuperuserParams(), &error);
    if (!admin) return QStringLiteral("superuser connection failed: ") + error;
    auto run = [](PgConnection& connection, const QString& sql) -> QString {
        const PgResult result = connection.exec(sql);
        if (result.ok) return {};
        static const QStringList benign = {"42710", "42P04", "23505"};  // object, database, unique index
        if (benign.contains(result.sqlState)) return {};
        return sql + QStringLiteral(": ") + result.error;
    };
    const QStringList adminSteps = {
        QStringLiteral("SELECT pg_advisory_lock(72019301)"),
        QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qntzpsvr01') THEN "
                       "CREATE ROLE qntzpsvr01 LOGIN PASSWORD 'h27wd913'; END IF; END $$"),
        QStringLiteral("ALTER ROLE qntzpsvr01 LOGIN PASSWORD 'h27wd913'"),
    };
    for (const QString& sql : adminSteps)
        if (QString failure = run(*admin, sql); !failure.isEmpty()) return failure;
    const PgResult exists = admin->exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = $1"),
                                        {QStringLiteral("qntzpsvr01")});
    if (!exists.ok) return exists.error;
    if (exists.rows.isEmpty())
        if (QString failure = run(*admin, QStringLiteral("CREATE DATABASE qntzpsvr01")); !failure.isEmpty())
            return failure;
    for (const QString& sql : {QStringLiteral("REVOKE ALL ON DATABASE qntzpsvr01 FROM PUBLIC"),
                               QStringLiteral("GRANT CONNECT ON DATABASE qntzpsvr01 TO qntzpsvr01")})
        if (QString failure = run(*admin, sql); !failure.isEmpty()) return failure;

    auto inside = PgConnection::Open(PgSuperuserParams(QStringLiteral("qntzpsvr01")), &error);
    if (!inside) return QStringLiteral("superuser connection to qntzpsvr01 failed: ") + error;
    for (const QString& sql : {QStringLiteral("REVOKE ALL ON SCHEMA public FROM PUBLIC"),
                               QStringLiteral("GRANT USAGE ON SCHEMA public TO qntzpsvr01")})
        if (QString failure = run(*inside, sql); !failure.isEmpty()) return failure;
    return {};  // closing the admin connection releases the lock
}

// Skips the test when no cluster is expected; otherwise the account must be ready or the test fails.
#define REQUIRE_BUILTIN_SERVER_ACCOUNT()                                                          \
    do {                                                                                          \
        if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)"; \
        const QString setupError = EnsureBuiltinServerAccount();                                  \
        ASSERT_TRUE(setupError.isEmpty()) << setupError.toStdString();                            \
    } while (false)

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
