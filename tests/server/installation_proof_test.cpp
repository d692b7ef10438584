// Board and e-book pages act on a board or installation number only with the secret of the installation
// that first used it; writes without an account are limited per address; downloads count once a day per
// address; and the desk command prints what users wrote without its control characters.

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QUrl>

#include "frame/builtin_seeds.h"
#include "frame/server_connection.h"
#include "frame/text_scramble.h"
#include "pages/board_desk.h"
#include "pages/printable_text.h"
#include "platform/http/installation_header.h"
#include "support/community_server.h"

namespace {

const QString kMine = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
const QString kTheirs = QStringLiteral("fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210");
const QByteArray kUser = "318273645501";  // a board number as the program makes them

class InstallationProofTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
    }
    // A page asked with the installation's secret ("" for none), from an address of its own (the door
    // tells the service the caller's address), with a log-on's credential when given.
    RawReply get(const QByteArray& target, const QString& secret,
                 const QByteArray& address = QByteArrayLiteral("10.0.0.1"), const QString& credential = {}) {
        QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
        request += "X-Real-IP: " + address + "\r\n";
        if (!secret.isEmpty())
            request += QByteArray(kInstallationSecretHeader) + ": " + secret.toLatin1() + "\r\n";
        if (!credential.isEmpty()) request += "Authorization: Bearer " + credential.toLatin1() + "\r\n";
        return RawExchange(server_->pages()->port(), request + "\r\n");
    }
    QString value(const QString& sql) { return server_->admin().exec(sql).rows.value(0).value(0); }
    qint32 publish(const QByteArray& softNo, const QString& secret, qint32 replaced,
                   const QByteArray& address = QByteArrayLiteral("10.0.0.1"), const QString& credential = {},
                   int* status = nullptr) {
        const RawReply reply =
            get("/flsh2/ebPublication3.asp?soft_no=" + softNo + "&strgpswd=&netpath=http://a.cn/e/" + softNo +
                    ".mdb&bk_name=%E5%BC%A0%E6%B0%8F&bk_org=&bk_e=&bk_key=&bk_odklj=&bk_id=" +
                    QByteArray::number(replaced) + "&bk_right=0&bk_size=1.5&ip=&netcard=",
                secret, address, credential);
        if (status) *status = reply.status;
        return reply.body.toInt();
    }
};

struct Step {
    const char* what;
    QByteArray target;
    QString secret;
    int status;
    QByteArray body;
    const char* check;  // SQL whose first value must be `expected` after the step
    const char* expected;
};

}  // namespace

