// The page service: each page with its exact reply, and the static file root.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/server_connection.h"
#include "frame/text_scramble.h"
#include "online/user_record.h"
#include "pages/static_files.h"
#include "support/community_server.h"

namespace {

class PagesTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(root.isValid());
        // A page that answers its query back, to see what the frame hands to pages.
        ASSERT_EQ(server_->startPages(
                      root.path(),
                      [](PageService& service) {
                          service.addPage(QStringLiteral("/test/echo.asp"), [](const PageRequest& request,
                                                                               PgConnection&) {
                              return PageReply::Text(request.value("Name") + u'|' + request.value("none"));
                          });
                      }),
                  QString());
        ConnectServerDb();
        cmd.SetActiveConnection(ServerConnection().get());
    }
    RawReply get(const QByteArray& target, const QString& credential = QString()) {
        return RawPageRequest(server_->pages()->port(), "GET", target, credential);
    }

    QTemporaryDir root;
    ServerCommand cmd;
};

}  // namespace

TEST_F(PagesTest, BookRootsAreRecordsWithTheSeparatorsTakenOut) {
    const qint32 me = RegisterTestAccount(cmd, QStringLiteral("me"), QStringLiteral("我"));
    const qint32 mine = SaveTestMember(cmd, me, 0, {QStringLiteral("王'%!五@~[2]")});
    SaveTestMember(cmd, me, 0, {QStringLiteral("王六"), QStringLiteral("王'五")});  // a child, not a root
    const QString myCredential = ServerConnection()->credential();
    const qint32 open = RegisterTestAccount(cmd, QStringLiteral("open"), QStringLiteral("公%!开@~"), 1);
    const qint32 theirs = SaveTestMember(cmd, open, 0, {QStringLiteral("李四")});
    const qint32 closed = RegisterTestAccount(cmd, QStringLiteral("closed"), QStringLiteral("闭"), 0);
    SaveTestMember(cmd, closed, 0, {QStringLiteral("赵七")});

    const RawReply roots = get("/flsh2/get_zproot3.asp?accid=" + QByteArray::number(me), myCredential);
    EXPECT_EQ(roots.status, 200);
    EXPECT_EQ(roots.headers.value("content-type"), QByteArray("text/plain; charset=utf-8"));
    EXPECT_EQ(QString::fromUtf8(roots.body),
              QStringLiteral("王'五%!%1@~李四（公开）%!%2@~").arg(mine).arg(theirs));
    // An account that opened its data to the world shows its trees to anybody.
    EXPECT_EQ(QString::fromUtf8(get("/flsh2/get_zproot3.asp?accid=0").body),
              QStringLiteral("李四（公开）%!%1@~").arg(theirs));
    const RawReply bad = get("/flsh2/get_zproot3.asp", myCredential);
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.body, QByteArray(""));
}

TEST_F(PagesTest, QueryValuesArriveDecodedAndKeysIgnoreCase) {
    EXPECT_EQ(QString::fromUtf8(get("/test/echo.asp?NAME=%E7%8E%8B%27%25%21%E4%BA%94&x=1").body),
              QStringLiteral("王'%!五|"));
}

