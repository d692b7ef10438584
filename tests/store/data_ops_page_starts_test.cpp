#include <gtest/gtest.h>

#include <memory>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"
#include "store/page_start_store.h"

namespace {

class PageStarts : public DataOpsFixture {
protected:
    void Add(const QVariant& name, const QVariant& father, const QVariant& generation = -9999) {
        db().Execute("INSERT INTO \"本姓成员\" (filial, father, generation) VALUES (?, ?, ?)",
                     {name, father, generation});
    }
    void AddStart(const QString& name, qint32 page, qint32 generation = 0) {
        PageStartStore(db()).AddStart(page, name, generation);
    }
    // Every page start as "name/page/generation", page by page ("null" for one outside every page).
    QStringList Starts() {
        PageStartStore store(db());
        QStringList out;
        for (const PageStart& s : store.StartsOf(0)) out << s.name + "/null/" + QString::number(s.generation);
        for (qint32 page = 1; page <= store.HighestPage(); ++page)
            for (const PageStart& s : store.StartsOf(page))
                out << QStringList{s.name, QString::number(page), QString::number(s.generation)}.join('/');
        return out;
    }
};

TEST_F(PageStarts, FirstPageHoldsEveryNamedRootInTableOrder) {
    Add("甲祖", "", 1);
    Add("甲一", "甲祖", 2);
    Add("隐祖", "No_Display", 5);
    Add("乙祖", QVariant(), QVariant());  // Null father and Null generation
    Add("  ", "");                        // a blank name starts no page
    Add("丙祖", "", -9999);
    db().Execute("INSERT INTO temp (filial) VALUES ('旧')");
    App().RepaginateNeeded = false;

    ops_->Find世祖(0, "");

    EXPECT_EQ(Starts(), QStringList({"甲祖/1/1", "隐祖/1/5", "乙祖/1/0", "丙祖/1/-9999"}));
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM temp").toInt(), 0);
    EXPECT_TRUE(App().RepaginateNeeded);

    // A second run starts from scratch.
    AddStart("甲一", 2);
    ops_->Find世祖(0, "");
    EXPECT_EQ(Starts().size(), 4);
}

TEST_F(PageStarts, TestRebuildsOnlyAnEmptyList) {
    Add("甲祖", "", 1);
    ops_->Test世祖();
    EXPECT_EQ(Starts(), QStringList({"甲祖/1/1"}));

    Add("乙祖", "", 1);
    AddStart("甲一", 2, 3);
    App().RepaginateNeeded = false;
    ops_->Test世祖();
    EXPECT_EQ(Starts(), QStringList({"甲祖/1/1", "甲一/2/3"}));
    EXPECT_FALSE(App().RepaginateNeeded);
}

TEST_F(PageStarts, TruncatingAndRemovingStarts) {
    for (int page = 1; page <= 5; ++page) AddStart(QStringLiteral("页%1").arg(page), page);
    AddStart("王'二", 2);
    AddStart("王'二", 5);
    AddStart("王二", 3);

    ops_->删除起始页中世祖("王'二");  // a quote is data, not SQL
    EXPECT_EQ(Starts(),
              QStringList({"页1/1/0", "页2/2/0", "页3/3/0", "王二/3/0", "页4/4/0", "页5/5/0"}));

    ops_->Del后续分页标志(1);
    EXPECT_EQ(Starts(), QStringList({"页1/1/0"}));
}

TEST_F(PageStarts, InLawClimbEndsAtTopAtNullFatherAndAtLoop) {
    const auto inLaw = [&](const QString& name, const QVariant& father) {
        db().Execute("INSERT INTO \"外戚成员\" (filial, father) VALUES (?, ?)", {name, father});
    };
    inLaw("甲", "乙");
    inLaw("乙", "丙");
    ops_->Find世祖(-1, "甲");
    EXPECT_EQ(Starts(), QStringList({"丙/null/0"}));

    inLaw("丙", QVariant());  // a Null father ends the climb where it stands
    ops_->Find世祖(-1, "甲");
    EXPECT_EQ(Starts(), QStringList({"丙/null/0"}));

    inLaw("丁", "戊");
    inLaw("戊", "丁");  // a loop ends instead of hanging
    ops_->Find世祖(-1, "丁");
    EXPECT_EQ(Starts(), QStringList({"戊/null/0"}));
}

TEST_F(PageStarts, GenerationModeListsTheFathersWithTheirOwnGeneration) {
    Add("祖", "", 1);
    Add("父甲", "祖", 2);
    Add("父乙", "祖", 2);
    Add("子一", "父甲", 3);
    Add("子二", "父甲", 3);
    Add("子三", "父乙", 3);
    Add("孤", "", 3);  // a root of that generation has no father to list
    ops_->Find世祖(3, "");
    QStringList starts = Starts();
    starts.sort();
    EXPECT_EQ(starts, QStringList({"父乙/1/2", "父甲/1/2"}));
}

}  // namespace
