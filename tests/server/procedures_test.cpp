// The server procedures, each called through the program's command layer as the on-line operations do.

#include <gtest/gtest.h>
#include <QRandomGenerator>

#include "frame/server_connection.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "support/community_server.h"

namespace {

class ProceduresTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ConnectServerDb();
        cmd.SetActiveConnection(ServerConnection().get());
    }

    int logon(const QString& number, const QString& digest, int type, const QString& nick = QString(),
              int right = 0) {
        return CallTryLogon(cmd, number, digest, type, nick, right);
    }
    qint32 registerAccount(const QString& number, const QString& nick, int right = 0) {
        const qint32 id = RegisterTestAccount(cmd, number, nick, right);
        EXPECT_GT(id, 0) << number.toStdString();
        return id;
    }
    qint32 saveMember(qint32 account, qint32 id, const QString& name, const QString& father,
                      QString* serverName = nullptr, int protection = 0, const QString& mother = QString()) {
        return SaveTestMember(cmd, account, id, {name, father, mother, protection}, serverName);
    }

    void getMember(qint32 id) { FetchTestMember(cmd, id); }

    ServerRows rowsOf(const QString& procedure, const QString& parameter = QString(),
                      const QVariant& value = {}) {
        cmd.SetCommandText(procedure);
        if (!parameter.isEmpty()) cmd.SetValue(parameter, value);
        return cmd.Execute();
    }

    ServerCommand cmd;
};

}  // namespace

TEST_F(ProceduresTest, ParametersAreFoundByNameInAnyCaseAndUnknownOnesRefused) {
    cmd.SetCommandText(QStringLiteral("sp_savezpdata2"));
    EXPECT_EQ(cmd.Parameters(QStringLiteral("@z_boy_sex")).Name, QStringLiteral("@z_Boy_Sex"));
    EXPECT_EQ(&cmd.Parameters(QStringLiteral("@Z_BOY_SEX")), &cmd.Parameters(QStringLiteral("@z_Boy_Sex")));
    EXPECT_EQ(cmd.Parameters(QStringLiteral("@z_filial_id")).Direction, ServerParamDirection::InputOutput);
    EXPECT_EQ(cmd.Parameters(QStringLiteral("@z_accid")).TypeName, QStringLiteral("integer"));
    EXPECT_EQ(cmd.ParameterNames().size(), 21);

    EXPECT_EQ(ServerErrorOf([&] { cmd.Parameters(QStringLiteral("@z_nosuch")); }),
              QStringLiteral("过程“sp_savezpdata2”没有参数“@z_nosuch”。"));
    // The procedure's name compares without case too; an unknown one is refused when first used.
    cmd.SetCommandText(QStringLiteral("SP_GETGROUPLIST"));
    EXPECT_TRUE(cmd.Execute().isEmpty());
    cmd.SetCommandText(QStringLiteral("sp_nosuch"));
    EXPECT_EQ(ServerErrorOf([&] { cmd.Execute(); }), QStringLiteral("服务器上没有过程“sp_nosuch”。"));
    ServerCommand unconnected;
    unconnected.SetCommandText(QStringLiteral("sp_GetGroupList"));
    EXPECT_EQ(ServerErrorOf([&] { unconnected.Execute(); }), QStringLiteral("服务器连接没有打开。"));
}

// The door calls the program's procedures and nothing else of the schema: not the pages' functions,
// the helpers, the door's own, the extension's or the system's.
TEST_F(ProceduresTest, TheDoorCallsOnlyTheProgramsProcedures) {
    registerAccount(QStringLiteral("acc"), QStringLiteral("甲"));
    for (const char* name :
         {"page_account_level", "page_change_protected", "zp_clean_text", "zp_bind_account",
          "zp_session_token", "zp_bind_session", "door_keep", "door_begin", "door_open", "door_flush",
          "desk_answer", "crypt", "gen_salt", "pg_sleep", "version", "accounts"}) {
        cmd.SetCommandText(QString::fromLatin1(name));
        EXPECT_EQ(ServerErrorOf([&] { cmd.Execute(); }),
                  QStringLiteral("服务器上没有过程“%1”。").arg(QString::fromLatin1(name)))
            << name;
    }
}

