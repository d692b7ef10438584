// What one request may cost the page service: a batch whose caller hung up or whose time is up stops and
// frees its connection, a body naming more values than its procedure takes is refused before any work,
// the caller's address is the door's word only when the door sends it, and files answer ranges exactly.

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>

#include "pages/door_base64.h"
#include "support/community_server.h"

namespace {

QByteArray Post(const QByteArray& path, const QByteArray& json, const QByteArray& headers = QByteArray()) {
    return "POST " + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: application/json\r\n" +
           headers + "Content-Length: " + QByteArray::number(json.size()) + "\r\n\r\n" + json;
}

// The first member of the tree below.
constexpr int kTreeRoot = 900000;

// A batch of readings of the whole tree, as anybody may send it.
QByteArray ReadingsOfTheTree(int readings, const QJsonArray& after = {}) {
    QJsonArray calls;
    for (int i = 0; i < readings; ++i)
        calls.append(QJsonObject{
            {QStringLiteral("procedure"), QStringLiteral("sp_GnSeekList2")},
            {QStringLiteral("values"), QJsonObject{{QStringLiteral("@myacc_id"), QStringLiteral("0")},
                                                    {QStringLiteral("@myboy_id"), QString::number(kTreeRoot)}}}});
    for (const QJsonValue& call : after) calls.append(call);
    return QJsonDocument(QJsonObject{{QStringLiteral("calls"), calls}}).toJson(QJsonDocument::Compact);
}

class DoorBoundsTest : public CommunityServerTest {
protected:
    // An account open to the world with a tree of 5,000 members, each with three sons: every reading of
    // the tree costs the database a while.
    void plantTree() {
        auto connection = OpenTestConnection();
        ServerCommand cmd(connection.get());
        const qint32 account = RegisterTestAccount(cmd, QStringLiteral("open1"), QStringLiteral("开"), 1);
        ASSERT_GT(account, 0);
        const PgResult planted = server_->admin().exec(
            QStringLiteral("INSERT INTO members (filial_id, filial, sent_name, father_id, myacc_id) "
                           "SELECT $1 + n, '树' || n, '树' || n, "
                           "CASE WHEN n = 0 THEN NULL ELSE $1 + (n - 1) / 3 END, $2 "
                           "FROM generate_series(0, 4999) n"),
            {kTreeRoot, account});
        ASSERT_TRUE(planted.ok) << planted.error.toStdString();
    }
    // The page service's statements running now.
    int activeStatements() {
        return server_->admin()
            .exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND usename = 'qntzp_pages' AND state = 'active'"))
            .rows.value(0)
            .value(0)
            .toInt();
    }
    // Waits up to ms for the count of statements running to become `count`.
    bool activeBecomes(int count, int ms) {
        QElapsedTimer clock;
        clock.start();
        while (activeStatements() != count) {
            if (clock.elapsed() > ms) return false;
            QThread::msleep(50);
        }
        return true;
    }
};

}  // namespace

TEST_F(DoorBoundsTest, ABatchWhoseCallerHungUpStopsAndFreesItsConnection) {
    plantTree();
    ASSERT_EQ(server_->startDoor(), QString());
    QSslSocket socket;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(TestDoor::authorityFile());
    socket.setSslConfiguration(tls);
    socket.bind(QHostAddress(QStringLiteral("127.0.0.30")));
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(server_->door()->port()));
    ASSERT_TRUE(socket.waitForEncrypted(5000));
    socket.write(Post("/door/calls", ReadingsOfTheTree(100)));
    ASSERT_TRUE(socket.waitForBytesWritten(5000));
    // A hundred readings would take the database many seconds; the caller goes once they run.
    ASSERT_TRUE(activeBecomes(1, 10000));
    socket.abort();
    EXPECT_TRUE(activeBecomes(0, 10000));
    // Stopped, not between two readings: nothing more is begun.
    QThread::msleep(1500);
    EXPECT_EQ(activeStatements(), 0);
    EXPECT_EQ(DoorExchange(server_->door()->port(),
                           "GET /flsh2/getgroupdetail.asp?gid=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                  .status,
              200);
}

