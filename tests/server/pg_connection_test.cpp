#include "db/pg_connection.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "support/pg_test_server.h"
#include "support/test_http_server.h"

// The server side's connection to the database: the page service, its tools and the tests use it.

#define REQUIRE_TEST_CLUSTER()                                                                    \
    do {                                                                                          \
        if (!PgTestServerExpected()) GTEST_SKIP() << "no PostgreSQL test cluster (PGHOST unset)"; \
    } while (false)

TEST(PgConnectionTest, ClosedPortFailsQuickly) {
    PgParams params = PgSuperuserParams();
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

TEST(PgConnectionTest, TheClustersAccountConnects) {
    REQUIRE_TEST_CLUSTER();
    QString error;
    auto connection = PgConnection::Open(PgSuperuserParams(), &error);
    ASSERT_NE(connection, nullptr) << error.toStdString();
    EXPECT_TRUE(connection->isOpen());
    EXPECT_EQ(connection->state(), 1);

    const PgResult who =
        connection->exec(QStringLiteral("SELECT current_user AS u, current_database() AS d"));
    ASSERT_TRUE(who.ok) << who.error.toStdString();
    EXPECT_EQ(who.columns, QStringList({"u", "d"}));
    ASSERT_EQ(who.rows.size(), 1);
    EXPECT_EQ(who.rows[0], QStringList({qEnvironmentVariable("PGUSER"), QStringLiteral("postgres")}));

    connection->close();
    EXPECT_FALSE(connection->isOpen());
    EXPECT_EQ(connection->state(), 0);
    EXPECT_FALSE(connection->exec(QStringLiteral("SELECT 1")).ok);
}

TEST(PgConnectionTest, ParametersArriveLiterally) {
    REQUIRE_TEST_CLUSTER();
    auto connection = PgConnection::Open(PgSuperuserParams());
    ASSERT_NE(connection, nullptr);
    const QString quoted = QStringLiteral("O'Brien 100% 王'; DROP ROLE qntzp_pages; --");
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
    REQUIRE_TEST_CLUSTER();
    auto connection = PgConnection::Open(PgSuperuserParams());
    ASSERT_NE(connection, nullptr);
    const PgResult missing = connection->exec(QStringLiteral("SELECT * FROM no_such_table"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.sqlState, QStringLiteral("42P01"));
    EXPECT_TRUE(missing.error.contains(QStringLiteral("no_such_table")));
    // A function's own RAISE is told from the server's failures.
    const PgResult raised = connection->exec(
        QStringLiteral("DO $$ BEGIN RAISE EXCEPTION '不行' USING ERRCODE = '42501'; END $$"));
    EXPECT_EQ(raised.error + u'|' + raised.sqlState + u'|' + QString::number(raised.raised),
              QStringLiteral("不行|42501|1"));
    EXPECT_FALSE(missing.raised);
    // A failed statement leaves the connection usable.
    EXPECT_TRUE(connection->exec(QStringLiteral("SELECT 1")).ok);
}

TEST(PgConnectionTest, MoveTransfersTheConnection) {
    REQUIRE_TEST_CLUSTER();
    PgConnection first;
    ASSERT_TRUE(first.open(PgSuperuserParams())) << first.lastError().toStdString();
    PgConnection second(std::move(first));
    EXPECT_EQ(first.state(), 0);
    EXPECT_EQ(second.state(), 1);
    PgConnection third;
    third = std::move(second);
    EXPECT_EQ(second.state(), 0);
    ASSERT_EQ(third.state(), 1);
    EXPECT_EQ(third.exec(QStringLiteral("SELECT 7")).rows.value(0), QStringList({"7"}));
}

// What may have been committed once it left: a statement outside a transaction, and COMMIT; never BEGIN
// or what runs inside the transaction, and never a statement that could not be sent.
TEST(PgConnectionTest, CommitsSentCountsOnlyWhatMayHaveCommitted) {
    REQUIRE_TEST_CLUSTER();
    auto connection = PgConnection::Open(PgSuperuserParams());
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->commitsSent(), 0);
    connection->exec(QStringLiteral("SELECT 1"));
    EXPECT_EQ(connection->commitsSent(), 1);
    ASSERT_TRUE(connection->begin().ok);
    EXPECT_TRUE(connection->inTransaction());
    connection->exec(QStringLiteral("SELECT 2"));
    connection->exec(QStringLiteral("SELECT no_such_column"));
    EXPECT_EQ(connection->commitsSent(), 1);
    connection->rollback();
    EXPECT_FALSE(connection->inTransaction());
    ASSERT_TRUE(connection->begin().ok);
    EXPECT_TRUE(connection->commit().ok);
    EXPECT_EQ(connection->commitsSent(), 2);
    connection->close();
    EXPECT_FALSE(connection->exec(QStringLiteral("SELECT 3")).ok);
    EXPECT_EQ(connection->commitsSent(), 2);
}

// A prepared statement is remembered only once the server has parsed it: not when its text failed, nor
// when an earlier failure of its round trip kept it from being parsed; one whose result no longer fits
// its table is parsed anew after its one failure.
TEST(PgConnectionTest, PreparedStatementsAreRememberedOnlyOnceParsed) {
    REQUIRE_TEST_CLUSTER();
    auto connection = PgConnection::Open(PgSuperuserParams());
    ASSERT_NE(connection, nullptr);
    using S = PgConnection::Statement;
    const S later{QStringLiteral("SELECT pg_temp.later_made()"), {}, {}, true};
    const S sum{QStringLiteral("SELECT 2 + $1::int"), {3}, {}, true};
    const S shape{QStringLiteral("SELECT * FROM shape"), {}, {}, true};
    const struct {
        QList<S> statements;
        QStringList answers;  // the first row's values, or the failure's state
    } steps[] = {
        {{{QStringLiteral("CREATE TEMP TABLE shape AS SELECT 1 AS a"), {}, {}}, shape}, {"", "1"}},
        {{later}, {"42883"}},
        {{{QStringLiteral("CREATE FUNCTION pg_temp.later_made() RETURNS int LANGUAGE sql AS 'SELECT 1'"),
           {},
           {}}},
         {""}},
        {{later}, {"1"}},
        {{{QStringLiteral("SELECT 1 / 0"), {}, {}}, sum}, {"22012", ""}},
        {{sum, sum}, {"5", "5"}},
        {{{QStringLiteral("ALTER TABLE shape ADD COLUMN b int DEFAULT 2"), {}, {}}}, {""}},
        {{shape}, {"0A000"}},
        {{shape}, {"1|2"}},
    };
    for (const auto& step : steps) {
        QStringList answers;
        for (const PgResult& r : connection->pipeline(step.statements)) {
            QStringList values;
            for (const QVariant& v : r.values.value(0)) values << v.toString();
            answers << (r.ok ? values.join(u'|') : r.sqlState);
        }
        EXPECT_EQ(answers, step.answers) << step.statements.first().sql.toStdString();
    }
}
