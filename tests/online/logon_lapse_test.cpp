// The log-on form and the log-on gate when the server no longer knows the log-on's credential, the
// book-root list before and after a log-on, and the HTTP log-on naming the same account as the
// procedure.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "frame/credential_lapse.h"
#include "frame/text_scramble.h"
#include "online/adv_pswd.h"
#include "online/forms/frm_logon.h"
#include "online/logon_gate.h"
#include "online/logon_rules.h"
#include "online/online_book_fixture.h"

namespace {

const QString kLapsed = QStringLiteral("登录已过期，请重新登录后再试。");
const QString kPassword = QStringLiteral("secret1");

// The two ways a credential stops standing: unused for twelve hours, or pushed out by newer ones.
struct Lapse {
    const char* how;
    const char* sql;
};
const Lapse kLapses[] = {
    {"twelve hours unused", "UPDATE session_credentials SET expires = now() - interval '1 second'"},
    {"pushed out", "DELETE FROM session_credentials"},
};

class LogonLapseOnline : public OnlineBookTest {
protected:
    Cls_User& user() { return *App().CurrentUser; }

    // Registers through the log-on procedure with kPassword, as the form does; the account id.
    qint32 registerAccount(const QString& number, const QString& nick, int level = 0,
                           QString* credential = nullptr) {
        ClsAdvPswd digests;
        const LogonRules::Answer answer =
            LogonRules::TryLogon(digests, number, kPassword, kPassword, nick, level, /*registering=*/true);
        EXPECT_EQ(answer.state, LogonRules::kRegistered);
        if (credential) *credential = answer.credential;
        return answer.accountId;
    }
    // Members without a father (book roots) uploaded by the account.
    void upload(const QString& credential, qint32 account, const QStringList& names,
                QList<qint32>* ids = nullptr) {
        auto db = OpenTestConnection(credential);
        ServerCommand cmd(db.get());
        for (const QString& name : names) {
            const qint32 id = SaveTestMember(cmd, account, 0, {name});
            if (ids) ids->append(id);
        }
    }
    // The program's user logged on through the form's own rules.
    void logOn(const QString& number) {
        ClsAdvPswd digests;
        const LogonRules::Answer answer =
            LogonRules::TryLogon(digests, number, kPassword, QString(), QString(), 0, false);
        ASSERT_EQ(answer.state, LogonRules::kLoggedOn);
        LogonRules::ApplyLogon(answer, user());
    }
    void lapse(const Lapse& l) { ASSERT_TRUE(server_->admin().exec(QString::fromLatin1(l.sql)).ok); }
    int level(qint32 account) {
        return ownerCount(QStringLiteral("SELECT open_level FROM accounts WHERE acc_id = %1").arg(account));
    }
};

struct LogonForm {
    LogonForm() {
        form.Form_Load();
        QObject::connect(&form, &QDialog::finished, [this](int) { closed = true; });
    }
    QLineEdit* field(const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QTreeWidget* list() { return form.findChild<QTreeWidget*>(QStringLiteral("Lst_ZpRoot")); }
    QStringList roots() {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i) texts << list()->topLevelItem(i)->text(0);
        return texts;
    }
    FrmLogon form;
    bool closed = false;
};

// Both page requests of the form meet a lapsed credential the same way: told, logged off, the form
// turned to the log-on with its fields open, nothing changed on the server.
TEST_F(LogonLapseOnline, ThePagesOfTheFormTellALapseAndTurnToTheLogOn) {
    QString credential;
    const qint32 account = registerAccount(QStringLiteral("li0001"), QStringLiteral("李四"), 0, &credential);
    upload(credential, account, {QStringLiteral("李一")});
    struct Page {
        const char* name;
        std::function<void(LogonForm&)> ask;
    };
    const Page pages[] = {
        {"level change",
         [](LogonForm& f) {
             f.form.OptLogon_Click(LogonRules::kRegister);
             auto* combo = f.form.findChild<QComboBox*>(QStringLiteral("CmbRight"));
             combo->setCurrentIndex(combo->findText(QStringLiteral("公开到世界")));
             f.form.CmdOK_Click();
         }},
        {"book roots", [](LogonForm& f) { f.form.OptLogon_Click(LogonRules::kDownload); }},
    };
    for (const Page& page : pages) {
        for (const Lapse& l : kLapses) {
            SCOPED_TRACE(std::string(page.name) + ", " + l.how);
            logOn(QStringLiteral("li0001"));
            lapse(l);
            LogonForm f;
            const qsizetype before = messages().size();
            ui_->ExpectMsgBox(vb::OK);
            page.ask(f);
            EXPECT_EQ(messages().mid(before), QStringList({kLapsed}));
            EXPECT_EQ(ui_->log().back().style, vb::Exclamation);
            EXPECT_FALSE(f.closed);
            EXPECT_EQ(f.form.Mode(), LogonRules::kLogon);
            EXPECT_TRUE(f.field("TxtAcc_No")->isEnabled());
            EXPECT_TRUE(f.field("TxtPswd")->isEnabled());
            EXPECT_FALSE(user().Logoned);
            EXPECT_EQ(user().OpenLevel, 0);
            EXPECT_TRUE(App().ServerCredential.isEmpty());
            EXPECT_FALSE(CredentialLapsePending());  // told once
            EXPECT_EQ(level(account), 0);
            EXPECT_TRUE(ui_->AllConsumed());
        }
    }
}

// The same through the door: nginx hands the page's refusal on as it is.
TEST_F(LogonLapseOnline, TheLevelChangeTellsALapseThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    const qint32 account = registerAccount(QStringLiteral("li0002"), QStringLiteral("李五"));
    logOn(QStringLiteral("li0002"));
    lapse(kLapses[0]);
    LogonForm f;
    f.form.OptLogon_Click(LogonRules::kRegister);
    ui_->ExpectMsgBox(vb::OK);
    f.form.CmdOK_Click();
    EXPECT_EQ(messages(), QStringList({kLapsed}));
    EXPECT_EQ(f.form.Mode(), LogonRules::kLogon);
    EXPECT_FALSE(user().Logoned);
    EXPECT_EQ(level(account), 0);
}

// Before the log-on the list holds what is open to the world, whatever account the last run recalls;
// logging on in the same showing brings the account's own list without another click.
TEST_F(LogonLapseOnline, BookRootsBeforeTheLogOnAreTheWorldsThenTheAccountsOwn) {
    QString mine, open, other;
    const qint32 me = registerAccount(QStringLiteral("wang02"), QStringLiteral("王"), 0, &mine);
    const qint32 world = registerAccount(QStringLiteral("zhao02"), QStringLiteral("赵"), 1, &open);
    const qint32 hidden = registerAccount(QStringLiteral("sun002"), QStringLiteral("孙"), 0, &other);
    QList<qint32> ids;
    upload(mine, me, {QStringLiteral("王一"), QStringLiteral("王二")}, &ids);
    upload(open, world, {QStringLiteral("赵一")});
    upload(other, hidden, {QStringLiteral("孙一")});
    App().ServerCredential.clear();
    user().acc_id = me;  // recalled from the last run: proves nothing
    user().Tag = QString();

    LogonForm f;
    f.form.OptLogon_Click(LogonRules::kDownload);
    EXPECT_EQ(f.roots(), QStringList({QStringLiteral("赵一（赵）")}));
    EXPECT_EQ(f.list()->property("Tag").toString(), QStringLiteral("1"));
    EXPECT_TRUE(messages().isEmpty());

    f.form.OptLogon_Click(LogonRules::kLogon);
    f.field("TxtAcc_No")->setText(QStringLiteral("wang02"));
    f.field("TxtPswd")->setText(kPassword);
    ui_->ExpectMsgBox(vb::OK);
    f.form.CmdOK_Click();
    EXPECT_EQ(messages(), QStringList({QStringLiteral("王 您已成功登入！")}));
    EXPECT_TRUE(user().Logoned);
    EXPECT_FALSE(f.closed);
    EXPECT_EQ(f.form.Mode(), LogonRules::kDownload);
    EXPECT_EQ(f.roots(),
              QStringList({QStringLiteral("王一"), QStringLiteral("王二"), QStringLiteral("赵一（赵）")}));

    f.list()->topLevelItem(1)->setCheckState(0, Qt::Checked);
    f.form.CmdOK_Click();
    EXPECT_TRUE(f.closed);
    EXPECT_EQ(user().Tag.toString(), QString::number(ids.at(1)));
}

// A world root ticked before the log-on is the one taken when the log-on succeeds.
TEST_F(LogonLapseOnline, ARootTickedBeforeTheLogOnIsTakenByIt) {
    QString open;
    registerAccount(QStringLiteral("wang03"), QStringLiteral("王"));
    const qint32 world = registerAccount(QStringLiteral("zhao03"), QStringLiteral("赵"), 1, &open);
    QList<qint32> ids;
    upload(open, world, {QStringLiteral("赵一")}, &ids);
    App().ServerCredential.clear();

    LogonForm f;
    f.form.OptLogon_Click(LogonRules::kDownload);
    ASSERT_EQ(f.roots(), QStringList({QStringLiteral("赵一（赵）")}));
    f.list()->topLevelItem(0)->setCheckState(0, Qt::Checked);
    f.form.OptLogon_Click(LogonRules::kLogon);
    f.field("TxtAcc_No")->setText(QStringLiteral("wang03"));
    f.field("TxtPswd")->setText(kPassword);
    ui_->ExpectMsgBox(vb::OK);
    f.form.CmdOK_Click();
    EXPECT_TRUE(f.closed);
    EXPECT_EQ(user().Tag.toString(), QString::number(ids.at(0)));
}

// A lapse heard where nobody tells it (a page whose caller reads only "not done") is told by the next
// command that needs a log-on, before the form; once.
TEST_F(LogonLapseOnline, TheGateTellsALapseNobodyToldBeforeTheForm) {
    const qint32 account = registerAccount(QStringLiteral("zhou01"), QStringLiteral("周"));
    logOn(QStringLiteral("zhou01"));
    lapse(kLapses[1]);
    EXPECT_EQ(user().ChangeProtected(account, 1), 0);
    EXPECT_FALSE(user().Logoned);
    EXPECT_TRUE(CredentialLapsePending());

    FrmLogon::RegisterForm();
    for (const QStringList& told : {QStringList({kLapsed}), QStringList()}) {
        const qsizetype before = messages().size();
        if (!told.isEmpty()) ui_->ExpectMsgBox(vb::OK);
        ui_->ExpectForm(QString::fromLatin1(kLogonFormName), [](QObject* form) {
            EXPECT_EQ(static_cast<FrmLogon*>(form)->Mode(), LogonRules::kLogon);
            static_cast<FrmLogon*>(form)->CmdCancel_Click();
            return 0;
        });
        EXPECT_FALSE(RequireLogon());
        EXPECT_EQ(messages().mid(before), told);
        EXPECT_TRUE(ui_->AllConsumed());
    }
    EXPECT_EQ(level(account), 0);
}

// Logon2 sends the account number as sp_trylogon does: an account made by either is logged on by the
// other, under the same id.
TEST_F(LogonLapseOnline, Logon2AndTheLogOnProcedureNameTheSameAccount) {
    ClsAdvPswd digests;
    const auto httpLogOn = [&](const QString& number, quint8 R) {
        const QString pswd = digests.Net_AdvPswd(kPassword, number);
        // "state%!acc_id%!nickname%!group_id%!level%!credential@~"
        const QStringList fields =
            Cls_User().Logon2(number, pswd, pswd, QStringLiteral("吴"), R).split(QStringLiteral("%!"));
        return std::pair{fields.value(0).toInt(), fields.value(1).toInt()};
    };
    const auto procedureLogOn = [&](const QString& number, bool registering) {
        const LogonRules::Answer answer =
            LogonRules::TryLogon(digests, number, kPassword, kPassword, QStringLiteral("吴"), 0, registering);
        return std::pair{answer.state, answer.accountId};
    };
    struct Case {
        const char* number;
        bool byPage;  // registered through Logon2, logged on through the procedure; else the other way
    };
    for (const Case c : {Case{"wu0001", true}, Case{"wu0002", false}}) {
        SCOPED_TRACE(c.number);
        const QString number = QString::fromLatin1(c.number);
        const auto made = c.byPage ? httpLogOn(number, 1) : procedureLogOn(number, true);
        ASSERT_EQ(made.first, LogonRules::kRegistered);
        const auto again = c.byPage ? procedureLogOn(number, false) : httpLogOn(number, 0);
        EXPECT_EQ(again.first, LogonRules::kLoggedOn);
        EXPECT_EQ(again.second, made.second);
        // Kept as the procedure sends it, whichever made it.
        EXPECT_EQ(server_->admin()
                      .exec(QStringLiteral("SELECT acc_id FROM accounts WHERE user_no = $1"),
                            {EncodeTextEx(number, ServerKey())})
                      .rows.value(0)
                      .value(0)
                      .toInt(),
                  made.second);
    }
    EXPECT_EQ(ownerCount(QStringLiteral("SELECT count(*) FROM accounts")), 2);
}

}  // namespace
