#include <gtest/gtest.h>

#include <functional>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/memory_tree_nodes.h"
#include "store/page_start_store.h"

namespace {

using Page = QList<PageStart>;

// A root with 8 sons of 5 sons each, 5 members a page, every page recorded by the jump in memory.
class PageStartStoreTest : public DataOpsFixture {
protected:
    void SetUp() override {
        DataOpsFixture::SetUp();
        App().NodesPerPage = 5;
        Add("祖", "");
        for (int s = 0; s < 8; ++s) {
            Add(QStringLiteral("子%1").arg(s), "祖");
            for (int g = 0; g < 5; ++g) Add(QStringLiteral("孙%1%2").arg(s).arg(g), QStringLiteral("子%1").arg(s));
        }
    }
    void Add(const QString& name, const QString& father) {
        db().Execute("INSERT INTO \"本姓成员\" (filial, father, generation) VALUES (?, ?, 1)", {name, father});
    }
    void CutEveryPage() {
        ops_->Find世祖(0, "");
        WalkOnFrom(1);
    }
    // The jump in memory from a recorded page to the end.
    void WalkOnFrom(qint32 page) {
        QueueStartsOf(page);
        App().CurrentPage = page - 1;
        QString target;
        ASSERT_TRUE(ops_->JumpPagesInMemory(1000, target));
    }
    std::vector<Page> Recorded() {
        PageStartStore store(db());
        std::vector<Page> out;
        for (qint32 page = 1; page <= store.HighestPage(); ++page) out.push_back(store.StartsOf(page));
        return out;
    }
    // One line a page, for comparisons that read well when they fail.
    static std::string Lines(const std::vector<Page>& pages) {
        QStringList out;
        for (const Page& p : pages) {
            QStringList names;
            for (const PageStart& s : p) names << s.name;
            out << names.join(' ');
        }
        return out.join('\n').toStdString();
    }
    static std::vector<Page> Edited(std::vector<Page> pages, const std::function<void(Page&)>& edit) {
        for (Page& p : pages) edit(p);
        return pages;
    }
    static std::function<void(Page&)> Renaming(const QString& from, const QString& to) {
        return [=](Page& p) {
            for (PageStart& s : p)
                if (s.name == from) s.name = to;
        };
    }
    QStringList ShownStarts(qint32 page) {
        App().CurrentPage = page;
        ops_->显示世祖(tree_, 5);
        QStringList out;
        for (int i = 1; i <= tree_.Count(); ++i) out << tree_.KeyAt(i);
        return out;
    }
    void QueueStartsOf(qint32 page) {
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(page))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
    }
    qint64 Notes() { return db().Scalar("SELECT count(*) FROM pagestart_renamed").toLongLong(); }

    MemoryTreeNodes tree_;
};

// Renames and removals reach every row recorded before them, in the order made, and no row written
// after them; many of them are applied to the order itself.
TEST_F(PageStartStoreTest, RenamesAndRemovalsReachTheRowsRecordedBeforeThem) {
    CutEveryPage();
    const std::vector<Page> before = Recorded();
    ASSERT_EQ(before.size(), 10u);
    ASSERT_EQ(before[4].first().name, "子3");  // it starts pages 2 to 5

    PageStartStore store(db());
    store.Rename("子3", "三");
    store.Rename("三", "叁");
    EXPECT_EQ(Lines(Recorded()), Lines(Edited(before, Renaming("子3", "叁"))));
    store.RemoveMember("叁");
    store.RemoveMember("孙50");
    EXPECT_EQ(Lines(Recorded()), Lines(Edited(before, [](Page& p) {
                  p.removeIf([](const PageStart& s) { return s.name == "子3" || s.name == "孙50"; });
              })));

    // Pages cut again after a note bear the names the member table gives them.
    CutEveryPage();
    store.Rename("孙70", "七零");
    EXPECT_EQ(Lines(Recorded()), Lines(Edited(before, Renaming("孙70", "七零"))));
    store.TruncateAfter(2);
    WalkOnFrom(2);
    EXPECT_EQ(Lines(Recorded()), Lines(before));

    dao::Transaction tx = db().BeginTrans();
    for (int i = 0; i < 300; ++i) {
        store.Rename("子6", "六");
        store.Rename("六", "子6");
    }
    store.Rename("子6", "六");
    tx.Commit();
    EXPECT_LE(Notes(), 512);
    EXPECT_EQ(Lines(Recorded()), Lines(Edited(before, Renaming("子6", "六"))));
}

