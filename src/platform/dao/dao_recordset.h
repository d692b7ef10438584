#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>

#include "platform/dao/dao_types.h"

struct sqlite3_stmt;

namespace dao {

class Connection;

// A forward-only record set over one statement. Field names are matched without regard to case,
// as the old engine did. Text fields read as "" when Null through Text().
class Recordset {
public:
    Recordset() = default;
    Recordset(std::shared_ptr<Connection> conn, const QString& sql, const Params& params);
    Recordset(Recordset&& other) noexcept;
    Recordset& operator=(Recordset&& other) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset();

    bool EOF_() const { return !hasRow_; }
    bool hasRow() const { return hasRow_; }
    void MoveNext();
    void Close();

    int fieldCount() const;
    QString fieldName(int i) const;
    int fieldIndex(const QString& name) const;  // -1 when absent

    QVariant value(int i) const;
    QVariant value(const QString& name) const;
    QString Text(const QString& name) const;
    qint64 Long(const QString& name) const;
    bool Bool(const QString& name) const;
    QByteArray Bytes(const QString& name) const;
    bool IsNull(const QString& name) const;

    // For loops over whole tables, without a value object per field: a number (0 for Null or text),
    // and the bytes of a text (UTF-8) or blob, valid until the next step.
    qint64 Int64(int i) const;
    QByteArrayView Utf8(int i) const;

private:
    int indexOrThrow(const QString& name) const;
    std::shared_ptr<Connection> conn_;
    QString sql_;
    sqlite3_stmt* stmt_ = nullptr;
    bool hasRow_ = false;
    std::shared_ptr<const QHash<QString, int>> names_;
};

}  // namespace dao
