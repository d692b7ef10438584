#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <memory>

#include "platform/dao/dao_types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dao {

// One physical SQLCipher connection. Handles and record sets hold it through shared pointers; the
// registry in dao_registry.cpp caches shared connections per file so that a keyed open is paid once.
class Connection {
public:
    Connection(sqlite3* db, QString path, QString password, bool exclusive, int lockFd);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* raw() const { return db_; }
    const QString& path() const { return path_; }
    const QString& password() const { return password_; }
    bool exclusive() const { return exclusive_; }

    // Prepared statements are cached by their text: look-ups by name run thousands of times a second.
    sqlite3_stmt* acquire(const QString& sql);
    void release(const QString& sql, sqlite3_stmt* stmt);
    void bind(sqlite3_stmt* stmt, const Params& params);
    // Lower-cased field names of a statement's result, worked out once per statement text.
    using ColumnMap = QHash<QString, int>;
    std::shared_ptr<const ColumnMap> columns(const QString& sql, sqlite3_stmt* stmt);

    [[noreturn]] void fail(int rc, const QString& context = QString()) const;
    int execute(const QString& sql, const Params& params);

    int transactionDepth = 0;
    int handles = 0;  // logical opens (Database objects) that use this connection

    void closeNow();

private:
    sqlite3* db_;
    QString path_;
    QString password_;
    bool exclusive_;
    int lockFd_;
    QHash<QString, QList<sqlite3_stmt*>> idle_;
    QHash<QString, std::shared_ptr<const ColumnMap>> columnMaps_;
    int idleCount_ = 0;
};

// Maps an engine result code and message to the old engine's error number and text.
[[noreturn]] void ThrowSqliteError(int rc, const QString& message, const QString& path);

}  // namespace dao
