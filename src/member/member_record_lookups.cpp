#include <QHash>
#include <QStringList>
#include <algorithm>

#include "frame/app_state.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/tree_node_sink.h"
#include "platform/vbcompat.h"
#include "store/member_rows.h"

namespace {

const QString kSep = QStringLiteral("%_");

dao::Database& Db() {
    return App().DataDb;
}

// The 加称 code is one byte; packages and the server have carried larger or non-numeric codes, which
// would otherwise stop the whole load with an overflow.
quint8 NameCode(const QString& part) {
    try {
        const double v = Val(part);
        if (v < 0 || v >= 255.5) return 0;
        return CByte(v);
    } catch (const VbError&) {
        return 0;
    }
}

// Copies one row of 本姓成员 into the record; the server ids only when asked.
void LoadRow(Cls子女& m, const dao::Recordset& rs, bool withServerIds) {
    m.strFather = rs.Text("father");
    m.strMother = rs.Text("mother");
    m.strMother_Birthday = rs.Text("mother_birthday");
    m.strMother_Death = rs.Text("mother_death");
    m.bMother_Active = rs.Bool("Mother_active");
    m.strMother_Education = rs.Text("m_education");
    m.strMother_Position = rs.Text("m_position");
    m.strMother_Folk = rs.Text("mother_folk");
    m.strBoy = rs.Text("filial");
    m.strBoy_Birthday = rs.Text("boy_birthday");
    m.strBoy_Death = rs.Text("boy_death");
    m.bBoy_Active = rs.Bool("boy_active");
    m.strBoy_Education = rs.Text("boy_education");
    m.strBoy_Position = rs.Text("boy_position");
    m.strBoy_Folk = rs.Text("boy_folk");
    m.bBoy_Sex = rs.Bool("Boy_Sex");
    m.lBoy_ID = static_cast<qint32>(rs.Long("filial_id"));
    m.lBoy_Generation = static_cast<qint32>(rs.Long("generation"));

    const QStringList parts = (rs.Text("c_jc_w_z_h") + QStringLiteral("%%%%%%%")).split(QLatin1Char('%'));
    m.boy_c = parts.at(0);
    m.boy_jc = NameCode(parts.at(1));
    m.boy_wei = parts.at(2);
    m.boy_zhi = parts.at(3);
    m.boy_hao = parts.at(4);
    m.boy_yi = parts.at(5);

    if (withServerIds) {
        m.set_myacc_id(static_cast<qint32>(rs.Long("myacc_id")));
        m.set_mysql_id(static_cast<qint32>(rs.Long("mysql_id")));
    }
}

// Result of the loaders: 0 loaded, -1 (the old True) nothing there.
qint16 LoadFirst(Cls子女& m, const QString& sql, const QString& key, bool withServerIds) {
    dao::Recordset rs = Db().OpenRecordset(sql, {key});
    if (rs.EOF_()) {
        m.Mem_Clear();
        return -1;
    }
    LoadRow(m, rs, withServerIds);
    return 0;
}

// The mother column compares as NOCASE does: ASCII letters without regard to case.
QString NocaseKey(const QString& text) {
    QString key = text;
    for (QChar& c : key)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return key;
}

}  // namespace

// The name parts survive a clear: the member editor keeps them between inputs.
void Cls子女::Mem_Clear() {
    strFather.clear();
    strMother.clear();
    strMother_Birthday.clear();
    strMother_Death.clear();
    bMother_Active = true;
    strMother_Education.clear();
    strMother_Position.clear();
    strMother_Folk.clear();
    strBoy.clear();
    strBoy_Birthday.clear();
    strBoy_Death.clear();
    bBoy_Active = true;
    strBoy_Education.clear();
    strBoy_Position.clear();
    strBoy_Folk.clear();
    bBoy_Sex = true;
    lBoy_ID = 0;
    lBoy_Generation = 0;
    boy_protect = 0;
    mysql_id_ = 0;
    myacc_id_ = 0;
}