TEST_F(ProceduresTest, RegisterLogOnAndWrongPassword) {
    const qint32 id = registerAccount(QStringLiteral("no-1"), QStringLiteral("王%!五@~"), 2);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_nick")), QVariant(QStringLiteral("王五")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_right")), QVariant(2));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_group_id")), QVariant(0));

    struct Case {
        const char* number;
        const char* digest;
        int type;
        int state;
    };
    for (const Case& c :
         {Case{"no-1", "digest-no-1", 0, 1}, Case{"no-1", "digest-no-1", 1, 1}, Case{"no-1", "wrong", 0, 2},
          Case{"no-1", "wrong", 1, 2}, Case{"no-2", "x", 0, 2}, Case{"", "", 0, 2}}) {
        EXPECT_EQ(logon(QString::fromLatin1(c.number), QString::fromLatin1(c.digest), c.type), c.state)
            << c.number << " " << c.digest << " " << c.type;
        EXPECT_EQ(cmd.Value(QStringLiteral("@z_acc_id")).toInt(), c.state == 1 ? id : 0);
    }
    // The digest is kept only as a salted slow hash.
    const PgResult stored =
        server_->admin().exec(QStringLiteral("SELECT pswd_hash, pswd2_hash FROM accounts"));
    ASSERT_EQ(stored.rows.size(), 1);
    EXPECT_TRUE(stored.rows[0][0].startsWith(QStringLiteral("$2a$10$")));
    EXPECT_FALSE(stored.rows[0][0].contains(QStringLiteral("digest-no-1")));
    EXPECT_NE(stored.rows[0][0], stored.rows[0][1]);
}

TEST_F(ProceduresTest, MemberSaveUpdateStoryPicturesAndDownload) {
    const qint32 account = registerAccount(QStringLiteral("acc"), QStringLiteral("张"));
    QString rootName, childName;
    const qint32 root = saveMember(account, 0, QStringLiteral("张%!一'[3]"), QString(), &rootName);
    EXPECT_GT(root, 0);
    EXPECT_EQ(rootName, QStringLiteral("张一'"));
    const qint32 child =
        saveMember(account, 0, QStringLiteral("张二"), QStringLiteral("张%!一'[3]"), &childName);
    EXPECT_GT(child, root);
    // The same name again is made unique on the server.
    QString twin;
    const qint32 second = saveMember(account, 987654, QStringLiteral("张二"), QString(), &twin);
    EXPECT_NE(second, 987654);
    EXPECT_EQ(twin, QStringLiteral("张二(2)"));

    // An update keeps the id and the name and changes the fields.
    EXPECT_EQ(saveMember(account, child, QStringLiteral("张二"), QStringLiteral("张一'"), &childName, 0,
                         QStringLiteral("李氏")),
              child);
    EXPECT_EQ(childName, QStringLiteral("张二"));
    getMember(child);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_filial_id")), QVariant(child));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_filial")), QVariant(QStringLiteral("张二")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_father")), QVariant(QStringLiteral("张一'")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_mother")), QVariant(QStringLiteral("李氏")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_sex")), QVariant(false));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_active")), QVariant(true));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_birthday")), QVariant(QStringLiteral("1901-02-03")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_c_jc_w_z_h")), QVariant(QStringLiteral("a%b%c%d%e%f")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_sort")), QVariant(2));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_myacc_id")), QVariant(account));
    getMember(424242);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_filial_id")).toInt(), 0);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_filial")), QVariant(QString()));

    // Page text and a picture just under 12 MiB, on the same command as the upload does.
    cmd.SetCommandText(QStringLiteral("sp_savestory"));
    cmd.SetValue(QStringLiteral("@z_filial"), childName);
    cmd.SetValue(QStringLiteral("@z_descript"), QStringLiteral("<p>scrambled page</p>"));
    cmd.Execute();
    QByteArray picture(12582911, Qt::Uninitialized);
    QRandomGenerator(18).fillRange(reinterpret_cast<quint32*>(picture.data()), picture.size() / 4);
    cmd.SetCommandText(QStringLiteral("sp_saveimage"));
    cmd.SetValue(QStringLiteral("@z_filial"), childName);
    cmd.SetValue(QStringLiteral("@z_myimage"), picture);
    cmd.SetValue(QStringLiteral("@z_imgpath"), QStringLiteral("c:\\pics\\a.jpg"));
    cmd.Execute();
    cmd.SetValue(QStringLiteral("@z_myimage"), QByteArray("small"));
    cmd.SetValue(QStringLiteral("@z_imgpath"), QStringLiteral("b.jpg"));
    cmd.Execute();

    cmd.SetValue(QStringLiteral("@z_filial"), QStringLiteral("无此人"));
    EXPECT_EQ(ServerErrorOf([&] { cmd.Execute(); }),
              QStringLiteral("调用过程“sp_saveimage”失败：服务器上没有成员“无此人”。"));
    const ServerRows story = rowsOf(QStringLiteral("sp_GetStory"), QStringLiteral("@z_filial"), childName);
    ASSERT_EQ(story.size(), 1);
    EXPECT_EQ(story.value(0, QStringLiteral("hisdescript")),
              QVariant(QStringLiteral("<p>scrambled page</p>")));
    const ServerRows images = rowsOf(QStringLiteral("sp_GetImage"), QStringLiteral("@z_filial"), childName);
    ASSERT_EQ(images.size(), 2);
    EXPECT_TRUE(images.value(0, QStringLiteral("myimage")).toByteArray() == picture);
    EXPECT_EQ(images.value(0, QStringLiteral("imagepath")), QVariant(QStringLiteral("c:\\pics\\a.jpg")));
    EXPECT_EQ(images.value(1, QStringLiteral("filial")), QVariant(childName));

    // The seek list of the tree: fathers first, -1 where there is a page text or a picture.
    cmd.SetCommandText(QStringLiteral("sp_GnSeekList2"));
    cmd.SetValue(QStringLiteral("@myacc_id"), account);
    cmd.SetValue(QStringLiteral("@myboy_id"), root);
    const ServerRows seek = cmd.Execute();
    ASSERT_EQ(seek.size(), 2);
    EXPECT_EQ(seek.rows[0], QVariantList({root, 0, 0}));
    EXPECT_EQ(seek.rows[1], QVariantList({child, -1, -1}));

    // Deleting takes the page text and pictures along; the child's tree is then its own.
    cmd.SetCommandText(QStringLiteral("sp_deleteZpdata"));
    cmd.SetValue(QStringLiteral("@z_filial_id"), root);
    cmd.Execute();
    getMember(root);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_filial_id")).toInt(), 0);
    EXPECT_EQ(rowsOf(QStringLiteral("sp_GetImage"), QStringLiteral("@z_filial"), rootName).size(), 0);
    getMember(child);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_father")), QVariant(QString()));
}

