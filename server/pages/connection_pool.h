#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/pg/pg_connection.h"

// Database connections shared by the service's worker threads; each request holds one at a time.
class ConnectionPool {
public:
    explicit ConnectionPool(PgParams params, size_t keepIdle = 8)
        : params_(std::move(params)), keep_(keepIdle) {}

    // An open connection (an idle one when there is, else a new one), or nullptr with *error set.
    std::unique_ptr<PgConnection> take(QString* error);
    // Back to the pool; a closed or surplus connection is dropped.
    void give(std::unique_ptr<PgConnection> connection);

private:
    PgParams params_;
    size_t keep_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<PgConnection>> idle_;
};
