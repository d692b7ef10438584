#include <gtest/gtest.h>

#include "online/member_sync_fixture.h"

namespace {

using namespace sync_book;

// What two books must share after one has uploaded a branch and the other has downloaded it: every
// member with its particulars and server id, every page and every picture.
QStringList Shared() {
    QStringList out;
    for (dao::Recordset rs = Db().OpenRecordset(QStringLiteral(
             "SELECT \"filial\", \"father\", \"mother\", \"boy_birthday\", \"Boy_Sex\", \"boy_sort\", "
             "\"mysql_id\" FROM \"本姓成员\" ORDER BY \"filial\""));
         rs.hasRow(); rs.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rs.fieldCount(); ++i) fields << rs.value(i).toString();
        const QString name = fields.first();
        out << fields.join(u'|') << Page(name) << Pictures(name);
    }
    return out;
}

}  // namespace

void MemberSyncTest::twoBooksShareABranch() {
    constexpr int kMembers = 1000;
    {
        dao::Transaction tx = Db().BeginTrans();
        Add(QStringLiteral("始祖"));
        for (int i = 1; i < kMembers; ++i)
            Add(QStringLiteral("成员%1").arg(i),
                i <= 3 ? QStringLiteral("始祖") : QStringLiteral("成员%1").arg((i - 1) / 3));
        tx.Commit();
    }
    for (int i = 10; i < kMembers; i += 10)
        SetPage(QStringLiteral("成员%1").arg(i), QStringLiteral("<p>第 %1 位的生平</p>").arg(i));
    for (int i = 20; i < kMembers; i += 20)
        AddPicture(QStringLiteral("成员%1").arg(i), QByteArray(100 + i, char(i)),
                   QStringLiteral("p%1.jpg").arg(i));
    Cls数据操作 ops;
    qint32 first = 1;
    qint16 force = -1;
    quint8 protection = 99;
    ops.标识世祖(QStringLiteral("始祖"), 9, 0, first, force, protection);
    ASSERT_EQ(ops.UpLoad_All(9), kMembers);
    const qint32 root = ops.GetSql_Id(QStringLiteral("始祖"));
    const QStringList uploaded = Shared();

    // A relative's book on another account.
    const qint32 relative = RegisterTestAccount(cmd_, QStringLiteral("acc003"), QStringLiteral("丙"));
    {
        TempBook other;
        ResetAppState();
        dao::ReleaseAllIdleConnections();
        EnsureBookFiles();
        App().CurrentUser = std::make_shared<Cls_User>();
        ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc003")), relative);
        Cls数据操作 theirs;
        ASSERT_EQ(theirs.DownLoad_All(root), kMembers);
        ASSERT_EQ(theirs.DaReLoad(member_exchange::StagingPath()), 0);
        const QStringList downloaded = Shared();
        ASSERT_EQ(downloaded.size(), uploaded.size());
        for (qsizetype i = 0; i < uploaded.size(); ++i)
            ASSERT_EQ(downloaded[i].toStdString(), uploaded[i].toStdString()) << i;
        EXPECT_EQ(Column(QStringLiteral("成员20"), "myacc_id"), QString::number(account_));
        ResetAppState();
        dao::ReleaseAllIdleConnections();
    }
    EXPECT_TRUE(messages().isEmpty());
}

namespace {

TEST_F(MemberSyncTest, TwoBooksShareABranchThroughTheServer) {
    twoBooksShareABranch();
}

// The same through the door, as a clan's server runs it: nginx with TLS in front of the page service.
TEST_F(MemberSyncTest, TwoBooksShareABranchThroughTheDoor) {
    ASSERT_EQ(server_->startDoor(), QString());
    twoBooksShareABranch();
    EXPECT_GT(server_->door()->requestsLogged(), 0);
}

}  // namespace