TEST_F(PagesTest, NumberPages) {
    const qint32 me = RegisterTestAccount(cmd, QStringLiteral("me"), QStringLiteral("我"));
    const QString credential = ServerConnection()->credential();
    const QByteArray id = QByteArray::number(me);
    struct Case {
        QByteArray target;
        int status;
        QByteArray body;
    };
    const Case cases[] = {
        {"/flsh2/getright.asp?accid=" + id, 200, "0"},
        {"/flsh2/ChangeProtected.asp?accid=" + id + "&right=2", 200, "1"},
        {"/flsh2/getright.asp?accid=" + id, 200, "2"},
        {"/flsh2/ChangeProtected.asp?ACCID=%20" + id + "%20&Right=1", 200, "1"},  // keys in any case
        // The path only as the program spells it: nothing changes.
        {"/flsh2/changeprotected.asp?accid=" + id + "&right=2", 404, ""},
        {"/flsh2/getright.asp?accid=" + id, 200, "1"},
        {"/flsh2/ChangeProtected.asp?accid=" + id + "&right=3", 200, "0"},
        {"/flsh2/ChangeProtected.asp?accid=999&right=1", 403, "0"},
        {"/flsh2/ChangeProtected.asp?accid=x&right=1", 400, "0"},
        {"/flsh2/getright.asp?accid=99999999999", 400, "0"},
        {"/flsh2/getgroupid.asp?accid=" + id, 200, "0"},
        {"/flsh2/nosuchpage.asp", 404, ""},
    };
    for (const Case& c : cases) {
        const RawReply reply = get(c.target, credential);
        EXPECT_EQ(reply.status, c.status) << c.target.toStdString();
        EXPECT_EQ(reply.body, c.body) << c.target.toStdString();
    }

    cmd.SetCommandText(QStringLiteral("sp_CreateGroup"));
    cmd.SetValue(QStringLiteral("@z_acc_id"), me);
    cmd.SetValue(QStringLiteral("@z_maxp_id"), 5);
    cmd.SetValue(QStringLiteral("@z_group_name"), QStringLiteral("王氏宗亲会"));
    cmd.Execute();
    EXPECT_EQ(get("/flsh2/getgroupid.asp?accid=" + id, credential).body,
              cmd.Value(QStringLiteral("@z_acc_id")).toByteArray());
}

TEST_F(PagesTest, UserRecordChangesTheLevelThroughThePage) {
    const qint32 me = RegisterTestAccount(cmd, QStringLiteral("me"), QStringLiteral("我"));
    Cls_User user;
    EXPECT_EQ(user.ChangeProtected(me, 2), 0);  // without the log-on's credential
    App().ServerCredential = ServerConnection()->credential();
    EXPECT_EQ(user.ChangeProtected(me, 2), 1);
    EXPECT_EQ(server_->admin().exec(QStringLiteral("SELECT open_level FROM accounts")).rows.value(0),
              QStringList({"2"}));
    EXPECT_EQ(user.ChangeProtected(me, 7), 0);
    // With the page service down the change is reported as not done.
    server_->pages()->stop();
    EXPECT_EQ(user.ChangeProtected(me, 1), 0);
    App().ServerCredential.clear();
}

