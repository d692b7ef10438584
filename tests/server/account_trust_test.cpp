// Callers act only for the account they proved: forged or unproven ids are refused through the
// procedures and through the pages, and nothing changes.

#include <gtest/gtest.h>

#include <functional>

#include "frame/server_connection.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "support/community_server.h"

namespace {

// A connection of the program's account with a command of its own.
struct Caller {
    bool open() {
        db = OpenTestConnection();
        cmd.SetActiveConnection(db.get());
        return bool(db);
    }
    std::unique_ptr<DoorConnection> db;
    ServerCommand cmd;
};

class AccountTrustTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        for (Caller* c : {&alice, &bob, &nobody}) ASSERT_TRUE(c->open());
        a = RegisterTestAccount(alice.cmd, QStringLiteral("alice"), QStringLiteral("甲"));
        b = RegisterTestAccount(bob.cmd, QStringLiteral("bob"), QStringLiteral("乙"));
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        guarded =
            SaveTestMember(alice.cmd, a, 0, {QStringLiteral("赵甲"), QString(), QStringLiteral("母甲"), 1});
        plain = SaveTestMember(alice.cmd, a, 0, {QStringLiteral("赵乙"), QStringLiteral("赵甲")});
        ASSERT_GT(plain, guarded);
        call(alice, "sp_savestory", {{"@z_filial", "赵甲"}, {"@z_descript", "page"}});
        call(alice, "sp_saveimage",
             {{"@z_filial", "赵甲"}, {"@z_myimage", QByteArray("jpg")}, {"@z_imgpath", "a"}});
        aliceCredential = alice.db->credential();
        bobCredential = bob.db->credential();
        ASSERT_EQ(aliceCredential.size(), 48);
    }

    ServerRows call(Caller& c, const char* procedure, const QList<QPair<const char*, QVariant>>& values) {
        c.cmd.SetCommandText(QString::fromLatin1(procedure));
        for (const auto& [name, value] : values) c.cmd.SetValue(QString::fromLatin1(name), value);
        return c.cmd.Execute();
    }
    qint32 save(Caller& c, qint32 account, qint32 id, const QString& name, const QString& mother) {
        return SaveTestMember(c.cmd, account, id, {name, QString(), mother});
    }
    // sp_Getzpdata2 as the downloads call it: the id the server answers, below 1 for none.
    qint32 fetch(Caller& c, qint32 id) {
        FetchTestMember(c.cmd, id);
        return c.cmd.Value(QStringLiteral("@z_filial_id")).toInt();
    }
    QStringList ownerRows(const QString& sql) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql).rows) out << row.join(u'|');
        return out;
    }
    QStringList alicesData() {
        return ownerRows(
                   QStringLiteral(
                       "SELECT filial, mother, boy_right FROM members WHERE myacc_id = %1 ORDER BY filial_id")
                       .arg(a)) +
               ownerRows(QStringLiteral("SELECT (SELECT count(*) FROM member_stories) || '/' || "
                                        "(SELECT count(*) FROM member_images)")) +
               ownerRows(QStringLiteral("SELECT open_level, group_id FROM accounts ORDER BY acc_id"));
    }
    RawReply page(const QByteArray& target, const QString& credential) {
        return RawPageRequest(server_->pages()->port(), "GET", target, credential);
    }

    Caller alice, bob, nobody;
    qint32 a = 0, b = 0, guarded = 0, plain = 0;
    QString aliceCredential, bobCredential;
};

const QString kNotLoggedOn = QStringLiteral("尚未登录服务器，不能代表任何帐号操作。请先登录。");

}  // namespace

