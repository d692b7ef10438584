// What the server tells about other accounts: the openness and association pages only to a proven
// account and only what it may already see, a father only when he may be seen, and a father's name
// sent by a book never taken for a stranger's member.

#include <gtest/gtest.h>

#include "frame/server_connection.h"
#include "platform/door/server_command.h"
#include "support/community_server.h"

namespace {

class LeaksTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ConnectServerDb();
        cmd.SetActiveConnection(ServerConnection().get());
    }

    void admin(const QString& sql) {
        const PgResult result = server_->admin().exec(sql);
        ASSERT_TRUE(result.ok) << sql.toStdString() << ": " << result.error.toStdString();
    }
    RawReply get(const QByteArray& target, const QString& credential = QString()) {
        return RawPageRequest(server_->pages()->port(), "GET", target, credential);
    }
    // The father sp_Getzpdata2 names for the member, asked through the command given.
    static QString fatherOf(ServerCommand& command, qint32 id) {
        FetchTestMember(command, id);
        return command.Value(QStringLiteral("@z_father")).toString();
    }
    QString fatherOf(qint32 id) { return fatherOf(cmd, id); }
    // The father as a caller that proves no account sees him.
    QString fatherSeenByNobody(qint32 id) {
        const std::unique_ptr<DoorConnection> anonymous = OpenTestConnection();
        ServerCommand command(anonymous.get());
        return fatherOf(command, id);
    }

    ServerCommand cmd;
};

}  // namespace

// Without a credential neither page answers; with one, an account's own level and association, the
// level of an account whose members it may see, and the association of one in the association it
// belongs to or last left. Anything else answers 0, as for an unknown account.
TEST_F(LeaksTest, LevelAndAssociationOnlyForTheProvenAccount) {
    const qint32 me = RegisterTestAccount(cmd, QStringLiteral("me"), QStringLiteral("我"), 2);
    const QString mine = ServerConnection()->credential();
    const qint32 open = RegisterTestAccount(cmd, QStringLiteral("open"), QStringLiteral("开"), 1);
    const qint32 fellow = RegisterTestAccount(cmd, QStringLiteral("fellow"), QStringLiteral("同"), 2);
    const qint32 closed = RegisterTestAccount(cmd, QStringLiteral("closed"), QStringLiteral("闭"), 0);
    const qint32 stranger = RegisterTestAccount(cmd, QStringLiteral("stranger"), QStringLiteral("外"), 2);
    admin(QStringLiteral("INSERT INTO clan_groups (group_id, group_name) VALUES (71, '本会'), (72, '他会')"));
    admin(QStringLiteral("UPDATE accounts SET group_id = 71, position_id = 1 WHERE acc_id IN (%1, %2, %3)")
              .arg(me)
              .arg(fellow)
              .arg(closed));
    admin(
        QStringLiteral("UPDATE accounts SET group_id = 72, position_id = 1 WHERE acc_id = %1").arg(stranger));

    struct Case {
        const char* page;
        qint32 accid;
        int status;
        const char* body;
    };
    const auto check = [&](const std::vector<Case>& cases, const QString& credential, const char* when) {
        for (const Case& c : cases) {
            const RawReply reply =
                get(QByteArray("/flsh2/") + c.page + "?accid=" + QByteArray::number(c.accid), credential);
            EXPECT_EQ(reply.status, c.status) << when << " " << c.page << " " << c.accid;
            EXPECT_EQ(reply.body, QByteArray(c.body)) << when << " " << c.page << " " << c.accid;
        }
    };
    check({{"getright.asp", me, 403, "0"},
           {"getright.asp", open, 403, "0"},
           {"getgroupid.asp", me, 403, "0"},
           {"getgroupid.asp", fellow, 403, "0"}},
          QString(), "without a credential");
    check({{"getright.asp", me, 200, "2"},
           {"getright.asp", open, 200, "1"},
           {"getright.asp", fellow, 200, "2"},
           {"getright.asp", closed, 200, "0"},
           {"getright.asp", stranger, 200, "0"},
           {"getright.asp", 99999, 200, "0"},
           {"getgroupid.asp", me, 200, "71"},
           {"getgroupid.asp", fellow, 200, "71"},
           {"getgroupid.asp", closed, 200, "71"},
           {"getgroupid.asp", open, 200, "0"},
           {"getgroupid.asp", stranger, 200, "0"}},
          mine, "in the association");
    // Told apart from a refusal, so that the program can say the log-on has lapsed.
    check({{"getright.asp", me, 401, "0"}},
          QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef"),
          "with a credential the server never issued");

    // Having left it, the user still learns who is in it (the program detaches their members), but no
    // longer sees an opened-to-the-association account's level.
    ASSERT_EQ(get("/flsh2/exitgroup2.asp?accid=" + QByteArray::number(me) + "&gid=71", mine).body,
              QByteArray("0"));
    check({{"getgroupid.asp", me, 200, "0"},
           {"getgroupid.asp", fellow, 200, "71"},
           {"getright.asp", fellow, 200, "0"},
           {"getright.asp", open, 200, "1"}},
          mine, "after leaving");
}

