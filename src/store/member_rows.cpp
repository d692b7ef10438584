#include "store/member_rows.h"

#include <QSet>

#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "platform/vbcompat.h"

namespace member_rows {

namespace {

const QString kHiddenRoot = QStringLiteral("No_Display");
const QString kSep = QStringLiteral("%_");

const QString kMotherRow = QStringLiteral(
    "SELECT * FROM \"本姓成员\" WHERE \"mother\" = ? AND \"father\" = ? ORDER BY \"filial_id\" LIMIT 1");

dao::Database& Db() {
    return App().DataDb;
}

}  // namespace

ChildMother ChildMotherOf(const dao::Recordset& rs) {
    return {rs.Text("mother"),        rs.Text("mother_folk"),     rs.Text("m_education"),
            rs.Text("m_position"),    rs.Text("mother_birthday"), rs.Text("mother_death"),
            rs.Bool("Mother_active"), rs.value("boy_sort"),       rs.Long("filial_id")};
}

QString MotherText(const ChildMother& row) {
    QString s = row.mother;
    const auto add = [&](const QString& value, const QString& before, const QString& after = QString()) {
        const QString v = Trim(value);
        if (!v.isEmpty()) s += before + v + after;
    };
    add(row.folk, QStringLiteral("，"), QStringLiteral("人士"));
    add(row.education, QStringLiteral("，"));
    add(row.position, QStringLiteral("，"));
    add(row.birthday, QStringLiteral("，生于"));
    add(row.death, QStringLiteral("，卒于"));
    return s + QStringLiteral("。");
}

// Father links may loop in damaged or merged books; rows already passed (by their id, since names
// compare without case) end the climb with no root.
QString Find始祖(const QString& boy) {
    QString current = boy;
    QString result;
    QSet<qint64> visited;
    do {
        dao::Recordset rs = Db().OpenRecordset(
            QStringLiteral(
                "SELECT \"father\", \"filial\", \"filial_id\" FROM \"本姓成员\" WHERE \"filial\" = ?"),
            {current});
        if (rs.EOF_()) return QString("");
        if (visited.contains(rs.Long("filial_id"))) return QString("");
        visited.insert(rs.Long("filial_id"));
        result = rs.Text("filial");
        current = rs.Text("father");
    } while (!current.isEmpty() && current != kHiddenRoot);
    return result;
}

// A name without a row is not a hidden root.
bool This始祖dspt(const QString& boy) {
    const QVariant father =
        Db().Scalar(QStringLiteral("SELECT \"father\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {boy});
    return father.isNull() || father.toString() != kHiddenRoot;
}

// Only a repeat of the previous row's mother is dropped: a mother who comes back after another one is
// listed again, as the children's order tells it.
QString Find配偶(const QString& boy) {
    dao::Recordset rs = Db().OpenRecordset(
        QStringLiteral("SELECT DISTINCT \"mother\", \"boy_sort\", \"filial_id\" FROM \"本姓成员\" "
                       "WHERE \"mother\" <> '' AND \"mother\" IS NOT NULL AND \"father\" = ? "
                       "ORDER BY \"boy_sort\", \"filial_id\""),
        {boy});
    QString last;
    QString result;
    for (; !rs.EOF_(); rs.MoveNext()) {
        const QString t = Trim(rs.Text("mother"));
        if (t != last) {
            last = t;
            if (!t.isEmpty()) result += kSep + t;
        }
    }
    return result;
}

QString Get母亲信息(const QString& myMother, const QString& myFather) {
    dao::Recordset rs = Db().OpenRecordset(kMotherRow, {myMother, myFather});
    if (rs.EOF_()) return QString("");
    return MotherText(ChildMotherOf(rs));
}

bool Get配偶生死(const QString& myMother, const QString& myFather) {
    dao::Recordset rs = Db().OpenRecordset(kMotherRow, {myMother, myFather});
    return !rs.EOF_() && rs.Bool("Mother_active");
}

}  // namespace member_rows
