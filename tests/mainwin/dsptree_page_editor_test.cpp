// The page editor in the main window, without the engine: edit mode, the save, the editor toolbar,
// the editor's menu items and the page-properties dialog.
#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QTemporaryDir>

#include "dsptree_fixture.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "mainwin/dhtml_edit.h"
#include "mainwin/forms/find_bar.h"
#include "mainwin/forms/frm_prop.h"
#include "mainwin/forms/html_edit_view.h"
#include "platform/bookdir.h"
#include "platform/codepage.h"

namespace {

const QString kNoRight = QStringLiteral("创建者不允许修改数据！");

// 甲 (a stored page) ── 乙 (none)
class DsptreePageEditorTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        Add(QStringLiteral("甲"), QString(), 1);
        Add(QStringLiteral("乙"), QStringLiteral("甲"), 2);
        QString page = QStringLiteral("<html><head></head><body><p>甲的生平</p></body></html>");
        ops_->SaveAnyHtml(page, QStringLiteral("甲"));
        Open();
        editor_ = window_->Editor();
        picture_ = photos_.filePath(QStringLiteral("像.png"));
        QFile file(picture_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("PNG");
    }
    QString Stored(const QString& member) {
        QString html;
        ops_->GetAnyHtmlCode(member, html);
        return html;
    }
    QString PageFile() const { return GetAppPath() + QStringLiteral("ltmp.htm"); }
    void Enter(const QString& member) {
        Click(member);
        window_->SetEditMode(true);
        window_->EditButton_Click();
    }
    void Leave() {
        window_->SetEditMode(false);
        window_->EditButton_Click();
    }
    // Statuses as the page pushes them.
    void Push(std::initializer_list<std::pair<int, int>> statuses) {
        QVariantMap map;
        for (const auto& [command, status] : statuses) map.insert(QString::number(command), status);
        editor_->bridge()->pushStatuses(map);
    }

    HtmlEditView* editor_ = nullptr;
    QTemporaryDir photos_;
    QString picture_;
};

TEST_F(DsptreePageEditorTest, EditModeLoadsThePageAndLeavingItStoresItWithItsPicture) {
    dsptree& w = *window_;
    Enter(QStringLiteral("甲"));
    EXPECT_TRUE(w.EditMode());
    EXPECT_EQ(w.PageArea()->currentWidget(), editor_);
    EXPECT_EQ(editor_->DocumentPath(), PageFile());
    EXPECT_TRUE(editor_->DocumentHTML().contains(QStringLiteral("甲的生平")));
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_meda"))->isEnabled());
    EXPECT_EQ(w.ToolbarButton(QStringLiteral("b_edit"))->property("Tag").toInt(), 2);

    editor_->SetDocumentHTML(
        QStringLiteral("<html><head></head><body><p>新写</p><img src=\"file://%1\"></body></html>")
            .arg(picture_));
    Leave();
    EXPECT_EQ(w.PageArea()->currentWidget(), w.WebBrowser1());
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_b"))->isEnabled());
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), PageFile());
    EXPECT_EQ(
        Stored(QStringLiteral("甲")).toStdString(),
        (QStringLiteral("<html><head><META HTTP-EQUIV='CONTENT-TYPE' CONTENT='TEXT/HTML;CHARSET=GB18030'>"
                        "</head><body><p>新写</p><img src=\"file://") +
         GetAppPath() + QStringLiteral("temp") + picture_ + QStringLiteral("\"></body></html>"))
            .toStdString());
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    EXPECT_EQ(
        images.Scalar(QStringLiteral("SELECT count(*) FROM \"imageylk\" WHERE \"filial\" = '甲'")).toInt(),
        1);
    QFile shown(GetAppPath() + QStringLiteral("temp") + picture_);  // extracted for the viewer
    ASSERT_TRUE(shown.open(QIODevice::ReadOnly));
    EXPECT_EQ(shown.readAll(), QByteArray("PNG"));

    // A member without a page starts empty, and a click on another member stores what was written.
    Enter(QStringLiteral("乙"));
    EXPECT_EQ(editor_->DocumentPath(), QString());
    EXPECT_FALSE(editor_->DocumentHTML().contains(QStringLiteral("生平")));
    editor_->SetDocumentHTML(QStringLiteral("<html><head></head><body>乙的新页</body></html>"));
    Click(QStringLiteral("甲"));
    EXPECT_FALSE(w.EditMode());
    EXPECT_TRUE(Stored(QStringLiteral("乙")).contains(QStringLiteral("乙的新页")));
}

