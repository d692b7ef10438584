// The service-desk message board against the community server: the conversation through the window,
// the queue's rules, and what a received body may show.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "community/board_queue.h"
#include "community/board_text.h"
#include "community/ebook_online_fixture.h"
#include "community/forms/board_editor.h"
#include "community/forms/frm_msg_1a.h"
#include "community/soft_no.h"
#include "frame/http_procedures.h"
#include "pages/board_desk.h"
#include "platform/bookdir.h"
#include "platform/settings_store.h"
#include "support/temp_book.h"
#include "support/test_http_server.h"

namespace {

class Board : public EbookOnlineTest {
protected:
    // Runs the pump until the queue has nothing left to send and nothing under way.
    static bool Drain(BoardQueue& queue, int ms = 8000) {
        return QTest::qWaitFor([&] { return queue.Queue().isEmpty() && queue.State() == 1; }, ms);
    }
    QList<DeskMessage> waiting() { return DeskWaiting(server_->admin(), QStringLiteral("8001")); }
    void deskAnswers();
};

void Board::deskAnswers() {
    FrmMsg_1A form;
    form.Form_Load();
    form.Form_Activate();
    BoardQueue& queue = form.Queue();
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(form.StatusPanel(2), QStringLiteral("客服在线"));
    EXPECT_EQ(queue.PartnerNo(), QString::fromLatin1(kBuiltInServiceQQ));
    const QString own = MakeSoftNo();
    EXPECT_EQ(queue.OwnNo(), own);
    // Opening the board claimed both of the installation's numbers with its secret.
    EXPECT_EQ(serverValue(QStringLiteral("SELECT string_agg(kind || '=' || number, ',' ORDER BY kind) FROM "
                                         "installation_proofs")),
              QStringLiteral("board=%1,ebook=%2").arg(own, InstallationClaimQuery(own).value(1).second));

    // An empty editor sends nothing; a message with "%" in it arrives whole.
    EXPECT_FALSE(form.SendMessage());
    form.Editor()->setPlainText(QStringLiteral("请问 100% 的进度怎么算？"));
    ASSERT_TRUE(form.SendMessage());
    EXPECT_TRUE(form.Editor()->toPlainText().isEmpty());
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(queue.DeskNo(), QStringLiteral("8001"));
    EXPECT_EQ(queue.PartnerName(), QStringLiteral("客服小秦"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Lblab_no"))->text(), QStringLiteral("8001"));
    const QList<DeskMessage> asked = waiting();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0].userNo, own);
    EXPECT_EQ(asked[0].html, QStringLiteral("请问 100% 的进度怎么算？"));
    EXPECT_TRUE(waiting().isEmpty());  // read once

    const QString stamp =
        DeskAnswer(server_->admin(), QStringLiteral("8001"), own,
                   QStringLiteral("按 50%<script>alert('x')</script> 算，<b onclick='y()'>好</b>"));
    ASSERT_FALSE(stamp.isEmpty());
    queue.Poll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.SoundsPlayed() == 1; }, 8000));
    EXPECT_EQ(queue.LastMsgTime(), stamp);
    EXPECT_NE(queue.LastSendTime(), QString());
    const QString log = queue.LogPage();
    EXPECT_TRUE(log.contains(QStringLiteral("客服小秦 ") + stamp.section(u' ', 1) +
                             QStringLiteral("</FONT><BR>按 50% 算，<b>好</b>")))
        << qPrintable(log);
    EXPECT_FALSE(log.contains(QStringLiteral("script"), Qt::CaseInsensitive));
    EXPECT_FALSE(log.contains(QStringLiteral("onclick")));
    EXPECT_TRUE(form.View()->toPlainText().contains(QStringLiteral("按 50% 算，好")));
    QFile file(queue.LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), log);

    // Shown answers are confirmed: the next poll brings nothing and plays nothing.
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(
        serverValue(QStringLiteral("SELECT count(*) FROM board_messages WHERE NOT to_desk AND delivered")),
        QStringLiteral("1"));
    queue.Poll();
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(form.SoundsPlayed(), 1);

    // The display name goes to the server and comes back on the next activation.
    ui_->ExpectInput(QStringLiteral("族人甲"));
    form.abPic_Click();
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(form.StatusPanel(1), QStringLiteral("显示名修改成功。"));
    EXPECT_EQ(serverValue(QStringLiteral("SELECT shown_name FROM board_users")), QStringLiteral("族人甲"));
}

