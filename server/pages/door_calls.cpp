#include "pages/door_calls.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "db/pg_error.h"
#include "pages/door_base64.h"
#include "pages/page_request.h"

namespace {

struct Parameter {
    QString name;
    QString mode;  // "in", "out" or "inout"
    quint32 type = 0;
    QString typeName;
};

struct Declaration {
    QString name;
    bool isProcedure = false;
    bool returnsSet = false;
    bool carriesPicture = false;  // a picture goes one way or the other: such a call may take longer
    bool repeatable = false;      // done twice, it does what it did once: its answer is not kept
    std::vector<Parameter> parameters;
};

// How a call's commit meets the disk (door_open): waiting, as any commit; "later", the flush left to the
// batch's last commit; "flushing", waiting even when the call wrote nothing, for the commits before it.
enum class CommitAs { Waiting, Later, Flushing };

// The statement that opens a call: its account and key, the caller's address, a picture call's longer
// time-out (every other statement of the page service's account stops at the account's own,
// 00_accounts.sql), how its commit meets the disk, and the program's rights for the rest of it.
PgConnection::Statement OpenCall(const QByteArray& credential, const QString& key, const QString& address,
                                 bool picture, CommitAs commitAs) {
    const QString as = commitAs == CommitAs::Later      ? QStringLiteral("later")
                       : commitAs == CommitAs::Flushing ? QStringLiteral("flushing")
                                                        : QString();
    return {QStringLiteral("SELECT door_open($1, $2, $3, $4, $5)"),
            {QString::fromLatin1(credential), credential.isEmpty() ? QString() : key, address, picture, as},
            {pgtype::kText, pgtype::kText, pgtype::kText, pgtype::kBool, pgtype::kText},
            true};
}

// The keeping of a call's answer, in the call's own transaction: as the page service, which the
// program's rights cannot call.
QList<PgConnection::Statement> KeepAnswer(const QString& key, qint32 account, const QByteArray& answer) {
    return {{QStringLiteral("RESET ROLE"), {}, {}, true},
            {QStringLiteral("SELECT door_keep($1, $2::integer, $3)"),
             {key, account, QString::fromUtf8(answer)},
             {},
             true}};
}

// How the program reads a value of the type: the JSON value is read back as this kind.
QString KindOf(quint32 type) {
    switch (type) {
        case pgtype::kBool:
            return QStringLiteral("bool");
        case pgtype::kInt2:
        case pgtype::kInt4:
            return QStringLiteral("int");
        case pgtype::kInt8:
        case pgtype::kOid:
            return QStringLiteral("long");
        case pgtype::kFloat4:
        case pgtype::kFloat8:
        case pgtype::kNumeric:
            return QStringLiteral("double");
        case pgtype::kBytea:
            return QStringLiteral("bytes");
        default:
            return QStringLiteral("text");
    }
}

QJsonValue JsonOf(const QVariant& value) {
    if (value.isNull()) return QJsonValue::Null;
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            return value.toLongLong();
        case QMetaType::Double:
            return value.toDouble();
        case QMetaType::QByteArray:
            return QString::fromLatin1(value.toByteArray().toBase64());
        default:
            return value.toString();
    }
}

// A value as the program sent it: null, text (the value's text form), true/false, a number, or
// {"base64": "..."} for bytes. nullopt for anything else.
std::optional<QVariant> ParamOf(const QJsonValue& value) {
    switch (value.type()) {
        case QJsonValue::Null:
        case QJsonValue::Undefined:
            return QVariant();
        case QJsonValue::Bool:
            return QVariant(value.toBool());
        case QJsonValue::Double: {
            const double number = value.toDouble();
            if (number == double(qint64(number))) return QVariant(qint64(number));
            return QVariant(number);
        }
        case QJsonValue::String:
            return QVariant(value.toString());
        case QJsonValue::Object: {
            const QJsonValue encoded = value.toObject().value(QStringLiteral("base64"));
            if (!encoded.isString()) return std::nullopt;
            std::optional<QByteArray> decoded = DecodeBase64(encoded.toString());
            if (!decoded) return std::nullopt;
            return QVariant(std::move(*decoded));
        }
        default:
            return std::nullopt;
    }
}

