// Who may reach the server's database: only the page service logs on, as an account that is no
// superuser and can do nothing but call its functions; the schema's owner and the program's old
// account cannot log on at all.

#include <gtest/gtest.h>

#include "db/pg_connection.h"
#include "support/community_server.h"
#include "support/pg_test_server.h"

namespace {

class DatabaseAccountsTest : public CommunityServerTest {
protected:
    QStringList adminRows(const QString& sql) {
        QStringList out;
        const PgResult result = server_->admin().exec(sql);
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        for (const QStringList& row : result.rows) out << row.join(u'|');
        return out;
    }
};

}  // namespace

TEST_F(DatabaseAccountsTest, OnlyThePageServiceLogsOnAndNoAccountIsASuperuser) {
    EXPECT_EQ(
        adminRows(QStringLiteral(
            "SELECT rolname, rolcanlogin, rolsuper, rolcreaterole, rolcreatedb, rolconnlimit, "
            "rolpassword IS NULL FROM pg_authid WHERE rolname IN ('qntzp_owner', 'qntzpsvr01', "
            "'qntzp_pages') ORDER BY rolname")),
        QStringList({"qntzp_owner|f|f|f|f|-1|t", "qntzp_pages|t|f|f|f|40|f", "qntzpsvr01|f|f|f|f|-1|t"}));
    // A statement, a transaction left open and an idle connection of the page service are bounded.
    EXPECT_EQ(
        adminRows(QStringLiteral("SELECT unnest(setconfig) FROM pg_db_role_setting "
                                 "WHERE setrole = 'qntzp_pages'::regrole AND setdatabase = 0 ORDER BY 1")),
        QStringList({"idle_in_transaction_session_timeout=20s", "idle_session_timeout=10min",
                     "lock_timeout=20s", "statement_timeout=30s"}));
    // Everything of the schema belongs to its owner, and each function that runs as the owner sets its
    // own search path.
    EXPECT_EQ(adminRows(QStringLiteral(
                  "SELECT count(*) FROM pg_class c WHERE c.relnamespace = 'public'::regnamespace "
                  "AND c.relkind IN ('r', 'v', 'S') AND c.relowner <> 'qntzp_owner'::regrole")),
              QStringList({"0"}));
    EXPECT_EQ(adminRows(QStringLiteral(
                  "SELECT p.proname FROM pg_proc p WHERE p.pronamespace = 'public'::regnamespace AND "
                  "NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = p.oid AND d.deptype = 'e') AND "
                  "(p.proowner <> 'qntzp_owner'::regrole OR (p.prosecdef AND NOT EXISTS "
                  "(SELECT 1 FROM unnest(p.proconfig) c WHERE c LIKE 'search_path=%')))")),
              QStringList());

    struct Case {
        const char* user;
        QString password;
    };
    const Case refused[] = {
        {"qntzpsvr01", QStringLiteral("h27wd913")},  // the password every copy of the program once held
        {"qntzp_owner", QString()},
        {"qntzp_pages", QStringLiteral("a guess")},
    };
    for (const Case& c : refused) {
        PgParams params = server_->pagesParams();
        params.user = QString::fromLatin1(c.user);
        params.password = c.password;
        QString error;
        EXPECT_EQ(PgConnection::Open(params, &error), nullptr) << c.user;
        EXPECT_FALSE(error.isEmpty()) << c.user;
    }
    QString error;
    EXPECT_NE(PgConnection::Open(server_->pagesParams(), &error), nullptr) << error.toStdString();
}

TEST_F(DatabaseAccountsTest, ThePageServicesAccountOnlyCallsItsFunctions) {
    QString error;
    auto pages = PgConnection::Open(server_->pagesParams(), &error);
    ASSERT_NE(pages, nullptr) << error.toStdString();
    for (const QString& sql :
         {QStringLiteral("SELECT * FROM accounts"), QStringLiteral("SELECT * FROM session_credentials"),
          QStringLiteral("INSERT INTO members (filial, sent_name, myacc_id) VALUES ('x', 'x', 1)"),
          QStringLiteral("DELETE FROM member_images"), QStringLiteral("UPDATE door_answers SET answer = ''"),
          QStringLiteral("SELECT zp_clean_text('x')"), QStringLiteral("SELECT zp_bind_account(1)"),
          QStringLiteral("SELECT zp_new_credential(1)"), QStringLiteral("SELECT crypt('x', 'y')"),
          QStringLiteral("CREATE TABLE t (x integer)"), QStringLiteral("CREATE TEMP TABLE t (x integer)"),
          // Nothing of other sessions, no locks or large objects of its own.
          QStringLiteral("SELECT pid FROM pg_stat_activity"),
          QStringLiteral("SELECT pg_terminate_backend(1)"), QStringLiteral("SELECT pg_advisory_lock(1)"),
          QStringLiteral("SELECT lo_create(0)")}) {
        const PgResult refused = pages->exec(sql);
        EXPECT_FALSE(refused.ok) << sql.toStdString();
        EXPECT_EQ(refused.sqlState, QStringLiteral("42501"))
            << sql.toStdString() << " " << refused.error.toStdString();
    }
    // What it may: its pages' functions, as the schema's owner.
    const PgResult level = pages->exec(QStringLiteral("SELECT page_account_level(1, 1)"));
    EXPECT_TRUE(level.ok) << level.error.toStdString();
}
