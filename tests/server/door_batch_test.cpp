// Calls sent together: a later call names an earlier one's answer, each call is stored as it would be
// alone, a batch sent again does nothing twice, a batch that oversteps is refused whole, and a failure
// stops the batch where it stands.

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/door/server_error.h"
#include "support/community_server.h"

namespace {

class DoorBatchTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        db_ = OpenTestConnection();
        cmd_.SetActiveConnection(db_.get());
        other_ = RegisterTestAccount(cmd_, QStringLiteral("acc002"), QStringLiteral("乙"));
        ASSERT_GT(SaveTestMember(cmd_, other_, 0, {QStringLiteral("父")}), 0);
        account_ = RegisterTestAccount(cmd_, QStringLiteral("acc001"), QStringLiteral("甲"));
        ASSERT_GT(account_, 0);
    }
    QStringList rows(const QString& sql, const QList<QVariant>& params = {}) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql, params).rows) out << row.join(u'|');
        return out;
    }
    // A member's save with the values the program sends, its father by name.
    void setSave(const QString& name, const QString& father = QString(), qint32 account = 0) {
        cmd_.SetCommandText(QStringLiteral("sp_savezpdata2"));
        cmd_.SetValue(QStringLiteral("@z_accid"), account ? account : account_);
        cmd_.SetValue(QStringLiteral("@z_filial_id"), 0);
        cmd_.SetValue(QStringLiteral("@z_filial"), name);
        cmd_.SetValue(QStringLiteral("@z_father"), father);
        cmd_.SetValue(QStringLiteral("@z_mother"), name + QStringLiteral("母"));
    }
    RawReply post(const QByteArray& body) {
        return RawExchange(
            server_->pages()->port(),
            "POST /door/calls HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Bearer " +
                db_->credential().toLatin1() + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\n\r\n" + body);
    }
    // A save of name for account, as JSON, with its key.
    QJsonObject saveCall(const QString& name, const QString& key, qint32 account) {
        return {{"procedure", "sp_savezpdata2"},
                {"key", key},
                {"values",
                 QJsonObject{
                     {"@z_accid", QString::number(account)}, {"@z_filial_id", "0"}, {"@z_filial", name}}}};
    }

    std::unique_ptr<DoorConnection> db_;
    ServerCommand cmd_;
    qint32 account_ = 0;
    qint32 other_ = 0;
};

QByteArray Bytes() {
    QByteArray bytes;
    for (int i = 0; i < 70000; ++i) bytes.append(char(i * 7 % 256));  // NUL and every other byte
    return bytes;
}

QByteArray Json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

TEST_F(DoorBatchTest, LaterCallsTakeTheServerNamesOfEarlierOnes) {
    ServerBatch batch(cmd_);
    setSave(QStringLiteral("父"));
    ASSERT_EQ(batch.Add(), 0);
    setSave(QStringLiteral("子"));
    ASSERT_EQ(batch.Add({{QStringLiteral("@z_father"), 0, QStringLiteral("@z_filial")}}), 1);
    cmd_.SetCommandText(QStringLiteral("sp_savestory"));
    cmd_.SetValue(QStringLiteral("@z_descript"), QStringLiteral("<p>生平</p>"));
    ASSERT_EQ(batch.Add({{QStringLiteral("@z_filial"), 0, QStringLiteral("@z_filial")}}), 2);
    for (const char* path : {"a.jpg", "b.jpg"}) {
        cmd_.SetCommandText(QStringLiteral("sp_saveimage"));
        cmd_.SetValue(QStringLiteral("@z_myimage"), Bytes() + path);
        cmd_.SetValue(QStringLiteral("@z_imgpath"), QString::fromLatin1(path));
        batch.Add({{QStringLiteral("@Z_FILIAL"), 1, QStringLiteral("@z_filial")}});
    }
    const ServerBatch::Outcome outcome = batch.Send();
    ASSERT_FALSE(outcome.failure) << outcome.failure->Description().toStdString();
    EXPECT_EQ(outcome.done, 5);
    EXPECT_TRUE(batch.IsEmpty());

    // The names the server gave, as one by one: 父 is taken by another account.
    const qint32 father = batch.Out(0, QStringLiteral("@z_filial_id")).toInt();
    const qint32 son = batch.Out(1, QStringLiteral("@Z_FILIAL_ID")).toInt();
    EXPECT_EQ(batch.Out(0, QStringLiteral("@z_filial")), QVariant(QStringLiteral("父(2)")));
    EXPECT_EQ(batch.Out(1, QStringLiteral("@z_filial")), QVariant(QStringLiteral("子")));
    EXPECT_EQ(
        rows(QStringLiteral("SELECT m.filial_id, m.filial, m.father, m.father_id, m.myacc_id FROM members m "
                            "WHERE m.myacc_id = $1 ORDER BY m.filial_id"),
             {account_}),
        QStringList({QStringLiteral("%1|父(2)||").arg(father) + QStringLiteral("|%1").arg(account_),
                     QStringLiteral("%1|子|父(2)|%2|%3").arg(son).arg(father).arg(account_)}));
    EXPECT_EQ(rows(QStringLiteral("SELECT filial_id FROM member_stories")),
              QStringList{QString::number(father)});

    // The pictures come back byte for byte.
    cmd_.SetCommandText(QStringLiteral("sp_GetImage"));
    cmd_.SetValue(QStringLiteral("@z_filial"), QStringLiteral("子"));
    const ServerRows pictures = cmd_.Execute();
    ASSERT_EQ(pictures.size(), 2);
    for (int row = 0; row < 2; ++row) {
        const QString path = pictures.value(row, QStringLiteral("imagepath")).toString();
        EXPECT_EQ(pictures.value(row, QStringLiteral("myimage")).toByteArray(), Bytes() + path.toLatin1());
    }
}