// The database cuts a text at NUL: a request holding one is refused whole.
bool HoldsNul(const QJsonValue& value) {
    if (value.isString()) return value.toString().contains(QChar(0));
    if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            if (HoldsNul(item)) return true;
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            if (it.key().contains(QChar(0)) || HoldsNul(it.value())) return true;
    }
    return false;
}

// A failure that took the connection with it goes to the service, which knows whether to try again.
PgResult Checked(PgConnection& db, PgResult result) {
    if (!result.ok && LostConnection(result.sqlState, db)) throw PgError(result.error, result.sqlState);
    return result;
}

// The door's own statements must work: any failure of theirs is the server's (500).
PgResult Must(PgResult result) {
    if (!result.ok) throw PgError(result.error, result.sqlState);
    return result;
}

// Commits made without waiting for the disk are on it once a later commit that waits is: where a batch
// ends without one after them, or answers what another connection kept, an empty one (door_flush).
void Flush(PgConnection& db) {
    const QList<PgResult> flushed = db.pipeline({{QStringLiteral("BEGIN"), {}, {}},
                                                 {QStringLiteral("SELECT door_flush()"), {}, {}, true},
                                                 {QStringLiteral("COMMIT"), {}, {}}});
    for (const PgResult& r : flushed) Must(Checked(db, r));
}

QByteArray Json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Declarations found lately, by database and the name asked for: the catalogue is asked again after a
// minute (a server brought up to date meanwhile is seen then). Facts of the schema, not of any client.
struct DeclarationCache {
    std::mutex mutex;
    std::map<QString, std::pair<Declaration, std::chrono::steady_clock::time_point>> found;
};

DeclarationCache& Declarations() {
    static DeclarationCache cache;
    return cache;
}

std::optional<Declaration> LookUpInCatalogue(PgConnection& db, const QString& wanted, DoorReply* refusal);

// The procedure the program names, as the program's rights reach it; nullopt with *refusal set when
// there is none or more than one.
std::optional<Declaration> LookUp(PgConnection& db, const QString& wanted, DoorReply* refusal) {
    constexpr auto kKept = std::chrono::seconds(60);
    const auto now = std::chrono::steady_clock::now();
    const QString cacheKey = db.database() + QLatin1Char('/') + wanted;
    DeclarationCache& cache = Declarations();
    {
        std::lock_guard lock(cache.mutex);
        const auto hit = cache.found.find(cacheKey);
        if (hit != cache.found.end() && now - hit->second.second < kKept) return hit->second.first;
    }
    std::optional<Declaration> declaration = LookUpInCatalogue(db, wanted, refusal);
    if (declaration) {
        std::lock_guard lock(cache.mutex);
        if (cache.found.size() > 1000) cache.found.clear();  // names asked for are the program's few
        cache.found[cacheKey] = {*declaration, now};
    }
    return declaration;
}

std::optional<Declaration> LookUpInCatalogue(PgConnection& db, const QString& wanted, DoorReply* refusal) {
    const PgResult found = Must(
        db.exec(QStringLiteral("SELECT proc_oid, proc_name, is_procedure, returns_set, repeatable, arg_name, "
                               "arg_mode, arg_type, arg_type_name FROM door_procedures($1)"),
                {wanted}));
    // Rows come with the exact spelling first: only those count when there are any.
    QList<QStringList> rows;
    const bool exact = !found.rows.isEmpty() && found.rows.first().value(1) == wanted;
    for (const QStringList& row : found.rows)
        if (!exact || row.value(1) == wanted) rows << row;
    if (rows.isEmpty()) {
        *refusal = DoorReply::Failed(404, "no_procedure");
        return std::nullopt;
    }
    for (const QStringList& row : rows)
        if (row.value(0) != rows.first().value(0)) {
            *refusal = DoorReply::Failed(409, "ambiguous");
            return std::nullopt;
        }
    Declaration declaration;
    declaration.name = rows.first().value(1);
    declaration.isProcedure = rows.first().value(2) == QLatin1String("t");
    declaration.returnsSet = rows.first().value(3) == QLatin1String("t");
    declaration.repeatable = !declaration.isProcedure || rows.first().value(4) == QLatin1String("t");
    for (const QStringList& row : rows) {
        if (row.value(6).isNull()) continue;  // no parameters at all
        const quint32 type = row.value(7).toUInt();
        if (type == pgtype::kBytea) declaration.carriesPicture = true;
        const QString mode = row.value(6);
        if (mode == QLatin1String("t")) continue;  // a column of the rows it returns
        declaration.parameters.push_back({row.value(5),
                                          mode == QLatin1String("o")   ? QStringLiteral("out")
                                          : mode == QLatin1String("b") ? QStringLiteral("inout")
                                                                       : QStringLiteral("in"),
                                          type, row.value(8)});
    }
    return declaration;
}

