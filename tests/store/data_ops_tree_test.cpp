#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <memory>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"

namespace {

class TreePages : public DataOpsFixture {
protected:
    void SetUp() override {
        DataOpsFixture::SetUp();
        App().NodesPerPage = 5;
    }
    void TearDown() override {
        EXPECT_FALSE(Progress().IsShown());
        DataOpsFixture::TearDown();
    }

    void Add(const QString& name, const QString& father, int generation = -9999, bool male = true,
             int sort = 0, const QString& birthday = "") {
        db().Execute(
            "INSERT INTO \"本姓成员\" (filial, father, generation, Boy_Sex, boy_sort, boy_birthday) "
            "VALUES (?, ?, ?, ?, ?, ?)",
            {name, father, generation, male, sort, birthday});
    }
    void AddStart(const QString& name, qint32 page, qint32 generation = 0) {
        PageStartStore(db()).AddStart(page, name, generation);
    }

    void Show(qint32 page) {
        App().CurrentPage = page;
        ops_->显示世祖(tree_, 5);
        ops_->Tree分结点数展开(tree_, 5);
    }
    // The page's nodes in index order as "key|text|image|parent key".
    QStringList Nodes() const {
        QStringList out;
        for (int i = 1; i <= tree_.Count(); ++i)
            out << QStringLiteral("%1|%2|%3|%4")
                       .arg(tree_.KeyAt(i), tree_.TextAt(i))
                       .arg(tree_.ImageAt(i))
                       .arg(tree_.ParentKeyAt(i));
        return out;
    }
    QStringList Starts(qint32 page) {
        QStringList out;
        for (const PageStart& s : PageStartStore(db()).StartsOf(page))
            out << s.name + "/" + QString::number(s.generation);
        return out;
    }
    QStringList AllStarts() {
        QStringList out;
        const qint32 last = PageStartStore(db()).HighestPage();
        for (qint32 page = 1; page <= last; ++page)
            for (const QString& s : Starts(page)) out << QString::number(page) + "/" + s;
        return out;
    }
    QStringList Queue(const QString& field = "filial") {
        QStringList out;
        for (auto rs = db().OpenRecordset("SELECT " + field + " FROM temp ORDER BY tempid"); rs.hasRow();
             rs.MoveNext())
            out << rs.Text(field);
        return out;
    }
    // The tree window's page jump: the starts of a recorded page into the queue, then one call a page.
    void QueueStartsOf(qint32 page) {
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(page))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
        App().CurrentPage = page - 1;
    }
    int QueueSize() { return db().Scalar("SELECT count(*) FROM temp").toInt(); }

    // One root, three children, three grandchildren under each; siblings stored out of order.
    void AddExampleBook() {
        Add("R", "", 1);
        Add("C", "R", 2, true, 3);
        Add("B", "R", 2, true, 2);
        Add("A", "R", 2, false, 1);
        for (const QString p : {"A", "B", "C"})
            for (int i = 3; i >= 1; --i)
                Add(p + QString::number(i), p, 3, true, 0, QStringLiteral("190%1").arg(i));
    }

    MemoryTreeNodes tree_;
};

TEST_F(TreePages, PagesOfTheExampleBook) {
    AddExampleBook();
    ops_->Find世祖(0, "");

    Show(1);
    EXPECT_EQ(Nodes(), QStringList({"_R|R|3|", "_A|A|2|_R", "_B|B|1|_R", "_C|C|1|_R", "_A1|A1|1|_A",
                                    "_A2|A2|1|_A", "_A3|A3|1|_A"}));
    for (int i = 1; i <= tree_.Count(); ++i) EXPECT_TRUE(tree_.IsExpanded(i)) << i;
    EXPECT_EQ(tree_.SelectedIndex(), 1);
    EXPECT_EQ(Starts(2), QStringList({"B/2", "C/2", "A1/3", "A2/3", "A3/3"}));
    EXPECT_EQ(Queue(), QStringList({"B", "C", "A1", "A2", "A3"}));
    EXPECT_EQ(Queue("f_key"), QStringList({"_B", "_C", "_A1", "_A2", "_A3"}));
    EXPECT_TRUE(App().RepaginateNeeded);

    Show(2);
    EXPECT_EQ(Nodes(),
              QStringList({"_B|B|3|", "_C|C|3|", "_A1|A1|3|", "_A2|A2|3|", "_A3|A3|3|", "_B1|B1|1|_B",
                           "_B2|B2|1|_B", "_B3|B3|1|_B", "_C1|C1|1|_C", "_C2|C2|1|_C", "_C3|C3|1|_C"}));
    EXPECT_EQ(Starts(3), QStringList({"B1/3", "B2/3", "B3/3", "C1/3", "C2/3", "C3/3"}));
    EXPECT_TRUE(App().RepaginateNeeded);

    Show(3);
    EXPECT_EQ(tree_.Count(), 6);
    EXPECT_EQ(Queue(), QStringList());
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(Starts(4), QStringList());
}