// A batch's time is its whole time, not each statement's: the readings each take less than the second
// it has, and it stops with what it did. Without an account, a picture among its calls buys no more.
TEST_F(DoorBoundsTest, ABatchStopsWhenItsTimeIsUp) {
    plantTree();
    PageServiceConfig config;
    config.port = 0;
    config.database = server_->pagesParams();
    config.requestTime = std::chrono::seconds(1);
    config.longRequestTime = std::chrono::seconds(60);
    PageService hurried(config);
    ASSERT_TRUE(hurried.start());
    const QJsonObject picture{
        {QStringLiteral("procedure"), QStringLiteral("sp_saveimage")},
        {QStringLiteral("values"),
         QJsonObject{{QStringLiteral("@z_filial"), QStringLiteral("无")},
                     {QStringLiteral("@z_imgpath"), QStringLiteral("a.jpg")},
                     {QStringLiteral("@z_myimage"),
                      QJsonObject{{QStringLiteral("base64"), QStringLiteral("cA==")}}}}}};
    QElapsedTimer clock;
    clock.start();
    const RawReply reply =
        RawExchange(hurried.port(), Post("/door/calls", ReadingsOfTheTree(100, {picture})), 20000);
    EXPECT_LT(clock.elapsed(), 15000);
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    EXPECT_LT(answer.value(QStringLiteral("answers")).toArray().size(), 100);
    EXPECT_EQ(answer.value(QStringLiteral("failure")).toObject(),
              (QJsonObject{{QStringLiteral("status"), 422},
                           {QStringLiteral("reply"), QJsonObject{{QStringLiteral("code"), QStringLiteral("failed")},
                                                                  {QStringLiteral("state"), QStringLiteral("57014")}}}}));
    EXPECT_TRUE(activeBecomes(0, 5000));
}

// Values beyond what a procedure takes, and bodies beyond what their path takes, are refused before the
// credential is even looked at: a lapsed one would otherwise be answered 401.
TEST_F(DoorBoundsTest, BodiesBeyondWhatTheyCarryAreRefusedBeforeAnyWork) {
    auto connection = OpenTestConnection();
    ServerCommand cmd(connection.get());
    const qint32 account = RegisterTestAccount(cmd, QStringLiteral("acc001"), QStringLiteral("甲"));
    ASSERT_GT(account, 0);
    const QByteArray lapsed = "Authorization: Bearer " + QByteArray(48, 'a') + "\r\n";
    const auto values = [](int count) {
        QByteArray json = "{";
        for (int i = 0; i < count; ++i) json += (i ? ",\"@k" : "\"@k") + QByteArray::number(i) + "\":\"1\"";
        return json + "}";
    };
    const QByteArray save = R"({"procedure":"sp_savezpdata2","key":"k1","values":{"@z_accid":")" +
                            QByteArray::number(account) + R"(","@z_filial_id":"0","@z_filial":"甲一"}})";
    QByteArray saveWithMore = save;
    saveWithMore.replace(R"("@z_filial":"甲一")", R"("@z_filial":"甲一",)" + values(19).mid(1).chopped(1));
    QByteArray deep = "{\"procedure\":\"sp_GetGroupList\",\"values\":";
    for (int i = 0; i < 8; ++i) deep += "{\"a\":";
    deep += "1" + QByteArray(8, '}') + "}";
    struct Case {
        const char* what;
        QByteArray path, body;
        int status;
        const char* code;
    };
    const Case cases[] = {
        {"200,000 keys", "/door/call",
         R"({"procedure":"sp_Getzpdata2","values":)" + values(200000) + "}", 400, "too_many_values"},
        {"65 values", "/door/call", R"({"procedure":"sp_GetGroupList","values":)" + values(65) + "}", 400,
         "too_many_values"},
        {"22 values to 21 parameters", "/door/call", saveWithMore, 400, "too_many_values"},
        {"a batch with one such call", "/door/calls",
         "{\"calls\":[" + save + "," + saveWithMore + "]}", 400, "too_many_values"},
        {"501 calls", "/door/calls",
         "{\"calls\":[" + QByteArray("{},").repeated(500) + "{}]}", 413, "too_many_calls"},
        {"nesting", "/door/call", deep, 400, "malformed"},
        {"an open of 70 KB", "/door/open", "{\"x\":\"" + QByteArray(70000, 'x') + "\"}", 413, "too_large"},
        {"14 MB of text", "/door/call",
         R"({"procedure":"sp_savestory","values":{"@z_filial":"甲一","@z_story":")" +
             QByteArray(14 * 1024 * 1024, 'x') + "\"}}",
         413, "too_large"},
    };
    // Sent in chunks, as the door never sends it: a body beyond the door's limit all the same.
    const QByteArray picture = R"({"procedure":"sp_saveimage","values":{"@z_filial":"无","@z_myimage":{"base64":")" +
                               QByteArray(25 * 1024 * 1024, 'A') + "\"}}}";
    const QByteArray chunked = "POST /door/call HTTP/1.1\r\nHost: x\r\nConnection: close\r\nTransfer-Encoding: "
                               "chunked\r\n" + lapsed + "\r\n" + QByteArray::number(picture.size(), 16) + "\r\n" +
                               picture + "\r\n0\r\n\r\n";
    // Bodies of megabytes: a loaded machine may take seconds over them.
    constexpr int kPatience = 60000;
    const RawReply tooLong = RawExchange(server_->pages()->port(), chunked, kPatience);
    EXPECT_EQ(tooLong.status, 413);
    EXPECT_EQ(tooLong.body, QByteArray(R"({"code":"too_large"})"));
    for (const Case& c : cases) {
        const RawReply reply = RawExchange(server_->pages()->port(), Post(c.path, c.body, lapsed), kPatience);
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("code")).toString(),
                  QLatin1String(c.code))
            << c.what;
    }
    EXPECT_EQ(server_->admin().exec(QStringLiteral("SELECT count(*) FROM members")).rows.value(0),
              QStringList({"0"}));
    // Bytes are bounded by the door alone: a picture as large as the program sends is taken.
    EXPECT_EQ(RawExchange(server_->pages()->port(),
                          Post("/door/call",
                               R"({"procedure":"sp_saveimage","values":{"@z_filial":"无","@z_imgpath":"a.jpg",)"
                               R"("@z_myimage":{"base64":")" +
                                   QByteArray(12 * 1024 * 1024, 'p').toBase64() + "\"}}}",
                               lapsed),
                          kPatience)
                  .status,
              401);
}

