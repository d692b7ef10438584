#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include "store/member_rows.h"

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
    // Every spouse Find配偶 lists, with what Get配偶生死 and Get母亲信息 tell of her, in one read.
    struct Spouse {
        QString name;
        bool living = false;
        QString description;
    };
    QList<Spouse> Spouses(const QString& boy);
    // A child's row as far as its mother goes.
    using ChildMother = member_rows::ChildMother;
    // The same from rows of the member's children already read, in any order.
    static QList<Spouse> SpousesOf(QList<ChildMother> children);
    bool NodeExist(const TreeNodeSink& objTree, const QString& NodeKey);

    // ---- Save, rename and delete (member_record_save.cpp)
    qint16 Save子女(quint8 InStyle);
    qint16 Whnt自已(const QString& OldName);
    qint16 Whnt父亲(const QString& f, const QString& boy);
    qint16 Whnt父母(const QString& f, const QString& m, const QString& boy);
    // The sibling order is a whole number: a parent with more than 255 children keeps them in order.
    qint16 Whnt_BoySort(const QString& boy, qint32 mySort);
    qint16 SetDisplayYesNo(const QString& myName, bool bDisplay);
    void Delete子女(const QString& boy);
    // Delete子女 with the member's children moved up to f, m as their mother (Whnt父母), and the page
    // starts after keepPage forgotten, in one commit: however it ends, no child is left below nobody
    // and the member is not left without his children.
    void DeleteRaisingChildren(const QString& boy, const QString& f, const QString& m, qint32 keepPage);

    // ---- Roots, branch books and moves (member_record_roots.cpp)
    qint16 创建世祖(const QString& f, const QString& m, const QString& boy);
    qint16 Whnt自己为始祖(const QString& boy);
    // The name the new root got (made unique), "" when refused.
    QString 创建分支谱(const QString& root_Node, const QString& selected_Node);
    // Moves the member and its node "_" + selected_Node: 0 moved, -1 either name has no row,
    // 1 refused (the new father is the member itself or one of its descendants).
    qint16 拖动到(TreeNodeSink& objTree, const QString& selected_Node, const QString& Dest_Node);
    qint16 LfntoNotable(const QString& boy, bool Refresh_Second);

private:
    qint32 mysql_id_ = 0;
    qint32 myacc_id_ = 0;
};
