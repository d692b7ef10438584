#include <gtest/gtest.h>
#include <QComboBox>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QToolBar>
#include <stdexcept>

#include "dsptree_fixture.h"
#include "mainwin/forms/frm_little.h"
#include "mainwin/tree_pages.h"
#include "platform/interaction/form_registry.h"
#include "store/test_data_generator.h"

namespace {

// Five lines of single sons over 20 generations and ten childless roots, 5 members a page: page k
// starts with generation k-1 of the lines (page 1 with all the roots), and the book ends on page 21
// although its 115 members let the window expect 23.
class DsptreeMainToolbarTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        ClsTest().生成测试数据(20);
        for (int i = 1; i <= 10; ++i) Add(QStringLiteral("Z%1").arg(i), QString());
        SetNodesPerPage(5);
    }
    // The page prompt answers; it records what it was asked.
    void ChoosePage(const QString& answer) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [this, answer](QObject*) {
            asked_ << App().FormParamString + "|" + App().FormParamString2;
            App().FormParamString = answer;
            return 1;
        });
    }
    void Turn(const char* key, const QString& answer) {
        ChoosePage(answer);
        window_->TbarOP_ButtonClick(QString::fromLatin1(key));
    }
    // A page beyond the book: the last page is shown, and a message says which it is.
    void TurnPastTheEnd(const char* key, const QString& answer) {
        ChoosePage(answer);
        ui_->ExpectMsgBox(vb::OK);
        window_->TbarOP_ButtonClick(QString::fromLatin1(key));
    }
    QString FirstKey() { return Nodes().KeyAt(1); }
    QStringList asked_;
};

TEST_F(DsptreeMainToolbarTest, ForwardWalkPastTheEndStopsOnTheLastPage) {
    dsptree& w = Open();
    EXPECT_EQ(w.PageCount(), 23);
    EXPECT_TRUE(App().RepaginateNeeded);
    Turn("NextPage", QStringLiteral("6"));
    EXPECT_EQ(asked_.last(), QStringLiteral("23|2"));
    EXPECT_EQ(App().CurrentPage, 6);
    EXPECT_EQ(FirstKey(), QStringLiteral("_A5"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 6 页"));
    EXPECT_TRUE(App().RepaginateNeeded);

    TurnPastTheEnd("NextPage", QStringLiteral("23"));
    EXPECT_EQ(ui_->log().back().text, QStringLiteral("最后一页是第 21 页"));
    EXPECT_EQ(ui_->log().back().style, vb::Information);
    EXPECT_EQ(App().CurrentPage, 21);
    EXPECT_EQ(w.PageCount(), 21);
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(FirstKey(), QStringLiteral("_A20"));
    EXPECT_EQ(Nodes().Count(), 5);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 21 页"));
    EXPECT_EQ(App().SelectedNodeIndex, 0);
    EXPECT_EQ(App().FormParamString, QString());

    // On the last page Next asks nothing; Previous offers the page before.
    w.TbarOP_ButtonClick(QStringLiteral("NextPage"));
    Turn("Previous", QStringLiteral("2"));
    EXPECT_EQ(asked_.last(), QStringLiteral("21|20"));
    EXPECT_EQ(FirstKey(), QStringLiteral("_A1"));
}

// With every page recorded the last page is known: the prompt offers only the pages there are, and a
// page typed beyond them shows the last one and says so.
TEST_F(DsptreeMainToolbarTest, KnownStartsWithoutStalenessShowTheLastRecordedPage) {
    dsptree& w = Open();
    Turn("NextPage", QStringLiteral("7"));
    PageStartStore().TruncateAfter(7);
    App().RepaginateNeeded = false;
    w.SetPageCount(9);
    Turn("Previous", QStringLiteral("3"));
    EXPECT_EQ(asked_.last(), QStringLiteral("7|6"));
    TurnPastTheEnd("NextPage", QStringLiteral("9"));
    EXPECT_EQ(asked_.last(), QStringLiteral("7|4"));
    EXPECT_EQ(ui_->log().back().text, QStringLiteral("最后一页是第 7 页"));
    EXPECT_EQ(App().CurrentPage, 7);
    EXPECT_EQ(FirstKey(), QStringLiteral("_A6"));
    EXPECT_EQ(w.PageCount(), 7);
}

TEST_F(DsptreeMainToolbarTest, PreviousBeyondTheRecordedPagesWalksForward) {
    dsptree& w = Open();
    Turn("NextPage", QStringLiteral("3"));
    PageStartStore().TruncateAfter(3);  // as a change of the tree leaves them
    Turn("Previous", QStringLiteral("8"));
    EXPECT_EQ(App().CurrentPage, 8);
    EXPECT_EQ(FirstKey(), QStringLiteral("_A7"));
    EXPECT_EQ(Nodes().Count(), 10);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 8 页"));
}

TEST_F(DsptreeMainToolbarTest, ThePromptOffersTheNeighbouringPage) {
    FrmLittle::RegisterForm();
    // Later cases of this program script the prompt themselves.
    const auto unregister = qScopeGuard([] { FormRegistry::Unregister(QStringLiteral("FrmLittle")); });
    dsptree& w = Open();
    Turn("NextPage", QStringLiteral("3"));
    for (const auto& [key, offered] : {std::pair{"NextPage", "4"}, std::pair{"Previous", "2"}}) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [&](QObject* form) {
            auto* little = qobject_cast<FrmLittle*>(form);
            EXPECT_EQ(little->RunType(), 4);
            auto* combo = little->findChild<QComboBox*>(QStringLiteral("Cmb指定为"));
            EXPECT_EQ(combo->currentText(), QString::fromLatin1(offered)) << key;
            EXPECT_EQ(combo->count(), 23);
            little->CmdCancel_Click();
            return 0;
        });
        w.TbarOP_ButtonClick(QString::fromLatin1(key));
        EXPECT_EQ(App().CurrentPage, 3);
    }
}

