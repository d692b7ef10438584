#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeWidget>

#include "online/forms/frm_logon.h"
#include "online/logon_gate.h"
#include "online/online_book_fixture.h"
#include "store/data_ops.h"

namespace {

// One showing of the log-on form, driven as the user would.
struct LogonForm {
    LogonForm() {
        form.Form_Load();
        QObject::connect(&form, &QDialog::finished, [this](int) { closed = true; });
    }
    QLineEdit* field(const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    void fill(const QString& account, const QString& password, const QString& again = {},
              const QString& second = {}, const QString& nick = {}) {
        field("TxtAcc_No")->setText(account);
        field("TxtPswd")->setText(password);
        field("TxtPswd1")->setText(again);
        field("TxtPswd2")->setText(second);
        field("TxtNick")->setText(nick);
    }
    void level(const char* name) {
        auto* combo = form.findChild<QComboBox*>(QStringLiteral("CmbRight"));
        combo->setCurrentIndex(combo->findText(QString::fromUtf8(name)));
    }
    FrmLogon form;
    bool closed = false;
};

class LogonFormOnline : public OnlineBookTest {
protected:
    Cls_User& user() { return *App().CurrentUser; }
    qint32 registerAccount(const QString& number, const QString& nick) {
        auto db = OpenTestConnection();
        ServerCommand cmd(db.get());
        return RegisterTestAccount(cmd, number, nick);
    }
    // Logs on as an account made by registerAccount, without the form.
    void logOnAs(const QString& number, qint32 account) { ASSERT_EQ(LogOnProgramUser(number), account); }
    void registerLogOffAndLogOn();
};

TEST_F(LogonFormOnline, RegistrationRefusalsInOrderSendNothing) {
    struct Case {
        const char *account, *password, *again, *second, *nick, *message, *focus;
    };
    const Case cases[] = {
        {"ab", "123456", "123456", "123456", "王五", "帐号太短。", "TxtAcc_No"},
        {"  ab  ", "123456", "123456", "123456", "王五", "帐号太短。", "TxtAcc_No"},  // trimmed first
        {"abc", "12345", "12345", "123456", "王五", "密码太短。", "TxtPswd"},
        {"abc", "123456", "123457", "123456", "王五", "密码不一致！", "TxtPswd1"},
        {"abc", "123456", "123456", "12345", "王五", "二级密码太短。", "TxtPswd2"},
        {"abc", "123456", "123456", "123456", "@~王", "昵称太短。", "TxtNick"},
    };
    for (const Case& c : cases) {
        LogonForm f;
        f.form.OptLogon_Click(LogonRules::kRegister);
        f.fill(c.account, c.password, c.again, c.second, QString::fromUtf8(c.nick));
        ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().last(), QString::fromUtf8(c.message));
        ASSERT_TRUE(f.form.focusWidget());
        EXPECT_EQ(f.form.focusWidget()->objectName(), QString::fromLatin1(c.focus)) << c.message;
        EXPECT_FALSE(f.closed);
        if (QByteArray(c.focus) == "TxtPswd1") {
            EXPECT_EQ(f.field("TxtPswd1")->text(), QString());
            EXPECT_EQ(f.field("TxtPswd")->text(), QStringLiteral("123456"));
            EXPECT_EQ(f.field("TxtPswd2")->text(), QStringLiteral("123456"));
        }
    }
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM accounts")), 0);
    EXPECT_FALSE(user().Logoned);
}

// The account and nickname fields hold no more than the server keeps, so that a registration typed to
// their full length is taken.
TEST_F(LogonFormOnline, FieldsHoldWhatTheServerKeepsAndARegistrationAtTheirLengthIsTaken) {
    LogonForm f;
    f.form.OptLogon_Click(LogonRules::kRegister);
    f.fill(QString(60, u'号'), QStringLiteral("secret1"), QStringLiteral("secret1"), QStringLiteral("second1"),
           QString(60, u'名'));
    EXPECT_EQ(f.field("TxtAcc_No")->text(), QString(50, u'号'));
    EXPECT_EQ(f.field("TxtNick")->text(), QString(50, u'名'));
    ui_->ExpectMsgBox(vb::OK);
    f.form.CmdOK_Click();
    EXPECT_EQ(messages().last(), QString(50, u'名') + QStringLiteral(" 您已成功注册，并登入！"));
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM accounts WHERE char_length(user_no) = 50 AND "
                                        "char_length(nickname) = 50")),
              1);
}

