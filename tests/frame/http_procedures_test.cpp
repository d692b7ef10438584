#include "frame/http_procedures.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "mainwin/forms/frm_little.h"
#include "online/service_chat.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"
#include "support/test_http_server.h"

namespace {

class HttpProceduresTest : public ::testing::Test {
protected:
    // "/data/newver.txt" answers the version text the test sets, "/missing" a 404 page, "/never" never
    // answers, anything else echoes the request line.
    void SetUp() override {
        server.answer("/data/newver.txt", "200 OK", "");
        server.answer("/missing", "404 Not Found", "no such page");
        server.neverAnswer("/never");
        ResetAppState();
        SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QString());
        SetBuiltInServerUrl(server.base());
        SetHttpTimeoutMs(30000);
    }
    void TearDown() override {
        SetBuiltInServerUrl(QString());
        SetHttpTimeoutMs(30000);
        ResetAppState();
    }
    QString versionCheckWith(const QByteArray& text) {
        server.answer("/data/newver.txt", "200 OK", text);
        return CheckNewVersion(0);
    }

    TestHttpServer server;
};

}  // namespace

TEST_F(HttpProceduresTest, VersionCheckComparesAgainstTheRunningVersion) {
    EXPECT_EQ(versionCheckWith("6.2.170"), QStringLiteral("1%6.2.170"));
    EXPECT_EQ(server.lastTarget(), QByteArray("/data/newver.txt"));
    EXPECT_EQ(versionCheckWith("6.1.999"), QStringLiteral("0%6.1.999"));
    EXPECT_EQ(versionCheckWith("7"), QStringLiteral("1%7"));
    EXPECT_EQ(versionCheckWith("-6.3.0"), QStringLiteral("1%6.3.0"));
    EXPECT_EQ(versionCheckWith("6.2.168"), QStringLiteral("0%6.2.168"));
    EXPECT_EQ(versionCheckWith("6.2.169 beta"), QStringLiteral("1%6.2.169 beta"));
    EXPECT_EQ(versionCheckWith("5.9.999"), QStringLiteral("0%5.9.999"));
    // Only mode 0 asks the server.
    server.forgetRequests();
    EXPECT_EQ(CheckNewVersion(1), QString());
    EXPECT_TRUE(server.lastTarget().isEmpty());
}

TEST_F(HttpProceduresTest, UnreadableVersionFileOffersNothing) {
    EXPECT_EQ(versionCheckWith(""), QStringLiteral("0%"));
    EXPECT_EQ(versionCheckWith("garbage"), QStringLiteral("0%garbage"));
    EXPECT_EQ(versionCheckWith("9e999.1.1"), QStringLiteral("0%9e999.1.1"));
    server.answer("/data/newver.txt", "404 Not Found", "404 page");
    EXPECT_EQ(CheckNewVersion(0), QStringLiteral("0%"));

    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort()));
    EXPECT_EQ(CheckNewVersion(0), QStringLiteral("0%"));
}

TEST(OfferedVersionText, KeepsOnlyTheVersion) {
    for (const auto& [reply, shown] :
         {std::pair{"1%99.1.2 / \r\n", "99.1.2"}, {"1%6.2.169 beta", "6.2.169"}, {"0%", ""}, {"1% 7", "7"}})
        EXPECT_EQ(OfferedVersionText(QString::fromLatin1(reply)), QString::fromLatin1(shown)) << reply;
}

TEST_F(HttpProceduresTest, ServerThatNeverAnswersEndsWithinTheTimeOut) {
    server.neverAnswer("/data/newver.txt");
    SetHttpTimeoutMs(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(CheckNewVersion(0), QStringLiteral("0%"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(server.lastTarget(), QByteArray("/data/newver.txt"));
}

TEST_F(HttpProceduresTest, ServerBaseComesFromFieldZeroOfTheSetting) {
    EXPECT_EQ(GetServerBaseUrl(), server.base());
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QStringLiteral("%http://other:1%x"));
    EXPECT_EQ(GetServerBaseUrl(), server.base());
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QStringLiteral("http://mirror.example:8080/%1%0"));
    EXPECT_EQ(GetServerBaseUrl(), QStringLiteral("http://mirror.example:8080"));
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QStringLiteral("http://mirror.example:8080"));
    EXPECT_EQ(GetServerBaseUrl(), QStringLiteral("http://mirror.example:8080"));

    EXPECT_EQ(GetSiteUrl().toString(), server.base());
    SetBuiltInServerUrl(QString());
    SaveAppSetting(QStringLiteral("web_hlp_prg_sys"), QString());
    if (qEnvironmentVariableIsEmpty("QENTARA_SERVER_URL")) {
        // The door of `./dev server`, unless the setting names another.
        EXPECT_EQ(GetServerBaseUrl(), QStringLiteral("https://127.0.0.1:18443"));
        EXPECT_EQ(GetSiteUrl().toString(), QStringLiteral("https://127.0.0.1:18443"));
        SaveAppSetting(QStringLiteral("server_url"), QStringLiteral("https://zupu.example.org:8443/"));
        EXPECT_EQ(GetServerBaseUrl(), QStringLiteral("https://zupu.example.org:8443"));
        EXPECT_EQ(GetSiteUrl().toString(), QStringLiteral("https://zupu.example.org:8443"));
        SaveAppSetting(QStringLiteral("server_url"), QString());
    }
}