// Only the door's word names the caller: a process on the same machine that writes X-Real-IP is
// counted as itself, and a service told of no door believes nobody.
TEST_F(DoorBoundsTest, TheCallersAddressIsTheDoorsWordOnlyFromTheDoor) {
    PageServiceConfig config;
    config.port = 0;
    config.database = server_->pagesParams();
    PageService doorless(config);
    ASSERT_TRUE(doorless.start());
    struct Case {
        PageService* service;
        const char* source;
        QByteArray forwarded;
        const char* caller;
    };
    const Case cases[] = {
        {server_->pages(), "127.0.0.1", "198.51.100.7", "198.51.100.7"},  // the door (nginx) on this machine
        {server_->pages(), "127.0.0.1", "", "127.0.0.1"},
        {server_->pages(), "127.0.0.1", "not an address", "127.0.0.1"},
        {server_->pages(), "127.0.0.1", "::ffff:198.51.100.8", "198.51.100.8"},
        {server_->pages(), "127.0.0.9", "198.51.100.7", "127.0.0.9"},  // another local process
        {&doorless, "127.0.0.1", "198.51.100.7", "127.0.0.1"},
    };
    for (const Case& c : cases) {
        QByteArray request = "GET /littlep/ipseek.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
        if (!c.forwarded.isEmpty()) request += "X-Real-IP: " + c.forwarded + "\r\n";
        const RawReply reply = RawExchange(c.service->port(), request + "\r\n", 5000, QLatin1String(c.source));
        EXPECT_EQ(reply.body, QByteArray(c.caller)) << c.source << " " << c.forwarded.toStdString();
    }
    // Registrations count against the address they came from.
    const RawReply registered = RawExchange(
        server_->pages()->port(),
        "GET /flsh2/tryLogon3.asp?u_no=near1&pswd=p&pswd2=p&Nick=n&R=1 HTTP/1.1\r\nHost: x\r\n"
        "Connection: close\r\nX-Real-IP: 198.51.100.7\r\n\r\n",
        5000, QStringLiteral("127.0.0.9"));
    EXPECT_TRUE(registered.body.startsWith("3%!")) << registered.body.toStdString();
    EXPECT_EQ(server_->admin().exec(QStringLiteral("SELECT address FROM registrations")).rows,
              QList<QStringList>({{QStringLiteral("127.0.0.9")}}));
}

