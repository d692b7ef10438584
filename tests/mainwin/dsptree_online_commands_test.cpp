#include <QToolBar>

#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/http_procedures.h"
#include "frame/server_connection.h"
#include "node_commands_fixture.h"
#include "support/community_server.h"
#include "support/pg_test_server.h"

namespace {

// The member tree of NodeCommandsFixture, a server of its own and a logged-on account.
class DsptreeOnlineTest : public NodeCommandsFixture {
protected:
    void SetUp() override {
        NodeCommandsFixture::SetUp();
        if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)";
        server_ = std::make_unique<TestCommunityServer>();
        ASSERT_TRUE(server_->ok()) << server_->error().toStdString();
        ASSERT_EQ(server_->startPages(), QString());
        db_ = OpenTestConnection();
        cmd_.SetActiveConnection(db_.get());
        account_ = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"), 1);
        ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), account_);
        Open();
    }
    void TearDown() override {
        window_.reset();
        db_.reset();
        server_.reset();
        NodeCommandsFixture::TearDown();
    }
    void Expect(int answer) { ui_->ExpectMsgBox(answer); }

    std::unique_ptr<TestCommunityServer> server_;
    std::unique_ptr<DoorConnection> db_;
    ServerCommand cmd_;
    qint32 account_ = 0;
};

TEST_F(DsptreeOnlineTest, UploadsCheckTheAncestorsAndNeverReportAFailedRunAsDone) {
    Select(QStringLiteral("乙"));
    Expect(vb::OK);
    Menu("node_Uploadinfo_1");
    EXPECT_EQ(LastDialog().text, QStringLiteral("请先上传父节点：甲 数据后才能上传此节点数据！"));
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_EQ(Column(QStringLiteral("乙"), "mysql_id"), QStringLiteral("0"));

    Select(QStringLiteral("甲"));
    Expect(vb::OK);
    Menu("node_Uploadinfo_1");
    EXPECT_EQ(LastDialog().text, QStringLiteral("上传完毕！\n\n用于对外展示的网址为 ") + server_->pagesUrl() +
                                     QStringLiteral("/logonx.aspx?id=") + QString::number(account_));
    EXPECT_EQ(LastDialog().style, vb::Information);

    // 乙's branch: 乙, 丁, 戊; the server refuses 丁's picture.
    dao::Database::Open(ImageDbPath(), BookDbPassword())
        .Execute(QStringLiteral(
            "INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES ('丁', 'x', 'p')"));
    ASSERT_TRUE(server_->admin()
                    .exec(QStringLiteral("REVOKE EXECUTE ON ROUTINE \"sp_saveimage\" FROM qntzpsvr01"))
                    .ok);
    Select(QStringLiteral("乙"));
    Expect(vb::Yes);
    Expect(vb::OK);
    Menu("node_Uploadinfo_n");
    EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).text, QStringLiteral("您是否已下定决心上传这些数据？"));
    EXPECT_TRUE(
        LastDialog().text.startsWith(QStringLiteral("上传未完成：共 3 个成员，已上传 1 个，在“丁”处停止：")))
        << LastDialog().text.toStdString();
    EXPECT_EQ(LastDialog().style, vb::Critical);
    EXPECT_EQ(Column(QStringLiteral("丙"), "flag"), QStringLiteral("-9"));  // exactly the branch was marked
    EXPECT_TRUE(window_->TbarOP()->isEnabled());
}

