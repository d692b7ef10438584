#include <gtest/gtest.h>

#include <QHeaderView>

#include "community/forms/frm_group_list.h"
#include "community/group_list_rules.h"
#include "community/group_requests.h"
#include "frame/http_procedures.h"
#include "group_windows_fixture.h"
#include "support/test_http_server.h"

namespace {

class GroupListOnline : public GroupWindowsTest {
protected:
    void foundAndListMembers();
};

TEST(GroupReplies, OnlyExactNumbersCount) {
    EXPECT_TRUE(group_requests::Done(QStringLiteral("0")));
    EXPECT_TRUE(group_requests::Done(QStringLiteral(" 0\r\n")));
    for (const char* reply : {"", "1", "0abc", "-1", "x", "0 0"})
        EXPECT_FALSE(group_requests::Done(QString::fromLatin1(reply))) << reply;

    struct Case {
        const char* reply;
        qint32 group;  // 0: failed
        const char* founder;
    };
    for (const Case& c : {Case{"17@~甲@~乙", 17, "甲@~乙"}, Case{"0@~甲", 0, ""}, Case{"17", 0, ""},
                          Case{"", 0, ""}, Case{"x@~甲", 0, ""}, Case{"17@~", 17, ""}}) {
        const auto founded = group_requests::ParseFounding(QString::fromUtf8(c.reply));
        EXPECT_EQ(founded ? founded->group : 0, c.group) << c.reply;
        EXPECT_EQ(founded ? founded->founder : QString(), QString::fromUtf8(c.founder)) << c.reply;
    }
    const group_requests::Detail detail = group_requests::ParseDetail(QStringLiteral("王氏@~甲"));
    EXPECT_EQ(detail.name, QStringLiteral("王氏"));
    EXPECT_EQ(detail.founder, QStringLiteral("甲"));
    EXPECT_EQ(detail.members, 0);
    EXPECT_EQ(group_list_rules::CleanGroupName(QStringLiteral(" 王@@~~氏%!宗亲会 ")),
              QStringLiteral("王氏宗亲会"));
}

TEST_F(GroupListOnline, ColumnsFollowTheLayoutAndClosingStoresTheirWidths) {
    App().DataDb.Execute(
        QStringLiteral("INSERT INTO \"group_lst\" (\"group_name\", \"group_sw\", \"Group_id\", "
                       "\"group_creater\", \"group_num\", "
                       "\"group_script\") VALUES ('王氏宗亲会', 700, 9, '甲', 3, '说明'), ('李氏宗亲会', "
                       "500, 4, NULL, 1, '')"));
    App().DataDb.Execute(
        QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"col_width\", "
                       "\"col_visible\", \"seqno\") "
                       "VALUES ('group_lst', '创始人', 0, 2, 1), ('group_lst', '序号', 900, 2, 2), "
                       "('group_lst', '声望', 900, 3, 3), ('group_lst', '简介', 1200, 2, 4), ('group_lst', "
                       "'别的', 600, 2, 5)"));
    {
        FrmGroupList form;
        form.Form_Load();
        GroupListView* list = form.ListView1();
        EXPECT_EQ(list->captions(), QStringList({"创始人", "序号", "简介", "别的"}));
        EXPECT_EQ(list->columnWidth(0), 40);  // width 0: 600 twips
        EXPECT_EQ(shown(list), QStringList({"甲|1||", "|2||"}));
        EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 9);
        // The right button opens the column chooser; the list follows what it applied.
        ui_->ExpectForm(QStringLiteral("FrmColSelect"), [this](QObject*) {
            EXPECT_EQ(App().FormParamString, QStringLiteral("group_lst"));
            App().DataDb.Execute(
                QStringLiteral("UPDATE \"rowcolctrl\" SET \"col_visible\" = 3 WHERE \"col_name\" = '别的'"));
            return 1;
        });
        form.ListView1_MouseDown(2);
        EXPECT_EQ(list->captions(), QStringList({"创始人", "序号", "简介"}));
        list->header()->resizeSection(1, 100);
        form.close();
    }
    EXPECT_EQ(
        rows(QStringLiteral(
            "SELECT \"col_name\", \"col_width\", \"col_visible\", \"seqno\" FROM \"rowcolctrl\" "
            "WHERE \"table_name\" = 'group_lst' ORDER BY rowid")),
        QStringList({"创始人|600|2|1", "序号|1500|2|2", "声望|900|3|3", "简介|1200|2|3", "别的|600|3|5"}));

    // A book without a layout gets the default one.
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"rowcolctrl\""));
    FrmGroupList fresh;
    fresh.Form_Load();
    EXPECT_EQ(fresh.ListView1()->captions(),
              QStringList({"序号", "宗亲会", "声望", "成员数", "简介", "创始人"}));
    EXPECT_EQ(shown(fresh.ListView1()).first(), QStringLiteral("1|王氏宗亲会|700|3||甲"));
}