void LogonFormOnline::registerLogOffAndLogOn() {
    {
        LogonForm f;
        f.form.OptLogon_Click(LogonRules::kRegister);
        f.fill(QStringLiteral(" zhang01 "), QStringLiteral("secret1"), QStringLiteral("secret1"),
               QStringLiteral("second1"), QStringLiteral(" 张@~三 "));
        f.level("公开到世界");
        ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().last(), QStringLiteral("张三 您已成功注册，并登入！"));
        EXPECT_TRUE(f.closed);
    }
    const qint32 account = user().acc_id;
    EXPECT_TRUE(user().Logoned);
    EXPECT_GT(account, 0);
    EXPECT_EQ(user().NickName, QStringLiteral("张三"));
    EXPECT_EQ(user().OpenLevel, 1);
    // The log-on's credential, for the server connections and pages that follow; gone at log-off.
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM session_credentials WHERE token_hash = "
                                        "digest('%1', 'sha256')")
                             .arg(App().ServerCredential)),
              1);
    EXPECT_EQ(ownerCount(
                  QStringLiteral("SELECT count(*) FROM accounts WHERE nickname = '张三' AND open_level = 1")),
              1);
    dao::Recordset saved = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"msg_id\", \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = 6"));
    ASSERT_TRUE(saved.hasRow());
    EXPECT_EQ(saved.value(0).toInt(), account);
    EXPECT_EQ(saved.value(1).toString(), QStringLiteral("张三"));

    const QString credential = App().ServerCredential;
    {
        LogonForm f;
        f.form.OptLogon_Click(LogonRules::kLogoff);
        ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().last(), QStringLiteral("已成功退出登录。"));
        EXPECT_TRUE(f.closed);
    }
    EXPECT_FALSE(user().Logoned);
    EXPECT_TRUE(App().ServerCredential.isEmpty());
    // The server forgot it too: nobody who copied it goes on with it.
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM session_credentials WHERE token_hash = "
                                        "digest('%1', 'sha256')")
                             .arg(credential)),
              0);
    EXPECT_EQ(user().OpenLevel, 0);
    EXPECT_EQ(user().acc_id, account);
    EXPECT_EQ(user().NickName, QStringLiteral("张三"));

    {
        LogonForm f;
        f.fill(QStringLiteral("zhang01"), QStringLiteral("wrong11"));
        ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().last(), QStringLiteral("密码错！请查正再试。"));
        EXPECT_FALSE(f.closed);
        EXPECT_FALSE(user().Logoned);
        EXPECT_FALSE(f.form.findChild<QProgressBar*>(QStringLiteral("PBarT2"))->isVisibleTo(&f.form));

        // Meanwhile the account founded an association; the main window's button follows it.
        QString name = QStringLiteral("张氏宗亲会");
        const qint32 group =
            server_->admin()
                .exec(QStringLiteral("SELECT new_group FROM zp_create_group($1, 5, $2)"), {account, name})
                .rows.value(0)
                .value(0)
                .toInt();
        QWidget mainWindow;
        mainWindow.setObjectName(QStringLiteral("dsptree"));
        auto* button = new QAction(&mainWindow);
        button->setObjectName(QStringLiteral("b_group"));
        f.field("TxtPswd")->setText(QStringLiteral("secret1"));
        ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().last(), QStringLiteral("张三 您已成功登入！"));
        EXPECT_TRUE(f.closed);
        EXPECT_EQ(user().curGroup_Id, group);
        EXPECT_EQ(button->toolTip(), QStringLiteral("成员列表"));
    }
    EXPECT_TRUE(user().Logoned);
    EXPECT_EQ(user().acc_id, account);
    EXPECT_EQ(user().OpenLevel, 1);

    // The next start knows the account before anybody logs on.
    App().CurrentUser = std::make_shared<Cls_User>();
    Cls数据操作().GetLastLogonAcc_id();
    EXPECT_EQ(user().acc_id, account);
    EXPECT_EQ(user().NickName, QStringLiteral("张三"));
    EXPECT_FALSE(user().Logoned);
}