TEST_F(InstallationProofTest, BoardPagesActOnANumberOnlyWithTheSecretThatFirstUsedIt) {
    const QByteArray u = kUser;
    const QByteArray msg = "&msg=%E5%9C%A8%E5%90%97";
    const char* messages = "SELECT count(*) FROM board_messages WHERE to_desk";
    const char* proofs = "SELECT count(*) FROM installation_proofs";
    const char* delivered = "SELECT count(*) FROM board_messages WHERE NOT to_desk AND delivered";
    const char* name = "SELECT coalesce((SELECT shown_name FROM board_users), '-')";
    const Step before[] = {
        {"nothing to read under a free number",
         "/flsh/getmsg_a.asp?gsno=800018080&dt=&ano=" + u,
         {},
         200,
         "",
         proofs,
         "0"},
        {"a write without a secret binds nothing",
         "/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + u + msg,
         {},
         403,
         "",
         messages,
         "0"},
        {"a secret too short to be one", "/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + u + msg,
         QStringLiteral("12345"), 403, "", proofs, "0"},
        {"a partner without a desk keeps nothing", "/flsh/addmsg_a.asp?gsno=999&bno=&ano=" + u + msg, kMine,
         400, "", proofs, "0"},
        {"the first secret binds", "/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + u + msg, kMine, 200,
         "8001", messages, "1"},
        {"another secret cannot write", "/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + u + msg, kTheirs, 403,
         "", messages, "1"},
        {"nor can none", "/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + u + msg, {}, 403, "", messages, "1"},
        {"another secret cannot rename", "/flsh/editABname.asp?gsno=800018080&name=x&no=" + u, kTheirs, 403,
         "0", name, u.constData()},
        {"nor read the user's record", "/flsh/getab_info.asp?gsno=800018080&ab=1&abno=" + u, kTheirs, 403, "",
         proofs, "1"},
        {"a desk member's record is anybody's",
         "/flsh/getab_info.asp?gsno=800018080&ab=2&abno=8001",
         {},
         200,
         "客服小秦%工作日 9:00-17:00 在线，为您解答族谱编修和软件使用的问题。",
         proofs,
         "1"},
        {"the owner renames", "/flsh/editABname.asp?gsno=800018080&name=%E6%97%8F%E4%BA%BA&no=" + u, kMine,
         200, "1", name, "族人"},
    };
    for (const Step& s : before) {
        const RawReply reply = get(s.target, s.secret);
        EXPECT_EQ(reply.status, s.status) << s.what;
        EXPECT_EQ(QString::fromUtf8(reply.body), QString::fromUtf8(s.body)) << s.what;
        EXPECT_EQ(value(QString::fromUtf8(s.check)), QString::fromUtf8(s.expected)) << s.what;
    }
    // Only the secret's digest is kept.
    EXPECT_EQ(
        value(QStringLiteral("SELECT encode(secret_digest, 'hex') FROM installation_proofs")),
        QString::fromLatin1(QCryptographicHash::hash(kMine.toLatin1(), QCryptographicHash::Sha256).toHex()));

    const QString stamp =
        DeskAnswer(server_->admin(), QStringLiteral("8001"), QString::fromLatin1(u), QStringLiteral("您好"));
    ASSERT_FALSE(stamp.isEmpty());
    const QByteArray answers = "/flsh/getmsg_a.asp?gsno=800018080&dt=&ano=" + u;
    const QByteArray seen =
        "/flsh/delmsg_A.asp?gsno=800018080&dt=" + stamp.toLatin1().replace(' ', "%20") + "&ano=" + u;
    const Step after[] = {
        {"another secret cannot read the answers", answers, kTheirs, 403, "", delivered, "0"},
        {"nor can none", answers, {}, 403, "", delivered, "0"},
        {"nor mark them seen", seen, kTheirs, 403, "0", delivered, "0"},
        {"the owner reads them", answers, kMine, 200, "", delivered, "0"},
        {"and marks them seen", seen, kMine, 200, "1", delivered, "1"},
    };
    for (const Step& s : after) {
        const RawReply reply = get(s.target, s.secret);
        EXPECT_EQ(reply.status, s.status) << s.what;
        if (QByteArray(s.what) == "the owner reads them")
            EXPECT_TRUE(reply.body.startsWith(stamp.toUtf8() + '%')) << reply.body.toStdString();
        else
            EXPECT_EQ(QString::fromUtf8(reply.body), QString::fromUtf8(s.body)) << s.what;
        EXPECT_EQ(value(QString::fromUtf8(s.check)), QString::fromUtf8(s.expected)) << s.what;
    }
}

TEST_F(InstallationProofTest, OneAddressSendsSixtyMessagesAnHourAndTheRestIsRefusedWithNothingKept) {
    for (int i = 0; i < 60; ++i) {
        const RawReply sent = get("/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=" + QByteArray::number(i),
                                  kMine, "10.0.0.7");
        ASSERT_EQ(sent.status, 200) << i;
    }
    const struct {
        const char* what;
        QByteArray target;
        QByteArray address;
        int status;
        QByteArray body;
    } cases[] = {
        {"a message over the limit", "/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=900", "10.0.0.7", 429,
         ""},
        {"a name counts as a message", "/flsh/editABname.asp?gsno=800018080&name=n&no=1", "10.0.0.7", 429,
         "0"},
        {"another address is not held up", "/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=901", "10.0.0.8",
         200, "8001"},
    };
    for (const auto& c : cases) {
        const RawReply reply = get(c.target, kMine, c.address);
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.body, c.body) << c.what;
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM board_messages")), QStringLiteral("61"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs WHERE number = '900'")),
              QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("SELECT shown_name FROM board_users WHERE user_no = '1'")),
              QStringLiteral("1"));
    // An hour later the address may write again.
    server_->admin().exec(QStringLiteral("UPDATE address_writes SET began = began - interval '61 minutes'"));
    EXPECT_EQ(get("/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=900", kMine, "10.0.0.7").status, 200);
}

