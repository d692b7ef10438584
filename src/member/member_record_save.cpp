#include <QStringList>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

const QString kHiddenRoot = QStringLiteral("No_Display");

// Aliases of the picture and page files while attached to the members database.
const QString kImageAlias = QStringLiteral("rec_img");
const QString kStoryAlias = QStringLiteral("rec_stry");

// The old engine's answer when the row an operation must edit is not there.
constexpr int kErrNoCurrentRecord = 3021;

dao::Database& Db() {
    return App().DataDb;
}

[[noreturn]] void ThrowNoCurrentRecord() {
    throw dao::DaoError(kErrNoCurrentRecord, QStringLiteral("无当前记录。"));
}

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// The six name parts kept whole: a cut text would lose the last parts for good.
QString JoinedNameParts(const Cls子女& m) {
    return QStringList{m.boy_c, QString::number(m.boy_jc), m.boy_wei, m.boy_zhi, m.boy_hao, m.boy_yi}.join(
        QLatin1Char('%'));
}

// The mother's particulars, shared by every kind of new row.
dao::Params MotherValues(const Cls子女& m) {
    return {m.strFather,      m.strMother,           m.strMother_Birthday, m.strMother_Death,
            m.bMother_Active, m.strMother_Education, m.strMother_Position, m.strMother_Folk};
}

const QString kMotherColumns = QStringLiteral(
    "\"father\", \"mother\", \"mother_birthday\", \"mother_death\", \"Mother_active\", \"m_education\", "
    "\"m_position\", \"mother_folk\"");

}  // namespace

// Several children are added only under a father that is in the book: his particulars go to his own
// row, and children of a missing father would hang below nothing. Then nothing is written and the
// result is 1.
qint16 Cls子女::Save子女(quint8 InStyle) {
    if (InStyle == 1) {
        dao::Params values = MotherValues(*this);
        values << strBoy << bBoy_Sex << strBoy_Birthday << strBoy_Death << bBoy_Active << strBoy_Folk
               << strBoy_Education << strBoy_Position << JoinedNameParts(*this);
        Db().Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (") + kMotherColumns +
                QStringLiteral(", \"filial\", \"Boy_Sex\", \"boy_birthday\", \"boy_death\", "
                               "\"boy_active\", \"boy_folk\", \"boy_education\", \"boy_position\", "
                               "\"c_jc_w_z_h\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            values);
        return 0;
    }

    dao::Transaction tx = Db().BeginTrans();
    const QVariant fatherId = Db().Scalar(
        QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {strFather});
    if (fatherId.isNull() || strFather.isEmpty()) {
        tx.Rollback();
        UI().MsgBox(Trans(QStringLiteral("父亲“%1”不在本谱中，子女没有保存！")).arg(strFather),
                    vb::Exclamation);
        return 1;
    }
    const QString insertChild =
        QStringLiteral("INSERT INTO \"本姓成员\" (") + kMotherColumns +
        QStringLiteral(", \"filial\", \"Boy_Sex\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const QString& piece : Split(strBoy, QStringLiteral(";"))) {
        dao::Params values = MotherValues(*this);
        values << Trim(piece) << bBoy_Sex;
        Db().Execute(insertChild, values);
    }
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"boy_birthday\" = ?, \"boy_death\" = ?, "
                                "\"boy_active\" = ?, \"boy_folk\" = ?, \"boy_education\" = ?, "
                                "\"boy_position\" = ?, \"c_jc_w_z_h\" = ? WHERE \"filial_id\" = ?"),
                 {strBoy_Birthday, strBoy_Death, bBoy_Active, strBoy_Folk, strBoy_Education, strBoy_Position,
                  JoinedNameParts(*this), fatherId});
    tx.Commit();
    return 0;
}