QJsonObject DescriptionOf(const Declaration& declaration) {
    QJsonArray parameters;
    for (const Parameter& p : declaration.parameters)
        parameters.append(QJsonObject{{QStringLiteral("name"), p.name},
                                      {QStringLiteral("mode"), p.mode},
                                      {QStringLiteral("type"), qint64(p.type)},
                                      {QStringLiteral("typeName"), p.typeName},
                                      {QStringLiteral("kind"), KindOf(p.type)}});
    return {{QStringLiteral("procedure"), declaration.name},
            {QStringLiteral("isProcedure"), declaration.isProcedure},
            {QStringLiteral("returnsRows"), declaration.returnsSet},
            {QStringLiteral("pictures"), declaration.carriesPicture},
            {QStringLiteral("parameters"), parameters}};
}

// What the procedure answered: its out values (a procedure) and its rows (a function).
QJsonObject AnswerOf(const Declaration& declaration, const PgResult& result) {
    QJsonObject answer;
    if (declaration.isProcedure) {
        QJsonObject out;
        const QVariantList row = result.values.value(0);
        for (int c = 0; c < result.columns.size(); ++c) out.insert(result.columns[c], JsonOf(row.value(c)));
        answer.insert(QStringLiteral("out"), out);
        return answer;
    }
    QJsonArray columns, kinds, rows;
    for (int c = 0; c < result.columns.size(); ++c) {
        columns.append(result.columns[c]);
        kinds.append(KindOf(result.columnTypes.value(c)));
    }
    for (const QVariantList& row : result.values) {
        QJsonArray values;
        for (const QVariant& value : row) values.append(JsonOf(value));
        rows.append(values);
    }
    answer.insert(QStringLiteral("columns"), columns);
    answer.insert(QStringLiteral("kinds"), kinds);
    answer.insert(QStringLiteral("rows"), rows);
    return answer;
}

// A procedure that failed: what the server's functions said on purpose goes to the user as it stands;
// the program words every other failure by its code.
DoorReply ProcedureFailed(const Declaration& declaration, const PgResult& result) {
    // A refusal of the server's own (a guesser kept waiting) is no fault, and would fill the log.
    if (!result.sqlState.startsWith(QLatin1String("QN4")))
        std::cerr << "door: " << declaration.name.toStdString() << ": " << result.sqlState.toStdString()
                  << ' ' << result.error.toStdString() << std::endl;
    QJsonObject body{{QStringLiteral("code"), QStringLiteral("failed")},
                     {QStringLiteral("state"), result.sqlState}};
    if (result.raised) body.insert(QStringLiteral("message"), result.error);
    return {422, Json(body)};
}

// More values than the procedure has parameters: nothing the program sends (it names each parameter
// once), and work for nothing.
bool NamesTooMany(const QJsonObject& values, const Declaration& declaration) {
    return values.size() > qsizetype(declaration.parameters.size());
}

// A batch stopped between two round trips, its caller gone or its time up: answered as a statement the
// database stopped for its time (the program says the server took too long).
DoorReply TookTooLong() {
    return {422, Json({{QStringLiteral("code"), QStringLiteral("failed")},
                       {QStringLiteral("state"), QStringLiteral("57014")}})};
}

DoorReply Open(const DoorRequest& request, PgConnection& db) {
    const PgResult begun = Checked(
        db, db.exec(QStringLiteral("SELECT door_begin($1, '')"), {QString::fromLatin1(request.credential)}));
    if (!begun.ok && begun.sqlState == QLatin1String("QN401")) return DoorReply::Failed(401, "lapsed");
    Must(begun);
    return {200, Json({{QStringLiteral("account"), begun.rows.value(0).value(0).toInt()}})};
}

