// The server under ordinary concurrency and faults: uploads of one name at once, the page service after
// the database dropped its connections, and a request beside clients that connect and send nothing.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTcpSocket>

#include <condition_variable>
#include <latch>
#include <mutex>
#include <thread>

#include "frame/server_connection.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "support/community_server.h"

namespace {

class ServerFaultsTest : public CommunityServerTest {
protected:
    QStringList ownerRows(const QString& sql) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql).rows) out << row.join(u'|');
        return out;
    }
    QByteArray page(const QByteArray& target) {
        const RawReply reply = RawPageRequest(server_->pages()->port(), "GET", target);
        return QByteArray::number(reply.status) + ' ' + reply.body;
    }
};

}  // namespace

TEST_F(ServerFaultsTest, TenSessionsUploadingTheSameNamesAtOnceAreAllStoredUnderUniqueNames) {
    constexpr int kSessions = 10, kNames = 30;
    std::latch start(kSessions);
    QStringList failures[kSessions];
    std::vector<std::thread> sessions;
    for (int s = 0; s < kSessions; ++s)
        sessions.emplace_back([&, s] {
            auto db = OpenTestConnection();
            ServerCommand cmd(db.get());
            const qint32 account =
                db ? RegisterTestAccount(cmd, QStringLiteral("acc%1").arg(s), QStringLiteral("同")) : 0;
            start.arrive_and_wait();
            for (int n = 0; n < kNames && account > 0; ++n) {
                try {
                    SaveTestMember(cmd, account, 0, {QStringLiteral("同名%1").arg(n)});
                } catch (const ServerError& e) {
                    failures[s] << e.Description();
                }
            }
            if (account == 0) failures[s] << QStringLiteral("no account");
        });
    for (std::thread& session : sessions) session.join();
    for (const QStringList& failed : failures)
        EXPECT_TRUE(failed.isEmpty()) << failed.join(u'\n').toStdString();

    EXPECT_EQ(ownerRows(QStringLiteral("SELECT count(*), count(DISTINCT filial) FROM members")),
              QStringList({"300|300"}));
    // Every name got the bare name and the numbers 2 to 10, each once.
    QStringList expected{QStringLiteral("同名7")};
    for (int number = 2; number <= kSessions; ++number) expected << QStringLiteral("同名7(%1)").arg(number);
    EXPECT_EQ(
        ownerRows(QStringLiteral("SELECT filial FROM members WHERE sent_name = '同名7' ORDER BY name_no")),
        expected);
}

TEST_F(ServerFaultsTest, ThePoolReplacesConnectionsTheDatabaseDroppedAndTheFirstRequestSucceeds) {
    // Ten requests in the page at once leave ten connections in the pool.
    constexpr int kCrowd = 10;
    struct Crowd {
        std::mutex mutex;
        std::condition_variable grown;
        int inside = 0;
    };
    auto crowd = std::make_shared<Crowd>();
    ASSERT_EQ(server_->startPages(QString(),
                                  [crowd](PageService& service) {
                                      service.addPage(QStringLiteral("/test/crowd.asp"), [crowd](const PageRequest&,
                                                                                                 PgConnection& db) {
                                          PageQuery(db, QStringLiteral("SELECT 1"));
                                          std::unique_lock lock(crowd->mutex);
                                          ++crowd->inside;
                                          crowd->grown.notify_all();
                                          crowd->grown.wait_for(lock, std::chrono::seconds(20),
                                                                [&] { return crowd->inside >= kCrowd; });
                                          return PageReply::Number(1);
                                      });
                                  }),
              QString());
    // A user logged on: the pool lets one address beyond its share while nobody else asks.
    const QByteArray logOn =
        RawPageRequest(server_->pages()->port(), "GET", "/flsh2/tryLogon3.asp?u_no=F&pswd=p&pswd2=p&Nick=n&R=1").body;
    const QString credential = QString::fromLatin1(logOn.split('%').value(5).mid(1).replace("@~", ""));
    ASSERT_EQ(credential.size(), 48) << logOn.toStdString();
    std::vector<std::thread> requests;
    for (int i = 0; i < kCrowd; ++i)
        requests.emplace_back(
            [&] { RawPageRequest(server_->pages()->port(), "GET", "/test/crowd.asp", credential); });
    for (std::thread& t : requests) t.join();
    // What a restart of the database does to them, however many they are.
    const QStringList dropped =
        ownerRows(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                 "WHERE datname = current_database() AND usename = 'qntzp_pages'"));
    ASSERT_EQ(dropped.value(0).toInt(), kCrowd);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(page("/flsh2/getgroupdetail.asp?gid=1"), QByteArray("200 ")) << i;
}

TEST_F(ServerFaultsTest, ARequestBesideAHundredIdleConnectionsIsAnsweredAtOnce) {
    ASSERT_EQ(server_->startPages(), QString());
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(server_->pages()->port()));
    }
    for (auto& socket : idle) ASSERT_TRUE(socket->waitForConnected(5000));
    EXPECT_EQ(page("/flsh2/getgroupdetail.asp?gid=1"), QByteArray("200 "));
    // Answered while every idle client still holds its connection: nobody waited for their time-out
    // (a few milliseconds on a quiet machine; the time-out is seconds, however busy the machine is).
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count_if(idle.begin(), idle.end(),
                            [](const auto& s) { return s->state() == QAbstractSocket::ConnectedState; }),
              100);
}

TEST_F(ServerFaultsTest, ACallAfterThePageServiceWentAwaySaysSoInTheProgramsWords) {
    ConnectServerDb();
    ServerCommand cmd(ServerConnection().get());
    cmd.SetCommandText(QStringLiteral("sp_GetGroupList"));
    cmd.Execute();
    server_->pages()->stop();
    EXPECT_EQ(ServerErrorOf([&] { cmd.Execute(); }),
              QStringLiteral("调用过程“sp_GetGroupList”失败：无法连接服务器：服务器没有运行，或网络不通。"
                             "请检查网络连接后再试；仍然不行，请与服务器的管理员联系。"));
}
