#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/text_utils.h"
#include "online/account_lists.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

constexpr quint8 kMayChange = 3;

// The first row of the member's columns, found as GetMyRight and GetNodeCreate_Id look members up.
// A name is taken exactly first: "张三[2]" is a member of its own, not 张三.
dao::Recordset MemberRow(const QString& columns, qint32 filial_id, const QString& filial) {
    dao::Database& db = App().DataDb;
    const QString select = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM \"本姓成员\" WHERE ");
    if (filial_id >= 0)
        return db.OpenRecordset(select + QStringLiteral("\"filial_id\" = ? LIMIT 1"), {filial_id});
    const QString name = TextAfterBrace(filial);
    const QString byName = select + QStringLiteral("\"filial\" = ? LIMIT 1");
    dao::Recordset rs = db.OpenRecordset(byName, {name});
    const QString stem = StripBracketSuffix(name);
    if (rs.hasRow() || stem == name) return rs;
    rs.Close();
    return db.OpenRecordset(byName, {stem});
}

qint64 NumberOf(const QVariant& value) {
    try {
        return qint64(Val(value.toString()));
    } catch (const VbError&) {
        return 0;
    }
}

}  // namespace

void Cls数据操作::TestOnline(const QString& first, const QString& second) {
    dao::Database& db = App().DataDb;
    dao::Transaction tx = db.BeginTrans();
    for (const QString& code : {first, second})
        db.Execute(QStringLiteral("INSERT INTO \"skrslt\" (\"code\") VALUES (?)"), {code});
    tx.Commit();
}

qint32 Cls数据操作::GetNodeCreate_Id(qint32 filial_id, const QString& filial) {
    dao::Recordset rs = MemberRow(QStringLiteral("\"myacc_id\""), filial_id, filial);
    return rs.hasRow() ? qint32(rs.value(0).toLongLong()) : 0;
}

quint8 Cls数据操作::GetMyRight(qint32 filial_id, const QString& filial) {
    dao::Recordset rs =
        MemberRow(QStringLiteral("\"filial_protect\", \"myacc_id\", \"mysql_id\""), filial_id, filial);
    if (!rs.hasRow()) return kMayChange;
    // An uploaded member starts from 3; the protection level adds to it.
    quint8 right = quint8((rs.value(2).toLongLong() > 0 ? 3 : 0) + rs.value(0).toLongLong());
    const auto& user = App().CurrentUser;
    const qint64 creator = rs.value(1).toLongLong();
    if (user && creator == user->acc_id) right = kMayChange;
    return right == 0 ? kMayChange : right;
}

quint8 Cls数据操作::AutoGetRight(quint8 rebuild) {
    dao::Database& db = App().DataDb;
    if (rebuild == 0) {
        const qint32 self = App().CurrentUser ? App().CurrentUser->acc_id : 0;
        dao::Transaction tx = db.BeginTrans();
        db.Execute(QStringLiteral("DELETE FROM \"tempinfo\" WHERE \"pageflag\" = ?"), {kCreatorQueueList});
        db.Execute(QStringLiteral("INSERT INTO \"tempinfo\" (\"msgName\", \"msg_id\", \"pageflag\") "
                                  "SELECT DISTINCT CAST(\"myacc_id\" AS TEXT), 0, ? FROM \"本姓成员\" "
                                  "WHERE \"mysql_id\" > 0 AND \"myacc_id\" > 0 AND \"myacc_id\" <> ?"),
                   {kCreatorQueueList, self});
        tx.Commit();
    }
    qint64 row = 0;
    QString account;
    {
        dao::Recordset rs = db.OpenRecordset(
            QStringLiteral("SELECT rowid, \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = ? AND "
                           "\"msg_id\" = 0 ORDER BY rowid LIMIT 1"),
            {kCreatorQueueList});
        if (!rs.hasRow()) return 0;
        row = rs.value(0).toLongLong();
        account = rs.value(1).toString();
    }
    // No statement stays open while the request waits.
    // The server answers only the user's own account and those whose members the user may see.
    const QString reply =
        HttpGetTextAsUser(GetSiteUrl().toString() + QStringLiteral("/flsh2/getright.asp?accid=") +
                          QString::number(NumberOf(account)));
    db.Execute(QStringLiteral("UPDATE \"tempinfo\" SET \"msg_id\" = ? WHERE rowid = ?"),
               {NumberOf(reply), row});
    return 1;
}
