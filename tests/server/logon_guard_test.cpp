// Password guessing gets slower and slower while the owner still logs on; registrations are limited per
// address; only a password mints a credential, which lapses with age and ends at log-off.

#include <gtest/gtest.h>
#include <QRegularExpression>

#include <cmath>
#include <functional>

#include "frame/app_state.h"
#include "frame/server_connection.h"
#include "platform/door/server_command.h"
#include "platform/door/server_error.h"
#include "support/community_server.h"

namespace {

const QString kWaitPrefix = QStringLiteral("调用过程“sp_trylogon”失败：密码错误的次数太多，请 ");
const QString kTooManyRegistrations =
    QStringLiteral("调用过程“sp_trylogon”失败：从这个网络地址注册的帐号已达一天 20 个的上限，请明天再试。");
const QString kLapsed = QStringLiteral("登录已过期，请重新登录后再试。");

class LogonGuardTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        connection = OpenTestConnection();
        cmd.SetActiveConnection(connection.get());
        owner = RegisterTestAccount(cmd, QStringLiteral("owner"), QStringLiteral("主"));
        ASSERT_GT(owner, 0);
    }

    QStringList rows(const QString& sql) {
        QStringList out;
        const PgResult result = server_->admin().exec(sql);
        EXPECT_TRUE(result.ok) << result.error.toStdString();
        for (const QStringList& row : result.rows) out << row.join(u'|');
        return out;
    }
    QString value(const QString& sql) { return rows(sql).value(0); }

    // The log-on page as a client at `address` asks it (the door passes the address on); the status and
    // the body.
    QPair<int, QByteArray> logOnPage(const QByteArray& address, const QByteArray& number,
                                     const QByteArray& digest, int reg = 0) {
        const RawReply reply = RawExchange(
            server_->pages()->port(),
            "GET /flsh2/tryLogon3.asp?u_no=" + number + "&pswd=" + digest +
                "&pswd2=x&Nick=n&R=" + QByteArray::number(reg) +
                " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nX-Real-IP: " + address + "\r\n\r\n");
        return {reply.status, reply.body};
    }
    // The state of the log-on page's record; -status for a refusal without one.
    int pageState(const QByteArray& address, const QByteArray& digest) {
        const auto [status, body] = logOnPage(address, "owner", digest);
        return status == 200 ? body.split('%').value(0).toInt() : -status;
    }

    // The procedure's log-on of the owner; its state, or the error it raised in *error.
    int tryOwner(const QString& digest, QString* error) {
        int state = -1;
        *error = ServerErrorOf([&] { state = CallTryLogon(cmd, QStringLiteral("owner"), digest, 0); });
        return state;
    }

    void passDelay() {
        server_->admin().exec(QStringLiteral("UPDATE logon_failures SET next_try = now() - interval '1 ms'"));
        server_->admin().exec(
            QStringLiteral("UPDATE logon_unknown_failures SET next_try = now() - interval '1 ms'"));
    }
    // The procedure's log-on of a number with a wrong password, as the caller sees it: the state, or the
    // refusal with the seconds taken out.
    QString outcome(const QString& number) {
        int state = -1;
        const QString error = ServerErrorOf([&] { state = CallTryLogon(cmd, number, wrong, 0); });
        if (error.isEmpty()) return QString::number(state);
        QString shape = error;
        return shape.replace(QRegularExpression(QStringLiteral("\\d+ 秒")), QStringLiteral("N 秒"));
    }

    std::unique_ptr<DoorConnection> connection;
    ServerCommand cmd;
    qint32 owner = 0;
    const QString right = QStringLiteral("digest-owner");
    const QString wrong = QStringLiteral("a guess");
};

}  // namespace

