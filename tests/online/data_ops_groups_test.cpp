#include <gtest/gtest.h>

#include <QMutex>

#include "online/online_book_fixture.h"
#include "pages/page_service.h"
#include "store/data_ops.h"

namespace {

class GroupListsOnline : public OnlineBookTest {
protected:
    GroupListsOnline() {
        // The association page as the server has it, counting who was asked about.
        addPages_ = [this](PageService& service) {
            service.addPage(QStringLiteral("/flsh2/getgroupid.asp"), [this](const PageRequest& r,
                                                                            PgConnection& db) {
                {
                    QMutexLocker lock(&mutex_);
                    asked_ << r.value(QStringLiteral("accid"));
                }
                qint32 id = 0;
                if (!r.number(QStringLiteral("accid"), &id)) return PageReply::Bad("0");
                if (r.provenAccount <= 0) return PageReply::Refused("0");
                return PageReply::Number(PageQuery(db,
                                                   QStringLiteral("SELECT page_account_group($1::integer, "
                                                                  "$2::integer)"),
                                                   {id, r.provenAccount})
                                             .rows[0][0]
                                             .toInt());
            });
        };
    }
    void SetUp() override {
        OnlineBookTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        db_ = OpenTestConnection();
        cmd_.SetActiveConnection(db_.get());
    }
    // Founds an association as the program does, logged on as the account registered as number.
    qint32 found(const QString& number, QString name) {
        return Cls数据操作().CreateGroup(LogOnProgramUser(number), 5, name);
    }

    std::unique_ptr<DoorConnection> db_;
    ServerCommand cmd_;
    QMutex mutex_;
    QStringList asked_;
};

TEST_F(GroupListsOnline, RefreshesReplaceTheMirrorsAndAFailureKeepsThem) {
    const qint32 a = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"));
    ASSERT_GT(RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙")), 0);
    const qint32 g1 = found(QStringLiteral("acc001"), QStringLiteral("王氏宗亲会"));
    const qint32 g2 = found(QStringLiteral("acc002"), QStringLiteral("李氏宗亲会"));
    ASSERT_GT(g1, 0);
    App().DataDb.Execute(QStringLiteral("INSERT INTO \"group_lst\" (\"group_name\") VALUES ('旧的')"));

    Cls数据操作 ops;
    ops.RefreshGroupList();
    const QStringList groups = rows(QStringLiteral("SELECT * FROM \"group_lst\" ORDER BY rowid"));
    EXPECT_EQ(groups, QStringList({QStringLiteral("王氏宗亲会|500|%1|甲|1|").arg(g1),
                                   QStringLiteral("李氏宗亲会|500|%1|乙|1|").arg(g2)}));

    App().CurrentUser->curGroup_Id = g1;
    ops.RefreshMemberList();
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM \"member_lst\"")),
              QStringList({QStringLiteral("甲|0|%1|5|0|0").arg(a)}));

    breakServer();
    EXPECT_THROW(ops.RefreshGroupList(), ServerError);
    EXPECT_THROW(ops.RefreshMemberList(), ServerError);
    EXPECT_EQ(rows(QStringLiteral("SELECT * FROM \"group_lst\" ORDER BY rowid")), groups);
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM \"member_lst\"")),
              QStringList({QStringLiteral("1")}));

    // Without an association nobody is asked, and there are no members.
    App().CurrentUser->curGroup_Id = 0;
    ops.RefreshMemberList();
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM \"member_lst\"")),
              QStringList({QStringLiteral("0")}));
}

