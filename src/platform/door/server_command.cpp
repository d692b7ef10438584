#include "platform/door/server_command.h"

#include <QDate>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTime>
#include <QUuid>

#include <algorithm>
#include <utility>

#include "platform/door/door_json.h"
#include "platform/door/server_error.h"

namespace {

QString Quoted(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("”");
}

ServerParamDirection DirectionOf(const QString& mode) {
    if (mode == QLatin1String("out")) return ServerParamDirection::Output;
    if (mode == QLatin1String("inout")) return ServerParamDirection::InputOutput;
    return ServerParamDirection::Input;
}

bool IsOut(const ServerParameter& p) {
    return p.Direction != ServerParamDirection::Input;
}

int TypeIdOfKind(const QString& kind) {
    if (kind == QLatin1String("bool")) return QMetaType::Bool;
    if (kind == QLatin1String("int")) return QMetaType::Int;
    if (kind == QLatin1String("long")) return QMetaType::LongLong;
    if (kind == QLatin1String("double")) return QMetaType::Double;
    if (kind == QLatin1String("bytes")) return QMetaType::QByteArray;
    return QMetaType::QString;
}

// A value the server answered, as the type its kind names; NULL is a null value of that type.
QVariant FromWire(const QJsonValue& value, const QString& kind) {
    const int type = TypeIdOfKind(kind);
    if (value.isNull() || value.isUndefined()) return QVariant(QMetaType(type));
    switch (type) {
        case QMetaType::Bool:
            return QVariant(value.toBool());
        case QMetaType::Int:
            return QVariant(int(value.toInteger()));
        case QMetaType::LongLong:
            return QVariant(qlonglong(value.toInteger()));
        case QMetaType::Double:
            return QVariant(value.toDouble());
        case QMetaType::QByteArray:
            return QVariant(QByteArray::fromBase64(value.toString().toLatin1()));
        default:
            return QVariant(value.toString());
    }
}

// What a procedure's failure means, when the server's functions did not say it themselves.
QString StateText(const QString& state) {
    if (state == QLatin1String("57014")) return QStringLiteral("服务器处理的时间太长，已停止。");
    if (state == QLatin1String("42501")) return QStringLiteral("没有这样做的权限。");
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") || state == QLatin1String("55P03"))
        return QStringLiteral("服务器正忙，请稍后再试。");
    if (state.startsWith(QLatin1String("22"))) return QStringLiteral("数据不合服务器的要求。");
    if (state.startsWith(QLatin1String("23"))) return QStringLiteral("数据与服务器上已有的数据冲突。");
    if (state.startsWith(QLatin1String("53"))) return QStringLiteral("服务器的资源不够，请稍后再试。");
    return QStringLiteral("服务器处理请求时出错（代码 %1）。")
        .arg(state.isEmpty() ? QStringLiteral("?") : state);
}

// The rows a function answered, its values typed by their kinds.
ServerRows RowsOf(const QJsonObject& answer) {
    ServerRows rows;
    QStringList kinds;
    for (const QJsonValue& c : answer.value(QStringLiteral("columns")).toArray())
        rows.columns << c.toString();
    for (const QJsonValue& k : answer.value(QStringLiteral("kinds")).toArray()) kinds << k.toString();
    for (const QJsonValue& r : answer.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray row = r.toArray();
        QVariantList values;
        values.reserve(row.size());
        for (qsizetype c = 0; c < row.size(); ++c) values << FromWire(row.at(c), kinds.value(c));
        rows.rows << values;
    }
    return rows;
}

bool IsDoorCode(const ServerError& e, const char* code) {
    return e.SqlState() == QLatin1String("door:") + QLatin1String(code);
}

}  // namespace