qint16 Cls子女::Find自已(const QString& boy) {
    return LoadFirst(*this, QStringLiteral("SELECT * FROM \"本姓成员\" WHERE \"filial\" = ?"), boy, true);
}

qint16 Cls子女::Find父母(const QString& boy) {
    return Find自已(boy);
}

qint16 Cls子女::Find子女(const QString& fatherName) {
    return LoadFirst(
        *this,
        QStringLiteral("SELECT * FROM \"本姓成员\" WHERE \"father\" = ? ORDER BY \"filial_id\" LIMIT 1"),
        fatherName, false);
}

QString Cls子女::Find始祖(const QString& boy) {
    return member_rows::Find始祖(boy);
}

bool Cls子女::This始祖dspt(const QString& boy) {
    return member_rows::This始祖dspt(boy);
}

QString Cls子女::Find配偶(const QString& boy) {
    return member_rows::Find配偶(boy);
}

QString Cls子女::Return父亲信息(const QString& myFather) {
    dao::Recordset rs =
        Db().OpenRecordset(QStringLiteral("SELECT * FROM \"本姓成员\" WHERE \"filial\" = ?"), {myFather});
    if (rs.EOF_()) return QString("");
    return QStringList{rs.Text("boy_birthday"),  rs.Text("boy_death"),    CStr(rs.Bool("boy_active")),
                       rs.Text("boy_education"), rs.Text("boy_position"), CStr(rs.Bool("Boy_Sex")),
                       rs.Text("boy_folk"),      rs.Text("c_jc_w_z_h")}
        .join(kSep);
}

QString Cls子女::Get母亲信息(const QString& myMother, const QString& myFather) {
    return member_rows::Get母亲信息(myMother, myFather);
}

bool Cls子女::Get配偶生死(const QString& myMother, const QString& myFather) {
    return member_rows::Get配偶生死(myMother, myFather);
}

QList<Cls子女::Spouse> Cls子女::Spouses(const QString& boy) {
    QList<ChildMother> children;
    for (dao::Recordset rs =
             Db().OpenRecordset(QStringLiteral("SELECT * FROM \"本姓成员\" WHERE \"father\" = ?"), {boy});
         !rs.EOF_(); rs.MoveNext())
        children.append(member_rows::ChildMotherOf(rs));
    return SpousesOf(std::move(children));
}

QList<Cls子女::Spouse> Cls子女::SpousesOf(QList<ChildMother> children) {
    // Find配偶 lists the mothers in the children's order, a repeat of the one before dropped; a mother's
    // particulars come from her child with the lowest id, as the single look-ups take them.
    std::sort(children.begin(), children.end(), [](const ChildMother& a, const ChildMother& b) {
        if (a.sort.isNull() != b.sort.isNull()) return a.sort.isNull();
        const qint64 x = a.sort.toLongLong(), y = b.sort.toLongLong();
        return x != y ? x < y : a.id < b.id;
    });
    QStringList names;
    QHash<QString, const ChildMother*> first;
    QString last;
    for (const ChildMother& child : children) {
        if (child.mother.isEmpty()) continue;
        const QString key = NocaseKey(child.mother);
        if (auto it = first.find(key); it == first.end() || (*it)->id > child.id) first.insert(key, &child);
        const QString t = Trim(child.mother);
        if (t != last) {
            last = t;
            if (!t.isEmpty()) names << t;
        }
    }
    QList<Spouse> spouses;
    for (const QString& name : names) {
        const ChildMother* found = first.value(NocaseKey(name));
        spouses.append({name, found && found->living, found ? member_rows::MotherText(*found) : QString()});
    }
    return spouses;
}

bool Cls子女::NodeExist(const TreeNodeSink& objTree, const QString& NodeKey) {
    return objTree.Exists(NodeKey);
}
