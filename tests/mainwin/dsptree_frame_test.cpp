#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QToolBar>

#include "dsptree_fixture.h"
#include "frame/language.h"
#include "mainwin/forms/glyph_icons.h"
#include "mainwin/tree_pages.h"

namespace {

using DsptreeFrameTest = DsptreeFixture;

TEST_F(DsptreeFrameTest, StartUpCountsPagesAndShowsThePageOne) {
    SetNodesPerPage(5);
    struct Case {
        int members, pages;
    };
    for (const Case c : {Case{23, 5}, Case{25, 5}, Case{26, 6}}) {
        Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        PageStartStore().TruncateAfter(0);
        Add(QStringLiteral("甲"), QString(), 1);
        for (int i = 1; i < c.members; ++i) Add(QStringLiteral("甲%1").arg(i), QStringLiteral("甲"), 2);
        dsptree& w = Open();
        EXPECT_EQ(App().NodesPerPage, 5);
        EXPECT_EQ(w.PageCount(), c.pages) << c.members;
    }
    dsptree& w = *window_;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 1 页"));
    EXPECT_EQ(Nodes().KeyAt(1), QStringLiteral("_甲"));
    EXPECT_EQ(Nodes().Count(), 26);  // a member expanded shows all its children
    EXPECT_EQ(App().CurrentPage, 1);
    EXPECT_EQ(App().SelectedNodeIndex, 0);
    EXPECT_EQ(App().FormParamString, QString());
    EXPECT_EQ(w.TreeTag(), QString());
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(w.PageArea()->currentWidget(), w.WebBrowser1());
    EXPECT_FALSE(launcher_->isVisible());
    // Buttons exist under their keys; those whose commands are not there yet are disabled.
    for (const char* key : {"b_copy", "b_font", "node_script"}) {
        ASSERT_NE(w.ToolbarButton(QString::fromLatin1(key)), nullptr) << key;
        EXPECT_FALSE(w.ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    }
    // The page editor's: edit mode, and the buttons usable in both modes.
    for (const char* key : {"b_edit", "b_2find", "f_open", "f_save", "f_print"})
        EXPECT_TRUE(w.ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    EXPECT_EQ(w.ToolbarButton(QStringLiteral("b_saveas"))->text(), QStringLiteral("从当前结点备份"));
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_edit"))->isCheckable());
}

TEST_F(DsptreeFrameTest, SettingsListGivesNodesPerPage) {
    struct Case {
        const char* list;
        int nodes;
    };
    for (const Case c :
         {Case{"%%%%12%%%", 12}, Case{"%%%%4%%%", kDefaultNodesPerPage},
          Case{"%%%%abc", kDefaultNodesPerPage}, Case{"%%%", kDefaultNodesPerPage}, Case{"%%%%5.5%", 6}})
        EXPECT_EQ(NodesPerPageFromSettings(QString::fromLatin1(c.list)), c.nodes) << c.list;
}

TEST_F(DsptreeFrameTest, OnlyTrueMeansThePagesAreStale) {
    SetNodesPerPage(5);
    Add(QStringLiteral("甲"), QString(), 1);
    for (int i = 1; i < 10; ++i) Add(QStringLiteral("甲%1").arg(i), QStringLiteral("甲"), 2);
    ops_->Find世祖(0, QString());  // page starts recorded: the load has none to cut
    for (const auto& [stored, stale] :
         {std::pair{"True", true}, std::pair{"true", false}, std::pair{"", false}}) {
        SaveAppSetting(QStringLiteral("dividerpage"), QString::fromLatin1(stored));
        Open();
        EXPECT_EQ(App().RepaginateNeeded, stale) << stored;
    }
}

TEST_F(DsptreeFrameTest, ClosingIsRefusedInEditModeAndOtherwiseBringsTheLauncherBack) {
    Add(QStringLiteral("甲"), QString(), 1);
    dsptree& w = Open();
    w.SetEditMode(true);
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(w.close());
    EXPECT_EQ(LastDialog().text, QStringLiteral("若要退出,请点击一下其它结点以保存所编辑的内容！"));
    EXPECT_EQ(LastDialog().style, vb::Exclamation);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(GetAppSetting(QStringLiteral("dividerpage")), QString());

    w.SetEditMode(false);
    App().RepaginateNeeded = true;
    EXPECT_TRUE(w.close());
    EXPECT_EQ(GetAppSetting(QStringLiteral("dividerpage")), QStringLiteral("True"));
    EXPECT_TRUE(launcher_->isVisible());
}

TEST_F(DsptreeFrameTest, FunctionKeysRunTheNodeCommandsAndNothingElse) {
    Add(QStringLiteral("甲"), QString(), 1);
    dsptree& w = Open();
    // Each key opens the member form (a root's sibling is a new first ancestor); all are cancelled.
    const auto cancelForm = [this] {
        ui_->ExpectForm(QStringLiteral("Frm子女"), [](QObject*) {
            App().FormParamString.clear();
            return 0;
        });
    };
    for (int shown = 0; shown < 3; ++shown) cancelForm();
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F4), QStringLiteral("node_tongbei"));
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F5), QStringLiteral("node_zhilu"));
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F6), QStringLiteral("node_edit"));
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F7), QString());
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_A), QString());

    // In edit mode the editor keeps the keys while it has the focus.
    QApplication::setActiveWindow(&w);
    w.SetEditMode(true);
    w.ShowEditor();
    w.DHTMLEdit1()->setFocusPolicy(Qt::StrongFocus);
    w.DHTMLEdit1()->setFocus();
    if (QApplication::focusWidget() != w.DHTMLEdit1()) GTEST_SKIP() << "no focus offscreen";
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F5), QString());
    w.TreeVw()->setFocus();
    cancelForm();
    EXPECT_EQ(w.Form_KeyDown(Qt::Key_F5), QStringLiteral("node_zhilu"));
    w.SetEditMode(false);
}