// The statement that runs the declared procedure with the values sent (by lower-case name); nullopt for
// a value the door cannot read.
std::optional<PgConnection::Statement> StatementOf(const Declaration& declaration,
                                                   const QHash<QString, QJsonValue>& sent) {
    PgConnection::Statement statement;
    QStringList placeholders;
    for (const Parameter& p : declaration.parameters) {
        // A function takes only its inputs; a procedure takes every parameter, its outputs as NULL.
        if (p.mode == QLatin1String("out") && !declaration.isProcedure) continue;
        std::optional<QVariant> value = QVariant();
        if (p.mode != QLatin1String("out")) value = ParamOf(sent.value(p.name.toLower()));
        if (!value) return std::nullopt;
        statement.params << *value;
        statement.types << p.type;
        placeholders << QStringLiteral("$%1").arg(statement.params.size());
    }
    const QString target = QStringLiteral("public.") + PgConnection::QuoteIdentifier(declaration.name) +
                           QLatin1Char('(') + placeholders.join(QStringLiteral(", ")) + QLatin1Char(')');
    statement.sql = declaration.isProcedure ? QStringLiteral("CALL ") + target
                                            : QStringLiteral("SELECT * FROM ") + target;
    return statement;
}

// Log-off: the credential sent is forgotten, and refused from then on (401 when it stood for nothing).
DoorReply Close(const DoorRequest& request, PgConnection& db) {
    const PgResult closed = Must(Checked(
        db, db.exec(QStringLiteral("SELECT door_close($1)"), {QString::fromLatin1(request.credential)})));
    const qint32 account = closed.rows.value(0).value(0).toInt();
    if (account == 0) return DoorReply::Failed(401, "lapsed");
    return {200, Json({{QStringLiteral("account"), account}})};
}

// The one procedure that proves a password. It has a door of its own, which nginx limits per address.
const QLatin1String kLogOnProcedure("sp_trylogon");

