// The member commands: a new first ancestor, siblings, children, a parent inserted above, edit, delete
// (one member, or with every descendant), the stored order of children, a move to another page,
// hiding and showing a root, and the colour of a line. Each patches the page on display in place.
#include <QTreeWidget>

#include "frame/app_state.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/node_command_support.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;
using node_commands::AskLittle;
using node_commands::AskMemberForm;
using node_commands::MayChange;
using node_commands::ToolbarsDisabled;

const QString kHiddenRoot = QStringLiteral("No_Display");
constexpr quint8 kKeepProtection = 99;
const QColor kLineColour(255, 0, 0);

bool IsRootFather(const QString& father) {
    return father.isEmpty() || father == kHiddenRoot;
}

void Refuse(const char* text) {
    UI().MsgBox(Trans(QString::fromUtf8(text)), vb::Critical);
}

}  // namespace

void dsptree::markPagesStale(qint32 keepPage) {
    App().RepaginateNeeded = true;
    DataOps().Del后续分页标志(keepPage);
}

void dsptree::addMemberNodes(const QString& parentKey, const QStringList& names, bool male) {
    // A father on another page shows his new children there once the pages are cut again.
    if (!treeNodes_->Exists(parentKey)) return;
    const QStringList added = App().ChildInputStyle == 2 ? names : names.mid(0, 1);
    for (const QString& name : added) {
        if (treeNodes_->Exists(TreeNodeSink::MemberKey(name))) continue;
        treeNodes_->Add(parentKey, TreeNodeSink::MemberKey(name), name,
                        male ? TreeNodeSink::kImageMale : TreeNodeSink::kImageFemale);
        treeNodes_->Expand(treeNodes_->Count());
    }
}

void dsptree::forgetDeletedPage() {
    const QString shown = TreeTag();
    if (shown.isEmpty() || SharedMember().Find自已(shown) == 0) return;
    SetTreeTag(QString());
    SetViewerTag(QString());
    webBrowser1_->Navigate(QStringLiteral("about:blank"));
}

void dsptree::NewAncestorNode() {
    AppState& app = App();
    // The one command an empty book needs: its first ancestor.
    if (app.CurrentPage >= 2) {
        Refuse("只有在第一页才能创建新谱始祖！");
        return;
    }
    SharedMember().Mem_Clear();
    const auto answer = AskMemberForm(QStringLiteral("@"), std::nullopt);
    if (!answer) return;
    const QString name = answer->names.first();
    if (!treeNodes_->Exists(TreeNodeSink::MemberKey(name))) {
        treeNodes_->Add(QString(), TreeNodeSink::MemberKey(name), name, TreeNodeSink::kImageMale);
        treeNodes_->Expand(treeNodes_->Count());
    }
    markPagesStale(app.CurrentPage - 1);
}

void dsptree::AddSiblingNode() {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    Cls子女& member = SharedMember();
    if (member.Find父母(name) != 0) return;
    if (IsRootFather(member.strFather)) {
        NewAncestorNode();
        return;
    }
    const auto answer = AskMemberForm(QStringLiteral("+"), QString::number(pageCount_));
    if (!answer) return;
    addMemberNodes(TreeNodeSink::MemberKey(answer->father), answer->names, answer->male);
    markPagesStale(App().CurrentPage - 1);
}

void dsptree::AddChildNode() {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    Cls子女& member = SharedMember();
    // The first child gives the form the mother the children have so far. Without one the member
    // itself is loaded, as the father: the children go under him, with no mother yet.
    if (member.Find子女(name) != 0) {
        if (member.Find自已(name) != 0) return;
        member.strFather = name;
        member.strMother.clear();
        member.strMother_Birthday.clear();
        member.strMother_Death.clear();
        member.strMother_Education.clear();
        member.strMother_Position.clear();
        member.strMother_Folk.clear();
        member.bMother_Active = true;
    }
    const auto answer = AskMemberForm(QStringLiteral("+"), QString::number(pageCount_));
    if (!answer) return;
    // Under the father the children were stored with: the selected member, unless the form named another.
    addMemberNodes(TreeNodeSink::MemberKey(answer->father), answer->names, answer->male);
    markPagesStale(App().CurrentPage - 1);
}