TEST_F(DoorBoundsTest, FilesAnswerARangeWithExactlyThatPart) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("zip")));
    QFile file(root.filePath(QStringLiteral("zip/update.rar")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray content = "0123456789abcdefghijklmnopqrstuvwxyz";  // 36 bytes
    file.write(content);
    file.close();
    ASSERT_EQ(server_->startPages(root.path()), QString());
    ASSERT_EQ(server_->startDoor(), QString());
    const QByteArray modified =
        RawPageRequest(server_->pages()->port(), "HEAD", "/zip/update.rar").headers.value("last-modified");
    struct Case {
        QByteArray headers;
        int status;
        QByteArray contentRange, body;
    };
    const Case cases[] = {
        {"Range: bytes=0-9", 206, "bytes 0-9/36", "0123456789"},
        {"Range: bytes=30-", 206, "bytes 30-35/36", "uvwxyz"},
        {"Range: bytes=-4", 206, "bytes 32-35/36", "wxyz"},
        {"Range: bytes=10-999", 206, "bytes 10-35/36", content.mid(10)},
        {"Range: bytes=36-", 416, "bytes */36", ""},
        {"Range: bytes=0-1,4-5", 200, "", content},
        // What cannot be read is refused, never answered in part.
        {"Range: bytes=5-2", 416, "", ""},
        {"Range: items=0-9", 416, "", ""},
        {"Range: bytes=0-9\r\nIf-Range: " + modified, 206, "bytes 0-9/36", "0123456789"},
        {"Range: bytes=0-9\r\nIf-Range: Sun, 06 Nov 1994 08:49:37 GMT", 200, "", content},
    };
    for (const Case& c : cases)
        for (const bool door : {false, true}) {
            const QByteArray request =
                "GET /zip/update.rar HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + c.headers + "\r\n\r\n";
            const RawReply reply = door ? DoorExchange(server_->door()->port(), request)
                                        : RawExchange(server_->pages()->port(), request);
            const std::string what = c.headers.toStdString() + (door ? " (door)" : "");
            EXPECT_EQ(reply.status, c.status) << what;
            EXPECT_EQ(reply.headers.value("content-range"), c.contentRange) << what;
            EXPECT_EQ(reply.body, c.body) << what;
        }
}

// A call's bytes decode as Qt's strict decoder decodes them, whatever the text: the program's padded
// base64 by the fast way, anything else as Qt decides.
TEST(DoorBase64Test, DecodesAsQtsStrictDecoder) {
    QByteArray every;
    for (int i = 0; i < 256 * 3; ++i) every.append(char(i * 7 % 256));
    const QString cases[] = {QString::fromLatin1(every.toBase64()),
                             QString::fromLatin1(every.left(100).toBase64()),
                             QString::fromLatin1(every.left(101).toBase64()),
                             QString::fromLatin1(every.left(101).toBase64(QByteArray::OmitTrailingEquals)),
                             QStringLiteral("QR=="),
                             QStringLiteral("QUI="),
                             QStringLiteral("A==="),
                             QStringLiteral("QQ==QQ=="),
                             QStringLiteral("QU-_"),
                             QStringLiteral("QU I"),
                             QStringLiteral("QUJ\u0143"),
                             QStringLiteral("QUJ\u0000"),
                             QStringLiteral("Q"),
                             QString()};
    for (const QString& text : cases) {
        const auto qt =
            QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        const std::optional<QByteArray> ours = DecodeBase64(text);
        ASSERT_EQ(ours.has_value(), bool(qt)) << text.left(20).toStdString();
        if (ours) EXPECT_EQ(*ours, *qt) << text.left(20).toStdString();
    }
}