DoorReply Call(const QJsonObject& call, const DoorRequest& request, PgConnection& db) {
    DoorReply refusal;
    const std::optional<Declaration> found =
        LookUp(db, call.value(QStringLiteral("procedure")).toString().trimmed(), &refusal);
    if (!found) return refusal;
    const Declaration& declaration = *found;
    // A log-on proves its account by itself: its success carries the credential for the later calls.
    const bool logOn = request.path == QLatin1String("/door/logon");
    if (logOn != (declaration.name == kLogOnProcedure)) return DoorReply::Failed(404, "no_procedure");
    const QByteArray credential = logOn ? QByteArray() : request.credential;

    QHash<QString, QJsonValue> sent;
    const QJsonObject values = call.value(QStringLiteral("values")).toObject();
    if (NamesTooMany(values, declaration)) return DoorReply::Failed(400, "too_many_values");
    for (auto it = values.begin(); it != values.end(); ++it) sent.insert(it.key().toLower(), it.value());
    const std::optional<PgConnection::Statement> statement = StatementOf(declaration, sent);
    if (!statement) return DoorReply::Failed(400, "malformed");
    const QString& sql = statement->sql;
    const QList<QVariant>& params = statement->params;
    const QList<quint32>& types = statement->types;
    // What a procedure did is kept under the program's key, unless doing it twice changes nothing.
    const QString key = declaration.repeatable ? QString() : call.value(QStringLiteral("key")).toString();
    // A call without a credential keeps nothing: a log-on (done again when sent again, it changes nothing
    // twice) or a reading.
    // A call whose answer is neither kept nor followed by a credential ends in the same round trip.
    const bool oneTrip = !logOn && (key.isEmpty() || credential.isEmpty());

    // The transaction, its account and key, where it came from (registrations and wrong passwords are
    // counted per address), the program's rights, the call: one round trip.
    QList<PgConnection::Statement> opening{
        {QStringLiteral("BEGIN"), {}, {}},
        OpenCall(credential, key, request.remoteAddress, declaration.carriesPicture, CommitAs::Waiting),
        {sql, params, types, true}};
    if (oneTrip) opening.append({QStringLiteral("COMMIT"), {}, {}});
    const QList<PgResult> opened = db.pipeline(opening);
    const PgResult& begun = opened[1];
    const qsizetype callAt = opened.size() - (oneTrip ? 2 : 1);
    const PgResult& result = opened[callAt];
    for (const PgResult& r : opened)
        if (!r.ok && !r.sqlState.isEmpty()) Checked(db, r);
    if (!opened[0].ok && opened[0].sqlState.isEmpty()) throw PgError(opened[0].error);
    if (!result.ok) {
        db.rollback();
        if (!begun.ok) {
            if (begun.sqlState == QLatin1String("QN401")) return DoorReply::Failed(401, "lapsed");
            // Sent before and done then: what it answered, once that is on disk.
            if (begun.sqlState == QLatin1String("QN409")) {
                Flush(db);
                return {200, begun.detail.toUtf8()};
            }
            if (begun.sqlState == QLatin1String("22023")) return DoorReply::Failed(400, "malformed");
            if (begun.sqlState == QLatin1String("42501")) return DoorReply::Failed(403, "not_yours");
            // The account's fill of kept answers: said to the user as a procedure's refusal is.
            if (begun.raised) return ProcedureFailed(declaration, begun);
            throw PgError(begun.error, begun.sqlState);
        }
        for (qsizetype i = 0; i < callAt; ++i) Must(opened[i]);
        return ProcedureFailed(declaration, result);
    }
    const qint32 account = begun.values.value(0).value(0).toInt();
    const QJsonObject answer = AnswerOf(declaration, result);
    const QByteArray answerText = Json(answer);
    if (oneTrip) {
        Must(opened.last());
        return {200, answerText};
    }
    QList<PgConnection::Statement> closing =
        logOn ? QList<PgConnection::Statement>{{QStringLiteral("RESET ROLE"), {}, {}, true},
                                               {QStringLiteral("SELECT zp_session_token()"), {}, {}, true}}
              : KeepAnswer(key, account, answerText);
    closing.append({QStringLiteral("COMMIT"), {}, {}});
    const QList<PgResult> closed = db.pipeline(closing);
    for (const PgResult& r : closed) Must(Checked(db, r));
    const QVariant issued = logOn ? closed[1].values.value(0).value(0) : QVariant();
    if (issued.isNull()) return {200, answerText};
    QJsonObject withCredential = answer;
    withCredential.insert(QStringLiteral("credential"), issued.toString());
    return {200, Json(withCredential)};
}

// Calls sent together (POST /door/calls): at most this many in one request; its bytes are bounded by the
// door's body limit.
constexpr qsizetype kMaxBatchCalls = 500;

// The parameters by which a caller names the account a call acts for.
bool NamesAccount(const QString& lowerName) {
    return lowerName == QLatin1String("@z_accid") || lowerName == QLatin1String("@z_acc_id") ||
           lowerName == QLatin1String("@myacc_id");
}

struct BatchCall {
    std::optional<Declaration> declaration;
    DoorReply refusal;                  // why it cannot run as sent, said at its place in the batch
    QHash<QString, QJsonValue> values;  // by lower-case name
    // Parameters that take an out value of an earlier call of the batch: name -> (call, out name).
    QHash<QString, std::pair<qsizetype, QString>> references;
    QString key;
};