TEST_F(GroupListsOnline, ExitDetachesOnlyMembersOfCreatorsStillInTheAssociation) {
    const qint32 self = RegisterTestAccount(cmd_, QStringLiteral("self01"), QStringLiteral("我"));
    const qint32 a = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"));
    const qint32 b = RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙"));
    const qint32 c = RegisterTestAccount(cmd_, QStringLiteral("acc003"), QStringLiteral("丙"));
    const qint32 left = found(QStringLiteral("acc002"), QStringLiteral("王氏宗亲会"));
    ASSERT_GT(left, 0);
    struct Row {
        const char* name;
        QVariant creator;
        int serverId;
    };
    const Row book[] = {{"自己", self, 11},
                        {"甲一", a, 21},
                        {"乙一", b, 31},
                        {"乙二", b, 32},
                        {"乙三", b, 0},
                        {"丙一", c, 41},
                        {"怪", QStringLiteral("昵称"), 51}};
    for (const Row& r : book)
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"myacc_id\", \"mysql_id\") "
                           "VALUES (?, ?, ?)"),
            {QString::fromUtf8(r.name), r.creator, r.serverId});
    // The user has just left the association: the server answers only for associations the user
    // belongs to or last left.
    ASSERT_TRUE(
        server_->admin()
            .exec(
                QStringLiteral("UPDATE accounts SET lastgroup_id = %1 WHERE acc_id = %2").arg(left).arg(self))
            .ok);
    ASSERT_EQ(LogOnProgramUser(QStringLiteral("self01")), self);
    App().CurrentUser->curGroup_Id = left;

    EXPECT_EQ(Cls数据操作().ExitGroup2(), 0);
    EXPECT_EQ(
        rows(QStringLiteral("SELECT \"filial\", \"mysql_id\" FROM \"本姓成员\" ORDER BY \"filial_id\"")),
        QStringList({"自己|11", "甲一|21", "乙一|0", "乙二|0", "乙三|0", "丙一|41", "怪|51"}));
    EXPECT_EQ(asked_, QStringList({QString::number(a), QString::number(b), QString::number(c)}));
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM \"tempinfo\" WHERE \"pageflag\" = 6")),
              QStringList({QStringLiteral("0")}));

    // No association left: nobody is asked.
    asked_.clear();
    App().CurrentUser->curGroup_Id = 0;
    EXPECT_EQ(Cls数据操作().ExitGroup2(), 0);
    EXPECT_TRUE(asked_.isEmpty());
}

// Every operation's new connection acts for the user by the log-on's credential; one that lapsed ends
// the log-on with a word, not with a server that refuses whatever follows.
TEST_F(GroupListsOnline, EachConnectionBindsWithTheCredentialAndALapsedOneEndsTheLogOn) {
    const qint32 a = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"));
    ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), a);
    QString first = QStringLiteral("甲氏宗亲会"), second = QStringLiteral("乙氏宗亲会");
    EXPECT_GT(Cls数据操作().CreateGroup(a, 5, first), 0);
    EXPECT_EQ(Cls数据操作().CreateGroup(a, 5, second), 0);  // on a new connection, for the same account
    ASSERT_TRUE(
        server_->admin()
            .exec(QStringLiteral("UPDATE session_credentials SET expires = now() - interval '1 second'"))
            .ok);
    EXPECT_EQ(ServerErrorOf([] { Cls数据操作().RefreshGroupList(); }),
              QStringLiteral("登录已过期，请重新登录后再试。"));
    EXPECT_FALSE(App().CurrentUser->Logoned);
    EXPECT_TRUE(App().ServerCredential.isEmpty());
}

TEST_F(GroupListsOnline, CreateGroupAnswersTheServersIdAndName) {
    const qint32 a = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"));
    QString name = QStringLiteral(" 王氏@~宗亲会 ");
    EXPECT_THROW(Cls数据操作().CreateGroup(a, 5, name), ServerError);  // nobody logged on
    ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), a);
    const qint32 id = Cls数据操作().CreateGroup(a, 5, name);
    EXPECT_GT(id, 0);
    EXPECT_EQ(name, QStringLiteral("王氏宗亲会"));
    QString again = QStringLiteral("王氏宗亲会");
    EXPECT_EQ(Cls数据操作().CreateGroup(a, 5, again), 0);  // a member of one already
}

}  // namespace