TEST_F(LogonGuardTest, EachWrongPasswordBeyondFiveWaitsTwiceAsLongUpToFiveMinutes) {
    struct Step {
        int failuresBefore;  // wrong passwords in a row so far
        bool afterDelay;     // the delay the last one set has passed
        bool rightPassword;
        int state;  // -1: refused unchecked
        int failuresAfter;
        int delaySeconds;  // the wait the try sets (or leaves)
    };
    std::vector<Step> steps;
    for (int n = 0; n < 4; ++n) steps.push_back({n, false, false, 2, n + 1, 0});
    steps.push_back({4, false, false, 2, 5, 1});
    // Inside the delay nothing is checked, the right password neither, and nothing is counted.
    steps.push_back({5, false, true, -1, 5, 1});
    steps.push_back({5, false, false, -1, 5, 1});
    for (int n = 5; n < 16; ++n)
        steps.push_back({n, true, false, 2, n + 1, int(std::min(300.0, std::pow(2.0, n + 1 - 5)))});
    steps.push_back({16, false, true, -1, 16, 300});
    // Once the delay has passed, the owner's password logs on and the count starts again.
    steps.push_back({16, true, true, 1, 0, 0});
    steps.push_back({0, false, false, 2, 1, 0});

    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "after " << step.failuresBefore << " wrong, right "
                                        << step.rightPassword << ", delay passed " << step.afterDelay);
        if (step.afterDelay) passDelay();
        QString error;
        const int state = tryOwner(step.rightPassword ? right : wrong, &error);
        if (step.state < 0) {
            EXPECT_TRUE(error.startsWith(kWaitPrefix)) << error.toStdString();
            EXPECT_TRUE(error.endsWith(QStringLiteral(" 秒后再试。"))) << error.toStdString();
            const int said = error.mid(kWaitPrefix.size()).section(u' ', 0, 0).toInt();
            EXPECT_GE(said, 1);
            EXPECT_LE(said, step.delaySeconds);
        } else {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(state, step.state);
        }
        const QString kept =
            value(QStringLiteral("SELECT failures || '|' || round(extract(epoch FROM next_try - "
                                 "last_failure)) FROM logon_failures WHERE acc_id = %1")
                      .arg(owner));
        EXPECT_EQ(kept, step.failuresAfter == 0
                            ? QString()
                            : QStringLiteral("%1|%2").arg(step.failuresAfter).arg(step.delaySeconds));
    }
    // The right log-on made the owner's address one of its own.
    EXPECT_EQ(rows(QStringLiteral("SELECT address FROM logon_addresses WHERE acc_id = %1").arg(owner)),
              QStringList{QStringLiteral("127.0.0.1")});
}

// A number without an account is answered, counted and delayed exactly as an account's wrong passwords
// are, so that nothing tells whether a number has an account; only the number's digest is kept.
TEST_F(LogonGuardTest, ANumberWithoutAnAccountIsAnsweredAndKeptWaitingAsAnAccountIs) {
    const QString unknown = QStringLiteral("nobody-here");
    const QString waiting = kWaitPrefix + QStringLiteral("N 秒后再试。");
    struct Step {
        bool afterDelay;
        QString seen;
    };
    std::vector<Step> steps;
    for (int n = 0; n < 5; ++n) steps.push_back({false, QStringLiteral("2")});
    steps.push_back({false, waiting});
    steps.push_back({true, QStringLiteral("2")});
    steps.push_back({false, waiting});
    int tried = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(++tried);
        if (step.afterDelay) passDelay();
        EXPECT_EQ(outcome(QStringLiteral("owner")), step.seen);
        EXPECT_EQ(outcome(unknown), step.seen);
    }
    // The log-on page says the same of both.
    for (const QByteArray& number : {QByteArray("owner"), unknown.toLatin1()})
        EXPECT_EQ(logOnPage("10.0.0.5", number, "guess"), qMakePair(429, QByteArray())) << number.constData();
    EXPECT_EQ(rows(QStringLiteral("SELECT failures || '|' || round(extract(epoch FROM next_try - last_failure)) "
                                  "FROM logon_failures UNION ALL SELECT failures || '|' || round(extract(epoch "
                                  "FROM next_try - last_failure)) FROM logon_unknown_failures "
                                  "WHERE number_hash = digest('%1', 'sha256')")
                       .arg(unknown)),
              QStringList({QStringLiteral("6|2"), QStringLiteral("6|2")}));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM accounts WHERE user_no = '%1'").arg(unknown)),
              QStringLiteral("0"));

    // At most a hundred thousand numbers are kept, those forgotten longest first; a day old, none.
    server_->admin().exec(QStringLiteral(
        "INSERT INTO logon_unknown_failures SELECT digest('n' || n, 'sha256'), 1, now() - n * interval '1 ms', "
        "now() FROM generate_series(1, 100005) n"));
    server_->admin().exec(QStringLiteral(
        "INSERT INTO logon_unknown_failures VALUES (digest('stale', 'sha256'), 9, now() - interval '25 hours', "
        "now())"));
    server_->admin().exec(QStringLiteral("UPDATE server_sweeps SET last_run = now() - interval '2 minutes' "
                                         "WHERE job = 'logon_unknown_failures'"));
    EXPECT_EQ(outcome(QStringLiteral("one more")), QStringLiteral("2"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM logon_unknown_failures")), QStringLiteral("100000"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM logon_unknown_failures WHERE number_hash IN "
                                   "(digest('one more', 'sha256'), digest('n1', 'sha256'), "
                                   "digest('stale', 'sha256'), digest('n100005', 'sha256'))")),
              QStringLiteral("2"));
}

