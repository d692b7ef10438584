// The clan-association half of the data operations: the local mirrors of the server's association
// lists, the association's founding, and what leaving one means for the members of the book.

#include <QEventLoop>
#include <QTimer>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "online/server_session.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/door/server_command.h"
#include "platform/http/http_client.h"
#include "platform/interaction/do_events.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

constexpr int kExitRequestPauseMs = 200;
constexpr int kRowsBetweenEvents = 200;

// A mirror table and, for each of its fields in order, the reply column it is copied from.
struct Mirror {
    QString table;
    QString create;
    QList<QPair<QString, QString>> fields;
};

Mirror GroupMirror() {
    return {QStringLiteral("group_lst"),
            book_schema::GroupListTable(),
            {{QStringLiteral("group_name"), QStringLiteral("group_name")},
             {QStringLiteral("group_sw"), QStringLiteral("group_sw")},
             {QStringLiteral("Group_id"), QStringLiteral("Group_id")},
             {QStringLiteral("group_creater"), QStringLiteral("group_creater")},
             {QStringLiteral("group_num"), QStringLiteral("group_num")},
             {QStringLiteral("group_script"), QStringLiteral("group_script")}}};
}

Mirror MemberMirror() {
    return {QStringLiteral("member_lst"),
            book_schema::MemberListTable(),
            {{QStringLiteral("member_name"), QStringLiteral("NickName")},
             {QStringLiteral("member_sw"), QStringLiteral("User_SW")},
             {QStringLiteral("member_id"), QStringLiteral("acc_id")},
             {QStringLiteral("member_position_id"), QStringLiteral("position_id")},
             {QStringLiteral("member_lastgroup_id"), QStringLiteral("lastgroup_id")},
             {QStringLiteral("member_group_state"), QStringLiteral("group_state")}}};
}

// The mirror holds exactly the rows given, or, when anything fails, what it held before.
void ReplaceMirror(const Mirror& mirror, const ServerRows& rows) {
    dao::Database& db = App().DataDb;
    QStringList names, marks;
    for (const auto& field : mirror.fields) {
        names << QLatin1Char('"') + field.first + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    const QString table = QLatin1Char('"') + mirror.table + QLatin1Char('"');
    const QString insert =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    auto tx = db.BeginTrans();
    db.Execute(mirror.create);
    db.Execute(QStringLiteral("DELETE FROM ") + table);
    for (int row = 0; row < rows.size(); ++row) {
        dao::Params values;
        for (const auto& field : mirror.fields) values.append(rows.value(row, field.second));
        db.Execute(insert, values);
        if ((row + 1) % kRowsBetweenEvents == 0) DoEvents();
    }
    tx.Commit();
}

ServerRows CallRows(const QString& procedure, const QString& parameter = QString(),
                    const QVariant& value = {}) {
    ServerSession session;
    ServerCommand cmd(session.connection());
    cmd.SetCommandText(procedure);
    if (!parameter.isEmpty()) cmd.SetValue(parameter, value);
    return cmd.Execute();
}

// Lets timers and replies run for a while, without the user's input.
void PauseMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// The numeric value of a reply; a number too large to be an id counts as none.
qint64 ReplyNumber(const QString& reply) {
    try {
        return qint64(Val(reply));
    } catch (const VbError&) {
        return 0;
    }
}

}  // namespace

void Cls数据操作::RefreshGroupList() {
    ProgressScope progress;
    DoEvents();
    ReplaceMirror(GroupMirror(), CallRows(QStringLiteral("sp_GetGroupList")));
}

void Cls数据操作::RefreshMemberList() {
    ProgressScope progress;
    DoEvents();
    const Cls_User* user = App().CurrentUser.get();
    const qint32 group = user ? user->curGroup_Id : 0;
    // Without an association there are no members to ask the server for.
    if (group < 1) {
        ReplaceMirror(MemberMirror(), ServerRows());
        return;
    }
    ReplaceMirror(MemberMirror(),
                  CallRows(QStringLiteral("sp_GetMemberList"), QStringLiteral("@z_curgroup_id"), group));
}

quint8 Cls数据操作::ExitGroup2() {
    const Cls_User* user = App().CurrentUser.get();
    if (!user || user->curGroup_Id < 1) return 0;  // every account outside an association would match
    const qint32 left = user->curGroup_Id;
    dao::Database& db = App().DataDb;
    // The other accounts whose members this book holds as uploaded; the user's own stay attached.
    QList<qint32> creators;
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT DISTINCT \"myacc_id\" FROM \"本姓成员\" WHERE typeof(\"myacc_id\") = "
                            "'integer' AND \"mysql_id\" > 0 AND \"myacc_id\" > 0 AND \"myacc_id\" <> ? "
                            "ORDER BY \"myacc_id\""),
             {user->acc_id});
         rs.hasRow(); rs.MoveNext())
        creators.append(qint32(rs.value(0).toLongLong()));

    ProgressScope progress;
    for (int i = 0; i < creators.size(); ++i) {
        if (i > 0) PauseMs(kExitRequestPauseMs);  // the server is asked at a gentle pace
        const qint32 creator = creators.at(i);
        const QString reply =
            HttpGetTextAsUser(BuildUrl(GetSiteUrl().toString(), QStringLiteral("/flsh2/getgroupid.asp"),
                                       {{QStringLiteral("accid"), QString::number(creator)}})
                                  .toString(QUrl::FullyEncoded));
        if (ReplyNumber(reply) == left)
            db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = 0 WHERE \"myacc_id\" = ?"),
                       {creator});
        DoEvents();
    }
    return 0;
}

qint32 Cls数据操作::CreateGroup(qint32 accountId, quint8 positionId, QString& groupName) {
    ProgressScope progress;
    DoEvents();
    ServerSession session;
    ServerCommand cmd(session.connection());
    cmd.SetCommandText(QStringLiteral("sp_CreateGroup"));
    cmd.SetValue(QStringLiteral("@z_acc_id"), accountId);
    cmd.SetValue(QStringLiteral("@z_maxp_id"), positionId);
    cmd.SetValue(QStringLiteral("@z_group_name"), groupName);
    cmd.Execute();
    groupName = cmd.Value(QStringLiteral("@z_group_name")).toString();
    return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
}
