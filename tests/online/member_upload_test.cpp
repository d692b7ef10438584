#include <gtest/gtest.h>

#include "frame/http_procedures.h"
#include "frame/progress.h"
#include "online/member_sync_fixture.h"
#include "online/online_operation.h"
#include "support/book_fixture.h"
#include "support/lossy_proxy.h"

namespace {

using namespace sync_book;

// name + value of each member in the order of the book.
QString Ids(const QString& value) {
    return Db()
        .Scalar(QStringLiteral("SELECT group_concat(v, ',') FROM (SELECT \"filial\" || ") + value +
                QStringLiteral(" AS v FROM \"本姓成员\" ORDER BY \"filial_id\")"))
        .toString();
}

class ServerIdsTest : public BookFixture {};

TEST_F(ServerIdsTest, AncestorCheckAndIdsOfABranch) {
    Cls数据操作 ops;
    // 甲(0) <- 乙(5) <- 丙(6) <- 丁(0); 丙 <- 戊(7) <- 己(8); a loop X <-> Y; a member under a hidden root.
    Add(QStringLiteral("甲"));
    Add(QStringLiteral("乙"), QStringLiteral("甲"), 5);
    Add(QStringLiteral("丙"), QStringLiteral("乙"), 6);
    Add(QStringLiteral("丁"), QStringLiteral("丙"));
    Add(QStringLiteral("戊"), QStringLiteral("丙"), 7);
    Add(QStringLiteral("己"), QStringLiteral("戊"), 8);
    Add(QStringLiteral("X"), QStringLiteral("Y"), 9);
    Add(QStringLiteral("Y"), QStringLiteral("X"), 10);
    Add(QStringLiteral("张三[2]"), QStringLiteral("No_Display"));
    const struct {
        const char* member;
        const char* answer;
    } cases[] = {{"丁", "甲"}, {"丙", "甲"}, {"甲", ""}, {"X", ""}, {"张三[2]", ""}, {"无此人", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ops.CheckSqlId_0(QString::fromUtf8(c.member)), QString::fromUtf8(c.answer)) << c.member;

    EXPECT_EQ(ops.GetSql_Id(QStringLiteral("戊")), 7);
    EXPECT_EQ(ops.GetSql_Id(QStringLiteral("无此人")), 0);
    ops.deleteSql_ID(QStringLiteral("乙"));  // below the childless 丁 too
    ops.deleteSql_ID(QStringLiteral("X"));   // a loop ends
    EXPECT_EQ(Ids(QStringLiteral("\"mysql_id\"")), QStringLiteral("甲0,乙0,丙0,丁0,戊0,己0,X0,Y0,张三[2]0"));
}

TEST_F(MemberSyncTest, OneMemberGoesUpUnderItsNameWithoutTheSuffix) {
    SaveTestMember(cmd_, RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙")), 0,
                   {QStringLiteral("张三")});
    Add(QStringLiteral("张三[2]"), QStringLiteral("No_Display"));
    SetPage(QStringLiteral("张三[2]"), QStringLiteral("<p>生平</p>"));
    AddPicture(QStringLiteral("张三[2]"), "JPEG", QStringLiteral("file://_app.path_/a.jpg"));
    Cls数据操作().UpLoad_1(QStringLiteral("张三[2]"));
    const qint32 id = Cls数据操作().GetSql_Id(QStringLiteral("张三[2]"));
    // The server keeps it beside the other account's 张三, its page and picture under that name.
    EXPECT_EQ(serverRows(QStringLiteral(
                             "SELECT filial, sent_name, father, mother FROM members WHERE filial_id = $1"),
                         {id}),
              QStringList{QStringLiteral("张三(2)|张三||张三[2]母")});
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_stories WHERE filial_id = $1"), {id}),
              QStringList{"1"});
    EXPECT_EQ(
        serverRows(QStringLiteral("SELECT length(myimage) FROM member_images WHERE filial_id = $1"), {id}),
        QStringList{"4"});
    EXPECT_EQ(ServerConnection().get(), nullptr);
    EXPECT_FALSE(Progress().IsShown());
    EXPECT_TRUE(messages().isEmpty());

    // Another exchange while one runs is refused.
    OnlineOperation running;
    try {
        Cls数据操作().UpLoad_1(QStringLiteral("张三[2]"));
        ADD_FAILURE() << "not refused";
    } catch (const SyncError& e) {
        EXPECT_EQ(e.Description(), QStringLiteral("另一项联网操作正在进行，请等它完成后再试。"));
    }
}

TEST_F(MemberSyncTest, PicturesAtTheLimitStayBehind) {
    const struct {
        bool batch;
        qint64 limit;
        const char* message;
    } cases[] = {{false, 12582912, "视音频媒体超过12M暂不予上传!!!"},
                 {true, 3145728, "大 视音频媒体超过3M暂不予上传!!!"}};
    for (const auto& c : cases) {
        Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        Add(QStringLiteral("大"));
        AddPicture(QStringLiteral("大"), QByteArray(c.limit - 1, 'a'), QStringLiteral("a.avi"));
        AddPicture(QStringLiteral("大"), QByteArray(c.limit, 'b'), QStringLiteral("b.avi"));
        ui_->ExpectMsgBox(vb::OK);
        if (c.batch) {
            Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 3"));
            EXPECT_EQ(Cls数据操作().UpLoad_All(3), 1);
        } else {
            Cls数据操作().UpLoad_1(QStringLiteral("大"));
        }
        ASSERT_FALSE(messages().isEmpty()) << c.limit;
        EXPECT_EQ(messages().last(), QString::fromUtf8(c.message));
        EXPECT_EQ(ui_->log().back().style, vb::Critical);
        EXPECT_EQ(serverRows(QStringLiteral("SELECT length(myimage) FROM member_images WHERE filial_id = $1"),
                             {Cls数据操作().GetSql_Id(QStringLiteral("大"))}),
                  QStringList{QString::number(c.limit - 1)});
        dao::Database::Open(ImageDbPath(), BookDbPassword())
            .Execute(QStringLiteral("DELETE FROM \"imageylk\""));
    }
    EXPECT_EQ(Cls数据操作().UpLoad_All(0), 0);  // nothing marked: nothing shown, nothing sent
}

TEST_F(MemberSyncTest, ABranchNamesItsFathersByTheirServerNames) {
    SaveTestMember(cmd_, account_, 0, {QStringLiteral("王五")});
    SaveTestMember(cmd_, RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙")), 0,
                   {QStringLiteral("乙")});
    Add(QStringLiteral("祖[3]"));
    Add(QStringLiteral("甲"), QStringLiteral("祖[3]"));
    Add(QStringLiteral("乙[1]"), QStringLiteral("甲"));
    Add(QStringLiteral("丙"), QStringLiteral("乙[1]"));
    Add(QStringLiteral("王五[1]"));
    Add(QStringLiteral("小明"), QStringLiteral("王五[1]"));
    Db().Execute(
        QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 7 WHERE \"filial\" NOT IN ('祖[3]', '王五[1]')"));
    EXPECT_EQ(Cls数据操作().UpLoad_All(7), 4);
    // Fathers outside the batch and not on the server go by their whole names: 小明 is no son of the
    // 王五 the server holds. 丙's father goes by the name the server gave 乙[1].
    EXPECT_EQ(
        serverRows(QStringLiteral("SELECT m.filial, m.father, coalesce(f.filial, '-') FROM members m "
                                  "LEFT JOIN members f ON f.filial_id = m.father_id WHERE m.myacc_id = $1 "
                                  "ORDER BY m.filial_id"),
                   {account_}),
        QStringList({QStringLiteral("王五||-"), QStringLiteral("甲|祖[3]|-"), QStringLiteral("乙(2)|甲|甲"),
                     QStringLiteral("丙|乙(2)|乙(2)"), QStringLiteral("小明|王五[1]|-")}));
    EXPECT_EQ(Ids(QStringLiteral("(\"mysql_id\" > 0)")),
              QStringLiteral("祖[3]0,甲1,乙[1]1,丙1,王五[1]0,小明1"));
}

