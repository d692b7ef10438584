// What the server keeps at most: each limit refused with its exact message, and nothing stored by the
// refused call; the totals it keeps per account agree with what it holds.

#include <gtest/gtest.h>

#include <functional>

#include "frame/server_connection.h"
#include "pages/schema_loader.h"
#include "platform/door/server_command.h"
#include "support/community_server.h"

namespace {

class QuotasTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ConnectServerDb();
        cmd.SetActiveConnection(ServerConnection().get());
        account = RegisterTestAccount(cmd, QStringLiteral("quota"), QStringLiteral("甲"), 1);
        ASSERT_GT(account, 0);
    }

    QString admin(const QString& sql) {
        const PgResult result = server_->admin().exec(sql);
        EXPECT_TRUE(result.ok) << sql.toStdString() << ": " << result.error.toStdString();
        return result.rows.value(0).value(0);
    }

    // sp_savezpdata2 of a new member with the test's usual fields and one of them replaced; "" when the
    // server took it, else the error the program reports.
    QString saveWith(const QString& name, const QString& parameter = QString(), const QString& value = {}) {
        cmd.SetCommandText(QStringLiteral("sp_savezpdata2"));
        cmd.SetValue(QStringLiteral("@z_accid"), account);
        cmd.SetValue(QStringLiteral("@z_filial_id"), 0);
        cmd.SetValue(QStringLiteral("@z_filial"), name);
        cmd.SetValue(QStringLiteral("@z_Boy_Sex"), 1);
        cmd.SetValue(QStringLiteral("@z_boy_active"), 1);
        cmd.SetValue(QStringLiteral("@z_Mother_active"), 1);
        for (const char* text :
             {"@z_father", "@z_mother", "@z_boy_birthday", "@z_boy_death", "@z_mother_birthday",
              "@z_mother_death", "@z_mother_folk", "@z_m_education", "@z_m_position", "@z_boy_folk",
              "@z_boy_education", "@z_boy_position", "@z_c_jc_w_z_h"})
            cmd.SetValue(QString::fromLatin1(text), QString());
        cmd.SetValue(QStringLiteral("@z_boy_sort"), 0);
        cmd.SetValue(QStringLiteral("@z_boy_right"), 0);
        if (!parameter.isEmpty()) cmd.SetValue(parameter, value);
        return ServerErrorOf([&] { cmd.Execute(); });
    }
    QString savePage(const QString& name, const QString& text) {
        cmd.SetCommandText(QStringLiteral("sp_savestory"));
        cmd.SetValue(QStringLiteral("@z_filial"), name);
        cmd.SetValue(QStringLiteral("@z_descript"), text);
        return ServerErrorOf([&] { cmd.Execute(); });
    }
    QString savePicture(const QString& name, const QByteArray& bytes, const QString& path) {
        cmd.SetCommandText(QStringLiteral("sp_saveimage"));
        cmd.SetValue(QStringLiteral("@z_filial"), name);
        cmd.SetValue(QStringLiteral("@z_myimage"), bytes);
        cmd.SetValue(QStringLiteral("@z_imgpath"), path);
        return ServerErrorOf([&] { cmd.Execute(); });
    }
    // "members/bytes" as the server counts them for the account, then as it holds them.
    QString counted() {
        return admin(
            QStringLiteral("SELECT members || '/' || stored_bytes FROM account_usage WHERE acc_id = %1")
                .arg(account));
    }
    QString held() { return heldBy(account); }
    // The members the account created and the bytes of the page texts and pictures it wrote.
    QString heldBy(qint32 acc) {
        return admin(QStringLiteral("SELECT (SELECT count(*) FROM members WHERE myacc_id = %1) || '/' || "
                                    "(SELECT coalesce(sum(octet_length(hisdescript)), 0) FROM member_stories "
                                    "WHERE writer_id = %1) + (SELECT coalesce(sum(octet_length(myimage)), 0) "
                                    "FROM member_images WHERE writer_id = %1)")
                         .arg(acc));
    }

    ServerCommand cmd;
    qint32 account = 0;
};

const QString kRefused = QStringLiteral("调用过程“sp_savezpdata2”失败：");

}  // namespace

