#include <QSet>

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

const QString kHiddenRoot = QStringLiteral("No_Display");

// Page 1 holds every root with a name, in the order of the member table.
void AddRootsAsFirstPage(dao::Database& db) {
    db.Execute(
        QStringLiteral(
            "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\", \"No_Display\") "
            "SELECT \"filial\", 1, ifnull(\"generation\", 0), ifnull(\"father\" = ?, 0) FROM \"本姓成员\" "
            "WHERE (\"father\" IS NULL OR \"father\" = '' OR \"father\" = ?) AND trim(\"filial\") <> '' "
            "ORDER BY \"filial_id\""),
        {kHiddenRoot, kHiddenRoot});
}

// Climbs the in-law table from name to the topmost father it records. A missing father ends the
// climb there, and so does a name met before: a loop in that table must not hang the program.
void AddInLawTop(dao::Database& db, const QString& name) {
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
    db.Execute(QStringLiteral("INSERT INTO \"temp世祖\" (\"father\", \"generation\") VALUES (?, 0)"),
               {current});
}

// The fathers of one generation start page 1, each with its own generation number.
void AddFathersOfGeneration(dao::Database& db, qint16 generation) {
    db.Execute(QStringLiteral("INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") "
                              "SELECT f.\"father\", 1, ifnull((SELECT p.\"generation\" FROM \"本姓成员\" p "
                              "WHERE p.\"filial\" = f.\"father\"), 0) "
                              "FROM (SELECT DISTINCT \"father\" FROM \"本姓成员\" WHERE \"generation\" = ? "
                              "AND \"father\" <> '') f"),
               {generation});
}

}  // namespace

void Cls数据操作::Find世祖(qint16 mode, const QString& name) {
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"temp世祖\""));
    db.Execute(QStringLiteral("DELETE FROM \"temp\""));
    if (mode == 0)
        AddRootsAsFirstPage(db);
    else if (mode < 0)
        AddInLawTop(db, name);
    else
        AddFathersOfGeneration(db, mode);
    tx.Commit();
    App().RepaginateNeeded = true;
}

void Cls数据操作::删除起始页中世祖(const QString& name) {
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"father\" = ?"), {name});
}

void Cls数据操作::Del后续分页标志(qint32 page) {
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"currentpage\" > ?"), {page});
}

void Cls数据操作::Test世祖() {
    if (App().DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"temp世祖\" LIMIT 1")).isNull())
        Find世祖(0, QString());
}
