#include "community/group_window_columns.h"

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"

namespace group_window_columns {

namespace {

constexpr int kShown = 2;

// Widths are never 0 here: layout rows of width 0 are the member form's input templates.
void EnsureLayout(dao::Database& db, const QString& table) {
    if (db.Scalar(QStringLiteral("SELECT count(*) FROM \"rowcolctrl\" WHERE \"table_name\" = ?"), {table})
            .toLongLong() > 0)
        return;
    const QList<ListColumn> layout = DefaultLayout(table);
    auto tx = db.BeginTrans();
    for (int i = 0; i < layout.size(); ++i)
        db.Execute(QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", "
                                  "\"col_visible\", \"seqno\") VALUES (?, ?, ?, ?, ?)"),
                   {table, layout.at(i).caption, layout.at(i).widthTwips, kShown, i + 1});
    tx.Commit();
}

}  // namespace

QList<ListColumn> DefaultLayout(const QString& table) {
    if (table == QLatin1String("group_lst"))
        return {{QStringLiteral("序号"), 800},  {QStringLiteral("宗亲会"), 2600},
                {QStringLiteral("声望"), 1000}, {QStringLiteral("成员数"), 1000},
                {QStringLiteral("简介"), 3600}, {QStringLiteral("创始人"), 1800}};
    if (table == QLatin1String("member_lst"))
        return {{QStringLiteral("序号"), 800},  {QStringLiteral("昵称"), 1800},
                {QStringLiteral("声望"), 1000}, {QStringLiteral("职位"), 1400},
                {QStringLiteral("简介"), 1800}, {QStringLiteral("前宗亲会"), 2800}};
    if (table == QLatin1String("newdown_eb"))
        return {{QStringLiteral("序号"), 600},    {QStringLiteral("电子档名称"), 2400},
                {QStringLiteral("大小(M)"), 900}, {QStringLiteral("已下载"), 800},
                {QStringLiteral("原作者"), 1200}, {QStringLiteral("辑录者"), 1200},
                {QStringLiteral("备注"), 2400}};
    return {};
}

QList<ListColumn> Shown(const QString& table) {
    dao::Database& db = App().DataDb;
    EnsureLayout(db, table);
    QList<ListColumn> columns;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"col_name\", \"col_width\" FROM \"rowcolctrl\" WHERE \"table_name\" = ? "
                            "AND \"col_visible\" < 3 ORDER BY \"col_visible\", \"seqno\", rowid"),
             {table});
         rs.hasRow() && columns.size() < kMaxColumns; rs.MoveNext()) {
        const qint64 width = rs.Long(QStringLiteral("col_width"));
        columns.append({rs.Text(QStringLiteral("col_name")), width > 0 ? int(width) : kDefaultWidthTwips});
    }
    return columns;
}

void Store(const QString& table, const QList<ListColumn>& columns) {
    dao::Database& db = App().DataDb;
    auto tx = db.BeginTrans();
    for (int i = 0; i < columns.size(); ++i) {
        const ListColumn& column = columns.at(i);
        const QVariant row =
            db.Scalar(QStringLiteral("SELECT rowid FROM \"rowcolctrl\" WHERE \"table_name\" = ? "
                                     "AND \"col_name\" = ? ORDER BY rowid LIMIT 1"),
                      {table, column.caption});
        if (row.isNull())
            // The column was on screen, so it is a shown one.
            db.Execute(
                QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", "
                               "\"col_visible\", \"seqno\") VALUES (?, ?, ?, ?, ?)"),
                {table, column.caption, column.widthTwips, kShown, i + 1});
        else
            db.Execute(
                QStringLiteral("UPDATE \"rowcolctrl\" SET \"col_width\" = ?, \"seqno\" = ? WHERE rowid = ?"),
                {column.widthTwips, i + 1, row});
    }
    tx.Commit();
}

}  // namespace group_window_columns