TEST_F(DoorBatchTest, ABatchSentAgainAnswersAsTheFirstAndStoresNothingTwice) {
    QJsonArray calls{
        saveCall(QStringLiteral("重发"), QStringLiteral("1f8e2a5c-6b4d-4e1f-9a3b-7c2d1e0f9a81"), account_),
        saveCall(QStringLiteral("重发"), QStringLiteral("2f8e2a5c-6b4d-4e1f-9a3b-7c2d1e0f9a82"), account_)};
    calls.append(QJsonObject{
        {"procedure", "sp_saveimage"},
        {"values",
         QJsonObject{{"@z_filial", QJsonObject{{"from", 1}, {"out", "@z_filial"}}},
                     {"@z_myimage", QJsonObject{{"base64", QString::fromLatin1(Bytes().toBase64())}}},
                     {"@z_imgpath", "a.jpg"}}}});
    calls.append(QJsonObject{
        {"procedure", "sp_savestory"},
        {"values",
         QJsonObject{{"@z_filial", QJsonObject{{"from", 0}, {"out", "@z_filial"}}}, {"@z_descript", "x"}}}});
    const QByteArray body = Json({{"calls", calls}});
    const RawReply first = post(body);
    const RawReply again = post(body);
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(again.body, first.body);
    const QJsonArray answers = QJsonDocument::fromJson(first.body).object().value("answers").toArray();
    ASSERT_EQ(answers.size(), 4) << first.body.toStdString();
    EXPECT_EQ(answers[1].toObject().value("out").toObject().value("@z_filial").toString(),
              QStringLiteral("重发(2)"));
    EXPECT_EQ(rows(QStringLiteral("SELECT filial FROM members WHERE sent_name = '重发' ORDER BY filial_id")),
              QStringList({QStringLiteral("重发"), QStringLiteral("重发(2)")}));
    EXPECT_EQ(rows(QStringLiteral("SELECT m.filial, length(i.myimage) FROM member_images i JOIN members m "
                                  "USING (filial_id)")),
              QStringList{QStringLiteral("重发(2)|70000")});
    EXPECT_EQ(rows(QStringLiteral("SELECT m.filial FROM member_stories s JOIN members m USING (filial_id)")),
              QStringList{QStringLiteral("重发")});
}

