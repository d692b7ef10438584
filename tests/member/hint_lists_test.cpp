#include <gtest/gtest.h>
#include <QStringList>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/language.h"
#include "member/hint_lists.h"
#include "support/suite_book_fixture.h"

namespace {

class HintLists : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
        App().DataDb.Execute("CREATE TEMP TABLE \"shipped\" AS SELECT * FROM \"tempinfo\" ORDER BY rowid");
    }
    void SetUp() override {
        dao::Database& db = App().DataDb;
        db.Execute("DELETE FROM \"tempinfo\"");
        db.Execute(
            "INSERT INTO \"tempinfo\" (\"msg_id\", \"msgName\", \"pageflag\") "
            "SELECT \"msg_id\", \"msgName\", \"pageflag\" FROM temp.\"shipped\" ORDER BY rowid");
        db.Execute("DELETE FROM \"pageindx\"");
        App().Translator = std::make_shared<ClsLanguage>();
        App().LanguageId = 0;
        App().PrevLanguageId = 0;
    }

    // Every row of a list as "msgName|msg_id" in table order, msg_id "-" when Null.
    static QStringList Rows(int pageflag) {
        QStringList rows;
        dao::Recordset rs = App().DataDb.OpenRecordset(
            "SELECT \"msgName\", \"msg_id\" FROM \"tempinfo\" WHERE \"pageflag\" = ? ORDER BY rowid",
            {pageflag});
        for (; !rs.EOF_(); rs.MoveNext())
            rows << rs.Text("msgName") + "|" + (rs.IsNull("msg_id") ? "-" : rs.Text("msg_id"));
        return rows;
    }
    // Every keyword row as "filial|page_key|flag" in table order.
    static QStringList KeyRows() {
        QStringList rows;
        dao::Recordset rs = App().DataDb.OpenRecordset(
            "SELECT \"filial\", \"page_key\", \"flag\" FROM \"pageindx\" ORDER BY rowid");
        for (; !rs.EOF_(); rs.MoveNext())
            rows << rs.Text("filial") + "|" + rs.Text("page_key") + "|" + QString::number(rs.Long("flag"));
        return rows;
    }

    Cls提示 hints_;
};

TEST_F(HintLists, ShippedListsAppendInTableOrderAfterExistingItems) {
    QStringList folk{"已有"};
    hints_.Bind民族(folk);
    ASSERT_EQ(folk.size(), 57);
    EXPECT_EQ(folk.mid(0, 4), QStringList({"已有", "汉族", "蒙古族", "回族"}));
    EXPECT_EQ(folk.last(), "基诺族");

    QStringList education{""};
    hints_.Bind学历(education);
    EXPECT_EQ(education, QStringList({"", "私塾", "秀才", "举人", "进士", "小学", "初中", "高中", "中专",
                                      "大专", "本科", "硕士", "博士", "博士后"}));

    QStringList update;
    hints_.Bind100xi(update);
    EXPECT_EQ(update, QStringList({"程序和帮助文件", "仅更新程序", "仅更新帮助文件"}));

    // Lists that ship empty append nothing and keep what the control holds.
    QStringList ebook{"x"}, famous{"y"};
    hints_.BindEbook_Odklj(ebook);
    hints_.Bind名人谱(famous, "张氏");
    EXPECT_EQ(ebook, QStringList({"x"}));
    EXPECT_EQ(famous, QStringList({"y"}));
}

