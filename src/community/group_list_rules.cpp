#include "community/group_list_rules.h"

#include "community/group_requests.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/text_utils.h"
#include "online/logon_gate.h"
#include "online/user_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

namespace group_list_rules {

namespace {

constexpr int kFoundedReputation = 500;
constexpr int kFoundedMembers = 1;
constexpr int kPositionTitles = 5;  // the "tempinfo" pageflag of the position titles

QString NumberText(const QVariant& value) {
    return value.isNull() ? QString() : value.toString();
}

}  // namespace

QList<GroupRow> ReadGroups() {
    App().DataDb.Execute(book_schema::GroupListTable());  // books older than the mirror
    QList<GroupRow> rows;
    for (dao::Recordset rs = App().DataDb.OpenRecordset(QStringLiteral(
             "SELECT \"Group_id\", \"group_name\", \"group_sw\", \"group_num\", \"group_creater\" "
             "FROM \"group_lst\" ORDER BY rowid"));
         rs.hasRow(); rs.MoveNext())
        rows.append({qint32(rs.value(0).toLongLong()), rs.value(1).toString(), rs.value(2), rs.value(3),
                     rs.value(4).toString()});
    return rows;
}

QString CellText(const QString& caption, const GroupRow& row, int number) {
    if (caption == QStringLiteral("序号")) return QString::number(number);
    if (caption == QStringLiteral("宗亲会")) return row.name;
    if (caption == QStringLiteral("声望")) return NumberText(row.reputation);
    if (caption == QStringLiteral("成员数")) return NumberText(row.members);
    if (caption == QStringLiteral("创始人")) return row.founder;
    return QString();  // 简介 and anything else
}

quint8 PositionCount() {
    const qint64 count =
        App()
            .DataDb
            .Scalar(QStringLiteral("SELECT count(*) FROM \"tempinfo\" WHERE \"pageflag\" = ?"),
                    {kPositionTitles})
            .toLongLong();
    return quint8(qMin<qint64>(count, 255));
}

QString CleanGroupName(const QString& typed) {
    QString name = typed;
    // Taken out until none is left, as the server does, so the local row has the server's name.
    for (QString previous; previous != name;) {
        previous = name;
        for (const char* separator : {"%!", "@~", "@!"})
            ReplaceAll(name, QLatin1String(separator), QString());
    }
    return Trim(name);
}

std::optional<Selection> OnItemCheck(qint32 currentGroup, bool nowChecked) {
    if (currentGroup > 0) return std::nullopt;
    return Selection{nowChecked, nowChecked};
}

void RequestToJoin(qint32 group) {
    if (group_requests::RequestToJoin(CurrentUserRecord().acc_id, group))
        UI().MsgBox(QStringLiteral("已提交，等待会长批准中..."), vb::Information);
    else if (!TellLapsedLogon())
        UI().MsgBox(QStringLiteral("申请入会未成功！"), vb::Exclamation);
}

bool FoundGroup() {
    const quint8 positions = PositionCount();
    const QString name = CleanGroupName(UI().InputBox(QStringLiteral("宗亲会名称：")));
    if (name.isEmpty()) return false;
    Cls_User& user = CurrentUserRecord();
    const std::optional<group_requests::Founded> founded =
        group_requests::Found(name, user.acc_id, positions);
    if (!founded) {
        if (!TellLapsedLogon()) UI().MsgBox(QStringLiteral("名称已存在或网络忙，创建不成功！"), vb::Critical);
        return false;
    }
    user.curGroup_Id = founded->group;  // the server's state, whatever happens locally
    App().DataDb.Execute(
        QStringLiteral("INSERT INTO \"group_lst\" (\"group_name\", \"Group_id\", \"group_sw\", "
                       "\"group_num\", \"group_creater\", \"group_script\") "
                       "VALUES (?, ?, ?, ?, ?, '')"),
        {name, founded->group, kFoundedReputation, kFoundedMembers, founded->founder});
    UI().MsgBox(QStringLiteral("成功创建宗亲会!"), vb::Information);
    return true;
}

}  // namespace group_list_rules
