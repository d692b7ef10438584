// The creator queue's level requests as the server answers them: only with the user's credential, and
// only the levels the user may see.

#include <gtest/gtest.h>

#include "online/online_book_fixture.h"
#include "store/data_ops.h"

namespace {

class RightsQueueOnline : public OnlineBookTest {};

TEST_F(RightsQueueOnline, TheQueueAsksWithTheUsersCredentialAndLearnsOnlyWhatItMaySee) {
    const std::unique_ptr<DoorConnection> connection = OpenTestConnection();
    ServerCommand cmd(connection.get());
    const qint32 open = RegisterTestAccount(cmd, QStringLiteral("open01"), QStringLiteral("开"), 1);
    const qint32 closed = RegisterTestAccount(cmd, QStringLiteral("closed01"), QStringLiteral("闭"), 0);
    const qint32 me = RegisterTestAccount(cmd, QStringLiteral("me0001"), QStringLiteral("我"), 0);
    ASSERT_GT(me, 0);
    for (const auto& [name, creator] : {std::pair{"开一", open}, std::pair{"闭一", closed}})
        App().DataDb.Execute(
            QStringLiteral("INSERT INTO \"本姓成员\" (\"filial\", \"myacc_id\", \"mysql_id\") "
                           "VALUES (?, ?, 7)"),
            {QString::fromUtf8(name), creator});
    const QString queue = QStringLiteral(
        "SELECT \"msg_id\", \"msgName\" FROM \"tempinfo\" WHERE \"pageflag\" = 7 ORDER BY rowid");
    const QStringList none{QStringLiteral("0|%1").arg(open), QStringLiteral("0|%1").arg(closed)};

    Cls数据操作 ops;
    App().CurrentUser->acc_id = me;  // recalled from the last run, not logged on: no credential
    EXPECT_EQ(ops.AutoGetRight(0), 1);
    EXPECT_EQ(ops.AutoGetRight(1), 1);
    EXPECT_EQ(rows(queue), none);

    ASSERT_EQ(LogOnProgramUser(QStringLiteral("me0001")), me);
    EXPECT_EQ(ops.AutoGetRight(0), 1);
    EXPECT_EQ(ops.AutoGetRight(1), 1);
    EXPECT_EQ(rows(queue),
              QStringList({QStringLiteral("1|%1").arg(open), QStringLiteral("0|%1").arg(closed)}));
}

}  // namespace