void dsptree::EditMemberNode() {
    if (treeNodes_->Count() == 0) return;
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    if (name.isEmpty() || SharedMember().Find父母(name) != 0) return;
    if (!MayChange(DataOps().GetMyRight(-1, name))) {
        Refuse("创建者不允许修改数据！");
        return;
    }
    const auto answer = AskMemberForm(QStringLiteral("?"), QString::number(pageCount_));
    if (!answer) return;
    AppState& app = App();
    const QString renamed = answer->names.first();
    const QString text = node->text(0);
    const qsizetype brace = text.indexOf(QLatin1Char('}'));
    const QString label = brace >= 0 ? text.left(brace + 1) : QString();
    if (name == app.RootAncestorName) app.RootAncestorName = renamed;
    treeNodes_->SetKeyAndText(indexOfItem(node), TreeNodeSink::MemberKey(renamed), label + renamed);
    if (TreeTag() == name) SetTreeTag(renamed);
    selectedNodeImage_ = answer->male ? QStringLiteral("1") : QStringLiteral("2");
}

void dsptree::DeleteMemberNode(bool alsoServer) {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    app.FormParamString = name;
    if (!MayChange(DataOps().GetMyRight(-1, name))) {
        Refuse("创建者不允许删除数据！");
        return;
    }
    Cls子女& member = SharedMember();
    if (member.Find父母(name) != 0) return;
    const int index = indexOfItem(node);
    app.SelectedNodeIndex = index;
    const QString father = member.strFather;
    const QString mother = member.strMother;
    const qint32 serverId = member.mysql_id();
    // A root of the book, not a page's first member whose father is shown on another page.
    const bool root = !node->parent() && IsRootFather(father);

    if (!root) {
        if (alsoServer && serverId > 0 && !DeleteOnServer(serverId)) return;
        if (name == app.RootAncestorName) app.RootAncestorName.clear();
        member.DeleteRaisingChildren(name, father, mother, app.CurrentPage - 1);
        app.RepaginateNeeded = true;
        const QString parentKey = node->parent() ? TreeWidgetNodes::KeyOf(node->parent()) : QString();
        while (node->childCount() > 0)
            treeNodes_->SetParent(TreeWidgetNodes::KeyOf(node->child(0)), parentKey);
        treeNodes_->Remove(index);
        app.SelectedNodeIndex = 0;
        forgetDeletedPage();
        return;
    }

    const QString question = name + Trans(QStringLiteral("是根结点始祖，删除它将删除所有子代数据，")) +
                             QStringLiteral("\n\n") + Trans(QStringLiteral("您是否已下定决心删除它？"));
    if (UI().MsgBox(question, vb::YesNo + vb::Exclamation + vb::DefaultButton2) != vb::Yes) return;
    if (alsoServer && serverId > 0 && !DeleteOnServer(serverId)) return;
    ToolbarsDisabled quiet(tbarOpEx_, tbarOP_, tbarEditEx_);
    // Marked afresh whatever was marked last, so that the delete takes exactly this branch.
    qint32 start = KeptStartGeneration(name);
    qint16 force = -1;
    quint8 protection = kKeepProtection;
    DataOps().标识世祖(name, index, 0, start, force, protection);
    if (name == app.RootAncestorName) app.RootAncestorName.clear();
    DataOps().删除有标识的子女(index, app.CurrentPage - 1);
    app.RepaginateNeeded = true;
    treeNodes_->Remove(index);
    app.SelectedNodeIndex = 0;
    forgetDeletedPage();
}

void dsptree::DeleteWithDescendants() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    const int index = indexOfItem(treeVw_->currentItem());
    app.FormParamString = name;
    app.SelectedNodeIndex = index;
    if (!MayChange(DataOps().GetMyRight(-1, name))) {
        Refuse("创建者不允许删除数据！");
        return;
    }
    if (UI().MsgBox(Trans(QStringLiteral("您是否已下定决心删除他及其所有子代？")),
                    vb::YesNo + vb::Exclamation + vb::DefaultButton2) != vb::Yes)
        return;
    ProgressScope progress;
    ToolbarsDisabled quiet(tbarOpEx_, tbarOP_, tbarEditEx_);
    TreeChangeMark changing;
    MarkBranchToActOn(DataOps(), name, index);
    if (name == app.RootAncestorName) app.RootAncestorName.clear();
    DataOps().删除有标识的子女(index);
    treeNodes_->Remove(index);
    app.SelectedNodeIndex = 0;
    markPagesStale(app.CurrentPage - 1);
    forgetDeletedPage();
}

