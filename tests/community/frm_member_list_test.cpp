#include <gtest/gtest.h>

#include "community/forms/frm_member_list.h"
#include "community/group_requests.h"
#include "frame/http_procedures.h"
#include "group_windows_fixture.h"
#include "support/test_http_server.h"

namespace {

// 王氏宗亲会, founded by 甲 (head, position 5 of 5 titles); 乙 (open to the association) and 丙 have
// asked to join. The user is 甲 with the mirrors refreshed.
class MemberListOnline : public GroupWindowsTest {
protected:
    void SetUp() override {
        GroupWindowsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        a_ = account(QStringLiteral("acc001"), QStringLiteral("甲"));
        b_ = account(QStringLiteral("acc002"), QStringLiteral("乙"), 2);
        c_ = account(QStringLiteral("acc003"), QStringLiteral("丙"));
        QString name = QStringLiteral("王氏宗亲会");
        logOnAs(a_);
        group_ = Cls数据操作().CreateGroup(a_, 5, name);
        ASSERT_GT(group_, 0);
        logOnAs(b_);
        ASSERT_TRUE(group_requests::RequestToJoin(b_, group_));
        logOnAs(c_);
        ASSERT_TRUE(group_requests::RequestToJoin(c_, group_));
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"myacc_id\", \"mysql_id\") "
                           "VALUES ('甲一', ?, 11), ('乙一', ?, 12), ('丙一', ?, 13)"),
            {a_, b_, c_});
        refreshAs(a_);
    }
    void refreshAs(qint32 account) {
        logOnAs(account, group_);
        Cls数据操作().RefreshGroupList();
        Cls数据操作().RefreshMemberList();
    }
    // Approves as the head (the user when the test starts); the member's position then is 1.
    void approve(qint32 member) { ASSERT_TRUE(group_requests::Approve(a_, member)); }
    // The member window, filled, showing, with the row of this account checked.
    std::unique_ptr<FrmMemberList> open(qint32 checked = 0) {
        auto form = std::make_unique<FrmMemberList>();
        form->Form_Load();
        form->show();
        GroupListView* list = form->ListView1();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == checked) click(list, i);
        return form;
    }
    QString buttons(const FrmMemberList& form) {
        return enabled(form, {"CmdApproveInto", "CmdEjectInto", "CmdUpgrade", "CmdExitOrTi"}) + u'|' +
               form.findChild<QPushButton*>(QStringLiteral("CmdExitOrTi"))->text();
    }
    QStringList members() { return rows(QStringLiteral("SELECT * FROM \"member_lst\" ORDER BY rowid")); }
    QStringList creators() {
        return rows(QStringLiteral(
            "SELECT \"filial\", \"myacc_id\", \"mysql_id\" FROM \"本姓成员\" ORDER BY \"filial_id\""));
    }

    qint32 a_ = 0, b_ = 0, c_ = 0, group_ = 0;
};

TEST_F(MemberListOnline, ApproveRefuseAndRaiseUpToTheLimit) {
    auto form = open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("王氏宗亲会：成员列表"));
    EXPECT_EQ(shown(form->ListView1()),
              QStringList({"1|甲|0|会长||", "2|乙|0||申请入会|", "3|丙|0||申请入会|"}));
    EXPECT_EQ(App().CurrentUser->position_id, 5);
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|开除"));  // 5 >= 5 \ 2

    form = open(b_);
    EXPECT_EQ(buttons(*form), QStringLiteral("1100|开除"));
    form->CmdApproveInto_Click();
    EXPECT_EQ(serverState(b_), QStringLiteral("%1|0|1|0").arg(group_));
    EXPECT_EQ(members().at(1), QStringLiteral("乙|100|%1|1|0|0").arg(b_));
    EXPECT_EQ(shown(form->ListView1()).at(1), QStringLiteral("2|乙|100|会员||"));
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|开除"));

    form = open(c_);
    form->CmdEjectInto_Click();
    EXPECT_EQ(serverState(c_), QStringLiteral("0|0|0|0"));
    EXPECT_EQ(members().size(), 2);

    for (int position : {2, 3, 4}) {
        form = open(b_);
        EXPECT_EQ(buttons(*form), QStringLiteral("0011|开除"));
        form->CmdUpgrade_Click();
        EXPECT_EQ(serverState(b_), QStringLiteral("%1|0|%2|0").arg(group_).arg(position));
        EXPECT_EQ(members().at(1), QStringLiteral("乙|100|%1|%2|0|0").arg(b_).arg(position));
    }
    // At 4 of 5 the member is as high as raising goes: nothing is offered or sent.
    form = open(b_);
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|开除"));
    form->CmdUpgrade_Click();
    EXPECT_EQ(serverState(b_), QStringLiteral("%1|0|4|0").arg(group_));
    EXPECT_TRUE(messages().isEmpty());

    // The user's own row offers leaving; unchecking it gives expelling back.
    form = open(a_);
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|退会"));
    click(form->ListView1(), 0, false);
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|开除"));
}

