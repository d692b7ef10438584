#include <gtest/gtest.h>
#include <QFile>
#include <QMenu>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QTest>

#include "dsptree_fixture.h"
#include "frame/text_utils.h"
#include "platform/bookdir.h"

namespace {

// 甲 ─┬─ 乙 ── 丁
//     └─ 丙 ── 戊 (no generation number)
class DsptreeTreeViewTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        Add(QStringLiteral("甲"), QString(), 1);
        Add(QStringLiteral("乙"), QStringLiteral("甲"), 2);
        Add(QStringLiteral("丙"), QStringLiteral("甲"), 2, false);
        Add(QStringLiteral("丁"), QStringLiteral("乙"), 3);
        Add(QStringLiteral("戊"), QStringLiteral("丙"));
        QString page = QStringLiteral("<html><body><p>乙的生平</p></body></html>");
        ops_->SaveAnyHtml(page, QStringLiteral("乙"));
        Open();
    }
    QString PageFile() { return GetAppPath() + QStringLiteral("ltmp.htm"); }
    // The tree as "key<parent" in node order.
    QStringList Shape() {
        QStringList out;
        for (int i = 1; i <= Nodes().Count(); ++i) out << Nodes().KeyAt(i) + "<" + Nodes().ParentKeyAt(i);
        return out;
    }
};

TEST_F(DsptreeTreeViewTest, ClickShowsTheStoredPageOrABlankOne) {
    dsptree& w = *window_;
    Click(QStringLiteral("乙"));
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), PageFile());
    EXPECT_EQ(w.ViewerTag(), QStringLiteral("0"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("乙"));
    EXPECT_EQ(App().FormParamString, QStringLiteral("乙"));
    EXPECT_EQ(App().SelectedNodeIndex, Nodes().IndexOf(QStringLiteral("_乙")));
    EXPECT_EQ(Nodes().ImageAt(App().SelectedNodeIndex), 4);
    QFile file(PageFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QStringDecoder("GB18030").decode(file.readAll()).operator QString().contains("乙的生平"));

    Click(QStringLiteral("丙"));
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(w.ViewerTag(), QStringLiteral("-1"));
    EXPECT_EQ(Nodes().ImageAt(Nodes().IndexOf(QStringLiteral("_乙"))), 1);  // its own picture back
    EXPECT_EQ(Nodes().ImageAt(Nodes().IndexOf(QStringLiteral("_丙"))), 4);

    // The member already shown: no page is written again.
    QFile::remove(PageFile());
    Click(QStringLiteral("丙"));
    Click(QStringLiteral("乙"));
    Click(QStringLiteral("乙"));
    EXPECT_TRUE(QFile::exists(PageFile()));
    QFile::remove(PageFile());
    Click(QStringLiteral("乙"));
    EXPECT_FALSE(QFile::exists(PageFile()));
}

TEST_F(DsptreeTreeViewTest, KeyboardAndMouseSelectionGoThroughTheClick) {
    dsptree& w = *window_;
    w.TreeVw()->setCurrentItem(Node(QStringLiteral("甲")));
    w.SetEditMode(true);
    w.ShowEditor();
    QTest::keyClick(w.TreeVw(), Qt::Key_Down);
    EXPECT_FALSE(w.EditMode());  // left, and the page stored, before another member is shown
    EXPECT_EQ(w.PageArea()->currentWidget(), w.WebBrowser1());
    EXPECT_EQ(w.TreeTag(), TextAfterBrace(w.TreeVw()->currentItem()->text(0)));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("乙"));
    QTest::mouseClick(w.TreeVw()->viewport(), Qt::LeftButton, {}, Twips(QStringLiteral("丙")) / 15);
    EXPECT_EQ(w.TreeTag(), QStringLiteral("丙"));
    // A right press opens the node items of the menu and leaves the selection alone.
    QTest::mousePress(w.TreeVw()->viewport(), Qt::RightButton, {}, Twips(QStringLiteral("甲")) / 15);
    ASSERT_EQ(popups_.size(), 1u);
    EXPECT_EQ(w.TreeVw()->currentItem(), Node(QStringLiteral("丙")));
    EXPECT_TRUE(w.MenuItem(QStringLiteral("node_deleteAll"))->isVisible());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("node_sp9"))->isVisible());
    EXPECT_FALSE(w.MenuItem(QStringLiteral("edit_cut"))->isVisible());
    EXPECT_TRUE(w.MenuItem(QStringLiteral("node_Uploadinfo_1"))->isEnabled());
    EXPECT_TRUE(w.TreeVw_BeforeLabelEdit());
}

