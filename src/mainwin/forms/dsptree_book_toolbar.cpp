// The book toolbar TbarOpEx: exit, backup of a branch into a package, restore of a package as a new
// independent book, print, branch book, set-up and find.
#include <QAction>
#include <QToolBar>
#include <QTreeWidget>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "mainwin/backup_names.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/toolbars_busy.h"
#include "mainwin/tree_pages.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"
#include "store/member_name.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;

const QString kPackageFilter = QStringLiteral("族谱(*.Mdb)|*.mdb|所有文件（*.*）|*.*");
const QString kRestoreMode = QStringLiteral("?");
constexpr int kBranchNamePrompt = 5;
constexpr int kFindPrompt = 7;

bool MayChange(quint8 right) {
    return right == 3 || right == 6;
}

bool MemberExists(const QString& name) {
    return !App()
                .DataDb.Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"filial\" = ?"), {name})
                .isNull();
}

}  // namespace

void dsptree::SetupBookToolbar() {
    for (const char* key : {"b_exit", "b_saveas", "b_load", "b_lineoff", "b_print", "b_syssetup", "b_find"})
        ToolbarButton(QString::fromLatin1(key))->setEnabled(true);
}

void dsptree::TbarOpEx_ButtonClick(const QString& key) {
    ToolbarsBusy busy(tbarOP_, tbarOpEx_);
    if (EditMode()) leaveEditModeForCommand();

    if (key == QLatin1String("b_exit")) {
        close();
    } else if (key == QLatin1String("b_saveas")) {
        backUpBranch();
    } else if (key == QLatin1String("b_load")) {
        restoreAsNewBook();
    } else if (key == QLatin1String("b_lineoff")) {
        splitOffBranchBook();
    } else if (key == QLatin1String("b_print")) {
        printBranch();
    } else if (key == QLatin1String("b_syssetup")) {
        runSystemSetup();
    } else if (key == QLatin1String("b_find")) {
        findMember();
    }
}

void dsptree::backUpBranch() {
    AppState& app = App();
    if (treeNodes_->Count() == 0 || app.SelectedNodeIndex == 0) return;
    QString name = SelectedMemberName();
    if (name.isEmpty()) return;

    const QString proposed = ProposedBackupName(name, today());
    const QString path = WithFullWidthBrackets(
        ClsCmDialog().CmDgSelectFile(kPackageFilter, proposed, ClsCmDialog::kSaveFile).toString());
    if (path.isEmpty()) return;
    app.FormParamString2 = path;
    app.FormParamString = proposed;  // any request but "?" asks for a new package password
    UI().ShowForm(QStringLiteral("FrmSetPswd"), true);
    if (app.FormParamString.isEmpty()) return;
    const QString password = app.FormParamString2;

    const qint32 branch = indexOfItem(treeVw_->currentItem());
    name = SelectedMemberName();
    // A member no longer in the book has no branch to write: an earlier package at the path stays.
    if (branch == 0 || !MemberExists(name)) {
        UI().MsgBox(Trans(QStringLiteral("没有备份任何成员！")), vb::Exclamation);
        return;
    }
    app.SelectedNodeIndex = branch;
    // Marked afresh, whatever was marked before: the package holds the branch as it stands now, and a
    // numbering the user made is kept. The package is written keyed with its password, so it needs no
    // password change afterwards.
    const qint32 written = BackUpBranch(DataOps(), name, branch, path, password);
    if (written <= 0) {
        UI().MsgBox(Trans(QStringLiteral("没有备份任何成员！")), vb::Exclamation);
        return;
    }
    UI().MsgBox(Trans(QStringLiteral("族谱备份成功！")) + QLatin1Char('[') + QString::number(written) +
                    QLatin1Char(']'),
                vb::Information);
}

void dsptree::restoreAsNewBook() {
    AppState& app = App();
    if (app.CurrentPage >= 2) {
        UI().MsgBox(Trans(QStringLiteral("只有在第一页才能恢复成独立分支谱！")), vb::Critical);
        return;
    }
    const QString path =
        ClsCmDialog().CmDgSelectFile(kPackageFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (path.isEmpty()) return;
    app.FormParamString2 = path;
    app.FormParamString = kRestoreMode;
    UI().ShowForm(QStringLiteral("FrmSetPswd"), true);
    if (app.FormParamString.isEmpty()) return;

    // The import reads the package only, so the package needs no compaction afterwards.
    QString error;
    Cls数据操作& ops = DataOps();
    TreeChangeMark changing;
    if (ops.ReLoad(path, app.FormParamString2, QString(), app.StrgPswdDigest, &error) != 0) {
        UI().MsgBox(Trans(QStringLiteral("族谱恢复失败：")) + error, vb::Critical);
        return;
    }
    app.RepaginateNeeded = true;
    ops.Find世祖(0, QString());
    redrawAfterBookChange();
    if (app.RootAncestorName == SelectedMemberName()) app.RootAncestorName.clear();
}

void dsptree::splitOffBranchBook() {
    AppState& app = App();
    QTreeWidgetItem* node = treeVw_->currentItem();
    if (app.SelectedNodeIndex == 0 || !node) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty()) return;
    if (!MayChange(DataOps().GetMyRight(-1, name))) {
        UI().MsgBox(Trans(QStringLiteral("创建者不允许拆分！")), vb::Critical);
        return;
    }
    app.FormParamString = QStringLiteral("5%") + name;
    app.LittleRunType = kBranchNamePrompt;
    UI().ShowForm(QStringLiteral("FrmLittle"), true);
    const QString asked = CleanMemberName(app.FormParamString, -1);
    if (asked.isEmpty()) return;
    TreeChangeMark changing;
    const QString root = SharedMember().创建分支谱(asked, name);
    if (root.isEmpty()) return;

    // The tree follows in place: the new root at the end, the member's children under it in their order.
    const QString rootKey = TreeNodeSink::MemberKey(root);
    treeNodes_->Add(QString(), rootKey, root, TreeNodeSink::kImagePageStart);
    while (node->childCount() > 0) treeNodes_->SetParent(TreeWidgetNodes::KeyOf(node->child(0)), rootKey);
    treeNodes_->Expand(treeNodes_->IndexOf(rootKey));
    // The pages after this one were cut from the old tree.
    app.RepaginateNeeded = true;
    DataOps().Del后续分页标志(app.CurrentPage);
    RecountPages();
}

void dsptree::runSystemSetup() {
    AppState& app = App();
    app.FormParamString2 = QStringLiteral("1");
    UI().ShowForm(QStringLiteral("FrmSysSetup"), true);
    if (app.FormParamString2.isEmpty()) return;
    if (app.RepaginateNeeded) {
        Cls数据操作& ops = DataOps();
        ops.Del后续分页标志(app.CurrentPage);
        if (app.CurrentPage == 1) ops.Find世祖(0, QString());
        redrawAfterBookChange();
        return;
    }
    RecountPages();
}

void dsptree::findMember() {
    AppState& app = App();
    app.FormParamString.clear();
    app.LittleRunType = kFindPrompt;
    UI().ShowForm(QStringLiteral("FrmLittle"), true);
    const QString text = Trim(app.FormParamString);
    if (!text.isEmpty()) SeekMember(text);
}