TEST_F(MemberListOnline, ExpellingNeedsThePositionAndPassesOpenMembersOn) {
    approve(b_);
    approve(c_);
    // 乙 (position 1, below 5 \ 2) is not offered expelling, and the server refuses it.
    refreshAs(b_);
    auto form = open(c_);
    EXPECT_EQ(buttons(*form), QStringLiteral("0000|开除"));
    ui_->ExpectMsgBox(vb::OK);
    form->CmdExitOrTi_Click();
    EXPECT_EQ(messages(), QStringList({"开除未成功！"}));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(serverState(c_), QStringLiteral("%1|0|1|0").arg(group_));
    EXPECT_EQ(members().size(), 3);

    // The head expels 乙, whose members were open to the association: they pass to the head.
    refreshAs(a_);
    form = open(b_);
    EXPECT_EQ(buttons(*form), QStringLiteral("0011|开除"));
    ui_->ExpectMsgBox(vb::OK);
    form->CmdExitOrTi_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("已开除此会员！"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(serverState(b_), QStringLiteral("0|0|0|%1").arg(group_));
    EXPECT_EQ(creators(),
              QStringList({QStringLiteral("甲一|%1|11").arg(a_), QStringLiteral("乙一|%1|12").arg(a_),
                           QStringLiteral("丙一|%1|13").arg(c_)}));
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM accounts WHERE acc_id = %1").arg(b_)), 1);

    // 丙's members were not open to it: they stay 丙's.
    form = open(c_);
    ui_->ExpectMsgBox(vb::OK);
    form->CmdExitOrTi_Click();
    EXPECT_EQ(messages().last(), QStringLiteral("已开除此会员！"));
    EXPECT_EQ(creators().last(), QStringLiteral("丙一|%1|13").arg(c_));
    EXPECT_EQ(members(), QStringList({QStringLiteral("甲|0|%1|5|0|0").arg(a_)}));
}

TEST_F(MemberListOnline, LeavingDetachesTheAssociationsMembersAndEndsTheMembership) {
    approve(b_);
    refreshAs(b_);
    App().CurrentUser->position_id = 0;
    auto form = open(b_);
    EXPECT_EQ(App().CurrentUser->position_id, 1);
    EXPECT_EQ(buttons(*form), QStringLiteral("0001|退会"));
    ui_->ExpectMsgBox(vb::OK);
    form->CmdExitOrTi_Click();
    EXPECT_EQ(messages(), QStringList({"已退会！"}));
    EXPECT_EQ(ui_->log().back().style, vb::Exclamation);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(serverState(b_), QStringLiteral("0|0|0|%1").arg(group_));
    EXPECT_EQ(App().CurrentUser->curGroup_Id, 0);
    EXPECT_EQ(groupButton_->toolTip(), QStringLiteral("宗亲会列表"));
    // 甲 is still in the association just left: the book's members of 甲 lose their server ids.
    EXPECT_EQ(creators(),
              QStringList({QStringLiteral("甲一|%1|0").arg(a_), QStringLiteral("乙一|%1|12").arg(b_),
                           QStringLiteral("丙一|%1|13").arg(c_)}));
    EXPECT_TRUE(members().isEmpty());
}

TEST_F(MemberListOnline, AnEmptyReplyOrADownServerChangesNothing) {
    approve(b_);
    refreshAs(a_);
    TestHttpServer empty;
    empty.answer("/", "200 OK", "");
    const QStringList tables = members() + creators();
    struct Case {
        qint32 checked;
        void (FrmMemberList::*command)();
        const char* failure;
    };
    const Case cases[] = {{c_, &FrmMemberList::CmdApproveInto_Click, "批准入会未成功！"},
                          {c_, &FrmMemberList::CmdEjectInto_Click, "婉拒入会未成功！"},
                          {b_, &FrmMemberList::CmdUpgrade_Click, "更改职位未成功！"},
                          {b_, &FrmMemberList::CmdExitOrTi_Click, "开除未成功！"},
                          {a_, &FrmMemberList::CmdExitOrTi_Click, "退会未成功！"}};
    for (bool down : {false, true}) {
        SetBuiltInServerUrl(down ? QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort())
                                 : empty.base());
        for (const Case& c : cases) {
            auto form = open(c.checked);
            ui_->ExpectMsgBox(vb::OK);
            (form.get()->*c.command)();
            EXPECT_EQ(messages().last(), QString::fromUtf8(c.failure)) << down;
            EXPECT_EQ(members() + creators(), tables) << c.failure;
            EXPECT_EQ(App().CurrentUser->curGroup_Id, group_);
        }
    }
    EXPECT_EQ(serverState(b_), QStringLiteral("%1|0|1|0").arg(group_));
    EXPECT_EQ(serverState(c_), QStringLiteral("%1|1|0|0").arg(group_));
    EXPECT_EQ(serverState(a_), QStringLiteral("%1|0|5|0").arg(group_));
}

TEST_F(MemberListOnline, AnAssociationMissingLocallyIsAskedForOnce) {
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"group_lst\""));
    auto form = open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("王氏宗亲会：成员列表"));
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM \"group_lst\"")),
              QStringList({QStringLiteral("王氏宗亲会|500|%1|甲|1|").arg(group_)}));
    server_->pages()->stop();
    form = open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("王氏宗亲会：成员列表"));

    // A reply that names no member adds no row, but names the window.
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"group_lst\""));
    TestHttpServer detail;
    detail.answer("/flsh2/getgroupdetail.asp", "200 OK", "宗亲会乙@~丙@~0@~0");
    SetBuiltInServerUrl(detail.base());
    form = open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("宗亲会乙：成员列表"));
    EXPECT_EQ(detail.lastTarget(), QByteArray("/flsh2/getgroupdetail.asp?gid=") + QByteArray::number(group_));
    EXPECT_TRUE(rows(QStringLiteral("SELECT * FROM \"group_lst\"")).isEmpty());
}

}  // namespace
