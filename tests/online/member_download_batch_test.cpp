// The downloads read in batches: what the tree download stages and the single download stores is what the
// readings one by one gave, over several batches, after a lost answer, and when the server refuses a
// reading or the connection stays lost halfway.

#include <gtest/gtest.h>

#include <QFile>

#include "frame/progress.h"
#include "online/member_sync_fixture.h"
#include "support/lossy_proxy.h"

namespace {

using namespace sync_book;

// More members than one batch takes, pages and pictures enough to fill several.
constexpr int kLine = 130;
constexpr qint32 kBranch = 3;

QString Generation(int i) {
    return QStringLiteral("代%1").arg(i);
}

// A call as a request carries it (a declaration's request names the procedure alone).
constexpr char kFetchCall[] = "\"sp_Getzpdata2\",\"values\"";
constexpr char kPicturesCall[] = "\"sp_GetImage\",\"values\"";

bool HasPicture(int i) {
    return i % 10 == 5;
}

class MemberDownloadBatchTest : public MemberSyncTest {
protected:
    // A line of fathers and sons on the server, each with a page, every tenth with a picture; the root's
    // server id.
    qint32 uploadLine() {
        for (int i = 0; i < kLine; ++i) {
            Add(Generation(i), i == 0 ? QString() : Generation(i - 1));
            SetPage(Generation(i), QStringLiteral("<p>第%1代</p>").arg(i));
            if (HasPicture(i))
                AddPicture(Generation(i), QByteArray(100 + i, char(i)), QStringLiteral("%1.jpg").arg(i));
        }
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = ?"), {kBranch});
        EXPECT_EQ(Cls数据操作().UpLoad_All(kBranch), kLine);
        return Cls数据操作().GetSql_Id(Generation(0));
    }
    QString id(int i) { return QString::number(Cls数据操作().GetSql_Id(Generation(i))); }

    // The staging file as the readings one by one filled it: the list with its marks, each member, his
    // page and his picture, in the order of the list.
    QStringList expectedStaging() {
        QStringList rows;
        for (int i = 0; i < kLine; ++i)
            rows << QStringLiteral("tempflag:") + id(i) + (HasPicture(i) ? "|11" : "|10");
        for (int i = 0; i < kLine; ++i)
            rows << QStringLiteral("member:") + Generation(i) + u'|' +
                        (i == 0 ? QString() : Generation(i - 1)) + u'|' + id(i) + u'|' + Generation(i) +
                        QStringLiteral("母|1900");
        for (int i = 0; i < kLine; ++i)
            rows << QStringLiteral("story:") + Generation(i) + u'|' + id(i) + u'|' +
                        EncodeText(QStringLiteral("<p>第%1代</p>").arg(i), StoreKey());
        for (int i = 0; i < kLine; ++i)
            if (HasPicture(i))
                rows << QStringLiteral("picture:") + Generation(i) + u'|' + id(i) + u'|' +
                            DecodeText(QStringLiteral("%1.jpg").arg(i), StoreKey()) + u'|' +
                            QString::number(100 + i);
        return rows;
    }
    QStringList staging() {
        QStringList rows;
        for (const QString& row : StagedRows(QStringLiteral("\"currentpage\", \"father\""), "tempflag"))
            rows << QStringLiteral("tempflag:") + row;
        for (const QString& row :
             StagedRows(QStringLiteral("\"filial\", \"father\", \"mysql_id\", \"mother\", \"boy_birthday\""),
                        QStringLiteral("本姓成员")))
            rows << QStringLiteral("member:") + row;
        for (const QString& row :
             StagedRows(QStringLiteral("\"filial\", \"flag\", \"Hisdescript\""), "story"))
            rows << QStringLiteral("story:") + row;
        for (const QString& row : StagedRows(
                 QStringLiteral("\"filial\", \"flag\", \"imagepath\", length(\"myimage\")"), "imageylk"))
            rows << QStringLiteral("picture:") + row;
        return rows;
    }
    // The server refuses to read the page of the member it keeps under `name`.
    void refusePageOf(const QString& name) {
        ASSERT_TRUE(
            server_->admin()
                .exec(QStringLiteral(
                          "CREATE OR REPLACE FUNCTION \"sp_GetStory\"(\"@z_filial\" text) RETURNS TABLE "
                          "(\"Hisdescript\" text) LANGUAGE plpgsql STABLE SECURITY DEFINER SET "
                          "search_path = public, pg_temp AS $$ BEGIN IF \"@z_filial\" = '%1' THEN RAISE "
                          "EXCEPTION '拒绝读取%1'; END IF; RETURN QUERY SELECT s.hisdescript FROM "
                          "member_stories s JOIN members m ON m.filial_id = s.filial_id WHERE m.filial "
                          "= \"@z_filial\" AND zp_visible(m.myacc_id, zp_bound_account()); END $$")
                          .arg(name))
                .ok);
    }
    void throughProxy(const LossyProxy& proxy) {
        ASSERT_GT(proxy.port(), 0);
        SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()));
    }
};

}  // namespace