TEST_F(AccountTrustTest, ProceduresRefuseForgedAndUnprovenAccounts) {
    const QStringList before = alicesData();
    const QString notAlice = QStringLiteral("帐号 %1 不是本次登录的帐号，操作被拒绝。").arg(a);
    struct Case {
        const char* what;
        Caller* caller;
        std::function<void()> call;
        QString error;  // after "调用过程“…”失败："
    };
    const Case cases[] = {
        {"save, no log-on", &nobody, [&] { save(nobody, a, guarded, "赵甲", "x"); }, kNotLoggedOn},
        {"save as another", &bob, [&] { save(bob, a, guarded, "赵甲", "x"); }, notAlice},
        {"delete, no log-on", &nobody,
         [&] {
             call(nobody, "sp_deleteZpdata", {{"@z_filial_id", guarded}});
         },
         kNotLoggedOn},
        {"page, no log-on", &nobody,
         [&] {
             call(nobody, "sp_savestory", {{"@z_filial", "赵甲"}, {"@z_descript", "x"}});
         },
         kNotLoggedOn},
        {"picture, no log-on", &nobody,
         [&] {
             call(nobody, "sp_saveimage",
                  {{"@z_filial", "赵甲"}, {"@z_myimage", QByteArray("x")}, {"@z_imgpath", "b"}});
         },
         kNotLoggedOn},
        {"page of another's", &bob,
         [&] {
             call(bob, "sp_savestory", {{"@z_filial", "赵甲"}, {"@z_descript", "x"}});
         },
         QStringLiteral("服务器上没有成员“赵甲”。")},
        {"tree of another", &bob,
         [&] {
             call(bob, "sp_GnSeekList2", {{"@myacc_id", a}, {"@myboy_id", guarded}});
         },
         notAlice},
        {"tree, no log-on", &nobody,
         [&] {
             call(nobody, "sp_GnSeekList2", {{"@myacc_id", a}, {"@myboy_id", guarded}});
         },
         kNotLoggedOn},
        {"found for another", &bob,
         [&] {
             call(bob, "sp_CreateGroup", {{"@z_acc_id", a}, {"@z_maxp_id", 5}, {"@z_group_name", "g"}});
         },
         notAlice},
        // What another account keeps private is not there for bob: nothing to delete, nothing to read.
        {"delete private", &bob,
         [&] {
             call(bob, "sp_deleteZpdata", {{"@z_filial_id", plain}});
         },
         QString()},
    };
    for (const Case& c : cases) {
        const QString error = ServerErrorOf(c.call);
        EXPECT_EQ(error.mid(error.indexOf(QStringLiteral("失败：")) + 3), c.error) << c.what;
    }
    EXPECT_EQ(fetch(nobody, guarded), 0);
    EXPECT_EQ(fetch(bob, guarded), 0);
    EXPECT_TRUE(call(bob, "sp_GetStory", {{"@z_filial", "赵甲"}}).isEmpty());
    EXPECT_TRUE(call(bob, "sp_GetImage", {{"@z_filial", "赵甲"}}).isEmpty());
    EXPECT_TRUE(call(bob, "sp_GnSeekList2", {{"@myacc_id", b}, {"@myboy_id", guarded}}).isEmpty());
    EXPECT_TRUE(call(nobody, "sp_GnSeekList2", {{"@myacc_id", 0}, {"@myboy_id", guarded}}).isEmpty());
    // Saving over a member bob cannot see makes bob's own.
    QString bobsName;
    const qint32 bobs = SaveTestMember(bob.cmd, b, guarded, {QStringLiteral("赵甲")}, &bobsName);
    EXPECT_NE(bobs, guarded);
    EXPECT_EQ(bobsName, QStringLiteral("赵甲(2)"));
    EXPECT_EQ(alicesData(), before);

    // Open to the world: anybody reads, bob changes only what alice left unprotected.
    ASSERT_TRUE(server_->admin()
                    .exec(QStringLiteral("UPDATE accounts SET open_level = 1 WHERE acc_id = %1").arg(a))
                    .ok);
    EXPECT_EQ(fetch(nobody, guarded), guarded);
    EXPECT_EQ(call(nobody, "sp_GnSeekList2", {{"@myacc_id", 0}, {"@myboy_id", guarded}}).size(), 2);
    EXPECT_EQ(ServerErrorOf([&] {
                  call(bob, "sp_deleteZpdata", {{"@z_filial_id", guarded}});
              }),
              QStringLiteral("调用过程“sp_deleteZpdata”失败：成员“赵甲”受创建者保护，不能在服务器上删除。"));
    EXPECT_EQ(save(bob, b, guarded, "赵甲", "x"), guarded);
    call(bob, "sp_deleteZpdata", {{"@z_filial_id", plain}});
    EXPECT_EQ(
        ownerRows(QStringLiteral("SELECT filial, mother, boy_right FROM members WHERE myacc_id = %1").arg(a)),
        QStringList({"赵甲|母甲|1"}));

    // A failed log-on leaves the connection acting for nobody.
    EXPECT_EQ(CallTryLogon(alice.cmd, QStringLiteral("alice"), QStringLiteral("wrong"), 0), 2);
    EXPECT_EQ(ServerErrorOf([&] { save(alice, a, 0, "赵丙", ""); }),
              QStringLiteral("调用过程“sp_savezpdata2”失败：") + kNotLoggedOn);
}