// Each text field at the length the member form lets a user type is kept; one character more is refused
// and no member is stored.
TEST_F(QuotasTest, MemberFieldsLongerThanTheFormAllowsAreRefused) {
    const struct {
        const char* parameter;
        const char* caption;
        int most;
    } cases[] = {
        {"@z_father", "父亲", 49},
        {"@z_mother", "母亲", 50},
        {"@z_mother_folk", "母亲民族", 8},
        {"@z_m_education", "母亲文化", 12},
        {"@z_m_position", "母亲技或位", 50},
        {"@z_mother_birthday", "母亲生于居于", 64},
        {"@z_mother_death", "母亲卒于葬于", 64},
        {"@z_boy_folk", "子女民族", 8},
        {"@z_boy_education", "子女文化", 12},
        {"@z_boy_position", "子女技或位", 50},
        {"@z_boy_birthday", "子女生于居于", 64},
        {"@z_boy_death", "子女卒于葬于", 64},
        {"@z_c_jc_w_z_h", "称讳字谥号", 176},
    };
    int kept = 0;
    for (const auto& c : cases) {
        const QString parameter = QString::fromLatin1(c.parameter);
        EXPECT_EQ(saveWith(QStringLiteral("满%1").arg(kept), parameter, QString(c.most, u'字')), QString())
            << c.parameter;
        ++kept;
        EXPECT_EQ(saveWith(QStringLiteral("超长"), parameter, QString(c.most + 1, u'字')),
                  kRefused + QStringLiteral("成员“超长”的“%1”超过 %2 个字，服务器不予保存。")
                                 .arg(QString::fromUtf8(c.caption))
                                 .arg(c.most))
            << c.parameter;
        EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM members")), QString::number(kept))
            << c.parameter;
    }
    // A million characters is refused the same way.
    EXPECT_EQ(saveWith(QStringLiteral("超长"), QStringLiteral("@z_mother"), QString(1000000, u'母')),
              kRefused + QStringLiteral("成员“超长”的“母亲”超过 50 个字，服务器不予保存。"));
    EXPECT_EQ(counted(), QStringLiteral("%1/0").arg(kept));
}

// A page or picture past what the program uploads for one member is refused; the member keeps what the
// server had for it.
TEST_F(QuotasTest, PagesAndPicturesPastTheirLimitsAreRefusedAndTheOldOnesKept) {
    ASSERT_EQ(saveWith(QStringLiteral("页主")), QString());
    ASSERT_EQ(savePage(QStringLiteral("页主"), QStringLiteral("旧页")), QString());
    ASSERT_EQ(savePicture(QStringLiteral("页主"), "old", QStringLiteral("a.jpg")), QString());
    const QString before = held();

    const QString page = QStringLiteral("调用过程“sp_savestory”失败：");
    const QString picture = QStringLiteral("调用过程“sp_saveimage”失败：");
    EXPECT_EQ(savePage(QStringLiteral("页主"), QString(2097153, u'p')),
              page + QStringLiteral("成员“页主”的页面超过 2097152 个字，服务器不予保存。"));
    EXPECT_EQ(savePicture(QStringLiteral("页主"), QByteArray(12582912, 'x'), QStringLiteral("a.jpg")),
              picture + QStringLiteral("成员“页主”的视音频媒体超过12M，服务器不予保存。"));
    EXPECT_EQ(savePicture(QStringLiteral("页主"), "new", QString(1025, u'p')),
              picture + QStringLiteral("成员“页主”的图片路径超过 1024 个字，服务器不予保存。"));
    EXPECT_EQ(admin(QStringLiteral("SELECT hisdescript FROM member_stories")), QStringLiteral("旧页"));
    EXPECT_EQ(admin(QStringLiteral("SELECT string_agg(encode(myimage, 'escape'), ',') FROM member_images")),
              QStringLiteral("old"));
    EXPECT_EQ(held(), before);
    EXPECT_EQ(counted(), before);

    // The page at its limit is kept.
    EXPECT_EQ(savePage(QStringLiteral("页主"), QString(2097152, u'p')), QString());
    EXPECT_EQ(admin(QStringLiteral("SELECT char_length(hisdescript) FROM member_stories")),
              QStringLiteral("2097152"));
    EXPECT_EQ(counted(), held());
}

