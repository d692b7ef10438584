// The program's side of the door: every failure is said in the program's words, an answer lost on the
// way is asked for again, and nothing goes out unencrypted beyond this machine.

#include "platform/door/door_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "platform/door/server_error.h"
#include "support/test_http_server.h"

namespace {

QString FailureOf(DoorConnection& door, int timeoutMs = 5000) {
    try {
        door.post(QStringLiteral("/door/open"), QJsonObject(), timeoutMs);
    } catch (const ServerError& e) {
        return e.Description();
    }
    return QStringLiteral("(no failure)");
}

}  // namespace

TEST(DoorConnectionTest, RefusalsAndTroublesAreSaidInTheProgramsWords) {
    struct Case {
        QByteArray status;
        QByteArray body;
        QString said;
        int requests;  // the troubles of the door itself are tried three times
    };
    const Case cases[] = {
        {"429 Too Many Requests", "", QStringLiteral("服务器正忙：从本机来的请求太多。请稍后再试。"), 1},
        {"413 Payload Too Large", "", QStringLiteral("发送的内容太大，服务器拒收。"), 1},
        {"403 Forbidden", "", QStringLiteral("服务器拒绝了这个请求。"), 1},
        {"400 Bad Request", R"({"code":"nul"})",
         QStringLiteral("服务器拒绝了这个请求：其中有不能保存的字符（NUL）。"), 1},
        {"400 Bad Request", "<html>plain HTTP</html>",
         QStringLiteral("服务器拒绝了这个请求：请求的内容有误。"), 1},
        {"500 Internal Server Error", "", QStringLiteral("服务器暂时不能处理请求，请稍后再试。"), 1},
        {"502 Bad Gateway", "", QStringLiteral("服务器暂时不能处理请求，请稍后再试。"), 3},
        {"503 Service Unavailable", "", QStringLiteral("服务器暂时不能处理请求，请稍后再试。"), 3},
        {"404 Not Found", "no such page",
         QStringLiteral("服务器不认识这个请求（HTTP 404）：它可能不是本程序的社区服务器。"), 1},
        {"200 OK", "not json", QStringLiteral("服务器的回答无法读懂，请确认服务器地址无误。"), 1},
    };
    for (const Case& c : cases) {
        TestHttpServer server;
        server.answer("/door/", c.status, c.body, "application/json");
        DoorConnection door(server.base());
        EXPECT_EQ(FailureOf(door), c.said) << c.status.toStdString();
        EXPECT_EQ(server.requests(), c.requests) << c.status.toStdString();
        EXPECT_EQ(server.lastRequestLine(), QByteArray("POST /door/open HTTP/1.1"));
        EXPECT_FALSE(door.isOpen());
    }
}

TEST(DoorConnectionTest, ALapsedCredentialIsForgottenAndSaidSo) {
    TestHttpServer server;
    server.answer("/door/", "401 Unauthorized", R"({"code":"lapsed"})", "application/json");
    DoorConnection door(server.base());
    int lapsed = 0;
    door.setLapsedHandler([&] { ++lapsed; });
    try {
        door.open(QStringLiteral("c0ffee"));
        ADD_FAILURE() << "opened";
    } catch (const ServerError& e) {
        EXPECT_EQ(e.Description(), QStringLiteral("登录已过期，请重新登录后再试。"));
    }
    EXPECT_EQ(lapsed, 1);
    EXPECT_TRUE(door.credential().isEmpty());
    EXPECT_FALSE(door.isOpen());
}

TEST(DoorConnectionTest, UnreachableSilentAndUnencryptedDoors) {
    QElapsedTimer clock;
    clock.start();
    DoorConnection closed(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort()));
    EXPECT_EQ(FailureOf(closed),
              QStringLiteral("无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；"
                             "仍然不行，请与服务器的管理员联系。"));
    EXPECT_LT(clock.elapsed(), 3000);

    TestHttpServer silent;
    silent.neverAnswer("/door/");
    DoorConnection waiting(silent.base());
    EXPECT_EQ(FailureOf(waiting, 800), QStringLiteral("服务器在 1 秒内没有回答，请稍后再试。"));
    EXPECT_EQ(silent.requests(), 1);

    // Passwords and credentials never leave this machine unencrypted: nothing is sent at all.
    for (const char* address : {"http://zupu.example.org", "ftp://127.0.0.1:21", "http://10.0.0.1:18080"}) {
        DoorConnection plain(QString::fromLatin1(address));
        EXPECT_EQ(FailureOf(plain),
                  QStringLiteral("服务器地址必须以 https:// 开头：程序只通过加密的连接与服务器通信。"))
            << address;
    }
}

TEST(DoorConnectionTest, AnAnswerComesBackAsItsObject) {
    TestHttpServer server;
    server.answer("/door/open", "200 OK", R"({"account": 7})", "application/json");
    DoorConnection door(server.base() + QStringLiteral("/"));
    door.open();
    EXPECT_TRUE(door.isOpen());
    EXPECT_EQ(door.state(), DoorConnection::kStateOpen);
    EXPECT_EQ(door.post(QStringLiteral("/door/open"), {}, 5000).value(QStringLiteral("account")).toInt(), 7);
    door.close();
    EXPECT_EQ(door.state(), DoorConnection::kStateClosed);
}