TEST_F(DsptreePageEditorTest, EditModeIsRefusedWithoutAMemberOrARight) {
    dsptree& w = *window_;
    w.TreeVw()->setCurrentItem(nullptr);
    w.SetEditMode(true);
    w.EditButton_Click();  // nothing selected: nothing asked, the button released
    EXPECT_FALSE(w.EditMode());
    EXPECT_EQ(w.PageArea()->currentWidget(), w.WebBrowser1());

    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = 9, \"filial_protect\" = 1, "
                       "\"myacc_id\" = 77 WHERE \"filial\" = '甲'"));
    App().CurrentUser->acc_id = 5;
    ui_->ExpectMsgBox(vb::OK);
    Enter(QStringLiteral("甲"));
    EXPECT_EQ(LastDialog().text, kNoRight);
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_FALSE(w.EditMode());
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_b"))->isEnabled());
}

TEST_F(DsptreePageEditorTest, AFailedSaveKeepsTheEditorAndTheStoredPage) {
    dsptree& w = *window_;
    Enter(QStringLiteral("甲"));
    editor_->SetDocumentHTML(QStringLiteral("<html><body>不会保存</body></html>"));
    dao::Database pages = dao::Database::Open(DescriptDbPath(), BookDbPassword());
    pages.Execute(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE ON \"story\" BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    ui_->ExpectMsgBox(vb::OK);
    Leave();
    EXPECT_TRUE(
        LastDialog().text.startsWith(QStringLiteral("生平事迹没有保存，书中原有的页面和图片未作改动：")));
    EXPECT_TRUE(LastDialog().text.contains(QStringLiteral("disk full")));
    EXPECT_TRUE(w.EditMode());
    EXPECT_EQ(w.PageArea()->currentWidget(), editor_);
    pages.Execute(QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_TRUE(Stored(QStringLiteral("甲")).contains(QStringLiteral("甲的生平")));
}

TEST_F(DsptreePageEditorTest, AnOpenedFileIsEditedButNeverStoredUnlessAskedTo) {
    dsptree& w = *window_;
    const QString file = photos_.filePath(QStringLiteral("外来.htm"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        ToGb18030(QStringLiteral("<html><head><meta charset=gb18030></head><body>外来页面</body></html>")));
    out.close();

    // Not in edit mode: the viewer shows the file.
    Click(QStringLiteral("甲"));
    ui_->ExpectOpenFile(file);
    w.TbarEditEx_ButtonClick(QStringLiteral("f_open"));
    EXPECT_EQ(LastDialog().filter, QStringLiteral("网页文件(*.Htm)|*.htm|所有文件（*.*）|*.*"));
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), file);
    EXPECT_EQ(w.FOpenTag(), file);
    w.SetEditMode(true);
    w.EditButton_Click();
    EXPECT_EQ(editor_->DocumentPath(), file);
    Leave();  // back to the viewer on the file; nothing stored
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), file);
    EXPECT_TRUE(Stored(QStringLiteral("甲")).contains(QStringLiteral("甲的生平")));

    // In edit mode on the member's page: Cancel keeps everything, No opens without storing.
    Enter(QStringLiteral("甲"));
    ui_->ExpectMsgBox(vb::Cancel);
    w.TbarEditEx_ButtonClick(QStringLiteral("f_open"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("您是否决定将正在编辑的内容保存在当前结点（ 甲 ）中？"));
    EXPECT_EQ(LastDialog().style, vb::YesNoCancel + vb::Exclamation + vb::DefaultButton2);
    EXPECT_EQ(editor_->DocumentPath(), PageFile());
    ui_->ExpectMsgBox(vb::No);
    ui_->ExpectOpenFile(file);
    w.TbarEditEx_ButtonClick(QStringLiteral("f_open"));
    EXPECT_EQ(editor_->DocumentPath(), file);
    // Clicking another member asks before the opened file becomes the member's page.
    ui_->ExpectMsgBox(vb::Yes);
    Click(QStringLiteral("乙"));
    EXPECT_TRUE(Stored(QStringLiteral("甲")).contains(QStringLiteral("外来页面")));
}