TEST_F(HttpProceduresTest, BlockingRequestsReturnBodyAndStatus) {
    EXPECT_EQ(HttpGetText(server.base() + QStringLiteral("/echo?name=%E7%8E%8B")),
              QStringLiteral("GET /echo?name=%E7%8E%8B HTTP/1.1"));
    // Chinese query text goes out UTF-8 encoded.
    EXPECT_EQ(HttpGetText(server.base() + QStringLiteral("/echo?name=王")),
              QStringLiteral("GET /echo?name=%E7%8E%8B HTTP/1.1"));
    // The status is not looked at: an error page's body comes back like any reply.
    EXPECT_EQ(HttpGetText(server.base() + QStringLiteral("/missing")), QStringLiteral("no such page"));
    EXPECT_EQ(HttpGetText(QString()), QString());
    EXPECT_EQ(HttpGetText(QStringLiteral("http://127.0.0.1:%1/x").arg(ClosedLocalPort())), QString());

    EXPECT_EQ(HttpUrlOk(server.base() + QStringLiteral("/echo")), 1);
    EXPECT_EQ(HttpUrlOk(server.base() + QStringLiteral("/missing")), 0);
    EXPECT_EQ(HttpUrlOk(QString()), 0);
    EXPECT_EQ(HttpUrlOk(QStringLiteral("not a url at all")), 0);
}

TEST_F(HttpProceduresTest, AsyncRequestFillsTheSharedSlot) {
    HttpGetAsync(server.base() + QStringLiteral("/echo"));
    EXPECT_TRUE(App().AsyncReplyDone);
    EXPECT_EQ(App().AsyncReplyText, QStringLiteral("GET /echo HTTP/1.1"));

    // An empty address leaves the slot as it was.
    HttpGetAsync(QString());
    EXPECT_EQ(App().AsyncReplyText, QStringLiteral("GET /echo HTTP/1.1"));

    SetHttpTimeoutMs(300);
    QElapsedTimer clock;
    clock.start();
    HttpGetAsync(server.base() + QStringLiteral("/never"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(App().AsyncReplyDone);
    EXPECT_EQ(App().AsyncReplyText, QString());
}

namespace {

// The service desk against a throwaway book (the dealer's number is read from it), with every dialog
// scripted.
class ServiceChatTest : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        SaveAppSetting(QStringLiteral("MyQQ"), QString());
        FrmLittle::RegisterForm();
        ui = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        SetInteraction(std::move(previous_));
        BookFixture::TearDown();
    }

    // Answers the QQ prompt with `number` and OK, or cancels it when number is null.
    void expectPrompt(const QString& number) {
        ui->ExpectForm(QStringLiteral("FrmLittle"), [number](QObject* object) {
            auto* form = qobject_cast<FrmLittle*>(object);
            EXPECT_NE(form, nullptr);
            if (!form) return 0;
            EXPECT_EQ(form->RunType(), 8);
            if (number.isNull()) {
                form->findChild<QPushButton*>(QStringLiteral("CmdCancel"))->click();
            } else {
                form->findChild<QComboBox*>(QStringLiteral("Cmb指定为"))->setEditText(number);
                form->findChild<QPushButton*>(QStringLiteral("CmdOK"))->click();
            }
            return form->result();
        });
    }
    void expectBoard() {
        ui->ExpectForm(QStringLiteral("FrmMsg_1A"), [](QObject*) { return 0; });
    }
    QStringList kinds() const {
        QStringList out;
        for (const auto& call : ui->log()) out << call.kind + u':' + call.text;
        return out;
    }

    ScriptedInteraction* ui = nullptr;

private:
    std::unique_ptr<Interaction> previous_;
};

const QString kPrompt = QStringLiteral("Form:FrmLittle");
const QString kQuestion = QStringLiteral("MsgBox:QQ在线，是否优先启用它？");
const QString kOffline = QStringLiteral("MsgBox:QQ未上线，不能启动客服。");
const QString kBoard = QStringLiteral("Form:FrmMsg_1A");
const QString kBuiltInLink = QStringLiteral("Url:tencent://message/?uin=800018080&Site=&Menu=yes");

}  // namespace

TEST_F(ServiceChatTest, CancelledPromptDoesNothing) {
    expectPrompt(QString());
    OpenServiceChat();
    EXPECT_EQ(kinds(), QStringList{kPrompt});
    EXPECT_EQ(ui->log().front().style, 1);
    EXPECT_EQ(App().FormParamString, QString());
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QString());
}

