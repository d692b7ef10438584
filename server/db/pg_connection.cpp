#include "db/pg_connection.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <libpq-fe.h>
#include <poll.h>

#include <utility>
#include <vector>

namespace {

constexpr int kOpenStatementTimeoutMs = 60000;

// libpq prints notices to stderr by default; procedures may raise many of them.
void IgnoreNotice(void*, const char*) {}

QByteArray ParamText(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? "true" : "false";
        case QMetaType::QDateTime:
            return value.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
        case QMetaType::QDate:
            return value.toDate().toString(Qt::ISODate).toUtf8();
        case QMetaType::QTime:
            return value.toTime().toString(Qt::ISODateWithMs).toUtf8();
        default:
            return value.toString().toUtf8();
    }
}

QString ClientError(PGconn* conn) {
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

// True when the statement succeeded; otherwise the result carries the failure and res is freed.
bool TakeStatus(PGconn* conn, PGresult* res, PgResult& result) {
    const ExecStatusType status = PQresultStatus(res);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        result.ok = true;
        result.affectedRows = QByteArray(PQcmdTuples(res)).toInt();
        return true;
    }
    // The primary message alone: the user is shown it, not the server's context lines.
    result.error = QString::fromUtf8(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY)).trimmed();
    if (result.error.isEmpty()) result.error = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
    if (result.error.isEmpty()) result.error = ClientError(conn);
    result.sqlState = QString::fromLatin1(PQresultErrorField(res, PG_DIAG_SQLSTATE));
    result.detail = QString::fromUtf8(PQresultErrorField(res, PG_DIAG_MESSAGE_DETAIL));
    // A function's own RAISE says so in the context's last line.
    const char* context = PQresultErrorField(res, PG_DIAG_CONTEXT);
    result.raised = context && QByteArray(context).split('\n').first().trimmed().endsWith("at RAISE");
    PQclear(res);
    return false;
}

// The last result of the statement just sent (earlier ones are dropped), nullptr when none came.
PGresult* LastResult(PGconn* conn) {
    PGresult* last = nullptr;
    while (PGresult* next = PQgetResult(conn)) {
        if (last) PQclear(last);
        last = next;
    }
    return last;
}

int TypeIdOf(quint32 type) {
    switch (type) {
        case pgtype::kBool:
            return QMetaType::Bool;
        case pgtype::kInt2:
        case pgtype::kInt4:
            return QMetaType::Int;
        case pgtype::kInt8:
            return QMetaType::LongLong;
        case pgtype::kOid:
            return QMetaType::UInt;
        case pgtype::kFloat4:
        case pgtype::kFloat8:
        case pgtype::kNumeric:
            return QMetaType::Double;
        case pgtype::kBytea:
            return QMetaType::QByteArray;
        default:
            return QMetaType::QString;
    }
}

QVariant TypedValue(quint32 type, const char* text, int length) {
    switch (TypeIdOf(type)) {
        case QMetaType::Bool:
            return QVariant(text[0] == 't');
        case QMetaType::Int:
            return QVariant(QByteArray::fromRawData(text, length).toInt());
        case QMetaType::LongLong:
            return QVariant(QByteArray::fromRawData(text, length).toLongLong());
        case QMetaType::UInt:
            return QVariant(QByteArray::fromRawData(text, length).toUInt());
        case QMetaType::Double:
            return QVariant(QByteArray::fromRawData(text, length).toDouble());
        case QMetaType::QByteArray: {
            size_t size = 0;
            unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
            if (!bytes) return QVariant(QByteArray());
            QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(size));
            PQfreemem(bytes);
            return QVariant(value);
        }
        default:
            return QVariant(QString::fromUtf8(text, length));
    }
}

// The parameters of one statement as libpq takes them: values in text form, bytes in binary.
struct SentParams {
    std::vector<QByteArray> buffers;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    std::vector<Oid> oids;

    SentParams(const QList<QVariant>& params, const QList<quint32>& types) {
        const size_t count = size_t(params.size());
        buffers.resize(count);
        values.assign(count, nullptr);
        lengths.assign(count, 0);
        formats.assign(count, 0);
        oids.assign(count, 0);
        for (size_t i = 0; i < count; ++i) {
            const QVariant& value = params[qsizetype(i)];
            const quint32 type = types.value(qsizetype(i), 0);
            oids[i] = type;
            if (value.isNull()) continue;
            if (type == pgtype::kBytea || (type == 0 && value.typeId() == QMetaType::QByteArray)) {
                buffers[i] =
                    value.typeId() == QMetaType::QString ? value.toString().toUtf8() : value.toByteArray();
                formats[i] = 1;
            } else if (type == pgtype::kBool) {
                // Yes/No fields may hold the old True (-1) as well as 1.
                buffers[i] = value.toBool() ? "true" : "false";
            } else {
                buffers[i] = ParamText(value);
            }
            values[i] = buffers[i].constData();
            lengths[i] = int(buffers[i].size());
        }
    }
    int count() const { return int(values.size()); }
};

