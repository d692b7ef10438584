#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

struct pg_conn;

struct PgParams {
    QString host, port, dbname, user, password;
    int connectTimeoutSec = 5;
};

// The desktop program's own server account; host and port follow PGHOST/PGPORT when set (PGHOST may be a
// socket directory), else 127.0.0.1 and 5432.
PgParams BuiltinServerParams();

struct PgResult {
    bool ok = false;
    QString error;     // server or client message when !ok
    QString sqlState;  // five-character SQLSTATE of the failure, "" when none
    QStringList columns;
    QList<QStringList> rows;  // text values; SQL NULL is a null QString
    int affectedRows = 0;
};

// One libpq connection. Open states keep the old numbers: 1 open, 0 closed.
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
    int state() const { return isOpen() ? kStateOpen : kStateClosed; }
    QString lastError() const { return lastError_; }

    // One statement with $1..$n parameters sent separately from the SQL text (never spliced into it).
    // Null QVariants go as SQL NULL, QByteArray as binary (bytea), everything else as its text form.
    PgResult exec(const QString& sql, const QList<QVariant>& params = {});

private:
    pg_conn* conn_ = nullptr;
    QString lastError_;
};
