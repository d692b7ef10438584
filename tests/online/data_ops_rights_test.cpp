#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "online/user_record.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"

namespace {

class DataOpsRightsTest : public BookFixture {};

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

}  // namespace
