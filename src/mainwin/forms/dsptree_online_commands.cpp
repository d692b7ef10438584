// The on-line commands of the pop-up menu (upload, download and the synchronised delete of a member or
// its branch) and the main toolbar's download of a book chosen at log-on.
#include <QTreeWidget>
#include <functional>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/node_command_support.h"
#include "mainwin/tree_pages.h"
#include "online/logon_gate.h"
#include "online/member_exchange.h"
#include "online/online_operation.h"
#include "online/user_record.h"
#include "platform/dao/dao_error.h"
#include "platform/door/server_error.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/branch_marking.h"
#include "store/data_ops.h"

namespace {

using mainwin::Trans;
using node_commands::ToolbarsDisabled;

// A message of an on-line command, with the wait window out of its way.
int Tell(const QString& text, int style) {
    ProgressPause pause;
    return UI().MsgBox(text, style);
}

// Runs one exchange with the server; a failure is told to the user (after `failure` when given) and
// answers false. A lapsed log-on is told as such and brings the log-on form back.
bool Exchanged(const std::function<void()>& exchange, const QString& failure = QString()) {
    QString reason;
    try {
        exchange();
        return true;
    } catch (const SyncError& e) {
        reason = e.Description();
    } catch (const ServerError& e) {
        reason = e.Description();
    } catch (const dao::DaoError& e) {
        reason = e.Description();
    }
    if (TellLapsedLogon(failure)) return false;
    Tell(failure + reason, vb::Critical);
    return false;
}

// A member goes up only after its ancestors; otherwise the user is told which one must go first.
bool AncestorsUploaded(Cls数据操作& ops, const QString& name) {
    const QString missing = ops.CheckSqlId_0(name);
    if (missing.isEmpty()) return true;
    Tell(Trans(QStringLiteral("请先上传父节点：")) + missing +
             Trans(QStringLiteral(" 数据后才能上传此节点数据！")),
         vb::Critical);
    return false;
}

void ShowUploaded() {
    Tell(Trans(QStringLiteral("上传完毕！")) + QStringLiteral("\n\n") +
             Trans(QStringLiteral("用于对外展示的网址为 ")) + GetSiteUrl().toString() +
             QStringLiteral("/logonx.aspx?id=") + QString::number(CurrentUserRecord().acc_id),
         vb::Information);
}

void ShowDeletedOnServer() {
    Tell(Trans(QStringLiteral("数据已被删除，无法下载！")), vb::Critical);
}

bool AskDownload(int icon) {
    return Tell(Trans(QStringLiteral("您是否已下定决心下载这些数据？")),
                vb::YesNo + icon + vb::DefaultButton2) == vb::Yes;
}

// The tree under the server member, staged and merged into the book; false, after telling the user,
// when either step failed or the server had nothing to give, and the book is then unchanged.
bool DownloadAndMerge(Cls数据操作& ops, qint32 rootId) {
    qint32 staged = 0;
    if (!Exchanged([&] { staged = ops.DownLoad_All(rootId); })) return false;
    if (staged == 0) {
        Tell(Trans(QStringLiteral("服务器上没有可以下载的数据！")), vb::Exclamation);
        return false;
    }
    QString reason;
    if (ops.DaReLoad(member_exchange::StagingPath(), &reason) == 0) return true;
    Tell(Trans(QStringLiteral("下载的数据未能并入族谱，族谱未作改动：")) + reason, vb::Critical);
    return false;
}

}  // namespace

void dsptree::UploadMemberNode() {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty() || !AncestorsUploaded(DataOps(), name) || !RequireLogon()) return;
    if (Exchanged([&] { DataOps().UpLoad_1(name); })) ShowUploaded();
}

void dsptree::UploadBranchNodes() {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    const int index = indexOfItem(treeVw_->currentItem());
    if (name.isEmpty() || index == 0) return;
    if (Tell(Trans(QStringLiteral("您是否已下定决心上传这些数据？")),
             vb::YesNo + vb::Information + vb::DefaultButton2) != vb::Yes)
        return;
    if (!AncestorsUploaded(DataOps(), name) || !RequireLogon()) return;
    AppState& app = App();
    app.FormParamString = name;
    app.SelectedNodeIndex = index;
    ProgressScope progress;
    ToolbarsDisabled quiet(tbarOpEx_, tbarOP_, tbarEditEx_);
    MarkBranchToActOn(DataOps(), name, index);
    if (Exchanged([&] { DataOps().UpLoad_All(index); })) ShowUploaded();
}