TEST_F(PagesTest, TheLogOnPageRegistersLogsOnAndIssuesACredential) {
    Cls_User user;
    const auto fields = [](const QString& reply) {
        EXPECT_TRUE(reply.endsWith(QStringLiteral("@~"))) << reply.toStdString();
        return reply.chopped(2).split(QStringLiteral("%!"));
    };
    // The nickname arrives whole, "&" and all, with the reply separators taken out.
    const QStringList registered = fields(user.Logon2(QStringLiteral("号1"), QStringLiteral("d&1"),
                                                      QStringLiteral("d2"), QStringLiteral("新%!人&R=0"), 1));
    ASSERT_EQ(registered.size(), 6);
    EXPECT_EQ(registered.mid(2, 3), QStringList({QStringLiteral("新人&R=0"), "0", "0"}));
    EXPECT_EQ(registered[0], QStringLiteral("3"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{48}$")).match(registered[5]).hasMatch());
    const qint32 id = registered[1].toInt();
    // and sp_trylogon, which gets the number scrambled as the log-on form sends it
    EXPECT_EQ(CallTryLogon(cmd, EncodeTextEx(QStringLiteral("号1"), ServerKey()), QStringLiteral("d&1"), 0),
              1);

    const struct {
        const char* password;
        quint8 R;
        const char* state;
    } cases[] = {{"d&1", 0, "1"}, {"d&1", 1, "1"}, {"wrong", 0, "2"}, {"wrong", 1, "2"}};
    for (const auto& c : cases) {
        const QStringList answer = fields(
            user.Logon2(QStringLiteral("号1"), QString::fromUtf8(c.password), QString(), QString(), c.R));
        ASSERT_EQ(answer.size(), 6) << c.password;
        EXPECT_EQ(answer[0], QString::fromLatin1(c.state)) << c.password << int(c.R);
        EXPECT_EQ(answer[1], answer[0] == "1" ? QString::number(id) : QStringLiteral("0")) << c.password;
        EXPECT_EQ(answer[5].size(), answer[0] == "1" ? 48 : 0) << c.password;
    }
    EXPECT_EQ(
        fields(user.Logon2(QStringLiteral("无此号"), QStringLiteral("x"), QString(), QString(), 0)).first(),
        QStringLiteral("2"));
    EXPECT_EQ(user.Logon2(QString(), QString(), QString(), QString(), 0), QString());

    // The credential acts for the account at the pages.
    App().ServerCredential = registered[5];
    EXPECT_EQ(user.ChangeProtected(id, 1), 1);
    App().ServerCredential.clear();
}

TEST_F(PagesTest, StaticFilesCarryLengthAndDateAndAnswerHead) {
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("zip")));
    QByteArray archive(200000, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(archive.data()), archive.size() / 4);
    QFile file(root.filePath(QStringLiteral("zip/qnt.rar")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(archive);
    file.close();
    const QDateTime stamp(QDate(2024, 3, 5), QTime(6, 7, 8), Qt::UTC);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    file.close();
    EXPECT_EQ(HttpDate(stamp), QByteArray("Tue, 05 Mar 2024 06:07:08 GMT"));

    const RawReply whole = get("/zip/qnt.rar");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.headers.value("content-length"), QByteArray("200000"));
    EXPECT_EQ(whole.headers.value("last-modified"), QByteArray("Tue, 05 Mar 2024 06:07:08 GMT"));
    EXPECT_TRUE(whole.body == archive);

    const RawReply head = RawPageRequest(server_->pages()->port(), "HEAD", "/zip/qnt.rar");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers.value("content-length"), QByteArray("200000"));
    EXPECT_EQ(head.headers.value("last-modified"), whole.headers.value("last-modified"));
    EXPECT_TRUE(head.body.isEmpty());

    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("public_message")));
    QFile message(root.filePath(QStringLiteral("public_message/pmessage.htm")));
    ASSERT_TRUE(message.open(QIODevice::WriteOnly));
    message.write("<p>欢迎</p>");
    message.close();
    const RawReply page = get("/public_message/pmessage.htm");
    EXPECT_EQ(page.headers.value("content-type"), QByteArray("text/html; charset=utf-8"));
    EXPECT_EQ(page.body, QByteArray("<p>欢迎</p>"));

    // Nothing outside the root (links included), no folders, nothing missing.
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc/hostname"), root.filePath(QStringLiteral("link.txt"))));
    for (const QByteArray& target :
         {QByteArray("/zip/../../etc/passwd"), QByteArray("/zip/%2e%2e/%2e%2e/etc/hosts"),
          QByteArray("/link.txt"), QByteArray("/zip"), QByteArray("/zip/none.rar"), QByteArray("/")})
        EXPECT_EQ(get(target).status, 404) << target.toStdString();
}

// Reached without the door, the service itself reads no body a page does not read, posts nothing but
// the program's calls, and refuses a value holding NUL with the page's own "not done".
TEST_F(PagesTest, TheServiceAloneRefusesBodiesPostsAndNul) {
    struct Case {
        QByteArray request;
        int status;
        QByteArray body;
    };
    const Case cases[] = {
        {"GET /flsh2/getright.asp?accid=1 HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\n", 413, ""},
        {"POST /flsh2/getright.asp?accid=1 HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n{}", 405, ""},
        {"GET /flsh2/getright.asp?accid=1%00 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 400, "0"},
        {"GET /flsh2/get_zproot3.asp?accid=%001 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 400, ""},
        {"GET /flsh2/getgroupdetail.asp?gid=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 200, ""},
    };
    for (const Case& c : cases) {
        const RawReply reply = RawExchange(server_->pages()->port(), c.request);
        EXPECT_EQ(reply.status, c.status) << c.request.left(40).toStdString();
        EXPECT_EQ(reply.body, c.body) << c.request.left(40).toStdString();
    }
}