TEST_F(TreePages, DisplayQueuesEachStartWithChildrenOnceWithItsOwnGeneration) {
    AddExampleBook();
    AddStart("A", 2, 2);
    AddStart("B2", 2, 3);  // no children: shown, not queued
    App().CurrentPage = 2;
    ops_->显示世祖(tree_, 5);
    EXPECT_EQ(Nodes(), QStringList({"_A|A|3|", "_B2|B2|3|"}));
    EXPECT_EQ(Queue(), QStringList({"A"}));
    EXPECT_EQ(Queue("generation"), QStringList({"2"}));
    EXPECT_EQ(Queue("f_key"), QStringList({"_A"}));
}

TEST_F(TreePages, AFamilyLargerThanAPageStaysWhole) {
    Add("R", "", 1);
    for (int i = 1; i <= 8; ++i) Add(QStringLiteral("子%1").arg(i), "R", 2, i % 2 == 1, i);
    ops_->Find世祖(0, "");
    Show(1);
    EXPECT_EQ(tree_.Count(), 9);
    EXPECT_EQ(tree_.KeyAt(9), "_子8");
    EXPECT_EQ(tree_.ImageAt(9), TreeNodeSink::kImageFemale);
    EXPECT_EQ(Starts(2).size(), 8);
}

TEST_F(TreePages, WholeBookOnPageOneRecordsNoSecondPage) {
    Add("R", "", 1);
    Add("子", "R", 2);
    ops_->Find世祖(0, "");
    Show(1);
    EXPECT_EQ(tree_.Count(), 2);
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(AllStarts(), QStringList({"1/R/1"}));
}

TEST_F(TreePages, TwoRootsTheSecondStartsPageTwoOnce) {
    for (const QString r : {"甲", "乙"}) {
        Add(r, "", 1);
        for (int i = 1; i <= 10; ++i) Add(r + QString::number(i), r, 2, true, i);
    }
    ops_->Find世祖(0, "");
    Show(1);
    QStringList expected{"_甲|甲|3|", "_乙|乙|3|"};
    for (int i = 1; i <= 10; ++i) expected << QStringLiteral("_甲%1|甲%1|1|_甲").arg(i);
    EXPECT_EQ(Nodes(), expected);
    QStringList page2{"乙/1"};
    for (int i = 1; i <= 10; ++i) page2 << QStringLiteral("甲%1/2").arg(i);
    EXPECT_EQ(Starts(2), page2);
}

TEST_F(TreePages, HiddenRootsGoneAndRepeatedStartsArePassedOver) {
    Add("显祖", "", 1);
    Add("显一", "显祖", 2);
    Add("显二", "显一", 3);
    Add("隐祖", "No_Display", 1);
    Add("隐一", "隐祖", 2);
    Add("隐二", "隐一", 3);
    ops_->Find世祖(0, "");
    Show(1);
    EXPECT_EQ(Nodes(),
              QStringList({"_显祖|显祖|3|", "_隐祖|隐祖|3|", "_显一|显一|1|_显祖", "_显二|显二|1|_显一"}));

    for (const QString s : {"隐祖", "隐一", "已删除", "显一", "显一", "  "}) AddStart(s, 2, 2);
    App().CurrentPage = 2;
    ops_->显示世祖(tree_, 5);
    EXPECT_EQ(Nodes(), QStringList({"_显一|显一|3|"}));
    EXPECT_EQ(Queue(), QStringList({"显一"}));
}