TEST_F(ProceduresTest, AFatherIsTheMemberKeptUnderHisNameElseTheOneSentUnderIt) {
    const auto remove = [&](qint32 id) {
        cmd.SetCommandText(QStringLiteral("sp_deleteZpdata"));
        cmd.SetValue(QStringLiteral("@z_filial_id"), id);
        cmd.Execute();
    };
    const qint32 theirs = registerAccount(QStringLiteral("theirs"), QStringLiteral("乙"), 1);
    const qint32 theirLi = saveMember(theirs, 0, QStringLiteral("李四"), QString());
    const qint32 firstZhou = saveMember(theirs, 0, QStringLiteral("周八"), QString());
    saveMember(registerAccount(QStringLiteral("closed"), QStringLiteral("丙")), 0, QStringLiteral("钱九"),
               QString());  // not to be seen by others
    const qint32 mine = registerAccount(QStringLiteral("mine"), QStringLiteral("甲"));
    saveMember(mine, 0, QStringLiteral("李四"), QString());  // kept as 李四(2)
    saveMember(mine, 0, QStringLiteral("周八"), QString());  // kept as 周八(2), then the only 周八 sent
    const qint32 firstWang = saveMember(mine, 0, QStringLiteral("王五"), QString());
    saveMember(mine, 0, QStringLiteral("王五"), QString());
    saveMember(mine, 0, QStringLiteral("王五"), QString());
    remove(firstWang);  // two of mine were sent as 王五, none is kept under it
    ASSERT_EQ(logon(QStringLiteral("theirs"), QStringLiteral("digest-theirs"), 0), 1);
    remove(firstZhou);
    ASSERT_EQ(logon(QStringLiteral("mine"), QStringLiteral("digest-mine"), 0), 1);

    // Another account's name stands for its member only once the server gave it to this account.
    const struct {
        const char* father;
        const char* linked;
        bool theirsGiven;
    } cases[] = {{"李四", "李四(2)", false},  {"李四(2)", "李四(2)", false}, {"周八", "周八(2)", false},
                 {"王五", "", false},         {"王五(2)", "王五(2)", false}, {"李四(2)[1]", "", false},
                 {"李四[1]", "", false},      {"钱九", "", false},           {"李四", "李四", true},
                 {"李四(2)", "李四(2)", true}};
    for (const auto& c : cases) {
        if (c.theirsGiven) getMember(theirLi);
        getMember(saveMember(mine, 0, QStringLiteral("子"), QString::fromUtf8(c.father)));
        EXPECT_EQ(cmd.Value(QStringLiteral("@z_father")).toString(), QString::fromUtf8(c.linked)) << c.father;
    }
}

