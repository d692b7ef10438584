#include "community/member_list_rules.h"

#include <functional>

#include "community/group_list_rules.h"
#include "community/group_requests.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/credential_lapse.h"
#include "online/logon_gate.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

namespace member_list_rules {

namespace {

constexpr int kPositionTitles = 5;  // the "tempinfo" pageflag of the position titles
constexpr int kApprovedPosition = 1;
constexpr int kApprovalReputation = 100;

dao::Database& Db() {
    return App().DataDb;
}

QString NumberText(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

// Runs the request for each member; the local change follows each one the server did, and one message
// tells of those it did not.
void ForEach(const QList<qint32>& members, const std::function<bool(qint32)>& request,
             const std::function<void(qint32)>& applyLocally, const QString& failure) {
    bool failed = false;
    for (const qint32 member : members) {
        // Once the log-on has lapsed the server does nothing more for it.
        if (CredentialLapsePending()) {
            failed = true;
            break;
        }
        if (request(member))
            applyLocally(member);
        else
            failed = true;
    }
    if (failed && !TellLapsedLogon()) UI().MsgBox(failure, vb::Exclamation);
}

}  // namespace

QList<MemberRow> ReadMembers() {
    Db().Execute(book_schema::MemberListTable());  // books older than the mirror
    QList<MemberRow> rows;
    for (dao::Recordset rs = Db().OpenRecordset(
             QStringLiteral("SELECT \"member_id\", \"member_position_id\", \"member_group_state\", "
                            "\"member_name\", \"member_sw\", \"member_lastgroup_id\" FROM \"member_lst\" "
                            "ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext())
        rows.append({qint32(rs.value(0).toLongLong()), qint32(rs.value(1).toLongLong()),
                     qint32(rs.value(2).toLongLong()), rs.value(3).toString(), rs.value(4),
                     qint32(rs.value(5).toLongLong())});
    return rows;
}

Lookups ReadLookups() {
    Db().Execute(book_schema::GroupListTable());
    Lookups lookups;
    for (dao::Recordset rs = Db().OpenRecordset(
             QStringLiteral(
                 "SELECT \"msg_id\", \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = ? ORDER BY rowid"),
             {kPositionTitles});
         rs.hasRow(); rs.MoveNext())
        if (!lookups.titles.contains(rs.value(0).toLongLong()))
            lookups.titles.insert(rs.value(0).toLongLong(), rs.value(1).toString());
    for (dao::Recordset rs = Db().OpenRecordset(
             QStringLiteral("SELECT \"Group_id\", \"group_name\" FROM \"group_lst\" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext())
        if (!lookups.groupNames.contains(rs.value(0).toLongLong()))
            lookups.groupNames.insert(rs.value(0).toLongLong(), rs.value(1).toString());
    return lookups;
}

QString CellText(const QString& caption, const MemberRow& row, int number, const Lookups& lookups) {
    if (caption == QStringLiteral("序号")) return QString::number(number);
    if (caption == QStringLiteral("昵称")) return row.nickname;
    if (caption == QStringLiteral("声望")) return NumberText(row.reputation);
    if (caption == QStringLiteral("职位")) return lookups.titles.value(row.positionId);
    if (caption == QStringLiteral("简介"))
        return row.state == kApplicant ? QStringLiteral("申请入会") : QString();
    if (caption == QStringLiteral("前宗亲会")) return lookups.groupNames.value(row.lastGroupId);
    return QString();
}

void TakeOwnPosition(const QList<MemberRow>& rows, Cls_User& user) {
    for (const MemberRow& row : rows)
        if (row.memberId == user.acc_id) user.position_id = quint8(qBound(0, row.positionId, 255));
}

QString GroupName(qint32 group) {
    Db().Execute(book_schema::GroupListTable());
    const QVariant local = Db().Scalar(
        QStringLiteral("SELECT \"group_name\" FROM \"group_lst\" WHERE \"Group_id\" = ? ORDER BY rowid "
                       "LIMIT 1"),
        {group});
    if (!local.isNull()) return local.toString();
    const group_requests::Detail detail = group_requests::GroupDetail(group);
    if (detail.members > 0)
        Db().Execute(
            QStringLiteral("INSERT INTO \"group_lst\" (\"Group_id\", \"group_name\", \"group_creater\", "
                           "\"group_num\", \"group_sw\") VALUES (?, ?, ?, ?, ?)"),
            {group, detail.name, detail.founder, detail.members, detail.reputation});
    return detail.name;
}

QString WindowCaption(const QString& groupName) {
    return groupName + QStringLiteral("：成员列表");
}

QString ExitCaption(ExitMode mode) {
    return mode == ExitMode::Leave ? QStringLiteral("退会") : QStringLiteral("开除");
}

Buttons OnItemCheck(const Cls_User& user, quint8 positions, const MemberRow& row, bool nowChecked) {
    Buttons buttons;
    buttons.exit = user.position_id >= positions / 2;
    if (!nowChecked) return buttons;
    const bool applicant = row.state == kApplicant;
    if (applicant) {
        buttons.approve = buttons.refuse = true;
        buttons.exit = false;
    }
    if (row.memberId == user.acc_id) {
        buttons.mode = ExitMode::Leave;
        buttons.exit = true;
    }
    // Raising stops one below the count of titles, so a member there is offered nothing.
    buttons.raise = !applicant && row.positionId < user.position_id && row.positionId + 1 <= positions - 1;
    return buttons;
}

void Approve(const QList<qint32>& members) {
    const qint32 officer = CurrentUserRecord().acc_id;
    ForEach(
        members, [officer](qint32 member) { return group_requests::Approve(officer, member); },
        [](qint32 member) {
            Db().Execute(
                QStringLiteral("UPDATE \"member_lst\" SET \"member_group_state\" = 0, \"member_sw\" = "
                               "coalesce(\"member_sw\", 0) + ?, \"member_position_id\" = ? "
                               "WHERE \"member_id\" = ?"),
                {kApprovalReputation, kApprovedPosition, member});
        },
        QStringLiteral("批准入会未成功！"));
}

void Refuse(const QList<qint32>& members) {
    const qint32 officer = CurrentUserRecord().acc_id;
    ForEach(
        members, [officer](qint32 member) { return group_requests::Refuse(officer, member); },
        [](qint32 member) {
            Db().Execute(QStringLiteral("DELETE FROM \"member_lst\" WHERE \"member_id\" = ?"), {member});
        },
        QStringLiteral("婉拒入会未成功！"));
}

void Raise(const QList<qint32>& members) {
    const qint32 officer = CurrentUserRecord().acc_id;
    const int top = int(group_list_rules::PositionCount()) - 1;
    QList<qint32> raisable;
    for (const qint32 member : members) {
        dao::Recordset rs = Db().OpenRecordset(
            QStringLiteral("SELECT \"member_position_id\", \"member_group_state\" FROM \"member_lst\" "
                           "WHERE \"member_id\" = ? ORDER BY rowid LIMIT 1"),
            {member});
        if (rs.hasRow() && rs.value(0).toLongLong() + 1 <= top && rs.value(1).toLongLong() == 0)
            raisable.append(member);
    }
    ForEach(
        raisable,
        [officer, top](qint32 member) { return group_requests::Raise(officer, member, quint8(top)); },
        [](qint32 member) {
            Db().Execute(
                QStringLiteral("UPDATE \"member_lst\" SET \"member_position_id\" = \"member_position_id\" "
                               "+ 1 WHERE \"member_id\" = ?"),
                {member});
        },
        QStringLiteral("更改职位未成功！"));
}

bool Leave() {
    Cls_User& user = CurrentUserRecord();
    if (!group_requests::Leave(user.acc_id, user.curGroup_Id)) {
        if (!TellLapsedLogon()) UI().MsgBox(QStringLiteral("退会未成功！"), vb::Exclamation);
        return false;
    }
    // The server has let the user go, whatever happens in the book from here on.
    const auto leftIt = [&user] {
        user.curGroup_Id = 0;
        user.position_id = 0;
    };
    try {
        // While the user's association is still the one just left: it tells whose members to detach.
        Cls数据操作().ExitGroup2();
    } catch (...) {
        leftIt();
        throw;
    }
    leftIt();
    Db().Execute(QStringLiteral("DELETE FROM \"member_lst\""));
    UI().MsgBox(QStringLiteral("已退会！"), vb::Exclamation);
    return true;
}

void Expel(qint32 member) {
    const Cls_User& user = CurrentUserRecord();
    const std::optional<qint32> keeper = group_requests::Expel(user.acc_id, member, user.curGroup_Id);
    if (!keeper) {
        if (!TellLapsedLogon()) UI().MsgBox(QStringLiteral("开除未成功！"), vb::Exclamation);
        return;
    }
    auto tx = Db().BeginTrans();
    if (*keeper != member)
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"myacc_id\" = ? WHERE \"myacc_id\" = ?"),
                     {*keeper, member});
    Db().Execute(QStringLiteral("DELETE FROM \"member_lst\" WHERE \"member_id\" = ?"), {member});
    tx.Commit();
    UI().MsgBox(QStringLiteral("已开除此会员！"), vb::Exclamation);
}

}  // namespace member_list_rules
