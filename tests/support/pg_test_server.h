#pragma once

// The throwaway cluster that pg_virtualenv provides to the tests.

#include <gtest/gtest.h>
#include <QString>

#include "db/pg_connection.h"

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