// Three hundred pictures a member: the three hundredth is kept, one more refused, and an item already
// there may still be replaced.
TEST_F(QuotasTest, AMemberKeepsAtMostThreeHundredPictures) {
    ASSERT_EQ(saveWith(QStringLiteral("相册")), QString());
    admin(QStringLiteral(
        "INSERT INTO member_images (filial_id, imagepath, myimage, writer_id) SELECT filial_id, 'p' || n, "
        "'x', myacc_id FROM members, generate_series(1, 299) n"));
    EXPECT_EQ(savePicture(QStringLiteral("相册"), "300", QStringLiteral("p300")), QString());
    EXPECT_EQ(
        savePicture(QStringLiteral("相册"), "301", QStringLiteral("p301")),
        QStringLiteral("调用过程“sp_saveimage”失败：成员“相册”在服务器上已有 300 个图片或媒体，不能再添。"));
    EXPECT_EQ(savePicture(QStringLiteral("相册"), "again", QStringLiteral("p1")), QString());
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM member_images")), QStringLiteral("300"));
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM member_images WHERE imagepath = 'p301'")),
              QStringLiteral("0"));
}

// The account's totals: no member past 200,000 and no page or picture past 2 GB; what is replaced or
// shrinks is never refused.
TEST_F(QuotasTest, AnAccountsTotalsRefuseMoreAndNothingIsStored) {
    ASSERT_EQ(saveWith(QStringLiteral("一")), QString());
    ASSERT_EQ(savePage(QStringLiteral("一"), QStringLiteral("0123456789")), QString());

    admin(QStringLiteral("UPDATE account_usage SET members = 200000 WHERE acc_id = %1").arg(account));
    EXPECT_EQ(saveWith(QStringLiteral("二")),
              kRefused + QStringLiteral("帐号在服务器上的成员已达 200000 个的上限，成员“二”未上传。"));
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM members")), QStringLiteral("1"));
    admin(QStringLiteral("UPDATE account_usage SET members = 199999 WHERE acc_id = %1").arg(account));
    EXPECT_EQ(saveWith(QStringLiteral("二")), QString());

    // Ten bytes short of the total.
    admin(
        QStringLiteral("UPDATE account_usage SET stored_bytes = 2147483638 WHERE acc_id = %1").arg(account));
    EXPECT_EQ(savePage(QStringLiteral("二"), QStringLiteral("01234567890")),
              QStringLiteral("调用过程“sp_savestory”失败：帐号在服务器上的页面和图片已近 2 GB "
                             "的上限，成员“二”的页面不予保存。"));
    EXPECT_EQ(savePicture(QStringLiteral("二"), QByteArray(11, 'x'), QStringLiteral("b.jpg")),
              QStringLiteral("调用过程“sp_saveimage”失败：帐号在服务器上的页面和图片已近 2 GB "
                             "的上限，成员“二”的图片不予保存。"));
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM member_stories s JOIN members m USING (filial_id) "
                                   "WHERE m.filial = '二'")),
              QStringLiteral("0"));
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM member_images")), QStringLiteral("0"));
    EXPECT_EQ(savePage(QStringLiteral("二"), QStringLiteral("0123456789")), QString());
    EXPECT_EQ(savePage(QStringLiteral("一"), QStringLiteral("shorter")), QString());
    EXPECT_EQ(counted(), QStringLiteral("200000/2147483645"));
}

