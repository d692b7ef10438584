// The commands of the pop-up menu that act on a member's whole branch or on the book: generation
// numbers with the population statistics, living and dead, protection, the famous-person list, a
// package loaded as a branch and a folder of pages imported as one.
#include <QTreeWidget>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/folder_import.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/node_command_support.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "online/user_record.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"
#include "store/member_name.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;
using node_commands::AskLittle;
using node_commands::HasChildren;

constexpr quint8 kKeepProtection = 99;
const QString kNotablePrefix = QStringLiteral(".");

qint32 WholeNumber(const QString& text) {
    try {
        return CLng(Val(text));
    } catch (const VbError&) {
        return 0;
    }
}

// The statistics 标识世祖 leaves: generations, living men, living women, dead men, dead women, spouses.
QString PopulationText(const QStringList& f) {
    const auto n = [&](int i) { return qint64(WholeNumber(f.value(i))); };
    const auto s = [](qint64 v) { return QString::number(v); };
    return Trans(QStringLiteral("人口统计结果  传承代数：")) + f.value(0).trimmed() + QStringLiteral("\n\n") +
           Trans(QStringLiteral("  总人数：")) + s(n(1) + n(2) + n(3) + n(4)) +
           Trans(QStringLiteral(" 其中，男：")) + s(n(1) + n(3)) + Trans(QStringLiteral("  女：")) +
           s(n(2) + n(4)) + QStringLiteral("\n") + Trans(QStringLiteral("在世人数：")) + s(n(1) + n(2)) +
           Trans(QStringLiteral(" 其中，男：")) + s(n(1)) + Trans(QStringLiteral("  女：")) + s(n(2)) +
           QStringLiteral("\n") + Trans(QStringLiteral("已录配偶：")) + f.value(5).trimmed();
}

bool AskYes(const char* question) {
    return UI().MsgBox(Trans(QString::fromUtf8(question)),
                       vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes;
}

}  // namespace

void dsptree::NumberGenerations() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    app.FormParamString = name;
    if (name.isEmpty()) return;
    if (!HasChildren(node, name)) {
        UI().MsgBox(Trans(QStringLiteral("最末一代，不用编世代序号！")), vb::Information);
        return;
    }
    const int index = indexOfItem(node);
    if (index == 0) return;
    app.SelectedNodeIndex = index;
    const auto answer = AskLittle(6);
    if (!answer) return;
    qint32 start = WholeNumber(*answer);
    qint16 force = -1;  // the same root again is numbered again
    quint8 protection = kKeepProtection;
    app.FormParamString = name;
    DataOps().标识世祖(name, index, 0, start, force, protection);
    app.GenerationsMarked = true;
    WriteGenerationLabels(index, true);
    if (app.FormParamString.contains(QLatin1Char('%')))
        UI().MsgBox(PopulationText(app.FormParamString.split(QLatin1Char('%'))), vb::Information);
}

void dsptree::ClearGenerations() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    if (app.FormParamString.isEmpty() || name.isEmpty() || indexOfItem(node) == 0 || !HasChildren(node, name))
        return;
    DataOps().清世代数据();
    // Every number is gone, so every label goes, not only those of this branch.
    for (int top = 0; top < treeVw_->topLevelItemCount(); ++top)
        WriteGenerationLabels(indexOfItem(treeVw_->topLevelItem(top)), false);
    app.GenerationsMarked = false;
}

void dsptree::MarkLivingOrDead() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    const int index = indexOfItem(treeVw_->currentItem());
    if (name.isEmpty() || index == 0) return;
    app.SelectedNodeIndex = index;
    const auto answer = AskLittle(1);
    if (!answer) return;
    const qint16 mode = qint16(WholeNumber(*answer));
    if (mode != -1 && mode != 1) return;
    qint32 start = KeptStartGeneration(name);
    qint16 force = 0;
    quint8 protection = kKeepProtection;
    app.FormParamString = name;
    DataOps().标识世祖(name, index, mode, start, force, protection);
}

void dsptree::SetBranchProtection() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    const int index = indexOfItem(treeVw_->currentItem());
    app.FormParamString = name;
    if (name.isEmpty() || index == 0) return;
    app.SelectedNodeIndex = index;
    const qint32 creator = DataOps().GetNodeCreate_Id(-1, name);
    const qint32 self = app.CurrentUser ? app.CurrentUser->acc_id : 0;
    // Refused before the level is asked: the dialog keeps the level it answers with the user.
    if (creator != 0 && creator != self) {
        UI().MsgBox(Trans(QStringLiteral("您不是创建者，不能更改其保护。")));
        return;
    }
    app.FormParamString = QString::number(creator);
    const auto answer = AskLittle(9);
    if (!answer) return;
    qint32 start = KeptStartGeneration(name);
    qint16 force = 0;
    quint8 protection = app.CurrentUser ? app.CurrentUser->Protected : quint8(WholeNumber(*answer));
    app.FormParamString = name;
    DataOps().标识世祖(name, index, 0, start, force, protection);
}

