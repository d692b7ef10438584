// Every text the server keeps has a longest length: at it the text is kept, one character more is
// refused with its field and its length said where the answer can say it, and nothing is kept. The
// log-on form lets nobody type more than the server keeps.

#include <gtest/gtest.h>
#include <QUrl>

#include "frame/builtin_seeds.h"
#include "frame/text_scramble.h"
#include "online/logon_rules.h"
#include "platform/http/installation_header.h"
#include "support/community_server.h"

namespace {

const QString kSecret = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

class LengthsTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        connection = OpenTestConnection();
        cmd.SetActiveConnection(connection.get());
    }
    QString value(const QString& sql) { return server_->admin().exec(sql).rows.value(0).value(0); }
    RawReply page(const QByteArray& target) {
        return RawExchange(server_->pages()->port(),
                           "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                               kInstallationSecretHeader + ": " + kSecret.toLatin1() + "\r\n\r\n");
    }

    std::unique_ptr<DoorConnection> connection;
    ServerCommand cmd;
};

QByteArray Query(const QList<QPair<QString, QString>>& values) {
    QByteArray query;
    for (const auto& [key, value] : values)
        query += (query.isEmpty() ? "" : "&") + key.toLatin1() + '=' + QUrl::toPercentEncoding(value);
    return query;
}

}  // namespace

TEST_F(LengthsTest, RegistrationKeepsNumbersAndNicknamesUpToTheirLengthAndSaysWhichIsTooLong) {
    const QString number = QStringLiteral("调用过程“sp_trylogon”失败：“帐号”超过 50 个字，服务器不予注册。");
    const QString nickname = QStringLiteral("调用过程“sp_trylogon”失败：“昵称”超过 50 个字，服务器不予注册。");
    const struct {
        const char* what;
        QString number;
        QString nick;
        QString refusal;
    } cases[] = {
        {"the longest number", QString(50, u'号'), QStringLiteral("甲"), {}},
        {"a number one longer", QString(51, u'号'), QStringLiteral("甲"), number},
        {"the longest nickname", QStringLiteral("nick-50"), QString(50, u'名'), {}},
        {"a nickname one longer", QStringLiteral("nick-51"), QString(51, u'名'), nickname},
        {"a nickname far longer", QStringLiteral("nick-5000"), QString(5000, u'名'), nickname},
        // Refused alike whether the number is taken or not.
        {"a taken number with a nickname too long", QString(50, u'号'), QString(51, u'名'), nickname},
        // What is cleaned away does not count: the separators go before the length is measured.
        {"a nickname cleaned to the longest", QStringLiteral("nick-clean"),
         QString(50, u'名') + QStringLiteral("@~%!"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = value(QStringLiteral("SELECT count(*) FROM accounts")).toInt();
        const QString error = ServerErrorOf([&] { CallTryLogon(cmd, c.number, QStringLiteral("d"), 1, c.nick); });
        EXPECT_EQ(error, c.refusal);
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM accounts")).toInt(),
                  before + (c.refusal.isEmpty() ? 1 : 0));
    }
    EXPECT_EQ(value(QStringLiteral("SELECT max(char_length(nickname)) FROM accounts")), QStringLiteral("50"));
    // The log-on page registers nothing too long either: 400 with "".
    for (const QByteArray& query : {"u_no=" + QByteArray(51, 'n') + "&pswd=d&pswd2=d&Nick=ok&R=1",
                                    QByteArray("u_no=page-nick&pswd=d&pswd2=d&Nick=") + QByteArray(51, 'n') +
                                        "&R=1"}) {
        const RawReply reply = page("/flsh2/tryLogon3.asp?" + query);
        EXPECT_EQ(reply.status, 400) << query.constData();
        EXPECT_EQ(reply.body, QByteArray());
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM accounts")), QStringLiteral("3"));

    // An account kept from before with a longer number still logs on.
    const QString old(60, u'旧');
    server_->admin().exec(QStringLiteral("INSERT INTO accounts (user_no, pswd_hash, pswd2_hash) VALUES ('%1', "
                                         "crypt('d', gen_salt('bf', 4)), '')")
                              .arg(old));
    EXPECT_EQ(CallTryLogon(cmd, old, QStringLiteral("d"), 0), 1);

    // The log-on form's fields hold what the server keeps.
    EXPECT_EQ(value(QStringLiteral("SELECT zp_limit('account_no_chars') || '/' || zp_limit('nickname_chars')")),
              QStringLiteral("%1/%2").arg(LogonRules::kMaxAccountChars).arg(LogonRules::kMaxNicknameChars));
}

TEST_F(LengthsTest, AnEbookEntryKeepsEachTextUpToItsLength) {
    const QString softNo(32, u's');
    auto publication = [&](const QString& field, int length) {
        QList<QPair<QString, QString>> values = {
            {QStringLiteral("soft_no"), softNo},
            {QStringLiteral("strgpswd"), QString(128, u'p')},
            {QStringLiteral("netpath"), QStringLiteral("http://a.cn/") + QString(1024 - 12, u'e')},
            {QStringLiteral("bk_name"), QString(100, u'书')},
            {QStringLiteral("bk_org"), QString(100, u'o')},
            {QStringLiteral("bk_e"), QString(100, u'e')},
            {QStringLiteral("bk_key"), QString(1000, u'k')},
            {QStringLiteral("bk_odklj"), QString(50, u'c')},
            {QStringLiteral("bk_id"), QStringLiteral("0")},
            {QStringLiteral("bk_right"), QStringLiteral("0")},
            {QStringLiteral("bk_size"), QStringLiteral("1.5")},
            {QStringLiteral("ip"), QString(128, u'9')},
            {QStringLiteral("netcard"), QString(128, u'a')},
        };
        for (auto& [key, value] : values)
            if (key == field) value = key == QLatin1String("netpath")
                                          ? QStringLiteral("http://a.cn/") + QString(length - 12, u'e')
                                          : QString(length, value.isEmpty() ? u'x' : value.back());
        return page("/flsh2/ebPublication3.asp?" + Query(values));
    };
    const struct {
        const char* field;
        int most;
    } fields[] = {{"soft_no", 32}, {"strgpswd", 128}, {"netpath", 1024}, {"bk_name", 100},
                  {"bk_org", 100}, {"bk_e", 100},       {"bk_key", 1000},  {"bk_odklj", 50},
                  {"ip", 128},     {"netcard", 128}};
    for (const auto& f : fields) {
        const RawReply refused = publication(QString::fromLatin1(f.field), f.most + 1);
        EXPECT_EQ(refused.status, 200) << f.field;
        EXPECT_EQ(refused.body, QByteArray("0")) << f.field;
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM ebooks")), QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs")), QStringLiteral("0"));
    // Everything at its longest is published.
    const RawReply kept = publication(QString(), 0);
    EXPECT_GT(kept.body.toInt(), 0) << kept.body.constData();
    EXPECT_EQ(value(QStringLiteral("SELECT char_length(ebook_name) || '/' || char_length(netpath) FROM ebooks")),
              QStringLiteral("100/1024"));
}

