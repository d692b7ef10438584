#include "platform/pg/pg_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "support/pg_test_server.h"
#include "support/test_http_server.h"

TEST(PgParamsTest, BuiltinAccountFollowsEnvironmentForHostAndPort) {
    {
        ScopedEnv host("PGHOST", "/var/run/postgresql");
        ScopedEnv port("PGPORT", "5433");
        const PgParams params = BuiltinServerParams();
        EXPECT_EQ(params.host, QStringLiteral("/var/run/postgresql"));
        EXPECT_EQ(params.port, QStringLiteral("5433"));
        EXPECT_EQ(params.dbname, QStringLiteral("qntzpsvr01"));
        EXPECT_EQ(params.user, QStringLiteral("qntzpsvr01"));
        EXPECT_EQ(params.password, QStringLiteral("h27wd913"));
        EXPECT_GT(params.connectTimeoutSec, 0);
    }
    ScopedEnv host("PGHOST", QByteArray());
    ScopedEnv port("PGPORT", QByteArray());
    const PgParams params = BuiltinServerParams();
    EXPECT_EQ(params.host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(params.port, QStringLiteral("15432"));
}

TEST(PgConnectionTest, ClosedPortFailsQuickly) {
    PgParams params = BuiltinServerParams();
    params.host = QStringLiteral("127.0.0.1");
    params.port = QString::number(ClosedLocalPort());
    QElapsedTimer clock;
    clock.start();
    QString error;
    EXPECT_EQ(PgConnection::Open(params, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());

    PgConnection connection;
    EXPECT_FALSE(connection.open(params));
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(connection.state(), 0);
    EXPECT_FALSE(connection.lastError().isEmpty());
    const PgResult result = connection.exec(QStringLiteral("SELECT 1"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST(PgConnectionTest, BuiltinAccountConnects) {
    REQUIRE_BUILTIN_SERVER_ACCOUNT();
    QString error;
    auto connection = PgConnection::Open(BuiltinServerParams(), &error);
    ASSERT_NE(connection, nullptr) << error.toStdString();
    EXPECT_TRUE(connection->isOpen());
    EXPECT_EQ(connection->state(), 1);

    const PgResult who =
        connection->exec(QStringLiteral("SELECT current_user AS u, current_database() AS d"));
    ASSERT_TRUE(who.ok) << who.error.toStdString();
    EXPECT_EQ(who.columns, QStringList({"u", "d"}));
    ASSERT_EQ(who.rows.size(), 1);
    EXPECT_EQ(who.rows[0], QStringList({"qntzpsvr01", "qntzpsvr01"}));

    connection->close();
    EXPECT_FALSE(connection->isOpen());
    EXPECT_EQ(connection->state(), 0);
    EXPECT_FALSE(connection->exec(QStringLiteral("SELECT 1")).ok);
}

TEST(PgConnectionTest, ParametersArriveLiterally) {
    REQUIRE_BUILTIN_SERVER_ACCOUNT();
    auto connection = PgConnection::Open(BuiltinServerParams());
    ASSERT_NE(connection, nullptr);
    const QString quoted = QStringLiteral("O'Brien 100% 王'; DROP ROLE qntzpsvr01; --");
    const PgResult result = connection->exec(
        QStringLiteral(
            "SELECT $1::text, length($1::text), $2::int + 1, $3::text IS NULL, $4::bool, $5::text"),
        {quoted, 41, QVariant(), true, QStringLiteral("%s%%'")});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    ASSERT_EQ(result.rows.size(), 1);
    EXPECT_EQ(result.rows[0], QStringList({quoted, QString::number(quoted.size()), "42", "t", "t", "%s%%'"}));

    const PgResult nulls = connection->exec(QStringLiteral("SELECT NULL::text, ''::text"));
    ASSERT_TRUE(nulls.ok);
    EXPECT_TRUE(nulls.rows[0][0].isNull());
    EXPECT_FALSE(nulls.rows[0][1].isNull());
    EXPECT_TRUE(nulls.rows[0][1].isEmpty());

    const PgResult bytes =
        connection->exec(QStringLiteral("SELECT encode($1::bytea, 'hex')"), {QByteArray("\x00\xFF'", 3)});
    ASSERT_TRUE(bytes.ok) << bytes.error.toStdString();
    EXPECT_EQ(bytes.rows[0][0], QStringLiteral("00ff27"));
}

TEST(PgConnectionTest, FailuresCarryServerMessageAndState) {
    REQUIRE_BUILTIN_SERVER_ACCOUNT();
    auto connection = PgConnection::Open(BuiltinServerParams());
    ASSERT_NE(connection, nullptr);
    const PgResult missing = connection->exec(QStringLiteral("SELECT * FROM no_such_table"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.sqlState, QStringLiteral("42P01"));
    EXPECT_TRUE(missing.error.contains(QStringLiteral("no_such_table")));
    // The account may not create anything of its own.
    const PgResult create = connection->exec(QStringLiteral("CREATE TABLE public.t (x int)"));
    EXPECT_FALSE(create.ok);
    EXPECT_EQ(create.sqlState, QStringLiteral("42501"));
    // A failed statement leaves the connection usable.
    EXPECT_TRUE(connection->exec(QStringLiteral("SELECT 1")).ok);
}

TEST(PgConnectionTest, MoveTransfersTheConnection) {
    REQUIRE_BUILTIN_SERVER_ACCOUNT();
    PgConnection first;
    ASSERT_TRUE(first.open(BuiltinServerParams())) << first.lastError().toStdString();
    PgConnection second(std::move(first));
    EXPECT_EQ(first.state(), 0);
    EXPECT_EQ(second.state(), 1);
    PgConnection third;
    third = std::move(second);
    EXPECT_EQ(second.state(), 0);
    ASSERT_EQ(third.state(), 1);
    EXPECT_EQ(third.exec(QStringLiteral("SELECT 7")).rows.value(0), QStringList({"7"}));
}