TEST_F(DsptreeFrameTest, LayoutKeepsEditingButtonsOnlyInEditMode) {
    Add(QStringLiteral("甲"), QString(), 1);
    dsptree& w = Open();
    w.SetEditingButtonsEnabled(true);
    w.SetEditMode(true);
    w.Form_Resize();
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_copy"))->isEnabled());
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_font"))->isEnabled());
    w.SetEditMode(false);
    w.Form_Resize();
    EXPECT_TRUE(w.ToolbarButton(QStringLiteral("b_2find"))->isEnabled());  // not an editing button
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_copy"))->isEnabled());
    EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_font"))->isEnabled());
}

// Under a window manager the frame goes around the client area: the window asks to be maximized, with a
// normal size inside the screen's free area, and asks again when the manager maps it unmaximized.
TEST_F(DsptreeFrameTest, OpensMaximizedWithItsFrameOnTheScreen) {
    Add(QStringLiteral("甲"), QString(), 1);
    dsptree& w = Open();
    const QRect free = w.screen()->availableGeometry();
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    const QRect normal = w.normalGeometry();
    EXPECT_TRUE(free.contains(normal)) << normal.x() << "," << normal.y();
    EXPECT_LT(normal.width(), free.width());
    EXPECT_LT(normal.height(), free.height());

    w.setWindowState(Qt::WindowNoState);  // as the manager reports the window it mapped
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(w.windowState() & Qt::WindowMaximized); }, 2000));

    // Once the window is active, a change of state is the user's own and stays.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w, 2000));
    w.setWindowState(Qt::WindowNoState);
    QTest::qWait(50);
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
}

// The Traditional interface draws the buttons' glyphs in Traditional as it writes their captions: a glyph
// from the caption as the caption reads, any other converted by itself.
TEST_F(DsptreeFrameTest, ButtonPicturesFollowTheInterfaceLanguage) {
    Add(QStringLiteral("甲"), QString(), 1);
    App().Translator = std::make_shared<ClsLanguage>();
    struct Case {
        const char* key;
        const char* simplified;
        const char* traditional;
    };
    const Case cases[] = {{"b_saveas", "备", "備"},    {"b_syssetup", "设", "設"},
                          {"f_open", "开", "開"},      {"b_img", "图", "圖"},
                          {"b_edit", "编", "編"},      {"b_copy", "复", "複"},
                          {"b_delete", "删", "刪"},    {"b_unent", "减", "減"},
                          {"b_ent", "缩", "縮"},       {"node_del", "删", "刪"},
                          {"node_script", "写", "寫"}, {"node_chm", "书", "書"},
                          {"b_undo", "撤", "撤"},      {"b_b", "B", "B"}};
    QImage selected[2];  // the picture of the selected member: 选, 選
    for (const int language : {0, 1}) {
        App().LanguageId = language;
        App().PrevLanguageId = 0;
        dsptree& w = Open();
        Click(QStringLiteral("甲"));
        selected[language] = Node(QStringLiteral("甲"))->icon(0).pixmap(32).toImage();
        for (const Case& c : cases) {
            QAction* button = w.ToolbarButton(QString::fromLatin1(c.key));
            const QString glyph = QString::fromUtf8(language == 1 ? c.traditional : c.simplified);
            EXPECT_EQ(button->property("glyph").toString(), glyph) << c.key << language;
            const QColor colour = button->property("glyphColour").value<QColor>();
            EXPECT_EQ(button->icon().pixmap(32).toImage(), GlyphIcon(glyph, colour).pixmap(32).toImage())
                << c.key << language;
        }
        EXPECT_EQ(w.ToolbarButton(QStringLiteral("b_saveas"))->text(),
                  language == 1 ? QStringLiteral("從當前結點備份") : QStringLiteral("从当前结点备份"));
    }
    EXPECT_FALSE(selected[0].isNull());
    EXPECT_NE(selected[0], selected[1]);
}

}  // namespace