// A result's rows as typed values (see execValues).
void TakeValues(PGresult* res, PgResult& result) {
    const int columns = PQnfields(res);
    for (int c = 0; c < columns; ++c) {
        result.columns << QString::fromUtf8(PQfname(res, c));
        result.columnTypes << PQftype(res, c);
    }
    const int rows = PQntuples(res);
    result.values.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            const quint32 type = result.columnTypes[c];
            if (PQgetisnull(res, r, c))
                row << QVariant(QMetaType(TypeIdOf(type)));
            else
                row << TypedValue(type, PQgetvalue(res, r, c), PQgetlength(res, r, c));
        }
        result.values << row;
    }
}

}  // namespace

PgCancel::~PgCancel() {
    if (handle_) PQfreeCancel(handle_);
}

bool PgCancel::cancel() {
    char error[256];
    return handle_ && PQcancel(handle_, error, int(sizeof error)) == 1;
}

PgConnection::~PgConnection() {
    close();
}

PgConnection::PgConnection(PgConnection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)),
      canceller_(std::move(other.canceller_)),
      lastError_(std::move(other.lastError_)),
      statementTimeoutMs_(other.statementTimeoutMs_),
      prepared_(std::move(other.prepared_)),
      preparedCount_(other.preparedCount_),
      statementsDone_(other.statementsDone_),
      commitsSent_(other.commitsSent_) {}

PgConnection& PgConnection::operator=(PgConnection&& other) noexcept {
    if (this != &other) {
        close();
        conn_ = std::exchange(other.conn_, nullptr);
        canceller_ = std::move(other.canceller_);
        lastError_ = std::move(other.lastError_);
        statementTimeoutMs_ = other.statementTimeoutMs_;
        prepared_ = std::move(other.prepared_);
        preparedCount_ = other.preparedCount_;
        statementsDone_ = other.statementsDone_;
        commitsSent_ = other.commitsSent_;
    }
    return *this;
}

std::unique_ptr<PgConnection> PgConnection::Open(const PgParams& params, QString* error) {
    auto connection = std::make_unique<PgConnection>();
    const bool opened = connection->open(params);
    if (error) *error = opened ? QString() : connection->lastError();
    if (!opened) connection.reset();
    return connection;
}

bool PgConnection::open(const PgParams& params) {
    close();
    lastError_.clear();

    // Empty fields are left out so that libpq falls back to its own defaults.
    std::vector<QByteArray> keys, values;
    auto add = [&](const char* key, const QString& value) {
        if (value.isEmpty()) return;
        keys.emplace_back(key);
        values.push_back(value.toUtf8());
    };
    add("host", params.host);
    add("port", params.port);
    add("dbname", params.dbname);
    add("user", params.user);
    add("password", params.password);
    // Without a time-out an unreachable server would block the caller indefinitely.
    add("connect_timeout", QString::number(params.connectTimeoutSec > 0 ? params.connectTimeoutSec : 5));
    add("client_encoding", QStringLiteral("UTF8"));
    // A server that stops answering mid-operation must not freeze the program either: statements are
    // bounded, and keepalives notice a dead connection. Nor does the server go on working for a client
    // that is gone (a page service killed mid-statement): it looks every two seconds.
    add("options", QStringLiteral("-c statement_timeout=%1 -c client_connection_check_interval=2000")
                       .arg(kOpenStatementTimeoutMs));
    add("keepalives", QStringLiteral("1"));
    add("keepalives_idle", QStringLiteral("30"));
    add("keepalives_interval", QStringLiteral("10"));
    add("keepalives_count", QStringLiteral("3"));

    std::vector<const char*> keyPtrs, valuePtrs;
    for (size_t i = 0; i < keys.size(); ++i) {
        keyPtrs.push_back(keys[i].constData());
        valuePtrs.push_back(values[i].constData());
    }
    keyPtrs.push_back(nullptr);
    valuePtrs.push_back(nullptr);

    PGconn* conn = PQconnectdbParams(keyPtrs.data(), valuePtrs.data(), 0);
    if (!conn) {
        lastError_ = QStringLiteral("out of memory");
        return false;
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        lastError_ = ClientError(conn);
        PQfinish(conn);
        return false;
    }
    PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
    conn_ = conn;
    // Made here, on the connection's own thread: libpq lets only the handle cross threads.
    if (pg_cancel* handle = PQgetCancel(conn)) canceller_ = std::make_shared<PgCancel>(handle);
    statementTimeoutMs_ = kOpenStatementTimeoutMs;
    statementsDone_ = 0;
    return true;
}

