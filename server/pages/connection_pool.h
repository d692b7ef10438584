#pragma once

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "db/pg_connection.h"

// Database connections shared by the service's worker threads; each request holds one at a time. The
// number open is bounded, so that a crowd of requests queues here instead of exhausting the database's
// connections; a request waits for a free one up to a time-out.
class ConnectionPool {
public:
    explicit ConnectionPool(PgParams params, size_t maxOpen = 16, int waitMs = 10000)
        : params_(std::move(params)), maxOpen_(maxOpen), waitMs_(waitMs) {}

    struct Lease {
        std::unique_ptr<PgConnection> connection;
        bool reused = false;  // it had served earlier requests
    };
    // An open connection: an idle one whose server is still there, else a new one. No connection (and
    // *error set) when the database cannot be reached or none came free in time.
    Lease take(QString* error);
    // A connection take() lent, back to the pool; a closed one is dropped and its place freed.
    void give(std::unique_ptr<PgConnection> connection);

private:
    PgParams params_;
    size_t maxOpen_;
    int waitMs_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<PgConnection>> idle_;
    size_t open_ = 0;  // idle and lent out
};