// What the account holds is counted on every path that changes it: saves, replacements, deletion, and
// an association keeping an expelled account's members.
TEST_F(QuotasTest, TheCountedTotalsFollowEveryChange) {
    ASSERT_EQ(saveWith(QStringLiteral("甲一")), QString());
    const qint32 id = cmd.Value(QStringLiteral("@z_filial_id")).toInt();
    ASSERT_EQ(saveWith(QStringLiteral("甲二")), QString());
    ASSERT_EQ(savePage(QStringLiteral("甲一"), QStringLiteral("页面文字")), QString());
    ASSERT_EQ(savePage(QStringLiteral("甲一"), QStringLiteral("短")), QString());
    ASSERT_EQ(savePicture(QStringLiteral("甲一"), QByteArray(1000, 'x'), QStringLiteral("a")), QString());
    ASSERT_EQ(savePicture(QStringLiteral("甲一"), QByteArray(10, 'x'), QStringLiteral("a")), QString());
    ASSERT_EQ(savePicture(QStringLiteral("甲二"), QByteArray(7, 'x'), QStringLiteral("b")), QString());
    EXPECT_EQ(counted(), QStringLiteral("2/20"));
    EXPECT_EQ(held(), counted());

    cmd.SetCommandText(QStringLiteral("sp_deleteZpdata"));
    cmd.SetValue(QStringLiteral("@z_filial_id"), id);
    cmd.Execute();
    EXPECT_EQ(counted(), QStringLiteral("1/7"));

    // Expelled from an association it had opened its members to: the officer's account keeps them.
    const qint32 officer = RegisterTestAccount(cmd, QStringLiteral("officer"), QStringLiteral("乙"));
    admin(QStringLiteral("INSERT INTO clan_groups (group_id, group_name, creator_id) VALUES (90, '会', %1)")
              .arg(officer));
    admin(
        QStringLiteral("UPDATE accounts SET group_id = 90, position_id = 9 WHERE acc_id = %1").arg(officer));
    admin(
        QStringLiteral("UPDATE accounts SET group_id = 90, position_id = 1, open_level = 2 WHERE acc_id = %1")
            .arg(account));
    EXPECT_EQ(admin(QStringLiteral("SELECT page_group_expel(%1, %2, 90)").arg(officer).arg(account)),
              QString::number(officer));
    EXPECT_EQ(counted(), QStringLiteral("0/0"));
    EXPECT_EQ(
        admin(QStringLiteral("SELECT members || '/' || stored_bytes FROM account_usage WHERE acc_id = %1")
                  .arg(officer)),
        QStringLiteral("1/7"));
}

// Page texts and pictures are charged to the account that wrote them, whoever created the member: a
// replacement moves the bytes to its writer, a full account cannot write on another's member, and
// deleting the member gives every writer its bytes back.
TEST_F(QuotasTest, PagesAndPicturesAreChargedToTheAccountThatWroteThem) {
    ASSERT_EQ(saveWith(QStringLiteral("共")), QString());  // the account's, unprotected, open to all
    const qint32 id = cmd.Value(QStringLiteral("@z_filial_id")).toInt();
    auto writerConnection = OpenTestConnection();
    ServerCommand writerCmd(writerConnection.get());
    const qint32 writer = RegisterTestAccount(writerCmd, QStringLiteral("writer"), QStringLiteral("乙"));
    ASSERT_GT(writer, 0);
    auto countedBy = [&](qint32 acc) {
        return admin(QStringLiteral("SELECT coalesce((SELECT members || '/' || stored_bytes FROM account_usage "
                                    "WHERE acc_id = %1), '0/0')")
                         .arg(acc));
    };
    const QString full = QStringLiteral("调用过程“sp_saveimage”失败：帐号在服务器上的页面和图片已近 2 GB "
                                        "的上限，成员“共”的图片不予保存。");
    const struct {
        const char* what;
        bool byWriter;
        std::function<QString()> write;
        QString refusal;
        const char* owners;   // the creator's members/bytes after it
        const char* writers;  // the writer's
    } steps[] = {
        {"the creator's page", false, [&] { return savePage(QStringLiteral("共"), QString(10, u'p')); }, {},
         "1/10", "0/0"},
        {"the writer's picture on it", true,
         [&] { return savePicture(QStringLiteral("共"), QByteArray(5, 'b'), QStringLiteral("b.jpg")); }, {},
         "1/10", "0/5"},
        {"the writer replaces the creator's page", true,
         [&] { return savePage(QStringLiteral("共"), QString(4, u'w')); }, {}, "1/0", "0/9"},
        {"the creator replaces the writer's picture", false,
         [&] { return savePicture(QStringLiteral("共"), QByteArray(3, 'a'), QStringLiteral("b.jpg")); }, {},
         "1/3", "0/4"},
        {"the writer, full, cannot write on another's member", true,
         [&] {
             admin(QStringLiteral("UPDATE account_usage SET stored_bytes = 2147483646 WHERE acc_id = %1")
                       .arg(writer));
             return savePicture(QStringLiteral("共"), QByteArray(3, 'c'), QStringLiteral("c.jpg"));
         },
         full, "1/3", "0/2147483646"},
        {"while the creator still can", false,
         [&] { return savePicture(QStringLiteral("共"), QByteArray(3, 'c'), QStringLiteral("c.jpg")); }, {},
         "1/6", "0/2147483646"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.byWriter) cmd.SetActiveConnection(writerConnection.get());
        EXPECT_EQ(s.write(), s.refusal);
        cmd.SetActiveConnection(ServerConnection().get());
        EXPECT_EQ(countedBy(account), QLatin1String(s.owners));
        EXPECT_EQ(countedBy(writer), QLatin1String(s.writers));
    }
    admin(QStringLiteral("UPDATE account_usage SET stored_bytes = 4 WHERE acc_id = %1").arg(writer));
    EXPECT_EQ(heldBy(writer), QStringLiteral("0/4"));
    cmd.SetCommandText(QStringLiteral("sp_deleteZpdata"));
    cmd.SetValue(QStringLiteral("@z_filial_id"), id);
    cmd.Execute();
    EXPECT_EQ(countedBy(account), QStringLiteral("0/0"));
    EXPECT_EQ(countedBy(writer), QStringLiteral("0/0"));
}