TEST_F(Board, DeskAnswersAndTheAnswerShowsWithTheSoundButNoScript) {
    deskAnswers();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(Board, DeskAnswersAndTheAnswerShowsWithTheSoundButNoScriptThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    deskAnswers();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

TEST_F(Board, QueueSendsOneItemAtOnceKeepsItsWaitAndDropsALostReply) {
    TestHttpServer silent;
    silent.neverAnswer("/");
    SetBuiltInServerUrl(silent.base());
    BoardQueue::SetReplyTimeoutMs(300);
    BoardQueue queue;
    queue.Load(QString(), QStringLiteral("own-1"), QStringLiteral("800018080"));
    // The installation's numbers are claimed before anything goes under them.
    const QString claim = queue.Queue().section(QStringLiteral("|~|"), 0, 0);
    EXPECT_TRUE(claim.startsWith(QStringLiteral("9||claim.asp?ano=own-1&soft_no="))) << claim.toStdString();
    EXPECT_EQ(queue.Queue(), claim + QStringLiteral("|~|5||ipseek.asp|~|"));
    queue.Pump();  // a complete item goes at once
    EXPECT_EQ(queue.State(), 2);
    queue.Activate();  // activation never resets a request under way
    EXPECT_EQ(queue.State(), 2);
    EXPECT_TRUE(queue.Queue().startsWith(
        claim + QStringLiteral("|~|5||ipseek.asp|~|1||getsvrinfo.asp?gsno=800018080&bno=|~|")));
    // No reply in time: the item is dropped and the next one goes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return queue.Queue().startsWith(QStringLiteral("1||")); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return queue.State() == 2; }, 3000));
    BoardQueue::SetReplyTimeoutMs(0);
}

TEST_F(Board, AMessageThatFindsNoServerIsMarkedNotSentAndGoesWhenTheServerAnswersAgain) {
    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort()));
    BoardQueue queue;
    QStringList said;
    QObject::connect(&queue, &BoardQueue::statusText, [&](int panel, const QString& text) {
        if (panel == 1) said << text;
    });
    queue.Load(QString(), QStringLiteral("own-2"), QStringLiteral("800018080"));
    ASSERT_TRUE(queue.Send(QStringLiteral("在吗？")));
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(queue.UnsentCount(), 1);
    EXPECT_EQ(said, QStringList({"消息未能发出：无法连接服务器。请检查网络连接，连接恢复后将自动重发。"}));
    const QString mark = QStringLiteral("（未发出：无法连接服务器，连接恢复后自动重发）");
    EXPECT_TRUE(queue.LogPage().contains(QStringLiteral("在吗？<BR><FONT color=#FF0000 size=2>") + mark));
    QFile file(queue.LogPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(mark));
    EXPECT_TRUE(waiting().isEmpty());

    // The server is back: the next answered request takes the message along, once.
    SetBuiltInServerUrl(server_->url());
    queue.Poll();
    ASSERT_TRUE(Drain(queue));
    EXPECT_EQ(queue.UnsentCount(), 0);
    EXPECT_FALSE(queue.LogPage().contains(mark));
    EXPECT_EQ(said.last(), QStringLiteral("未发出的消息已补发。"));
    const QList<DeskMessage> arrived = waiting();
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0].html, QStringLiteral("在吗？"));
}

// A board that the server turns down: the user's message is marked with the reason, not sent again,
// and nothing of it is kept.
class RefusedBoard : public Board {
protected:
    void TearDown() override {
        SaveSetting(kSetting, saved_);
        Board::TearDown();
    }
    // Opens a board of this installation's number and sends one message.
    void sendFrom(BoardQueue& queue, const QString& text) {
        QObject::connect(&queue, &BoardQueue::statusText, [this](int panel, const QString& said) {
            if (panel == 1) said_ << said;
        });
        queue.Load(QString(), MakeSoftNo(), QString::fromLatin1(kBuiltInServiceQQ));
        queue.Activate();
        ASSERT_TRUE(queue.Send(text));
        queue.Poll();
        ASSERT_TRUE(Drain(queue));
    }
    static QString refusedMark(const QString& text, const QString& why) {
        return text + QStringLiteral("<BR><FONT color=#FF0000 size=2>（未发出：") + why +
               QStringLiteral("）</FONT>");
    }

    const QString kSetting = QStringLiteral("installation_secret");
    const QString saved_ = GetSetting(kSetting);
    QStringList said_;
};