TEST_F(DsptreePageEditorTest, ToolbarKeysRunTheirCommands) {
    dsptree& w = *window_;
    Click(QStringLiteral("甲"));
    w.TbarEditEx_ButtonClick(QStringLiteral("b_2find"));  // the viewer's find bar
    EXPECT_TRUE(w.WebBrowser1()->findBar()->isVisibleTo(w.WebBrowser1()));

    // Save as from the viewer copies the file on display.
    const QString copy = photos_.filePath(QStringLiteral("copy.htm"));
    ui_->ExpectSaveFile(copy);
    w.TbarEditEx_ButtonClick(QStringLiteral("f_save"));
    QFile a(copy), b(PageFile());
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());

    Enter(QStringLiteral("甲"));
    for (const char* key : {"b_b", "b_2find", "b_order"}) w.TbarEditEx_ButtonClick(QString::fromLatin1(key));
    ASSERT_EQ(editor_->CommandsRun().size(), 3);
    EXPECT_EQ(editor_->CommandsRun()[0].command, decmd::kBold);
    EXPECT_EQ(editor_->CommandsRun()[1].command, decmd::kFindText);
    EXPECT_EQ(editor_->CommandsRun()[2].command, decmd::kOrderList);

    ui_->ExpectOpenFile(QStringLiteral("/music/曲.mp3"));
    w.TbarEditEx_ButtonClick(QStringLiteral("b_meda"));
    EXPECT_EQ(
        LastDialog().filter,
        QStringLiteral("视音频文件（*.mp3;*.wma）|*.mp3;*.wma|Flash文件(*.swf)|*.swf|所有文件(*.*)|*.*|"));
    EXPECT_TRUE(editor_->DocumentHTML().contains(QStringLiteral("<embed  src='/music/曲.mp3'></body>")));

    // Print: the viewer shows a copy of the editor's page, then the editor comes back.
    w.TbarEditEx_ButtonClick(QStringLiteral("f_print"));
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), GetAppPath() + QStringLiteral("lltmp.htm"));
    EXPECT_EQ(w.PageArea()->currentWidget(), editor_);
    QFile printed(GetAppPath() + QStringLiteral("lltmp.htm"));
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(FromGb18030(printed.readAll()).contains(QStringLiteral("<embed  src='/music/曲.mp3'>")));
}