TEST_F(InstallationProofTest, AnEbookEntryIsReplacedOnlyByItsInstallationAndItsAccount) {
    ConnectServerDb();
    ServerCommand cmd;
    cmd.SetActiveConnection(ServerConnection().get());
    ASSERT_GT(RegisterTestAccount(cmd, QStringLiteral("owner"), QStringLiteral("甲")), 0);
    const QString owner = ServerConnection()->credential();
    const qint32 otherId = RegisterTestAccount(cmd, QStringLiteral("other"), QStringLiteral("乙"));
    ASSERT_GT(otherId, 0);
    const QString other = ServerConnection()->credential();
    ASSERT_NE(owner, other);

    int status = 0;
    EXPECT_EQ(publish("S1", QString(), 0, "10.0.0.1", {}, &status), 0);
    EXPECT_EQ(status, 403);
    const qint32 id = publish("S1", kMine, 0, "10.0.0.1", owner);
    ASSERT_GT(id, 0);
    const QString entry = QStringLiteral(
                              "SELECT netpath || '|' || coalesce(account_id::text, '-') || '|' || "
                              "published::text FROM ebooks WHERE ebook_id = %1")
                              .arg(id);
    const QString published = value(entry);
    const struct {
        const char* what;
        QByteArray softNo;
        QString secret;
        QString credential;
        int status;
        qint32 answer;
    } refused[] = {
        {"the number without its secret", "S1", {}, owner, 403, 0},
        {"the number with another installation's secret", "S1", kTheirs, owner, 403, 0},
        {"another installation's number", "S2", kTheirs, owner, 200, 0},
        {"the installation, logged on as another account", "S1", kMine, other, 200, 0},
        {"the installation, logged on as nobody", "S1", kMine, {}, 200, 0},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(publish(r.softNo, r.secret, id, "10.0.0.1", r.credential, &status), r.answer) << r.what;
        EXPECT_EQ(status, r.status) << r.what;
        EXPECT_EQ(value(entry), published) << r.what;
    }
    EXPECT_EQ(publish("S1", kMine, id, "10.0.0.1", owner), id);
    EXPECT_NE(value(entry), published);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM ebooks")), QStringLiteral("1"));

    // An entry published without an account is taken by the account that first replaces it.
    const qint32 loose = publish("S3", kTheirs, 0);
    ASSERT_GT(loose, 0);
    EXPECT_EQ(publish("S3", kTheirs, loose, "10.0.0.1", other), loose);
    EXPECT_EQ(publish("S3", kTheirs, loose, "10.0.0.1", owner), 0);
    EXPECT_EQ(value(QStringLiteral("SELECT account_id FROM ebooks WHERE ebook_id = %1").arg(loose)),
              QString::number(otherId));
}

TEST_F(InstallationProofTest, AnAddressPublishesTwentyADayAndADownloadCountsOnceADayPerAddress) {
    qint32 id = 0;
    for (int i = 0; i < 20; ++i)
        ASSERT_GT(id = publish("S" + QByteArray::number(i), kMine, 0, "10.0.0.9"), 0);
    int status = 0;
    EXPECT_EQ(publish("S99", kMine, 0, "10.0.0.9", {}, &status), 0);
    EXPECT_EQ(status, 429);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM ebooks")), QStringLiteral("20"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs WHERE number = 'S99'")),
              QStringLiteral("0"));

    const QByteArray count = "/flsh2/down_account3.asp?bk_id=" + QByteArray::number(id);
    const struct {
        const char* what;
        QByteArray target;
        QByteArray address;
        QByteArray body;
    } downloads[] = {
        {"the first download counts", count, "10.1.0.1", "1"},
        {"the same address again does not", count, "10.1.0.1", "1"},
        {"nor a third time", count, "10.1.0.1", "1"},
        {"another address does", count, "10.1.0.2", "2"},
        {"an unknown e-book counts nothing", "/flsh2/down_account3.asp?bk_id=99999", "10.1.0.1", "0"},
    };
    for (const auto& d : downloads) EXPECT_EQ(get(d.target, {}, d.address).body, d.body) << d.what;
    // The next day the address counts again, and yesterday's rows are gone.
    server_->admin().exec(QStringLiteral("UPDATE ebook_downloads SET day = day - 1"));
    EXPECT_EQ(get(count, {}, "10.1.0.1").body, QByteArray("3"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM ebook_downloads")), QStringLiteral("1"));
}

// An installation claims its numbers before it sends anything under them; somebody who learnt a number
// and claimed it first keeps it until the desk lets it go, and then the installation claims it again.
TEST_F(InstallationProofTest, AnInstallationClaimsItsNumbersAndTheDeskLetsATakenOneGo) {
    const QByteArray both = "/flsh/claim.asp?ano=" + kUser + "&soft_no=E" + kUser;
    const char* proofs = "SELECT string_agg(kind || '=' || number || '/' || left(encode(secret_digest, 'hex'), "
                         "4), ',' ORDER BY kind, number) FROM installation_proofs";
    const char* counted = "SELECT coalesce(sum(done), 0) FROM address_writes WHERE kind = 'claim'";
    const QString mine = QCryptographicHash::hash(kMine.toLatin1(), QCryptographicHash::Sha256).toHex().left(4);
    const QString theirs =
        QCryptographicHash::hash(kTheirs.toLatin1(), QCryptographicHash::Sha256).toHex().left(4);
    const QString u = QString::fromLatin1(kUser);
    struct Claim {
        const char* what;
        QByteArray target;
        QString secret;
        int status;
        QByteArray body;
        QString proofs;
        const char* counted;
    };
    const Claim claims[] = {
        {"no secret", both, {}, 400, "0", {}, "0"},
        {"no number", "/flsh/claim.asp?ano=&soft_no=", kMine, 400, "0", {}, "0"},
        {"somebody claims first", both, kTheirs, 200, "1",
         QStringLiteral("board=%1/%2,ebook=E%1/%2").arg(u, theirs), "1"},
        {"the installation is told", both, kMine, 403, "0",
         QStringLiteral("board=%1/%2,ebook=E%1/%2").arg(u, theirs), "1"},
        {"claiming what one holds costs nothing", both, kTheirs, 200, "1",
         QStringLiteral("board=%1/%2,ebook=E%1/%2").arg(u, theirs), "1"},
        {"a free number is tied even beside a taken one", "/flsh/claim.asp?ano=" + kUser + "&soft_no=F1",
         kMine, 403, "0", QStringLiteral("board=%1/%2,ebook=E%1/%2,ebook=F1/%3").arg(u, theirs, mine), "2"},
    };
    for (const Claim& c : claims) {
        const RawReply reply = get(c.target, c.secret);
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.body, c.body) << c.what;
        EXPECT_EQ(value(QString::fromLatin1(proofs)).toStdString(), c.proofs.toStdString()) << c.what;
        EXPECT_EQ(value(QString::fromLatin1(counted)), QString::fromLatin1(c.counted)) << c.what;
    }
    // The board and the e-book pages are the first claimer's meanwhile.
    EXPECT_EQ(get("/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=" + kUser, kMine).status, 403);

    // The desk lets the board number go, with the installation number the program makes from it.
    server_->admin().exec(QStringLiteral("UPDATE installation_proofs SET number = '%1' WHERE number = 'E%2'")
                              .arg(EncodeText(u, SettingsKey()), u));
    QString error;
    EXPECT_EQ(DeskRelease(server_->admin(), u, &error), 2);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(get("/flsh/claim.asp?ano=" + kUser + "&soft_no=" + QUrl::toPercentEncoding(EncodeText(u, SettingsKey())),
                  kMine)
                  .body,
              QByteArray("1"));
    EXPECT_EQ(get("/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=m&ano=" + kUser, kMine).status, 200);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs WHERE left(encode(secret_digest, "
                                   "'hex'), 4) = '%1'")
                        .arg(mine)),
              QStringLiteral("3"));

    // An address ties twenty claims a day; claiming what its secret holds goes on.
    server_->admin().exec(QStringLiteral("UPDATE address_writes SET done = 20 WHERE kind = 'claim'"));
    EXPECT_EQ(get("/flsh/claim.asp?ano=555&soft_no=", kMine).status, 429);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs WHERE number = '555'")),
              QStringLiteral("0"));
    EXPECT_EQ(get("/flsh/claim.asp?ano=" + kUser + "&soft_no=", kMine).body, QByteArray("1"));
}

