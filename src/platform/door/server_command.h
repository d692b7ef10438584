#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <optional>
#include <vector>

#include "platform/door/door_connection.h"
#include "platform/door/door_json.h"
#include "platform/door/server_error.h"

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
    friend class ServerBatch;
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
    // The values set, by parameter name, as a call sends them.
    static std::map<QString, door_json::CallValue> valuesOf(const Definition& def);
    // The call's JSON for these values, with a key of its own.
    static QByteArray callOf(const Definition& def, const std::map<QString, door_json::CallValue>& values);
    // A failure of a call of the procedure, as Execute raises it.
    static ServerError callFailed(const QString& procedure, const ServerError& e);

    DoorConnection* connection_ = nullptr;
    QString commandText_;
    std::map<QString, Definition> definitions_;  // by lower-case procedure name
    Definition* current_ = nullptr;
};

// Calls of one command sent together, in one request to the door, and run by the server in order, each
// as Execute runs it (its own transaction, its own key): fewer requests for an operation of many calls.
// A parameter may take an out value of an earlier call of the same batch. A batch is bounded in calls and
// bytes; an empty one takes any single call, which the door's body limit allows.
class ServerBatch {
public:
    static constexpr int kMaxCalls = 120;
    static constexpr qint64 kMaxBytes = 4LL * 1024 * 1024;

    struct Reference {
        QString parameter;  // of the call being added
        int call;           // an earlier call of the batch
        QString out;        // that call's out parameter
    };
    struct Outcome {
        int done = 0;  // the calls done, in order
        // Why the call after them failed, in the words Execute would have thrown; a request that failed
        // whole fails its first call.
        std::optional<ServerError> failure;
    };

    explicit ServerBatch(ServerCommand& command) : command_(command) {}

    // Queues the command's procedure with the values set on it, references in place of theirs; answers
    // its place in the batch, or -1 (nothing queued) when it would take the batch past its bounds.
    int Add(const QList<Reference>& references = {});
    int Size() const { return int(queued_.size()); }
    bool IsEmpty() const { return queued_.isEmpty(); }
    // Sends the queued calls, which leave the batch.
    Outcome Send();
    // An out value of a call done by the last Send, as the command reads it.
    QVariant Out(int call, const QString& name) const;
    // The rows a function of the last Send answered.
    ServerRows Rows(int call) const;

private:
    struct Queued {
        QString procedure;
        std::vector<ServerParameter> parameters;
        QByteArray call;  // its JSON, written once: counted by Add, sent by Send
    };
    ServerCommand& command_;
    QList<Queued> queued_;
    qint64 bytes_ = 0;
    QList<Queued> sent_;
    QList<QJsonObject> answers_;
};
