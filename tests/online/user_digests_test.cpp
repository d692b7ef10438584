// The logged-on user record, the password digests for the server and the adapter address.

#include <gtest/gtest.h>
#include <QRegularExpression>

#include "frame/http_procedures.h"
#include "online/adv_pswd.h"
#include "online/net_card.h"
#include "online/user_record.h"
#include "support/test_http_server.h"

TEST(AdvPswdTest, NetDigestIsStableAndDependsOnTheAccount) {
    ClsAdvPswd pswd;
    const QString first = pswd.Net_AdvPswd(QStringLiteral("abc123"), QStringLiteral("user1"));
    EXPECT_EQ(first.size(), 32);
    EXPECT_EQ(ClsAdvPswd().Net_AdvPswd(QStringLiteral("abc123"), QStringLiteral("user1")), first);
    EXPECT_NE(pswd.Net_AdvPswd(QStringLiteral("abc123"), QStringLiteral("user2")), first);
    EXPECT_NE(first, QStringLiteral("E99A18C428CB38D5F260853678922E03"));
    // Undoing the scrambling gives the digest, never the password.
    EXPECT_EQ(pswd.Net_unAdvPswd(first, QStringLiteral("user1")),
              QStringLiteral("E99A18C428CB38D5F260853678922E03"));
    EXPECT_EQ(
        pswd.unAdvPswd(pswd.AdvPswd(QStringLiteral("abc123"), QStringLiteral("k")), QStringLiteral("k")),
        QStringLiteral("E99A18C428CB38D5F260853678922E03"));
    EXPECT_EQ(pswd.Net_unAdvPswd(pswd.Net_AdvPswd(QString(), QStringLiteral("k")), QStringLiteral("k")),
              QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
}

TEST(AdvPswdTest, ChinesePasswordsGetDigestsOfTheirOwn) {
    ClsAdvPswd pswd;
    const QString digest = pswd.Net_unAdvPswd(pswd.Net_AdvPswd(QStringLiteral("密码"), QStringLiteral("u")),
                                              QStringLiteral("u"));
    EXPECT_EQ(digest, QStringLiteral("D2293E30F0C964C5F6242486AA8A483C"));  // MD5 of the GB18030 bytes
    EXPECT_NE(pswd.Net_AdvPswd(QStringLiteral("口令"), QStringLiteral("u")),
              pswd.Net_AdvPswd(QStringLiteral("密码"), QStringLiteral("u")));
}

TEST(NetCardTest, AddressIsTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(ClsNetCard::FormatAddress(QByteArray::fromHex("001a05ff0b10")), QStringLiteral("001A05FF0B10"));
    EXPECT_EQ(ClsNetCard::FormatAddress(QByteArray()), QStringLiteral("000000000000"));
    EXPECT_EQ(ClsNetCard::FormatAddress(QByteArray::fromHex("0102030405060708")),
              QStringLiteral("010203040506"));
    static const QRegularExpression twelve(QStringLiteral("^[0-9A-F]{12}$"));
    EXPECT_TRUE(twelve.match(ClsNetCard().NetCardAddress()).hasMatch());
}

TEST(UserRecordTest, FreshRecordAndLevelChangeRequest) {
    Cls_User user;
    EXPECT_FALSE(user.Logoned);
    EXPECT_EQ(user.acc_id, 0);
    EXPECT_EQ(user.curGroup_Id, 0);
    EXPECT_FALSE(user.Tag.isValid());
    EXPECT_EQ(user.Logon(QString(), QString(), QString(), QString(), 1), 0);
    user.Pswd = QStringLiteral("p");
    user.Pswd2 = QStringLiteral("q");
    EXPECT_EQ(user.GetPswd() + user.GetPswd2(), QStringLiteral("pq"));

    TestHttpServer server;
    SetBuiltInServerUrl(server.base());
    for (const auto& [reply, answer] :
         {std::pair{"1", 1}, {"0", 0}, {"", 0}, {"1x", 0}, {"256", 0}, {" 1\r\n", 1}}) {
        server.answer("/flsh2/ChangeProtected.asp", "200 OK", reply);
        EXPECT_EQ(user.ChangeProtected(5, 2), answer) << reply;
    }
    EXPECT_EQ(server.lastTarget(), QByteArray("/flsh2/ChangeProtected.asp?accid=5&right=2"));
    SetBuiltInServerUrl(QString());
}
