#include "platform/http/http_client.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

#include "support/test_http_server.h"

namespace {

// "/fixed" answers a fixed UTF-8 body, "/missing" a 404, "/never" reads the request and never answers,
// and anything else echoes the request line.
class LocalHttpServer : public TestHttpServer {
public:
    LocalHttpServer() {
        answer("/fixed", "200 OK", kFixedBody);
        answer("/missing", "404 Not Found", "no such page");
        neverAnswer("/never");
    }
    static inline const QByteArray kFixedBody = "第一行\r\nline 2";
};

const QString kAwkward = QStringLiteral("王 大+%&=");
const QString kAwkwardEncoded = QStringLiteral("%E7%8E%8B%20%E5%A4%A7%2B%25%26%3D");

}  // namespace

TEST(HttpEncodingTest, QueryValuesAreUtf8PercentEncoded) {
    EXPECT_EQ(PercentEncodeQueryValue(kAwkward), kAwkwardEncoded);
    EXPECT_EQ(PercentEncodeQueryValue(QStringLiteral("Az09-_.~")), QStringLiteral("Az09-_.~"));
    EXPECT_EQ(PercentEncodeQueryValue(QStringLiteral("%2B")), QStringLiteral("%252B"));
    EXPECT_EQ(PercentEncodeQueryValue(QStringLiteral("a/b?c#d'\"")), QStringLiteral("a%2Fb%3Fc%23d%27%22"));
    EXPECT_EQ(PercentEncodeQueryValue(QString()), QString());
    // A character outside the basic plane is one UTF-8 sequence, not two escaped surrogates.
    EXPECT_EQ(PercentEncodeQueryValue(QString::fromUtf8("𠀀")), QStringLiteral("%F0%A0%80%80"));
}

TEST(HttpEncodingTest, BuildUrlKeepsEscapesExactly) {
    const QUrl url = BuildUrl(QStringLiteral("http://127.0.0.1:8080/"), QStringLiteral("/zp/list.asp"),
                              {{"name", kAwkward}, {"plus", "+"}, {"raw", "%2B"}, {"empty", ""}});
    ASSERT_TRUE(url.isValid());
    EXPECT_EQ(url.toEncoded(), "http://127.0.0.1:8080/zp/list.asp?name=" + kAwkwardEncoded.toLatin1() +
                                   "&plus=%2B&raw=%252B&empty=");
    EXPECT_EQ(BuildUrl("http://h", "/p?a=1", {{"b", "x y"}}).toEncoded(), "http://h/p?a=1&b=x%20y");
    EXPECT_EQ(BuildUrl("http://h", "/p", {}).toEncoded(), "http://h/p");
}

TEST(HttpEncodingTest, ReplyTextIsUtf8WithoutByteOrderMark) {
    EXPECT_EQ(DecodeReplyText("\xEF\xBB\xBF王氏|1"), QStringLiteral("王氏|1"));
    EXPECT_EQ(DecodeReplyText("ok"), QStringLiteral("ok"));
    EXPECT_TRUE(DecodeReplyText({}).isEmpty());
}

TEST(HttpGetBlockingTest, ReturnsBodyAndStatus) {
    LocalHttpServer server;
    bool ok = false;
    int status = 0;
    const QByteArray body = HttpGetBlocking(server.url("/fixed"), 5000, &ok, &status);
    EXPECT_TRUE(ok);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, LocalHttpServer::kFixedBody);
    EXPECT_EQ(DecodeReplyText(body), QStringLiteral("第一行\r\nline 2"));
}

TEST(HttpGetBlockingTest, SendsTheEncodedQueryOnTheWire) {
    LocalHttpServer server;
    bool ok = false;
    const QUrl url = BuildUrl(server.base(), "/echo", {{"name", kAwkward}, {"raw", "%2B"}, {"q", "+"}});
    const QByteArray line = HttpGetBlocking(url, 5000, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(line, "GET /echo?name=" + kAwkwardEncoded.toLatin1() + "&raw=%252B&q=%2B HTTP/1.1");
}

TEST(HttpGetBlockingTest, HttpErrorIsNotOk) {
    LocalHttpServer server;
    bool ok = true;
    int status = 0;
    const QByteArray body = HttpGetBlocking(server.url("/missing"), 5000, &ok, &status);
    EXPECT_FALSE(ok);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(body, "no such page");
}

TEST(HttpGetBlockingTest, SilentServerTimesOutEmpty) {
    LocalHttpServer server;
    bool ok = true;
    int status = -1;
    QElapsedTimer clock;
    clock.start();
    const QByteArray body = HttpGetBlocking(server.url("/never"), 300, &ok, &status);
    const qint64 elapsed = clock.elapsed();
    EXPECT_FALSE(ok);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(body.isEmpty());
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 2300);
    EXPECT_TRUE(server.lastRequestLine().startsWith("GET /never"));
}

TEST(HttpGetBlockingTest, RefusedConnectionFailsQuickly) {
    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    const QByteArray body =
        HttpGetBlocking(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(ClosedLocalPort())), 5000, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(body.isEmpty());
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST(HttpGetBlockingTest, UnfinishedReplyWhileQuittingIsNotOk) {
    LocalHttpServer server;
    bool ok = true;
    int status = -1;
    QByteArray body = "untouched";
    // Once the program is quitting, a local event loop returns at once, before any answer came.
    QTimer::singleShot(0, [&] {
        QCoreApplication::exit(0);
        body = HttpGetBlocking(server.url("/fixed"), 5000, &ok, &status);
    });
    QCoreApplication::exec();
    EXPECT_FALSE(ok);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(body.isEmpty());
}

TEST(AsyncHttpGetTest, DeliversOnce) {
    LocalHttpServer server;
    AsyncHttpGet get;
    QSignalSpy spy(&get, &AsyncHttpGet::finished);
    get.start(server.url("/fixed"), 300);
    EXPECT_FALSE(get.isDone());
    ASSERT_TRUE(spy.wait(5000));
    // Wait beyond the time-out: the finished request must not be reported a second time.
    QTest::qWait(500);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("第一行\r\nline 2"));
    EXPECT_TRUE(spy.at(0).at(1).toBool());
    EXPECT_TRUE(get.isDone());
    EXPECT_TRUE(get.ok());
    EXPECT_EQ(get.text(), QStringLiteral("第一行\r\nline 2"));
    EXPECT_EQ(get.httpStatus(), 200);
}

TEST(AsyncHttpGetTest, SilentServerDeliversEmptyAfterTimeOut) {
    LocalHttpServer server;
    AsyncHttpGet get;
    QSignalSpy spy(&get, &AsyncHttpGet::finished);
    QElapsedTimer clock;
    clock.start();
    get.start(server.url("/never"), 300);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_GE(clock.elapsed(), 250);
    QTest::qWait(200);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QString());
    EXPECT_FALSE(spy.at(0).at(1).toBool());
    EXPECT_TRUE(get.isDone());
    EXPECT_FALSE(get.ok());
    EXPECT_TRUE(get.text().isEmpty());
}

TEST(AsyncHttpGetTest, DestroyingAPendingGetIsSafe) {
    LocalHttpServer server;
    QObject listener;
    int delivered = 0;
    {
        auto get = std::make_unique<AsyncHttpGet>();
        QObject::connect(get.get(), &AsyncHttpGet::finished, &listener, [&] { ++delivered; });
        get->start(server.url("/never"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(server.requests(), 1, 5000);
    }
    // The aborted request reports nothing, neither while the object goes nor afterwards.
    QTest::qWait(50);
    EXPECT_EQ(delivered, 0);
}