TEST_F(DoorBatchTest, ABatchThatOverstepsIsRefusedWhole) {
    const QString key = QStringLiteral("3f8e2a5c-6b4d-4e1f-9a3b-7c2d1e0f9a8");
    QJsonArray tooMany;
    for (int i = 0; i < 501; ++i)
        tooMany.append(saveCall(QStringLiteral("多%1").arg(i), QString(), account_));
    const struct {
        const char* what;
        QJsonArray calls;
        int status;
        const char* body;
    } cases[] = {
        {"another account's member after one's own",
         {saveCall(QStringLiteral("己"), key + '1', account_),
          saveCall(QStringLiteral("他"), key + '2', other_)},
         403,
         R"({"code":"other_account"})"},
        {"more calls than a batch takes", tooMany, 413, R"({"code":"too_many_calls"})"},
        {"a call naming a later one",
         {QJsonObject{{"procedure", "sp_savestory"},
                      {"values", QJsonObject{{"@z_filial", QJsonObject{{"from", 1}, {"out", "@z_filial"}}},
                                             {"@z_descript", "x"}}}},
          saveCall(QStringLiteral("己"), key + '3', account_)},
         400,
         R"({"code":"malformed"})"},
        {"an account taken from an answer",
         {saveCall(QStringLiteral("己"), key + '4', account_),
          QJsonObject{{"procedure", "sp_savezpdata2"},
                      {"values", QJsonObject{{"@z_accid", QJsonObject{{"from", 0}, {"out", "@z_filial_id"}}},
                                             {"@z_filial", "他"}}}}},
         400,
         R"({"code":"malformed"})"},
        // Guesses keep to the log-on's own door, where they are counted per address.
        {"a log-on among the calls",
         {saveCall(QStringLiteral("己"), key + '5', account_),
          QJsonObject{{"procedure", "sp_trylogon"},
                      {"values", QJsonObject{{"@z_user_no", "x"}, {"@z_pswd", "y"}}}}},
         404,
         R"({"code":"no_procedure"})"},
    };
    for (const auto& c : cases) {
        const RawReply reply = post(Json({{"calls", c.calls}}));
        EXPECT_EQ(reply.status, c.status) << c.what;
        EXPECT_EQ(reply.body, QByteArray(c.body)) << c.what;
    }
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM members WHERE myacc_id = $1"), {account_}),
              QStringList{"0"});

    // The program says so in its words, for the batch's first call.
    ServerBatch batch(cmd_);
    setSave(QStringLiteral("己"));
    batch.Add();
    setSave(QStringLiteral("他"), QString(), other_);
    batch.Add();
    const ServerBatch::Outcome outcome = batch.Send();
    EXPECT_EQ(outcome.done, 0);
    ASSERT_TRUE(outcome.failure);
    EXPECT_EQ(
        outcome.failure->Description(),
        QStringLiteral("调用过程“sp_savezpdata2”失败：服务器拒绝了这个请求：其中有不是本次登录帐号的操作。"));
    EXPECT_EQ(rows(QStringLiteral("SELECT count(*) FROM members WHERE myacc_id = $1"), {account_}),
              QStringList{"0"});
}

// A call that fails stops the batch: those before it are done, those after it are not, and the failure
// is said as the call alone would say it.
TEST_F(DoorBatchTest, AFailureStopsTheBatchWhereItStands) {
    ASSERT_TRUE(server_->admin()
                    .execScript(QStringLiteral(
                        "CREATE FUNCTION refuse_page() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                        "RAISE EXCEPTION '页面被拒绝'; END $$; "
                        "CREATE TRIGGER refuse_page BEFORE INSERT ON member_stories FOR EACH ROW "
                        "EXECUTE FUNCTION refuse_page();"))
                    .ok);
    const struct {
        const char* what;
        const char* mother;  // of the second save
        bool page;           // the second member's page follows his save
        int done;
    } cases[] = {{"a value holding NUL", "母\0x", false, 1}, {"the page the server refuses", "母", true, 2}};
    for (const auto& c : cases) {
        const QString mother = QString::fromUtf8(c.mother, qstrlen(c.mother) + (c.page ? 0 : 2));
        ServerBatch batch(cmd_);
        setSave(QStringLiteral("一"));
        batch.Add();
        setSave(QStringLiteral("二"));
        cmd_.SetValue(QStringLiteral("@z_mother"), mother);
        batch.Add();
        if (c.page) {
            cmd_.SetCommandText(QStringLiteral("sp_savestory"));
            cmd_.SetValue(QStringLiteral("@z_descript"), QStringLiteral("x"));
            batch.Add({{QStringLiteral("@z_filial"), 1, QStringLiteral("@z_filial")}});
        }
        setSave(QStringLiteral("三"));
        batch.Add();
        const ServerBatch::Outcome outcome = batch.Send();
        EXPECT_EQ(outcome.done, c.done) << c.what;
        ASSERT_TRUE(outcome.failure) << c.what;

        // The same call alone.
        if (c.page) {
            cmd_.SetCommandText(QStringLiteral("sp_savestory"));
            cmd_.SetValue(QStringLiteral("@z_filial"), QStringLiteral("二"));
            cmd_.SetValue(QStringLiteral("@z_descript"), QStringLiteral("x"));
        } else {
            setSave(QStringLiteral("二"));
            cmd_.SetValue(QStringLiteral("@z_mother"), mother);
        }
        EXPECT_EQ(outcome.failure->Description(), ServerErrorOf([&] { cmd_.Execute(); })) << c.what;
        EXPECT_EQ(outcome.failure->SqlState(), c.page ? QStringLiteral("P0001") : QStringLiteral("door:nul"));
        EXPECT_EQ(rows(QStringLiteral("SELECT string_agg(filial, ',' ORDER BY filial_id) FROM members WHERE "
                                      "myacc_id = $1"),
                       {account_}),
                  QStringList{c.page ? QStringLiteral("一,二") : QStringLiteral("一")})
            << c.what;
        server_->admin().exec(QStringLiteral("DELETE FROM members WHERE myacc_id = $1"), {account_});
    }
}