TEST_F(LogonFormOnline, RegisterLogOffWrongPasswordLogOnAndTheNextStart) {
    registerLogOffAndLogOn();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(LogonFormOnline, RegisterLogOffWrongPasswordLogOnAndTheNextStartThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    registerLogOffAndLogOn();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

// With a log-on every mode but the log-off sends the level the list shows; only the registration mode
// says so. A refusal keeps the form open in its own words, except for the download, which goes on.
TEST_F(LogonFormOnline, LoggedOnEveryModeButTheLogOffSendsTheLevel) {
    const qint32 account = registerAccount(QStringLiteral("li0001"), QStringLiteral("李四"));
    ASSERT_GT(account, 0);
    logOnAs(QStringLiteral("li0001"), account);
    const QString level =
        QStringLiteral("SELECT open_level FROM accounts WHERE acc_id = ") + QString::number(account);
    struct Case {
        int mode;
        const char* level;
        bool serverUp;
        const char* message;  // nullptr: none
        bool closed;
        int stored;  // the level on the server afterwards
    };
    const Case cases[] = {
        {LogonRules::kLogon, "公开到世界", true, nullptr, true, 1},
        {LogonRules::kDownload, "不公开", true, nullptr, true, 0},
        {LogonRules::kRegister, "公开到宗亲会", true, "李四 成功修改保护级别！", true, 2},
        {LogonRules::kLogoff, "公开到世界", true, "已成功退出登录。", true, 2},
        {LogonRules::kRegister, "不公开", false, "数据开放级别未能修改！请稍候再试。", false, 2},
        {LogonRules::kLogon, "不公开", false, "服务器忙！稍候再试。", false, 2},
        {LogonRules::kDownload, "不公开", false, nullptr, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        SCOPED_TRACE(c.level);
        if (!c.serverUp && server_->pages()) server_->pages()->stop();
        user().Logoned = true;
        user().Tag = QStringLiteral("kept");
        const qsizetype told = messages().size();
        LogonForm f;
        f.form.OptLogon_Click(c.mode);
        f.level(c.level);
        if (c.message) ui_->ExpectMsgBox(vb::OK);
        f.form.CmdOK_Click();
        EXPECT_EQ(messages().size(), told + (c.message ? 1 : 0));
        if (c.message) EXPECT_EQ(messages().last(), QString::fromUtf8(c.message));
        EXPECT_EQ(f.closed, c.closed);
        if (c.serverUp) EXPECT_EQ(ownerCount(level), c.stored);
        if (c.serverUp && c.mode != LogonRules::kLogoff) EXPECT_EQ(user().Protected, c.stored);
        EXPECT_EQ(user().Tag.toString(), QStringLiteral("kept"));  // no book ticked
    }
}

TEST_F(LogonFormOnline, FailedConnectionKeepsTheFormOpen) {
    breakServer();
    LogonForm f;
    f.fill(QStringLiteral("zhang01"), QStringLiteral("secret1"));
    ui_->ExpectMsgBox(vb::OK);
    f.form.CmdOK_Click();
    // In the program's words alone: nothing of the network library's English.
    EXPECT_EQ(messages().last(),
              QStringLiteral("无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；"
                             "仍然不行，请与服务器的管理员联系。"));
    EXPECT_FALSE(f.closed);
    EXPECT_FALSE(f.form.findChild<QProgressBar*>(QStringLiteral("PBarT2"))->isVisibleTo(&f.form));
    EXPECT_FALSE(ServerConnection());
}

TEST_F(LogonFormOnline, GateShowsTheFormOnlyWhileLoggedOffAndEndsQuietly) {
    FrmLogon::RegisterForm();
    ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [](QObject* form) {
        static_cast<FrmLogon*>(form)->CmdCancel_Click();
        return 0;
    });
    EXPECT_FALSE(RequireLogon());
    EXPECT_TRUE(messages().isEmpty());

    ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [this](QObject* object) {
        auto* form = static_cast<FrmLogon*>(object);
        form->OptLogon_Click(LogonRules::kRegister);
        for (const auto& [name, text] : {std::pair{"TxtAcc_No", "wang01"},
                                         {"TxtPswd", "secret1"},
                                         {"TxtPswd1", "secret1"},
                                         {"TxtPswd2", "second1"},
                                         {"TxtNick", "王五"}})
            form->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromUtf8(text));
        ui_->ExpectMsgBox(vb::OK);
        form->CmdOK_Click();
        return 1;
    });
    EXPECT_TRUE(RequireLogon());
    EXPECT_EQ(messages(), QStringList({QStringLiteral("王五 您已成功注册，并登入！")}));

    const size_t shown = ui_->log().size();
    EXPECT_TRUE(RequireLogon());
    EXPECT_EQ(ui_->log().size(), shown);
    EXPECT_TRUE(ui_->AllConsumed());
}

TEST_F(LogonFormOnline, DownloadModeListsTheBookRootsAndTakesTheTickedOne) {
    const qint32 account = registerAccount(QStringLiteral("wang02"), QStringLiteral("王"));
    const qint32 other = registerAccount(QStringLiteral("li0002"), QStringLiteral("李"));
    qint32 first = 0;
    {
        auto db = OpenTestConnection();
        ServerCommand cmd(db.get());
        LogOnTestAccount(cmd, QStringLiteral("wang02"));
        first = SaveTestMember(cmd, account, 0, {QStringLiteral("王一")});
        SaveTestMember(cmd, account, 0, {QStringLiteral("王二")});
        LogOnTestAccount(cmd, QStringLiteral("li0002"));
        SaveTestMember(cmd, other, 0, {QStringLiteral("李三")});  // not opened to anybody
    }
    logOnAs(QStringLiteral("wang02"), account);
    user().Tag = QStringLiteral("stale");
    FrmLogon::RegisterForm();
    ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [](QObject* object) {
        auto* form = static_cast<FrmLogon*>(object);
        form->OptLogon_Click(LogonRules::kDownload);
        auto* list = form->findChild<QTreeWidget*>(QStringLiteral("Lst_ZpRoot"));
        EXPECT_EQ(list->topLevelItemCount(), 2);
        EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("王二"));
        EXPECT_EQ(list->property("Tag").toString(), QStringLiteral("1"));
        list->topLevelItem(1)->setCheckState(0, Qt::Checked);
        list->topLevelItem(0)->setCheckState(0, Qt::Checked);  // a different text: the other goes
        EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
        form->CmdOK_Click();
        return 1;
    });
    EXPECT_EQ(ChooseBookRootToDownload(), QString::number(first));
    EXPECT_TRUE(ui_->AllConsumed());
}

}  // namespace