QJsonValue OutValue(const QJsonObject& answer, const QString& name) {
    const QJsonObject out = answer.value(QStringLiteral("out")).toObject();
    if (out.contains(name)) return out.value(name);
    for (auto it = out.begin(); it != out.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.value();
    return QJsonValue::Null;
}

// Reads every call before any runs, so that what is wrong with the request as a whole refuses it whole:
// nullopt and *refusal set for a request that is not a batch, or one of whose calls names more values
// than its procedure takes. A call that cannot run is refused where it stands.
std::optional<std::vector<BatchCall>> ReadBatch(const QJsonArray& sent, bool mayHoldNul, PgConnection& db,
                                                DoorReply* refusal) {
    *refusal = DoorReply::Failed(400, "malformed");
    std::vector<BatchCall> calls(size_t(sent.size()));
    for (qsizetype i = 0; i < sent.size(); ++i) {
        if (!sent[i].isObject()) return std::nullopt;
        const QJsonObject call = sent[i].toObject();
        BatchCall& c = calls[size_t(i)];
        c.key = call.value(QStringLiteral("key")).toString();
        const QJsonObject values = call.value(QStringLiteral("values")).toObject();
        for (auto it = values.begin(); it != values.end(); ++it) {
            const QString name = it.key().toLower();
            const QJsonObject reference = it.value().toObject();
            if (!it.value().isObject() || !reference.contains(QStringLiteral("from"))) {
                c.values.insert(name, it.value());
                continue;
            }
            const qsizetype from = reference.value(QStringLiteral("from")).toInteger(-1);
            const QString out = reference.value(QStringLiteral("out")).toString();
            // An account is named only as sent, never taken from another call's answer.
            if (from < 0 || from >= i || out.isEmpty() || NamesAccount(name)) return std::nullopt;
            c.references.insert(name, {from, out});
        }
        if (mayHoldNul && HoldsNul(call)) {
            c.refusal = DoorReply::Failed(400, "nul");
            continue;
        }
        c.declaration = LookUp(db, call.value(QStringLiteral("procedure")).toString().trimmed(), &c.refusal);
        if (c.declaration && NamesTooMany(values, *c.declaration)) {
            *refusal = DoorReply::Failed(400, "too_many_values");
            return std::nullopt;
        }
    }
    return calls;
}

// Whether a call of the batch names an account other than the one the request proves.
bool NamesAnotherAccount(const std::vector<BatchCall>& calls, qint32 proven) {
    for (const BatchCall& c : calls) {
        if (!c.declaration) continue;
        for (const Parameter& p : c.declaration->parameters) {
            if (p.mode == QLatin1String("out") || !NamesAccount(p.name.toLower())) continue;
            const std::optional<QVariant> value = ParamOf(c.values.value(p.name.toLower()));
            if (!value || value->isNull()) continue;
            bool number = false;
            const qint64 named = value->toString().toLongLong(&number);
            if (number && named != 0 && named != proven) return true;
        }
    }
    return false;
}

// The account the credential proves (0 without one), nothing kept; nullopt when it has lapsed.
std::optional<qint32> ProvenAccount(const QByteArray& credential, PgConnection& db) {
    if (credential.isEmpty()) return 0;
    const QList<PgResult> asked = db.pipeline(
        {{QStringLiteral("BEGIN"), {}, {}},
         {QStringLiteral("SELECT door_begin($1, '')"), {QString::fromLatin1(credential)}, {}, true},
         {QStringLiteral("ROLLBACK"), {}, {}}});
    for (const PgResult& r : asked)
        if (!r.ok && !r.sqlState.isEmpty()) Checked(db, r);
    if (!asked[1].ok) {
        db.rollback();
        if (asked[1].sqlState == QLatin1String("QN401")) return std::nullopt;
        throw PgError(asked[1].error, asked[1].sqlState);
    }
    Must(asked[2]);
    return asked[1].values.value(0).value(0).toInt();
}

// Runs the calls in order, each its own transaction exactly as /door/call runs it, with the statements of
// consecutive calls sent together: a call goes with the others once the answers it names are known, so
// one round trip to the database carries the end of one member's save, his page and pictures, and the
// next save. Stops at the first call that fails; the answers of the calls before it are kept.
DoorReply Calls(const DoorRequest& request, PgConnection& db) {
    const QJsonObject& body = request.json;
    const QByteArray& credential = request.credential;
    if (!body.value(QStringLiteral("calls")).isArray()) return DoorReply::Failed(400, "malformed");
    const QJsonArray sent = body.value(QStringLiteral("calls")).toArray();
    if (sent.size() > kMaxBatchCalls) return DoorReply::Failed(413, "too_many_calls");
    DoorReply refusal;
    std::optional<std::vector<BatchCall>> read = ReadBatch(sent, request.mayHoldNul, db, &refusal);
    if (!read) return refusal;
    std::vector<BatchCall>& calls = *read;
    // The log-on keeps to its own door, where the guesses from one address are counted.
    if (std::any_of(calls.begin(), calls.end(), [](const BatchCall& c) {
            return c.declaration && c.declaration->name == kLogOnProcedure;
        }))
        return DoorReply::Failed(404, "no_procedure");
    const std::optional<qint32> proven = ProvenAccount(credential, db);
    if (!proven) return DoorReply::Failed(401, "lapsed");
    if (NamesAnotherAccount(calls, *proven)) return DoorReply::Failed(403, "other_account");

    const qsizetype n = qsizetype(calls.size());
    QList<QJsonObject> known;  // the answer of each call run, the last one perhaps not yet committed
    qsizetype committed = 0;
    struct Pending {
        QString key;
        qint32 account = 0;
        bool later = false;  // its commit leaves the flush to a later one
    };
    std::optional<Pending> pending;  // a call whose answer is kept by the next round trip
    std::optional<DoorReply> failure;
    // An answer to come that may not be on disk yet: a commit of the batch that did not wait since the
    // last that did, or another connection's kept answer.
    bool unflushed = false;
    try {
        while (!failure && (known.size() < n || pending)) {
            // Its caller gone or its time up: what is done stays done, and nothing more is begun.
            if (request.stopped && request.stopped()) {
                failure = TookTooLong();
                break;
            }
            QList<PgConnection::Statement> statements;
            if (pending)
                statements << KeepAnswer(pending->key, pending->account, Json(known.last()))
                           << PgConnection::Statement{QStringLiteral("COMMIT"), {}, {}};
            struct Planned {
                qsizetype index;
                qsizetype begun;  // where its door_open stands among the statements
                qsizetype call;
                bool oneTrip;
                bool later;
                QString key;
            };
            QList<Planned> planned;
            for (qsizetype at = known.size(); at < n; ++at) {
                BatchCall& c = calls[size_t(at)];
                if (!c.declaration) break;
                // A call that names an answer of this round trip waits for the next.
                if (std::any_of(c.references.begin(), c.references.end(),
                                [&](const auto& r) { return r.first >= known.size(); }))
                    break;
                QHash<QString, QJsonValue> values = c.values;
                for (auto it = c.references.begin(); it != c.references.end(); ++it)
                    values.insert(it.key(), OutValue(known[it.value().first], it.value().second));
                const std::optional<PgConnection::Statement> statement = StatementOf(*c.declaration, values);
                if (!statement) {
                    c.declaration.reset();
                    c.refusal = DoorReply::Failed(400, "malformed");
                    break;
                }
                const QString key = c.declaration->repeatable ? QString() : c.key;
                const bool oneTrip = key.isEmpty() || credential.isEmpty();
                // Only the batch's last commit waits for the disk, and brings every one before it there.
                const bool last = at == n - 1;
                const CommitAs commitAs = !last   ? CommitAs::Later
                                          : n > 1 ? CommitAs::Flushing
                                                  : CommitAs::Waiting;
                const qsizetype first = statements.size();
                statements << PgConnection::Statement{QStringLiteral("BEGIN"), {}, {}}
                           << OpenCall(credential, key, request.remoteAddress, c.declaration->carriesPicture,
                                       commitAs)
                           << PgConnection::Statement{statement->sql, statement->params, statement->types,
                                                      true};
                planned.append({at, first + 1, statements.size() - 1, oneTrip, !last, key});
                if (oneTrip) statements << PgConnection::Statement{QStringLiteral("COMMIT"), {}, {}};
                // Its answer is kept with the next round trip, which also runs what names it.
                if (!oneTrip) break;
            }
            if (statements.isEmpty()) {
                failure = calls[size_t(known.size())].refusal;
                break;
            }
            const QList<PgResult> results = db.pipeline(statements);
            for (const PgResult& r : results)
                if (!r.ok && !r.sqlState.isEmpty()) Checked(db, r);
            if (!results[0].ok && results[0].sqlState.isEmpty()) throw PgError(results[0].error);
            if (pending) {
                for (int i = 0; i < 3; ++i) Must(results[i]);
                unflushed = pending->later;
                pending.reset();
                ++committed;
            }
            for (const Planned& p : planned) {
                const Declaration& declaration = *calls[size_t(p.index)].declaration;
                const PgResult& begun = results[p.begun];
                const PgResult& result = results[p.call];
                if (!result.ok) {
                    db.rollback();
                    if (begun.ok) {
                        for (qsizetype q = p.begun; q < p.call; ++q) Must(results[q]);
                        failure = ProcedureFailed(declaration, result);
                    } else if (begun.sqlState == QLatin1String("QN409")) {
                        // Sent before and done then: what it answered, and on with the next.
                        known.append(QJsonDocument::fromJson(begun.detail.toUtf8()).object());
                        ++committed;
                        unflushed = true;
                    } else if (begun.sqlState == QLatin1String("QN401")) {
                        failure = DoorReply::Failed(401, "lapsed");
                    } else if (begun.sqlState == QLatin1String("22023")) {
                        failure = DoorReply::Failed(400, "malformed");
                    } else if (begun.sqlState == QLatin1String("42501")) {
                        failure = DoorReply::Failed(403, "not_yours");
                    } else if (begun.raised) {
                        failure = ProcedureFailed(declaration, begun);
                    } else {
                        throw PgError(begun.error, begun.sqlState);
                    }
                    break;  // what followed in the round trip did not run
                }
                known.append(AnswerOf(declaration, result));
                if (p.oneTrip) {
                    Must(results[p.call + 1]);
                    ++committed;
                    unflushed = p.later;
                } else {
                    pending = Pending{p.key, begun.values.value(0).value(0).toInt(), p.later};
                }
            }
        }
    } catch (const PgError& e) {
        // Nothing done yet: the service decides whether to try again. A connection lost after commits
        // went out is answered as lost, and the program sends the batch again (each call keeps its key).
        if (committed == 0 || LostConnection(e.SqlState(), db)) throw;
        if (db.inTransaction()) db.rollback();
        // The cancel of a stopped batch may land on the door's own statements rather than a procedure's.
        if (e.SqlState() == QLatin1String("57014") && request.stopped && request.stopped()) {
            failure = TookTooLong();
        } else {
            std::cerr << "door: a batch stopped after " << committed
                      << " calls: " << e.Description().toStdString() << std::endl;
            failure = DoorReply::Failed(500, "server");
        }
    }
    // Nothing is answered before it is on disk: a batch stopped early, or one that answered a kept answer.
    if (unflushed) Flush(db);
    QJsonArray answers;
    for (qsizetype i = 0; i < committed; ++i) answers.append(known[i]);
    QJsonObject reply{{QStringLiteral("answers"), answers}};
    if (failure)
        reply.insert(QStringLiteral("failure"),
                     QJsonObject{{QStringLiteral("status"), failure->status},
                                 {QStringLiteral("reply"), QJsonDocument::fromJson(failure->body).object()}});
    return {200, Json(reply)};
}

}  // namespace

