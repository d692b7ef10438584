// The door as a client meets it: TLS only, bodies and heads of bounded size, a credential scheme in any
// case, values with NUL refused, per-address limits, slow clients that hold nobody up, and two page
// services that serve the same clients.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <latch>
#include <mutex>
#include <thread>

#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "platform/door/server_error.h"
#include "platform/settings_store.h"
#include "support/community_server.h"

namespace {

// A page that holds its request (and its database connection) until the test lets it go.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int inside = 0;
};

class DoorTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(QString(),
                                      [gate = gate](PageService& service) {
                                          service.addPage(QStringLiteral("/test/held.asp"),
                                                          [gate](const PageRequest&, PgConnection&) {
                                                              std::unique_lock lock(gate->mutex);
                                                              ++gate->inside;
                                                              gate->opened.wait_for(lock, std::chrono::seconds(30),
                                                                                    [&] { return gate->open; });
                                                              return PageReply::Number(1);
                                                          });
                                      }),
                  QString());
        ASSERT_EQ(server_->startDoor(), QString());
        port = server_->door()->port();
    }
    RawReply get(const QByteArray& target, const QByteArray& headers = QByteArray(),
                 const QString& source = QStringLiteral("127.0.0.1")) {
        return DoorExchange(
            port,
            "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n",
            source);
    }
    QStringList adminRows(const QString& sql) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql).rows) out << row.join(u'|');
        return out;
    }

    int insideTheGate() {
        std::lock_guard lock(gate->mutex);
        return gate->inside;
    }
    void openTheGate() {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
        gate->opened.notify_all();
    }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    int port = 0;
};

QByteArray Post(const QByteArray& path, const QByteArray& json, const QByteArray& headers = QByteArray()) {
    return "POST " + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: application/json\r\n" +
           headers + "Content-Length: " + QByteArray::number(json.size()) + "\r\n\r\n" + json;
}

}  // namespace