TEST_F(RefusedBoard, AnotherInstallationWithTheSameNumberIsToldAndGetsNothing) {
    SaveSetting(kSetting, QString(64, u'a'));
    {
        BoardQueue owner;
        sendFrom(owner, QStringLiteral("我的留言"));
        EXPECT_EQ(owner.UnsentCount(), 0);
    }
    ASSERT_EQ(waiting().size(), 1);
    const QString stamp =
        DeskAnswer(server_->admin(), QStringLiteral("8001"), MakeSoftNo(), QStringLiteral("只给本人"));

    SaveSetting(kSetting, QString(64, u'b'));
    said_.clear();
    {
        // Its own board, gone before the owner comes back (its timers would ask with the owner's secret).
        BoardQueue other;
        sendFrom(other, QStringLiteral("冒充"));
        EXPECT_EQ(other.UnsentCount(), 0);
        EXPECT_TRUE(other.LogPage().contains(
            refusedMark(QStringLiteral("冒充"), QStringLiteral("留言板编号已由另一安装使用"))))
            << other.LogPage().toStdString();
        EXPECT_TRUE(said_.contains(QStringLiteral("消息未能发出：留言板编号已由另一安装使用。")));
        EXPECT_TRUE(said_.contains(QStringLiteral("本机的留言板编号已由另一安装使用，不能在此收发留言。")));
        EXPECT_EQ(other.LastMsgTime(), QString());
        EXPECT_TRUE(waiting().isEmpty());
        // Nothing goes again once the server answers.
        other.Poll();
        ASSERT_TRUE(Drain(other));
        EXPECT_TRUE(waiting().isEmpty());
    }
    SaveSetting(kSetting, QString(64, u'a'));
    BoardQueue owner;
    owner.Load(QString(), MakeSoftNo(), QString::fromLatin1(kBuiltInServiceQQ));
    owner.Poll();
    ASSERT_TRUE(Drain(owner));
    EXPECT_EQ(owner.LastMsgTime(), stamp);
}

// Somebody who learnt the number claimed it first: the installation is told, the desk lets the number
// go, and the installation claims it again the next time the board opens.
TEST_F(RefusedBoard, ANumberTakenFirstIsReleasedByTheDeskAndClaimedAgain) {
    SaveSetting(kSetting, QString(64, u'b'));
    {
        BoardQueue first;
        first.Load(QString(), MakeSoftNo(), QString::fromLatin1(kBuiltInServiceQQ));
        ASSERT_TRUE(Drain(first));
    }
    SaveSetting(kSetting, QString(64, u'a'));
    {
        BoardQueue owner;
        sendFrom(owner, QStringLiteral("被占"));
        EXPECT_TRUE(said_.contains(QStringLiteral("本机的留言板编号已由另一安装使用，不能在此收发留言。")));
        EXPECT_TRUE(waiting().isEmpty());
    }
    QString error;
    EXPECT_EQ(DeskRelease(server_->admin(), MakeSoftNo(), &error), 2);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(DeskRelease(server_->admin(), MakeSoftNo(), &error), 0);

    said_.clear();
    BoardQueue owner;
    sendFrom(owner, QStringLiteral("归还"));
    EXPECT_FALSE(said_.contains(QStringLiteral("本机的留言板编号已由另一安装使用，不能在此收发留言。")));
    const QList<DeskMessage> arrived = waiting();
    ASSERT_EQ(arrived.size(), 1);
    EXPECT_EQ(arrived[0].html, QStringLiteral("归还"));
    EXPECT_EQ(serverValue(QStringLiteral("SELECT count(*) FROM installation_proofs WHERE secret_digest = "
                                         "sha256(convert_to(repeat('a', 64), 'UTF8'))")),
              QStringLiteral("2"));
}

TEST_F(RefusedBoard, AMessageOverTheAddressLimitIsToldAndNotSentAgain) {
    server_->admin().exec(
        QStringLiteral("INSERT INTO address_writes VALUES ('board', '127.0.0.1', now(), 60)"));
    BoardQueue queue;
    sendFrom(queue, QStringLiteral("太多"));
    EXPECT_EQ(queue.UnsentCount(), 0);
    EXPECT_TRUE(queue.LogPage().contains(
        refusedMark(QStringLiteral("太多"), QStringLiteral("留言过于频繁，请稍后再发"))));
    EXPECT_TRUE(said_.contains(QStringLiteral("消息未能发出：留言过于频繁，请稍后再发。")));
    queue.Poll();
    ASSERT_TRUE(Drain(queue));
    EXPECT_TRUE(waiting().isEmpty());
    EXPECT_EQ(serverValue(QStringLiteral("SELECT count(*) FROM board_messages")), QStringLiteral("0"));
}

TEST_F(Board, ValuesCannotReshapeTheQueueAndTheLogNameKeepsOnlySafeCharacters) {
    BoardQueue queue;
    queue.Load(QStringLiteral("../80-01|~|"), QStringLiteral("ab c#1"), QStringLiteral("800018080"));
    EXPECT_EQ(queue.LogPath(), GetAppPath() + QStringLiteral("x80-01abc1.htm"));
    queue.RecTimer()->stop();
    queue.Rename(QStringLiteral("张|~|9||x&y=%"));
    EXPECT_EQ(queue.Queue().count(QStringLiteral("|~|")), 3);  // the claim, the address, the name
    EXPECT_TRUE(queue.Queue().endsWith(QStringLiteral("&name=%E5%BC%A0%7C~%7C9%7C%7Cx%26y%3D%25|~|")));
}

