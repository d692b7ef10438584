#pragma once

#include <QString>

namespace dao {
class Database;
}

// The few schema changes made at run time, on package files above all.
class ClsDaoTable {
public:
    // Field type codes of the old engine that callers pass.
    static constexpr int kBoolean = 1;
    static constexpr int kByte = 2;
    static constexpr int kInteger = 3;
    static constexpr int kLong = 4;
    static constexpr int kCurrency = 5;
    static constexpr int kSingle = 6;
    static constexpr int kDouble = 7;
    static constexpr int kText = 10;

    // True unless the table is known to be absent; names are compared without regard to case.
    bool ExistsTableQuery(const QString& name, dao::Database& db);
    bool ExistsFieldName(const QString& fieldName, dao::Database& db, const QString& table);
    // A new table holds one placeholder field "x_x_x_x"; an existing table is left alone.
    bool CreateTable(const QString& name, dao::Database& db);
    // Adds the field once and fills the existing rows with the default; other type codes do nothing.
    bool AddField(const QString& table, dao::Database& db, const QString& field, int type, int size,
                  bool allowZeroLength, const QString& defaultValue);
    bool AddIdField(const QString& table, dao::Database& db, const QString& field);
    bool DeleteField(const QString& table, dao::Database& db, const QString& field);
};
