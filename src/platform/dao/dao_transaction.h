#pragma once

#include <memory>

namespace dao {

class Connection;

// One unit of work: rolled back unless committed. Nested transactions become savepoints.
class Transaction {
public:
    explicit Transaction(std::shared_ptr<Connection> conn);
    Transaction(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    Transaction& operator=(Transaction&&) = delete;
    ~Transaction();

    void Commit();
    void Rollback();
    bool active() const { return active_; }

private:
    std::shared_ptr<Connection> conn_;
    int depth_ = 0;
    bool active_ = false;
};

}  // namespace dao
