// The association windows' commands when the server no longer knows the log-on's credential: each is
// told as a lapse, the log-on form comes back, and nothing changes on the server or in the book.
#include <gtest/gtest.h>
#include <QLineEdit>

#include "community/forms/frm_group_list.h"
#include "community/forms/frm_member_list.h"
#include "community/group_list_rules.h"
#include "community/group_requests.h"
#include "frame/credential_lapse.h"
#include "group_windows_fixture.h"
#include "online/forms/frm_logon.h"
#include "online/logon_gate.h"

namespace {

const QString kLapsed = QStringLiteral("登录已过期，请重新登录后再试。");

// 王氏宗亲会, founded by 甲 (the user, head); 丙 is a member at position 1, 乙 has asked to join.
class GroupWindowsLapse : public GroupWindowsTest {
protected:
    void SetUp() override {
        GroupWindowsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        a_ = account(QStringLiteral("acc001"), QStringLiteral("甲"));
        b_ = account(QStringLiteral("acc002"), QStringLiteral("乙"));
        c_ = account(QStringLiteral("acc003"), QStringLiteral("丙"));
        QString name = QStringLiteral("王氏宗亲会");
        logOnAs(a_);
        group_ = Cls数据操作().CreateGroup(a_, 5, name);
        ASSERT_GT(group_, 0);
        for (const qint32 applicant : {b_, c_}) {
            logOnAs(applicant);
            ASSERT_TRUE(group_requests::RequestToJoin(applicant, group_));
        }
        logOnAs(a_, group_);
        ASSERT_TRUE(group_requests::Approve(a_, c_));
        Cls数据操作().RefreshGroupList();
        Cls数据操作().RefreshMemberList();
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"myacc_id\", \"mysql_id\") "
                           "VALUES ('甲一', ?, 11), ('丙一', ?, 13)"),
            {a_, c_});
        FrmLogon::RegisterForm();
    }
    // Everything a command could change: the three accounts on the server, the book's mirrors and
    // members.
    QStringList everything() {
        QStringList all;
        for (const qint32 account : {a_, b_, c_}) all << serverState(account);
        all << QString::number(ownerCount(QStringLiteral("SELECT count(*) FROM clan_groups")));
        all << rows(QStringLiteral("SELECT * FROM \"member_lst\" ORDER BY rowid"));
        all << rows(QStringLiteral("SELECT * FROM \"group_lst\" ORDER BY rowid"));
        all << rows(QStringLiteral("SELECT \"filial\", \"myacc_id\", \"mysql_id\" FROM \"本姓成员\""));
        return all;
    }
    template <typename Form>
    static void check(Form& form, qint32 account) {
        GroupListView* list = form.ListView1();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == account) click(list, i);
    }

    qint32 a_ = 0, b_ = 0, c_ = 0, group_ = 0;
};