TEST_F(TreePages, GenerationNumbersInNodeTexts) {
    Add("王一", "", 1);
    Add("王三", "王一", 4, false);
    Add("王四", "王一", -9999);
    ops_->Find世祖(0, "");
    App().GenerationsMarked = true;
    Show(1);
    EXPECT_EQ(Nodes(), QStringList({"_王一|{1}王一|3|", "_王三|{4}王三|2|_王一", "_王四|王四|1|_王一"}));
    App().GenerationsMarked = false;
    Show(1);
    EXPECT_EQ(tree_.TextAt(2), "王三");
}

TEST_F(TreePages, ExpandingAPageAgainKeepsTheNextPageButTheJumpRecutsIt) {
    AddExampleBook();
    ops_->Find世祖(0, "");
    Show(1);
    Show(2);
    Add("B4", "B", 3, true, 4);
    Show(2);
    EXPECT_TRUE(tree_.Exists("_B4"));
    EXPECT_EQ(Starts(3), QStringList({"B1/3", "B2/3", "B3/3", "C1/3", "C2/3", "C3/3"}));

    QueueStartsOf(2);
    QString target;
    ops_->Node分结点数跳页(5, target);
    EXPECT_EQ(Starts(3), QStringList({"B1/3", "B2/3", "B3/3", "B4/3", "C1/3", "C2/3", "C3/3"}));
    EXPECT_EQ(Queue(), QStringList({"B1", "B2", "B3", "B4", "C1", "C2", "C3"}));
    EXPECT_TRUE(target.isEmpty());
}

TEST_F(TreePages, AQueuedNodeOutsideTheTreeIsAnErrorAndTheWindowGoes) {
    Add("R", "", 1);
    Add("子", "R", 2);
    db().Execute("INSERT INTO temp (filial, generation, f_key) VALUES ('R', 1, '_R')");
    EXPECT_THROW(ops_->Tree分结点数展开(tree_, 5), TreeKeyError);
    EXPECT_FALSE(Progress().IsShown());
    EXPECT_EQ(Queue(), QStringList({"R"}));  // nothing written
}

TEST_F(TreePages, JumpSeesTheTargetOnlyAmongAddedChildren) {
    AddExampleBook();
    ops_->Find世祖(0, "");
    QueueStartsOf(1);
    QString target = "R";  // a start of the page, not a child added to it
    ops_->Node分结点数跳页(5, target);
    EXPECT_EQ(target, "R");
    EXPECT_EQ(Starts(2), QStringList({"B/2", "C/2", "A1/3", "A2/3", "A3/3"}));
    EXPECT_EQ(Queue(), QStringList({"B", "C", "A1", "A2", "A3"}));

    App().CurrentPage = 1;
    target = "C2";
    ops_->Node分结点数跳页(5, target);
    EXPECT_EQ(target, "%SeekOK%");
    EXPECT_EQ(Starts(3), QStringList({"B1/3", "B2/3", "B3/3", "C1/3", "C2/3", "C3/3"}));

    App().CurrentPage = 2;
    target = "";
    ops_->Node分结点数跳页(5, target);
    EXPECT_EQ(target, "");
    EXPECT_EQ(QueueSize(), 0);
    EXPECT_FALSE(App().RepaginateNeeded);
}

TEST_F(TreePages, JumpSeesChangesMadeBetweenPages) {
    AddExampleBook();
    ops_->Find世祖(0, "");
    QueueStartsOf(1);
    QString target;
    ops_->Node分结点数跳页(5, target);
    Add("C4", "C", 3, true, 4);
    App().CurrentPage = 1;
    ops_->Node分结点数跳页(5, target);
    EXPECT_EQ(Starts(3), QStringList({"B1/3", "B2/3", "B3/3", "C1/3", "C2/3", "C3/3", "C4/3"}));
}

TEST_F(TreePages, ALoopInStalePageStartsEnds) {
    for (int i = 1; i <= 12; ++i)
        Add(QStringLiteral("环%1").arg(i), QStringLiteral("环%1").arg(i == 1 ? 12 : i - 1));
    App().NodesPerPage = 3;
    AddStart("环1", 1);
    Show(1);
    EXPECT_EQ(tree_.Count(), 4);

    QueueStartsOf(1);
    QString target;
    int calls = 0;
    for (; QueueSize() > 0 && calls < 50; ++calls) {
        ops_->Node分结点数跳页(3, target);
        ++App().CurrentPage;
    }
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(Starts(4), QStringList({"环10/-9999"}));
}

