#include <gtest/gtest.h>

#include "frame/server_connection.h"
#include "platform/settings_store.h"
#include "support/community_server.h"
#include "support/pg_test_server.h"

TEST(ServerDbParamsTest, SettingOverridesHostPortAndDatabase) {
    ScopedEnv host("PGHOST", QByteArray());
    ScopedEnv port("PGPORT", QByteArray());
    const QString previous = GetSetting(QStringLiteral("server_db"));
    SaveSetting(QStringLiteral("server_db"), QStringLiteral("%%other"));
    PgParams params = ServerDbParams();
    EXPECT_EQ(params.host + u' ' + params.port + u' ' + params.dbname,
              QStringLiteral("127.0.0.1 15432 other"));
    SaveSetting(QStringLiteral("server_db"), QStringLiteral("db.example %5999% "));
    params = ServerDbParams();
    EXPECT_EQ(params.host + u' ' + params.port + u' ' + params.dbname,
              QStringLiteral("db.example 5999 qntzpsvr01"));
    EXPECT_EQ(params.user, QStringLiteral("qntzpsvr01"));
    SaveSetting(QStringLiteral("server_db"), previous);
}

class ConnectServerDbOnline : public CommunityServerTest {};

TEST_F(ConnectServerDbOnline, OpensTheConfiguredDatabaseWithTheProgramsAccount) {
    ConnectServerDb();
    const PgResult who = ServerConnection()->exec(QStringLiteral("SELECT current_user, current_database()"));
    ASSERT_TRUE(who.ok) << who.error.toStdString();
    EXPECT_EQ(who.rows.value(0), QStringList({QStringLiteral("qntzpsvr01"), server_->databaseName()}));
}