// A batch stays within its bounds, in calls and in bytes; an empty one takes any single call, which the
// door's body limit allows.
TEST_F(DoorBatchTest, ABatchKeepsToItsBounds) {
    ServerBatch batch(cmd_);
    for (int i = 0; i < ServerBatch::kMaxCalls; ++i) {
        setSave(QStringLiteral("成员%1").arg(i));
        ASSERT_EQ(batch.Add(), i);
    }
    setSave(QStringLiteral("多一个"));
    EXPECT_EQ(batch.Add(), -1);
    EXPECT_EQ(batch.Size(), ServerBatch::kMaxCalls);
    EXPECT_EQ(batch.Send().done, ServerBatch::kMaxCalls);

    cmd_.SetCommandText(QStringLiteral("sp_saveimage"));
    cmd_.SetValue(QStringLiteral("@z_filial"), QStringLiteral("成员0"));
    cmd_.SetValue(QStringLiteral("@z_imgpath"), QStringLiteral("大.avi"));
    cmd_.SetValue(QStringLiteral("@z_myimage"), QByteArray(12 * 1024 * 1024 - 1, 'a'));
    EXPECT_EQ(batch.Add(), 0);  // alone, above the batch's bytes
    cmd_.SetValue(QStringLiteral("@z_myimage"), QByteArray(10, 'b'));
    EXPECT_EQ(batch.Add(), -1);
    const ServerBatch::Outcome big = batch.Send();
    EXPECT_FALSE(big.failure);
    EXPECT_EQ(rows(QStringLiteral("SELECT length(myimage) FROM member_images")), QStringList{"12582911"});
}