TEST_F(DsptreeTreeViewTest, DropMovesTheMemberUnderItsNewFather) {
    dsptree& w = *window_;
    w.TreeVw_MouseDown(1, Twips(QStringLiteral("丁")));
    EXPECT_FALSE(w.TreeVw_MouseMove(1, Twips(QStringLiteral("丁")) + QPoint(50, 0)));
    EXPECT_FALSE(w.Dragging());
    ui_->ExpectMsgBox(vb::Yes);
    Drag(QStringLiteral("丁"), QStringLiteral("丙"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("是否确定要将 丁 拖动到 丙下？"));
    EXPECT_EQ(LastDialog().style, vb::YesNo + vb::Exclamation + vb::DefaultButton2);
    EXPECT_EQ(FatherOf(QStringLiteral("丁")), QStringLiteral("丙"));
    EXPECT_EQ(ParentOf(QStringLiteral("丁")), QStringLiteral("_丙"));
    EXPECT_TRUE(App().RepaginateNeeded);
    EXPECT_EQ(PageStartStore().HighestPage(), 0);  // every page from the current one is cut again
    EXPECT_FALSE(w.Dragging());
    EXPECT_EQ(w.DragNodeKey(), QString());
    EXPECT_EQ(w.DropHighlightKey(), QString());
}

TEST_F(DsptreeTreeViewTest, RefusedDropsChangeNothing) {
    dsptree& w = *window_;
    const QStringList shape = Shape();
    App().RepaginateNeeded = false;
    // A member uploaded and protected by another account.
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"mysql_id\" = 9, \"filial_protect\" = 1, "
                       "\"myacc_id\" = 77 WHERE \"filial\" = '丁'"));
    App().CurrentUser->acc_id = 5;
    ui_->ExpectMsgBox(vb::OK);
    Drag(QStringLiteral("丁"), QStringLiteral("丙"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("创建者不允许拖动！"));
    EXPECT_EQ(LastDialog().style, vb::Critical);

    Drag(QStringLiteral("乙"), QStringLiteral("乙"));  // onto itself: nothing is asked

    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::OK);
    Drag(QStringLiteral("乙"), QStringLiteral("丁"));  // onto its own son
    EXPECT_EQ(LastDialog().text, QStringLiteral("不能移到自己或自己的后代之下！"));

    ui_->ExpectMsgBox(vb::No);
    Drag(QStringLiteral("丙"), QStringLiteral("乙"));

    EXPECT_EQ(FatherOf(QStringLiteral("丁")), QStringLiteral("乙"));
    EXPECT_EQ(FatherOf(QStringLiteral("乙")), QStringLiteral("甲"));
    EXPECT_EQ(FatherOf(QStringLiteral("丙")), QStringLiteral("甲"));
    EXPECT_EQ(Shape(), shape);
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_FALSE(w.Dragging());
}

TEST_F(DsptreeTreeViewTest, ADescendantIsFoundInTheDataNotOnlyOnThePage) {
    // 庚 is 丁's son in the book, shown apart from its line on this page.
    Add(QStringLiteral("庚"), QStringLiteral("丁"), 4);
    Nodes().Add(QString(), QStringLiteral("_庚"), QStringLiteral("庚"));
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::OK);
    Drag(QStringLiteral("乙"), QStringLiteral("庚"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("不能移到自己或自己的后代之下！"));
    EXPECT_EQ(FatherOf(QStringLiteral("乙")), QStringLiteral("甲"));
    EXPECT_EQ(ParentOf(QStringLiteral("乙")), QStringLiteral("_甲"));
}

TEST_F(DsptreeTreeViewTest, GenerationLabelsComeAndGoWithoutTouchingKeys) {
    dsptree& w = *window_;
    w.WriteGenerationLabels(1, true);
    QStringList texts;
    for (int i = 1; i <= Nodes().Count(); ++i) texts << Nodes().TextAt(i);
    EXPECT_EQ(texts, (QStringList{"{1}甲", "{2}乙", "{2}丙", "{3}丁", "戊"}));
    EXPECT_EQ(Nodes().KeyAt(2), QStringLiteral("_乙"));
    Click(QStringLiteral("乙"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("乙"));
    w.WriteGenerationLabels(Nodes().IndexOf(QStringLiteral("_乙")), false);
    EXPECT_EQ(Nodes().TextAt(Nodes().IndexOf(QStringLiteral("_丁"))), QStringLiteral("丁"));
    EXPECT_EQ(Nodes().TextAt(1), QStringLiteral("{1}甲"));
    w.WriteGenerationLabels(1, false);
    for (int i = 1; i <= Nodes().Count(); ++i) EXPECT_EQ("_" + Nodes().TextAt(i), Nodes().KeyAt(i));
}

TEST_F(DsptreeTreeViewTest, ViewerLoadsSetDocumentLoaded) {
    dsptree& w = *window_;
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("乙"));
    EXPECT_TRUE(w.DocumentLoaded());
}

}  // namespace
