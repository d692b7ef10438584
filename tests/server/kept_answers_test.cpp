// The answers the server keeps under the program's keys: only a call that stored something keeps its
// answer, each counted against the account that made the call, an account that keeps its fill is
// refused further saves with a message, and what is two days old is swept once a minute.

#include <gtest/gtest.h>

#include "support/community_server.h"

namespace {

class KeptAnswersTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(server_->startPages(), QString());
        writerConnection = OpenTestConnection();
        ServerCommand cmd(writerConnection.get());
        owner = RegisterTestAccount(cmd, QStringLiteral("owner"), QStringLiteral("主"), 1);
        ownerCredential = writerConnection->credential();
        protectedId = SaveTestMember(cmd, owner, 0, {QStringLiteral("护"), {}, {}, 1});
        ASSERT_GT(protectedId, 0);
        writer = RegisterTestAccount(cmd, QStringLiteral("writer"), QStringLiteral("写"));
        writerCredential = writerConnection->credential();
        ASSERT_GT(writer, 0);
    }
    QStringList rows(const QString& sql) {
        QStringList out;
        for (const QStringList& row : server_->admin().exec(sql).rows) out << row.join(u'|');
        return out;
    }
    QString value(const QString& sql) { return rows(sql).value(0); }
    // A keyed call straight to the page service, with the credential given.
    RawReply call(const QString& credential, const QByteArray& key, const QByteArray& procedure,
                  const QByteArray& values) {
        const QByteArray body =
            R"({"procedure":")" + procedure + R"(","key":")" + key + R"(","values":{)" + values + "}}";
        return RawExchange(server_->pages()->port(),
                           "POST /door/call HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Bearer " +
                               credential.toLatin1() + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                               "\r\n\r\n" + body);
    }
    QByteArray save(qint32 account, qint32 id, const QString& name) {
        return R"("@z_accid":")" + QByteArray::number(account) + R"(","@z_filial_id":")" +
               QByteArray::number(id) + R"(","@z_filial":")" + name.toUtf8() + '"';
    }
    QByteArray found(qint32 account, const QByteArray& name) {
        return R"("@z_acc_id":")" + QByteArray::number(account) + R"(","@z_maxp_id":"1","@z_group_name":")" +
               name + '"';
    }
    // "account:answers" for each account that keeps any, and the same as counted.
    QStringList kept() { return rows(QStringLiteral("SELECT acc_id || ':' || count(*) FROM door_answers GROUP BY acc_id ORDER BY acc_id")); }
    QStringList counted() {
        return rows(QStringLiteral("SELECT acc_id || ':' || zp_kept_answers(acc_id) FROM (SELECT DISTINCT acc_id "
                                   "FROM door_answer_counts) a ORDER BY acc_id"));
    }

    std::unique_ptr<DoorConnection> writerConnection;
    qint32 owner = 0, writer = 0, protectedId = 0;
    QString ownerCredential, writerCredential;
};

QByteArray Key(int n) {
    return QByteArray("7d1c0a52-0000-4000-8000-") + QByteArray::number(n).rightJustified(12, '0');
}

}  // namespace

TEST_F(KeptAnswersTest, OnlyCallsThatStoredSomethingKeepTheirAnswerCountedAgainstTheCaller) {
    const QByteArray over = save(writer, protectedId, QStringLiteral("改护"));
    const struct {
        const char* what;
        bool byOwner;
        QByteArray procedure;
        QByteArray values;
        bool keeps;
    } calls[] = {
        {"the owner saves a member", true, "sp_savezpdata2", save(owner, 0, QStringLiteral("甲")), true},
        {"a save over another's protected member stores nothing", false, "sp_savezpdata2", over, false},
        {"a name too long founds nothing", false, "sp_CreateGroup", found(writer, QByteArray(51, 'g')), false},
        {"an association founded", false, "sp_CreateGroup", found(writer, "宗亲会"), true},
        {"the writer saves a member", false, "sp_savezpdata2", save(writer, 0, QStringLiteral("乙")), true},
    };
    int n = 0;
    for (const auto& c : calls) {
        const RawReply reply = call(c.byOwner ? ownerCredential : writerCredential, Key(++n), c.procedure,
                                    c.values);
        EXPECT_EQ(reply.status, 200) << c.what << ": " << reply.body.toStdString();
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM door_answers WHERE call_key = '%1'")
                            .arg(QString::fromLatin1(Key(n)))),
                  c.keeps ? QStringLiteral("1") : QStringLiteral("0"))
            << c.what;
    }
    // The owner's first answer is its protected member's save.
    const QStringList expected = {QStringLiteral("%1:2").arg(owner), QStringLiteral("%1:2").arg(writer)};
    EXPECT_EQ(kept(), expected);
    EXPECT_EQ(counted(), expected);

    // The save that stored nothing, sent again under its key, is done again and stores nothing again.
    const RawReply again = call(writerCredential, Key(2), "sp_savezpdata2", over);
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(value(QStringLiteral("SELECT filial FROM members WHERE filial_id = %1").arg(protectedId)),
              QStringLiteral("护"));
    EXPECT_EQ(kept(), expected);
}