TEST_F(TreePages, JumpAndDisplayCutTheSamePagesOfARandomBook) {
    QRandomGenerator rng(104);
    QStringList names{"甲祖", "乙祖", "隐祖"};
    Add("甲祖", "", 1);
    Add("乙祖", "", 1);
    Add("隐祖", "No_Display", 1);
    for (int i = 3; i < 1000; ++i) {
        const QString name = QStringLiteral("员%1").arg(i);
        // Fathers drawn mostly from the latest members make a deep book with many childless members.
        const int low = std::max(0, int(names.size()) - 60);
        const QString father = names.at(low + int(rng.bounded(names.size() - low)));
        Add(name, father, i / 40, rng.bounded(2) == 0, int(rng.bounded(3)),
            rng.bounded(3) == 0 ? QString() : QStringLiteral("18%1").arg(rng.bounded(5)));
        names << name;
    }
    App().NodesPerPage = 7;
    App().GenerationsMarked = true;

    ops_->Find世祖(0, "");
    std::vector<QStringList> pages;
    for (qint32 page = 1; page < 400; ++page) {
        Show(page);
        pages.push_back(Nodes());
        if (QueueSize() == 0) break;
    }
    ASSERT_GT(pages.size(), 20u);
    EXPECT_FALSE(App().RepaginateNeeded);
    const QStringList displayed = AllStarts();

    ops_->Find世祖(0, "");
    QueueStartsOf(1);
    QString target;
    while (QueueSize() > 0 && App().CurrentPage < 400) {
        ops_->Node分结点数跳页(7, target);
        const qint32 written = App().CurrentPage + 2;
        // The queue holds exactly the members that start the page just cut.
        if (QueueSize() > 0) {
            QStringList starts;
            for (const QString& s : Starts(written)) starts << s.section('/', 0, 0);
            ASSERT_EQ(Queue(), starts) << "page " << written;
        }
        ++App().CurrentPage;
    }
    EXPECT_TRUE(target.isEmpty());
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(AllStarts(), displayed);
    EXPECT_EQ(App().CurrentPage, qint32(pages.size()));

    for (qint32 page = 1; page <= qint32(pages.size()); ++page) {
        Show(page);
        ASSERT_EQ(Nodes(), pages[size_t(page) - 1]) << "page " << page;
    }

    // Seeking a member stops on the page where the display first shows it below a start.
    for (int probe : {5, 123, 480, 777, 999}) {
        const QString name = QStringLiteral("员%1").arg(probe);
        qint32 expected = 0;
        for (size_t p = 0; p < pages.size() && expected == 0; ++p)
            for (const QString& node : pages[p])
                if (node.startsWith("_" + name + "|") && !node.endsWith("|")) expected = qint32(p) + 1;
        QueueStartsOf(1);
        QString seek = name;
        while (seek != "%SeekOK%" && QueueSize() > 0) {
            ops_->Node分结点数跳页(7, seek);
            ++App().CurrentPage;
        }
        EXPECT_EQ(seek == "%SeekOK%" ? App().CurrentPage : 0, expected) << name.toStdString();
    }
}

TEST_F(TreePages, GenerationRangeTreeForPrinting) {
    Add("祖", "", 1);
    Add("乙", "祖", 2, true, 2);
    Add("甲", "祖", 2, true, 1);
    Add("甲二", "甲", 3, true, 2);
    Add("甲一", "甲", 3, true, 1);
    Add("甲一一", "甲一", 4);
    Add("环甲", "环乙", 7);
    Add("环乙", "环甲", 7);
    db().Execute("INSERT INTO temp (filial) VALUES ('旧')");

    ops_->Tree分世代数展开(tree_, 2, 3);
    EXPECT_EQ(Nodes(), QStringList({"_甲|甲|0|", "_甲一|甲一|0|_甲", "_甲二|甲二|0|_甲"}));
    EXPECT_FALSE(tree_.IsExpanded(1));
    EXPECT_EQ(QueueSize(), 0);

    ops_->Tree分世代数展开(tree_, 1, 2);
    EXPECT_EQ(Nodes(), QStringList({"_祖|祖|0|", "_甲|甲|0|_祖", "_乙|乙|0|_祖"}));

    ops_->Tree分世代数展开(tree_, 7, 9);  // a loop in the father chain ends
    EXPECT_EQ(Nodes(), QStringList({"_环甲|环甲|0|", "_环乙|环乙|0|"}));
}

}  // namespace