void dsptree::DownloadMemberNode() {
    if (treeNodes_->Count() == 0) return;
    QTreeWidgetItem* node = treeVw_->currentItem();
    const QString name = SelectedMemberName();
    if (name.isEmpty() || !RequireLogon()) return;
    // The edited page is stored under the member it belongs to before the download can rename him or
    // replace his page.
    if (EditMode()) leaveEditModeForCommand();
    const qint32 serverId = DataOps().GetSql_Id(name);
    QString local = name;
    bool refreshed = false;
    if (serverId != 0 && !Exchanged([&] { refreshed = DataOps().DownLoad_1(serverId, local); })) return;
    // Never uploaded, or no longer on the server: the member stays as it is.
    if (!refreshed) {
        ShowDeletedOnServer();
        return;
    }
    AppState& app = App();
    const QString text = node->text(0);
    const qsizetype brace = text.indexOf(QLatin1Char('}'));
    treeNodes_->SetKeyAndText(indexOfItem(node), TreeNodeSink::MemberKey(local),
                              (brace >= 0 ? text.left(brace + 1) : QString()) + local);
    if (name == app.RootAncestorName) app.RootAncestorName = local;
    // The page on display is the member's refreshed one, under his name now: an edit goes to him.
    if (TreeTag() == name) {
        SetTreeTag(local);
        ShowMemberPage(local);
    }
    Tell(Trans(QStringLiteral("下载完毕！")), vb::Information);
}

void dsptree::DownloadBranchNodes() {
    if (treeNodes_->Count() == 0) return;
    const QString name = SelectedMemberName();
    if (name.isEmpty() || !RequireLogon() || !AskDownload(vb::Information)) return;
    // As for the book chosen at log-on: the edited page goes first to the member it belongs to.
    if (EditMode()) leaveEditModeForCommand();
    ProgressScope progress;
    const qint32 serverId = DataOps().GetSql_Id(name);
    if (serverId == 0) {
        ShowDeletedOnServer();
        return;
    }
    ToolbarsDisabled quiet(tbarOpEx_, tbarOP_, tbarEditEx_);
    TreeChangeMark changing;
    if (!DownloadAndMerge(DataOps(), serverId)) return;
    // The page shown keeps its starts; the pages after it are cut again from the merged book.
    AppState& app = App();
    markPagesStale(app.CurrentPage);
    if (app.CurrentPage == 1) DataOps().Find世祖(0, QString());
    redrawAfterBookChange();
    forgetDeletedPage();
    Tell(Trans(QStringLiteral("下载完毕！")), vb::Information);
}

void dsptree::DeleteNodeOnServer() {
    if (treeNodes_->Count() == 0 || !RequireLogon()) return;
    DeleteMemberNode(true);
}

bool dsptree::DeleteOnServer(qint32 mysqlId) {
    return Exchanged([&] { DataOps().TongBuDelete_1(mysqlId); },
                     Trans(QStringLiteral("服务器上的成员未能删除，本地成员保留：")));
}

void dsptree::DownloadBookFromServer() {
    const QString root = ChooseBookRootToDownload();
    if (root.isEmpty()) return;
    if (Tell(QStringLiteral("您是否已下定决心下载这些数据？"), vb::YesNo) != vb::Yes) return;
    qint32 rootId = 0;
    try {
        rootId = CLng(Val(root));
    } catch (const VbError&) {
    }
    // The edited page is stored under the member it belongs to before the merge can rename him.
    if (EditMode()) leaveEditModeForCommand();
    ProgressScope progress;
    TreeChangeMark changing;
    if (!DownloadAndMerge(DataOps(), rootId)) return;
    // Only page 1's starts are known after the merge: the tree shows page 1, cut afresh.
    AppState& app = App();
    app.RepaginateNeeded = true;
    DataOps().Find世祖(0, QString());
    app.CurrentPage = 1;
    showTurnedPage();
    RecountPages();
    Tell(Trans(QStringLiteral("下载完毕！")), vb::Information);
}