TEST(PrintableText, ControlAndFormatCharactersBecomeVisibleEscapes) {
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {QStringLiteral("族人甲"), QStringLiteral("族人甲")},
        {QStringLiteral("\x1b[2J\x1b]0;pwned\x07"), QStringLiteral("\\x1B[2J\\x1B]0;pwned\\x07")},
        {QStringLiteral("a\r\nb\tc\x7f"), QStringLiteral("a\\x0D\\x0Ab\\x09c\\x7F")},
        {QString(QChar(0x9b)) + QStringLiteral("31m"), QStringLiteral("\\x9B31m")},
        {QStringLiteral("abc") + QChar(0x202e) + QStringLiteral("fed") + QChar(0x2028),
         QStringLiteral("abc\\u202Efed\\u2028")},
        {QStringLiteral("<b>粗</b> 50% \\x1B"), QStringLiteral("<b>粗</b> 50% \\\\x1B")},
    };
    for (const auto& c : cases) EXPECT_EQ(PrintableText(c.text), c.shown) << c.text.toStdString();
}

TEST_F(InstallationProofTest, TheDeskListsWhatUsersWroteWithoutTheirControlCharacters) {
    // A user whose name and message carry terminal commands, as the program would send them.
    EXPECT_EQ(get("/flsh/editABname.asp?gsno=800018080&name=%1B%5D0%3Bx%07%E7%94%B2&no=" + kUser, kMine).body,
              QByteArray("1"));
    const RawReply sent =
        get("/flsh/addmsg_a.asp?gsno=800018080&bno=&ano=" + kUser +
                "&msg=" + QUrl::toPercentEncoding(EncodeText(QStringLiteral("\x1b[2J清屏"), EmptySeedKey())),
            kMine);
    ASSERT_EQ(sent.status, 200);
    const QList<DeskMessage> waiting = DeskWaiting(server_->admin(), QStringLiteral("8001"));
    ASSERT_EQ(waiting.size(), 1);
    EXPECT_EQ(DeskListing(waiting), waiting[0].stamp + QStringLiteral("  318273645501 (\\x1B]0;x\\x07甲): "
                                                                      "\\x1B[2J清屏\n"));
    EXPECT_EQ(DeskListing({}), QStringLiteral("Nothing new.\n"));
}
