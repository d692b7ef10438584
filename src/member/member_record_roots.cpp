#include <QSet>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/tree_node_sink.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

const QString kHiddenRoot = QStringLiteral("No_Display");
const QString kNodeKeyPrefix = QStringLiteral("_");
const QString kNotablePrefix = QStringLiteral(".");

// Aliases of the picture and page files while attached to the members database.
const QString kImageAlias = QStringLiteral("nt_img");
const QString kStoryAlias = QStringLiteral("nt_stry");

dao::Database& Db() {
    return App().DataDb;
}

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// filial_id of a member, or -1 when the name has no row.
qint64 MemberId(const QString& name) {
    const QVariant id =
        Db().Scalar(QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"filial\" = ?"), {name});
    return id.isNull() ? -1 : id.toLongLong();
}

// Whether the member with id `memberId` is `name` itself or one of its fathers. Rows already passed end
// the climb: a loop in the father links must not hang the program.
bool IsSelfOrAncestorOf(qint64 memberId, const QString& name) {
    QString current = name;
    QSet<qint64> visited;
    while (!current.isEmpty() && current != kHiddenRoot) {
        dao::Recordset rs = Db().OpenRecordset(
            QStringLiteral("SELECT \"filial_id\", \"father\" FROM \"本姓成员\" WHERE \"filial\" = ?"),
            {current});
        if (rs.EOF_()) return false;
        const qint64 id = rs.Long(QStringLiteral("filial_id"));
        if (id == memberId) return true;
        if (visited.contains(id)) return false;
        visited.insert(id);
        current = rs.Text(QStringLiteral("father"));
    }
    return false;
}

// Whether the node `key` lies in the subtree of node `top` (itself included).
bool InSubtree(const TreeNodeSink& tree, const QString& key, const QString& top) {
    QString current = key;
    for (int steps = 0; !current.isEmpty() && steps <= tree.Count(); ++steps) {
        if (current == top) return true;
        if (!tree.Exists(current)) return false;
        current = tree.ParentKeyAt(tree.IndexOf(current));
    }
    return false;
}

// Copies the given columns of the source's first row over the target's first row, or into a new row
// when the target has none. An absent source leaves the target as it was.
void CopyFirstRow(dao::Database& db, const QString& table, const QString& order, const QStringList& columns,
                  const QString& source, const QString& target) {
    QStringList quoted;
    for (const QString& c : columns) quoted << dao::QuoteIdent(c);
    dao::Recordset src = db.OpenRecordset(
        QStringLiteral("SELECT ") + quoted.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table +
            QStringLiteral(" WHERE \"filial\" = ? ORDER BY ") + order + QStringLiteral(" LIMIT 1"),
        {source});
    if (src.EOF_()) return;
    dao::Params values;
    for (int i = 0; i < columns.size(); ++i) values << src.value(i);
    src.Close();

    const QVariant targetRow =
        db.Scalar(QStringLiteral("SELECT ") + order + QStringLiteral(" FROM ") + table +
                      QStringLiteral(" WHERE \"filial\" = ? ORDER BY ") + order + QStringLiteral(" LIMIT 1"),
                  {target});
    if (targetRow.isNull()) {
        QStringList marks(columns.size() + 1, QStringLiteral("?"));
        db.Execute(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                       quoted.join(QStringLiteral(", ")) + QStringLiteral(", \"filial\") VALUES (") +
                       marks.join(QStringLiteral(", ")) + QStringLiteral(")"),
                   values + dao::Params{target});
    } else {
        QStringList sets;
        for (const QString& q : quoted) sets << q + QStringLiteral(" = ?");
        db.Execute(QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                       sets.join(QStringLiteral(", ")) + QStringLiteral(", \"filial\" = ? WHERE ") + order +
                       QStringLiteral(" = ?"),
                   values + dao::Params{target, targetRow});
    }
}

}  // namespace