TEST_F(LogonGuardTest, GuessesFromElsewhereDoNotKeepTheOwnerWaitingWhereItLogsOn) {
    ASSERT_EQ(pageState("10.0.0.1", "digest-owner"), 1);  // the owner, at home
    for (int i = 0; i < 5; ++i) ASSERT_EQ(pageState("10.0.0.2", "guess"), 2);
    struct Case {
        const char* address;
        const char* digest;
        int state;  // -429: refused unchecked
    };
    const Case cases[] = {
        {"10.0.0.2", "digest-owner", -429},  // the guesser's address waits, right password or not
        {"10.0.0.3", "guess", -429},         // and so does every address the owner never used
        {"10.0.0.1", "guess", 2},            // home counts its own wrong passwords
        {"10.0.0.1", "digest-owner", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(pageState(c.address, c.digest), c.state);
    }
    EXPECT_EQ(rows(QStringLiteral("SELECT address, failures FROM logon_failures ORDER BY address")),
              QStringList{QStringLiteral("|5")});
    const auto [status, body] = logOnPage("10.0.0.2", "owner", "digest-owner");
    EXPECT_EQ(status, 429);
    EXPECT_EQ(body, QByteArray());
}

TEST_F(LogonGuardTest, RegistrationsBeyondTwentyADayFromOneAddressAreRefusedAndStoreNothing) {
    // The owner's registration was the first from this machine; nineteen more fill its day.
    EXPECT_EQ(rows(QStringLiteral("SELECT address FROM registrations")),
              QStringList{QStringLiteral("127.0.0.1")});
    server_->admin().exec(QStringLiteral(
        "INSERT INTO registrations (address) SELECT '127.0.0.1' FROM generate_series(1, 19) UNION ALL "
        "SELECT '10.0.0.7' FROM generate_series(1, 20)"));
    // A day old, they no longer count.
    server_->admin().exec(QStringLiteral(
        "INSERT INTO registrations (address, registered) SELECT '10.0.0.8', now() - interval '25 hours' "
        "FROM generate_series(1, 30)"));
    const QString accountsBefore = value(QStringLiteral("SELECT count(*) FROM accounts"));

    QString error =
        ServerErrorOf([&] { CallTryLogon(cmd, QStringLiteral("twenty-first"), QStringLiteral("d"), 1); });
    EXPECT_EQ(error, kTooManyRegistrations);
    struct Case {
        const char* address;
        const char* number;
        int reg;
        int status;
        const char* state;  // the record's first field
    };
    const Case cases[] = {
        {"10.0.0.7", "page-21st", 1, 429, ""},
        {"10.0.0.8", "page-new", 1, 200, "3"},
        // Past its limit, the address learns nothing of which numbers are taken: a registration of one
        // is refused as a new one is. A log-on is no registration.
        {"10.0.0.7", "owner", 1, 429, ""},
        {"10.0.0.7", "owner", 0, 200, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        const auto [status, body] =
            logOnPage(c.address, c.number, c.number == QByteArray("owner") ? "digest-owner" : "d", c.reg);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(body.split('%').value(0), QByteArray(c.state));
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM accounts")).toInt(), accountsBefore.toInt() + 1);
    EXPECT_EQ(
        value(QStringLiteral("SELECT string_agg(user_no, ',') FROM accounts WHERE user_no LIKE '%21st' OR "
                             "user_no LIKE 'twenty%'")),
        QString());
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM registrations WHERE address = '10.0.0.8' AND "
                                   "registered > now() - interval '1 minute'")),
              QStringLiteral("1"));
}

