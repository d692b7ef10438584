#include "pages/connection_pool.h"

std::unique_ptr<PgConnection> ConnectionPool::take(QString* error) {
    {
        std::lock_guard lock(mutex_);
        while (!idle_.empty()) {
            std::unique_ptr<PgConnection> connection = std::move(idle_.back());
            idle_.pop_back();
            if (connection->isOpen()) return connection;
        }
    }
    return PgConnection::Open(params_, error);
}

void ConnectionPool::give(std::unique_ptr<PgConnection> connection) {
    if (!connection || !connection->isOpen()) return;
    std::lock_guard lock(mutex_);
    if (idle_.size() < keep_) idle_.push_back(std::move(connection));
}
