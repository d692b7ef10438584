// The pool's queue on real connections: the shares of one address and of the callers without a credential
// when others wait, the connections kept free for newcomers, whom a freed connection goes to, waiting
// instead of refusing, a waiter whose request stopped, and idle connections dropped after a loss.

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <future>

#include "pages/connection_pool.h"
#include "support/pg_test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lease = ConnectionPool::Lease;

class ConnectionPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)";
    }
    // A connection for the caller, waiting up to ms for it.
    static Lease take(ConnectionPool& pool, const char* address, bool anonymous, int ms = 200,
                      const std::function<bool()>& stopped = nullptr) {
        QString error;
        return pool.take({QLatin1String(address), anonymous}, Clock::now() + std::chrono::milliseconds(ms),
                         stopped, &error);
    }
    static Lease takeLogOn(ConnectionPool& pool, const char* address) {
        QString error;
        return pool.take({QLatin1String(address), true, true}, Clock::now() + std::chrono::milliseconds(200),
                         nullptr, &error);
    }
    // The same on a thread of its own.
    static std::future<Lease> waitFor(ConnectionPool& pool, const char* address, bool anonymous) {
        auto waiting = std::async(std::launch::async, [&pool, address, anonymous] {
            return take(pool, address, anonymous, 10000);
        });
        QThread::msleep(100);  // in the queue, in this order
        return waiting;
    }
    static bool served(std::future<Lease>& waiting) {
        return waiting.wait_for(std::chrono::milliseconds(150)) == std::future_status::ready;
    }
};

}  // namespace

// Eight connections: an address's share is two, that of all callers without a credential four, and one
// stays for newcomers.
TEST_F(ConnectionPoolTest, OneAddressTakesWhatNobodyElseAsksForButTheLastConnection) {
    ConnectionPool pool(PgSuperuserParams(), 8);
    ASSERT_EQ(pool.addressShare(), 2u);
    ASSERT_EQ(pool.anonymousShare(), 4u);
    ASSERT_EQ(pool.reserve(), 1u);
    struct Step {
        const char* address;
        bool anonymous;
        bool granted;
    };
    const Step steps[] = {
        {"a", false, true}, {"a", false, true},                                          // its share
        {"a", false, true}, {"a", false, true}, {"a", false, true}, {"a", false, true},  // nobody else asks
        {"a", false, true},
        {"a", false, false},  // the last one stays
        {"b", false, true},   // for the next who comes
        {"c", false, false},  // all taken
    };
    std::vector<Lease> held;
    for (const Step& step : steps) {
        Lease lease = take(pool, step.address, step.anonymous);
        EXPECT_EQ(lease.connection != nullptr, step.granted) << step.address << " after " << held.size();
        if (lease.connection) held.push_back(std::move(lease));
    }
}

TEST_F(ConnectionPoolTest, CallersWithoutACredentialHoldHalfAtMostItsLastForALogOn) {
    ConnectionPool pool(PgSuperuserParams(), 8);
    std::vector<Lease> held;
    for (const char* address : {"a1", "a2", "a3"}) {
        held.push_back(take(pool, address, true));
        ASSERT_TRUE(held.back().connection) << address;
    }
    EXPECT_FALSE(take(pool, "a4", true).connection);
    held.push_back(takeLogOn(pool, "a4"));
    ASSERT_TRUE(held.back().connection);
    // Half are theirs already, though nobody else asks: the others are for callers with a credential.
    EXPECT_FALSE(takeLogOn(pool, "a5").connection);
    for (const char* address : {"b", "c", "d", "e"}) EXPECT_TRUE(take(pool, address, false).connection) << address;
    // One of theirs comes free: a log-on gets it, a reading does not.
    pool.give(std::move(held.front()));
    EXPECT_FALSE(take(pool, "a6", true).connection);
    EXPECT_TRUE(takeLogOn(pool, "a5").connection);
}

// Four addresses each within its share would hold all eight: the last stays for an address holding none.
TEST_F(ConnectionPoolTest, TheLastConnectionGoesToAnAddressThatHoldsNone) {
    ConnectionPool pool(PgSuperuserParams(), 8);
    std::vector<Lease> held;
    for (const char* address : {"a", "a", "b", "b", "c", "c", "d"}) {
        held.push_back(take(pool, address, false));
        ASSERT_TRUE(held.back().connection) << address;
    }
    EXPECT_FALSE(take(pool, "d", false).connection);
    EXPECT_TRUE(take(pool, "e", false).connection);
}

// A connection that comes free goes to the waiter within its shares, though another came first; one
// beyond its shares waits until more than the last connection is free.
TEST_F(ConnectionPoolTest, AFreedConnectionGoesToWhoHoldsLeast) {
    ConnectionPool pool(PgSuperuserParams(), 8);
    std::vector<Lease> greedy;
    for (int i = 0; i < 7; ++i) greedy.push_back(take(pool, "a", false));
    Lease other = take(pool, "b", false);
    ASSERT_TRUE(other.connection);
    std::future<Lease> more = waitFor(pool, "a", false);
    std::future<Lease> newcomer = waitFor(pool, "c", false);

    pool.give(std::move(greedy.back()));
    greedy.pop_back();
    EXPECT_TRUE(served(newcomer));
    EXPECT_FALSE(served(more));
    pool.give(std::move(greedy.back()));
    greedy.pop_back();
    EXPECT_FALSE(served(more));
    pool.give(std::move(greedy.back()));
    greedy.pop_back();
    ASSERT_TRUE(served(more));
    EXPECT_TRUE(more.get().connection);
    EXPECT_TRUE(newcomer.get().connection);
}

TEST_F(ConnectionPoolTest, AWaiterIsServedWhenAConnectionComesFreeOrLeavesWhenStopped) {
    ConnectionPool pool(PgSuperuserParams(), 1);
    Lease only = take(pool, "a", false);
    ASSERT_TRUE(only.connection);
    std::future<Lease> waiting = waitFor(pool, "b", false);
    EXPECT_FALSE(served(waiting));
    pool.give(std::move(only));
    ASSERT_TRUE(served(waiting));
    Lease handed = waiting.get();
    EXPECT_TRUE(handed.connection);
    EXPECT_TRUE(handed.reused);

    // Its caller gone, a waiter leaves long before its time is up.
    std::atomic<bool> gone{false};
    auto leaving = std::async(std::launch::async, [&] {
        return take(pool, "c", false, 20000, [&gone] { return gone.load(); });
    });
    QThread::msleep(100);
    QElapsedTimer clock;
    clock.start();
    gone = true;
    EXPECT_FALSE(leaving.get().connection);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(ConnectionPoolTest, AfterALossNoIdleConnectionIsLentAgain) {
    ConnectionPool pool(PgSuperuserParams(), 4);
    std::vector<Lease> held;
    for (int i = 0; i < 3; ++i) held.push_back(take(pool, "a", false));
    for (Lease& lease : held) pool.give(std::move(lease));
    EXPECT_TRUE(take(pool, "a", false).reused);
    pool.dropIdle();
    const Lease fresh = take(pool, "a", false);
    ASSERT_TRUE(fresh.connection);
    EXPECT_FALSE(fresh.reused);
}
