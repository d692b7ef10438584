#include "frame/server_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "platform/interaction/scripted_interaction.h"
#include "platform/pg/pg_error.h"
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

TEST_F(PgServerConnectionTest, UnreachableServerIsRaisedNotJustShown) {
    ScopedEnv host("PGHOST", "127.0.0.1");
    ScopedEnv port("PGPORT", QByteArray::number(ClosedLocalPort()));
    QElapsedTimer clock;
    clock.start();
    try {
        ConnectServerDb();
        ADD_FAILURE() << "no error raised";
    } catch (const PgError& e) {
        // What to do in the program's words, the engine's own after it.
        const QString text = e.Description();
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("无法连接服务器：服务器没有运行，或网络不通。请检查网络连接后再试；"
                           "仍然不行，请与服务器的管理员联系。（")))
            << e.what();
        EXPECT_TRUE(text.endsWith(QStringLiteral("）")));
    }
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(ui_->log().empty());
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