void PgConnection::close() {
    canceller_.reset();
    prepared_.clear();
    preparedCount_ = 0;
    if (conn_) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
}

QString PgConnection::database() const {
    return conn_ ? QString::fromUtf8(PQdb(conn_)) : QString();
}

bool PgConnection::isOpen() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

bool PgConnection::stillAlive() {
    if (!isOpen()) return false;
    pollfd waiting{PQsocket(conn_), POLLIN, 0};
    if (poll(&waiting, 1, 0) == 0) return true;
    // Nothing is asked of an idle connection, so whatever came is its end.
    close();
    return false;
}

pg_result* PgConnection::run(const QString& sql, const QList<QVariant>& params, const QList<quint32>& types,
                             PgResult& result, Sent sent) {
    if (!isOpen()) {
        result.error = QStringLiteral("connection is not open");
        return nullptr;
    }

    const SentParams values(params, types);
    const QByteArray text = sql.toUtf8();
    const bool commits = sent == Sent::Commit || (sent == Sent::Statement && !inTransaction());
    // Sent and answered separately, so that a statement that never left is known as such.
    if (!PQsendQueryParams(conn_, text.constData(), values.count(),
                           types.isEmpty() ? nullptr : values.oids.data(), values.values.data(),
                           values.lengths.data(), values.formats.data(), 0)) {
        result.error = ClientError(conn_);
        return nullptr;
    }
    if (commits) ++commitsSent_;
    PGresult* res = LastResult(conn_);
    if (!res) {
        result.error = ClientError(conn_);
        return nullptr;
    }
    if (!TakeStatus(conn_, res, result)) return nullptr;
    ++statementsDone_;
    return res;
}

PgResult PgConnection::exec(const QString& sql, const QList<QVariant>& params) {
    PgResult result;
    PGresult* res = run(sql, params, {}, result);
    if (!res) return result;
    const int columns = PQnfields(res);
    for (int c = 0; c < columns; ++c) result.columns << QString::fromUtf8(PQfname(res, c));
    const int rows = PQntuples(res);
    result.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(res, r, c))
                row << QString();
            else
                row << QString::fromUtf8(PQgetvalue(res, r, c), PQgetlength(res, r, c));
        }
        result.rows << row;
    }
    PQclear(res);
    return result;
}

PgResult PgConnection::execValues(const QString& sql, const QList<QVariant>& params,
                                  const QList<quint32>& types) {
    PgResult result;
    PGresult* res = run(sql, params, types, result);
    if (!res) return result;
    TakeValues(res, result);
    PQclear(res);
    return result;
}

