#include "platform/pg/pg_connection.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <libpq-fe.h>

#include <utility>
#include <vector>

namespace {

QString EnvOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

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

}  // namespace

PgParams BuiltinServerParams() {
    PgParams params;
    params.host = EnvOr("PGHOST", QStringLiteral("127.0.0.1"));
    params.port = EnvOr("PGPORT", QStringLiteral("5432"));
    params.dbname = QStringLiteral("qntzpsvr01");
    params.user = QStringLiteral("qntzpsvr01");
    params.password = QStringLiteral("h27wd913");
    return params;
}

PgConnection::~PgConnection() {
    close();
}

PgConnection::PgConnection(PgConnection&& other) noexcept
    : conn_(std::exchange(other.conn_, nullptr)), lastError_(std::move(other.lastError_)) {}

PgConnection& PgConnection::operator=(PgConnection&& other) noexcept {
    if (this != &other) {
        close();
        conn_ = std::exchange(other.conn_, nullptr);
        lastError_ = std::move(other.lastError_);
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
    // bounded, and keepalives notice a dead connection.
    add("options", QStringLiteral("-c statement_timeout=60000"));
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
    return true;
}

void PgConnection::close() {
    if (conn_) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
}

bool PgConnection::isOpen() const {
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

PgResult PgConnection::exec(const QString& sql, const QList<QVariant>& params) {
    PgResult result;
    if (!isOpen()) {
        result.error = QStringLiteral("connection is not open");
        return result;
    }

    const int count = int(params.size());
    std::vector<QByteArray> buffers(count);
    std::vector<const char*> values(count, nullptr);
    std::vector<int> lengths(count, 0), formats(count, 0);
    for (int i = 0; i < count; ++i) {
        const QVariant& value = params[i];
        if (value.isNull()) continue;
        if (value.typeId() == QMetaType::QByteArray) {
            buffers[i] = value.toByteArray();
            formats[i] = 1;
        } else {
            buffers[i] = ParamText(value);
        }
        values[i] = buffers[i].constData();
        lengths[i] = int(buffers[i].size());
    }

    const QByteArray text = sql.toUtf8();
    PGresult* res = PQexecParams(conn_, text.constData(), count, nullptr, values.data(), lengths.data(),
                                 formats.data(), 0);
    if (!res) {
        result.error = ClientError(conn_);
        return result;
    }
    const ExecStatusType status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        result.error = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
        if (result.error.isEmpty()) result.error = ClientError(conn_);
        result.sqlState = QString::fromLatin1(PQresultErrorField(res, PG_DIAG_SQLSTATE));
        PQclear(res);
        return result;
    }

    result.ok = true;
    result.affectedRows = QByteArray(PQcmdTuples(res)).toInt();
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