TEST_F(ServiceChatTest, NumericNumberAndYesHandsTheLinkOver) {
    expectPrompt(QStringLiteral("12345"));
    ui->ExpectMsgBox(vb::Yes);
    ui->ExpectUrl(true);
    OpenServiceChat();
    EXPECT_EQ(kinds(), (QStringList{kPrompt, kQuestion, kBuiltInLink}));
    EXPECT_EQ(ui->log().at(1).style, vb::YesNo);
    EXPECT_TRUE(ui->AllConsumed());
    EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QStringLiteral("%0%12345"));
}

TEST_F(ServiceChatTest, LinkNobodyTakesFallsBackToTheBoard) {
    expectPrompt(QStringLiteral("12345"));
    ui->ExpectMsgBox(vb::Yes);
    ui->ExpectUrl(false);
    ui->ExpectMsgBox(vb::OK);
    expectBoard();
    OpenServiceChat();
    EXPECT_EQ(
        kinds(),
        (QStringList{kPrompt, kQuestion, kBuiltInLink,
                     QStringLiteral("MsgBox:本机没有能打开QQ链接的程序，请在留言板上与客服联系。"), kBoard}));
    EXPECT_EQ(ui->log().back().style, 1);
}

TEST_F(ServiceChatTest, NumericNumberAndNoShowsTheBoard) {
    expectPrompt(QStringLiteral("12345"));
    ui->ExpectMsgBox(vb::No);
    expectBoard();
    OpenServiceChat();
    EXPECT_EQ(kinds(), (QStringList{kPrompt, kQuestion, kBoard}));
    EXPECT_TRUE(ui->AllConsumed());
}

TEST_F(ServiceChatTest, NonNumericNumberSaysOfflineThenShowsTheBoard) {
    expectPrompt(QStringLiteral("abc"));
    ui->ExpectMsgBox(vb::OK);
    expectBoard();
    OpenServiceChat();
    EXPECT_EQ(kinds(), (QStringList{kPrompt, kOffline, kBoard}));
    EXPECT_EQ(ui->log().at(1).style, vb::OKOnly);
    EXPECT_TRUE(ui->AllConsumed());
}

// The box proposes the user's stored number whatever another prompt left in the shared strings (the page
// prompt leaves the page it offered); with none stored it is empty, and confirming it empty leads to the
// message board.
TEST_F(ServiceChatTest, ThePromptProposesTheStoredNumberNeverALeftOverPage) {
    struct Case {
        const char* stored;
        const char* shown;
    };
    for (const Case c : {Case{"%111%222", "222"}, Case{"%0%12345", "12345"}, Case{"%0", ""}, Case{"", ""}}) {
        SCOPED_TRACE(c.stored);
        SaveAppSetting(QStringLiteral("MyQQ"), QString::fromLatin1(c.stored));
        App().FormParamString2 = QStringLiteral("7");
        QString shown;
        ui->ExpectForm(QStringLiteral("FrmLittle"), [&shown](QObject* object) {
            auto* form = qobject_cast<FrmLittle*>(object);
            shown = form->findChild<QComboBox*>(QStringLiteral("Cmb指定为"))->currentText();
            form->findChild<QPushButton*>(QStringLiteral("CmdOK"))->click();
            return form->result();
        });
        if (*c.shown) {
            ui->ExpectMsgBox(vb::No);
        } else {
            ui->ExpectMsgBox(vb::OK);
        }
        expectBoard();
        OpenServiceChat();
        EXPECT_EQ(shown, QString::fromLatin1(c.shown));
        EXPECT_EQ(ui->log().at(ui->log().size() - 2).text, *c.shown
                                                               ? QStringLiteral("QQ在线，是否优先启用它？")
                                                               : QStringLiteral("QQ未上线，不能启动客服。"));
        EXPECT_EQ(ui->log().back().text, QStringLiteral("FrmMsg_1A"));
        EXPECT_EQ(GetAppSetting(QStringLiteral("MyQQ")), QString::fromLatin1(*c.stored ? c.stored : "%0"));
        EXPECT_TRUE(ui->AllConsumed());
    }
}

TEST_F(ServiceChatTest, DealerNumberFromTheContactRecordGoesIntoTheLink) {
    {
        Cls数据操作 ops;
        ops.SavePswd2(EncodeText(QStringLiteral("http://dealer%0571-1%经销商%30"), SettingsKey()),
                      EncodeText(QStringLiteral("QQ:10086%a%b"), SettingsKey()));
    }
    expectPrompt(QStringLiteral("12345"));
    ui->ExpectMsgBox(vb::Yes);
    ui->ExpectUrl(true);
    OpenServiceChat();
    EXPECT_EQ(kinds().value(2), QStringLiteral("Url:tencent://message/?uin=10086&Site=&Menu=yes"));
}
