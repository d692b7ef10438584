// The page editor that shares the page area with the viewer: edit mode (b_edit), the editor toolbar
// TbarEditEx and the page save. The editor's pop-up menu is in dsptree_editor_menu.cpp.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QStackedWidget>
#include <QUrl>
#include <exception>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "mainwin/dhtml_edit.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/find_bar.h"
#include "mainwin/forms/html_edit_view.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/forms/web_wait.h"
#include "mainwin/page_save_plan.h"
#include "platform/bookdir.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/page_file.h"

namespace {

using mainwin::Trans;

const QString kPageFile = QStringLiteral("ltmp.htm");
const QString kPrintFile = QStringLiteral("lltmp.htm");
const QString kHtmlFilter = QStringLiteral("网页文件(*.Htm)|*.htm|所有文件（*.*）|*.*");
const QString kNoRight = QStringLiteral("创建者不允许修改数据！");
constexpr int kViewerLoadTimeoutMs = 30000;

// Buttons usable in both modes: find, open, save as, print.
const char* const kAlwaysUsable[] = {"b_2find", "f_open", "f_save", "f_print"};

QString LocalPath(const QString& source) {
    return source.startsWith(QLatin1String("file://")) ? source.mid(7) : source;
}

}  // namespace

void dsptree::SetupPageEditor() {
    editor_ = new HtmlEditView;
    InstallEditor(editor_);
    connect(editor_, &HtmlEditView::documentComplete, this, [this] { SetDocumentLoaded(true); });
    connect(editor_, &HtmlEditView::mouseMoved, this, &dsptree::UpdateEditButtons);
    // The buttons follow the text and the selection as the user types and selects, not only the mouse.
    connect(editor_->bridge(), &HtmlEditBridge::statusesChanged, this, [this] {
        if (EditMode() && editorShown()) applyEditButtonStates();
    });
    connect(editor_, &HtmlEditView::contextMenuRequested, this, &dsptree::DHTMLEdit1_ContextMenu);
    for (const char* key : kAlwaysUsable) ToolbarButton(QString::fromLatin1(key))->setEnabled(true);
    // The main toolbar's handler runs edit mode (EditButton_Click); the button itself is this file's.
    ToolbarButton(QStringLiteral("b_edit"))->setEnabled(true);
    SetupEditorMenu();
}

bool dsptree::editorShown() const {
    return pageArea_->currentWidget() == editor_;
}

bool dsptree::ButtonEnable(int command) {
    DoEvents();
    return ClsDhtmlEdit::ButtonEnable(*editor_, command);
}

void dsptree::UpdateEditButtons() {
    DoEvents();
    applyEditButtonStates();
}

void dsptree::applyEditButtonStates() {
    for (const auto& [key, command] : ClsDhtmlEdit::StatusButtons())
        if (QAction* button = ToolbarButton(key))
            button->setEnabled(ClsDhtmlEdit::ButtonEnable(*editor_, command));
}

void dsptree::EditButton_Click() {
    QAction* edit = ToolbarButton(QStringLiteral("b_edit"));
    const bool entering = EditMode();
    if (entering) {
        // Nothing selected: there is no member whose page could be written.
        if (!treeVw_->currentItem()) {
            SetEditMode(false);
            return;
        }
        const quint8 right = DataOps().GetMyRight(-1, SelectedMemberName());
        if (right != 3 && right != 6) {
            SetEditMode(false);
            UI().MsgBox(kNoRight, vb::Critical);
            return;
        }
    }
    edit->setEnabled(true);

    const QString opened = FOpenTag();
    if (!opened.isEmpty()) {
        SetEditingButtonsEnabled(entering);
        if (entering) {
            ShowEditor();
            editor_->LoadDocument(opened);
        } else {
            ShowViewer();
            webBrowser1_->Navigate(opened);
        }
        return;
    }

    if (entering) {
        // The editor takes the page of the selected member, which is then the one on display.
        const QString member = SelectedMemberName();
        if (member != TreeTag()) {
            ShowMemberPage(member);
            if (ViewerTag().isEmpty()) {  // the stored page could not be read: it must not be overwritten
                SetEditMode(false);
                return;
            }
            SetTreeTag(member);
        }
        SetEditingButtonsEnabled(true);
        ShowEditor();
        const QString page = GetAppPath() + kPageFile;
        if (ViewerTag() == QLatin1String("0") && QFileInfo::exists(page))
            editor_->LoadDocument(page);
        else
            editor_->Clear();
        edit->setProperty("Tag", 2);
        editor_->setFocus();
        return;
    }

    // Leaving: the page of the member on display is stored; if it cannot be, the editor stays.
    const QString member = TreeTag();
    if (!SaveEditedPage(member)) {
        SetEditMode(true);
        return;
    }
    SetEditingButtonsEnabled(false);
    ShowMemberPage(member);
}

