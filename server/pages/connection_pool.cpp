#include "pages/connection_pool.h"

#include <chrono>

ConnectionPool::Lease ConnectionPool::take(QString* error) {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs_);
    for (;;) {
        while (!idle_.empty()) {
            std::unique_ptr<PgConnection> connection = std::move(idle_.back());
            idle_.pop_back();
            // A restarted database leaves dead connections behind: they are replaced, never handed out.
            if (connection->stillAlive()) return {std::move(connection), true};
            --open_;
        }
        if (open_ < maxOpen_) break;
        if (freed_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() &&
            open_ >= maxOpen_) {
            if (error) *error = QStringLiteral("every database connection stayed busy");
            return {};
        }
    }
    ++open_;
    lock.unlock();
    std::unique_ptr<PgConnection> connection = PgConnection::Open(params_, error);
    if (!connection) {
        lock.lock();
        --open_;
        freed_.notify_one();
    }
    return {std::move(connection), false};
}

void ConnectionPool::give(std::unique_ptr<PgConnection> connection) {
    if (!connection) return;
    std::lock_guard lock(mutex_);
    if (connection->isOpen())
        idle_.push_back(std::move(connection));
    else
        --open_;
    freed_.notify_one();
}
