#include <QMenu>

#include "node_commands_fixture.h"
#include "store/page_start_store.h"

namespace {

using MemberCommandsTest = NodeCommandsFixture;

TEST_F(MemberCommandsTest, AnEmptyTreeTakesOnlyAFirstAncestorAndThatOnPageOne) {
    Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
    dsptree& w = Open();
    for (const char* key : {"node_tongbei", "node_zhilu", "node_edit", "node_del", "node_up", "node_down",
                            "node_sort", "node_chm"})
        Press(key);
    for (QAction* item : w.nodemenu()->actions())
        if (item->isEnabled() && item->objectName().startsWith(QStringLiteral("node_"))) item->trigger();
    EXPECT_TRUE(ui_->log().empty());

    App().CurrentPage = 2;
    ui_->ExpectMsgBox(vb::OK);
    Press("node_new");
    EXPECT_EQ(LastDialog().text, QStringLiteral("只有在第一页才能创建新谱始祖！"));
    EXPECT_EQ(LastDialog().style, vb::Critical);
    App().CurrentPage = 1;
    ExpectMemberForm(QStringLiteral("张一"));
    Press("node_new");
    EXPECT_EQ(Shape(), QStringList{"_张一<"});
    EXPECT_TRUE(Exists(QStringLiteral("张一")));
    EXPECT_TRUE(App().RepaginateNeeded);
}

TEST_F(MemberCommandsTest, DeletingAMiddleMemberMovesItsChildrenUpWithItsMother) {
    dsptree& w = Open();
    Select(QStringLiteral("乙"));
    Press("node_del");
    EXPECT_FALSE(Exists(QStringLiteral("乙")));
    for (const QString& child : {QStringLiteral("丁"), QStringLiteral("戊")}) {
        EXPECT_EQ(Column(child, "father"), QStringLiteral("甲"));
        EXPECT_EQ(Column(child, "mother"), QStringLiteral("李氏"));
    }
    EXPECT_EQ(Children(QStringLiteral("甲")), QStringList({"丙", "丁", "戊"}));
    EXPECT_EQ(App().SelectedNodeIndex, 0);
    EXPECT_EQ(w.TreeTag(), QString());  // no page may be stored under the deleted member
    EXPECT_TRUE(App().RepaginateNeeded);
}

TEST_F(MemberCommandsTest, DeletingARootAsksAndTakesExactlyItsBranchAlsoWhenLastNumbered) {
    Open();
    Select(QStringLiteral("甲"));
    // The root was the last one numbered, and a stale mark with the same number lies on another root.
    App().RootAncestorName = QStringLiteral("甲");
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = ? WHERE \"filial\" = '庚'"),
                 {App().SelectedNodeIndex});
    ui_->ExpectMsgBox(vb::No);
    Press("node_del");
    EXPECT_EQ(LastDialog().text,
              QStringLiteral("甲是根结点始祖，删除它将删除所有子代数据，\n\n您是否已下定决心删除它？"));
    EXPECT_EQ(LastDialog().style, vb::YesNo + vb::Exclamation + vb::DefaultButton2);
    EXPECT_TRUE(Exists(QStringLiteral("甲")));

    ui_->ExpectMsgBox(vb::Yes);
    Press("node_del");
    for (const char* gone : {"甲", "乙", "丙", "丁", "戊"})
        EXPECT_FALSE(Exists(QString::fromUtf8(gone))) << gone;
    EXPECT_TRUE(Exists(QStringLiteral("庚")));
    EXPECT_EQ(Shape(), QStringList{"_庚<"});
    EXPECT_EQ(App().RootAncestorName, QString());
}

