// The public page of an account, "/logonx.aspx?id=N": its members as the world may see them, or a page
// that shows nothing.

#include <gtest/gtest.h>
#include <QRegularExpression>

#include "frame/server_connection.h"
#include "support/community_server.h"

namespace {

const QString kNothing = QStringLiteral("<p>此帐号没有对外公开的族谱成员。</p>");

class PublicPagesTest : public CommunityServerTest {
protected:
    void SetUp() override {
        CommunityServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ConnectServerDb();
        cmd.SetActiveConnection(ServerConnection().get());
    }
    RawReply Page(const QByteArray& query) {
        return RawPageRequest(server_->pages()->port(), "GET", "/logonx.aspx?" + query);
    }
    // The table's rows as "generation|name|father".
    static QStringList Rows(const RawReply& reply) {
        static const QRegularExpression row(
            QStringLiteral("<tr><td class=\"g\">([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td></tr>"));
        QStringList out;
        for (auto it = row.globalMatch(QString::fromUtf8(reply.body)); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            out << m.captured(1) + u'|' + m.captured(2) + u'|' + m.captured(3);
        }
        return out;
    }
    void SetSort(qint32 id, int sort) {
        server_->admin().exec(
            QStringLiteral("UPDATE members SET boy_sort = %1 WHERE filial_id = %2").arg(sort).arg(id));
    }

    ServerCommand cmd;
};

}  // namespace

// Each member after his father, brothers in their order, every stored text escaped; the father of a
// tree's top named as sent, or as the server keeps him when the world may see him.
TEST_F(PublicPagesTest, AnOpenAccountShowsItsTreesInOrder) {
    const qint32 other = RegisterTestAccount(cmd, QStringLiteral("other"), QStringLiteral("他"), 1);
    const qint32 elder = SaveTestMember(cmd, other, 0, {QStringLiteral("王老")});
    const qint32 open = RegisterTestAccount(cmd, QStringLiteral("open"), QStringLiteral("公<开>&"), 1);
    const qint32 top = SaveTestMember(cmd, open, 0, {QStringLiteral("王一"), QStringLiteral("王老")});
    const qint32 second = SaveTestMember(cmd, open, 0, {QStringLiteral("王二"), QStringLiteral("王一")});
    const qint32 third =
        SaveTestMember(cmd, open, 0, {QStringLiteral("<script>alert(1)</script>"), QStringLiteral("王一")});
    SaveTestMember(cmd, open, 0, {QStringLiteral("王四"), QStringLiteral("王二")});
    SaveTestMember(cmd, open, 0, {QStringLiteral("李一"), QStringLiteral("\"李'父\"")});
    SetSort(second, 3);
    SetSort(third, 1);
    ASSERT_GT(elder, 0);
    ASSERT_GT(top, 0);

    const RawReply reply = Page("id=" + QByteArray::number(open));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.headers.value("content-type"), QByteArray("text/html; charset=utf-8"));
    const QString body = QString::fromUtf8(reply.body);
    EXPECT_TRUE(body.contains(QStringLiteral("<title>公&lt;开&gt;&amp; 的族谱成员</title>")));
    EXPECT_TRUE(body.contains(QStringLiteral("<p>共 5 名成员。</p>")));
    EXPECT_FALSE(body.contains(QStringLiteral("<script")));
    EXPECT_TRUE(body.contains(QStringLiteral("<html lang=\"zh-CN\">")));
    EXPECT_EQ(Rows(reply), QStringList({QStringLiteral("1|王一|王老"),
                                        QStringLiteral("2|&lt;script&gt;alert(1)&lt;/script&gt;|王一"),
                                        QStringLiteral("2|王二|王一"), QStringLiteral("3|王四|王二"),
                                        QStringLiteral("1|李一|&quot;李'父&quot;")}));

    // Once the elder's account no longer opens its data, he is named only as sent.
    server_->admin().exec(QStringLiteral("UPDATE accounts SET open_level = 2 WHERE acc_id = %1").arg(other));
    server_->admin().exec(
        QStringLiteral("UPDATE members SET father = '王老（旧）' WHERE filial_id = %1").arg(top));
    EXPECT_EQ(Rows(Page("id=" + QByteArray::number(open))).first(), QStringLiteral("1|王一|王老（旧）"));
}

// An account that keeps its data to itself or its association, an unknown one and an address without a
// number all show the same nothing.
TEST_F(PublicPagesTest, OtherAccountsShowNothing) {
    const qint32 closed = RegisterTestAccount(cmd, QStringLiteral("closed"), QStringLiteral("闭"), 0);
    SaveTestMember(cmd, closed, 0, {QStringLiteral("赵七")});
    const qint32 group = RegisterTestAccount(cmd, QStringLiteral("group"), QStringLiteral("会"), 2);
    SaveTestMember(cmd, group, 0, {QStringLiteral("钱八")});
    const qint32 empty = RegisterTestAccount(cmd, QStringLiteral("empty"), QStringLiteral("空"), 1);
    struct Case {
        QByteArray query;
        int status;
    };
    for (const Case& c :
         {Case{"id=" + QByteArray::number(closed), 200}, Case{"id=" + QByteArray::number(group), 200},
          Case{"id=" + QByteArray::number(empty), 200}, Case{"id=99999", 200}, Case{"id=abc", 400},
          Case{"id=", 400}, Case{"x=1", 400}}) {
        const RawReply reply = Page(c.query);
        EXPECT_EQ(reply.status, c.status) << c.query.toStdString();
        EXPECT_TRUE(QString::fromUtf8(reply.body).contains(kNothing)) << c.query.toStdString();
        EXPECT_FALSE(reply.body.contains("赵七") || reply.body.contains("钱八")) << c.query.toStdString();
    }
}

// A line deeper than the page shows: the first rows of it, and the number there are.
TEST_F(PublicPagesTest, ALongLineIsCutAtTheCap) {
    const qint32 open = RegisterTestAccount(cmd, QStringLiteral("open"), QStringLiteral("深"), 1);
    const qint32 top = SaveTestMember(cmd, open, 0, {QStringLiteral("L0")});
    const PgResult made = server_->admin().exec(
        QStringLiteral("DO $$ DECLARE last integer := %1; BEGIN FOR i IN 1..2500 LOOP "
                       "INSERT INTO members (filial, sent_name, father, father_id, myacc_id) "
                       "VALUES ('L' || i, 'L' || i, 'L' || (i - 1), last, %2) RETURNING filial_id INTO last; "
                       "END LOOP; END $$")
            .arg(top)
            .arg(open));
    ASSERT_TRUE(made.ok) << made.error.toStdString();
    const RawReply reply = Page("id=" + QByteArray::number(open));
    const QStringList rows = Rows(reply);
    ASSERT_EQ(rows.size(), 2000);
    EXPECT_EQ(rows.first(), QStringLiteral("1|L0|"));
    EXPECT_EQ(rows.last(), QStringLiteral("2000|L1999|L1998"));
    EXPECT_TRUE(QString::fromUtf8(reply.body)
                    .contains(QStringLiteral("<p>共 2501 名成员，此处列出前 2000 名。</p>")));
}
