// The window-free rules of the e-book search, list and publication.

#include <gtest/gtest.h>

#include "community/ebook_library.h"
#include "community/ebook_publishing.h"
#include "community/ebook_search.h"
#include "community/ebook_tables.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/http_procedures.h"
#include "frame/text_scramble.h"
#include "platform/interaction/interaction.h"
#include "support/book_fixture.h"

namespace {

TEST(EbookSearchRules, CategoryRefreshIsDueOnlyBeyondOneDay) {
    const QDate today(2024, 5, 22);
    const struct {
        QString saved;
        bool due;
    } cases[] = {{QStringLiteral("2024-05-22"), false},
                 {QStringLiteral("2024-05-21"), false},
                 {QStringLiteral("2024-05-23"), false},
                 {QStringLiteral("2024-05-20"), true},
                 {QStringLiteral("2024-05-24"), true},
                 {QStringLiteral("昨天"), true},
                 {QString(), true}};
    for (const auto& c : cases)
        EXPECT_EQ(ebook_search::CategoriesDue(c.saved, today), c.due) << c.saved.toStdString();
}

TEST(EbookSearchRules, RepliesSplitIntoPaddedRecordsUpToTheFirstEmptyOne) {
    using Records = QList<QStringList>;
    const auto padded = [](QStringList fields) {
        while (fields.size() < ebook_search::kFields) fields << QString();
        return fields;
    };
    const QStringList first =
        QStringLiteral("0%!5%!张氏%!张三%!张四%!1.5%!3%!%!http://h/a.mdb%!备注").split(QStringLiteral("%!"));
    const QStringList second =
        QStringLiteral("1%!6%!王氏%!王五%!%!0.25%!0%!x%!http://h/b.mdb%!").split(QStringLiteral("%!"));
    EXPECT_EQ(ebook_search::ParseReply(first.join(QStringLiteral("%!")) + QStringLiteral("@~") +
                                       second.join(QStringLiteral("%!")) + QStringLiteral("@~")),
              Records({first, second}));
    EXPECT_EQ(ebook_search::ParseReply(first.join(QStringLiteral("%!")) + QStringLiteral("@~@~") +
                                       second.join(QStringLiteral("%!")) + QStringLiteral("@~")),
              Records({first}));
    EXPECT_EQ(ebook_search::ParseReply(QStringLiteral("0%!7%!七%!甲%!乙%!2%!9@~")),
              Records({padded(QStringLiteral("0%!7%!七%!甲%!乙%!2%!9").split(QStringLiteral("%!")))}));
    EXPECT_EQ(ebook_search::ParseReply(QString()), Records());
}

TEST(EbookSearchRules, SteppersAndQueryEncoding) {
    const struct {
        const char* text;
        bool up;
        const char* result;
    } steps[] = {{"100", false, "90"}, {"10", false, "9"},     {"1", false, "0"},
                 {"0", false, "0"},    {"1000", false, "900"}, {"100", true, "200"},
                 {"9", true, "10"},    {"0", true, "1"},       {"", true, "0"}};
    for (const auto& s : steps)
        EXPECT_EQ(ebook_search::DownNumStep(QString::fromLatin1(s.text), s.up), QString::fromLatin1(s.result))
            << s.text << (s.up ? " up" : " down");
    EXPECT_EQ(ebook_search::GradeStep(100, true), 100);
    EXPECT_EQ(ebook_search::GradeStep(95, true), 100);
    EXPECT_EQ(ebook_search::GradeStep(0, false), 0);
    EXPECT_EQ(ebook_search::GradeStep(5, false), 0);

    SetBuiltInServerUrl(QStringLiteral("http://127.0.0.1:9"));
    ebook_search::Criteria criteria;
    criteria.name = QStringLiteral(" 张&王 #1 ");
    criteria.category = QStringLiteral("族谱");
    criteria.downNum = QStringLiteral("12abc");
    EXPECT_EQ(ebook_search::SearchUrl(criteria).toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:9/flsh2/getbooklist3.asp?bk_name=%E5%BC%A0%26%E7%8E%8B%20%231"
                             "&bk_org=&bk_e=&bk_key=&bk_odklj=%E6%97%8F%E8%B0%B1&down_num=12"));
    SetBuiltInServerUrl(QString());
}

TEST(EbookLibraryRules, TheBatchEndsSayingWhatItCameTo) {
    using ebook_library::BatchOutcome;
    const struct {
        BatchOutcome outcome;
        const char* text;
        int style;
    } cases[] = {
        {{false, 3, 0, 0}, "下载完毕！已导入 3 个电子文档。", vb::Information},
        {{false, 2, 1, 0}, "下载完毕！已导入 2 个电子文档，服务器上没有 1 个。", vb::Exclamation},
        {{false, 0, 1, 2},
         "下载完毕！已导入 0 个电子文档，服务器上没有 1 个，2 个未能下载或导入。",
         vb::Exclamation},
        {{true, 1, 0, 0}, "下载已停止！已导入 1 个电子文档。", vb::Exclamation},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.outcome.Text(), QString::fromUtf8(c.text));
        EXPECT_EQ(c.outcome.Style(), c.style) << c.text;
    }
}

