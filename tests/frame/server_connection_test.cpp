#include "frame/server_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "frame/http_procedures.h"
#include "platform/door/server_error.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/test_http_server.h"

namespace {

class ServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ui_ = InstallScriptedInteraction(&previous_); }
    void TearDown() override {
        ServerConnection().reset();
        SetBuiltInServerUrl(QString());
        SetInteraction(std::move(previous_));
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

}  // namespace

TEST_F(ServerConnectionTest, AnUnreachableDoorIsRaisedInTheProgramsWordsNotJustShown) {
    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:%1").arg(ClosedLocalPort()));
    QElapsedTimer clock;
    clock.start();
    try {
        ConnectServerDb();
        ADD_FAILURE() << "no error raised";
    } catch (const ServerError& e) {
        // What to do, and nothing of the network library's own words.
        EXPECT_EQ(e.Description(),
                  QStringLiteral("无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；"
                                 "仍然不行，请与服务器的管理员联系。"));
    }
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(ui_->log().empty());
    ASSERT_NE(ServerConnection(), nullptr);
    EXPECT_EQ(ServerConnection()->state(), 0);
}

TEST_F(ServerConnectionTest, OpensAtTheBuiltInAddressWithTheCredentialGiven) {
    TestHttpServer door;
    door.answer("/door/open", "200 OK", R"({"account": 3})", "application/json");
    SetBuiltInServerUrl(door.base());
    ConnectServerDb(QStringLiteral("c0ffee"));
    EXPECT_TRUE(ui_->log().empty());
    ASSERT_NE(ServerConnection(), nullptr);
    EXPECT_EQ(ServerConnection()->state(), 1);
    EXPECT_EQ(ServerConnection()->credential(), QStringLiteral("c0ffee"));
    EXPECT_EQ(ServerConnection()->baseUrl(), door.base());
    // Connecting again replaces the connection with a fresh open one.
    DoorConnection* first = ServerConnection().get();
    ConnectServerDb();
    EXPECT_NE(ServerConnection().get(), first);
    EXPECT_EQ(ServerConnection()->state(), 1);
    EXPECT_TRUE(ServerConnection()->credential().isEmpty());
}