// A page cut from the book as it stands is shown as recorded; after any other write to the book its
// starts are looked up again, so a member deleted since is not shown.
TEST_F(PageStartStoreTest, PagesAreTakenOnTrustOnlyWhileTheBookIsUnchanged) {
    CutEveryPage();
    PageStartStore store(db());
    EXPECT_FALSE(store.Agrees(1));
    for (qint32 page = 2; page <= 9; ++page) EXPECT_TRUE(store.Agrees(page)) << page;
    EXPECT_TRUE(ShownStarts(4).contains("_子3"));
    EXPECT_TRUE(store.Agrees(4));  // showing a page keeps it

    db().Execute("DELETE FROM \"本姓成员\" WHERE filial = '子3'");
    EXPECT_FALSE(store.Agrees(4));
    EXPECT_FALSE(ShownStarts(4).contains("_子3"));

    CutEveryPage();
    store.TruncateAfter(5);
    EXPECT_TRUE(store.Agrees(5));
    EXPECT_FALSE(store.Agrees(6));
    store.Rename("子4", "四");
    EXPECT_FALSE(store.Agrees(5));
}

// The division of the book stays finished only while the highest page recorded is its last: a walk
// that cuts a page other than recorded forgets the pages after it and leaves the division unfinished
// until a walk reaches the end; a walk that reaches the end forgets pages recorded past it.
TEST_F(PageStartStoreTest, ForgottenPagesLeaveTheDivisionUnfinished) {
    const auto pageByPage = [this](qint32 from, qint32 until) {
        QueueStartsOf(from);
        for (App().CurrentPage = from - 1; App().CurrentPage + 1 < until; ++App().CurrentPage) {
            QString target;
            ops_->Node分结点数跳页(5, target);
            if (db().Scalar("SELECT 1 FROM temp LIMIT 1").isNull()) break;
        }
    };
    const auto inMemory = [this](qint32 from, qint32 until) {
        QueueStartsOf(from);
        App().CurrentPage = from - 1;
        QString target;
        ops_->JumpPagesInMemory(until, target);
    };
    const std::pair<const char*, std::function<void(qint32, qint32)>> walks[] = {{"page by page", pageByPage},
                                                                                 {"in memory", inMemory}};
    for (const auto& [name, walk] : walks) {
        SCOPED_TRACE(name);
        db().Execute("UPDATE \"本姓成员\" SET boy_birthday = NULL");
        CutEveryPage();
        ASSERT_FALSE(App().RepaginateNeeded);
        ASSERT_EQ(PageStartStore(db()).HighestPage(), 10);
        // An edit that marks nothing stale: 子1's sons come in another order.
        db().Execute("UPDATE \"本姓成员\" SET boy_birthday = '9' WHERE filial = '孙10'");
        walk(1, 4);
        EXPECT_TRUE(App().RepaginateNeeded);
        EXPECT_EQ(PageStartStore(db()).HighestPage(), 4);
        walk(4, 1000);
        EXPECT_FALSE(App().RepaginateNeeded);
        EXPECT_EQ(PageStartStore(db()).HighestPage(), 10);

        // The book shrinks behind the pages' back: the walk that meets its end forgets the pages past it,
        // and the last page recorded is the last a fresh cut finds.
        db().Execute("DELETE FROM \"本姓成员\" WHERE father IN ('子6', '子7')");
        walk(1, 1000);
        EXPECT_FALSE(App().RepaginateNeeded);
        const qint32 last = PageStartStore(db()).HighestPage();
        CutEveryPage();
        EXPECT_EQ(last, PageStartStore(db()).HighestPage());
        EXPECT_LT(last, 10);
        for (int s = 6; s < 8; ++s)
            for (int g = 0; g < 5; ++g)
                Add(QStringLiteral("孙%1%2").arg(s).arg(g), QStringLiteral("子%1").arg(s));
    }
    // The page display too, when the page it shows is the book's last.
    CutEveryPage();
    PageStartStore(db()).AddStart(11, "孙00", 0);
    App().RepaginateNeeded = false;
    ShownStarts(10);
    ops_->Tree分结点数展开(tree_, 5);
    EXPECT_FALSE(App().RepaginateNeeded);
    EXPECT_EQ(PageStartStore(db()).HighestPage(), 10);
}

}  // namespace