TEST_F(DsptreeMainToolbarTest, InvalidChoicesTurnNoPage) {
    dsptree& w = Open();
    Turn("NextPage", QStringLiteral("3"));
    const QString caption = w.windowTitle();
    QTreeWidgetItem* first = Node(QStringLiteral("A2"));
    for (const char* key : {"NextPage", "Previous"})
        for (const char* answer : {"", "-3", "0", "000", "abc", "2.5", " "}) {
            Turn(key, QString::fromLatin1(answer));
            EXPECT_EQ(App().CurrentPage, 3) << key << answer;
            EXPECT_EQ(Node(QStringLiteral("A2")), first) << key << answer;  // the tree was not rebuilt
        }
    EXPECT_EQ(w.windowTitle(), caption);
    // On page 1 Previous asks nothing (a dialog nobody expects would throw).
    Turn("Previous", QStringLiteral("1"));
    EXPECT_NO_THROW(w.TbarOP_ButtonClick(QStringLiteral("Previous")));
    EXPECT_EQ(App().CurrentPage, 1);
}

// While the last page is not known, a page beyond the window's estimate (or beyond any page) is found
// by walking to the end of the book, from either button; the last page is shown and named.
TEST_F(DsptreeMainToolbarTest, APageBeyondTheEstimateWalksToTheLastPageAndSaysSo) {
    dsptree& w = Open();
    struct Case {
        const char* key;
        const char* answer;
    };
    for (const Case c : {Case{"NextPage", "24"}, Case{"NextPage", "99999"}, Case{"NextPage", "0099999"},
                         Case{"NextPage", "99999999999999999999999"}, Case{"Previous", "30"}}) {
        SCOPED_TRACE(std::string(c.key) + " " + c.answer);
        // A fresh book's state: page 1 recorded, the division stale, the count estimated.
        PageStartStore().TruncateAfter(1);
        App().RepaginateNeeded = true;
        w.SetPageCount(23);
        App().CurrentPage = std::string(c.key) == "Previous" ? 3 : 1;
        TurnPastTheEnd(c.key, QString::fromLatin1(c.answer));
        EXPECT_EQ(ui_->log().back().text, QStringLiteral("最后一页是第 21 页"));
        EXPECT_EQ(App().CurrentPage, 21);
        EXPECT_EQ(w.PageCount(), 21);
        EXPECT_FALSE(App().RepaginateNeeded);
        EXPECT_EQ(FirstKey(), QStringLiteral("_A20"));
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 21 页"));
    }
    EXPECT_EQ(asked_.first(), QStringLiteral("23|2"));
    EXPECT_EQ(asked_.last(), QStringLiteral("23|2"));
}

TEST_F(DsptreeMainToolbarTest, ToolbarsComeBackAfterAnError) {
    dsptree& w = Open();
    ui_->ExpectForm(QStringLiteral("FrmLittle"), [&](QObject*) -> int {
        EXPECT_FALSE(w.TbarOP()->isEnabled());
        EXPECT_FALSE(w.TbarOpEx()->isEnabled());
        throw std::runtime_error("prompt failed");
    });
    EXPECT_THROW(w.TbarOP_ButtonClick(QStringLiteral("NextPage")), std::runtime_error);
    EXPECT_TRUE(w.TbarOP()->isEnabled());
    EXPECT_TRUE(w.TbarOpEx()->isEnabled());
}

