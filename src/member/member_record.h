#pragma once

#include <QString>

class TreeNodeSink;

// One row of the member table held in public fields, with the operations that load, question and
// write members. Look-ups live in member_record_lookups.cpp; saving, renaming, deleting, roots,
// branch books and moves come in files of their own.
class Cls子女 {
public:
    QString strFather;
    QString strMother;
    QString strMother_Birthday;
    QString strMother_Death;
    bool bMother_Active = true;
    QString strMother_Education;
    QString strMother_Position;
    QString strMother_Folk;
    QString strBoy;
    QString strBoy_Birthday;
    QString strBoy_Death;
    bool bBoy_Active = true;
    QString strBoy_Education;
    QString strBoy_Position;
    QString strBoy_Folk;
    bool bBoy_Sex = true;
    qint32 lBoy_ID = 0;
    qint32 lBoy_Generation = 0;
    QString boy_c;
    quint8 boy_jc = 0;
    QString boy_wei;
    QString boy_zhi;
    QString boy_hao;
    QString boy_yi;
    quint8 boy_protect = 0;

    qint32 mysql_id() const { return mysql_id_; }
    void set_mysql_id(qint32 v) { mysql_id_ = v; }
    qint32 myacc_id() const { return myacc_id_; }
    void set_myacc_id(qint32 v) { myacc_id_ = v; }

    // ---- Fields and look-ups (member_record_lookups.cpp)
    void Mem_Clear();
    qint16 Find自已(const QString& boy);
    qint16 Find父母(const QString& boy);
    qint16 Find子女(const QString& fatherName);
    QString Find始祖(const QString& boy);
    bool This始祖dspt(const QString& boy);
    QString Find配偶(const QString& boy);
    QString Return父亲信息(const QString& myFather);
    QString Get母亲信息(const QString& myMother, const QString& myFather);
    bool Get配偶生死(const QString& myMother, const QString& myFather);
    bool NodeExist(const TreeNodeSink& objTree, const QString& NodeKey);

private:
    qint32 mysql_id_ = 0;
    qint32 myacc_id_ = 0;
};