TEST_F(LengthsTest, BoardAndInstallationNumbersLongerThanTheServerKeepsAreRefused) {
    const QByteArray longest(32, '7'), longer(33, '7');
    const struct {
        const char* what;
        QByteArray target;
        int status;
        QByteArray body;
    } cases[] = {
        {"a message from a number one longer",
         "/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=x&ano=" + longer, 400, ""},
        {"a message to a partner one longer", "/flsh/addmsg_a.asp?bno=&msg=x&ano=1&gsno=" + longer, 400, ""},
        {"a name for a number one longer", "/flsh/editABname.asp?gsno=800018080&name=x&no=" + longer, 400,
         "0"},
        {"a name under a partner one longer", "/flsh/editABname.asp?no=1&name=x&gsno=" + longer, 400, "0"},
        {"a claim of a number one longer", "/flsh/claim.asp?soft_no=&ano=" + longer, 400, "0"},
        {"a message from the longest number", "/flsh/addmsg_a.asp?gsno=800018080&bno=&msg=x&ano=" + longest,
         200, "8001"},
    };
    for (const auto& c : cases) {
        const RawReply reply = page(c.target);
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.body, c.body) << c.what;
    }
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(user_no, ',') FROM board_messages")),
              QString::fromLatin1(longest));
    EXPECT_EQ(value(QStringLiteral("SELECT string_agg(partner_no || '/' || user_no, ',') FROM board_users")),
              QStringLiteral("800018080/") + QString::fromLatin1(longest));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM installation_proofs")), QStringLiteral("1"));
}
