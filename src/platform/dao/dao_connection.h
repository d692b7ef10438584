#pragma once

#include <QHash>
#include <QSet>
#include <QList>
#include <QString>
#include <memory>

#include "platform/dao/dao_file_guard.h"
#include "platform/dao/dao_types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dao {

// One physical SQLCipher connection. Handles and record sets hold it through shared pointers; the
// registry in dao_registry.cpp caches shared connections per file so that a keyed open is paid once.
class Connection {
public:
    Connection(sqlite3* db, QString path, QString password, bool exclusive, int lockFd, FileId id);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* raw() const { return db_; }
    const QString& path() const { return path_; }
    const QString& password() const { return password_; }
    bool exclusive() const { return exclusive_; }
    const FileId& fileId() const { return id_; }
    // A file this connection created exists only after its first write: its identity is learnt then.
    bool sameFile(const FileId& current) {
        if (!id_.valid()) id_ = current;
        return id_ == current;
    }

    // The file has passed the engine's check; its hold is given back when the connection closes.
    void checkFile();
    // A file attached under alias holds its own lock and check until it is detached.
    void noteAttached(const QString& alias, const QString& file, int lockFd, const FileId& id);
    void forgetAttached(const QString& alias);

    // Prepared statements are cached by their text: look-ups by name run thousands of times a second.
    sqlite3_stmt* acquire(const QString& sql);
    void release(const QString& sql, sqlite3_stmt* stmt);
    // UTF-8 text is bound in place when the values outlive the statement's run (an Execute), copied
    // when they may not (a record set steps on after the call).
    enum class Binding { Copied, InPlace };
    void bind(sqlite3_stmt* stmt, const Params& params, Binding utf8 = Binding::Copied);
    // Lower-cased field names of a statement's result, worked out once per statement text.
    using ColumnMap = QHash<QString, int>;
    std::shared_ptr<const ColumnMap> columns(const QString& sql, sqlite3_stmt* stmt);

    [[noreturn]] void fail(int rc, const QString& context = QString()) const;
    int execute(const QString& sql, const Params& params);

    int transactionDepth = 0;
    int handles = 0;  // logical opens (Database objects) that use this connection
    QSet<QString> done;  // see Database::Done

    void closeNow();

private:
    QString damagedFile(const QString& named) const;

    sqlite3* db_;
    QString path_;
    QString password_;
    bool exclusive_;
    int lockFd_;
    FileId id_;
    bool checked_ = false;
    struct AttachedFile {
        QString file;
        int lockFd;
        FileId id;
    };
    QHash<QString, AttachedFile> attached_;
    QHash<QString, QList<sqlite3_stmt*>> idle_;
    QHash<QString, std::shared_ptr<const ColumnMap>> columnMaps_;
    int idleCount_ = 0;
};

// Maps an engine result code and message to the old engine's error number and text.
// A file keyed with a built-in password that does not open is damaged or foreign, not wrongly keyed.
[[noreturn]] void ThrowSqliteError(int rc, const QString& message, const QString& path, bool builtInKey = false);

}  // namespace dao