TEST_F(MemberSyncTest, AFailureInTheMiddleSaysHowFarItGot) {
    for (const char* name : {"一", "二", "三", "四"}) Add(QString::fromUtf8(name));
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 2"));
    SetPage(QStringLiteral("三"), QStringLiteral("<p>三</p>"));
    revoke(QStringLiteral("\"sp_savestory\""));
    try {
        Cls数据操作().UpLoad_All(2);
        ADD_FAILURE() << "no failure";
    } catch (const SyncError& e) {
        EXPECT_TRUE(e.Description().startsWith(
            QStringLiteral("上传未完成：共 4 个成员，已上传 2 个，在“三”处停止：")))
            << e.Description().toStdString();
    }
    // The ids the server gave stay; the member after the failure was never sent.
    EXPECT_EQ(Ids(QStringLiteral("(\"mysql_id\" > 0)")), QStringLiteral("一1,二1,三1,四0"));
    EXPECT_EQ(ServerConnection().get(), nullptr);
    EXPECT_FALSE(Progress().IsShown());
}

}  // namespace

namespace {

// The save reached the server and was committed, but its answer was lost on the way back: the program
// asks again with the same call, and the server answers with what the first did. One member, not two,
// and the book holds its server id.
TEST_F(MemberSyncTest, AnUploadWhoseAnswerWasLostStoresOneMember) {
    Add(QStringLiteral("王五"), QStringLiteral("No_Display"));
    SetPage(QStringLiteral("王五"), QStringLiteral("<p>生平</p>"));
    LossyProxy proxy(server_->pages()->port(), "\"sp_savezpdata2\"");
    ASSERT_GT(proxy.port(), 0);
    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()));
    Cls数据操作().UpLoad_1(QStringLiteral("王五"));
    EXPECT_EQ(proxy.answersLost(), 1);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    const qint32 id = Cls数据操作().GetSql_Id(QStringLiteral("王五"));
    EXPECT_GT(id, 0);
    EXPECT_EQ(serverRows(QStringLiteral("SELECT filial_id, filial FROM members WHERE sent_name = '王五'")),
              QStringList{QStringLiteral("%1|王五").arg(id)});
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_stories")), QStringList{"1"});
}

}  // namespace
