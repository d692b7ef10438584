#include "platform/dao/dao_recordset.h"

#include <sqlite3.h>

#include "platform/dao/dao_connection.h"
#include "platform/dao/dao_error.h"

namespace dao {

Recordset::Recordset(std::shared_ptr<Connection> conn, const QString& sql, const Params& params)
    : conn_(std::move(conn)), sql_(sql) {
    stmt_ = conn_->acquire(sql_);
    try {
        conn_->bind(stmt_, params);
        MoveNext();
        // Only after the first step: a schema change re-prepares the statement there.
        names_ = conn_->columns(sql_, stmt_);
    } catch (...) {
        Close();
        throw;
    }
}

Recordset::Recordset(Recordset&& other) noexcept
    : conn_(std::move(other.conn_)),
      sql_(std::move(other.sql_)),
      stmt_(other.stmt_),
      hasRow_(other.hasRow_),
      names_(std::move(other.names_)) {
    other.stmt_ = nullptr;
    other.hasRow_ = false;
}

Recordset& Recordset::operator=(Recordset&& other) noexcept {
    if (this != &other) {
        Close();
        conn_ = std::move(other.conn_);
        sql_ = std::move(other.sql_);
        stmt_ = other.stmt_;
        hasRow_ = other.hasRow_;
        names_ = std::move(other.names_);
        other.stmt_ = nullptr;
        other.hasRow_ = false;
    }
    return *this;
}

Recordset::~Recordset() { Close(); }

void Recordset::Close() {
    if (stmt_ && conn_) conn_->release(sql_, stmt_);
    stmt_ = nullptr;
    hasRow_ = false;
    conn_.reset();
}

void Recordset::MoveNext() {
    if (!stmt_) {
        hasRow_ = false;
        return;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        hasRow_ = true;
    } else if (rc == SQLITE_DONE) {
        hasRow_ = false;
    } else {
        hasRow_ = false;
        conn_->fail(rc, sql_);
    }
}

int Recordset::fieldCount() const { return stmt_ ? sqlite3_column_count(stmt_) : 0; }

QString Recordset::fieldName(int i) const {
    return stmt_ ? QString::fromUtf8(sqlite3_column_name(stmt_, i)) : QString();
}

int Recordset::fieldIndex(const QString& name) const { return names_ ? names_->value(name.toLower(), -1) : -1; }

int Recordset::indexOrThrow(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0) throw DaoError(kErrItemNotFound, QStringLiteral("在此集合中没有找到项目 (%1)。").arg(name));
    if (!hasRow_) throw DaoError(3021, QStringLiteral("无当前记录。"));
    return i;
}

QVariant Recordset::value(int i) const {
    if (!hasRow_ || i < 0 || i >= fieldCount()) return {};
    switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(stmt_, i)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt_, i));
        case SQLITE_TEXT: {
            const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, i));
            return QVariant(QString::fromUtf16(p, sqlite3_column_bytes16(stmt_, i) / 2));
        }
        case SQLITE_BLOB: {
            const void* p = sqlite3_column_blob(stmt_, i);
            return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt_, i)));
        }
        default:
            return {};
    }
}

QVariant Recordset::value(const QString& name) const { return value(indexOrThrow(name)); }

QString Recordset::Text(const QString& name) const {
    const QVariant v = value(indexOrThrow(name));
    return v.isNull() ? QString("") : v.toString();
}

qint64 Recordset::Long(const QString& name) const { return value(indexOrThrow(name)).toLongLong(); }

bool Recordset::Bool(const QString& name) const { return value(indexOrThrow(name)).toLongLong() != 0; }

QByteArray Recordset::Bytes(const QString& name) const { return value(indexOrThrow(name)).toByteArray(); }

bool Recordset::IsNull(const QString& name) const {
    return sqlite3_column_type(stmt_, indexOrThrow(name)) == SQLITE_NULL;
}

qint64 Recordset::Int64(int i) const { return hasRow_ ? sqlite3_column_int64(stmt_, i) : 0; }

QByteArrayView Recordset::Utf8(int i) const {
    if (!hasRow_) return {};
    // The pointer first: asking for it may convert the value, which changes its length.
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, i));
    return {p, sqlite3_column_bytes(stmt_, i)};
}

}  // namespace dao