TEST_F(DsptreeOnlineTest, DownloadsRenameTheNodeAndTheSynchronisedDeleteReachesTheServer) {
    Cls数据操作 ops;
    ops.UpLoad_1(QStringLiteral("甲"));
    ops.UpLoad_1(QStringLiteral("乙"));
    SaveTestMember(cmd_, account_, ops.GetSql_Id(QStringLiteral("甲")), {QStringLiteral("甲新")});
    Select(QStringLiteral("甲"));
    // Each download stores the page being edited first, under the member it belongs to.
    const auto editing = [this] {
        window_->SetEditMode(true);
        window_->ShowEditor();
    };
    editing();
    Expect(vb::OK);
    Menu("node_downloadinfo_1");
    EXPECT_FALSE(window_->EditMode());
    EXPECT_EQ(window_->TreeTag(), QStringLiteral("甲新"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("下载完毕！"));
    EXPECT_EQ(window_->SelectedMemberName(), QStringLiteral("甲新"));
    EXPECT_EQ(ParentOf(QStringLiteral("乙")), QStringLiteral("_甲新"));
    EXPECT_EQ(FatherOf(QStringLiteral("乙")), QStringLiteral("甲新"));

    // A child added on the server comes with the branch, and the page is drawn again.
    SaveTestMember(cmd_, account_, 0, {QStringLiteral("新子"), QStringLiteral("甲新")});
    Select(QStringLiteral("甲新"));
    editing();
    Expect(vb::Yes);
    Expect(vb::OK);
    Menu("node_downloadinfo_n");
    EXPECT_FALSE(window_->EditMode());
    EXPECT_EQ(LastDialog().text, QStringLiteral("下载完毕！"));
    EXPECT_EQ(ParentOf(QStringLiteral("新子")), QStringLiteral("_甲新"));

    Select(QStringLiteral("庚"));  // never uploaded
    Expect(vb::OK);
    Menu("node_downloadinfo_1");
    EXPECT_EQ(LastDialog().text, QStringLiteral("数据已被删除，无法下载！"));

    Select(QStringLiteral("乙"));
    Menu("node_tongbudel_1");
    EXPECT_FALSE(Exists(QStringLiteral("乙")));
    EXPECT_EQ(server_->admin()
                  .exec(QStringLiteral("SELECT string_agg(filial, ',' ORDER BY filial_id) FROM members"))
                  .rows,
              QList<QStringList>{QStringList{QStringLiteral("甲新,新子")}});
}

TEST_F(DsptreeOnlineTest, TheBookChosenAtLogOnIsMergedAndPageOneShown) {
    const qint32 other = RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙"), 1);
    const qint32 root = SaveTestMember(cmd_, other, 0, {QStringLiteral("外祖")});
    SaveTestMember(cmd_, other, 0, {QStringLiteral("外子"), QStringLiteral("外祖")});
    App().CurrentPage = 2;
    const auto logOnTicking = [this](const QString& tag) {
        ui_->ExpectForm(QStringLiteral("FrmLogon"), [tag](QObject*) {
            App().CurrentUser->Tag = tag;
            return 1;
        });
    };
    logOnTicking(QString());  // nothing ticked: nothing happens
    window_->TbarOP_ButtonClick(QStringLiteral("b_down"));
    EXPECT_FALSE(Exists(QStringLiteral("外祖")));

    logOnTicking(QString::number(root));
    Expect(vb::Yes);
    Expect(vb::OK);
    window_->TbarOP_ButtonClick(QStringLiteral("b_down"));
    EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).text, QStringLiteral("您是否已下定决心下载这些数据？"));
    EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).style, vb::YesNo);
    // The download ends with its outcome.
    EXPECT_EQ(LastDialog().text, QStringLiteral("下载完毕！"));
    EXPECT_EQ(LastDialog().style, vb::Information);
    EXPECT_EQ(App().CurrentPage, 1);
    EXPECT_EQ(ParentOf(QStringLiteral("外子")), QStringLiteral("_外祖"));
    EXPECT_EQ(window_->windowTitle(), window_->PageCaption(1));
    EXPECT_EQ(window_->PageCount(), 1);
    EXPECT_TRUE(window_->TbarOP()->isEnabled());
}

// Every node command and the book download meet a lapsed log-on the same way: told, the log-on form
// back, the user logged off, and neither the book nor the server changed.
TEST_F(DsptreeOnlineTest, ACommandAfterALapseTellsItBringsTheFormBackAndChangesNothing) {
    Cls数据操作().UpLoad_1(QStringLiteral("甲"));
    const QString lapsed = QStringLiteral("登录已过期，请重新登录后再试。");
    struct Case {
        const char* name;
        const char* menu;  // nullptr: the book download of the toolbar
        bool asksFirst;    // the command's own question (answered Yes) comes before the server
        const char* before;
    };
    const Case cases[] = {
        {"upload one", "node_Uploadinfo_1", false, ""},
        {"download one", "node_downloadinfo_1", false, ""},
        {"download branch", "node_downloadinfo_n", true, ""},
        {"delete on server", "node_tongbudel_1", true, "服务器上的成员未能删除，本地成员保留："},
        {"book download", nullptr, false, ""},
    };
    const auto book = [this] {
        QStringList out;
        for (dao::Recordset rs = Db().OpenRecordset(QStringLiteral(
                 "SELECT \"filial\", \"father\", \"mysql_id\" FROM \"本姓成员\" ORDER BY \"filial\""));
             rs.hasRow(); rs.MoveNext())
            out << rs.value(0).toString() + u'|' + rs.value(1).toString() + u'|' + rs.value(2).toString();
        return out;
    };
    const auto server = [this] {
        return server_->admin().exec(QStringLiteral("SELECT filial, filial_id FROM members ORDER BY 2")).rows;
    };
    const QStringList bookBefore = book();
    const auto serverBefore = server();
    const QString root = Column(QStringLiteral("甲"), "mysql_id");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), account_);
        ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM session_credentials")).ok);
        Select(QString::fromUtf8(c.menu && QByteArray(c.menu) == "node_Uploadinfo_1" ? "乙" : "甲"));
        if (!c.menu)
            ui_->ExpectForm(QStringLiteral("FrmLogon"), [root](QObject*) {
                App().CurrentUser->Tag = root;
                return 1;
            });
        if (c.asksFirst || !c.menu) Expect(vb::Yes);
        Expect(vb::OK);
        bool formShown = false;
        ui_->ExpectForm(QStringLiteral("FrmLogon"), [&formShown](QObject*) {
            formShown = true;
            return 0;
        });
        if (c.menu)
            Menu(c.menu);
        else
            window_->TbarOP_ButtonClick(QStringLiteral("b_down"));
        EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).text, QString::fromUtf8(c.before) + lapsed);
        EXPECT_EQ(ui_->log().at(ui_->log().size() - 2).style, vb::Exclamation);
        EXPECT_TRUE(formShown);
        EXPECT_TRUE(ui_->AllConsumed());
        EXPECT_FALSE(App().CurrentUser->Logoned);
        EXPECT_EQ(book(), bookBefore);
        EXPECT_EQ(server(), serverBefore);
        EXPECT_TRUE(window_->TbarOP()->isEnabled());
    }
}

}  // namespace
