#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <vector>

#include "platform/door/door_connection.h"

// Directions keep the old data-access numbers.
enum class ServerParamDirection { Input = 1, Output = 2, InputOutput = 3 };

// One declared parameter of a server procedure, as the server declares it.
struct ServerParameter {
    QString Name;  // as declared, e.g. "@z_Boy_Sex"
    ServerParamDirection Direction = ServerParamDirection::Input;
    quint32 Type = 0;  // the database's type number
    QString TypeName;
    QString Kind;    // how values travel: "bool", "int", "long", "double", "bytes" or "text"
    QVariant Value;  // set before Execute; out values are read back here
};

// The rows a procedure returns, read from first to last. Columns are found without regard to case.
struct ServerRows {
    QStringList columns;
    QList<QVariantList> rows;

    int column(const QString& name) const;  // -1 when there is none
    // Throws ServerError when the column does not exist.
    QVariant value(int row, const QString& name) const;
    int size() const { return int(rows.size()); }
    bool isEmpty() const { return rows.isEmpty(); }
};

// Calls server procedures by name through the door. The procedure's parameters are asked of the server
// the first time the command uses it, and callers set and read them by name without regard to case
// ("@z_Boy_Sex" and "@z_boy_sex" are one parameter). Every failure (the door, an unknown procedure or
// parameter, the call itself) throws ServerError in the program's words and changes nothing on the
// command. Each call carries a key of its own, so that the server answers a call sent again after its
// answer was lost with what the first one did.
class ServerCommand {
public:
    static constexpr int kTimeoutMs = 30000;
    // Calls that carry a picture either way get longer.
    static constexpr int kPictureTimeoutMs = 120000;

    ServerCommand() = default;
    explicit ServerCommand(DoorConnection* connection) : connection_(connection) {}

    void SetActiveConnection(DoorConnection* connection) { connection_ = connection; }
    DoorConnection* ActiveConnection() const { return connection_; }

    // Choosing a procedure forgets the values set for the previous one.
    void SetCommandText(const QString& procedureName);
    QString CommandText() const { return commandText_; }

    ServerParameter& Parameters(const QString& name);
    void SetValue(const QString& name, const QVariant& value) { Parameters(name).Value = value; }
    QVariant Value(const QString& name) { return Parameters(name).Value; }
    // The declared parameters in their order.
    QStringList ParameterNames();

    // Runs the procedure with the values set; out values land in the parameters, rows are returned. A
    // log-on's success leaves its credential on the connection, for the calls after it.
    ServerRows Execute();

private:
    struct Definition {
        QString name;
        bool isProcedure = false;
        bool returnsSet = false;
        bool carriesPicture = false;
        std::vector<ServerParameter> parameters;
    };

    Definition& definition();
    Definition lookUp(const QString& procedureName);
    DoorConnection& openConnection();

    DoorConnection* connection_ = nullptr;
    QString commandText_;
    std::map<QString, Definition> definitions_;  // by lower-case procedure name
    Definition* current_ = nullptr;
};