// A father whose account has gone private is named to nobody but his own account, as his members are.
TEST_F(LeaksTest, AFatherWhoseAccountWentPrivateIsNotNamed) {
    const qint32 elder = RegisterTestAccount(cmd, QStringLiteral("elder"), QStringLiteral("长"), 1);
    QString fatherName;
    const qint32 father = SaveTestMember(cmd, elder, 0, {QStringLiteral("祖父")}, &fatherName);
    const qint32 heir = RegisterTestAccount(cmd, QStringLiteral("heir"), QStringLiteral("后"), 1);
    ASSERT_EQ(fatherOf(father), QString());  // given to this account by the server
    const qint32 child = SaveTestMember(cmd, heir, 0, {QStringLiteral("孙"), fatherName});
    ASSERT_EQ(fatherOf(child), fatherName);
    ASSERT_EQ(fatherSeenByNobody(child), fatherName);

    admin(QStringLiteral("UPDATE accounts SET open_level = 0 WHERE acc_id = %1").arg(elder));
    EXPECT_EQ(fatherOf(child), QString()) << "the child's own account";
    EXPECT_EQ(fatherSeenByNobody(child), QString()) << "nobody";
    ASSERT_EQ(LogOnTestAccount(cmd, QStringLiteral("elder")), elder);
    EXPECT_EQ(fatherOf(child), fatherName) << "the father's account";
}

// A child sent before its father is not taken by another account's member of the father's name: it
// waits for its own father, who links it when he comes. A name the server gave the account still links
// to that member.
TEST_F(LeaksTest, AChildSentBeforeItsFatherWaitsForItsOwnFather) {
    const qint32 theirs = RegisterTestAccount(cmd, QStringLiteral("theirs"), QStringLiteral("彼"), 1);
    const qint32 theirWang = SaveTestMember(cmd, theirs, 0, {QStringLiteral("王五")});
    const qint32 mine = RegisterTestAccount(cmd, QStringLiteral("mine"), QStringLiteral("此"), 1);

    const qint32 child = SaveTestMember(cmd, mine, 0, {QStringLiteral("小明"), QStringLiteral("王五")});
    EXPECT_EQ(fatherOf(child), QString());
    QString kept;
    SaveTestMember(cmd, mine, 0, {QStringLiteral("王五")}, &kept);
    EXPECT_EQ(kept, QStringLiteral("王五(2)"));
    EXPECT_EQ(fatherOf(child), QStringLiteral("王五(2)"));
    EXPECT_EQ(fatherSeenByNobody(child), QStringLiteral("王五(2)"));

    // Their 王五 keeps no child of this account.
    cmd.SetCommandText(QStringLiteral("sp_GnSeekList2"));
    cmd.SetValue(QStringLiteral("@myacc_id"), mine);
    cmd.SetValue(QStringLiteral("@myboy_id"), theirWang);
    EXPECT_EQ(cmd.Execute().size(), 1);

    // Once the server has named their 王五 to this account, the name stands for him.
    ASSERT_EQ(fatherOf(theirWang), QString());
    const qint32 second = SaveTestMember(cmd, mine, 0, {QStringLiteral("小红"), QStringLiteral("王五")});
    EXPECT_EQ(fatherOf(second), QStringLiteral("王五"));
}
