// The branch upload sends several members' calls in one request: what the server stores, the ids the
// book keeps and what the user is told are those of the calls one by one, across batches, after a lost
// answer and at a failure in the middle of a batch.

#include <gtest/gtest.h>
#include <QCryptographicHash>

#include "online/member_sync_fixture.h"
#include "online/online_operation.h"
#include "support/lossy_proxy.h"

namespace {

using namespace sync_book;

constexpr qint32 kBranch = 4;

// "name|server id" of each member of the book, in its order.
QStringList BookIds() {
    QStringList out;
    for (dao::Recordset rs = Db().OpenRecordset(
             QStringLiteral("SELECT \"filial\", \"mysql_id\" FROM \"本姓成员\" ORDER BY \"filial_id\""));
         rs.hasRow(); rs.MoveNext())
        out << rs.value(0).toString() + QLatin1Char('|') + rs.value(1).toString();
    return out;
}

QByteArray PictureBytes(int size, char seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) bytes[i] = char(seed + i * 31);
    return bytes;
}

QString Md5(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

class MemberUploadBatchTest : public MemberSyncTest {
protected:
    void markBranch() { Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = ?"), {kBranch}); }
    // "server name|father's server name|the book's name for it" of the account's members, by id;
    // the ids are checked against the book's.
    QStringList serverMembers() {
        QStringList out;
        for (const QStringList& row :
             server_->admin()
                 .exec(QStringLiteral("SELECT m.filial_id, m.filial, coalesce(f.filial, '-'), m.mother FROM "
                                      "members m LEFT JOIN members f ON f.filial_id = m.father_id WHERE "
                                      "m.myacc_id = $1 ORDER BY m.filial_id"),
                       {account_})
                 .rows) {
            // The mother is "<book name>母": which book member the row came from.
            const QString bookName = row[3].chopped(1);
            EXPECT_EQ(Cls数据操作().GetSql_Id(bookName), row[0].toInt()) << bookName.toStdString();
            out << row[1] + QLatin1Char('|') + row[2] + QLatin1Char('|') + bookName;
        }
        return out;
    }
};

}  // namespace

// 130 members in a line of fathers and sons go in more than one batch; one member's three pictures of
// almost 3 MB take a batch each. The server keeps every name, father, page and picture as the calls one
// by one keep them.
TEST_F(MemberUploadBatchTest, ABranchInSeveralBatchesIsStoredAsOneByOne) {
    SaveTestMember(cmd_, RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙")), 0,
                   {QStringLiteral("代5")});
    ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), account_);
    constexpr int kMembers = 130;
    for (int i = 0; i < kMembers; ++i) {
        const QString name = QStringLiteral("代%1[%2]").arg(i).arg(i % 3);
        Add(name, i == 0 ? QString() : QStringLiteral("代%1[%2]").arg(i - 1).arg((i - 1) % 3));
        if (i % 10 == 0) SetPage(name, QStringLiteral("<p>第%1代</p>").arg(i));
    }
    QStringList sent;
    for (int p = 0; p < 3; ++p) {
        const QByteArray bytes = PictureBytes(3 * 1024 * 1024 - 100 - p, char(p));
        AddPicture(QStringLiteral("代5[2]"), bytes, QStringLiteral("file://_app.path_/%1.jpg").arg(p));
        sent << Md5(bytes);
    }
    AddPicture(QStringLiteral("代7[1]"), PictureBytes(1000, 'x'), QStringLiteral("小.jpg"));
    markBranch();

    EXPECT_EQ(Cls数据操作().UpLoad_All(kBranch), kMembers);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    const QStringList members = serverMembers();
    ASSERT_EQ(members.size(), kMembers);
    EXPECT_EQ(members[0], QStringLiteral("代0|-|代0[0]"));
    EXPECT_EQ(members[5], QStringLiteral("代5(2)|代4|代5[2]"));  // another account keeps 代5
    EXPECT_EQ(members[6], QStringLiteral("代6|代5(2)|代6[0]"));
    EXPECT_EQ(members[129], QStringLiteral("代129|代128|代129[0]"));
    EXPECT_EQ(
        serverRows(QStringLiteral("SELECT string_agg(m.filial, ',' ORDER BY m.filial_id) FROM "
                                  "member_stories s JOIN members m USING (filial_id)")),
        QStringList{QStringLiteral("代0,代10,代20,代30,代40,代50,代60,代70,代80,代90,代100,代110,代120")});
    EXPECT_EQ(
        serverRows(QStringLiteral("SELECT md5(myimage) FROM member_images WHERE filial_id = $1 ORDER BY "
                                  "image_id"),
                   {Cls数据操作().GetSql_Id(QStringLiteral("代5[2]"))}),
        sent);
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_images")), QStringList{"4"});
}

