#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

struct pg_conn;
struct pg_result;
struct pg_cancel;

struct PgParams {
    QString host, port, dbname, user, password;
    int connectTimeoutSec = 5;
};

struct PgResult {
    bool ok = false;
    QString error;        // server or client message when !ok
    QString sqlState;     // five-character SQLSTATE of the failure, "" when none
    QString detail;       // the failure's detail line, "" when none
    bool raised = false;  // the failure is a message a server function raised on purpose
    QStringList columns;
    QList<QStringList> rows;     // exec(): text values; SQL NULL is a null QString
    QList<quint32> columnTypes;  // execValues(): the type of each column
    QList<QVariantList> values;  // execValues(): typed values; SQL NULL is a null QVariant of the type
    int affectedRows = 0;
};

// Type numbers of the server that the client converts.
namespace pgtype {
constexpr quint32 kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26,
                  kFloat4 = 700, kFloat8 = 701, kNumeric = 1700;
}

// Stops the statement of one connection from another thread (a watchdog), while the connection itself
// is busy; it stays usable after the connection has closed, and then reaches nothing.
class PgCancel {
public:
    explicit PgCancel(pg_cancel* handle) : handle_(handle) {}
    ~PgCancel();
    PgCancel(const PgCancel&) = delete;
    PgCancel& operator=(const PgCancel&) = delete;

    // Asks the server to stop the statement running now (a request that comes when none runs is
    // dropped by the server); false when the request could not be delivered.
    bool cancel();

private:
    pg_cancel* handle_;
};

// One libpq connection of the server's side (the page service, its tools and tests). Open states keep
// the old numbers: 1 open, 0 closed.
class PgConnection {
public:
    static constexpr int kStateClosed = 0;
    static constexpr int kStateOpen = 1;

    PgConnection() = default;
    ~PgConnection();
    PgConnection(PgConnection&& other) noexcept;
    PgConnection& operator=(PgConnection&& other) noexcept;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // A connection that is open, or nullptr with *error set.
    static std::unique_ptr<PgConnection> Open(const PgParams& params, QString* error = nullptr);

    // Closes any previous connection first. On failure the connection stays closed and lastError() says why.
    bool open(const PgParams& params);
    void close();
    bool isOpen() const;
    // For a connection that has waited unused: whether its server is still there. A server that went
    // away (a restart, an administrator) has closed the connection or said so, which leaves something to
    // read; such a connection is closed here.
    bool stillAlive();
    // Statements that succeeded since the connection opened.
    qint64 statementsDone() const { return statementsDone_; }
    // Statements handed to the server that may have committed something: each one sent outside a
    // transaction block, and every COMMIT. A statement that failed to leave is not counted, so that a
    // caller can tell a failure that may have done its work from one that surely did nothing.
    qint64 commitsSent() const { return commitsSent_; }
    int state() const { return isOpen() ? kStateOpen : kStateClosed; }
    // What stops its statements from another thread; nullptr when closed.
    std::shared_ptr<PgCancel> canceller() const { return canceller_; }
    // The database it is connected to ("" when closed).
    QString database() const;
    QString lastError() const { return lastError_; }

    // One statement with $1..$n parameters sent separately from the SQL text (never spliced into it).
    // Null QVariants go as SQL NULL, QByteArray as binary (bytea), everything else as its text form.
    PgResult exec(const QString& sql, const QList<QVariant>& params = {});
    // As exec(), with each value converted to the given server type first (0 leaves the type to the
    // server), and the result read into typed values: bool, int, qlonglong, double, QByteArray (bytea)
    // or QString.
    PgResult execValues(const QString& sql, const QList<QVariant>& params, const QList<quint32>& types = {});
    // Several statements without parameters in one round trip (schema scripts).
    PgResult execScript(const QString& sql);
    // Statements sent together and answered together, in one round trip; each result as execValues
    // gives it. After a failure the later statements are not run (their results say so, without a
    // state). A statement that is "COMMIT" counts as one that may have committed.
    // A prepared statement is one of the caller's few fixed texts: parsed once per connection under a
    // name of its own, and only bound and run afterwards (up to kMaxPrepared texts; any further goes
    // unnamed).
    struct Statement {
        QString sql;
        QList<QVariant> params;
        QList<quint32> types;
        bool prepared = false;
    };
    static constexpr int kMaxPrepared = 100;
    QList<PgResult> pipeline(const QList<Statement>& statements);
    // Bounds every later statement of this connection; only sent when it changes.
    bool setStatementTimeout(int ms);
    // A transaction block: begin() never commits anything, commit() may.
    PgResult begin();
    PgResult commit();
    void rollback();
    bool inTransaction() const;

    // "name" with inner quotes doubled.
    static QString QuoteIdentifier(const QString& name);

private:
    // What a statement may do once it has left: a plain one commits when sent outside a block.
    enum class Sent { Statement, Begin, Commit };
    pg_result* run(const QString& sql, const QList<QVariant>& params, const QList<quint32>& types,
                   PgResult& result, Sent sent = Sent::Statement);

    pg_conn* conn_ = nullptr;
    std::shared_ptr<PgCancel> canceller_;
    QString lastError_;
    int statementTimeoutMs_ = 0;
    // The names of the statements prepared on this connection, by text and types; gone with it.
    QHash<QString, QByteArray> prepared_;
    int preparedCount_ = 0;
    qint64 statementsDone_ = 0;
    qint64 commitsSent_ = 0;
};
