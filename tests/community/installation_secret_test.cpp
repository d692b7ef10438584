// The installation's secret: made once and kept with the settings, sent with the board's and the
// e-book publication's requests; another installation with the same number is turned down, and a
// publication made while logged on stays with its account.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "community/ebook_online_fixture.h"
#include "community/ebook_publishing.h"
#include "community/soft_no.h"
#include "frame/app_state.h"
#include "frame/server_connection.h"
#include "platform/http/installation_header.h"
#include "platform/settings_store.h"

namespace {

const QString kSetting = QStringLiteral("installation_secret");

TEST(InstallationSecret, IsMadeOnceKeptAndRemadeOnlyWhenItIsNotOne) {
    const QString before = GetSetting(kSetting);
    const struct {
        const char* stored;
        bool kept;
    } cases[] = {
        {"", false},
        {"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", true},
        {"0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef", false},
        {"short", false},
    };
    for (const auto& c : cases) {
        SaveSetting(kSetting, QString::fromLatin1(c.stored));
        const QString secret = InstallationSecret();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(secret).hasMatch())
            << c.stored;
        EXPECT_EQ(secret == QLatin1String(c.stored), c.kept) << c.stored;
        EXPECT_EQ(GetSetting(kSetting), secret) << c.stored;
        EXPECT_EQ(InstallationSecret(), secret) << c.stored;
        EXPECT_EQ(InstallationHeaders(),
                  (QList<QPair<QByteArray, QByteArray>>{{kInstallationSecretHeader, secret.toLatin1()}}));
    }
    // Two installations do not make the same secret.
    SaveSetting(kSetting, QString());
    const QString first = InstallationSecret();
    SaveSetting(kSetting, QString());
    EXPECT_NE(InstallationSecret(), first);
    SaveSetting(kSetting, before);
}

class EbookProof : public EbookOnlineTest {
protected:
    void TearDown() override {
        SaveSetting(kSetting, saved_);
        EbookOnlineTest::TearDown();
    }
    ebook_publishing::Publication publication(const QString& replaced, const QString& name) {
        ebook_publishing::Publication p;
        p.softNo = QStringLiteral("210987654321");
        p.netpath = url(QStringLiteral("ZhangShi.mdb"));
        p.name = name;
        p.replacedId = replaced;
        p.size = QStringLiteral("1.50M");
        return p;
    }
    QString entry() {
        return serverValue(
            QStringLiteral("SELECT ebook_name || '|' || coalesce(account_id::text, '-') FROM ebooks"));
    }

    QString saved_ = GetSetting(kSetting);
};

TEST_F(EbookProof, AnotherInstallationWithTheSameNumberOrAnotherAccountCannotReplaceTheEbook) {
    ConnectServerDb();
    ServerCommand cmd;
    cmd.SetActiveConnection(ServerConnection().get());
    const qint32 owner = RegisterTestAccount(cmd, QStringLiteral("owner"), QStringLiteral("甲"));
    const QString ownerCredential = ServerConnection()->credential();
    ASSERT_GT(RegisterTestAccount(cmd, QStringLiteral("other"), QStringLiteral("乙")), 0);
    const QString otherCredential = ServerConnection()->credential();

    const QString mine = QStringLiteral("1111111111111111111111111111111111111111111111111111111111111111");
    const QString theirs = QStringLiteral("2222222222222222222222222222222222222222222222222222222222222222");
    SaveSetting(kSetting, mine);
    App().ServerCredential = ownerCredential;
    ASSERT_TRUE(ebook_publishing::Publish(publication(QStringLiteral("0"), QStringLiteral("张氏"))));
    const QString id = serverValue(QStringLiteral("SELECT ebook_id FROM ebooks"));
    EXPECT_EQ(entry(), QStringLiteral("张氏|%1").arg(owner));
    // Publishing claimed both of the installation's numbers first.
    EXPECT_EQ(serverValue(QStringLiteral("SELECT string_agg(kind || '=' || number, ',' ORDER BY kind) FROM "
                                         "installation_proofs")),
              QStringLiteral("board=210987654321,ebook=") +
                  InstallationClaimQuery(QStringLiteral("210987654321")).value(1).second);

    const struct {
        const char* what;
        QString secret;
        QString credential;
    } refused[] = {
        {"another installation, the same account", theirs, ownerCredential},
        {"the same installation, another account", mine, otherCredential},
        {"the same installation, logged off", mine, QString()},
    };
    for (const auto& r : refused) {
        SaveSetting(kSetting, r.secret);
        App().ServerCredential = r.credential;
        EXPECT_FALSE(ebook_publishing::Publish(publication(id, QStringLiteral("李氏")))) << r.what;
        EXPECT_EQ(entry(), QStringLiteral("张氏|%1").arg(owner)) << r.what;
    }
    SaveSetting(kSetting, mine);
    App().ServerCredential = ownerCredential;
    EXPECT_TRUE(ebook_publishing::Publish(publication(id, QStringLiteral("张氏续"))));
    EXPECT_EQ(entry(), QStringLiteral("张氏续|%1").arg(owner));
    App().ServerCredential.clear();
}

}  // namespace