DoorReply DoorReply::Failed(int status, const char* code, const QString& message) {
    QJsonObject body{{QStringLiteral("code"), QString::fromLatin1(code)}};
    if (!message.isEmpty()) body.insert(QStringLiteral("message"), message);
    return {status, Json(body)};
}

bool IsDoorPath(const QString& path) {
    for (const char* served : {"/door/open", "/door/describe", "/door/call", "/door/calls", "/door/logon",
                               "/door/close"})
        if (path == QLatin1String(served)) return true;
    return false;
}

DoorReply AnswerDoor(const DoorRequest& request, PgConnection& db) {
    const QJsonObject& body = request.json;
    const QString& path = request.path;
    // A call of a batch holding NUL is refused at its place, after the calls before it.
    if (path == QLatin1String("/door/calls")) return Calls(request, db);
    if (request.mayHoldNul && HoldsNul(body)) return DoorReply::Failed(400, "nul");
    if (path == QLatin1String("/door/open")) return Open(request, db);
    if (path == QLatin1String("/door/describe")) {
        DoorReply refusal;
        const std::optional<Declaration> declaration =
            LookUp(db, body.value(QStringLiteral("procedure")).toString().trimmed(), &refusal);
        return declaration ? DoorReply{200, Json(DescriptionOf(*declaration))} : refusal;
    }
    if (path == QLatin1String("/door/call") || path == QLatin1String("/door/logon"))
        return Call(body, request, db);
    if (path == QLatin1String("/door/close")) return Close(request, db);
    return DoorReply::Failed(404, "no_such_request");
}
