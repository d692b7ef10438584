#include <gtest/gtest.h>

#include <QFile>

#include "frame/progress.h"
#include "online/member_sync_fixture.h"
#include "store/page_start_store.h"

namespace {

using namespace sync_book;

class MemberDownloadTest : public MemberSyncTest {
protected:
    qint32 upload(const QString& name) {
        Cls数据操作().UpLoad_1(name);
        return Cls数据操作().GetSql_Id(name);
    }
};

TEST_F(MemberDownloadTest, SameNameRefreshesTheParticularsAndGivesBackThePageAsItWent) {
    const QString html =
        QStringLiteral("<p class=\"a\">“生平” 'q' &amp; <img src=\"file://_app.path_/b.jpg\"></p>\r\n尾");
    Add(QStringLiteral("老家"));
    Add(QStringLiteral("李四"), QStringLiteral("老家"));
    SetPage(QStringLiteral("李四"), html);
    AddPicture(QStringLiteral("李四"), "GIF89a", QStringLiteral("file://_app.path_/b.jpg"));
    upload(QStringLiteral("老家"));
    const qint32 id = upload(QStringLiteral("李四"));
    const QStringList pictures = Pictures(QStringLiteral("李四"));
    Db().Execute(QStringLiteral(
        "UPDATE \"本姓成员\" SET \"boy_birthday\" = 'x', \"father\" = '新家' WHERE \"filial\" = '李四'"));

    QString name;
    ASSERT_TRUE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_EQ(name, QStringLiteral("李四"));
    EXPECT_EQ(Column(name, "boy_birthday"), QStringLiteral("1900"));
    EXPECT_EQ(Column(name, "father"), QStringLiteral("新家"));  // a download never moves a member
    EXPECT_EQ(Page(name), html);
    EXPECT_EQ(Pictures(name), pictures);
    EXPECT_EQ(ServerConnection().get(), nullptr);
    EXPECT_FALSE(Progress().IsShown());
}

// The server keeps a page as anyone sent it: what comes down is stored without what would run.
TEST_F(MemberDownloadTest, APageComesDownWithoutScripts) {
    Add(QStringLiteral("老家"));
    Add(QStringLiteral("李四"), QStringLiteral("老家"));
    SetPage(QStringLiteral("李四"),
            QStringLiteral("<p onclick=\"steal()\">生平</p><script>steal()</script>"));
    upload(QStringLiteral("老家"));
    const qint32 id = upload(QStringLiteral("李四"));
    QString name;
    ASSERT_TRUE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_EQ(Page(name), QStringLiteral("<p>生平</p>"));
}

// A page as anyone may have sent it to the server: only its own picture stays named.
TEST_F(MemberDownloadTest, APageComesDownNamingNothingOutsideTheBook) {
    Add(QStringLiteral("老家"));
    Add(QStringLiteral("李四"), QStringLiteral("老家"));
    SetPage(QStringLiteral("李四"),
            QStringLiteral(
                "<body background=\"http://127.0.0.1:9/bg.jpg\"><img src=\"file://_app.path_\\own.gif\">"
                "<img src=\"file:///etc/passwd\"><a href=\"/proc/self/environ\">e</a></body>"));
    AddPicture(QStringLiteral("李四"), "GIF89a", QStringLiteral("file://_app.path_\\own.gif"));
    upload(QStringLiteral("老家"));
    const qint32 id = upload(QStringLiteral("李四"));
    QString name;
    ASSERT_TRUE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_EQ(Page(name),
              QStringLiteral("<body><img src=\"file://_app.path_\\own.gif\"><img><a>e</a></body>"));
}

TEST_F(MemberDownloadTest, ARenameOntoALocalNamesakeTakesEverythingAlong) {
    Add(QStringLiteral("李四"));
    Add(QStringLiteral("李小"), QStringLiteral("李四"));
    Add(QStringLiteral("王五"));
    const qint32 id = upload(QStringLiteral("李四"));
    // Added here after the upload: the server sends no page or picture, so these stay.
    SetPage(QStringLiteral("李四"), QStringLiteral("<p>后加</p>"));
    AddPicture(QStringLiteral("李四"), "PNG", QStringLiteral("c.png"));
    Db().Execute(
        QStringLiteral("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES ('李四', '关键')"));
    PageStartStore().AddStart(2, QStringLiteral("李四"), 3);
    SaveTestMember(cmd_, account_, id, {QStringLiteral("王五")});  // renamed on the server

    QString name;
    ASSERT_TRUE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_EQ(name, QStringLiteral("王五[1]"));
    EXPECT_EQ(Column(QStringLiteral("李小"), "father"), name);
    EXPECT_EQ(Column(name, "Boy_Sex"), QStringLiteral("0"));
    EXPECT_EQ(Column(QStringLiteral("王五"), "mysql_id"), QStringLiteral("0"));
    EXPECT_EQ(Column(QStringLiteral("李四"), "filial"), QString());
    EXPECT_EQ(Page(name), QStringLiteral("<p>后加</p>"));
    EXPECT_EQ(Page(QStringLiteral("李四")), QStringLiteral("-"));
    EXPECT_EQ(Pictures(name).size(), 1);
    EXPECT_EQ(Db().Scalar(QStringLiteral("SELECT \"filial\" FROM \"pageindx\"")).toString(), name);
    EXPECT_EQ(PageStartStore().StartsOf(2), QList<PageStart>{(PageStart{name, 3})});
}

TEST_F(MemberDownloadTest, AMemberTheServerNoLongerHoldsChangesNothing) {
    Add(QStringLiteral("赵六"));
    const qint32 id = upload(QStringLiteral("赵六"));
    Cls数据操作().TongBuDelete_1(id);
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM members")), QStringList{"0"});
    QString name = QStringLiteral("原样");
    EXPECT_FALSE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_FALSE(Cls数据操作().DownLoad_1(0, name));
    EXPECT_EQ(name, QStringLiteral("原样"));
    EXPECT_EQ(Column(QStringLiteral("赵六"), "mysql_id"), QString::number(id));
    EXPECT_EQ(Column(QStringLiteral("赵六"), "mother"), QStringLiteral("赵六母"));
}

TEST_F(MemberDownloadTest, ATreeIsStagedWithItsMarksAndAFailureLeavesNoStagingFile) {
    // 根 ─┬─ 子甲 ── 孙
    //     └─ 子乙
    Add(QStringLiteral("根"));
    Add(QStringLiteral("子甲"), QStringLiteral("根"));
    Add(QStringLiteral("子乙"), QStringLiteral("根"));
    Add(QStringLiteral("孙"), QStringLiteral("子甲"));
    SetPage(QStringLiteral("根"), QStringLiteral("<p>根</p>"));
    SetPage(QStringLiteral("子甲"), QStringLiteral("<p>甲</p>"));
    SetPage(QStringLiteral("子乙"), QStringLiteral("<p>乙</p>"));
    AddPicture(QStringLiteral("子乙"), "one", QStringLiteral("1.jpg"));
    AddPicture(QStringLiteral("子乙"), QByteArray(), QStringLiteral("empty.jpg"));
    AddPicture(QStringLiteral("子乙"), "three", QStringLiteral("3.jpg"));
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 5"));
    ASSERT_EQ(Cls数据操作().UpLoad_All(5), 4);
    const qint32 root = Cls数据操作().GetSql_Id(QStringLiteral("根"));
    const auto id = [](const char* name) {
        return QString::number(Cls数据操作().GetSql_Id(QString::fromUtf8(name)));
    };
    {
        QFile junk(member_exchange::StagingPath());
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not a database");
    }

    EXPECT_EQ(Cls数据操作().DownLoad_All(root), 4);
    EXPECT_EQ(StagedRows(QStringLiteral("\"currentpage\", \"father\""), QStringLiteral("tempflag")),
              QStringList({id("根") + "|10", id("子甲") + "|10", id("子乙") + "|11", id("孙") + "|00"}));
    EXPECT_EQ(StagedRows(QStringLiteral("\"filial\", \"father\", \"mysql_id\", \"mother\", \"boy_birthday\""),
                         QStringLiteral("本姓成员")),
              QStringList({"根||" + id("根") + "|根母|1900", "子甲|根|" + id("子甲") + "|子甲母|1900",
                           "子乙|根|" + id("子乙") + "|子乙母|1900", "孙|子甲|" + id("孙") + "|孙母|1900"}));
    EXPECT_EQ(StagedRows(QStringLiteral("\"filial\", \"flag\""), QStringLiteral("story")),
              QStringList({"根|" + id("根"), "子甲|" + id("子甲"), "子乙|" + id("子乙")}));
    // The empty item is no picture.
    EXPECT_EQ(
        StagedRows(QStringLiteral("\"filial\", \"flag\", \"imagepath\", length(\"myimage\")"),
                   QStringLiteral("imageylk")),
        QStringList({"子乙|" + id("子乙") + "|" + DecodeText(QStringLiteral("1.jpg"), StoreKey()) + "|3",
                     "子乙|" + id("子乙") + "|" + DecodeText(QStringLiteral("3.jpg"), StoreKey()) + "|5"}));
    for (const char* work : {"tmp2", "tmp2img", "tmp2stry"})
        EXPECT_EQ(StagedRows(QStringLiteral("count(*)"), QString::fromLatin1(work)), QStringList{"0"})
            << work;

    // The server stops answering after the second member: nothing half-filled is left for a merge.
    revoke(QStringLiteral("\"sp_GetImage\""));
    EXPECT_THROW(Cls数据操作().DownLoad_All(root), ServerError);
    EXPECT_FALSE(QFile::exists(member_exchange::StagingPath()));
    EXPECT_EQ(ServerConnection().get(), nullptr);
    EXPECT_FALSE(Progress().IsShown());
}

TEST_F(MemberDownloadTest, AnEmptyListStagesNothing) {
    EXPECT_EQ(Cls数据操作().DownLoad_All(0), 0);
    EXPECT_FALSE(QFile::exists(member_exchange::StagingPath()));
    EXPECT_EQ(Cls数据操作().DownLoad_All(987654), 0);
    EXPECT_EQ(StagedRows(QStringLiteral("count(*)"), QStringLiteral("本姓成员")), QStringList{"0"});
    EXPECT_EQ(StagedRows(QStringLiteral("count(*)"), QStringLiteral("tempflag")), QStringList{"0"});
}

}  // namespace
