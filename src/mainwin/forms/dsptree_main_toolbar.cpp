// The main toolbar TbarOP: page turning, the service desk, the download from the server, the clan
// associations and the edit-mode button.
#include <QAction>
#include <QToolBar>
#include <algorithm>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/forms/toolbars_busy.h"
#include "mainwin/tree_pages.h"
#include "online/group_form_names.h"
#include "online/logon_gate.h"
#include "online/service_chat.h"
#include "online/user_record.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

using mainwin::Trans;

const QString kBlank = QStringLiteral("about:blank");
constexpr int kPagePrompt = 4;

}  // namespace

void dsptree::SetupMainToolbar() {
    for (const char* key : {"Previous", "NextPage", "online", "b_down", "b_edit", "b_group"})
        ToolbarButton(QString::fromLatin1(key))->setEnabled(true);
}

void dsptree::TbarOP_ButtonClick(const QString& key) {
    const bool serverKey = key == QLatin1String("b_group") || key == QLatin1String("b_down");
    if (treeNodes_->Count() == 0 && !serverKey) {
        // Nothing to edit: the edit button does not stay pressed.
        if (key == QLatin1String("b_edit")) SetEditMode(false);
        return;
    }
    ToolbarsBusy busy(tbarOP_, tbarOpEx_);
    const bool turning = key == QLatin1String("Previous") || key == QLatin1String("NextPage");
    if (turning) {
        if (EditMode()) leaveEditModeForCommand();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }

    if (key == QLatin1String("online")) {
        OpenServiceChat();
    } else if (key == QLatin1String("NextPage")) {
        turnPage(true);
    } else if (key == QLatin1String("Previous")) {
        turnPage(false);
    } else if (key == QLatin1String("b_edit")) {
        // The button has flipped already; the page editor enters or leaves edit mode.
        EditButton_Click();
    } else if (key == QLatin1String("b_down")) {
        DownloadBookFromServer();
    } else if (key == QLatin1String("b_group")) {
        // The user's own association's members, or the associations to join or found; modeless, so the
        // toolbars come back at once.
        if (!RequireLogon()) return;
        UI().ShowForm(QString::fromLatin1(CurrentUserRecord().curGroup_Id != 0 ? kMemberListFormName
                                                                               : kGroupListFormName),
                      false);
    }
}

void dsptree::leaveEditModeForCommand() {
    SetEditMode(false);
    const QString member = TreeTag();
    const QString openedFile = FOpenTag();
    bool save = !member.isEmpty();
    if (save && !openedFile.isEmpty()) {
        const QString prompt = Trans(QStringLiteral("您是否决定将正在编辑的内容保存在当前结点（ ")) + member +
                               Trans(QStringLiteral(" ）中？"));
        save = UI().MsgBox(prompt, vb::YesNo + vb::Exclamation + vb::DefaultButton2) != vb::No;
    }
    if (save) {
        ProgressScope progress;
        SaveEditedPage(member);
    }
    SetEditingButtonsEnabled(false);
    // The viewer takes the page area back, showing what the editor held.
    if (!openedFile.isEmpty()) {
        webBrowser1_->Navigate(openedFile);
        ShowViewer();
    } else if (!member.isEmpty()) {
        ShowMemberPage(member);
    } else {
        ShowViewer();
    }
}

void dsptree::turnPage(bool forward) {
    AppState& app = App();
    // Once every page is recorded the last page is known, and only real pages are offered; until then
    // the count is an estimate, and a page recorded beyond it can be reached too, as can the page after
    // this one: a change since the last walk may have made the book longer than the count.
    const qint32 recorded = PageStartStore().HighestPage();
    const bool lastKnown = !app.RepaginateNeeded && recorded > 0;
    pageCount_ = lastKnown ? recorded : std::max({pageCount_, recorded, app.CurrentPage + 1});
    if (forward ? app.CurrentPage >= pageCount_ : app.CurrentPage < 2) return;

    app.FormParamString = QString::number(pageCount_);
    app.FormParamString2 = QString::number(app.CurrentPage + (forward ? 1 : -1));
    app.LittleRunType = kPagePrompt;
    UI().ShowForm(QStringLiteral("FrmLittle"), true);
    // A page beyond the book lands on its last page, found by walking there while it is not known.
    const std::optional<qint32> chosen = ChosenPage(app.FormParamString);
    if (!chosen) return;

    {
        ProgressScope progress;
        WalkToPage(DataOps(), *chosen, pageCount_, [this](qint32 page) {
            setWindowTitle(LauncherCaption() + Trans(QStringLiteral(" & 第 ")) + QString::number(page) +
                           QLatin1Char('/') + QString::number(pageCount_) + Trans(QStringLiteral(" 页")));
        });
    }
    showTurnedPage();
    if (app.CurrentPage < *chosen)
        UI().MsgBox(Trans(QStringLiteral("最后一页是第 ")) + QString::number(app.CurrentPage) +
                        Trans(QStringLiteral(" 页")),
                    vb::Information);
}

void dsptree::showTurnedPage() {
    AppState& app = App();
    setWindowTitle(PageCaption(app.CurrentPage));
    app.SelectedNodeIndex = 0;
    app.FormParamString.clear();
    // The page on display belongs to the page left; a click on any member of the new page shows its
    // page afresh, and nothing can be stored under a member no longer shown.
    webBrowser1_->Navigate(kBlank);
    SetTreeTag(QString());
    SetViewerTag(QString());
    RebuildPage();
}

void dsptree::redrawAfterBookChange() {
    RebuildPage();
    App().SelectedNodeIndex = 0;
    RecountPages();
}

void dsptree::RecountPages() {
    pageCount_ = PageCountFor(DataOps().TotalRecnNum(), App().NodesPerPage);
}
