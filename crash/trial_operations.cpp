#include "trial_operations.h"

#include <QMap>
#include <functional>
#include <stdexcept>

#include "community/ebook_tables.h"
#include "community/help_update.h"
#include "frame/app_state.h"
#include "mainwin/folder_import.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "online/member_exchange.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "print/chm_doc.h"
#include "print/print_zp.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "trial_book.h"

namespace trial_operations {

namespace {

constexpr qint32 kBranch = 11;

// Answers every question as a user who goes ahead would: yes, OK, generation 1.
class GoingAhead : public Interaction {
public:
    int MsgBox(const QString&, int style, const QString&) override {
        const int buttons = style & 7;
        return buttons == vb::YesNo || buttons == vb::YesNoCancel ? vb::Yes : vb::OK;
    }
    QString InputBox(const QString&, const QString&, const QString& defaultText, bool*) override {
        return defaultText;
    }
    QString GetOpenFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString BrowseForFolder(const QString&, const QString&) override { return {}; }
    std::optional<quint32> ChooseColor(const QString&) override { return std::nullopt; }
    std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
    std::optional<int> ChoosePrintFromPage(int) override { return 1; }
    int ShowForm(const QString& name, bool) override {
        if (name == QLatin1String("FrmLittle")) App().FormParamString = QStringLiteral("1");
        return 1;
    }
    bool OpenUrl(const QString&) override { return false; }
};

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

void Mark(Cls数据操作& ops, const QString& root, qint32 branch) {
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops.标识世祖(root, branch, 0, first, force, protection);
}

// What the window does after a command changed the tree on page 1. Commands that change the tree hold a
// TreeChangeMark from before the change to after this, as the window's do.
void RepaginateFromFirstPage(Cls数据操作& ops) {
    App().RepaginateNeeded = true;
    ops.Find世祖(0, QString());
}

ChmTocNode TocOf(dao::Database& db, const QString& name) {
    ChmTocNode node{name, {}};
    for (dao::Recordset rs = db.OpenRecordset(
             QStringLiteral("SELECT \"filial\" FROM \"本姓成员\" WHERE \"father\"=? ORDER BY \"filial_id\""),
             {name});
         rs.hasRow(); rs.MoveNext())
        node.children.push_back(TocOf(db, rs.value(0).toString()));
    return node;
}

void Package(Cls数据操作& ops, const QString& root, bool compact) {
    const QString target = trial_book::OutputDir(root) + QStringLiteral("/branch.mdb");
    Mark(ops, trial_book::BranchMember(), kBranch);
    Check(ops.族谱备份(target, trial_book::BranchMember(), kBranch, QStringLiteral("pw")) > 0,
          "nothing exported");
    if (compact) ops.Dao修复压缩(target, GetAppPath() + QStringLiteral("gmap.mdb"), QStringLiteral("pw"));
}

const QMap<QString, std::function<void(Cls数据操作&, const QString&)>>& Operations() {
    static const QMap<QString, std::function<void(Cls数据操作&, const QString&)>> operations{
        {QStringLiteral("import"),
         [](Cls数据操作& ops, const QString& root) {
             TreeChangeMark changing;
             QString error;
             Check(ops.ReLoad(trial_book::InputDir(root) + QStringLiteral("/branch.mdb"),
                              QStringLiteral("pw"), trial_book::ImportUnder(), QString(), &error) == 0,
                   "import failed");
             RepaginateFromFirstPage(ops);
         }},
        {QStringLiteral("restore"),
         [](Cls数据操作& ops, const QString& root) {
             TreeChangeMark changing;
             Check(ops.ReLoad(trial_book::InputDir(root) + QStringLiteral("/branch.mdb"),
                              QStringLiteral("pw"), QString(), QString()) == 0,
                   "restore failed");
             RepaginateFromFirstPage(ops);
         }},
        {QStringLiteral("export"), [](Cls数据操作& ops, const QString& root) { Package(ops, root, false); }},
        {QStringLiteral("backup"), [](Cls数据操作& ops, const QString& root) { Package(ops, root, true); }},
        {QStringLiteral("split"),
         [](Cls数据操作& ops, const QString&) {
             TreeChangeMark changing;
             Cls子女 member;
             Check(!member.创建分支谱(QStringLiteral("分支新祖"), trial_book::BranchMember()).isEmpty(),
                   "split refused");
             ops.Del后续分页标志(1);
         }},
        {QStringLiteral("numbering"),
         [](Cls数据操作& ops, const QString&) { Mark(ops, trial_book::Root(), 1); }},
        {QStringLiteral("pagejump"),
         [](Cls数据操作& ops, const QString&) {
             App().RepaginateNeeded = true;
             qint32 pageCount = 0;
             WalkToPage(ops, 1 << 30, pageCount);
         }},
        {QStringLiteral("rename"),
         [](Cls数据操作& ops, const QString&) {
             Cls子女 member;
             Check(member.Find自已(trial_book::BranchMember()) == 0, "no member to rename");
             member.strBoy = ops.TongMing字(false, QStringLiteral("改名") + trial_book::BranchMember(), 0);
             member.Whnt自已(trial_book::BranchMember());
         }},
        {QStringLiteral("delete"),
         [](Cls数据操作& ops, const QString&) {
             TreeChangeMark changing;
             MarkBranchToActOn(ops, trial_book::BranchMember(), kBranch);
             ops.删除有标识的子女(kBranch);
             ops.Del后续分页标志(0);
         }},
        // One member: his children move up to his father, as the window's node_del does.
        {QStringLiteral("deleteone"),
         [](Cls数据操作&, const QString&) {
             Cls子女 member;
             Check(member.Find父母(trial_book::BranchMember()) == 0, "no member to delete");
             member.DeleteRaisingChildren(trial_book::BranchMember(), member.strFather, member.strMother, 0);
         }},
        // A root with everything below it, as node_del does on a root.
        {QStringLiteral("deleteroot"),
         [](Cls数据操作& ops, const QString&) {
             Mark(ops, trial_book::Root(), kBranch);
             ops.删除有标识的子女(kBranch, 0);
         }},
        {QStringLiteral("merge"),
         [](Cls数据操作& ops, const QString&) {
             TreeChangeMark changing;
             QString error;
             Check(ops.DaReLoad(member_exchange::StagingPath(), &error) == 0, "merge failed");
             RepaginateFromFirstPage(ops);
         }},
        {QStringLiteral("folder"),
         [](Cls数据操作& ops, const QString& root) {
             TreeChangeMark changing;
             MemoryTreeNodes tree;
             FolderImport(ops, tree).Run(trial_book::InputDir(root) + QStringLiteral("/pages"));
             ops.Del后续分页标志(0);
         }},
        {QStringLiteral("help"),
         [](Cls数据操作& ops, const QString& root) {
             TreeChangeMark changing;
             QString error;
             Check(help_update::MergeHelpPackage(trial_book::InputDir(root) + QStringLiteral("/help.mdb"),
                                                 &error) == 0,
                   "help update failed");
             RepaginateFromFirstPage(ops);
         }},
        {QStringLiteral("print"),
         [](Cls数据操作&, const QString&) {
             Check(clsPrintZp().传记谱(trial_book::Root(), 1), "book not printed");
         }},
        {QStringLiteral("ebook"),
         [](Cls数据操作&, const QString&) {
             Check(ClsChmDoc().init_Nopen_Chm(TocOf(App().DataDb, trial_book::BranchMember()), false),
                   "e-book not built");
         }},
    };
    return operations;
}

}  // namespace

QStringList Names() {
    return Operations().keys();
}

bool ResultIsMarking(const QString& name) {
    return name == QLatin1String("numbering");
}

void Run(const QString& name, const QString& root, const std::function<void()>& ready) {
    const auto it = Operations().constFind(name);
    if (it == Operations().constEnd()) throw std::runtime_error("no operation " + name.toStdString());
    SetInteraction(std::make_unique<GoingAhead>());
    App().NodesPerPage = trial_book::kNodesPerPage;
    Cls数据操作 ops;
    ready();
    (*it)(ops, root);
}

}  // namespace trial_operations