TEST_F(ProceduresTest, AnotherAccountCannotChangeAProtectedMember) {
    const qint32 creator = registerAccount(QStringLiteral("creator"), QStringLiteral("甲"), 1);
    QString name;
    const qint32 locked = saveMember(creator, 0, QStringLiteral("赵一"), QString(), &name, 1);
    const qint32 open = saveMember(creator, 0, QStringLiteral("赵二"), QString(), nullptr, 0);
    const qint32 other = registerAccount(QStringLiteral("other"), QStringLiteral("乙"));

    EXPECT_EQ(saveMember(other, locked, QStringLiteral("改名"), QString(), &name, 0, QStringLiteral("x")),
              locked);
    EXPECT_EQ(name, QStringLiteral("赵一"));
    cmd.SetCommandText(QStringLiteral("sp_savestory"));
    cmd.SetValue(QStringLiteral("@z_filial"), name);
    cmd.SetValue(QStringLiteral("@z_descript"), QStringLiteral("not his"));
    cmd.Execute();
    getMember(locked);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_mother")), QVariant(QString()));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_right")), QVariant(1));
    EXPECT_TRUE(rowsOf(QStringLiteral("sp_GetStory"), QStringLiteral("@z_filial"), name).isEmpty());

    // Unprotected: the other account's change is taken, but the protection stays the creator's.
    EXPECT_EQ(saveMember(other, open, QStringLiteral("赵二"), QString(), nullptr, 2, QStringLiteral("y")),
              open);
    getMember(open);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_mother")), QVariant(QStringLiteral("y")));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_boy_right")), QVariant(0));
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_myacc_id")), QVariant(creator));

    // Closed again, the creator's tree is hidden from the other account's seek list.
    ASSERT_TRUE(server_->admin().exec(QStringLiteral("UPDATE accounts SET open_level = 0")).ok);
    cmd.SetCommandText(QStringLiteral("sp_GnSeekList2"));
    cmd.SetValue(QStringLiteral("@myacc_id"), other);
    cmd.SetValue(QStringLiteral("@myboy_id"), open);
    EXPECT_TRUE(cmd.Execute().isEmpty());
}

TEST_F(ProceduresTest, AssociationsAreFoundedAndListed) {
    const qint32 founder = registerAccount(QStringLiteral("founder"), QStringLiteral("会长甲"));
    EXPECT_TRUE(rowsOf(QStringLiteral("sp_GetGroupList")).isEmpty());

    auto create = [&](qint32 account, const QString& name) {
        cmd.SetCommandText(QStringLiteral("sp_CreateGroup"));
        cmd.SetValue(QStringLiteral("@z_acc_id"), account);
        cmd.SetValue(QStringLiteral("@z_maxp_id"), 5);
        cmd.SetValue(QStringLiteral("@z_group_name"), name);
        cmd.Execute();
        return cmd.Value(QStringLiteral("@z_acc_id")).toInt();
    };
    const qint32 group = create(founder, QStringLiteral("赵氏%!宗亲会"));
    EXPECT_GT(group, 0);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_group_name")), QVariant(QStringLiteral("赵氏宗亲会")));
    EXPECT_EQ(create(founder, QStringLiteral("第二个")), 0);  // already leads one
    const qint32 other = registerAccount(QStringLiteral("other"), QStringLiteral("乙"));
    EXPECT_EQ(create(other, QStringLiteral("赵氏宗亲会")), 0);  // name taken

    const ServerRows groups = rowsOf(QStringLiteral("sp_GetGroupList"));
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups.columns, QStringList({"group_name", "group_sw", "Group_id", "group_creater", "group_num",
                                           "group_script"}));
    EXPECT_EQ(groups.rows[0], QVariantList({QStringLiteral("赵氏宗亲会"), 500, group,
                                            QStringLiteral("会长甲"), 1, QString()}));

    const ServerRows members =
        rowsOf(QStringLiteral("sp_GetMemberList"), QStringLiteral("@z_curgroup_id"), group);
    EXPECT_EQ(members.columns,
              QStringList({"NickName", "User_SW", "acc_id", "position_id", "lastgroup_id", "group_state"}));
    ASSERT_EQ(members.size(), 1);
    EXPECT_EQ(members.rows[0], QVariantList({QStringLiteral("会长甲"), 0, founder, 5, 0, 0}));
    EXPECT_TRUE(rowsOf(QStringLiteral("sp_GetMemberList"), QStringLiteral("@z_curgroup_id"), 0).isEmpty());
    // The founder's next log-on names his association.
    EXPECT_EQ(logon(QStringLiteral("founder"), QStringLiteral("digest-founder"), 0), 1);
    EXPECT_EQ(cmd.Value(QStringLiteral("@z_group_id")), QVariant(group));
}