TEST_F(AccountTrustTest, PagesActOnlyForTheCredentialsAccount) {
    call(alice, "sp_CreateGroup", {{"@z_acc_id", a}, {"@z_maxp_id", 32767}, {"@z_group_name", "赵氏宗亲会"}});
    const QByteArray group = alice.cmd.Value(QStringLiteral("@z_acc_id")).toByteArray();
    // The founder's position stays within the titles the server has.
    EXPECT_EQ(ownerRows(QStringLiteral("SELECT position_id FROM accounts WHERE acc_id = %1").arg(a)),
              QStringList({"5"}));
    const QByteArray ida = QByteArray::number(a), idb = QByteArray::number(b);
    EXPECT_EQ(page("/flsh2/requestintogroup.asp?accid=" + idb + "&gid=" + group, bobCredential).body, "0");
    const QStringList before = alicesData();

    const QString bogus(48, u'0');
    struct Case {
        QByteArray target;
        QString credential;
        QByteArray body;
    };
    const Case cases[] = {
        {"/flsh2/ChangeProtected.asp?accid=" + ida + "&right=1", bobCredential, "0"},
        {"/flsh2/ChangeProtected.asp?accid=" + ida + "&right=1", QString(), "0"},
        {"/flsh2/ChangeProtected.asp?accid=" + ida + "&right=1", bogus, "0"},
        {"/flsh2/ChangeProtected.asp?accid=" + idb + "&right=1", aliceCredential, "0"},
        {"/flsh2/get_zproot3.asp?accid=" + ida, bobCredential, ""},
        {"/flsh2/get_zproot3.asp?accid=" + ida, QString(), ""},
        {"/flsh2/creategroup.asp?gn=x&accid=" + ida + "&pid=5", bobCredential, "0@~"},
        {"/flsh2/approveintogroup.asp?accid=" + idb + "&myaccid=" + ida, bobCredential, "-1"},
        {"/flsh2/approveintogroup.asp?accid=" + idb, QString(), "-1"},
        {"/flsh2/ejectintogroup.asp?accid=" + idb + "&myaccid=" + ida, bobCredential, "-1"},
        {"/flsh2/memberupgrade.asp?accid=" + idb + "&pid=4&myaccid=" + ida, bobCredential, "-1"},
        {"/flsh2/TiOutgroup.asp?accid=" + idb + "&gid=" + group + "&myaccid=" + ida, bobCredential, "0"},
        {"/flsh2/exitgroup2.asp?accid=" + ida + "&gid=" + group, bobCredential, "-1"},
        {"/flsh2/requestintogroup.asp?accid=" + ida + "&gid=" + group, QString(), "-1"},
    };
    for (const Case& c : cases) {
        const RawReply reply = page(c.target, c.credential);
        // A credential the server does not know is told apart: the program asks for a new log-on.
        EXPECT_EQ(reply.status, c.credential == bogus ? 401 : 403) << c.target.toStdString();
        EXPECT_EQ(reply.body, c.body) << c.target.toStdString();
    }
    EXPECT_EQ(alicesData(), before);

    // With her own credential the officer needs to name nobody.
    EXPECT_EQ(page("/flsh2/approveintogroup.asp?accid=" + idb, aliceCredential).body, "0");
    EXPECT_EQ(page("/flsh2/ChangeProtected.asp?accid=" + ida + "&right=1", aliceCredential).body, "1");
    EXPECT_EQ(page("/flsh2/get_zproot3.asp?accid=" + ida, aliceCredential).body,
              QStringLiteral("赵甲%!%1@~").arg(guarded).toUtf8());
}