// Each call of a batch runs with the program's rights, a picture call with its longer time-out; only the
// batch's last commit waits for the disk, and a batch that stops early has its answers on disk before
// they are sent (an empty commit that waits, door_flush).
TEST_F(DoorBatchTest, EachCallHasTheProgramsRightsAndEveryAnswerIsOnDiskWhenSent) {
    // What each call and each flush saw: its role, its commit's wait, whether its transaction had an id
    // before it wrote this, its time-out.
    ASSERT_TRUE(
        server_->admin()
            .execScript(QStringLiteral(
                "CREATE TABLE seen (n serial, what text, who text, waits text, xid boolean, timeout text);"
                "ALTER TABLE seen OWNER TO qntzp_owner;"
                "GRANT INSERT ON seen TO qntzpsvr01; GRANT USAGE ON SEQUENCE seen_n_seq TO qntzpsvr01;"
                "CREATE FUNCTION see(what text) RETURNS void LANGUAGE plpgsql AS $$ DECLARE "
                "xid boolean := pg_current_xact_id_if_assigned() IS NOT NULL; BEGIN INSERT INTO seen "
                "(what, who, waits, xid, timeout) VALUES (what, current_user, "
                "current_setting('synchronous_commit'), xid, current_setting('statement_timeout')); "
                "END $$;"
                "CREATE PROCEDURE note(INOUT what text) LANGUAGE plpgsql AS $$ BEGIN "
                "IF what = 'fail' THEN RAISE EXCEPTION 'refused'; END IF; PERFORM see(what); END $$;"
                "CREATE PROCEDURE note_picture(INOUT what text, picture bytea) LANGUAGE sql AS "
                "$$ SELECT see(what) $$;"
                "ALTER FUNCTION see(text) OWNER TO qntzp_owner;"
                "ALTER PROCEDURE note(text) OWNER TO qntzp_owner;"
                "ALTER PROCEDURE note_picture(text, bytea) OWNER TO qntzp_owner;"
                "GRANT EXECUTE ON ROUTINE see(text), note(text), note_picture(text, bytea) TO qntzpsvr01;"
                "ALTER FUNCTION door_flush() RENAME TO door_flush_itself;"
                "CREATE FUNCTION door_flush() RETURNS void LANGUAGE sql SECURITY DEFINER AS "
                "$$ SELECT door_flush_itself(); SELECT see('flush') $$;"
                "ALTER FUNCTION door_flush() OWNER TO qntzp_owner;"
                "GRANT EXECUTE ON FUNCTION door_flush() TO qntzp_pages;"))
            .ok);
    const auto note = [](const char* what) {
        if (QByteArray(what) == "picture")
            return QJsonObject{
                {"procedure", "note_picture"},
                {"values", QJsonObject{{"what", what}, {"picture", QJsonObject{{"base64", "AAE="}}}}}};
        return QJsonObject{{"procedure", "note"}, {"values", QJsonObject{{"what", what}}}};
    };
    const struct {
        const char* what;
        QList<const char*> calls;
        int answers;
        QStringList seen;  // what|who|waits|xid|timeout
    } cases[] = {
        {"three calls",
         {"a", "picture", "c"},
         3,
         {"a|qntzpsvr01|off|f|1min", "picture|qntzpsvr01|off|f|2min", "c|qntzpsvr01|on|t|1min"}},
        {"one call", {"a"}, 1, {"a|qntzpsvr01|on|f|1min"}},
        {"stopped by a failure",
         {"a", "b", "fail", "d"},
         2,
         {"a|qntzpsvr01|off|f|1min", "b|qntzpsvr01|off|f|1min", "flush|qntzp_owner|on|t|1min"}},
        {"stopped at its first call", {"fail", "b"}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server_->admin().exec(QStringLiteral("TRUNCATE seen"));
        QJsonArray calls;
        for (const char* what : c.calls) calls.append(note(what));
        const RawReply reply = post(Json({{"calls", calls}}));
        ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
        const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
        EXPECT_EQ(answer.value("answers").toArray().size(), c.answers);
        EXPECT_EQ(answer.contains("failure"), c.answers < c.calls.size());
        EXPECT_EQ(rows(QStringLiteral("SELECT what, who, waits, xid, timeout FROM seen ORDER BY n")), c.seen);
    }
}

// What the page service's account may do with the door's functions, and what the program's rights may
// not: opening a call takes those rights for its transaction alone, and only the page service keeps an
// answer or opens a call.
TEST_F(DoorBatchTest, OpeningACallTakesTheProgramsRightsForItsTransactionAlone) {
    std::unique_ptr<PgConnection> pages = PgConnection::Open(server_->pagesParams());
    ASSERT_TRUE(pages);
    const struct {
        const char* sql;
        const char* answer;  // its one value, or the failure's state
    } steps[] = {
        {"BEGIN", ""},
        {"SELECT door_open('', '', '10.0.0.1', true, 'later')", "0"},
        {"SELECT current_user || '|' || current_setting('synchronous_commit') || '|' || "
         "current_setting('statement_timeout') || '|' || current_setting('qentara.address', true)",
         "qntzpsvr01|off|2min|10.0.0.1"},
        {"SELECT door_keep('0123456789abcdef', 0, '{}')", "42501"},
        {"ROLLBACK", ""},
        {"SELECT current_user || '|' || current_setting('synchronous_commit') || '|' || "
         "current_setting('statement_timeout') || '|' || coalesce(current_setting('qentara.address', true), "
         "'')",
         "qntzp_pages|on|1min|"},
        {"SET ROLE qntzpsvr01", ""},
        {"SELECT door_open('', '', '', false, '')", "42501"},
        {"SELECT door_flush()", "42501"},
        {"SELECT door_begin('', '')", "42501"},
        {"RESET ROLE", ""},
    };
    for (const auto& step : steps) {
        const PgResult done = pages->exec(QString::fromUtf8(step.sql));
        EXPECT_EQ(done.ok ? done.rows.value(0).value(0) : done.sqlState, QString::fromUtf8(step.answer))
            << step.sql << ": " << done.error.toStdString();
    }
}