TEST_F(LogonGuardTest, PasswordsAreHashedAtCostTenAndOlderHashesMadeAgainAtTheRightLogOn) {
    EXPECT_EQ(
        value(QStringLiteral("SELECT zp_bcrypt_cost(pswd_hash) || '|' || zp_bcrypt_cost(pswd2_hash) FROM "
                             "accounts WHERE acc_id = %1")
                  .arg(owner)),
        QStringLiteral("10|10"));
    server_->admin().exec(
        QStringLiteral(
            "UPDATE accounts SET pswd_hash = crypt('digest-owner', gen_salt('bf', 8)) WHERE acc_id = %1")
            .arg(owner));
    struct Case {
        QString digest;
        int state;
        QString cost;
    };
    const Case cases[] = {
        {wrong, 2, QStringLiteral("8")}, {right, 1, QStringLiteral("10")}, {right, 1, QStringLiteral("10")}};
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(tryOwner(c.digest, &error), c.state) << error.toStdString();
        EXPECT_EQ(value(QStringLiteral("SELECT zp_bcrypt_cost(pswd_hash) FROM accounts WHERE acc_id = %1")
                            .arg(owner)),
                  c.cost);
    }
}

TEST_F(LogonGuardTest, OnlyAPasswordLogOnMintsACredential) {
    const QString credential = connection->credential();
    ASSERT_EQ(credential.size(), 48);
    std::unique_ptr<PgConnection> pages = PgConnection::Open(server_->pagesParams());
    ASSERT_TRUE(pages);
    struct Case {
        const char* what;
        QStringList before;  // statements run as the page service, after BEGIN
        QString minted;      // "hex": a new credential; else the exact text or error
    };
    const QString logOn = QStringLiteral("CALL sp_trylogon('owner', 'digest-owner', '', 0, 0, '', 0, 0, 0)");
    const Case cases[] = {
        {"bound by a credential",
         {QStringLiteral("SELECT door_begin('%1', '')").arg(credential)},
         QStringLiteral("只有凭密码登录才能取得新的凭据。")},
        {"bound by nothing", {QStringLiteral("SELECT door_begin('', '')")}, QString()},
        {"a wrong password",
         {QStringLiteral("SET LOCAL ROLE qntzpsvr01"), QString(logOn).replace("digest-owner", "x"),
          QStringLiteral("RESET ROLE")},
         QString()},
        {"the password",
         {QStringLiteral("SET LOCAL ROLE qntzpsvr01"), logOn, QStringLiteral("RESET ROLE")},
         QStringLiteral("hex")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString countBefore =
            value(QStringLiteral("SELECT count(*) FROM session_credentials WHERE acc_id = %1").arg(owner));
        ASSERT_TRUE(pages->begin().ok);
        for (const QString& sql : c.before) ASSERT_TRUE(pages->exec(sql).ok) << sql.toStdString();
        const PgResult minted = pages->exec(QStringLiteral("SELECT zp_session_token()"));
        pages->exec(QStringLiteral("COMMIT"));
        if (c.minted == QLatin1String("hex")) {
            ASSERT_TRUE(minted.ok) << minted.error.toStdString();
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{48}$"))
                            .match(minted.rows.value(0).value(0))
                            .hasMatch());
        } else if (!c.minted.isEmpty()) {
            EXPECT_FALSE(minted.ok);
            EXPECT_EQ(minted.sqlState, QStringLiteral("42501"));
            EXPECT_TRUE(minted.error.contains(c.minted)) << minted.error.toStdString();
        } else {
            ASSERT_TRUE(minted.ok) << minted.error.toStdString();
            EXPECT_TRUE(minted.rows.value(0).value(0).isNull());
        }
        const int added =
            value(QStringLiteral("SELECT count(*) FROM session_credentials WHERE acc_id = %1").arg(owner))
                .toInt() -
            countBefore.toInt();
        EXPECT_EQ(added, c.minted == QLatin1String("hex") ? 1 : 0);
    }

    // Through the door: a log-on only at its own door, and nothing else there.
    struct DoorCase {
        const char* path;
        const char* procedure;
        int status;
        QByteArray code;
    };
    const DoorCase doorCases[] = {
        {"/door/call", "sp_trylogon", 404, "\"no_procedure\""},
        {"/door/logon", "sp_Getzpdata2", 404, "\"no_procedure\""},
        {"/door/logon", "sp_trylogon", 200, "\"credential\""},
    };
    for (const DoorCase& c : doorCases) {
        SCOPED_TRACE(c.path);
        const QByteArray body = QByteArray(R"({"procedure":")") + c.procedure +
                                R"(","values":{"@z_user_no":"owner","@z_pswd":"digest-owner","@z_pswd2":"",)"
                                R"("@z_right":"0","@z_logon_type":"0","@z_filial_id":"1"}})";
        // A credential sent with a log-on proves nothing: the password does.
        const RawReply reply =
            RawExchange(server_->pages()->port(), "POST " + QByteArray(c.path) +
                                                      " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                                      "Authorization: Bearer " +
                                                      credential.toLatin1() +
                                                      "\r\nContent-Type: application/json\r\n"
                                                      "Content-Length: " +
                                                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        EXPECT_EQ(reply.status, c.status) << reply.body.toStdString();
        EXPECT_TRUE(reply.body.contains(c.code)) << reply.body.toStdString();
    }
}

TEST_F(LogonGuardTest, LogOffForgetsTheCredentialOnTheServer) {
    const QString credential = connection->credential();
    App().ServerCredential = credential;
    auto standing = [&] {
        return value(QStringLiteral("SELECT count(*) FROM session_credentials WHERE token_hash = "
                                    "digest('%1', 'sha256')")
                         .arg(credential));
    };
    ASSERT_EQ(standing(), QStringLiteral("1"));
    const RawReply before = RawPageRequest(
        server_->pages()->port(), "GET",
        "/flsh2/ChangeProtected.asp?accid=" + QByteArray::number(owner) + "&right=1", credential);
    EXPECT_EQ(before.body, QByteArray("1"));

    EXPECT_TRUE(RevokeServerCredential());
    EXPECT_EQ(App().ServerCredential, QString());
    EXPECT_EQ(standing(), QStringLiteral("0"));
    // Refused from then on, by the calls and by the pages, and nothing changes.
    EXPECT_EQ(ServerErrorOf([&] { OpenTestConnection(credential); }), kLapsed);
    const RawReply after = RawPageRequest(
        server_->pages()->port(), "GET",
        "/flsh2/ChangeProtected.asp?accid=" + QByteArray::number(owner) + "&right=2", credential);
    EXPECT_EQ(after.status, 401);
    EXPECT_EQ(after.body, QByteArray("0"));
    EXPECT_EQ(value(QStringLiteral("SELECT open_level FROM accounts WHERE acc_id = %1").arg(owner)),
              QStringLiteral("1"));

    struct Case {
        const char* what;
        QString url;
        QString credential;
        bool told;
    };
    const Case cases[] = {
        {"already closed", server_->url(), credential, true},
        {"no credential", server_->url(), QString(), true},
        {"no server there", QStringLiteral("http://127.0.0.1:1"), QStringLiteral("ab"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DoorConnection door(c.url);
        door.setCredential(c.credential);
        EXPECT_EQ(door.close(), c.told);
        EXPECT_EQ(door.credential(), QString());
        EXPECT_FALSE(door.isOpen());
    }
}

TEST_F(LogonGuardTest, ACredentialLapsesSevenDaysAfterItWasIssuedHoweverMuchItIsUsed) {
    const QString credential = connection->credential();
    const QString row = QStringLiteral("token_hash = digest('%1', 'sha256')").arg(credential);
    struct Case {
        const char* issued;   // ago
        const char* expires;  // from now
        bool stands;
        const char* expiresAfterUse;  // from issue, when it stands and is renewed
    };
    const Case cases[] = {
        {"1 hour", "11 hours 30 minutes", true, "12:30:00"},  // fresh: not renewed yet
        {"1 hour", "10 hours", true, "13:00:00"},             // renewed to twelve hours from now
        {"6 days 23 hours", "10 minutes", true, "7 days"},    // renewed only up to its lifetime
        {"7 days 1 minute", "11 hours", false, ""},
        {"1 hour", "-1 minute", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.issued);
        server_->admin().exec(
            QStringLiteral("UPDATE session_credentials SET created = now() - interval '%1', "
                           "expires = now() + interval '%2' WHERE %3")
                .arg(QLatin1String(c.issued), QLatin1String(c.expires), row));
        const QString error = ServerErrorOf([&] { OpenTestConnection(credential); });
        EXPECT_EQ(error, c.stands ? QString() : kLapsed);
        if (c.stands)
            EXPECT_EQ(
                value(QStringLiteral("SELECT date_trunc('minute', expires - created + interval '30 s') FROM "
                                     "session_credentials WHERE %1")
                          .arg(row)),
                QLatin1String(c.expiresAfterUse));
    }
}

// Only the program's own spelling of a log-on reaches the log-on: every other spelling of its path is not
// found, so that none passes the door without the door's limit on log-ons, which holds for both.
TEST_F(LogonGuardTest, TheDoorLimitsEveryLogOnAndNoOtherSpellingLogsOn) {
    ASSERT_EQ(server_->startDoor(), QString());
    const int port = server_->door()->port();
    const auto post = [](const QByteArray& path, const QByteArray& number) {
        const QByteArray body = R"({"procedure":"sp_trylogon","values":{"@z_user_no":")" + number +
                                R"(","@z_pswd":"p","@z_pswd2":"","@z_right":"0","@z_logon_type":"1"}})";
        return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: "
                                "application/json\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    };
    const auto get = [](const QByteArray& path, const QByteArray& number) {
        return "GET " + path + "?u_no=" + number + "&pswd=p&pswd2=p&Nick=n&R=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               "Connection: close\r\n\r\n";
    };
    // Registrations sent under other spellings, each from an address of its own: none is done.
    struct Spelling {
        bool page;
        QByteArray path;
        int status = 404;
    };
    const Spelling spellings[] = {
        {false, "/door/LOGON"}, {false, "/door/Logon"},
        {false, "/DOOR/logon", 403},  // the door takes calls under /door/ alone
        {false, "/door//logon"}, {false, "//door/logon"}, {false, "/door/logon/"}, {false, "/door/%6Cogon"},
        {false, "/door/%6cogon"}, {false, "/door/logo%6E"}, {false, "/door/./logon"}, {false, "/door/x/../logon"},
        {false, "/door/logon%20"}, {false, "/door/logon;x"},
        {true, "/flsh2/TRYLOGON3.asp"}, {true, "/flsh2/trylogon3.asp"}, {true, "/FLSH2/tryLogon3.asp"},
        {true, "/flsh2/tryLogon3.ASP"}, {true, "/flsh2//tryLogon3.asp"}, {true, "/flsh2/tryLogon3.asp/"},
        {true, "/flsh2/%74ryLogon3.asp"}, {true, "/flsh2/tryLogon3%2Easp"}, {true, "/flsh2/./tryLogon3.asp"},
        {true, "/x/../flsh2/tryLogon3.asp"},
    };
    int source = 10;
    for (const Spelling& s : spellings) {
        const QByteArray number = "spelt" + QByteArray::number(source);
        const RawReply reply = DoorExchange(port, s.page ? get(s.path, number) : post(s.path, number),
                                            QStringLiteral("127.0.6.%1").arg(++source));
        EXPECT_EQ(reply.status, s.status) << s.path.toStdString();
    }
    EXPECT_EQ(server_->admin()
                  .exec(QStringLiteral("SELECT count(*) FROM accounts WHERE user_no LIKE 'spelt%'"))
                  .rows.value(0),
              QStringList({"0"}));

    // The program's spellings: log-ons of accounts nobody has (a number of its own each, so that no
    // account's delay answers for the door), answered as such.
    struct Case {
        const char* what;
        std::function<QByteArray(const QByteArray& number)> request;
    };
    const Case cases[] = {
        {"the procedure",
         [&](const QByteArray& number) {
             return post("/door/logon", number).replace(R"("@z_logon_type":"1")", R"("@z_logon_type":"0")");
         }},
        {"the page",
         [&](const QByteArray& number) { return get("/flsh2/tryLogon3.asp", number).replace("R=1", "R=0"); }},
    };
    int tries = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString first = QStringLiteral("127.0.6.%1").arg(++source);
        const auto next = [&] { return c.request("nobody" + QByteArray::number(++tries)); };
        // Thirty a minute in bursts of ten: the twelfth at once is refused, or a little later on a slow
        // machine; never many more.
        int passed = 0;
        RawReply reply;
        while (passed < 20 && (reply = DoorExchange(port, next(), first)).status == 200) ++passed;
        EXPECT_EQ(reply.status, 429);
        EXPECT_GE(passed, 11);
        EXPECT_LE(passed, 14);
        // Another address is answered meanwhile.
        EXPECT_EQ(DoorExchange(port, next(), QStringLiteral("127.0.6.%1").arg(++source)).status, 200);
    }
}