TEST_F(KeptAnswersTest, AnAccountThatKeepsItsFillIsRefusedFurtherSavesAndOthersAreNot) {
    const RawReply made = call(writerCredential, Key(1), "sp_savezpdata2", save(writer, 0, QStringLiteral("前")));
    ASSERT_EQ(made.status, 200);
    // The fill, kept over the last two days.
    server_->admin().exec(QStringLiteral("INSERT INTO door_answer_counts VALUES (%1, date_trunc('hour', now()) - "
                                         "interval '47 hours', 399999)")
                              .arg(writer));
    const QString full =
        QStringLiteral("调用过程“sp_savezpdata2”失败：帐号两天内在服务器上的保存已达 400000 次的上限，请稍后再试。");
    const struct {
        const char* what;
        bool byWriter;
        int key;
        QString name;
        QString refusal;
    } steps[] = {
        {"the writer's fill is refused", true, 2, QStringLiteral("满"), full},
        {"another account saves", false, 3, QStringLiteral("别"), {}},
    };
    for (const auto& s : steps) {
        auto connection = OpenTestConnection(s.byWriter ? writerCredential : ownerCredential);
        ServerCommand cmd(connection.get());
        const QString error =
            ServerErrorOf([&] { SaveTestMember(cmd, s.byWriter ? writer : owner, 0, {s.name}); });
        EXPECT_EQ(error, s.refusal) << s.what;
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM members WHERE filial = '%1'").arg(s.name)),
                  s.refusal.isEmpty() ? QStringLiteral("1") : QStringLiteral("0"))
            << s.what;
    }
    // A call sent again under a kept key is still answered as the first.
    EXPECT_EQ(call(writerCredential, Key(1), "sp_savezpdata2", save(writer, 0, QStringLiteral("前"))).body,
              made.body);
    // An hour later the oldest hour has lapsed.
    server_->admin().exec(QStringLiteral("UPDATE door_answer_counts SET hour = hour - interval '2 hours' WHERE kept = 399999"));
    EXPECT_EQ(call(writerCredential, Key(4), "sp_savezpdata2", save(writer, 0, QStringLiteral("后"))).status, 200);
}

TEST_F(KeptAnswersTest, AnswersTwoDaysOldAreSweptOnceAMinute) {
    server_->admin().exec(QStringLiteral(
        "INSERT INTO door_answers (call_key, acc_id, answer, created) SELECT 'old-' || n, %1, '{}', now() - "
        "interval '49 hours' FROM generate_series(1, 3) n")
                              .arg(writer));
    server_->admin().exec(QStringLiteral("INSERT INTO door_answer_counts VALUES (%1, date_trunc('hour', now()) - "
                                         "interval '50 hours', 3)")
                              .arg(writer));
    struct Step {
        const char* what;
        const char* lastSweep;  // ago
        int oldLeft;
        int keptNow;
    };
    const Step steps[] = {
        // The owner's save of its protected member keeps one answer from the start.
        {"swept under a minute ago: not yet", "30 seconds", 3, 2},
        {"a minute ago: swept now", "61 seconds", 0, 3},
    };
    int n = 0;
    for (const Step& s : steps) {
        server_->admin().exec(QStringLiteral("INSERT INTO server_sweeps VALUES ('door_answers', now() - interval '%1') "
                                             "ON CONFLICT (job) DO UPDATE SET last_run = EXCLUDED.last_run")
                                  .arg(QLatin1String(s.lastSweep)));
        ASSERT_EQ(call(writerCredential, Key(++n), "sp_savezpdata2",
                       save(writer, 0, QStringLiteral("新%1").arg(n)))
                      .status,
                  200);
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM door_answers WHERE call_key LIKE 'old-%'")).toInt(),
                  s.oldLeft)
            << s.what;
        EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM door_answers WHERE call_key NOT LIKE 'old-%'")).toInt(),
                  s.keptNow)
            << s.what;
    }
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM door_answer_counts WHERE kept = 3")), QStringLiteral("0"));
    EXPECT_EQ(value(QStringLiteral("SELECT zp_kept_answers(%1)").arg(writer)), QStringLiteral("2"));
}
