#pragma once

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "db/pg_connection.h"

// Database connections shared by the service's worker threads; each request holds one at a time. The
// number open is bounded, so that a crowd of requests queues here instead of exhausting the database's
// connections.
//
// The queue is fair between callers. The callers without a credential together hold at most half of the
// connections (what costly work anybody may ask for without an account), the last eighth of that half
// for log-ons only. An address holds a quarter whatever others do; beyond that it may use connections
// nobody else asks for. An eighth of the pool is kept for addresses that hold none (many users behind
// one address are not starved, nor can one address or a few take everything). A connection that comes
// free goes to the waiter within its address's share whose address holds fewest, the earliest of those
// first; to one beyond its share only when none is within.
class ConnectionPool {
public:
    explicit ConnectionPool(PgParams params, size_t maxOpen = 16)
        : params_(std::move(params)), maxOpen_(maxOpen) {}

    // Who asks: what the shares count.
    struct Claim {
        QString address;
        bool anonymous = true;  // without a credential
        bool logOn = false;     // a log-on (also without a credential)
    };

    struct Lease {
        std::unique_ptr<PgConnection> connection;
        bool reused = false;  // it had served earlier requests
        Claim claim;
    };
    // An open connection: an idle one whose server is still there, else a new one. It waits in the queue
    // until the deadline, and gives up at once when stopped() says so. No connection (and *error set) when
    // the database cannot be reached or none came to it.
    Lease take(const Claim& claim, std::chrono::steady_clock::time_point deadline,
               const std::function<bool()>& stopped, QString* error);
    // A connection take() lent, back to the pool; a closed one is dropped and its place freed.
    void give(Lease lease);
    // Closes every idle connection: one turned out dead, so the database may have restarted and the
    // others, as old, are likely dead too.
    void dropIdle();

    // Connections each address may hold while others wait, and those all callers without a credential may
    // hold at all.
    size_t addressShare() const { return std::max<size_t>(1, maxOpen_ / 4); }
    size_t anonymousShare() const { return std::max<size_t>(1, maxOpen_ / 2); }
    // Connections a caller beyond its shares leaves free.
    size_t reserve() const { return std::max<size_t>(1, maxOpen_ / 8); }

private:
    struct Waiter {
        Claim claim;
        std::condition_variable granted;
        bool served = false;
        std::unique_ptr<PgConnection> connection;  // served with an idle one; none: open a new one
    };
    size_t free() const { return idle_.size() + (maxOpen_ - open_); }
    bool anonymousMayTake(const Claim& claim) const;
    bool withinAddressShare(const Claim& claim) const;
    // Serves waiters while connections are free and the shares allow, best first.
    void serveWaiters();
    void hold(const Claim& claim, int by);

    PgParams params_;
    size_t maxOpen_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<PgConnection>> idle_;
    size_t open_ = 0;  // idle and lent out
    std::list<Waiter*> waiters_;  // in order of arrival
    std::map<QString, size_t> heldBy_;
    size_t heldAnonymous_ = 0;
};
