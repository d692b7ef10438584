#include "frame/dao_table.h"

#include <QRegularExpression>

#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"

namespace {

void RequireTable(dao::Database& db, const QString& table) {
    if (!db.TableExists(table))
        throw dao::DaoError(dao::kErrItemNotFound, QStringLiteral("在此集合中没有找到项目 (%1)。").arg(table));
}

// The column definitions and table constraints of a CREATE TABLE statement, split at top-level commas.
QStringList SplitDefinitions(const QString& createSql) {
    const int open = createSql.indexOf(QLatin1Char('('));
    const int close = createSql.lastIndexOf(QLatin1Char(')'));
    QStringList parts;
    if (open < 0 || close <= open) return parts;
    QString current;
    int depth = 0;
    QChar quote;
    for (int i = open + 1; i < close; ++i) {
        const QChar c = createSql[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
        } else if (c == '"' || c == '\'' || c == '`') {
            quote = c;
        } else if (c == '[') {
            quote = QLatin1Char(']');
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            parts << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty()) parts << current.trimmed();
    return parts;
}

// The column a definition names, unquoted; "" for a table constraint.
QString DefinitionColumn(const QString& definition) {
    static const QRegularExpression constraint(QStringLiteral("^(CONSTRAINT|PRIMARY|UNIQUE|CHECK|FOREIGN)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (constraint.match(definition).hasMatch()) return {};
    const QChar first = definition.isEmpty() ? QChar() : definition[0];
    if (first == '"' || first == '`' || first == '[') {
        const QChar end = first == '[' ? QLatin1Char(']') : first;
        const int stop = definition.indexOf(end, 1);
        return definition.mid(1, stop - 1);
    }
    return definition.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
}

// Rebuilds a table with new definitions, copying the columns that remain, in one transaction.
// The engine here cannot drop columns or add an auto-number to a filled table in place.
void RebuildTable(dao::Database& db, const QString& table, const QStringList& definitions,
                  const QStringList& keptColumns, const QString& droppedColumn) {
    QStringList indexes;
    for (auto rs = db.OpenRecordset(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='index' AND "
                                                   "tbl_name=? COLLATE NOCASE AND sql IS NOT NULL"),
                                    {table});
         rs.hasRow(); rs.MoveNext()) {
        bool usesDropped = false;
        for (auto cols = db.OpenRecordset("PRAGMA index_info(" + dao::QuoteIdent(rs.Text(QStringLiteral("name"))) + ")");
             cols.hasRow(); cols.MoveNext())
            usesDropped = usesDropped || cols.Text(QStringLiteral("name")).compare(droppedColumn, Qt::CaseInsensitive) == 0;
        if (!usesDropped) indexes << rs.Text(QStringLiteral("sql"));
    }
    QStringList quoted;
    for (const QString& c : keptColumns) quoted << dao::QuoteIdent(c);
    const QString columns = quoted.join(QStringLiteral(", "));
    const QString scratch = QStringLiteral("qrebuild_") + QString::number(qHash(table));
    auto tx = db.BeginTrans();
    db.Execute("CREATE TABLE " + dao::QuoteIdent(scratch) + " (" + definitions.join(QStringLiteral(", ")) + ")");
    db.Execute("INSERT INTO " + dao::QuoteIdent(scratch) + " (" + columns + ") SELECT " + columns + " FROM " +
               dao::QuoteIdent(table) + " ORDER BY rowid");
    db.Execute("DROP TABLE " + dao::QuoteIdent(table));
    db.Execute("ALTER TABLE " + dao::QuoteIdent(scratch) + " RENAME TO " + dao::QuoteIdent(table));
    for (const QString& sql : indexes) db.Execute(sql);
    tx.Commit();
}

QString CreateStatement(dao::Database& db, const QString& table) {
    return db.Scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"),
                     {table})
        .toString();
}

}  // namespace

bool ClsDaoTable::ExistsTableQuery(const QString& name, dao::Database& db) {
    try {
        return db.TableExists(name);
    } catch (...) {
        // Only a table known to be absent counts as absent.
        return true;
    }
}

bool ClsDaoTable::ExistsFieldName(const QString& fieldName, dao::Database& db, const QString& table) {
    const QString wanted = fieldName.toLower();
    for (const QString& f : db.FieldNames(table))
        if (f.toLower() == wanted) return true;
    return false;
}

bool ClsDaoTable::CreateTable(const QString& name, dao::Database& db) {
    if (!ExistsTableQuery(name, db)) db.Execute("CREATE TABLE " + dao::QuoteIdent(name) + " (\"x_x_x_x\" INTEGER)");
    return false;
}

bool ClsDaoTable::AddField(const QString& table, dao::Database& db, const QString& field, int type, int size,
                           bool allowZeroLength, const QString& defaultValue) {
    Q_UNUSED(size);
    Q_UNUSED(allowZeroLength);
    RequireTable(db, table);
    if (ExistsFieldName(field, db, table)) return false;
    const bool numeric = type >= kByte && type <= kDouble;
    if (!numeric && type != kText) return false;
    auto tx = db.BeginTrans();
    QVariant fill;
    if (numeric) {
        const bool whole = type <= kLong;
        const double value = Val(defaultValue);
        const QString literal = whole ? QString::number(qint64(value)) : QString::number(value, 'g', 17);
        fill = whole ? QVariant(qint64(value)) : QVariant(value);
        db.Execute("ALTER TABLE " + dao::QuoteIdent(table) + " ADD COLUMN " + dao::QuoteIdent(field) +
                   (whole ? " INTEGER" : " REAL") + " DEFAULT " + literal);
    } else {
        QString literal = defaultValue;
        literal.replace(QLatin1Char('\''), QLatin1String("''"));
        fill = defaultValue;
        db.Execute("ALTER TABLE " + dao::QuoteIdent(table) + " ADD COLUMN " + dao::QuoteIdent(field) +
                   " TEXT DEFAULT '" + literal + "'");
    }
    db.Execute("UPDATE " + dao::QuoteIdent(table) + " SET " + dao::QuoteIdent(field) + "=?", {fill});
    tx.Commit();
    return false;
}

bool ClsDaoTable::AddIdField(const QString& table, dao::Database& db, const QString& field) {
    RequireTable(db, table);
    if (ExistsFieldName(field, db, table)) return false;
    const QString create = CreateStatement(db, table);
    if (create.contains(QLatin1String("PRIMARY KEY"), Qt::CaseInsensitive))
        throw dao::DaoError(dao::kErrGeneric, QStringLiteral("表 '%1' 已有自动编号字段。").arg(table));
    QStringList definitions = SplitDefinitions(create);
    const QStringList kept = db.FieldNames(table);
    definitions << dao::QuoteIdent(field) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    RebuildTable(db, table, definitions, kept, QString());
    return false;
}

bool ClsDaoTable::DeleteField(const QString& table, dao::Database& db, const QString& field) {
    RequireTable(db, table);
    if (!ExistsFieldName(field, db, table)) return false;
    QStringList definitions;
    for (const QString& d : SplitDefinitions(CreateStatement(db, table)))
        if (DefinitionColumn(d).compare(field, Qt::CaseInsensitive) != 0) definitions << d;
    QStringList kept;
    for (const QString& f : db.FieldNames(table))
        if (f.compare(field, Qt::CaseInsensitive) != 0) kept << f;
    RebuildTable(db, table, definitions, kept, field);
    return false;
}