int ServerRows::column(const QString& name) const {
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].compare(name, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

QVariant ServerRows::value(int row, const QString& name) const {
    const int c = column(name);
    if (c < 0) throw ServerError(QStringLiteral("服务器的回答中没有列%1。").arg(Quoted(name)));
    if (row < 0 || row >= rows.size())
        throw ServerError(QStringLiteral("服务器的回答中没有第 %1 行。").arg(row + 1));
    return rows[row].value(c);
}

void ServerCommand::SetCommandText(const QString& procedureName) {
    commandText_ = procedureName.trimmed();
    current_ = nullptr;
    const auto found = definitions_.find(commandText_.toLower());
    if (found == definitions_.end()) return;
    for (ServerParameter& p : found->second.parameters) p.Value = QVariant();
}

DoorConnection& ServerCommand::openConnection() {
    if (!connection_ || !connection_->isOpen()) throw ServerError(QStringLiteral("服务器连接没有打开。"));
    return *connection_;
}

ServerCommand::Definition& ServerCommand::definition() {
    if (current_) return *current_;
    if (commandText_.isEmpty()) throw ServerError(QStringLiteral("没有指定服务器过程。"));
    const QString key = commandText_.toLower();
    auto found = definitions_.find(key);
    if (found == definitions_.end()) found = definitions_.emplace(key, lookUp(commandText_)).first;
    for (ServerParameter& p : found->second.parameters) p.Value = QVariant();
    current_ = &found->second;
    return *current_;
}

ServerCommand::Definition ServerCommand::lookUp(const QString& procedureName) {
    DoorConnection& connection = openConnection();
    QJsonObject declared;
    try {
        declared =
            connection.post(QStringLiteral("/door/describe"), {{QStringLiteral("procedure"), procedureName}},
                            DoorConnection::kAskTimeoutMs);
    } catch (const ServerError& e) {
        if (IsDoorCode(e, "no_procedure"))
            throw ServerError(QStringLiteral("服务器上没有过程%1。").arg(Quoted(procedureName)));
        if (IsDoorCode(e, "ambiguous"))
            throw ServerError(QStringLiteral("服务器上有多个过程名为%1。").arg(Quoted(procedureName)));
        throw ServerError(
            QStringLiteral("查找服务器过程%1失败：%2").arg(Quoted(procedureName), e.Description()),
            e.SqlState());
    }
    Definition def;
    def.name = declared.value(QStringLiteral("procedure")).toString();
    def.isProcedure = declared.value(QStringLiteral("isProcedure")).toBool();
    def.returnsSet = declared.value(QStringLiteral("returnsRows")).toBool();
    def.carriesPicture = declared.value(QStringLiteral("pictures")).toBool();
    for (const QJsonValue& item : declared.value(QStringLiteral("parameters")).toArray()) {
        const QJsonObject p = item.toObject();
        ServerParameter parameter;
        parameter.Name = p.value(QStringLiteral("name")).toString();
        parameter.Direction = DirectionOf(p.value(QStringLiteral("mode")).toString());
        parameter.Type = quint32(p.value(QStringLiteral("type")).toInteger());
        parameter.TypeName = p.value(QStringLiteral("typeName")).toString();
        parameter.Kind = p.value(QStringLiteral("kind")).toString();
        def.parameters.push_back(parameter);
    }
    if (def.name.isEmpty())
        throw ServerError(QStringLiteral("服务器上没有过程%1。").arg(Quoted(procedureName)));
    return def;
}

ServerParameter& ServerCommand::Parameters(const QString& name) {
    Definition& def = definition();
    for (ServerParameter& p : def.parameters)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return p;
    throw ServerError(QStringLiteral("过程%1没有参数%2。").arg(Quoted(def.name), Quoted(name)));
}

QStringList ServerCommand::ParameterNames() {
    QStringList names;
    for (const ServerParameter& p : definition().parameters) names << p.Name;
    return names;
}

std::map<QString, door_json::CallValue> ServerCommand::valuesOf(const Definition& def) {
    std::map<QString, door_json::CallValue> values;
    for (const ServerParameter& p : def.parameters)
        if (p.Direction != ServerParamDirection::Output) values[p.Name] = {&p.Value, p.Kind, -1, QString()};
    return values;
}

QByteArray ServerCommand::callOf(const Definition& def,
                                 const std::map<QString, door_json::CallValue>& values) {
    return door_json::Call(def.name, QUuid::createUuid().toString(QUuid::WithoutBraces), values);
}

ServerError ServerCommand::callFailed(const QString& procedure, const ServerError& e) {
    // The server's functions speak for themselves; any other failure is said in the program's words.
    const bool procedureFailed = !e.SqlState().isEmpty() && !e.SqlState().startsWith(QLatin1String("door:"));
    const QString reason =
        procedureFailed && e.Description().isEmpty() ? StateText(e.SqlState()) : e.Description();
    return ServerError(QStringLiteral("调用过程%1失败：%2").arg(Quoted(procedure), reason), e.SqlState());
}

ServerRows ServerCommand::Execute() {
    Definition& def = definition();
    DoorConnection& connection = openConnection();
    QJsonObject answer;
    try {
        // The log-on has a door of its own, which the server limits per address.
        const bool logOn = def.name.compare(QLatin1String("sp_trylogon"), Qt::CaseInsensitive) == 0;
        answer = connection.postBody(logOn ? QStringLiteral("/door/logon") : QStringLiteral("/door/call"),
                                     callOf(def, valuesOf(def)),
                                     def.carriesPicture ? kPictureTimeoutMs : kTimeoutMs);
    } catch (const ServerError& e) {
        throw callFailed(def.name, e);
    }
    if (answer.contains(QStringLiteral("credential")))
        connection.setCredential(answer.value(QStringLiteral("credential")).toString());

    if (def.isProcedure) {
        const QJsonObject out = answer.value(QStringLiteral("out")).toObject();
        for (ServerParameter& p : def.parameters)
            if (IsOut(p) && out.contains(p.Name)) p.Value = FromWire(out.value(p.Name), p.Kind);
        return {};
    }
    ServerRows rows = RowsOf(answer);
    // A function with out parameters answers them as the columns of its one row.
    const bool hasOut = std::any_of(def.parameters.begin(), def.parameters.end(), IsOut);
    if (hasOut && !def.returnsSet && !rows.isEmpty()) {
        for (ServerParameter& p : def.parameters) {
            if (!IsOut(p)) continue;
            const int c = rows.column(p.Name);
            if (c >= 0) p.Value = rows.rows[0].value(c);
        }
    }
    return rows;
}

int ServerBatch::Add(const QList<Reference>& references) {
    ServerCommand::Definition& def = command_.definition();
    std::map<QString, door_json::CallValue> values = ServerCommand::valuesOf(def);
    for (const Reference& r : references) {
        const auto declared = std::find_if(def.parameters.begin(), def.parameters.end(), [&](const auto& p) {
            return p.Name.compare(r.parameter, Qt::CaseInsensitive) == 0;
        });
        if (declared == def.parameters.end() || r.call < 0 || r.call >= queued_.size())
            throw ServerError(
                QStringLiteral("过程%1没有参数%2。").arg(Quoted(def.name), Quoted(r.parameter)));
        values[declared->Name] = {nullptr, QString(), r.call, r.out};
    }
    QByteArray call = ServerCommand::callOf(def, values);
    const qint64 bytes = call.size() + 1;
    if (!queued_.isEmpty() && (queued_.size() >= kMaxCalls || bytes_ + bytes > kMaxBytes)) return -1;
    bytes_ += bytes;
    queued_.append({def.name, def.parameters, std::move(call)});
    return int(queued_.size() - 1);
}

ServerBatch::Outcome ServerBatch::Send() {
    Outcome outcome;
    sent_ = std::move(queued_);
    queued_.clear();
    const qint64 sentBytes = bytes_;
    bytes_ = 0;
    answers_.clear();
    if (sent_.isEmpty()) return outcome;
    // Each call as Add wrote it, the body joined around them; the calls' own copies are not needed again.
    QByteArray body;
    body.reserve(sentBytes + 12);
    body += "{\"calls\":[";
    for (qsizetype i = 0; i < sent_.size(); ++i) {
        if (i > 0) body += ',';
        body += std::exchange(sent_[i].call, QByteArray());
    }
    body += "]}";
    QJsonObject answer;
    try {
        DoorConnection& connection = command_.openConnection();
        try {
            answer =
                connection.postBody(QStringLiteral("/door/calls"), body, ServerCommand::kPictureTimeoutMs);
        } catch (const ServerError& e) {
            // Refused or lost whole: as the first call alone would have been.
            outcome.failure = ServerCommand::callFailed(sent_.first().procedure, e);
            return outcome;
        }
        for (const QJsonValue& a : answer.value(QStringLiteral("answers")).toArray()) {
            if (answers_.size() == sent_.size()) break;
            answers_.append(a.toObject());
        }
        outcome.done = int(answers_.size());
        if (outcome.done == sent_.size()) return outcome;
        const QJsonObject failure = answer.value(QStringLiteral("failure")).toObject();
        const ServerError reason =
            failure.isEmpty()
                ? ServerError(QStringLiteral("服务器的回答无法读懂，请确认服务器地址无误。"))
                : connection.refusal(failure.value(QStringLiteral("status")).toInt(),
                                     QJsonDocument(failure.value(QStringLiteral("reply")).toObject())
                                         .toJson(QJsonDocument::Compact));
        outcome.failure = ServerCommand::callFailed(sent_[outcome.done].procedure, reason);
    } catch (const ServerError& e) {
        outcome.failure = e;
    }
    return outcome;
}

QVariant ServerBatch::Out(int call, const QString& name) const {
    const QJsonObject out = answers_.value(call).value(QStringLiteral("out")).toObject();
    for (const ServerParameter& p : sent_.value(call).parameters)
        if (IsOut(p) && p.Name.compare(name, Qt::CaseInsensitive) == 0)
            return FromWire(out.value(p.Name), p.Kind);
    throw ServerError(
        QStringLiteral("过程%1没有参数%2。").arg(Quoted(sent_.value(call).procedure), Quoted(name)));
}

ServerRows ServerBatch::Rows(int call) const {
    return RowsOf(answers_.value(call));
}