QList<PgResult> PgConnection::pipeline(const QList<Statement>& statements) {
    QList<PgResult> results(statements.size());
    const auto failAll = [&](const QString& error) {
        for (PgResult& r : results)
            if (!r.ok && r.error.isEmpty()) r.error = error;
        return results;
    };
    if (!isOpen()) return failAll(QStringLiteral("connection is not open"));
    bool inBlock = inTransaction();
    if (!PQenterPipelineMode(conn_)) return failAll(ClientError(conn_));
    bool counted = false;
    bool sentAll = true;
    // Of each prepared statement: its key among the connection's names, and whether its text went too.
    std::vector<QString> keys(size_t(statements.size()));
    std::vector<bool> parsing(size_t(statements.size()), false);
    for (qsizetype i = 0; i < statements.size(); ++i) {
        const Statement& statement = statements[i];
        const SentParams sent(statement.params, statement.types);
        const QByteArray text = statement.sql.toUtf8();
        const Oid* oids = statement.types.isEmpty() ? nullptr : sent.oids.data();
        // What may commit once it has left: COMMIT, and a statement outside a transaction block.
        bool commits = false;
        if (statement.sql == QLatin1String("BEGIN")) {
            inBlock = true;
        } else if (statement.sql == QLatin1String("COMMIT")) {
            commits = true;
            inBlock = false;
        } else {
            commits = !inBlock;
        }
        QByteArray name;
        if (statement.prepared) {
            QString& key = keys[size_t(i)];
            // The text and its types' numbers, each as two UTF-16 units: a key, never shown.
            key = statement.sql;
            key.append(reinterpret_cast<const QChar*>(statement.types.constData()),
                       2 * statement.types.size());
            name = prepared_.value(key);
            if (name.isEmpty() && preparedCount_ < kMaxPrepared) {
                name = "qentara_" + QByteArray::number(++preparedCount_);
                // Parsed before it runs, in order, whatever the pipeline holds before it.
                if (!PQsendPrepare(conn_, name.constData(), text.constData(), sent.count(), oids)) {
                    sentAll = false;
                    break;
                }
                prepared_.insert(key, name);
                parsing[size_t(i)] = true;
            }
        }
        const bool queued =
            name.isEmpty()
                ? PQsendQueryParams(conn_, text.constData(), sent.count(), oids, sent.values.data(),
                                    sent.lengths.data(), sent.formats.data(), 0)
                : PQsendQueryPrepared(conn_, name.constData(), sent.count(), sent.values.data(),
                                      sent.lengths.data(), sent.formats.data(), 0);
        if (!queued) {
            sentAll = false;
            break;
        }
        if (commits && !counted) {
            ++commitsSent_;
            counted = true;
        }
    }
    if (!sentAll || !PQpipelineSync(conn_)) {
        const QString error = ClientError(conn_);
        PQexitPipelineMode(conn_);
        close();
        return failAll(error);
    }
    // The connection failed while the answers came: what is unanswered says why, and it is closed.
    const auto lostMidway = [&] {
        failAll(ClientError(conn_));
        close();
        return results;
    };
    for (qsizetype i = 0; i < results.size(); ++i) {
        PgResult& result = results[i];
        if (parsing[size_t(i)]) {
            PGresult* parsed = PQgetResult(conn_);
            if (!parsed) return lostMidway();
            const ExecStatusType status = PQresultStatus(parsed);
            if (status != PGRES_COMMAND_OK) prepared_.remove(keys[size_t(i)]);
            if (status == PGRES_COMMAND_OK || status == PGRES_PIPELINE_ABORTED ||
                TakeStatus(conn_, parsed, result))
                PQclear(parsed);
            while (PGresult* rest = PQgetResult(conn_)) PQclear(rest);
        }
        PGresult* res = PQgetResult(conn_);
        if (!res) return lostMidway();
        const ExecStatusType status = PQresultStatus(res);
        if (status == PGRES_PIPELINE_ABORTED) {
            if (result.error.isEmpty()) result.error = QStringLiteral("not run after an earlier failure");
            PQclear(res);
        } else if (TakeStatus(conn_, res, result)) {
            ++statementsDone_;
            TakeValues(res, result);
            PQclear(res);
        } else if (!keys[size_t(i)].isEmpty() && result.sqlState == QLatin1String("0A000")) {
            // Its result no longer what it was parsed for (the schema changed under it): parsed anew
            // under another name next time.
            prepared_.remove(keys[size_t(i)]);
        }
        // Each statement's results end with a null.
        while (PGresult* rest = PQgetResult(conn_)) PQclear(rest);
    }
    // The sync's own result, then the connection leaves pipeline mode.
    while (PGresult* res = PQgetResult(conn_)) {
        const bool synced = PQresultStatus(res) == PGRES_PIPELINE_SYNC;
        PQclear(res);
        if (synced) break;
    }
    PQexitPipelineMode(conn_);
    return results;
}

PgResult PgConnection::execScript(const QString& sql) {
    PgResult result;
    if (!isOpen()) {
        result.error = QStringLiteral("connection is not open");
        return result;
    }
    ++commitsSent_;
    PGresult* res = PQexec(conn_, sql.toUtf8().constData());
    if (!res) {
        result.error = ClientError(conn_);
        return result;
    }
    if (TakeStatus(conn_, res, result)) {
        ++statementsDone_;
        PQclear(res);
    }
    return result;
}

bool PgConnection::setStatementTimeout(int ms) {
    if (ms == statementTimeoutMs_) return isOpen();
    const PgResult set =
        exec(QStringLiteral("SELECT set_config('statement_timeout', $1, false)"), {QString::number(ms)});
    if (set.ok) statementTimeoutMs_ = ms;
    return set.ok;
}

PgResult PgConnection::begin() {
    PgResult result;
    PGresult* res = run(QStringLiteral("BEGIN"), {}, {}, result, Sent::Begin);
    if (res) PQclear(res);
    return result;
}

PgResult PgConnection::commit() {
    PgResult result;
    PGresult* res = run(QStringLiteral("COMMIT"), {}, {}, result, Sent::Commit);
    if (res) PQclear(res);
    return result;
}

void PgConnection::rollback() {
    if (!inTransaction()) return;
    PgResult result;
    PGresult* res = run(QStringLiteral("ROLLBACK"), {}, {}, result, Sent::Begin);
    if (res) PQclear(res);
}

bool PgConnection::inTransaction() const {
    if (!conn_) return false;
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

QString PgConnection::QuoteIdentifier(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