TEST(EbookPublishingRules, AddressesNamesAndReplies) {
    const auto address = ebook_publishing::SplitAddress(QStringLiteral("http://h:1/ebook/WangShi.mdb"));
    EXPECT_EQ(address.folder, QStringLiteral("http://h:1/ebook/"));
    EXPECT_EQ(address.fileName, QStringLiteral("WangShi.mdb"));
    EXPECT_EQ(ebook_publishing::BookNameOf(QStringLiteral("王氏.族谱.mdb")), QStringLiteral("王氏"));
    EXPECT_EQ(ebook_publishing::SizeText(5 * 1024 * 1024 + 5000), QStringLiteral("5.00M"));
    EXPECT_EQ(ebook_publishing::NetSizeText(12345), QStringLiteral("12345 Byte"));
    const struct {
        const char* reply;
        bool ok;
    } replies[] = {{"0", false}, {"", false}, {"abc", false}, {"1", true}, {"256", true}, {"12abc", true}};
    for (const auto& r : replies)
        EXPECT_EQ(ebook_publishing::PublishReplyOk(QString::fromLatin1(r.reply)), r.ok) << r.reply;
}

class EbookHits : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
};

// Found by fuzzing: numbers beyond 64 bits in a reply were converted with undefined results.
TEST_F(EbookHits, NumbersBeyondRangeInAReplyAreStoredAsZero) {
    ebook_search::StoreHits(ebook_search::ParseReply(QStringLiteral("x%!8.8e89%!名%!%!%!1%!-1e300")));
    dao::Recordset rs =
        App().DataDb.OpenRecordset(QStringLiteral("SELECT ebook_id, down_num FROM \"newdown_eb\""));
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.value(0).toLongLong(), 0);
    EXPECT_EQ(rs.value(1).toLongLong(), 0);
}

TEST_F(EbookHits, StoredHitsKeepNumbersAndConcealAddressesAndComeBackAsListRows) {
    ebook_search::StoreHits(ebook_search::ParseReply(
        QStringLiteral("3%!15%!张氏族谱%!张三%!张四%!2.5%!7%!") +
        EncodeText(QStringLiteral("ABC"), ServerKey()) +
        QStringLiteral("%!http://h/ebook/ZhangShi.mdb%!迁居记@~0%!16%!七字段%!甲%!乙%!0.1%!0@~")));
    dao::Recordset rs =
        App().DataDb.OpenRecordset(QStringLiteral("SELECT * FROM \"newdown_eb\" ORDER BY rowid"));
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.value(QStringLiteral("ebook_id")).toLongLong(), 15);
    EXPECT_EQ(rs.value(QStringLiteral("down_num")).toLongLong(), 7);
    EXPECT_DOUBLE_EQ(rs.value(QStringLiteral("itsize")).toDouble(), 2.5);
    EXPECT_EQ(rs.Text(QStringLiteral("save_path")),
              DecodeText(QStringLiteral("http://h/ebook/ZhangShi.mdb"), EbookListKey()));
    EXPECT_EQ(rs.Text(QStringLiteral("eb_innerno")),
              DecodeText(QStringLiteral("张氏族谱%3%7"), EbookListKey()));
    rs.MoveNext();
    ASSERT_TRUE(rs.hasRow());
    EXPECT_EQ(rs.Text(QStringLiteral("save_path")), QString());
    EXPECT_EQ(rs.Text(QStringLiteral("script_key")), QString());
    rs.Close();

    const ebook_library::Book book = ebook_library::BookOf(15);
    EXPECT_TRUE(book.found);
    EXPECT_EQ(book.url, QStringLiteral("http://h/ebook/ZhangShi.mdb"));
    EXPECT_EQ(book.digest, QStringLiteral("ABC"));
    const auto columns = group_window_columns::Shown(QStringLiteral("newdown_eb"));
    ASSERT_EQ(columns.size(), 7);
    const auto rows = ebook_library::Rows(columns);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].texts, QStringList({"1", "张氏族谱", "2.50", "7", "张三", "张四", "迁居记"}));
    EXPECT_EQ(rows[0].key, QStringLiteral("15%1%3"));
    EXPECT_EQ(ebook_library::ItemId(rows[1].key), 16);
    EXPECT_EQ(ebook_library::ListMark(DecodeText(QStringLiteral("无标记"), EbookListKey())), QString());

    // A download counted twice edits its record; the hit's count grows each time.
    ebook_library::RecordDownload(15, rows[0].key, QDateTime(QDate(2024, 5, 1), QTime(8, 0)));
    ebook_library::RecordDownload(15, rows[0].key, QDateTime(QDate(2024, 5, 2), QTime(9, 30)));
    EXPECT_EQ(
        App().DataDb.Scalar(QStringLiteral("SELECT down_num FROM newdown_eb WHERE ebook_id = 15")).toInt(),
        9);
    EXPECT_EQ(App().DataDb.Scalar(QStringLiteral("SELECT count(*) FROM olddown_eb")).toInt(), 1);
    EXPECT_TRUE(App()
                    .DataDb.Scalar(QStringLiteral("SELECT lastdowndt FROM olddown_eb"))
                    .toString()
                    .contains(QStringLiteral("9:30")));
}

}  // namespace
