// An upload the server refuses for its limits stops with the server's words, and neither the refused
// member nor its page and pictures are stored.

#include <gtest/gtest.h>

#include "online/member_sync_fixture.h"
#include "online/online_operation.h"

namespace {

using namespace sync_book;

TEST_F(MemberSyncTest, AMemberPastTheServersLimitsStopsTheUploadWithTheServersWords) {
    const struct {
        const char* title;
        std::vector<const char*> names;  // the first member of a branch upload goes alone when one
        bool branch;
        const char* column;
        int length;
        const char* message;
        QStringList stored;
    } cases[] = {
        {"one member",
         {"长"},
         false,
         "mother",
         51,
         "上传未完成：共 1 个成员，已上传 0 个，在“长”处停止：调用过程“sp_savezpdata2”失败：成员“长”的“母亲”"
         "超过 50 个字，服务器不予保存。",
         {}},
        {"a branch",
         {"一", "二", "三"},
         true,
         "boy_position",
         51,
         "上传未完成：共 3 个成员，已上传 1 "
         "个，在“二”处停止：调用过程“sp_savezpdata2”失败：成员“二”的“子女技或位”"
         "超过 50 个字，服务器不予保存。",
         {"一"}},
    };
    for (const auto& c : cases) {
        Db().Execute(QStringLiteral("DELETE FROM \"本姓成员\""));
        for (const char* name : c.names) {
            const QString member = QString::fromUtf8(name);
            Add(member, member == QStringLiteral("一") ? QString() : QStringLiteral("一"));
            SetPage(member, QStringLiteral("<p>生平</p>"));
            AddPicture(member, "JPEG", QStringLiteral("file://_app.path_/a.jpg"));
        }
        const QString refused = QString::fromUtf8(c.names.size() > 1 ? c.names[1] : c.names[0]);
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"%1\" = ? WHERE \"filial\" = ?")
                         .arg(QLatin1String(c.column)),
                     {QString(c.length, u'字'), refused});
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"flag\" = 4"));
        try {
            if (c.branch)
                Cls数据操作().UpLoad_All(4);
            else
                Cls数据操作().UpLoad_1(refused);
            ADD_FAILURE() << c.title << ": not refused";
        } catch (const SyncError& e) {
            EXPECT_EQ(e.Description(), QString::fromUtf8(c.message)) << c.title;
        }
        EXPECT_EQ(serverRows(QStringLiteral("SELECT filial FROM members ORDER BY filial_id")), c.stored)
            << c.title;
        EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_stories")),
                  QStringList{QString::number(c.stored.size())})
            << c.title;
        EXPECT_EQ(serverRows(QStringLiteral("SELECT count(*) FROM member_images")),
                  QStringList{QString::number(c.stored.size())})
            << c.title;
        EXPECT_EQ(Cls数据操作().GetSql_Id(refused), 0) << c.title;
        ASSERT_TRUE(server_->admin().exec(QStringLiteral("DELETE FROM members")).ok);
    }
}

}  // namespace