void dsptree::ResortChildren(QTreeWidgetItem* parent) {
    if (!parent || parent->childCount() == 0) return;
    const QString parentKey = TreeWidgetNodes::KeyOf(parent);
    Cls子女& member = SharedMember();
    {
        dao::Transaction tx = App().DataDb.BeginTrans();
        for (int n = 0; n < parent->childCount(); ++n)
            member.Whnt_BoySort(TextAfterBrace(parent->child(n)->text(0)), n);
        tx.Commit();
    }
    // The pages after this one follow the new order once they are cut again; this one is rebuilt now.
    markPagesStale(App().CurrentPage);
    App().SelectedNodeIndex = 0;
    RebuildPage();
    if (treeNodes_->Exists(parentKey))
        treeVw_->setCurrentItem(treeNodes_->ItemAt(treeNodes_->IndexOf(parentKey)));
}

void dsptree::InsertParentNode() {
    if (treeNodes_->Count() == 0) return;
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    Cls子女& member = SharedMember();
    if (member.Find父母(name) != 0) return;
    if (!MayChange(DataOps().GetMyRight(member.lBoy_ID, QString()))) {
        Refuse("创建者不允许插入上辈！");
        return;
    }
    const auto answer = AskMemberForm(QStringLiteral("-"), QString::number(pageCount_));
    if (!answer) return;
    const QString added = answer->names.first();
    const QString key = TreeNodeSink::MemberKey(added);
    const QString selectedKey = TreeWidgetNodes::KeyOf(node);
    if (!treeNodes_->Exists(key)) {
        if (!node->parent()) {
            treeNodes_->Add(QString(), key, added, TreeNodeSink::kImageMale);
            treeNodes_->Expand(treeNodes_->Count());
            treeNodes_->SetParent(selectedKey, key);
        } else {
            // The old father's children, in their order, all become the new member's.
            QTreeWidgetItem* oldParent = node->parent();
            const QString oldParentKey = TreeWidgetNodes::KeyOf(oldParent);
            QStringList children;
            for (int c = 0; c < oldParent->childCount(); ++c)
                children << TreeWidgetNodes::KeyOf(oldParent->child(c));
            treeNodes_->Add(oldParentKey, key, added,
                            answer->male ? TreeNodeSink::kImageMale : TreeNodeSink::kImageFemale);
            for (const QString& child : children) treeNodes_->SetParent(child, key);
            treeNodes_->Expand(treeNodes_->IndexOf(key));
            treeVw_->setCurrentItem(treeNodes_->ItemAt(treeNodes_->IndexOf(key)));
        }
    }
    markPagesStale(App().CurrentPage - 1);
}

void dsptree::MoveAcrossPages() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    app.FormParamString = name;
    if (name.isEmpty()) return;
    if (!MayChange(DataOps().GetMyRight(-1, name))) {
        Refuse("创建者不允许拖动！");
        return;
    }
    app.FormParamString = QStringLiteral("3%") + name;
    const auto target = AskLittle(3);
    if (!target || *target == name) return;
    // 拖动到 refuses a new father inside the member's own branch and says so.
    const qint16 moved = SharedMember().拖动到(*treeNodes_, name, *target);
    if (moved == -1)
        UI().MsgBox(Trans(QStringLiteral("目标结点 ")) + *target + Trans(QStringLiteral(" 不存在！")),
                    vb::Critical);
    else if (moved == 0)
        markPagesStale(app.CurrentPage - 1);
}

void dsptree::ShowOrHideRoot(bool show) {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    Cls子女& member = SharedMember();
    qint16 result = 1;  // a name without a row is no root
    if (member.Find自已(name) == 0) {
        // Hiding a hidden root changes nothing either.
        result = !show && member.strFather == kHiddenRoot ? 1 : member.SetDisplayYesNo(name, show);
    }
    if (result == 0) {
        AppState& app = App();
        DataOps().Find世祖(0, QString());
        app.CurrentPage = 1;
        app.SelectedNodeIndex = 0;
        setWindowTitle(PageCaption(1));
        RebuildPage();
        return;
    }
    if (!show || result == 1) UI().MsgBox(Trans(QStringLiteral("此功能只对始祖设置有效！")), vb::Information);
}

void dsptree::ColourLineOfDescent() {
    if (treeNodes_->Count() == 0) return;
    for (QTreeWidgetItem* node = treeVw_->currentItem(); node; node = node->parent()) {
        if (node->foreground(0).color() == kLineColour && node->data(0, Qt::ForegroundRole).isValid())
            node->setData(0, Qt::ForegroundRole, QVariant());
        else
            node->setForeground(0, kLineColour);
    }
}
