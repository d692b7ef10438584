#include "platform/pg/pg_command.h"

#include <algorithm>

#include "platform/pg/pg_error.h"

namespace {

QString Quoted(const QString& name) {
    return QStringLiteral("“") + name + QStringLiteral("”");
}

PgParamDirection DirectionOf(const QString& mode) {
    if (mode == QLatin1String("o")) return PgParamDirection::Output;
    if (mode == QLatin1String("b")) return PgParamDirection::InputOutput;
    return PgParamDirection::Input;
}

bool IsOut(const PgParameter& p) {
    return p.Direction != PgParamDirection::Input;
}

}  // namespace

int PgRows::column(const QString& name) const {
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].compare(name, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

QVariant PgRows::value(int row, const QString& name) const {
    const int c = column(name);
    if (c < 0) throw PgError(QStringLiteral("服务器的回答中没有列%1。").arg(Quoted(name)));
    if (row < 0 || row >= rows.size())
        throw PgError(QStringLiteral("服务器的回答中没有第 %1 行。").arg(row + 1));
    return rows[row].value(c);
}

void PgCommand::SetCommandText(const QString& procedureName) {
    commandText_ = procedureName.trimmed();
    current_ = nullptr;
    const auto found = definitions_.find(commandText_.toLower());
    if (found == definitions_.end()) return;
    for (PgParameter& p : found->second.parameters) p.Value = QVariant();
}

PgConnection& PgCommand::openConnection() {
    if (!connection_ || !connection_->isOpen()) throw PgError(QStringLiteral("服务器连接没有打开。"));
    return *connection_;
}

PgCommand::Definition& PgCommand::definition() {
    if (current_) return *current_;
    if (commandText_.isEmpty()) throw PgError(QStringLiteral("没有指定服务器过程。"));
    const QString key = commandText_.toLower();
    auto found = definitions_.find(key);
    if (found == definitions_.end()) found = definitions_.emplace(key, lookUp(commandText_)).first;
    for (PgParameter& p : found->second.parameters) p.Value = QVariant();
    current_ = &found->second;
    return *current_;
}

PgCommand::Definition PgCommand::lookUp(const QString& procedureName) {
    PgConnection& connection = openConnection();
    // Names compare without case as the old server did; an exact spelling wins over the others.
    const PgResult procs = connection.exec(
        QStringLiteral("SELECT p.oid, n.nspname, p.proname, p.prokind, p.proretset, p.prorettype "
                       "FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace "
                       "WHERE lower(p.proname) = lower($1) AND pg_catalog.pg_function_is_visible(p.oid) "
                       "ORDER BY p.oid"),
        {procedureName});
    if (!procs.ok)
        throw PgError(QStringLiteral("查找服务器过程%1失败：%2").arg(Quoted(procedureName), procs.error),
                      procs.sqlState);
    QList<QStringList> candidates;
    for (const QStringList& row : procs.rows)
        if (row[2] == procedureName) candidates << row;
    if (candidates.isEmpty()) candidates = procs.rows;
    if (candidates.isEmpty())
        throw PgError(QStringLiteral("服务器上没有过程%1。").arg(Quoted(procedureName)));
    if (candidates.size() > 1)
        throw PgError(QStringLiteral("服务器上有多个过程名为%1。").arg(Quoted(procedureName)));
    const QStringList& proc = candidates.first();

    Definition def;
    def.schema = proc[1];
    def.name = proc[2];
    def.isProcedure = proc[3] == QLatin1String("p");
    def.returnsSet = proc[4] == QLatin1String("t");
    def.carriesPicture = proc[5].toUInt() == pgtype::kBytea;

    const PgResult args = connection.exec(
        QStringLiteral(
            "SELECT a.name, a.mode, a.type, pg_catalog.format_type(a.type, NULL) "
            "FROM pg_catalog.pg_proc p, LATERAL unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]), "
            "coalesce(p.proargmodes, array_fill('i'::\"char\", ARRAY[p.pronargs::int])), p.proargnames) "
            "WITH ORDINALITY AS a(type, mode, name, ord) WHERE p.oid = $1::oid ORDER BY a.ord"),
        {proc[0]});
    if (!args.ok)
        throw PgError(QStringLiteral("查找服务器过程%1失败：%2").arg(Quoted(procedureName), args.error),
                      args.sqlState);
    for (const QStringList& row : args.rows) {
        const quint32 type = row[2].toUInt();
        if (type == pgtype::kBytea) def.carriesPicture = true;
        if (row[1] == QLatin1String("t")) continue;  // a column of the returned rows
        PgParameter p;
        p.Name = row[0];
        p.Direction = DirectionOf(row[1]);
        p.Type = type;
        p.TypeName = row[3];
        def.parameters.push_back(p);
    }
    return def;
}

PgParameter& PgCommand::Parameters(const QString& name) {
    Definition& def = definition();
    for (PgParameter& p : def.parameters)
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0) return p;
    throw PgError(QStringLiteral("过程%1没有参数%2。").arg(Quoted(def.name), Quoted(name)));
}

QStringList PgCommand::ParameterNames() {
    QStringList names;
    for (const PgParameter& p : definition().parameters) names << p.Name;
    return names;
}

PgRows PgCommand::Execute() {
    Definition& def = definition();
    PgConnection& connection = openConnection();

    QList<QVariant> values;
    QList<quint32> types;
    QStringList placeholders;
    for (const PgParameter& p : def.parameters) {
        // A function takes only its inputs; a procedure takes every parameter, its outputs as NULL.
        if (!def.isProcedure && p.Direction == PgParamDirection::Output) continue;
        values << (p.Direction == PgParamDirection::Output ? QVariant() : p.Value);
        types << p.Type;
        placeholders << QStringLiteral("$%1").arg(values.size());
    }
    const QString target = PgConnection::QuoteIdentifier(def.schema) + QLatin1Char('.') +
                           PgConnection::QuoteIdentifier(def.name) + QLatin1Char('(') +
                           placeholders.join(QStringLiteral(", ")) + QLatin1Char(')');
    const QString sql =
        def.isProcedure ? QStringLiteral("CALL ") + target : QStringLiteral("SELECT * FROM ") + target;

    if (!connection.setStatementTimeout(def.carriesPicture ? kPictureTimeoutMs : kTimeoutMs))
        throw PgError(QStringLiteral("服务器连接没有打开。"));
    const PgResult result = connection.execValues(sql, values, types);
    if (!result.ok) {
        // A lost server is said in the program's words; the engine's own come after them.
        const QString reason =
            connection.isOpen()
                ? result.error
                : QStringLiteral("与服务器的连接断开了，请检查网络连接后再试。（%1）").arg(result.error);
        throw PgError(QStringLiteral("调用过程%1失败：%2").arg(Quoted(def.name), reason), result.sqlState);
    }

    PgRows rows{result.columns, result.values};
    const bool hasOut = std::any_of(def.parameters.begin(), def.parameters.end(), IsOut);
    if (hasOut && !def.returnsSet && !rows.isEmpty()) {
        for (PgParameter& p : def.parameters) {
            if (!IsOut(p)) continue;
            const int c = rows.column(p.Name);
            if (c >= 0) p.Value = rows.rows[0].value(c);
        }
    }
    if (def.isProcedure) return {};
    return rows;
}
