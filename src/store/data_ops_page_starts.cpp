#include <QSet>

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

const QString kHiddenRoot = QStringLiteral("No_Display");

// Page 1 holds every root with a name, in the order of the member table. Whether the walk of page 1
// queues a root (shown, with a child to show) is its guess only; the walk checks it.
std::vector<PageStartEntry> RootsOfFirstPage(dao::Database& db) {
    std::vector<PageStartEntry> out;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral(
                 "SELECT r.\"filial\", ifnull(r.\"generation\", 0), "
                 "ifnull(r.\"father\", '') <> ? COLLATE BINARY AND r.\"filial\" <> ? AND EXISTS "
                 "(SELECT 1 FROM \"本姓成员\" c WHERE c.\"father\" = r.\"filial\" AND trim(c.\"filial\") <> '') "
                 "FROM \"本姓成员\" r "
                 "WHERE (r.\"father\" IS NULL OR r.\"father\" = '' OR r.\"father\" = ?) AND trim(r.\"filial\") <> '' "
                 "ORDER BY r.\"filial_id\""),
             {kHiddenRoot, kHiddenRoot, kHiddenRoot});
         rs.hasRow(); rs.MoveNext())
        out.push_back({rs.value(0).toString(), qint32(rs.value(1).toLongLong()), -1, rs.value(2).toLongLong() != 0});
    return out;
}

// Climbs the in-law table from name to the topmost father it records. A missing father ends the
// climb there, and so does a name met before: a loop in that table must not hang the program.
QString InLawTop(dao::Database& db, const QString& name) {
    QString current = name;
    QSet<QString> visited{current};
    for (;;) {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT \"father\" FROM \"外戚成员\" WHERE \"filial\" = ?"), {current});
        if (rs.EOF_() || rs.IsNull(QStringLiteral("father"))) break;
        const QString father = rs.Text(QStringLiteral("father"));
        if (visited.contains(father)) break;
        visited.insert(father);
        current = father;
    }
    return current;
}

// The fathers of one generation start page 1, each with its own generation number.
std::vector<PageStartEntry> FathersOfGeneration(dao::Database& db, qint16 generation) {
    std::vector<PageStartEntry> out;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT f.\"father\", ifnull((SELECT p.\"generation\" FROM \"本姓成员\" p "
                            "WHERE p.\"filial\" = f.\"father\"), 0) "
                            "FROM (SELECT DISTINCT \"father\" FROM \"本姓成员\" WHERE \"generation\" = ? "
                            "AND \"father\" <> '') f"),
             {generation});
         rs.hasRow(); rs.MoveNext())
        out.push_back({rs.value(0).toString(), qint32(rs.value(1).toLongLong()), -1, true});
    return out;
}

}  // namespace

void Cls数据操作::Find世祖(qint16 mode, const QString& name) {
    dao::Database& db = App().DataDb;
    PageStartStore starts(db);
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    if (mode == 0) {
        starts.SetFirstPage(RootsOfFirstPage(db));
    } else if (mode < 0) {
        // The top of the in-law line is kept outside every page.
        starts.Clear();
        starts.AddStart(0, InLawTop(db, name), 0);
    } else {
        starts.SetFirstPage(FathersOfGeneration(db, mode));
    }
    tx.Commit();
    App().RepaginateNeeded = true;
}

void Cls数据操作::删除起始页中世祖(const QString& name) {
    PageStartStore().RemoveMember(name);
}

void Cls数据操作::Del后续分页标志(qint32 page) {
    PageStartStore().TruncateAfter(page);
}

void Cls数据操作::Test世祖() {
    if (PageStartStore().IsEmpty()) Find世祖(0, QString());
}
