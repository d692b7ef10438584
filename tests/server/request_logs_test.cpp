// The page service's request log and the door's access log, read as written while a user logs on,
// writes to the board and publishes an e-book: nothing in them acts as a secret, and no request can
// forge a line.

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>
#include <iostream>

#include <unistd.h>

#include "platform/http/installation_header.h"
#include "support/community_server.h"

namespace {

// What the process writes to its standard error meanwhile, where the page service logs.
class StderrCapture {
public:
    StderrCapture() {
        file_.open();
        std::cerr.flush();
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(file_.handle(), 2);
    }
    ~StderrCapture() { end(); }
    QString end() {
        if (saved_ >= 0) {
            std::cerr.flush();
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
        file_.seek(0);
        return QString::fromUtf8(file_.readAll());
    }

private:
    QTemporaryFile file_;
    int saved_ = -1;
};

}  // namespace

TEST_F(CommunityServerTest, LogsHoldNoNumberDigestSecretOrCredentialAndNoForgedLine) {
    PageServiceConfig config;
    config.port = 0;
    config.database = server_->pagesParams();
    config.logRequests = true;
    auto logging = std::make_unique<PageService>(config);
    ASSERT_TRUE(logging->start());
    TestDoor door;
    ASSERT_EQ(door.start({logging->port()}), QString());

    const QByteArray secret = "5f0e9d8c7b6a59483726150f4e3d2c1b5f0e9d8c7b6a59483726150f4e3d2c1b";
    const QByteArray boardNo = "318273645501", softNo = "Q7X2SOFTNO",
                     digest = "9c1185a5c5e9fc54612808977ee8f548";
    const auto get = [&](const QByteArray& target, const QByteArray& headers = QByteArray()) {
        return DoorExchange(
            door.port(),
            "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
    };
    const QByteArray proof = QByteArray(kInstallationSecretHeader) + ": " + secret + "\r\n";

    StderrCapture captured;
    const RawReply logon =
        get("/flsh2/tryLogon3.asp?u_no=logme&pswd=" + digest + "&pswd2=" + digest + "&Nick=n&R=1");
    ASSERT_EQ(logon.status, 200);
    const QByteArray credential =
        QString::fromUtf8(logon.body).chopped(2).split(QStringLiteral("%!")).value(5).toLatin1();
    ASSERT_EQ(credential.size(), 48) << logon.body.toStdString();
    const QByteArray bearer = "Authorization: Bearer " + credential + "\r\n";
    EXPECT_EQ(get("/flsh2/get_zproot3.asp?accid=0", bearer).status, 200);
    EXPECT_EQ(get("/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=x&ano=" + boardNo, proof).body,
              QByteArray("8001"));
    EXPECT_EQ(get("/flsh/getmsg_a.asp?gsno=800018080&dt=&ano=" + boardNo, proof).status, 200);
    EXPECT_GT(
        get("/flsh2/ebPublication3.asp?soft_no=" + softNo +
                "&strgpswd=&netpath=http://a.cn/x.mdb&bk_name=x&bk_org=&bk_e=&bk_key=&bk_odklj=&bk_id=0&"
                "bk_right=0&bk_size=1&ip=&netcard=",
            proof + bearer)
            .body.toInt(),
        0);
    // Paths that would start a line of their own, or work the terminal of whoever reads the log (the
    // page service's router never takes a path holding a line break: only the door logs that one).
    EXPECT_EQ(get("/flsh/x%0A2026-01-01T00:00:00%20GET%20/forged%20200.asp").status, 404);
    EXPECT_EQ(get("/flsh/y%1B[2J%1B]0;title%07.asp").status, 404);
    logging->stop();
    const QString pageLog = captured.end();
    const QString doorLog = door.accessLog();

    const struct {
        const char* which;
        QString log;
        int lines;
    } logs[] = {{"page service", pageLog, 6}, {"door", doorLog, 7}};
    for (const auto& [which, log, lineCount] : logs) {
        const QStringList lines = log.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), lineCount) << which << ":\n" << log.toStdString();
        for (const char* path : {"/flsh2/tryLogon3.asp", "/flsh2/get_zproot3.asp", "/flsh/addmsg_a.asp",
                                 "/flsh/getmsg_a.asp", "/flsh2/ebPublication3.asp"})
            EXPECT_TRUE(log.contains(QLatin1String(path))) << which << " " << path;
        for (const QByteArray& kept : {secret, boardNo, softNo, digest, credential, QByteArray("pswd"),
                                       QByteArray("?"), QByteArray("\x1b")})
            EXPECT_FALSE(log.contains(QString::fromLatin1(kept))) << which << " holds " << kept.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("/flsh/y\\x1B[2J\\x1B]0;title\\x07.asp"))) << which;
    }
    EXPECT_TRUE(doorLog.contains(QStringLiteral("/flsh/x\\x0A2026-01-01T00:00:00")));
}