qint16 Cls子女::创建世祖(const QString& f, const QString& m, const QString& boy) {
    dao::Database& db = Db();
    dao::Transaction tx = db.BeginTrans();
    const QVariant id =
        db.Scalar(QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\" WHERE \"father\" = ? "
                                 "AND \"filial\" = ? ORDER BY \"filial_id\" LIMIT 1"),
                  {f, boy});
    if (id.isNull())
        db.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"father\", \"mother\", \"filial\") VALUES (?, ?, ?)"),
            {f, m, boy});
    else
        db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ?, \"mother\" = ?, \"filial\" = ? "
                                  "WHERE \"filial_id\" = ?"),
                   {f, m, boy, id});
    tx.Commit();
    return 0;
}

qint16 Cls子女::Whnt自己为始祖(const QString& boy) {
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = '' WHERE \"filial\" = ?"), {boy});
    return 0;
}

QString Cls子女::创建分支谱(const QString& root_Node, const QString& selected_Node) {
    if (Trim(root_Node).isEmpty()) {
        UI().MsgBox(Trans(QStringLiteral("始祖名为空白，不能创建分支谱！")), vb::Exclamation);
        return QString("");
    }
    // The data-operations object reopens the members database: before the transaction, not inside it.
    Cls数据操作 ops;
    dao::Database& db = Db();
    dao::Transaction tx = db.BeginTrans();
    const QString root = ops.TongMing字(false, root_Node, 0);
    // The children keep their sex: a daughter moved into the new book stays a daughter.
    db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"father\" = ?"),
               {root, selected_Node});
    db.Execute(QStringLiteral("INSERT INTO \"本姓成员\" (\"father\", \"filial\") VALUES ('', ?)"), {root});
    PageStartStore(db).AddStart(App().CurrentPage, root, 0);
    tx.Commit();
    return root;
}

qint16 Cls子女::拖动到(TreeNodeSink& objTree, const QString& selected_Node, const QString& Dest_Node) {
    const QString movedKey = kNodeKeyPrefix + selected_Node;
    const QString destKey = kNodeKeyPrefix + Dest_Node;
    dao::Database& db = Db();
    dao::Transaction tx = db.BeginTrans();

    const qint64 movedId = MemberId(selected_Node);
    if (movedId < 0 || MemberId(Dest_Node) < 0) return -1;

    const bool destShown = NodeExist(objTree, destKey);
    const bool movedShown = objTree.Exists(movedKey);
    if (IsSelfOrAncestorOf(movedId, Dest_Node) ||
        (destShown && movedShown && InSubtree(objTree, destKey, movedKey))) {
        tx.Rollback();  // no read lock held while the message waits for the user
        UI().MsgBox(Trans(QStringLiteral("不能移到自己或自己的后代之下！")), vb::Exclamation);
        return 1;
    }

    db.Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"father\" = ? WHERE \"filial_id\" = ?"),
               {Dest_Node, movedId});
    tx.Commit();

    // A new father on this page takes the node with its subtree; one on another page takes it out of view.
    if (!movedShown) return 0;
    if (destShown)
        objTree.SetParent(movedKey, destKey);
    else
        objTree.Remove(objTree.IndexOf(movedKey));
    return 0;
}

qint16 Cls子女::LfntoNotable(const QString& boy, bool Refresh_Second) {
    const QString source = Refresh_Second ? boy : kNotablePrefix + boy;
    const QString target = Refresh_Second ? kNotablePrefix + boy : boy;
    dao::Database& db = Db();
    AttachedSideFiles files(db, kImageAlias, kStoryAlias);
    dao::Transaction tx = db.BeginTrans();
    CopyFirstRow(db, dao::QuoteIdent(kImageAlias) + QStringLiteral(".\"imageylk\""),
                 QStringLiteral("\"image_id\""), {QStringLiteral("imagepath"), QStringLiteral("myimage")},
                 source, target);
    CopyFirstRow(db, dao::QuoteIdent(kStoryAlias) + QStringLiteral(".\"story\""), QStringLiteral("rowid"),
                 {QStringLiteral("Hisdescript")}, source, target);
    tx.Commit();
    return 0;
}
