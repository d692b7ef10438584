#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "platform/dao/dao_error.h"
#include "platform/dao/dao_recordset.h"
#include "platform/dao/dao_transaction.h"
#include "platform/dao/dao_types.h"

namespace dao {

class Connection;

// A database handle in the manner of the old DAO object: an empty handle stands for "Nothing".
// Copies share one logical open; the last copy to go (or Close) releases it. Shared opens of a file
// share one cached physical connection, so reopening a book file around each use costs nothing.
class Database {
public:
    Database() = default;

    // Opens an existing file. Throws DaoError: 3024 missing file, 3031 wrong password,
    // 3045 file in use (exclusive asked while open elsewhere), 3356 file opened exclusively elsewhere.
    static Database Open(const QString& path, const QString& password, bool exclusive = false);
    // Creates a new, empty file keyed with password ("" gives an unencrypted file); 3204 when it exists.
    static Database Create(const QString& path, const QString& password);
    // A read-only connection of its own, outside the cache of shared ones, for another thread to read a
    // file this process has open (that open holds the file's lock and check). Throws as Open.
    static Database OpenReader(const QString& path, const QString& password);

    bool isOpen() const { return static_cast<bool>(handle_); }
    QString path() const;
    bool exclusive() const;
    void Close();

    int Execute(const QString& sql, const Params& params = {});
    // Work done once per physical connection (bringing a book made before up to date), by name.
    bool Done(const QString& what) const;
    void NoteDone(const QString& what);
    Recordset OpenRecordset(const QString& sql, const Params& params = {});
    // First column of the first row; a null QVariant when there is no row.
    QVariant Scalar(const QString& sql, const Params& params = {});
    qint64 LastInsertId() const;
    Transaction BeginTrans();

    // Makes another book file reachable as alias.table, so one commit covers several files.
    void Attach(const QString& path, const QString& alias, const QString& password);
    void Detach(const QString& alias);

    bool TableExists(const QString& table, const QString& schema = QStringLiteral("main"));
    QStringList TableNames(const QString& schema = QStringLiteral("main"));
    QStringList FieldNames(const QString& table, const QString& schema = QStringLiteral("main"));

    // Writes a copy of this database to target keyed with newPassword (the file must not exist).
    void ExportTo(const QString& target, const QString& newPassword);

    std::shared_ptr<Connection> connection() const;

private:
    struct Handle;
    std::shared_ptr<Handle> handle_;
    Connection& conn() const;
};

// Files attached to a database for one operation, detached in reverse order however it ends. The
// engine attaches only outside a transaction: make the guard before the transaction begins.
class AttachGuard {
public:
    explicit AttachGuard(Database& db) : db_(db) {}
    ~AttachGuard();
    AttachGuard(const AttachGuard&) = delete;
    AttachGuard& operator=(const AttachGuard&) = delete;
    void Attach(const QString& path, const QString& alias, const QString& password);

private:
    Database& db_;
    QStringList aliases_;
};

// While it lives, pages the main file frees are not overwritten (the engine's secure delete is off):
// for rows whose content the book still holds, or holds elsewhere, overwriting them only costs time.
class FreeWithoutOverwriting {
public:
    explicit FreeWithoutOverwriting(Database& db);
    ~FreeWithoutOverwriting();
    FreeWithoutOverwriting(const FreeWithoutOverwriting&) = delete;
    FreeWithoutOverwriting& operator=(const FreeWithoutOverwriting&) = delete;

private:
    Database& db_;
    int before_;
};

// Quotes an identifier for SQL text ("temp", "本姓成员"); identifiers never come from user data.
QString QuoteIdent(const QString& name);

// Whether any connection of this process has the file open (handles in use, record sets, exclusive).
bool IsFileInUse(const QString& path);
// Closes the cached connections of a file that no handle uses any more.
void ReleaseIdleConnections(const QString& path);
// Closes every idle cached connection (program end, tests).
void ReleaseAllIdleConnections();

// The work file a rewrite of path writes before its rename.
QString RewriteWorkFile(const QString& path);
// Removes a work file with whatever the engine keeps beside it (journals, lock file).
void RemoveWorkFiles(const QString& path);
// A transaction over several files leaves its super-journal beside the first one when killed.
void RemoveSuperJournals(const QString& path);

// Rewrites a database file through an export into a temporary file and an atomic rename:
// compaction when newPassword equals password, a password change otherwise. Refused with 3045
// while any handle of this process or another program still has the file open.
void RewriteFile(const QString& path, const QString& password, const QString& newPassword);

}  // namespace dao
