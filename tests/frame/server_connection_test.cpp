#include "frame/server_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "platform/interaction/scripted_interaction.h"
#include "support/pg_test_server.h"
#include "support/scripted_ui.h"
#include "support/test_http_server.h"

namespace {

class PgServerConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ui_ = InstallScriptedInteraction(&previous_); }
    void TearDown() override {
        ServerConnection().reset();
        SetInteraction(std::move(previous_));
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
};

}  // namespace

TEST_F(PgServerConnectionTest, UnreachableServerIsReported) {
    ScopedEnv host("PGHOST", "127.0.0.1");
    ScopedEnv port("PGPORT", QByteArray::number(ClosedLocalPort()));
    ui_->ExpectMsgBox(vb::OK);
    QElapsedTimer clock;
    clock.start();
    ConnectServerDb();
    EXPECT_LT(clock.elapsed(), 4000);
    ASSERT_EQ(ui_->log().size(), 1u);
    EXPECT_EQ(ui_->log()[0].kind, QStringLiteral("MsgBox"));
    EXPECT_EQ(ui_->log()[0].text, QStringLiteral("数据库连接出错!"));
    EXPECT_EQ(ui_->log()[0].style, 0);
    ASSERT_NE(ServerConnection(), nullptr);
    EXPECT_EQ(ServerConnection()->state(), 0);
}

TEST_F(PgServerConnectionTest, OpensWithBuiltinAccountSilently) {
    REQUIRE_BUILTIN_SERVER_ACCOUNT();
    ConnectServerDb();
    EXPECT_TRUE(ui_->log().empty());
    ASSERT_NE(ServerConnection(), nullptr);
    EXPECT_EQ(ServerConnection()->state(), 1);
    const PgResult who = ServerConnection()->exec(QStringLiteral("SELECT current_user"));
    ASSERT_TRUE(who.ok) << who.error.toStdString();
    EXPECT_EQ(who.rows.value(0), QStringList({"qntzpsvr01"}));

    // Connecting again replaces the connection with a fresh open one.
    ConnectServerDb();
    EXPECT_TRUE(ui_->log().empty());
    EXPECT_EQ(ServerConnection()->state(), 1);
}