// A delete is one commit: a fault where its steps used to be committed apart (the children moved up and
// the member still there; the root gone and the page starts still naming it) leaves the book as it was.
TEST_F(MemberCommandsTest, AFaultBetweenTheStepsOfADeleteLeavesTheBookAsItWas) {
    struct Case {
        const char* member;
        bool asks;            // a root's delete asks first
        const char* trigger;  // fails the step after the one that used to be committed on its own
    };
    const Case cases[] = {
        {"乙", false,
         "CREATE TRIGGER refuse BEFORE DELETE ON \"本姓成员\" BEGIN SELECT RAISE(ABORT, 'injected'); END"},
        {"甲", true,
         "CREATE TRIGGER refuse BEFORE DELETE ON \"pagestart_page\" BEGIN SELECT RAISE(ABORT, 'injected'); "
         "END"},
    };
    Open();
    const QList<PageStart> firstPage = PageStartStore().StartsOf(1);
    ASSERT_FALSE(firstPage.isEmpty());
    for (const Case& c : cases) {
        Db().Execute(QString::fromUtf8(c.trigger));
        Select(QString::fromUtf8(c.member));
        if (c.asks) ui_->ExpectMsgBox(vb::Yes);
        ui_->ExpectMsgBox(vb::OK);
        Press("node_del");
        Db().Execute(QStringLiteral("DROP TRIGGER refuse"));
        EXPECT_TRUE(LastDialog().text.contains(QStringLiteral("injected"))) << c.member;
        for (const char* name : {"甲", "乙", "丙", "丁", "戊"})
            EXPECT_TRUE(Exists(QString::fromUtf8(name))) << c.member << " " << name;
        EXPECT_EQ(Column(QStringLiteral("丁"), "father"), QStringLiteral("乙")) << c.member;
        EXPECT_EQ(Column(QStringLiteral("戊"), "mother"), QString()) << c.member;
        EXPECT_EQ(PageStartStore().StartsOf(1), firstPage) << c.member;
    }
}

TEST_F(MemberCommandsTest, EditKeepsTheLabelInTheTextAndNotInTheKey) {
    dsptree& w = Open();
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"generation\" = 2 WHERE \"filial\" = '乙'"));
    w.WriteGenerationLabels(Nodes().IndexOf(QStringLiteral("_乙")), true);
    App().RootAncestorName = QStringLiteral("乙");
    Select(QStringLiteral("乙"));
    ExpectMemberForm(QStringLiteral("乙二"));
    Press("node_edit");
    EXPECT_EQ(Node(QStringLiteral("乙二"))->text(0), QStringLiteral("{2}乙二"));
    EXPECT_FALSE(Nodes().Exists(QStringLiteral("_乙")));
    EXPECT_EQ(App().RootAncestorName, QStringLiteral("乙二"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("乙二"));
    EXPECT_EQ(Column(QStringLiteral("丁"), "father"), QStringLiteral("乙二"));
}

TEST_F(MemberCommandsTest, ColouringALineTwiceRestoresIt) {
    Open();
    Select(QStringLiteral("丁"));
    Menu("node_color");
    for (const char* name : {"丁", "乙", "甲"})
        EXPECT_EQ(Node(QString::fromUtf8(name))->foreground(0).color(), QColor(255, 0, 0)) << name;
    EXPECT_FALSE(Node(QStringLiteral("丙"))->data(0, Qt::ForegroundRole).isValid());
    Menu("node_color");
    for (const char* name : {"丁", "乙", "甲"})
        EXPECT_FALSE(Node(QString::fromUtf8(name))->data(0, Qt::ForegroundRole).isValid()) << name;
}

TEST_F(MemberCommandsTest, ProtectedMembersAndBadDestinationsAreRefused) {
    Open();
    App().CurrentUser->acc_id = 5;
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"filial_protect\" = 1 WHERE \"filial\" = '乙'"));
    const QStringList before = Shape();
    const struct {
        const char* command;
        bool menu;
        const char* refusal;
    } guarded[] = {{"node_edit", false, "创建者不允许修改数据！"},
                   {"node_del", false, "创建者不允许删除数据！"},
                   {"node_deleteAll", true, "创建者不允许删除数据！"},
                   {"node_addonedai", true, "创建者不允许插入上辈！"},
                   {"node_multipagemove", true, "创建者不允许拖动！"}};
    for (const auto& c : guarded) {
        Select(QStringLiteral("乙"));
        ui_->ExpectMsgBox(vb::OK);
        c.menu ? Menu(c.command) : Press(c.command);
        EXPECT_EQ(LastDialog().text, QString::fromUtf8(c.refusal)) << c.command;
        EXPECT_EQ(LastDialog().style, vb::Critical) << c.command;
    }
    EXPECT_EQ(Shape(), before);
    EXPECT_TRUE(Exists(QStringLiteral("乙")));

    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"filial_protect\" = 0"));
    const struct {
        const char* target;
        const char* message;  // nullptr: moved
    } moves[] = {
        {"无此人", "目标结点 无此人 不存在！"}, {"丁", "不能移到自己或自己的后代之下！"}, {"庚", nullptr}};
    for (const auto& m : moves) {
        Select(QStringLiteral("乙"));
        ExpectLittle(QString::fromUtf8(m.target));
        if (m.message) ui_->ExpectMsgBox(vb::OK);
        Menu("node_multipagemove");
        if (m.message) {
            EXPECT_EQ(LastDialog().text, QString::fromUtf8(m.message));
        }
        EXPECT_EQ(Column(QStringLiteral("乙"), "father"), QString::fromUtf8(m.message ? "甲" : "庚"));
    }
    EXPECT_EQ(requests_.first(), QStringLiteral("3%乙#3"));
    EXPECT_EQ(ParentOf(QStringLiteral("乙")), QStringLiteral("_庚"));
}