// An association's name is kept up to 50 characters; a longer one founds nothing, by the procedure or
// the page.
TEST_F(QuotasTest, AnAssociationsNameOfMoreThanFiftyCharactersFoundsNothing) {
    const struct {
        int length;
        bool founded;
    } cases[] = {{51, false}, {50, true}};
    for (const auto& c : cases) {
        cmd.SetCommandText(QStringLiteral("sp_CreateGroup"));
        cmd.SetValue(QStringLiteral("@z_acc_id"), account);
        cmd.SetValue(QStringLiteral("@z_maxp_id"), 5);
        cmd.SetValue(QStringLiteral("@z_group_name"), QString(c.length, u'会'));
        cmd.Execute();
        EXPECT_EQ(cmd.Value(QStringLiteral("@z_acc_id")).toInt() > 0, c.founded) << c.length;
    }
    EXPECT_EQ(admin(QStringLiteral("SELECT string_agg(char_length(group_name)::text, ',') FROM clan_groups")),
              QStringLiteral("50"));

    const qint32 other = RegisterTestAccount(cmd, QStringLiteral("other"), QStringLiteral("乙"));
    const QString credential = ServerConnection()->credential();
    const QByteArray name = QString(51, u'名').toUtf8().toPercentEncoding();
    const RawReply refused = RawPageRequest(
        server_->pages()->port(), "GET",
        "/flsh2/creategroup.asp?gn=" + name + "&accid=" + QByteArray::number(other) + "&pid=5", credential);
    EXPECT_EQ(refused.status, 200);
    EXPECT_EQ(refused.body, QByteArray("0@~"));
    EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM clan_groups")), QStringLiteral("1"));
}

// A database from before the totals were kept, or from when a member's bytes were charged to its
// creator, gets them counted by their writers when the schema loads; loading it again changes nothing.
TEST_F(QuotasTest, TotalsAreCountedForADatabaseFromBefore) {
    ASSERT_EQ(saveWith(QStringLiteral("旧一")), QString());
    ASSERT_EQ(saveWith(QStringLiteral("旧二")), QString());
    ASSERT_EQ(savePage(QStringLiteral("旧一"), QStringLiteral("旧页面")), QString());
    ASSERT_EQ(savePicture(QStringLiteral("旧二"), QByteArray(5, 'x'), QStringLiteral("a")), QString());
    const struct {
        const char* what;
        const char* usage;  // what becomes of the totals the database kept
    } cases[] = {
        {"no totals at all", "DROP TABLE account_usage"},
        {"totals by creator, wrong", "UPDATE account_usage SET stored_bytes = 99"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        admin(QStringLiteral("DROP TRIGGER member_stories_usage ON member_stories"));
        admin(QStringLiteral("DROP TRIGGER member_images_usage ON member_images"));
        admin(QStringLiteral("ALTER TABLE member_stories DROP COLUMN writer_id"));
        admin(QStringLiteral("ALTER TABLE member_images DROP COLUMN writer_id"));
        admin(QStringLiteral("ALTER TABLE members ADD COLUMN stored_bytes bigint NOT NULL DEFAULT 0"));
        admin(QString::fromLatin1(c.usage));
        for (int load = 0; load < 2; ++load) {
            EXPECT_EQ(LoadServerSchema(server_->admin()), QString());
            EXPECT_EQ(counted(), QStringLiteral("2/14")) << load;
            EXPECT_EQ(held(), counted()) << load;
            EXPECT_EQ(admin(QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE "
                                           "table_name = 'members' AND column_name = 'stored_bytes'")),
                      QStringLiteral("0"));
        }
    }
}
