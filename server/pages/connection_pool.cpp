#include "pages/connection_pool.h"

#include <algorithm>
#include <utility>

namespace {

// How often a waiter looks whether its request was stopped (its caller gone).
constexpr auto kLookAgain = std::chrono::milliseconds(250);

}  // namespace

bool ConnectionPool::anonymousMayTake(const Claim& claim) const {
    if (!claim.anonymous) return true;
    // The last of the half goes only to a log-on: readings without an account cannot keep users out.
    return heldAnonymous_ + (claim.logOn ? 0 : reserve()) < anonymousShare();
}

bool ConnectionPool::withinAddressShare(const Claim& claim) const {
    const auto held = heldBy_.find(claim.address);
    return held == heldBy_.end() || held->second < addressShare();
}

void ConnectionPool::hold(const Claim& claim, int by) {
    size_t& held = heldBy_[claim.address];
    held += size_t(by);
    if (held == 0) heldBy_.erase(claim.address);
    if (claim.anonymous) heldAnonymous_ += size_t(by);
}

void ConnectionPool::serveWaiters() {
    while (free() > 0 && !waiters_.empty()) {
        // The last few connections go to an address that holds none: a few addresses each within their
        // share cannot together keep a newcomer waiting. Beyond its share an address takes none of
        // those, nor of the last few of the half without a credential.
        const bool spare = free() > reserve();
        const bool spareAnonymous = heldAnonymous_ + reserve() < anonymousShare();
        auto best = waiters_.end();
        std::pair<bool, size_t> bestRank;
        for (auto w = waiters_.begin(); w != waiters_.end(); ++w) {
            const Claim& claim = (*w)->claim;
            if (!anonymousMayTake(claim)) continue;
            const auto held = heldBy_.find(claim.address);
            const size_t holds = held == heldBy_.end() ? 0 : held->second;
            const bool beyond = !withinAddressShare(claim);
            if (holds > 0 && !spare) continue;
            if (beyond && claim.anonymous && !spareAnonymous) continue;
            const std::pair<bool, size_t> rank{beyond, holds};
            if (best == waiters_.end() || rank < bestRank) {
                best = w;
                bestRank = rank;
            }
        }
        if (best == waiters_.end()) return;
        Waiter& waiter = **best;
        waiters_.erase(best);
        hold(waiter.claim, 1);
        while (!idle_.empty() && !waiter.connection) {
            waiter.connection = std::move(idle_.back());
            idle_.pop_back();
            // A restarted database leaves dead connections behind: they are replaced, never handed out.
            if (!waiter.connection->stillAlive()) {
                waiter.connection.reset();
                --open_;
            }
        }
        if (!waiter.connection) ++open_;  // the waiter opens it
        waiter.served = true;
        waiter.granted.notify_one();
    }
}

ConnectionPool::Lease ConnectionPool::take(const Claim& claim, std::chrono::steady_clock::time_point deadline,
                                           const std::function<bool()>& stopped, QString* error) {
    std::unique_lock lock(mutex_);
    Waiter me;
    me.claim = claim;
    waiters_.push_back(&me);
    serveWaiters();
    while (!me.served) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline || (stopped && stopped())) {
            waiters_.remove(&me);
            if (error) *error = QStringLiteral("every database connection stayed busy");
            return {};
        }
        me.granted.wait_until(lock, std::min(deadline, now + kLookAgain));
    }
    if (me.connection) return {std::move(me.connection), true, claim};
    lock.unlock();
    std::unique_ptr<PgConnection> connection = PgConnection::Open(params_, error);
    if (connection) return {std::move(connection), false, claim};
    lock.lock();
    --open_;
    hold(claim, -1);
    serveWaiters();
    return {};
}

void ConnectionPool::give(Lease lease) {
    if (!lease.connection) return;
    std::lock_guard lock(mutex_);
    hold(lease.claim, -1);
    if (lease.connection->isOpen())
        idle_.push_back(std::move(lease.connection));
    else
        --open_;
    serveWaiters();
}

void ConnectionPool::dropIdle() {
    std::vector<std::unique_ptr<PgConnection>> dropped;
    std::lock_guard lock(mutex_);
    open_ -= idle_.size();
    dropped.swap(idle_);
    serveWaiters();
}
