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
        db().Execute("DELETE FROM temp");
        for (const PageStart& s : PageStartStore(db()).StartsOf(page))
            db().Execute("INSERT INTO temp (filial, generation) VALUES (?, ?)", {s.name, s.generation});
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

}  // namespace