TEST_F(DsptreePageEditorTest, EditorMenuFollowsTheStatusesAndItsItemsUseTheSelection) {
    dsptree& w = *window_;
    Enter(QStringLiteral("甲"));
    Push({{decmd::kCut, 3},
          {decmd::kCopy, 1},
          {decmd::kDelete, 7},
          {decmd::kSelectAll, 3},
          {decmd::kFont, 1}});
    w.DHTMLEdit1_ContextMenu(QPoint(5, 5));
    ASSERT_EQ(popups_.size(), 1u);
    EXPECT_TRUE(w.MenuItem(QStringLiteral("edit_cut"))->isEnabled());
    EXPECT_FALSE(w.MenuItem(QStringLiteral("edit_copy"))->isEnabled());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("edit_delete"))->isEnabled());
    EXPECT_FALSE(w.MenuItem(QStringLiteral("edit_selectfont"))->isEnabled());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("edit_pagekey"))->isEnabled());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("edit_cut"))->isVisible());
    EXPECT_FALSE(w.MenuItem(QStringLiteral("node_deleteAll"))->isVisible());
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_cut"))->isEnabled());
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_copy"))->isEnabled());

    // Without a selection to copy, the items that need one do nothing.
    editor_->SetSelectedText(QStringLiteral("族长"));
    w.MenuItem(QStringLiteral("edit_pagekey"))->trigger();

    Push({{decmd::kCopy, 3}});
    ui_->ExpectForm(QStringLiteral("FrmLittle"), [](QObject*) {
        EXPECT_EQ(App().FormParamString, QStringLiteral("甲%族长"));
        EXPECT_EQ(App().LittleRunType, 10);
        return 1;
    });
    w.MenuItem(QStringLiteral("edit_pagekey"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("族长"));

    editor_->SetSelectedText(QStringLiteral("下载"));
    ui_->ExpectOpenFile(QStringLiteral("/docs/谱.pdf"));
    w.MenuItem(QStringLiteral("edit_download"))->trigger();
    ASSERT_FALSE(editor_->CommandsRun().isEmpty());
    EXPECT_EQ(editor_->CommandsRun().back().command, decmd::kHyperlink);
    EXPECT_EQ(editor_->CommandsRun().back().rest, (QVariantList{2, QStringLiteral("/docs/谱.pdf")}));

    // The rename cleans the name, makes it unique and carries it to the node and the page on display.
    Add(QStringLiteral("甲新"), QString());
    editor_->SetSelectedText(QStringLiteral(" 甲'新{%} "));
    w.MenuItem(QStringLiteral("edit_nodename"))->trigger();
    EXPECT_EQ(FatherOf(QStringLiteral("乙")), QStringLiteral("甲新[1]"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("甲新[1]"));
    EXPECT_EQ(Nodes().TextAt(Nodes().IndexOf(QStringLiteral("_甲新[1]"))), QStringLiteral("甲新[1]"));
    EXPECT_FALSE(Nodes().Exists(QStringLiteral("_甲")));
    Leave();
    EXPECT_TRUE(Stored(QStringLiteral("甲新[1]")).contains(QStringLiteral("甲的生平")));
}

// The page pushes its statuses as the user types and selects; the buttons follow them with the mouse
// still, and only while the editor is in use.
TEST_F(DsptreePageEditorTest, ButtonsFollowTheEditorWithoutTheMouse) {
    dsptree& w = *window_;
    const auto enabled = [&w](const char* key) {
        return w.ToolbarButton(QString::fromLatin1(key))->isEnabled();
    };
    Enter(QStringLiteral("甲"));
    // Typed: undo, the styles and the alignments are offered; nothing is selected to copy.
    Push({{decmd::kUndo, 3},
          {decmd::kCopy, 1},
          {decmd::kCut, 1},
          {decmd::kBold, 3},
          {decmd::kItalic, 3},
          {decmd::kUnderline, 7},
          {decmd::kJustifyLeft, 7},
          {decmd::kJustifyCenter, 3},
          {decmd::kJustifyRight, 11}});
    for (const char* key : {"b_undo", "b_b", "b_i", "b_u", "b_left", "b_center", "b_right"})
        EXPECT_TRUE(enabled(key)) << key;
    EXPECT_FALSE(enabled("b_copy"));
    EXPECT_FALSE(enabled("b_cut"));
    w.ToolbarButton(QStringLiteral("b_undo"))->trigger();  // a disabled button would run nothing
    ASSERT_FALSE(editor_->CommandsRun().isEmpty());
    EXPECT_EQ(editor_->CommandsRun().back().command, decmd::kUndo);

    // Everything selected: copy and cut are offered.
    Push({{decmd::kCopy, 3}, {decmd::kCut, 3}, {decmd::kUndo, 1}});
    EXPECT_TRUE(enabled("b_copy"));
    EXPECT_TRUE(enabled("b_cut"));
    EXPECT_FALSE(enabled("b_undo"));

    // Out of edit mode a late status enables nothing.
    Leave();
    Push({{decmd::kCopy, 3}, {decmd::kUndo, 3}});
    EXPECT_FALSE(enabled("b_copy"));
    EXPECT_FALSE(enabled("b_undo"));
}

class FakePage : public PagePropertiesDocument {
public:
    PageProperties ReadPageProperties() override { return page; }
    void WritePageProperties(const PageProperties& p) override {
        page = p;
        ++writes;
    }
    PageProperties page;
    int writes = 0;
};

TEST_F(DsptreePageEditorTest, PagePropertiesApplyWithoutClosingAndCancelledDialogsKeepValues) {
    FakePage document;
    document.page.title = QStringLiteral("甲");
    document.page.colours = {QStringLiteral("#00ff00"), QString(), QStringLiteral("red"),
                             QStringLiteral("#FFF"), QStringLiteral("nonsense")};
    document.page.background = QStringLiteral("/bg.jpg");
    frmProp form(document);
    form.Form_Load();
    form.Form_Activate();
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("txtTitle"))->text(), QStringLiteral("甲"));
    EXPECT_EQ(form.SwatchColour(1), 0x00FF00u);
    EXPECT_EQ(form.SwatchColour(2), 0u);     // unset: the page's black text
    EXPECT_EQ(form.SwatchColour(5), 0xFFu);  // not a colour: the usual red
    auto* chkImage = form.findChild<QCheckBox*>(QStringLiteral("ChkImage"));
    auto* chkFix = form.findChild<QCheckBox*>(QStringLiteral("chkFix"));
    EXPECT_TRUE(chkImage->isChecked());

    ui_->ExpectColor(std::nullopt);
    form.pic_Click(1);
    EXPECT_EQ(form.SwatchColour(1), 0x00FF00u);
    ui_->ExpectColor(0xFF0000u);
    form.pic_Click(2);
    ui_->ExpectOpenFile(QString());
    form.cmdBrowse_Click();
    chkFix->setChecked(true);
    if (const QString shots = qEnvironmentVariable("QENTARA_SCREENSHOT_DIR"); !shots.isEmpty())
        form.grab().save(QDir(shots).filePath(QStringLiteral("frm_prop.png")));
    form.CmdApply_Click();
    EXPECT_EQ(document.writes, 1);
    EXPECT_EQ(form.result(), 0);  // still open
    const std::array<QString, 5> colours{QStringLiteral("#00FF00"), QStringLiteral("#0000FF"),
                                         QStringLiteral("#FF0000"), QStringLiteral("#FFFFFF"),
                                         QStringLiteral("#FF0000")};
    EXPECT_EQ(document.page.colours, colours);
    EXPECT_EQ(document.page.background, QStringLiteral("/bg.jpg"));
    EXPECT_TRUE(document.page.fixedBackground);
    EXPECT_EQ(document.page.title, QStringLiteral("甲"));

    chkImage->setChecked(false);
    form.ChkImage_Click();
    EXPECT_FALSE(form.findChild<QLineEdit*>(QStringLiteral("txtBImage"))->isEnabled());
    form.CmdOK_Click();
    EXPECT_EQ(form.result(), int(QDialog::Accepted));
    EXPECT_EQ(document.page.background, QString());
    EXPECT_FALSE(document.page.fixedBackground);

    ui_->ExpectOpenFile(QStringLiteral("/pics/底.png"));
    form.cmdBrowse_Click();
    EXPECT_TRUE(chkImage->isChecked());
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("txtBImage"))->text(),
              QStringLiteral("/pics/底.png"));
}

TEST_F(DsptreePageEditorTest, PagePropertiesMenuItemShowsTheDialogOnTheEditor) {
    dsptree& w = *window_;
    Enter(QStringLiteral("甲"));
    ui_->ExpectForm(QStringLiteral("frmProp"), [](QObject* form) {
        auto* dialog = qobject_cast<frmProp*>(form);
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return 0;
        dialog->Form_Activate();
        dialog->CmdOK_Click();
        return 1;
    });
    w.MenuItem(QStringLiteral("edit_pagebg"))->trigger();
    EXPECT_EQ(editor_->ReadPageProperties().colours[0], QStringLiteral("#FFFFFF"));
}

}  // namespace
