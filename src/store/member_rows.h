#pragma once

#include <QString>
#include <QVariant>

namespace dao {
class Recordset;
}

// Questions about the member table that the page and tree engine asks as the member record does
// (Cls子女 answers them through these): the climb to a member's top ancestor and what the children's
// rows tell of the mothers.
namespace member_rows {

// A child's row as far as its mother goes.
struct ChildMother {
    QString mother;
    QString folk;
    QString education;
    QString position;
    QString birthday;
    QString death;
    bool living = false;
    QVariant sort;  // boy_sort; no value sorts first
    qint64 id = 0;  // filial_id
};
ChildMother ChildMotherOf(const dao::Recordset& rs);
// The mother's particulars of a child's row, as one sentence.
QString MotherText(const ChildMother& row);

QString Find始祖(const QString& boy);
bool This始祖dspt(const QString& boy);
QString Find配偶(const QString& boy);
QString Get母亲信息(const QString& myMother, const QString& myFather);
bool Get配偶生死(const QString& myMother, const QString& myFather);

}  // namespace member_rows