void dsptree::AddToFamousList() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    app.FormParamString = name;
    if (name.isEmpty()) return;
    Cls子女& member = SharedMember();
    if (name.startsWith(kNotablePrefix)) {
        const QString lineMember = name.mid(kNotablePrefix.size());
        if (member.Find自已(lineMember) != 0)
            UI().MsgBox(Trans(QStringLiteral("他是重要成员！在世系谱中没有他的资料！")), vb::Information);
        else if (AskYes("您是否已下定决心更新他的世系谱资料？"))
            member.LfntoNotable(lineMember, false);
        return;
    }
    const QString entry = kNotablePrefix + name;
    if (member.Find自已(entry) == 0) {
        if (AskYes("他已是名人谱成员，您是否已下定决心刷新他的资料？")) member.LfntoNotable(name, true);
        return;
    }
    app.FormParamString = QStringLiteral("2%") + name;
    const auto answer = AskLittle(2);
    if (!answer) return;
    const QString category = CleanMemberName(*answer);
    if (category.isEmpty()) return;

    if (member.Find自已(category) != 0) {
        const QString root = member.Find始祖(name);
        mainwin::SaveBareMember(member, category, root);
        if (treeNodes_->Exists(TreeNodeSink::MemberKey(root)) && !treeNodes_->Exists(TreeNodeSink::MemberKey(category))) {
            treeNodes_->Add(TreeNodeSink::MemberKey(root), TreeNodeSink::MemberKey(category), category, TreeNodeSink::kImageMale);
            treeNodes_->Expand(treeNodes_->Count());
        }
    }
    // The entry carries the member's own particulars under the category.
    if (member.Find自已(name) != 0) return;
    member.strFather = category;
    member.strBoy = entry;
    member.Save子女(1);
    if (treeNodes_->Exists(TreeNodeSink::MemberKey(category)) && !treeNodes_->Exists(TreeNodeSink::MemberKey(entry))) {
        treeNodes_->Add(TreeNodeSink::MemberKey(category), TreeNodeSink::MemberKey(entry), entry,
                        member.bBoy_Sex ? TreeNodeSink::kImageMale : TreeNodeSink::kImageFemale);
        treeNodes_->Expand(treeNodes_->Count());
    }
    markPagesStale(app.CurrentPage - 1);
    member.LfntoNotable(name, true);
}

void dsptree::LoadBranchPackage() {
    if (treeNodes_->Count() == 0) return;
    AppState& app = App();
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    const QString file = ClsCmDialog()
                             .CmDgSelectFile(QStringLiteral("族谱(*.Mdb)|*.mdb|所有文件（*.*）|*.*"),
                                             QStringLiteral("*.Mdb"), ClsCmDialog::kOpenFile)
                             .toString();
    if (file.isEmpty()) return;
    app.FormParamString2 = file;
    app.FormParamString = QStringLiteral("?");
    if (UI().ShowForm(QStringLiteral("FrmSetPswd"), true) < 0 || app.FormParamString.isEmpty()) return;
    QString why;
    TreeChangeMark changing;
    if (DataOps().ReLoad(file, app.FormParamString2, name, app.StrgPswdDigest, &why) != 0) {
        UI().MsgBox(Trans(QStringLiteral("不能恢复此备份：")) + why, vb::Critical);
        return;
    }
    // The branch is below this page's members: this page's starts still hold, the later ones not.
    app.RepaginateNeeded = true;
    if (app.CurrentPage == 1)
        DataOps().Find世祖(0, QString());
    else
        DataOps().Del后续分页标志(app.CurrentPage);
    app.SelectedNodeIndex = 0;
    RebuildPage();
    RecountPages();  // the branch's members may need pages of their own
}

void dsptree::ImportPageFolder() {
    if (treeNodes_->Count() == 0) return;
    const QString folder =
        ClsFolderSelect().FolderSelected(Trans(QStringLiteral("请选择导入文件所在目录：")));
    if (folder.isEmpty()) return;
    ProgressScope progress;
    TreeChangeMark changing;
    // A failure leaves the book as it was and reaches the user with its message.
    FolderImport import(DataOps(), *treeNodes_);
    import.Run(folder);
    markPagesStale(App().CurrentPage - 1);
    RecountPages();
    if (!import.Unread().isEmpty())
        UI().MsgBox(Trans(QStringLiteral("以下文件不能读取，导入时没有带上：")) + QLatin1Char('\n') +
                        import.Unread().join(QLatin1Char('\n')),
                    vb::Exclamation);
}