TEST_F(DoorTest, OnlyTlsAndOnlyWhatThePagesRead) {
    // Plain HTTP to the door is refused, never passed on.
    const RawReply plain = RawExchange(port, "GET /flsh2/getright.asp?accid=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(plain.status, 400);
    EXPECT_FALSE(plain.body.startsWith("0"));

    struct Case {
        const char* what;
        QByteArray request;
        int status;
    };
    const QByteArray manyHeaders = QByteArray("X-Filler: abcdefghij\r\n").repeated(10000);
    const Case cases[] = {
        {"a page", "GET /flsh2/getgroupdetail.asp?gid=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         200},
        {"a body no page reads",
         "GET /flsh2/getright.asp?accid=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: "
         "5\r\n\r\n"
         "hello",
         413},
        {"a chunked body to a page",
         "GET /data/newver.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n"
         "5\r\nhello\r\n0\r\n\r\n",
         413},
        {"a call larger than any picture",
         "POST /door/call HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: 30000000\r\n\r\n", 413},
        {"ten thousand header lines",
         "GET /data/newver.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + manyHeaders + "\r\n", 400},
        {"a request line of 10 KB",
         "GET /data/newver.txt?x=" + QByteArray(10000, 'a') +
             " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         414},
        {"a page posted", Post("/flsh2/getright.asp", "{}"), 403},
        {"a call fetched", "GET /door/call HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 403},
    };
    for (const Case& c : cases) EXPECT_EQ(DoorExchange(port, c.request).status, c.status) << c.what;
}

TEST_F(DoorTest, ValuesHoldingNulAreRefusedAndTheSchemeIgnoresCase) {
    struct Case {
        QByteArray target;
        QByteArray body;
    };
    // Each page says "not done" in its own way, as the program reads it.
    for (const Case& c : {Case{"/flsh2/tryLogon3.asp?u_no=S%00x&pswd=p&pswd2=p&Nick=n&R=1", ""},
                          Case{"/flsh2/getright.asp?accid=1%00", "0"},
                          Case{"/flsh2/requestintogroup.asp?accid=1&gid=1%00", "-1"}}) {
        const RawReply reply = get(c.target);
        EXPECT_EQ(reply.status, 400) << c.target.toStdString();
        EXPECT_EQ(reply.body, c.body) << c.target.toStdString();
    }
    const RawReply call = DoorExchange(
        port,
        Post("/door/logon", R"({"procedure":"sp_trylogon","values":{"@z_user_no":"S\u0000x","@z_pswd":"p",)"
                            R"("@z_pswd2":"p","@z_nick":"n","@z_right":"0","@z_logon_type":"1"}})"));
    EXPECT_EQ(call.status, 400);
    EXPECT_EQ(call.body, QByteArray(R"({"code":"nul"})"));
    EXPECT_EQ(adminRows(QStringLiteral("SELECT count(*) FROM accounts")), QStringList({"0"}));

    // The log-on page's credential works with the scheme written in any case.
    const QByteArray logOn = get("/flsh2/tryLogon3.asp?u_no=S&pswd=p&pswd2=p&Nick=n&R=1").body;
    const QByteArray credential = logOn.split('%').value(5).mid(1).replace("@~", "");
    ASSERT_EQ(credential.size(), 48) << logOn.toStdString();
    for (const QByteArray scheme : {"Bearer", "bearer", "BEARER"})
        EXPECT_EQ(get("/flsh2/ChangeProtected.asp?accid=1&right=1",
                      "Authorization: " + scheme + ' ' + credential + "\r\n")
                      .body,
                  QByteArray("1"))
            << scheme.toStdString();
}

// Connections that trickle their headers in, or send nothing, hold only themselves.
TEST_F(DoorTest, SlowAndIdleClientsHoldNobodyUp) {
    std::vector<std::unique_ptr<QSslSocket>> slow;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(TestDoor::authorityFile());
    for (int i = 0; i < 100; ++i) {
        auto socket = std::make_unique<QSslSocket>();
        socket->setSslConfiguration(tls);
        socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(port));
        slow.push_back(std::move(socket));
    }
    for (auto& socket : slow) {
        ASSERT_TRUE(socket->waitForEncrypted(5000));
        socket->write("GET /data/newver.txt HTTP/1.1\r\nHost: x\r\nX-Slow: ");
        socket->flush();
    }
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    }
    for (auto& socket : idle) ASSERT_TRUE(socket->waitForConnected(5000));
    EXPECT_EQ(get("/flsh2/getgroupdetail.asp?gid=1").status, 200);
    // Answered while every slow client still holds its connection, half a head sent: nobody waited for
    // their deadline (a few milliseconds on a quiet machine; the deadline is 10 s however busy it is).
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count_if(slow.begin(), slow.end(),
                            [](const auto& s) {
                                return s->state() == QAbstractSocket::ConnectedState && s->bytesAvailable() == 0;
                            }),
              100);
}

// One address gets eight requests in work at once, and the ninth is refused at once; another address is
// served while all eight are held. (They come from a user logged on, whom the page service lets use more
// than an address's share of its connections while nobody else asks.)
TEST_F(DoorTest, OneAddressCannotTakeThePageServiceFromOthers) {
    const QByteArray logOn = get("/flsh2/tryLogon3.asp?u_no=G&pswd=p&pswd2=p&Nick=n&R=1").body;
    const QByteArray credential = logOn.split('%').value(5).mid(1).replace("@~", "");
    ASSERT_EQ(credential.size(), 48) << logOn.toStdString();
    constexpr int kGreedy = 12;
    std::latch start(kGreedy + 1);
    std::vector<std::atomic<int>> statuses(kGreedy);
    std::vector<std::thread> greedy;
    for (int i = 0; i < kGreedy; ++i)
        greedy.emplace_back([&, i] {
            start.arrive_and_wait();
            statuses[size_t(i)] =
                DoorExchange(port,
                             "GET /test/held.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Bearer " +
                                 credential + "\r\n\r\n",
                             QStringLiteral("127.0.0.1"), 40000)
                    .status;
        });
    start.arrive_and_wait();
    const auto refused = [&] {
        return std::count_if(statuses.begin(), statuses.end(), [](const auto& s) { return s == 429; });
    };
    // Until the four refusals are in and the eight others are all held in the page.
    for (int waited = 0; (refused() < kGreedy - 8 || insideTheGate() < 8) && waited < 30000; waited += 20)
        QThread::msleep(20);
    EXPECT_EQ(insideTheGate(), 8);
    EXPECT_EQ(get("/flsh2/getgroupdetail.asp?gid=1", QByteArray(), QStringLiteral("127.0.0.2")).status, 200);
    openTheGate();
    for (std::thread& t : greedy) t.join();
    EXPECT_EQ(std::count_if(statuses.begin(), statuses.end(), [](const auto& s) { return s == 200; }), 8);
    EXPECT_EQ(refused(), kGreedy - 8);
}

// The program trusts the door only with the authority that signed it, and says so plainly otherwise.
TEST_F(DoorTest, AnUntrustedCertificateIsSaidPlainly) {
    SaveSetting(QStringLiteral("server_ca"), QString());
    const QString untrusted = ServerErrorOf([] { ConnectServerDb(); });
    EXPECT_EQ(
        untrusted,
        QStringLiteral("服务器的证书不可信（签发证书的机构不受本机信任），程序没有与它通信。请核对服务器"
                       "地址；服务器若使用自己签发的证书，请在设置“server_ca”中指定签发机构的证书文件。"));
    SaveSetting(QStringLiteral("server_ca"), TestDoor::authorityFile());
    ConnectServerDb();
    EXPECT_EQ(ServerConnection()->state(), 1);
}

// The page services keep nothing between requests: a client logged on through one goes on through the
// other, and a call sent again to the other finds what the first one did.
TEST_F(CommunityServerTest, TwoPageServicesBehindOneDoorServeTheSameClients) {
    ASSERT_EQ(server_->startDoor(2), QString());
    auto connection = OpenTestConnection();
    ServerCommand cmd(connection.get());
    const qint32 account = RegisterTestAccount(cmd, QStringLiteral("acc001"), QStringLiteral("甲"));
    ASSERT_GT(account, 0);
    for (int i = 0; i < 6; ++i)
        EXPECT_GT(SaveTestMember(cmd, account, 0, {QStringLiteral("成员%1").arg(i)}), 0);
    server_->pages()->stop();
    for (int i = 6; i < 10; ++i)
        EXPECT_GT(SaveTestMember(cmd, account, 0, {QStringLiteral("成员%1").arg(i)}), 0);
    EXPECT_EQ(server_->admin().exec(QStringLiteral("SELECT count(*) FROM members")).rows.value(0),
              QStringList({"10"}));

    // The same call, key and all, on the service that did not make it.
    const QByteArray call = R"({"procedure":"sp_savezpdata2","key":"0f8e2a5c-6b4d-4e1f-9a3b-7c2d1e0f9a8b",)"
                            R"("values":{"@z_accid":")" +
                            QByteArray::number(account) + R"(","@z_filial_id":"0","@z_filial":"重发"}})";
    const QByteArray request =
        Post("/door/call", call, "Authorization: Bearer " + connection->credential().toLatin1() + "\r\n");
    const RawReply first = DoorExchange(server_->door()->port(), request);
    const RawReply again = RawExchange(server_->secondPages()->port(), request);
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(again.body, first.body);
    EXPECT_EQ(server_->admin()
                  .exec(QStringLiteral("SELECT count(*) FROM members WHERE sent_name = '重发'"))
                  .rows.value(0),
              QStringList({"1"}));
}
