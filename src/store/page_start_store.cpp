#include "store/page_start_store.h"

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"

PageStartStore::PageStartStore() : db_(App().DataDb) {}
PageStartStore::PageStartStore(dao::Database& db) : db_(db) {}

QList<PageStart> PageStartStore::StartsOf(qint32 page) const {
    QList<PageStart> out;
    for (dao::Recordset rs =
             db_.OpenRecordset(QStringLiteral("SELECT \"father\", \"generation\" FROM \"temp世祖\" "
                                              "WHERE \"currentpage\" = ? ORDER BY rowid"),
                               {page});
         rs.hasRow(); rs.MoveNext())
        out.push_back({rs.Text(QStringLiteral("father")),
                       rs.IsNull(QStringLiteral("generation")) ? 0 : qint32(rs.value(1).toLongLong())});
    return out;
}

qint32 PageStartStore::HighestPage() const {
    const QVariant v = db_.Scalar(QStringLiteral("SELECT max(\"currentpage\") FROM \"temp世祖\""));
    return v.isNull() ? 0 : qint32(v.toLongLong());
}

void PageStartStore::TruncateAfter(qint32 page) {
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"currentpage\" > ?"), {page});
}

void PageStartStore::RemoveMember(const QString& name) {
    db_.Execute(QStringLiteral("DELETE FROM \"temp世祖\" WHERE \"father\" = ?"), {name});
}

void PageStartStore::AddStart(qint32 page, const QString& name, qint32 generation) {
    db_.Execute(
        QStringLiteral(
            "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") VALUES (?, ?, ?)"),
        {name, page, generation});
}

void PageStartStore::Rename(const QString& oldName, const QString& newName) {
    db_.Execute(QStringLiteral("UPDATE \"temp世祖\" SET \"father\" = ? WHERE \"father\" = ?"),
                {newName, oldName});
}