bool dsptree::SaveEditedPage(const QString& member) {
    if (member.isEmpty() || !editor_ || !editor_->HasDocument()) return true;
    QString reason;
    try {
        const page_save::Plan plan = page_save::BuildPageSave(editor_->DomFacts());
        const QStringList missing = DataOps().SavePageAndFiles(member, plan.html, plan.files);
        if (!missing.isEmpty()) {
            QStringList paths;
            for (const QString& source : missing) paths << LocalPath(source);
            UI().MsgBox(Trans(QStringLiteral("下列文件没有找到，未能随生平事迹保存：")) +
                            QStringLiteral("\n") + paths.join(QStringLiteral("\n")),
                        vb::Exclamation);
        }
        return true;
    } catch (const EditorError& e) {
        reason = e.message();
    } catch (const dao::DaoError& e) {
        reason = e.Description();
    } catch (const VbError& e) {
        reason = e.Description();
    } catch (const std::exception& e) {
        reason = QString::fromUtf8(e.what());
    }
    UI().MsgBox(Trans(QStringLiteral("生平事迹没有保存，书中原有的页面和图片未作改动：")) + reason,
                vb::Critical);
    return false;
}

void dsptree::TbarEditEx_ButtonClick(const QString& key) {
    if (key == QLatin1String("f_open")) {
        openHtmlFile();
    } else if (key == QLatin1String("f_save")) {
        saveShownPage();
    } else if (key == QLatin1String("f_print")) {
        printShownPage();
    } else if (key == QLatin1String("b_meda")) {
        editInsertMedia();
    } else if (key == QLatin1String("b_2find")) {
        if (editorShown())
            ClsDhtmlEdit().EditCmd(*editor_, QStringLiteral("b_find"));
        else
            webBrowser1_->findBar()->Open();
    } else {
        ClsDhtmlEdit().EditCmd(*editor_, key);
    }
}

void dsptree::openHtmlFile() {
    if (!TreeTag().isEmpty() && EditMode()) {
        const QString prompt = Trans(QStringLiteral("您是否决定将正在编辑的内容保存在当前结点（ ")) +
                               TreeTag() + QStringLiteral(" ）中？");
        const int answer = UI().MsgBox(prompt, vb::YesNoCancel + vb::Exclamation + vb::DefaultButton2);
        if (answer == vb::Cancel) return;
        if (answer == vb::Yes && !SaveEditedPage(TreeTag())) return;
    }
    const QString path =
        ClsCmDialog().CmDgSelectFile(kHtmlFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (path.isEmpty()) return;
    if (EditMode()) {
        ShowEditor();
        editor_->LoadDocument(path);
    } else {
        ShowViewer();
        webBrowser1_->Navigate(path);
    }
    SetFOpenTag(path);
}

void dsptree::saveShownPage() {
    const bool fromEditor = editorShown();
    const QString shown = webBrowser1_->LocationURL();
    // A blank page is no file to save.
    if (!fromEditor &&
        (shown.isEmpty() || shown.compare(QLatin1String("about:blank"), Qt::CaseInsensitive) == 0))
        return;
    const QString target =
        ClsCmDialog().CmDgSelectFile(kHtmlFilter, QString(), ClsCmDialog::kSaveFile).toString();
    if (target.isEmpty()) return;
    try {
        if (fromEditor) {
            editor_->SaveDocument(target);
        } else if (QFileInfo(target).absoluteFilePath() != QFileInfo(shown).absoluteFilePath()) {
            QFile source(shown);
            if (!source.open(QIODevice::ReadOnly))
                throw VbError(75, QStringLiteral("不能读出文件 '%1'。").arg(shown));
            WriteWholeFile(target, source.readAll());
        }
    } catch (const EditorError& e) {
        UI().MsgBox(e.message(), vb::Critical);
    } catch (const VbError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
}

void dsptree::printShownPage() {
    if (!editorShown()) {
        ShowPagePrintPreview(webBrowser1_->view());
        return;
    }
    // The viewer prints a copy of the editor's document; the editor keeps its own.
    const QString copy = GetAppPath() + kPrintFile;
    try {
        editor_->SaveDocument(copy);
    } catch (const EditorError& e) {
        UI().MsgBox(e.message(), vb::Critical);
        return;
    } catch (const VbError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
        return;
    }
    SetDocumentLoaded(false);
    webBrowser1_->Navigate(copy);
    ShowViewer();
    WaitUntil([this] { return DocumentLoaded(); }, kViewerLoadTimeoutMs);
    ShowPagePrintPreview(webBrowser1_->view());
    ShowEditor();
}
