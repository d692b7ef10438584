#include "mainwin/folder_import.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <vector>

#include "frame/app_state.h"
#include "frame/db_connections.h"
#include "frame/dir_list.h"
#include "mainwin/imported_page.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/do_events.h"
#include "platform/tree_node_sink.h"
#include "store/data_ops.h"
#include "store/member_name.h"
#include "store/reserved_names.h"

namespace {

constexpr int kNameFields = 20;
// A folder or file whose name is nothing but characters a member name cannot hold.
const QString kUnnamed = QStringLiteral("无名");

QString MemberNameOf(const QString& segment) {
    const QString name = CleanMemberName(segment);
    return name.isEmpty() ? kUnnamed : name;
}

// The path parts of every listed file, in the order listed.
std::vector<QStringList> ListedFiles() {
    QStringList columns;
    for (int i = 1; i <= kNameFields; ++i) columns << QStringLiteral("\"boy%1\"").arg(i);
    std::vector<QStringList> files;
    for (dao::Recordset rs =
             App().DataDb.OpenRecordset(QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) +
                                        QStringLiteral(" FROM \"temp_px\" ORDER BY \"tmp_id\""));
         rs.hasRow(); rs.MoveNext()) {
        QStringList parts;
        for (int i = 0; i < kNameFields && !rs.value(i).toString().isEmpty(); ++i)
            parts << rs.value(i).toString();
        if (!parts.isEmpty()) files.push_back(parts);
    }
    return files;
}

}  // namespace

QString FolderImport::addMember(const QString& rawName, const QString& father) {
    const QString name = ops_.TongMing字(false, MemberNameOf(rawName), 0);
    // A record of its own: the shared one keeps name parts that are no business of these members.
    Cls子女 member;
    member.Mem_Clear();
    member.strFather = father;
    member.strBoy = name;
    member.bBoy_Sex = true;
    member.Save子女(1);
    added_.push_back({father, name});
    return name;
}

QString FolderImport::Run(const QString& folder) {
    const QString top = QDir::cleanPath(folder);
    ClsDirList list;
    list.RootFolder = top;
    if (!list.sDirTraversal(top))
        throw dao::DaoError(dao::kErrGeneric, QStringLiteral("不能列出目录中的文件：") + top);

    const std::vector<QStringList> files = ListedFiles();
    unread_.clear();
    added_.clear();
    // The whole folder comes in with one commit over the three book files, or nothing of it does.
    dao::Database& db = App().DataDb;
    AttachedSideFiles side(db, QStringLiteral("fi_pictures"), QStringLiteral("fi_pages"));
    dao::Transaction tx = db.BeginTrans();
    const QString root = addMember(QFileInfo(top).fileName(), QString());
    // Each folder and file by the member names of its path: one member per name under one parent.
    QHash<QString, QString> members;
    for (const QStringList& parts : files) {
        QString father = root;
        QString path;
        for (const QString& part : parts) {
            path += QLatin1Char('/') + NameColumnKey(MemberNameOf(part));
            auto it = members.find(path);
            if (it == members.end()) it = members.insert(path, addMember(part, father));
            father = *it;
        }
        imported_page::Store(ops_, side, father, top + QLatin1Char('/') + parts.join(QLatin1Char('/')), top,
                             unread_);
        DoEvents();
    }
    db.Execute(QStringLiteral("DELETE FROM \"temp_px\""));
    tx.Commit();

    // The tree shows the members once they are in the book.
    for (const auto& [father, name] : added_) {
        const QString parentKey = father.isEmpty() ? QString() : TreeNodeSink::MemberKey(father);
        if ((parentKey.isEmpty() || tree_.Exists(parentKey)) &&
            !tree_.Exists(TreeNodeSink::MemberKey(name))) {
            tree_.Add(parentKey, TreeNodeSink::MemberKey(name), name, TreeNodeSink::kImageMale);
            tree_.Expand(tree_.Count());
        }
    }
    return root;
}
