#include "platform/dao/dao_transaction.h"

#include <sqlite3.h>

#include "platform/dao/dao_connection.h"

namespace dao {

namespace {
QString SavepointName(int depth) { return QStringLiteral("qsp%1").arg(depth); }
}  // namespace

Transaction::Transaction(std::shared_ptr<Connection> conn) : conn_(std::move(conn)) {
    depth_ = conn_->transactionDepth;
    // IMMEDIATE takes the write lock at once, so a second running copy waits instead of failing midway.
    conn_->execute(depth_ == 0 ? QStringLiteral("BEGIN IMMEDIATE") : "SAVEPOINT " + SavepointName(depth_), {});
    ++conn_->transactionDepth;
    active_ = true;
}

Transaction::Transaction(Transaction&& other) noexcept
    : conn_(std::move(other.conn_)), depth_(other.depth_), active_(other.active_) {
    other.active_ = false;
}

Transaction::~Transaction() {
    if (!active_) return;
    try {
        Rollback();
    } catch (...) {
    }
}

void Transaction::Commit() {
    if (!active_) return;
    active_ = false;
    --conn_->transactionDepth;
    if (depth_ == 0) {
        try {
            conn_->execute(QStringLiteral("COMMIT"), {});
        } catch (...) {
            if (!sqlite3_get_autocommit(conn_->raw())) sqlite3_exec(conn_->raw(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } else {
        conn_->execute("RELEASE " + SavepointName(depth_), {});
    }
}

void Transaction::Rollback() {
    if (!active_) return;
    active_ = false;
    --conn_->transactionDepth;
    // Some failures end the transaction inside the engine already; then there is nothing to undo.
    if (sqlite3_get_autocommit(conn_->raw())) return;
    if (depth_ == 0) {
        sqlite3_exec(conn_->raw(), "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
        const QByteArray name = SavepointName(depth_).toUtf8();
        sqlite3_exec(conn_->raw(), ("ROLLBACK TO " + name + "; RELEASE " + name).constData(), nullptr, nullptr,
                     nullptr);
    }
}

}  // namespace dao
