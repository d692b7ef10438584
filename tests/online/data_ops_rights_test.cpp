#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "frame/http_procedures.h"
#include "online/user_record.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"
#include "support/test_http_server.h"

namespace {

class DataOpsRightsTest : public BookFixture {
protected:
    static void Add(const QString& name, qint32 mysql_id, qint32 protect, qint32 creator) {
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"mysql_id\", \"filial_protect\", "
                           "\"myacc_id\") VALUES (?, ?, ?, ?)"),
            {name, mysql_id, protect, creator});
    }
    static QStringList List(int pageflag) {
        QStringList rows;
        for (dao::Recordset rs = App().DataDb.OpenRecordset(
                 QStringLiteral("SELECT \"msg_id\", \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = ? "
                                "ORDER BY rowid"),
                 {pageflag});
             rs.hasRow(); rs.MoveNext())
            rows << rs.value(0).toString() + QLatin1Char('|') + rs.value(1).toString();
        return rows;
    }
};

TEST_F(DataOpsRightsTest, RightFromServerIdProtectionAndCreator) {
    Cls数据操作 ops;
    App().CurrentUser = std::make_shared<Cls_User>();
    App().CurrentUser->acc_id = 5;
    struct Case {
        qint32 mysql_id, protect, creator;
        quint8 right;
    };
    const Case cases[] = {
        {0, 0, 0, 3}, {0, 1, 0, 1}, {0, 2, 0, 2},   // never uploaded
        {9, 0, 0, 3}, {9, 1, 0, 4}, {9, 2, 77, 5},  // on the server, another creator
        {9, 2, 5, 3},                               // the user's own
    };
    for (const Case& c : cases) {
        App().DataDb.Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"mysql_id\", \"filial_protect\", "
                           "\"myacc_id\") VALUES ('王甲', ?, ?, ?)"),
            {c.mysql_id, c.protect, c.creator});
        const qint32 id =
            App().DataDb.Scalar(QStringLiteral("SELECT \"filial_id\" FROM \"本姓成员\"")).toInt();
        EXPECT_EQ(ops.GetMyRight(-1, QStringLiteral("{3}王甲")), c.right)
            << c.mysql_id << c.protect << c.creator;
        EXPECT_EQ(ops.GetMyRight(id, QString()), c.right);
    }
    EXPECT_EQ(ops.GetMyRight(-1, QStringLiteral("无此人")), 3);
    EXPECT_EQ(ops.GetMyRight(12345, QString()), 3);
}

TEST_F(DataOpsRightsTest, ANumberedNameIsJudgedOnItsOwnRowFirst) {
    Cls数据操作 ops;
    App().CurrentUser = std::make_shared<Cls_User>();
    App().CurrentUser->acc_id = 5;
    Add(QStringLiteral("张三"), 9, 2, 77);
    Add(QStringLiteral("张三[2]"), 0, 0, 0);
    EXPECT_EQ(ops.GetMyRight(-1, QStringLiteral("{4}张三[2]")), 3);
    EXPECT_EQ(ops.GetMyRight(-1, QStringLiteral("张三[3]")), 5);  // no row of its own: 张三's
    EXPECT_EQ(ops.GetNodeCreate_Id(-1, QStringLiteral("张三[3]")), 77);
    EXPECT_EQ(ops.GetNodeCreate_Id(-1, QStringLiteral("张三[2]")), 0);
    EXPECT_EQ(ops.GetNodeCreate_Id(-1, QStringLiteral("无此人")), 0);
}

TEST_F(DataOpsRightsTest, TheLastAccountSurvivesTheCreatorQueue) {
    Cls数据操作 ops;
    App().CurrentUser = std::make_shared<Cls_User>();
    Cls_User& user = *App().CurrentUser;
    user.acc_id = 5;
    user.NickName = QStringLiteral("老张");
    ops.SaveLastLogonAcc_id();
    ops.SaveLastLogonAcc_id();
    EXPECT_EQ(List(6), QStringList{"5|老张"});

    Add(QStringLiteral("甲"), 9, 0, 77);
    Add(QStringLiteral("乙"), 10, 0, 77);
    Add(QStringLiteral("丙"), 11, 0, 88);
    Add(QStringLiteral("丁"), 12, 0, 5);  // the user's own
    Add(QStringLiteral("戊"), 0, 0, 99);  // never uploaded
    TestHttpServer server;
    SetBuiltInServerUrl(server.base());
    server.answerWith("/flsh2/getright.asp", "200 OK",
                      [](const QByteArray& target) { return target.endsWith("accid=77") ? "2" : "x"; });
    EXPECT_EQ(ops.AutoGetRight(0), 1);
    EXPECT_EQ(server.lastTarget(), QByteArray("/flsh2/getright.asp?accid=77"));
    EXPECT_EQ(List(7), QStringList({"2|77", "0|88"}));
    EXPECT_EQ(ops.AutoGetRight(1), 1);  // 88 answered no number: asked again next time
    EXPECT_EQ(List(7), QStringList({"2|77", "0|88"}));
    server.answer("/flsh2/getright.asp", "200 OK", "1");
    EXPECT_EQ(ops.AutoGetRight(1), 1);
    EXPECT_EQ(ops.AutoGetRight(1), 0);
    EXPECT_EQ(List(6), QStringList{"5|老张"});

    user.acc_id = 0;
    user.NickName.clear();
    ops.GetLastLogonAcc_id();
    EXPECT_EQ(user.acc_id, 5);
    EXPECT_EQ(user.NickName, QStringLiteral("老张"));
    SetBuiltInServerUrl(QString());
}

TEST_F(DataOpsRightsTest, TestOnlineAppendsTwoReportRows) {
    Cls数据操作 ops;
    App().DataDb.Execute(QStringLiteral("DELETE FROM \"skrslt\""));
    ops.TestOnline(QStringLiteral("甲"), QStringLiteral("乙"));
    EXPECT_EQ(
        App().DataDb.Scalar(QStringLiteral("SELECT group_concat(\"code\", '|') FROM \"skrslt\"")).toString(),
        QStringLiteral("甲|乙"));
}

}  // namespace
