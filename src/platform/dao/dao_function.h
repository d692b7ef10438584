#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <span>

#include "platform/dao/dao_types.h"

namespace dao {

class Connection;
class Database;

// A function the SQL of one database handle may call while an operation runs, so that the engine can
// copy rows whole and change only a few of their values on the way. Arguments and the result are values
// as record sets give them: Null is an invalid QVariant, text a QString, a blob a QByteArray. An
// exception the body throws fails the statement. The function is gone when the guard goes.
class SqlFunction {
public:
    using Body = std::function<QVariant(std::span<const QVariant> arguments)>;
    SqlFunction(Database& db, const QString& name, int arguments, Body body);
    ~SqlFunction();
    SqlFunction(const SqlFunction&) = delete;
    SqlFunction& operator=(const SqlFunction&) = delete;

private:
    std::shared_ptr<Connection> conn_;
    QByteArray name_;
    int arguments_;
};

}  // namespace dao
