// The door's TLS as a client of any kind meets it: TLS 1.2 only with forward-secret AEAD suites, TLS
// 1.3, nothing older; every answer tells browsers to come back over HTTPS only.

#include <gtest/gtest.h>
#include <QProcess>

#include "support/community_server.h"

namespace {

class DoorTlsTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        ASSERT_EQ(server_->startDoor(), QString());
    }
    // A page asked through openssl's own client with the protocol and suites given; what came back
    // (nothing when the handshake failed) and what the client said.
    std::pair<QByteArray, QByteArray> ask(const QStringList& tls) {
        QProcess client;
        client.start(QStringLiteral("openssl"),
                     QStringList{QStringLiteral("s_client"), QStringLiteral("-quiet"), QStringLiteral("-connect"),
                                 QStringLiteral("127.0.0.1:%1").arg(server_->door()->port()),
                                 QStringLiteral("-CAfile"), TestDoor::authorityFile(),
                                 QStringLiteral("-verify_return_error"), QStringLiteral("-servername"),
                                 QStringLiteral("localhost")} +
                         tls);
        if (!client.waitForStarted(10000)) return {};
        client.write("GET /flsh2/getgroupdetail.asp?gid=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        client.closeWriteChannel();
        client.waitForFinished(20000);
        return {client.readAllStandardOutput(), client.readAllStandardError()};
    }
};

}  // namespace

TEST_F(DoorTlsTest, OnlyAeadSuitesAndNoProtocolBeforeTls12) {
    const struct {
        const char* what;
        QStringList tls;
        bool taken;
    } cases[] = {
        {"TLS 1.2, AES-GCM", {"-tls1_2", "-cipher", "ECDHE-ECDSA-AES128-GCM-SHA256"}, true},
        {"TLS 1.2, AES-256-GCM", {"-tls1_2", "-cipher", "ECDHE-ECDSA-AES256-GCM-SHA384"}, true},
        {"TLS 1.2, ChaCha20-Poly1305", {"-tls1_2", "-cipher", "ECDHE-ECDSA-CHACHA20-POLY1305"}, true},
        {"TLS 1.3", {"-tls1_3"}, true},
        {"TLS 1.2, AES-CBC with SHA-1", {"-tls1_2", "-cipher", "ECDHE-ECDSA-AES128-SHA"}, false},
        {"TLS 1.2, AES-CBC with SHA-256", {"-tls1_2", "-cipher", "ECDHE-ECDSA-AES128-SHA256"}, false},
        {"TLS 1.2, AES-256-CBC with SHA-384", {"-tls1_2", "-cipher", "ECDHE-ECDSA-AES256-SHA384"}, false},
        // The client is let offer the old protocols: the refusal is the door's.
        {"TLS 1.1", {"-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"}, false},
        {"TLS 1.0", {"-tls1", "-cipher", "DEFAULT:@SECLEVEL=0"}, false},
    };
    for (const auto& c : cases) {
        const auto [answer, said] = ask(c.tls);
        EXPECT_EQ(answer.startsWith("HTTP/1.1 200"), c.taken) << c.what << ": " << said.toStdString();
        if (c.taken)
            EXPECT_TRUE(answer.contains("\r\nStrict-Transport-Security: max-age=31536000\r\n"))
                << c.what << ": " << answer.toStdString();
        else
            EXPECT_TRUE(said.contains("alert")) << c.what << ": " << said.toStdString();
    }
    // Refusals carry it too.
    const RawReply refused = DoorExchange(
        server_->door()->port(), "POST /flsh2/getright.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                 "Content-Length: 2\r\n\r\n{}");
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.headers.value("strict-transport-security"), QByteArray("max-age=31536000"));
}