TEST_F(GroupWindowsLapse, EveryCommandTellsTheLapseBringsTheFormBackAndChangesNothing) {
    struct Command {
        const char* name;
        std::function<void()> run;
        const char* typed = nullptr;  // the name the command asks for first
    };
    const Command commands[] = {
        // Procedure calls
        {"association list refresh",
         [] {
             FrmGroupList form;
             form.Form_Load();
             form.CmdReFind_Click();
         }},
        {"member list refresh",
         [] {
             FrmMemberList form;
             form.Form_Load();
             form.CmdRefresh_Click();
         }},
        // Pages
        {"approve",
         [this] {
             FrmMemberList form;
             form.Form_Load();
             check(form, b_);
             form.CmdApproveInto_Click();
         }},
        {"refuse",
         [this] {
             FrmMemberList form;
             form.Form_Load();
             check(form, b_);
             form.CmdEjectInto_Click();
         }},
        {"raise",
         [this] {
             FrmMemberList form;
             form.Form_Load();
             check(form, c_);
             form.CmdUpgrade_Click();
         }},
        {"expel",
         [this] {
             FrmMemberList form;
             form.Form_Load();
             check(form, c_);
             form.CmdExitOrTi_Click();
         }},
        {"leave",
         [this] {
             FrmMemberList form;
             form.Form_Load();
             check(form, a_);
             form.CmdExitOrTi_Click();
         }},
        {"request to join", [this] { group_list_rules::RequestToJoin(group_); }},
        {"found", [] { group_list_rules::FoundGroup(); }, "李氏宗亲会"},
    };
    const QStringList before = everything();
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        logOnAs(a_, group_);
        App().CurrentUser->position_id = 5;
        ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM session_credentials")).ok);
        const qsizetype told = messages().size();
        if (command.typed) ui_->ExpectInput(QString::fromUtf8(command.typed));
        ui_->ExpectMsgBox(vb::OK);
        bool formShown = false;
        ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [&formShown](QObject* form) {
            formShown = true;
            EXPECT_EQ(static_cast<FrmLogon*>(form)->Mode(), LogonRules::kLogon);
            static_cast<FrmLogon*>(form)->CmdCancel_Click();
            return 0;
        });
        command.run();
        EXPECT_EQ(messages().mid(told), QStringList({kLapsed}));
        EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).style, vb::Exclamation);
        EXPECT_TRUE(formShown);
        EXPECT_TRUE(ui_->AllConsumed());
        EXPECT_FALSE(App().CurrentUser->Logoned);
        EXPECT_FALSE(CredentialLapsePending());
        EXPECT_EQ(everything(), before);
    }
}

// Opened by the association button, each window fetches its list from the server first: the member list
// of an association the mirror does not hold yet (one just founded) is full at once. A lapsed log-on is
// told before anything is shown; without a new log-on no window opens, after one it opens filled.
TEST_F(GroupWindowsLapse, OpeningFetchesTheListAndTellsALapseFirst) {
    FrmGroupList::RegisterForm();
    FrmMemberList::RegisterForm();
    struct Window {
        const char* name;
        const char* mirror;
        int rows;
    };
    for (const Window& w :
         {Window{kMemberListFormName, "member_lst", 3}, Window{kGroupListFormName, "group_lst", 1}}) {
        SCOPED_TRACE(w.name);
        const QString form = QString::fromLatin1(w.name);
        // The window as it opens with so many rows; none opens for -1.
        const auto listed = [](int rows) {
            return [rows](QObject* object) {
                EXPECT_EQ(object != nullptr, rows >= 0);
                if (object) EXPECT_EQ(object->findChild<GroupListView*>()->topLevelItemCount(), rows);
                return 0;
            };
        };
        const auto emptyMirror = [&w] {
            App().DataDb.Execute(QStringLiteral("DELETE FROM \"%1\"").arg(QString::fromLatin1(w.mirror)));
        };
        logOnAs(a_, group_);
        emptyMirror();
        ui_->ExpectForm(form, listed(w.rows));
        UI().ShowForm(form, false);

        for (const bool again : {false, true}) {
            logOnAs(a_, group_);
            ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM session_credentials")).ok);
            emptyMirror();
            const qsizetype told = messages().size();
            ui_->ExpectForm(form, listed(again ? w.rows : -1));
            ui_->ExpectMsgBox(vb::OK);
            ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [this, again](QObject* object) {
                auto* logon = static_cast<FrmLogon*>(object);
                if (!again) {
                    logon->CmdCancel_Click();
                    return 0;
                }
                logon->findChild<QLineEdit*>(QStringLiteral("TxtAcc_No"))->setText(QStringLiteral("acc001"));
                logon->findChild<QLineEdit*>(QStringLiteral("TxtPswd"))->setText(QStringLiteral("x"));
                // The test accounts' digests are made from their numbers, not from a typed password.
                EXPECT_EQ(LogOnProgramUser(QStringLiteral("acc001")), a_);
                App().CurrentUser->curGroup_Id = group_;
                logon->CmdCancel_Click();
                return 1;
            });
            UI().ShowForm(form, false);
            EXPECT_EQ(messages().mid(told), QStringList({kLapsed}));
            EXPECT_TRUE(ui_->AllConsumed());
            EXPECT_EQ(App().CurrentUser->Logoned, again);
        }
    }
}

}  // namespace