// The answer of the first batch is lost after the server stored it: the program sends the batch again,
// and the server answers with what it did. One of each, and the book holds the ids.
TEST_F(MemberUploadBatchTest, ABatchWhoseAnswerWasLostStoresOneOfEach) {
    for (const char* name : {"甲", "乙", "丙"}) {
        Add(QString::fromUtf8(name),
            QString::fromUtf8(name) == QStringLiteral("甲") ? QString() : QStringLiteral("甲"));
        SetPage(QString::fromUtf8(name), QStringLiteral("<p>%1</p>").arg(QString::fromUtf8(name)));
        AddPicture(QString::fromUtf8(name), PictureBytes(500, name[0]), QStringLiteral("a.jpg"));
    }
    markBranch();
    LossyProxy proxy(server_->pages()->port(), "\"sp_savezpdata2\"");
    ASSERT_GT(proxy.port(), 0);
    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(proxy.port()));
    EXPECT_EQ(Cls数据操作().UpLoad_All(kBranch), 3);
    EXPECT_EQ(proxy.answersLost(), 1);
    EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_EQ(serverMembers(), QStringList({QStringLiteral("甲|-|甲"), QStringLiteral("乙|甲|乙"),
                                            QStringLiteral("丙|甲|丙")}));
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_stories")), QStringList{"3"});
    EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_images")), QStringList{"3"});
}

// A call the server refuses in the middle of a batch: the members before it are uploaded, the ids the
// server gave stay in the book (the failing member's too when his save went through), nothing after it
// is sent, and the user reads what the call alone would have told.
TEST_F(MemberUploadBatchTest, AFailureInTheMiddleOfABatchLeavesTheBookAsOneByOne) {
    const struct {
        const char* what;
        const char* table;
        const char* when;  // the row of 三 the trigger refuses
        const char* ids;
        const char* reason;
        bool toldTooLarge;  // 三's picture of 3 MB, between his first and second picture
    } cases[] = {
        {"his save", "members", "NEW.sent_name = '三'", "一1,二1,三0,四0",
         "调用过程“sp_savezpdata2”失败：拒绝三", false},
        {"his page", "member_stories", "true", "一1,二1,三1,四0", "调用过程“sp_savestory”失败：拒绝三",
         false},
        {"his second picture", "member_images", "get_byte(NEW.myimage, 0) = ascii('b')", "一1,二1,三1,四0",
         "调用过程“sp_saveimage”失败：拒绝三", true},
    };
    ASSERT_TRUE(server_->admin()
                    .execScript(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                               "$$ BEGIN RAISE EXCEPTION '拒绝三'; END $$;"))
                    .ok);
    for (const auto& c : cases) {
        server_->admin().exec(QStringLiteral("DELETE FROM members"));
        Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        dao::Database::Open(ImageDbPath(), BookDbPassword())
            .Execute(QStringLiteral("DELETE FROM \"imageylk\""));
        for (const char* name : {"一", "二", "三", "四"}) Add(QString::fromUtf8(name));
        SetPage(QStringLiteral("三"), QStringLiteral("<p>三</p>"));
        AddPicture(QStringLiteral("三"), PictureBytes(100, 'a'), QStringLiteral("a.jpg"));
        AddPicture(QStringLiteral("三"), QByteArray(3 * 1024 * 1024, 'z'), QStringLiteral("big.avi"));
        AddPicture(QStringLiteral("三"), PictureBytes(100, 'b'), QStringLiteral("b.jpg"));
        // 四's pictures fill the batch: it goes while 四 is being read, and fails at 三 all the same.
        AddPicture(QStringLiteral("四"), QByteArray(3 * 1024 * 1024, 'z'), QStringLiteral("big.avi"));
        for (int p = 0; p < 3; ++p)
            AddPicture(QStringLiteral("四"), PictureBytes(2900 * 1024, char(p)),
                       QStringLiteral("%1.jpg").arg(p));
        markBranch();
        const QString table = QString::fromUtf8(c.table);
        ASSERT_TRUE(server_->admin()
                        .execScript(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON ") + table +
                                    QStringLiteral(" FOR EACH ROW WHEN (") + QString::fromUtf8(c.when) +
                                    QStringLiteral(") EXECUTE FUNCTION refuse();"))
                        .ok)
            << c.what;
        if (c.toldTooLarge) ui_->ExpectMsgBox(vb::OK);
        const qsizetype shownBefore = messages().size();
        try {
            Cls数据操作().UpLoad_All(kBranch);
            ADD_FAILURE() << "no failure: " << c.what;
        } catch (const SyncError& e) {
            EXPECT_EQ(e.Description(),
                      QStringLiteral("上传未完成：共 4 个成员，已上传 2 个，在“三”处停止：") +
                          QString::fromUtf8(c.reason))
                << c.what;
        }
        EXPECT_EQ(
            messages().mid(shownBefore),
            c.toldTooLarge ? QStringList{QStringLiteral("三 视音频媒体超过3M暂不予上传!!!")} : QStringList())
            << c.what;
        // Each id the book holds is the server's member of that name, and nobody after 三 went up.
        QStringList ids;
        for (const QString& row : BookIds()) {
            const qint32 id = row.section(u'|', 1).toInt();
            ids << row.section(u'|', 0, 0) + (id > 0 ? u'1' : u'0');
            if (id > 0)
                EXPECT_EQ(
                    serverRows(QStringLiteral("SELECT sent_name FROM members WHERE filial_id = $1"), {id}),
                    QStringList{row.section(u'|', 0, 0)});
        }
        EXPECT_EQ(ids.join(u','), QString::fromUtf8(c.ids)) << c.what;
        EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM members WHERE sent_name = '四'")),
                  QStringList{"0"});
        server_->admin().exec(QStringLiteral("DROP TRIGGER refuse ON ") + table);
    }
}
