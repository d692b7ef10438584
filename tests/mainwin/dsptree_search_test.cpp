#include <gtest/gtest.h>

#include "dsptree_fixture.h"
#include "mainwin/tree_pages.h"
#include "store/page_start_store.h"
#include "store/test_data_generator.h"

namespace {

const QString kNotFound = QStringLiteral("搜索完毕，找不到！");
const QString kTurnPages = QStringLiteral("没有在当前页中！是否要翻到他所在的页？");

// Five lines of single sons, 20 generations, 5 members a page: page k ends with generation k of each
// line, so C7 is first placed on page 7.
class DsptreeSearchTest : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        ClsTest().生成测试数据(20);
        SetNodesPerPage(5);
    }
    // The member form in search mode answers one hit; it records which member it was shown.
    void ExpectHit(const QString& answer) {
        ui_->ExpectForm(QStringLiteral("Frm子女"), [this, answer](QObject*) {
            shown_ << App().SharedMember->strBoy;
            App().FormParamString = answer;
            return 1;
        });
    }
    QStringList Shape() {
        QStringList out;
        for (int i = 1; i <= Nodes().Count(); ++i) out << Nodes().KeyAt(i) + "<" + Nodes().ParentKeyAt(i);
        return out;
    }
    QStringList shown_;
};

TEST_F(DsptreeSearchTest, AHitOnALaterPageIsShownThere) {
    dsptree& w = Open();
    ExpectHit(QStringLiteral("ok"));
    ui_->ExpectMsgBox(vb::Yes);
    w.SeekMember(QStringLiteral("c7"));  // letters match without regard to case
    EXPECT_EQ(shown_, QStringList{"C7"});
    EXPECT_EQ(LastDialog().text, kTurnPages);
    EXPECT_EQ(App().CurrentPage, 7);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 7 页"));
    EXPECT_EQ(Nodes().KeyAt(1), QStringLiteral("_A6"));
    EXPECT_EQ(w.TreeVw()->currentItem(), Node(QStringLiteral("C7")));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("C7"));
    EXPECT_EQ(App().SelectedNodeIndex, Nodes().IndexOf(QStringLiteral("_C7")));

    // On the page shown: selected without a question.
    ExpectHit(QStringLiteral("ok"));
    w.SeekMember(QStringLiteral("E7"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("E7"));
    EXPECT_EQ(App().CurrentPage, 7);
}

// Past the first pages the walk goes on in memory; the page it lands on and the pages it records are
// those of the walk page by page.
TEST_F(DsptreeSearchTest, AHitFarIntoTheBookIsShownThere) {
    ClsTest().生成测试数据(300);
    for (const qint32 page : {kPagesWorthAWholeRead - 20, kPagesWorthAWholeRead + 130}) {
        SCOPED_TRACE(page);
        dsptree& w = Open();
        ExpectHit(QStringLiteral("ok"));
        ui_->ExpectMsgBox(vb::Yes);
        w.SeekMember(QStringLiteral("D%1").arg(page));
        EXPECT_EQ(App().CurrentPage, page);
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Qentara族谱 第 %1 页").arg(page));
        EXPECT_EQ(Nodes().KeyAt(1), QStringLiteral("_A%1").arg(page - 1));
        EXPECT_EQ(w.TreeTag(), QStringLiteral("D%1").arg(page));
        EXPECT_EQ(PageStartStore().StartsOf(page + 1).first().name, QStringLiteral("A%1").arg(page));
    }
}

TEST_F(DsptreeSearchTest, EveryHitPassedOverOrNoneAtAll) {
    dsptree& w = Open();
    for (int i = 0; i < 11; ++i) ExpectHit(QStringLiteral("s"));
    ui_->ExpectMsgBox(vb::OK);
    w.SeekMember(QStringLiteral("A1"));
    EXPECT_EQ(shown_,
              (QStringList{"A1", "A10", "A11", "A12", "A13", "A14", "A15", "A16", "A17", "A18", "A19"}));
    EXPECT_EQ(LastDialog().text, kNotFound);
    EXPECT_EQ(LastDialog().style, vb::Information);

    // A quote is plain text; nothing matches, and no member form opens.
    for (const QString& text : {QStringLiteral("不存在"), QStringLiteral("A1' OR '1'='1")}) {
        ui_->ExpectMsgBox(vb::OK);
        w.SeekMember(text);
        EXPECT_EQ(LastDialog().text, kNotFound);
    }
    EXPECT_EQ(shown_.size(), 11);

    ExpectHit(QString());  // the user stops
    w.SeekMember(QStringLiteral("B2"));
    EXPECT_EQ(App().CurrentPage, 1);
}

TEST_F(DsptreeSearchTest, AWalkWithoutAHitLeavesThePageAndOffersTheRepair) {
    Add(QStringLiteral("孤"), QStringLiteral("失"));  // its father is not in the book
    dsptree& w = Open();
    const QStringList page = Shape();
    const QString caption = w.windowTitle();

    ExpectHit(QStringLiteral("ok"));
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::No);
    w.SeekMember(QStringLiteral("孤"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("该成员失去连接，是否需要修复？"));
    EXPECT_EQ(LastDialog().style, vb::YesNo + vb::Critical);
    EXPECT_EQ(App().CurrentPage, 1);
    EXPECT_EQ(w.windowTitle(), caption);
    EXPECT_EQ(Shape(), page);

    ExpectHit(QStringLiteral("ok"));
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::OK);
    w.SeekMember(QStringLiteral("孤"));
    EXPECT_EQ(LastDialog().text, QStringLiteral("已修改复！重新打开即可。"));
    EXPECT_EQ(FatherOf(QStringLiteral("失")), QString());
    EXPECT_EQ(App().SharedMember->Find始祖(QStringLiteral("孤")), QStringLiteral("失"));
    EXPECT_TRUE(PageStartStore().StartsOf(1).contains(PageStart{QStringLiteral("失"), 0}));
    EXPECT_TRUE(App().RepaginateNeeded);

    // The new root starts on page 1, and the member is found below it.
    w.RebuildPage();
    EXPECT_TRUE(Nodes().Exists(QStringLiteral("_失")));
    ExpectHit(QStringLiteral("ok"));
    ui_->ExpectMsgBox(vb::Yes);
    w.SeekMember(QStringLiteral("孤"));
    EXPECT_EQ(w.TreeTag(), QStringLiteral("孤"));
}

TEST_F(DsptreeSearchTest, ALineThatRunsInACircleIsCutWhereItCloses) {
    Add(QStringLiteral("环一"), QStringLiteral("环二"));
    Add(QStringLiteral("环二"), QStringLiteral("环一"));
    dsptree& w = Open();
    ExpectHit(QStringLiteral("ok"));
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::Yes);
    ui_->ExpectMsgBox(vb::OK);
    w.SeekMember(QStringLiteral("环一"));
    EXPECT_EQ(FatherOf(QStringLiteral("环一")), QStringLiteral("环二"));
    EXPECT_EQ(FatherOf(QStringLiteral("环二")), QString());
    EXPECT_EQ(
        Db().Scalar(QStringLiteral("SELECT count(*) FROM \"本姓成员\" WHERE \"filial\" LIKE '环%'")).toInt(),
        2);
}

}  // namespace