TEST_F(DsptreeMainToolbarTest, APageTurnInEditModeStoresThePageAndShowsTheViewer) {
    dsptree& w = Open();
    Click(QStringLiteral("A1"));
    for (const bool fileOpened : {false, true}) {
        w.SetEditMode(true);
        w.ShowEditor();
        w.SetEditingButtonsEnabled(true);
        w.SetFOpenTag(fileOpened ? QStringLiteral("/tmp/x.htm") : QString());
        if (fileOpened) ui_->ExpectMsgBox(vb::No);
        Turn("NextPage", QString());  // cancelled: the page stays, edit mode is left all the same
        EXPECT_FALSE(w.EditMode());
        EXPECT_EQ(w.PageArea()->currentWidget(), w.WebBrowser1());
        EXPECT_FALSE(w.ToolbarButton(QStringLiteral("b_copy"))->isEnabled());
    }
    EXPECT_EQ(ui_->log()[ui_->log().size() - 2].text,
              QStringLiteral("您是否决定将正在编辑的内容保存在当前结点（ A1 ）中？"));
    EXPECT_EQ(ui_->log()[ui_->log().size() - 2].style, vb::YesNo + vb::Exclamation + vb::DefaultButton2);
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), QStringLiteral("/tmp/x.htm"));

    w.SetFOpenTag(QString());
    Turn("NextPage", QStringLiteral("2"));
    EXPECT_EQ(w.WebBrowser1()->LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(w.TreeTag(), QString());  // a click on any member of page 2 shows its page
}

TEST_F(DsptreeMainToolbarTest, AnEmptyTreeLetsOnlyTheServerButtonsReact) {
    Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
    PageStartStore().TruncateAfter(0);
    dsptree& w = Open();
    ASSERT_EQ(Nodes().Count(), 0);
    for (const char* key : {"Previous", "NextPage", "online", "b_edit", "b_exit", "b_saveas", "b_load",
                            "b_lineoff", "b_syssetup", "b_find"})
        EXPECT_TRUE(w.ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    w.ToolbarButton(QStringLiteral("b_edit"))->trigger();  // the click flips the button first
    EXPECT_FALSE(w.EditMode());
    App().CurrentUser->Logoned = true;
    // b_down always asks for the log-on (nothing ticked there: nothing more); b_group needs no tree.
    ui_->ExpectForm(QStringLiteral("FrmLogon"), [](QObject*) { return 1; });
    ui_->ExpectForm(QStringLiteral("FrmGroupList"), {});
    for (QAction* button : w.TbarOP()->actions())
        if (!button->objectName().isEmpty()) w.TbarOP_ButtonClick(button->objectName());
    ASSERT_EQ(ui_->log().size(), 2u);
    EXPECT_EQ(ui_->log().front().text, QStringLiteral("FrmLogon"));
    for (const char* key : {"b_saveas", "b_lineoff", "b_print"})
        w.TbarOpEx_ButtonClick(QString::fromLatin1(key));
    EXPECT_EQ(ui_->log().size(), 2u);
    ui_->ExpectOpenFile(QString());
    w.TbarOpEx_ButtonClick(QStringLiteral("b_load"));
    ui_->ExpectForm(QStringLiteral("FrmLittle"), {});
    w.TbarOpEx_ButtonClick(QStringLiteral("b_find"));
    EXPECT_TRUE(w.TbarOP()->isEnabled());
    EXPECT_TRUE(w.TbarOpEx()->isEnabled());
}

TEST_F(DsptreeMainToolbarTest, FindAsksForANameAndTurnsToItsPage) {
    dsptree& w = Open();
    ui_->ExpectForm(QStringLiteral("FrmLittle"), [](QObject*) {
        EXPECT_EQ(App().LittleRunType, 7);
        App().FormParamString = QStringLiteral(" C7 ");
        return 1;
    });
    ui_->ExpectForm(QStringLiteral("Frm子女"), [](QObject*) {
        App().FormParamString = QStringLiteral("ok");
        return 1;
    });
    ui_->ExpectMsgBox(vb::Yes);
    w.TbarOpEx_ButtonClick(QStringLiteral("b_find"));
    EXPECT_EQ(App().CurrentPage, 7);
    EXPECT_EQ(w.TreeTag(), QStringLiteral("C7"));
    EXPECT_EQ(w.TreeVw()->currentItem(), Node(QStringLiteral("C7")));

    ui_->ExpectForm(QStringLiteral("FrmLittle"), {});  // cancelled: nothing is searched
    w.TbarOpEx_ButtonClick(QStringLiteral("b_find"));
    EXPECT_EQ(App().CurrentPage, 7);
}

}  // namespace