// The row and everything that names the member by its old name change together or not at all; a
// clash with another member's name stops the whole rename.
qint16 Cls子女::Whnt自已(const QString& OldName) {
    AttachedSideFiles side(Db(), kImageAlias, kStoryAlias);
    dao::Transaction tx = Db().BeginTrans();
    QString oldName;
    QVariant id;
    {
        dao::Recordset rs = Db().OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"filial\" FROM \"本姓成员\" WHERE \"filial\" = ?"),
            {OldName});
        if (rs.EOF_()) ThrowNoCurrentRecord();
        id = rs.value(0);
        oldName = rs.Text(QStringLiteral("filial"));
    }
    Db().Execute(QStringLiteral(
                     "UPDATE \"本姓成员\" SET \"father\" = ?, \"mother\" = ?, \"mother_birthday\" = ?, "
                     "\"mother_death\" = ?, \"Mother_active\" = ?, \"m_education\" = ?, \"m_position\" = ?, "
                     "\"mother_folk\" = ?, \"filial\" = ?, \"Boy_Sex\" = ?, \"boy_birthday\" = ?, "
                     "\"boy_death\" = ?, \"boy_active\" = ?, \"boy_education\" = ?, \"boy_position\" = ?, "
                     "\"boy_folk\" = ?, \"c_jc_w_z_h\" = ? WHERE \"filial_id\" = ?"),
                 MotherValues(*this) << strBoy << bBoy_Sex << strBoy_Birthday << strBoy_Death << bBoy_Active
                                     << strBoy_Education << strBoy_Position << strBoy_Folk
                                     << JoinedNameParts(*this) << id);

    const dao::Params rename{strBoy, oldName};
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"father\" = ?"), rename);
    PageStartStore(Db()).Rename(oldName, strBoy);
    Db().Execute(QStringLiteral("UPDATE \"pageindx\" SET \"filial\" = ? WHERE \"filial\" = ?"), rename);
    Db().Execute(QStringLiteral("UPDATE ") + side.Pictures() +
                     QStringLiteral(" SET \"filial\" = ? WHERE \"filial\" = ?"),
                 rename);
    Db().Execute(
        QStringLiteral("UPDATE ") + side.Pages() + QStringLiteral(" SET \"filial\" = ? WHERE \"filial\" = ?"),
        rename);
    tx.Commit();
    return 0;
}

qint16 Cls子女::Whnt父亲(const QString& f, const QString& boy) {
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"filial\" = ?"), {f, boy});
    return 0;
}

qint16 Cls子女::Whnt父母(const QString& f, const QString& m, const QString& boy) {
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ?, \"mother\" = ? WHERE \"father\" = ?"),
        {f, m, boy});
    return 0;
}

// Only this member's place changes; its siblings keep theirs.
qint16 Cls子女::Whnt_BoySort(const QString& boy, qint32 mySort) {
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"boy_sort\" = ? WHERE \"filial\" = ?"),
                 {mySort, boy});
    return 0;
}

// 0 changed (also hiding a hidden root), 1 not a root, 2 already shown.
qint16 Cls子女::SetDisplayYesNo(const QString& myName, bool bDisplay) {
    QVariant id;
    QString father;
    {
        dao::Recordset rs = Db().OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"father\" FROM \"本姓成员\" WHERE \"filial\" = ?"),
            {myName});
        if (rs.EOF_()) ThrowNoCurrentRecord();
        id = rs.value(0);
        father = rs.Text(QStringLiteral("father"));
    }
    if (bDisplay && father.isEmpty()) return 2;
    if (father != kHiddenRoot && !father.isEmpty()) return 1;
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"filial_id\" = ?"),
                 {bDisplay ? QString("") : kHiddenRoot, id});
    return 0;
}

namespace {

// Inside the caller's transaction, with the picture and page files attached (side).
void DeleteMemberRows(Cls数据操作& ops, const AttachedSideFiles& side, const QString& boy) {
    const dao::Params name{boy};
    Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\" WHERE \"filial\" = ?"), name);
    Db().Execute(QStringLiteral("DELETE FROM \"pageindx\" WHERE \"filial\" = ?"), name);
    ops.删除起始页中世祖(boy);
    Db().Execute(QStringLiteral("DELETE FROM ") + side.Pictures() + QStringLiteral(" WHERE \"filial\" = ?"),
                 name);
    Db().Execute(QStringLiteral("DELETE FROM ") + side.Pages() + QStringLiteral(" WHERE \"filial\" = ?"),
                 name);
}

}  // namespace

// The member goes with its page keywords, page starts, pictures and page, so that a later namesake
// inherits none of them. Its children stay as they are: the tree window decides where they go.
void Cls子女::Delete子女(const QString& boy) {
    Cls数据操作 ops;  // reopens DataDb, so before the files are attached to it
    AttachedSideFiles side(Db(), kImageAlias, kStoryAlias);
    dao::Transaction tx = Db().BeginTrans();
    DeleteMemberRows(ops, side, boy);
    tx.Commit();
}

void Cls子女::DeleteRaisingChildren(const QString& boy, const QString& f, const QString& m, qint32 keepPage) {
    Cls数据操作 ops;
    AttachedSideFiles side(Db(), kImageAlias, kStoryAlias);
    dao::Transaction tx = Db().BeginTrans();
    Whnt父母(f, m, boy);
    DeleteMemberRows(ops, side, boy);
    ops.Del后续分页标志(keepPage);
    tx.Commit();
}