TEST_F(MemberCommandsTest, ChildrenSiblingsAndAParentAboveGoWhereTheyAreStored) {
    dsptree& w = Open();
    Select(QStringLiteral("丙"));  // no child yet: the form takes 丙 as the father
    ExpectMemberForm(QStringLiteral("丙子"));
    Press("node_zhilu");
    EXPECT_EQ(Column(QStringLiteral("丙子"), "father"), QStringLiteral("丙"));
    EXPECT_EQ(ParentOf(QStringLiteral("丙子")), QStringLiteral("_丙"));

    Select(QStringLiteral("丁"));
    App().FormParamString2 = QStringLiteral("left by another command");
    ExpectMemberForm(QStringLiteral("丁妹"), false);
    Press("node_tongbei");
    EXPECT_EQ(Column(QStringLiteral("丁妹"), "father"), QStringLiteral("乙"));
    EXPECT_EQ(ParentOf(QStringLiteral("丁妹")), QStringLiteral("_乙"));
    EXPECT_EQ(Nodes().ImageAt(Nodes().IndexOf(QStringLiteral("_丁妹"))), 2);
    EXPECT_EQ(App().FormParamString2, QString::number(w.PageCount()));

    Select(QStringLiteral("丁"));
    ExpectMemberForm(QStringLiteral("乙子"));
    Menu("node_addonedai");
    EXPECT_EQ(Column(QStringLiteral("乙子"), "father"), QStringLiteral("乙"));
    EXPECT_EQ(Column(QStringLiteral("戊"), "father"), QStringLiteral("乙子"));
    EXPECT_EQ(Children(QStringLiteral("乙")), QStringList{"乙子"});
    EXPECT_EQ(Children(QStringLiteral("乙子")), QStringList({"丁", "戊", "丁妹"}));

    Select(QStringLiteral("庚"));  // above a root: the new member is the root
    ExpectMemberForm(QStringLiteral("庚父"));
    Menu("node_addonedai");
    EXPECT_EQ(Column(QStringLiteral("庚"), "father"), QStringLiteral("庚父"));
    EXPECT_EQ(ParentOf(QStringLiteral("庚")), QStringLiteral("_庚父"));
}

TEST_F(MemberCommandsTest, HidingAndShowingWorkOnRootsOnly) {
    Open();
    const struct {
        const char* member;
        const char* item;
        bool refused;
        const char* father;
    } steps[] = {{"乙", "node_nodisplay", true, "甲"},
                 {"庚", "node_nodisplay", false, "No_Display"},
                 {"庚", "node_nodisplay", true, "No_Display"},  // already hidden
                 {"庚", "node_display", false, ""},
                 {"庚", "node_display", false, ""}};  // already shown: nothing said
    for (const auto& s : steps) {
        Select(QString::fromUtf8(s.member));
        if (s.refused) ui_->ExpectMsgBox(vb::OK);
        const size_t dialogs = ui_->log().size();
        Menu(s.item);
        EXPECT_EQ(ui_->log().size(), dialogs + (s.refused ? 1 : 0)) << s.item;
        if (s.refused) {
            EXPECT_EQ(LastDialog().text, QStringLiteral("此功能只对始祖设置有效！"));
        }
        EXPECT_EQ(Column(QString::fromUtf8(s.member), "father"), QString::fromUtf8(s.father));
    }
    EXPECT_EQ(App().CurrentPage, 1);
}

}  // namespace
