#include "frame/app_state.h"
#include "online/user_record.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

// The last account that logged on is kept as the one tempinfo row with pageflag 6, so that a new run
// knows its id and nickname before anybody logs on. Database errors reach the caller.
void Cls数据操作::GetLastLogonAcc_id() {
    Cls_User* user = App().CurrentUser.get();
    if (!user || user->Logoned) return;
    dao::Recordset rs = App().DataDb.OpenRecordset(QStringLiteral(
        "SELECT \"msg_id\", \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\"=6 ORDER BY rowid LIMIT 1"));
    if (!rs.hasRow()) return;
    // An empty id counts as no account; a number beyond 32 bits is an overflow and changes nothing.
    const qint32 id =
        rs.IsNull(QStringLiteral("msg_id")) ? 0 : CLng(rs.value(QStringLiteral("msg_id")).toDouble());
    user->acc_id = id;
    user->NickName = rs.Text(QStringLiteral("msgName"));
}

void Cls数据操作::SaveLastLogonAcc_id() {
    const Cls_User* user = App().CurrentUser.get();
    if (!user) return;
    dao::Database& db = App().DataDb;
    auto tx = db.BeginTrans();
    db.Execute(QStringLiteral("DELETE FROM \"tempinfo\" WHERE \"pageflag\"=6"));
    db.Execute(
        QStringLiteral("INSERT INTO \"tempinfo\" (\"msgName\", \"msg_id\", \"pageflag\") VALUES (?, ?, 6)"),
        {user->NickName, user->acc_id});
    tx.Commit();
}
