#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <vector>

#include "platform/pg/pg_connection.h"

// Directions keep the old data-access numbers.
enum class PgParamDirection { Input = 1, Output = 2, InputOutput = 3 };

// One declared parameter of a server procedure, as the server declares it.
struct PgParameter {
    QString Name;  // as declared, e.g. "@z_Boy_Sex"
    PgParamDirection Direction = PgParamDirection::Input;
    quint32 Type = 0;  // server type number
    QString TypeName;
    QVariant Value;  // set before Execute; out values are read back here
};

// The rows a procedure returns, read from first to last. Columns are found without regard to case.
struct PgRows {
    QStringList columns;
    QList<QVariantList> rows;

    int column(const QString& name) const;  // -1 when there is none
    // Throws PgError when the column does not exist.
    QVariant value(int row, const QString& name) const;
    int size() const { return int(rows.size()); }
    bool isEmpty() const { return rows.isEmpty(); }
};

// Calls server procedures by name. The procedure's parameters are read from the server's catalogue the
// first time the command uses it, and callers set and read them by name without regard to case
// ("@z_Boy_Sex" and "@z_boy_sex" are one parameter). Every failure (connection, unknown procedure or
// parameter, the call itself) throws PgError and changes nothing on the command.
class PgCommand {
public:
    static constexpr int kTimeoutMs = 30000;
    // Calls that carry a picture either way get longer.
    static constexpr int kPictureTimeoutMs = 120000;

    PgCommand() = default;
    explicit PgCommand(PgConnection* connection) : connection_(connection) {}

    void SetActiveConnection(PgConnection* connection) { connection_ = connection; }
    PgConnection* ActiveConnection() const { return connection_; }

    // Choosing a procedure forgets the values set for the previous one.
    void SetCommandText(const QString& procedureName);
    QString CommandText() const { return commandText_; }

    PgParameter& Parameters(const QString& name);
    void SetValue(const QString& name, const QVariant& value) { Parameters(name).Value = value; }
    QVariant Value(const QString& name) { return Parameters(name).Value; }
    // The declared parameters in their order.
    QStringList ParameterNames();

    // Runs the procedure with the values set; out values land in the parameters, rows are returned.
    PgRows Execute();

private:
    struct Definition {
        QString schema;
        QString name;
        bool isProcedure = false;
        bool returnsSet = false;
        bool carriesPicture = false;
        std::vector<PgParameter> parameters;
    };

    Definition& definition();
    Definition lookUp(const QString& procedureName);
    PgConnection& openConnection();

    PgConnection* connection_ = nullptr;
    QString commandText_;
    std::map<QString, Definition> definitions_;  // by lower-case procedure name
    Definition* current_ = nullptr;
};