TEST_F(HintLists, BindingConvertsAndTrimsWhatIsShownButNotWhatIsStored) {
    hints_.Add学历("  大学 ");
    hints_.Add名人谱("文学家");
    hints_.Add名人谱("书法家");
    App().LanguageId = 1;  // switched to Traditional

    QStringList folk;
    hints_.Bind民族(folk);
    EXPECT_EQ(folk.mid(0, 5), QStringList({"漢族", "蒙古族", "回族", "藏族", "維吾爾族"}));

    QStringList education;
    hints_.Bind学历(education);
    EXPECT_EQ(education.mid(2, 2), QStringList({"舉人", "進士"}));
    EXPECT_EQ(education.last(), "大學");

    // The prefix is the caller's text and is not converted.
    QStringList famous;
    hints_.Bind名人谱(famous, "张氏");
    EXPECT_EQ(famous, QStringList({"张氏文學家", "张氏書法家"}));
    QStringList bare;
    hints_.Bind名人谱(bare, "");
    EXPECT_EQ(bare, QStringList({"文學家", "書法家"}));

    EXPECT_EQ(Rows(1).mid(0, 1), QStringList({"汉族|-"}));
    EXPECT_EQ(Rows(2).last(), "  大学 |-");
    EXPECT_EQ(Rows(3), QStringList({"文学家|-", "书法家|-"}));
}

TEST_F(HintLists, EachListWritesAndDeletesOnlyItsOwnPageflag) {
    hints_.Add民族("新族");
    hints_.Add学历("新族");
    hints_.Add名人谱("新族");
    EXPECT_EQ(Rows(1).last(), "新族|-");
    EXPECT_EQ(Rows(2).last(), "新族|-");
    EXPECT_EQ(Rows(3), QStringList({"新族|-"}));

    hints_.Delete学历("新族");
    EXPECT_EQ(Rows(1).last(), "新族|-");
    EXPECT_EQ(Rows(2).last(), "博士后|-");
    EXPECT_EQ(Rows(3), QStringList({"新族|-"}));

    // A name only present in another list deletes nothing here.
    hints_.Delete名人谱("汉族");
    hints_.Delete民族("私塾");
    EXPECT_EQ(Rows(1).size(), 57);
    EXPECT_EQ(Rows(2).size(), 13);
    EXPECT_EQ(Rows(3), QStringList({"新族|-"}));
    EXPECT_EQ(Rows(5).size(), 5);
    EXPECT_EQ(Rows(8).size(), 3);
}

TEST_F(HintLists, AddingTwiceKeepsOneRowAndQuotesAreOrdinaryText) {
    hints_.Add民族("汉'族");
    hints_.Add民族("汉'族");
    QStringList folk;
    hints_.Bind民族(folk);
    EXPECT_EQ(folk.count("汉'族"), 1);
    EXPECT_EQ(Rows(1).last(), "汉'族|-");

    hints_.Delete民族("汉'族");
    EXPECT_FALSE(Rows(1).contains("汉'族|-"));
    EXPECT_EQ(Rows(1).first(), "汉族|-");
    EXPECT_EQ(Rows(1).size(), 56);

    hints_.Add名人谱("x' OR '1'='1");
    hints_.Delete名人谱("x' OR '1'='1");
    EXPECT_TRUE(Rows(3).isEmpty());
    EXPECT_EQ(Rows(1).size(), 56);
}

TEST_F(HintLists, KeywordsAreSavedOncePerMemberAndBoundInOrderAsStored) {
    hints_.SaveP_Key("张三", "乙");
    hints_.SaveP_Key("张三", " 甲 ");
    hints_.SaveP_Key("张三", "乙");
    hints_.SaveP_Key("李四", "乙");
    hints_.SaveP_Key("张三", "汉'族");
    hints_.SaveP_Key("O'Neil", "丙");
    EXPECT_EQ(KeyRows(),
              QStringList({"张三|乙|-9", "张三| 甲 |-9", "李四|乙|-9", "张三|汉'族|-9", "O'Neil|丙|-9"}));

    App().LanguageId = 1;  // keywords are shown as typed, whatever the language
    QStringList keys{"旧"};
    hints_.BindP_Key(keys, "张三");
    EXPECT_EQ(keys, QStringList({"旧", "乙", " 甲 ", "汉'族"}));

    QStringList quoted, none;
    hints_.BindP_Key(quoted, "O'Neil");
    hints_.BindP_Key(none, "王五");
    EXPECT_EQ(quoted, QStringList({"丙"}));
    EXPECT_TRUE(none.isEmpty());
}

}  // namespace
