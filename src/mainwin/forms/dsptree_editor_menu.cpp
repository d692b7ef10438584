// The editor's pop-up menu: the edit_* items of nodemenu, shown when the editor is right-clicked.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTreeWidget>
#include <exception>

#include "frame/app_state.h"
#include "frame/file_services.h"
#include "mainwin/dhtml_edit.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/frm_prop.h"
#include "mainwin/forms/html_edit_view.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/page_save_plan.h"
#include "member/member_record.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"
#include "store/member_name.h"

namespace {

using mainwin::SharedMember;
using mainwin::Trans;

constexpr int kKeywordLength = 50;
const QString kMediaFilter =
    QStringLiteral("视音频文件（*.mp3;*.wma）|*.mp3;*.wma|Flash文件(*.swf)|*.swf|所有文件(*.*)|*.*|");
const QString kAnyFileFilter = QStringLiteral("所有文件(*.*)|*.*|");

// The items that follow their command's status when the menu opens; the others keep theirs.
constexpr std::pair<const char*, int> kStatusItems[] = {
    {"edit_cut", decmd::kCut},        {"edit_copy", decmd::kCopy},
    {"edit_delete", decmd::kDelete},  {"edit_selectall", decmd::kSelectAll},
    {"edit_insimage", decmd::kImage}, {"edit_selectfont", decmd::kFont},
};

}  // namespace

void dsptree::SetupEditorMenu() {
    const auto command = [this](const char* item, const char* key) {
        ConnectMenuItem(QString::fromLatin1(item),
                        [this, key] { ClsDhtmlEdit().EditCmd(*editor_, QString::fromLatin1(key)); });
    };
    command("edit_cut", "b_cut");
    command("edit_copy", "b_copy");
    command("edit_paste", "b_paste");
    command("edit_delete", "b_delete");
    command("edit_selectall", "b_selectall");
    command("edit_insimage", "b_img");
    command("edit_selectfont", "b_font");
    ConnectMenuItem(QStringLiteral("edit_instv"), [this] { editInsertMedia(); });
    ConnectMenuItem(QStringLiteral("edit_download"), [this] { editDownloadLink(); });
    ConnectMenuItem(QStringLiteral("edit_pagebg"), [this] { editPageProperties(); });
    ConnectMenuItem(QStringLiteral("edit_nodename"), [this] { editRenameMember(); });
    ConnectMenuItem(QStringLiteral("edit_pagekey"), [this] { editPageKeyword(); });
}

void dsptree::DHTMLEdit1_ContextMenu(const QPoint& globalPos) {
    SetMenuVisible(false);
    UpdateEditButtons();
    for (const auto& [item, command] : kStatusItems)
        if (QAction* action = MenuItem(QString::fromLatin1(item))) action->setEnabled(ButtonEnable(command));
    PopupNodeMenu(globalPos);
}

QString dsptree::selectedEditorText() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QString text;
    if (ButtonEnable(decmd::kCopy)) {
        text = editor_->SelectedText();
        clipboard->setText(text);
    }
    return Trim(text);
}

void dsptree::editInsertMedia() {
    const QString file =
        ClsCmDialog().CmDgSelectFile(kMediaFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (file.isEmpty()) return;
    try {
        editor_->SetDocumentHTML(page_save::InsertMediaBeforeBodyEnd(editor_->DocumentHTML(), file));
    } catch (const EditorError& e) {
        UI().MsgBox(e.message(), vb::Critical);
    }
}

void dsptree::editDownloadLink() {
    const QString text = selectedEditorText();
    const QString file =
        ClsCmDialog().CmDgSelectFile(kAnyFileFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (file.isEmpty() || text.isEmpty()) return;
    editor_->ExecCommand(decmd::kHyperlink, {decmd::kExecDontPrompt, file});
}

void dsptree::editPageProperties() {
    // The dialog works on this window's editor: it is registered for the one showing.
    FormRegistry::Register(QStringLiteral("frmProp"), [this]() -> QObject* {
        auto* form = new frmProp(*editor_);
        form->Form_Load();
        return form;
    });
    struct Unregister {
        ~Unregister() { FormRegistry::Unregister(QStringLiteral("frmProp")); }
    } unregister;
    UI().ShowForm(QStringLiteral("frmProp"), true);
}

void dsptree::editRenameMember() {
    QString name = CleanMemberName(selectedEditorText());
    if (name.isEmpty()) return;
    const QString old = SelectedMemberName();
    App().FormParamString = old;
    Cls子女& member = SharedMember();
    if (old.isEmpty() || member.Find自已(old) != 0) return;
    name = DataOps().TongMing字(false, name, member.lBoy_ID);
    if (name == old) return;
    member.strBoy = name;
    try {
        member.Whnt自已(old);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("成员没有改名：")) + e.Description(), vb::Critical);
        return;
    }
    // The page in the editor now belongs to the new name, and is stored under it.
    App().FormParamString = name;
    if (TreeTag() == old) SetTreeTag(name);
    const QString key = TreeNodeSink::MemberKey(old);
    if (TreeNodes().Exists(key)) TreeNodes().SetKeyAndText(TreeNodes().IndexOf(key), TreeNodeSink::MemberKey(name), name);
}

void dsptree::editPageKeyword() {
    const QString keyword = selectedEditorText().left(kKeywordLength);
    if (keyword.isEmpty()) return;
    App().FormParamString = SelectedMemberName() + QLatin1Char('%') + keyword;
    App().LittleRunType = 10;
    UI().ShowForm(QStringLiteral("FrmLittle"), true);
}