void GroupListOnline::foundAndListMembers() {
    const qint32 a = account(QStringLiteral("acc001"), QStringLiteral("甲"));
    logOnAs(a);
    FrmGroupList form;
    form.Form_Load();

    ui_->ExpectInput(QStringLiteral("@~"));  // nothing left of the name: nothing is sent
    form.CmdNewGroup_Click();
    ui_->ExpectInput(QString(), true);
    form.CmdNewGroup_Click();
    EXPECT_TRUE(messages().isEmpty());

    ui_->ExpectInput(QStringLiteral(" 王氏@~宗亲会 "));
    ui_->ExpectMsgBox(vb::OK);
    form.CmdNewGroup_Click();
    const qint32 group = App().CurrentUser->curGroup_Id;
    ASSERT_GT(group, 0);
    EXPECT_EQ(ui_->log().front().text, QStringLiteral("宗亲会名称："));
    EXPECT_EQ(messages(), QStringList({"成功创建宗亲会!"}));
    EXPECT_EQ(ui_->log().back().style, vb::Information);
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM \"group_lst\"")),
              QStringList({QStringLiteral("王氏宗亲会|500|%1|甲|1|").arg(group)}));
    EXPECT_EQ(shown(form.ListView1()), QStringList({"1|王氏宗亲会|500|1||甲"}));
    EXPECT_EQ(groupButton_->toolTip(), QStringLiteral("成员列表"));
    EXPECT_EQ(serverState(a), QStringLiteral("%1|0|5|0").arg(group));  // the head: the count of titles

    // A taken name, and a server that is down: refused, nothing changes.
    const qint32 b = account(QStringLiteral("acc002"), QStringLiteral("乙"));
    logOnAs(b);
    for (bool down : {false, true}) {
        if (down) server_->pages()->stop();
        ui_->ExpectInput(QStringLiteral("王氏宗亲会"));
        ui_->ExpectMsgBox(vb::OK);
        form.CmdNewGroup_Click();
        EXPECT_EQ(messages().last(), QStringLiteral("名称已存在或网络忙，创建不成功！"));
        EXPECT_EQ(ui_->log().back().style, vb::Critical);
        EXPECT_EQ(App().CurrentUser->curGroup_Id, 0);
        EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM \"group_lst\"")), QStringList({"1"}));
    }

    // The name goes into the address percent-encoded.
    TestHttpServer canned;
    canned.answer("/flsh2/creategroup.asp", "200 OK", "0@~");
    SetBuiltInServerUrl(canned.base());
    ui_->ExpectInput(QStringLiteral("王&氏 宗"));
    ui_->ExpectMsgBox(vb::OK);
    form.CmdNewGroup_Click();
    EXPECT_EQ(canned.lastTarget(),
              QStringLiteral("/flsh2/creategroup.asp?gn=%E7%8E%8B%26%E6%B0%8F%20%E5%AE%97"
                             "&accid=%1&pid=5")
                  .arg(b)
                  .toLatin1());
}

TEST_F(GroupListOnline, FoundingShowsTheNewRowAndLeadsToTheMemberList) {
    foundAndListMembers();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(GroupListOnline, FoundingShowsTheNewRowAndLeadsToTheMemberListThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    foundAndListMembers();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

TEST_F(GroupListOnline, CheckingARowOffersToJoinIt) {
    const qint32 a = account(QStringLiteral("acc001"), QStringLiteral("甲"));
    const qint32 b = account(QStringLiteral("acc002"), QStringLiteral("乙"));
    const qint32 c = account(QStringLiteral("acc003"), QStringLiteral("丙"));
    QString first = QStringLiteral("王氏宗亲会"), second = QStringLiteral("李氏宗亲会");
    logOnAs(a);
    const qint32 g1 = Cls数据操作().CreateGroup(a, 5, first);
    ASSERT_GT(g1, 0);
    logOnAs(c);
    ASSERT_GT(Cls数据操作().CreateGroup(c, 5, second), 0);
    logOnAs(b);
    FrmGroupList form;
    form.Form_Load();
    form.CmdReFind_Click();
    GroupListView* list = form.ListView1();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(enabled(form, {"CmdNewGroup", "CmdAddGroup", "CmdReFind", "CmdOK"}), QStringLiteral("1011"));

    click(list, 1);
    click(list, 0);
    EXPECT_EQ(list->checkedRows(), QList<QTreeWidgetItem*>({list->topLevelItem(0)}));
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("CmdAddGroup"))->isEnabled());
    click(list, 0, false);
    EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("CmdAddGroup"))->isEnabled());

    click(list, 0);
    ui_->ExpectMsgBox(vb::OK);
    form.CmdAddGroup_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("已提交，等待会长批准中..."));
    EXPECT_EQ(serverState(b), QStringLiteral("%1|1|0|0").arg(g1));
    EXPECT_EQ(App().CurrentUser->curGroup_Id, 0);

    // A member of an association cannot ask; a server that is down is not asked.
    logOnAs(a);
    ui_->ExpectMsgBox(vb::OK);
    form.CmdAddGroup_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("申请入会未成功！"));
    EXPECT_EQ(ui_->log().back().style, vb::Exclamation);
    logOnAs(b);
    server_->pages()->stop();
    ui_->ExpectMsgBox(vb::OK);
    form.CmdAddGroup_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("申请入会未成功！"));
    EXPECT_EQ(serverState(b), QStringLiteral("%1|1|0|0").arg(g1));

    // With an association of one's own, checking changes nothing.
    ASSERT_EQ(server_->startPages(), QString());
    logOnAs(a, g1);
    click(list, 0, false);
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("CmdAddGroup"))->isEnabled());
}

}  // namespace