// Three batches, the first one's answer lost once and the batch sent again: the staging file holds what
// the readings one by one put there, and the download took a handful of requests instead of 275.
TEST_F(MemberDownloadBatchTest, ATreeOfSeveralBatchesIsStagedAsOneByOne) {
    const qint32 root = uploadLine();
    const QStringList expected = expectedStaging();
    for (const int lose : {0, 1}) {
        LossyProxy proxy(server_->pages()->port(), kFetchCall, lose);
        throughProxy(proxy);
        EXPECT_EQ(Cls数据操作().DownLoad_All(root), kLine) << lose;
        EXPECT_EQ(staging(), expected) << lose;
        EXPECT_EQ(proxy.answersLost(), lose);
        // The log-on's check, four declarations, the list and three batches.
        EXPECT_LE(proxy.requestsPassed(), 10) << lose;
    }
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
}

// The connection lost for good at the first batch that reads pictures, or a page the server refuses in
// the second batch: the download stops with the reason the reading one by one gave, and leaves no
// staging file for a merge, no connection and no wait window.
TEST_F(MemberDownloadBatchTest, AFailureHalfwayLeavesNothingStaged) {
    const qint32 root = uploadLine();
    const struct {
        const char* what;
        bool refuse;  // else the connection is lost
        const char* reason;
    } cases[] = {
        {"connection lost", false,
         "调用过程“sp_Getzpdata2”失败：与服务器的连接断开了，请检查网络连接后再试。"},
        {"page refused", true, "调用过程“sp_GetStory”失败：拒绝读取代70"},
    };
    for (const auto& c : cases) {
        // Everything is read; what is lost is the answer.
        LossyProxy proxy(server_->pages()->port(), kPicturesCall, c.refuse ? 0 : 1000);
        throughProxy(proxy);
        if (c.refuse) refusePageOf(Generation(70));
        try {
            Cls数据操作().DownLoad_All(root);
            ADD_FAILURE() << "no failure: " << c.what;
        } catch (const ServerError& e) {
            EXPECT_EQ(e.Description(), QString::fromUtf8(c.reason)) << c.what;
        }
        EXPECT_FALSE(QFile::exists(member_exchange::StagingPath())) << c.what;
        EXPECT_EQ(ServerConnection().get(), nullptr) << c.what;
        EXPECT_FALSE(Progress().IsShown()) << c.what;
    }
}

// The single download: its member, page and pictures come in one request; a lost answer is read again,
// a refused reading changes nothing in the book.
TEST_F(MemberDownloadBatchTest, OneMemberInOneRequestAndNothingChangedWhenRefused) {
    uploadLine();
    const qint32 id = Cls数据操作().GetSql_Id(Generation(5));
    SaveTestMember(cmd_, account_, id, {Generation(5), Generation(4), QStringLiteral("新母")});
    const QStringList pictures = Pictures(Generation(5));
    Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"mother\" = '本地' WHERE \"filial\" = '代5'"));
    SetPage(Generation(5), QStringLiteral("<p>本地改过</p>"));

    refusePageOf(Generation(5));
    QString name = Generation(5);
    try {
        Cls数据操作().DownLoad_1(id, name);
        ADD_FAILURE() << "no failure";
    } catch (const ServerError& e) {
        EXPECT_EQ(e.Description(), QStringLiteral("调用过程“sp_GetStory”失败：拒绝读取代5"));
    }
    EXPECT_EQ(Column(Generation(5), "mother"), QStringLiteral("本地"));
    EXPECT_EQ(Page(Generation(5)), QStringLiteral("<p>本地改过</p>"));

    refusePageOf(QStringLiteral("nobody"));
    LossyProxy proxy(server_->pages()->port(), kPicturesCall);
    throughProxy(proxy);
    ASSERT_TRUE(Cls数据操作().DownLoad_1(id, name));
    EXPECT_EQ(name, Generation(5));
    EXPECT_EQ(proxy.answersLost(), 1);
    EXPECT_EQ(Column(name, "mother"), QStringLiteral("新母"));
    EXPECT_EQ(Column(name, "boy_birthday"), QStringLiteral("1901-02-03"));
    EXPECT_EQ(Page(name), QStringLiteral("<p>第5代</p>"));
    EXPECT_EQ(Pictures(name), pictures);
}
