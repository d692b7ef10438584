#include <gtest/gtest.h>

#include "frame/app_state.h"
#include "online/server_session.h"
#include "online/user_record.h"
#include "platform/door/server_error.h"
#include "support/community_server.h"

class ServerSessionOnline : public CommunityServerTest {};

// A session of a logged-on user carries the log-on's credential; one that lapsed ends the log-on with a
// word as soon as the session opens, before the operation has done anything.
TEST_F(ServerSessionOnline, CarriesTheCredentialAndALapsedOneEndsTheLogOn) {
    auto connection = OpenTestConnection();
    ServerCommand cmd(connection.get());
    const qint32 account = RegisterTestAccount(cmd, QStringLiteral("acc001"), QStringLiteral("甲"));
    ASSERT_EQ(LogOnProgramUser(QStringLiteral("acc001")), account);
    {
        ServerSession session;
        EXPECT_EQ(session.connection()->state(), 1);
        EXPECT_EQ(session.connection()->credential(), App().ServerCredential);
    }
    EXPECT_EQ(ServerConnection(), nullptr);
    {
        ServerSession anonymous(ServerSession::Binding::None);
        EXPECT_TRUE(anonymous.connection()->credential().isEmpty());
    }

    App().ServerCredential = QString(48, u'0');
    EXPECT_EQ(ServerErrorOf([] { ServerSession session; }), QStringLiteral("登录已过期，请重新登录后再试。"));
    EXPECT_FALSE(App().CurrentUser->Logoned);
    EXPECT_TRUE(App().ServerCredential.isEmpty());
    EXPECT_EQ(ServerConnection(), nullptr);
}