// The desk's status reply: a leading number above 0 is on line; a last digit 0 sends the board to the
// service account (whose status is asked once more).
TEST(BoardReplies, StatusReplyDecidesTheDeskAndTheAddressIsMasked) {
    TempBook book;
    TestHttpServer server;
    SetBuiltInServerUrl(server.base());
    server.answer("/flsh/ipseek.asp", "200 OK", "10.1.2.34");
    const struct {
        const char* reply;
        const char* shown;
        bool switched;
    } cases[] = {
        {"5", "客服在线", false}, {"0", "客服离线", true}, {"10", "客服在线", true}, {"", "客服离线", true}};
    for (const auto& c : cases) {
        server.answer("/flsh/getsvrinfo.asp", "200 OK", c.reply);
        BoardQueue queue;
        QStringList panel2;
        QObject::connect(&queue, &BoardQueue::statusText, [&](int panel, const QString& text) {
            if (panel == 2) panel2 << text;
        });
        queue.Load(QStringLiteral("0571-1"), QStringLiteral("own"), QStringLiteral("800018080"));
        queue.Activate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return queue.Queue().isEmpty() && queue.State() == 1; }, 8000));
        ASSERT_FALSE(panel2.isEmpty());
        EXPECT_EQ(panel2.first(), QStringLiteral("10.1.2.*")) << c.reply;
        EXPECT_EQ(panel2.value(1), QString::fromUtf8(c.shown)) << c.reply;
        EXPECT_EQ(queue.PartnerNo(), c.switched ? QStringLiteral("800018080") : QStringLiteral("0571-1"))
            << c.reply;
    }
    SetBuiltInServerUrl(QString());
}

TEST(BoardText, ReceivedBodiesKeepOnlyHarmlessMarkup) {
    const struct {
        const char* body;
        const char* shown;
    } cases[] = {
        {"<b>粗</b><i>斜</i><u>线</u><br>下一行", "<b>粗</b><i>斜</i><u>线</u><br>下一行"},
        {"a<script>alert(1)</script>b<SCRIPT src=x></SCRIPT>c", "abc"},
        {"<p onclick=\"x()\" align=center>段</p>", "<p align=\"center\">段</p>"},
        {"<font color=#ff0000 style='x' size=3>红</font>", "<font color=\"#ff0000\" size=\"3\">红</font>"},
        {"<a href='javascript:x()'>链</a><iframe src=x>框</iframe>", "链"},
        {"<img src=\"javascript:x\"><img src='http://a.cn/p.png' onerror='x()'>",
         "<img><img src=\"http://a.cn/p.png\">"},
        {"<style>p{}</style><!-- c -->1 < 2 & 3 &amp; 4", "1 &lt; 2 & 3 &amp; 4"},
        {"<font color=\"red;background:url(x)\">x</font>", "<font>x</font>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SanitizeBoardHtml(QString::fromUtf8(c.body)), QString::fromUtf8(c.shown)) << c.body;
}

TEST(BoardText, EditorDocumentBecomesTheMessage) {
    BoardEditor editor;
    EXPECT_EQ(BoardMessageHtml(*editor.document()), QString());
    editor.setPlainText(QStringLiteral("\n  \n"));
    EXPECT_EQ(BoardMessageHtml(*editor.document()), QString());
    editor.setHtml(QStringLiteral("<p>第一行 <b>粗</b></p><p>a&lt;b</p><p></p>"));
    EXPECT_EQ(BoardMessageHtml(*editor.document()), QStringLiteral("第一行 <B>粗</B><BR>a&lt;b"));
}

}  // namespace

// The editor's buttons follow typing, undoing and selecting with the mouse never moved.
TEST(BoardEditorButtons, FollowTheKeyboard) {
    TempBook book;
    FrmMsg_1A form;
    form.show();
    form.Editor()->setFocus();
    const auto enabled = [&form](const char* key) {
        return form.findChild<QAction*>(QString::fromLatin1(key))->isEnabled();
    };
    form.UpdateEditButtons();
    EXPECT_FALSE(enabled("b_undo"));
    QTest::keyClicks(form.Editor(), QStringLiteral("abc"));
    EXPECT_TRUE(enabled("b_undo"));
    EXPECT_FALSE(enabled("b_copy"));
    QTest::keyClick(form.Editor(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(enabled("b_copy"));
    form.TbarEditEx_ButtonClick(QStringLiteral("b_undo"));
    EXPECT_TRUE(form.Editor()->toPlainText().isEmpty());
    EXPECT_FALSE(enabled("b_undo"));
    EXPECT_TRUE(enabled("b_redo"));
    EXPECT_FALSE(enabled("b_copy"));
}
