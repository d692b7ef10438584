#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "store/data_ops.h"

namespace {

class Generations : public DataOpsFixture {
protected:
    void SetUp() override {
        DataOpsFixture::SetUp();
        OpenImageDb(ImageDbPath(), BookDbPassword());
        OpenDescriptDb(DescriptDbPath(), BookDbPassword());
    }

    void Add(const QVariant& name, const QString& father, const QString& mother = "", bool male = true,
             bool alive = true) {
        db().Execute(
            "INSERT INTO \"本姓成员\" (filial, father, mother, Boy_Sex, boy_active) VALUES (?, ?, ?, ?, ?)",
            {name, father, mother, male, alive});
    }
    // A keyword, a picture and a page for the member, each with the given branch number.
    void AddSideRows(const QString& name, int flag = -9) {
        db().Execute("INSERT INTO pageindx (filial, page_key, flag) VALUES (?, ?, ?)", {name, "谱", flag});
        App().ImageDb.Execute("INSERT INTO imageylk (filial, myimage, imagepath, flag) VALUES (?, ?, ?, ?)",
                              {name, QByteArray("GIF89a"), "p.gif", flag});
        App().DescriptDb.Execute("INSERT INTO story (filial, Hisdescript, flag) VALUES (?, ?, ?)",
                                 {name, "<p>传</p>", flag});
    }

    void Mark(const QString& root, qint32 branch, qint16 living = 0, qint32 first = 1, qint16 force = 0,
              quint8 protection = 99) {
        ops_->标识世祖(root, branch, living, first, force, protection);
    }

    qint64 Field(const QString& field, const QString& name) {
        const QVariant v =
            db().Scalar("SELECT " + dao::QuoteIdent(field) + " FROM \"本姓成员\" WHERE filial=?", {name});
        return v.isNull() ? -12345 : v.toLongLong();
    }
    qint64 Gen(const QString& name) { return Field("generation", name); }
    qint64 Flag(const QString& name) { return Field("flag", name); }
    // Branch numbers of the member's keyword, picture and page rows, "" when a row is missing.
    QString SideFlags(const QString& name) {
        const QString sql = "SELECT group_concat(flag) FROM %1 WHERE filial=?";
        return db().Scalar(sql.arg("pageindx"), {name}).toString() + "/" +
               App().ImageDb.Scalar(sql.arg("imageylk"), {name}).toString() + "/" +
               App().DescriptDb.Scalar(sql.arg("story"), {name}).toString();
    }
    qint64 Count(dao::Database& d, const QString& table) {
        return d.Scalar("SELECT count(*) FROM " + dao::QuoteIdent(table)).toLongLong();
    }
};

}  // namespace

TEST_F(Generations, NumbersFlagsAndCountsTheWholeSubtree) {
    Add("王一", "");
    Add("王二", "王一", "李氏");
    Add("王三", "王一", "  ", false, false);
    Add("王四无子女", "王一", "张氏");
    Add("王五", "王二", "", true, false);
    Add("Tom", "王五", "", false, true);
    Add("tim", "TOM");  // father links compare without letter case
    Add("赵一", "");
    Add("赵二", "赵一");
    db().Execute("INSERT INTO tempflag (father, currentpage) VALUES ('赵一', 4)");
    auto* progress = dynamic_cast<CountingProgress*>(&Progress());
    ASSERT_NE(progress, nullptr);
    const int shows = progress->shows;

    qint32 first = 3;
    qint16 force = 0;
    quint8 protection = 99;
    ops_->标识世祖("王一", 5, 0, first, force, protection);

    EXPECT_EQ(App().FormParamString, "5%3%1%1%1%2");
    EXPECT_EQ(App().RootAncestorName, "王一");
    EXPECT_EQ(first, 3);
    EXPECT_EQ(force, 0);
    EXPECT_EQ(protection, 99);
    const std::pair<const char*, int> expected[] = {{"王一", 3}, {"王二", 4}, {"王三", 4}, {"王四无子女", 4},
                                                    {"王五", 5}, {"Tom", 6},  {"tim", 7}};
    for (auto [name, gen] : expected) {
        EXPECT_EQ(Gen(name), gen) << name;
        EXPECT_EQ(Flag(name), 5) << name;
    }
    EXPECT_EQ(Gen("赵二"), -9999);
    EXPECT_EQ(Flag("赵二"), -9);
    EXPECT_EQ(Count(db(), "tempflag"), 0);
    EXPECT_EQ(progress->shows, shows + 1);
    EXPECT_FALSE(progress->shown);

    // The same root again with the default arguments over an unchanged book: already marked.
    App().FormParamString = "x";
    Mark("王一", 5, 0, 3);
    EXPECT_EQ(progress->shows, shows + 1);
    EXPECT_EQ(App().FormParamString, "x");
    Mark("王一", 5, 0, 1, -1);
    EXPECT_EQ(Gen("王二"), 2);
    EXPECT_EQ(App().FormParamString, "5%3%1%1%1%2");
}

TEST_F(Generations, LoneRootAndEmptyName) {
    Add("王一", "", "", false, false);
    AddSideRows("王一");
    Mark("王一", 2);
    EXPECT_EQ(App().FormParamString, "1%0%0%0%1%0");
    EXPECT_EQ(SideFlags("王一"), "2/2/2");

    App().FormParamString = "kept";
    Mark("", 2, 0, 1, -1);
    EXPECT_EQ(App().RootAncestorName, "");
    EXPECT_EQ(App().FormParamString, "kept");
    EXPECT_EQ(Flag("王一"), 2);
    EXPECT_EQ(Gen("王一"), 1);
}

TEST_F(Generations, RemarkingReleasesTheOldBranchInEveryTable) {
    Add("王一", "");
    Add("王二", "王一");
    Add("赵一", "");
    Add("赵二", "赵一");
    Add("孙一", "");
    for (const char* name : {"王一", "王二", "赵二", "孙一"}) AddSideRows(name);

    Mark("孙一", 7);
    Mark("王一", 5);
    EXPECT_EQ(SideFlags("王一"), "5/5/5");
    EXPECT_EQ(SideFlags("王二"), "5/5/5");
    EXPECT_EQ(SideFlags("赵二"), "-9/-9/-9");

    Mark("赵一", 5);
    for (const char* name : {"王一", "王二"}) {
        EXPECT_EQ(Flag(name), -9) << name;
        EXPECT_EQ(Gen(name), -9999) << name;
        EXPECT_EQ(SideFlags(name), "-9/-9/-9") << name;
    }
    EXPECT_EQ(Flag("赵二"), 5);
    EXPECT_EQ(Gen("赵二"), 2);
    EXPECT_EQ(SideFlags("赵二"), "5/5/5");
    EXPECT_EQ(Flag("孙一"), 7);
    EXPECT_EQ(SideFlags("孙一"), "7/7/7");
}

TEST_F(Generations, LivingAndProtectionModes) {
    Add("王一", "", "", true, false);
    Add("王二", "王一", "李氏", true, false);
    Add("王三", "王二", "", false, false);
    Add("赵一", "", "", true, false);
    db().Execute("UPDATE \"本姓成员\" SET Mother_active=0, filial_protect=1");

    Mark("王一", 5, -1);
    EXPECT_EQ(App().FormParamString, "3%1%1%1%0%1");
    EXPECT_EQ(Field("boy_active", "王一"), 0);
    for (const char* name : {"王二", "王三"}) {
        EXPECT_EQ(Field("boy_active", name), 1) << name;
        EXPECT_EQ(Field("Mother_active", name), 1) << name;
        EXPECT_EQ(Field("filial_protect", name), 1) << name;
    }

    Mark("王一", 5, 1);
    EXPECT_EQ(App().FormParamString, "3%0%0%2%1%1");
    EXPECT_EQ(Field("boy_active", "王三"), 0);
    EXPECT_EQ(Field("Mother_active", "王三"), 0);

    // With a protection level the living mode is not applied.
    Mark("王一", 5, -1, 1, 0, 2);
    for (const char* name : {"王一", "王二", "王三"}) {
        EXPECT_EQ(Field("filial_protect", name), 2) << name;
        EXPECT_EQ(Field("boy_active", name), 0) << name;
    }
    EXPECT_EQ(Field("filial_protect", "赵一"), 1);
    EXPECT_EQ(Field("boy_active", "赵一"), 0);
}

TEST_F(Generations, LoopsInTheFatherLinksEnd) {
    Add("甲", "乙");
    Add("乙", "甲");
    Add("丙", "丙");
    Add("丁", "丙");
    Mark("甲", 5);
    EXPECT_EQ(App().FormParamString, "2%2%0%0%0%0");
    EXPECT_EQ(Gen("甲"), 1);
    EXPECT_EQ(Gen("乙"), 2);
    Mark("丙", 6);
    EXPECT_EQ(App().FormParamString, "2%2%0%0%0%0");
    EXPECT_EQ(Gen("丙"), 1);
    EXPECT_EQ(Gen("丁"), 2);

    ops_->Chm_标识世祖("乙", 8);
    EXPECT_EQ(Flag("甲"), 8);
    EXPECT_EQ(Flag("乙"), 8);
    EXPECT_EQ(Gen("乙"), 2);
}

TEST_F(Generations, NamelessChildIsRemovedAndPullsNoRootsIn) {
    Add("王一", "");
    Add("王二", "王一");
    Add("", "王一", "李氏");
    Add(QVariant(), "王一");
    Add("赵一", "");
    Add("钱一", "");
    Mark("王一", 5);
    EXPECT_EQ(App().FormParamString, "2%2%0%0%0%0");
    EXPECT_EQ(Count(db(), "本姓成员"), 4);
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE filial='' OR filial IS NULL").toInt(), 0);
    EXPECT_EQ(Flag("赵一"), -9);
    EXPECT_EQ(Gen("钱一"), -9999);

    Add("", "王二");
    ops_->Chm_标识世祖("王一", 6);
    EXPECT_EQ(Count(db(), "本姓成员"), 4);
    EXPECT_EQ(Flag("王二"), 6);
    EXPECT_EQ(Flag("赵一"), -9);
}

TEST_F(Generations, DeletingABranchTakesItsOwnRowsOnly) {
    Add("王一", "");
    Add("王二", "王一");
    Add("赵一", "");
    Add("赵二", "赵一");
    for (const char* name : {"王一", "王二", "赵一", "赵二"}) AddSideRows(name);
    Mark("王一", 5);
    Mark("赵一", 7);
    // A stale branch number on another member's picture must not take it along.
    App().ImageDb.Execute(
        "INSERT INTO imageylk (filial, myimage, imagepath, flag) VALUES ('赵二', x'00', 'q', 5)");

    ops_->删除有标识的子女(-9);
    EXPECT_EQ(Count(db(), "本姓成员"), 4);

    ops_->删除有标识的子女(5);
    EXPECT_EQ(db().Scalar("SELECT group_concat(filial) FROM \"本姓成员\"").toString(), "赵一,赵二");
    EXPECT_EQ(db().Scalar("SELECT group_concat(filial) FROM pageindx").toString(), "赵一,赵二");
    EXPECT_EQ(App().ImageDb.Scalar("SELECT group_concat(filial || flag) FROM imageylk").toString(),
              "赵一7,赵二7,赵二5");
    EXPECT_EQ(App().DescriptDb.Scalar("SELECT group_concat(filial) FROM story").toString(), "赵一,赵二");
}

TEST_F(Generations, ChmFlagsWithoutNumbering) {
    Add("王一", "");
    Add("王二", "王一");
    Add("王三", "王二");
    Add("赵一", "");
    AddSideRows("王二");
    AddSideRows("赵一");
    Mark("赵一", 3);
    db().Execute("UPDATE \"本姓成员\" SET generation=40 WHERE filial='王二'");

    ops_->Chm_标识世祖("王一", 3);
    for (const char* name : {"王一", "王二", "王三"}) EXPECT_EQ(Flag(name), 3) << name;
    EXPECT_EQ(Gen("王一"), -9999);
    EXPECT_EQ(Gen("王二"), 40);
    EXPECT_EQ(SideFlags("王二"), "-9/-9/-9");
    EXPECT_EQ(Flag("赵一"), -9);
    EXPECT_EQ(Gen("赵一"), 1);
    EXPECT_EQ(SideFlags("赵一"), "-9/-9/-9");

    ops_->Chm_标识世祖("", 3);
    EXPECT_EQ(Flag("王三"), 3);
}

TEST_F(Generations, ClearingNumbersKeepsFlags) {
    Add("王一", "");
    Add("王二", "王一");
    Mark("王一", 5);
    ops_->清世代数据();
    EXPECT_EQ(db().Scalar("SELECT group_concat(generation || ':' || flag) FROM \"本姓成员\"").toString(),
              "-9999:5,-9999:5");
}

TEST_F(Generations, AFailureLeavesEveryFileAsItWas) {
    Add("王一", "");
    Add("王二", "王一");
    Add("赵一", "");
    AddSideRows("王二");
    Mark("赵一", 5);
    App().FormParamString = "before";
    App().DescriptDb.Execute("DROP TABLE story");

    EXPECT_THROW(Mark("王一", 5), dao::DaoError);
    EXPECT_EQ(Flag("赵一"), 5);
    EXPECT_EQ(Flag("王二"), -9);
    EXPECT_EQ(db().Scalar("SELECT flag FROM pageindx WHERE filial='王二'").toInt(), -9);
    EXPECT_EQ(App().RootAncestorName, "赵一");
    EXPECT_EQ(App().FormParamString, "before");
    EXPECT_FALSE(Progress().IsShown());

    // The side files were let go: the next marking works once the page table is back.
    App().DescriptDb.Execute(book_schema::StoryTable());
    Mark("王一", 5);
    EXPECT_EQ(Flag("王二"), 5);
    EXPECT_EQ(SideFlags("王二"), "5/5/");
}

// A branch larger than the first walk's share of the book is walked in memory: the same results.
TEST_F(Generations, LargeBranchWithLoopsCaseAndNamelessRows) {
    const int line = 2500;
    const auto name = [](int k) { return QString("甲%1").arg(k); };
    {
        auto tx = db().BeginTrans();
        for (int k = line; k >= 1; --k)  // children stored before their fathers
            Add(name(k), name(k == 1 ? line : k - 1), k % 2 == 0 ? "氏" : "");
        Add("TOM", name(line));
        Add("tom2", "tom");
        Add("王三无子女", name(line), "李氏", true, false);
        Add("", name(line));
        Add("赵一", "");
        tx.Commit();
    }
    AddSideRows(name(7));
    Mark(name(1), 5);
    EXPECT_EQ(SideFlags(name(7)), "5/5/5");
    EXPECT_EQ(App().FormParamString, "2502%2502%0%0%0%1251");
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE flag=5 AND "
                          "generation=CAST(substr(filial, 2) AS INTEGER)")
                  .toInt(),
              line);
    EXPECT_EQ(Gen("TOM"), line + 1);
    EXPECT_EQ(Gen("tom2"), line + 2);
    EXPECT_EQ(Gen("王三无子女"), line + 1);
    EXPECT_EQ(Flag("赵一"), -9);
    EXPECT_EQ(Count(db(), "本姓成员"), line + 4);

    // A small branch takes the number over: the many members that carried it are released.
    Mark("赵一", 5);
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE flag=-9 AND generation=-9999").toInt(),
              line + 3);
    EXPECT_EQ(SideFlags(name(7)), "-9/-9/-9");
    EXPECT_EQ(Flag("赵一"), 5);

    db().Execute("UPDATE \"本姓成员\" SET father='祖' WHERE filial=?", {name(1)});
    ops_->Chm_标识世祖("祖", 6);
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE flag=6").toInt(), line + 3);
    EXPECT_EQ(Gen("tom2"), -9999);
    EXPECT_EQ(Flag("赵一"), 5);
}

// Neighbouring rows that take the same values are written together; the rows beside such a stretch
// keep theirs: a row already right inside it, and the rows stored just before and after it.
TEST_F(Generations, RowsWrittenTogetherLeaveTheirNeighboursAlone) {
    const int sons = 2100;  // beyond the first walk's budget: the branch is walked in memory
    {
        auto tx = db().BeginTrans();
        Add("外甲", "");
        Add("祖", "");
        for (int i = 0; i < sons; ++i) Add(QStringLiteral("子%1").arg(i), "祖");
        Add("外乙", "");
        db().Execute("UPDATE \"本姓成员\" SET flag=8, generation=77 WHERE filial IN ('外甲', '外乙')");
        db().Execute("UPDATE \"本姓成员\" SET flag=5, generation=2 WHERE filial='子700'");
        tx.Commit();
    }
    const QVariant cacheBefore = db().Scalar("PRAGMA cache_size");
    Mark("祖", 5);
    EXPECT_EQ(db().Scalar("PRAGMA cache_size"), cacheBefore);  // the walk's larger cache is given back
    EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE flag=5 AND generation=2").toInt(), sons);
    for (const char* outsider : {"外甲", "外乙"}) {
        EXPECT_EQ(Flag(outsider), 8) << outsider;
        EXPECT_EQ(Gen(outsider), 77) << outsider;
    }
    EXPECT_EQ(Gen("祖"), 1);
}

// A repeated marking is skipped only for the same root and number over an unchanged book: a member,
// a picture or a page written since, or another number, marks the branch again as it stands.
TEST_F(Generations, ARepeatedMarkingIsSkippedOnlyWhileNothingChanged) {
    Add("王一", "");
    Add("王二", "王一");
    Mark("王一", 3);
    App().FormParamString = "kept";
    Mark("王一", 3);
    EXPECT_EQ(App().FormParamString, "kept");

    const std::vector<std::pair<const char*, std::function<void()>>> changes{
        {"another number", [] {}},
        {"a member added", [&] { Add("王三", "王二"); }},
        {"a picture added",
         [&] {
             App().ImageDb.Execute(
                 "INSERT INTO imageylk (filial, myimage, imagepath) VALUES ('王三', x'00', 'q.gif')");
         }},
        {"a page added",
         [&] { App().DescriptDb.Execute("INSERT INTO story (filial, Hisdescript) VALUES ('王二', 'p')"); }},
    };
    qint32 branch = 3;
    for (const auto& [what, change] : changes) {
        if (std::string(what) == "another number") ++branch;
        change();
        App().FormParamString = "kept";
        Mark("王一", branch);
        EXPECT_NE(App().FormParamString, "kept") << what;
    }
    EXPECT_EQ(Flag("王三"), 4);
    EXPECT_EQ(SideFlags("王三"), "/4/");
    EXPECT_EQ(SideFlags("王二"), "//4");
}

// Flagging a branch -9 (released) writes only the rows whose number changes, not every row of the
// book that is released already.
TEST_F(Generations, ChmReleasingTouchesOnlyTheRowsThatChange) {
    Add("王一", "");
    Add("王二", "王一");
    for (int i = 0; i < 40; ++i) Add(QStringLiteral("赵%1").arg(i), i == 0 ? "" : "赵0");
    AddSideRows("王二", 5);
    AddSideRows("赵1");
    db().Execute("UPDATE \"本姓成员\" SET flag=5 WHERE filial='王二'");
    const auto changes = [&] { return db().Scalar("SELECT total_changes()").toLongLong(); };
    const qint64 before = changes();
    ops_->Chm_标识世祖("王一", -9);
    EXPECT_EQ(Flag("王二"), -9);
    EXPECT_EQ(SideFlags("王二"), "5/5/5");  // side rows are the numbering's, not this flagging's
    EXPECT_EQ(changes() - before, 1);
}

// The walk over the whole table links a child to its father as the name columns compare: ASCII
// letters without regard to case, every other letter (full-width ones too) as it is; brothers stored
// together take the father found for the first of them.
TEST_F(Generations, WholeTableWalkLinksFathersByNameAsTheColumnsCompare) {
    {
        auto tx = db().BeginTrans();
        Add("祖", "");
        for (int i = 0; i < 2100; ++i) Add(QStringLiteral("子%1").arg(i), "祖");  // beyond the first walk
        Add("LI", "祖");
        const std::vector<std::pair<const char*, const char*>> children{
            {"李一", "li"}, {"李二", "li"}, {"李三", "LI"}, {"李四", "Li"}, {"李五", "li"}};
        for (const auto& [child, father] : children) Add(child, father);
        Add("ＬＩ", "");
        Add("全一", "ｌｉ");
        Add("全二", "ＬＩ");
        tx.Commit();
    }
    Mark("祖", 5);
    for (const char* name : {"李一", "李二", "李三", "李四", "李五"}) {
        EXPECT_EQ(Gen(name), 3) << name;
        EXPECT_EQ(Flag(name), 5) << name;
    }
    for (const char* name : {"ＬＩ", "全一", "全二"}) {
        EXPECT_EQ(Gen(name), -9999) << name;
        EXPECT_EQ(Flag(name), -9) << name;
    }
    EXPECT_TRUE(App().FormParamString.startsWith("3%")) << App().FormParamString.toStdString();
}

// Sparse member numbers make a small book look large: members taken evenly through the numbers land
// in a loop of fathers (bounded) and below the root, which sends the numbering straight to the walk
// over the whole table; the stored numbers are those of any walk.
TEST_F(Generations, BranchTakenForMuchOfTheBookIsNumberedAsAnyOther) {
    const auto addAt = [&](qint64 id, const char* name, const char* father) {
        db().Execute("INSERT INTO \"本姓成员\" (filial_id, filial, father) VALUES (?, ?, ?)",
                     {id, name, father});
    };
    Add("祖", "");
    Add("子", "祖");
    Add("旁", "");
    addAt(100000, "环甲", "环乙");
    addAt(100001, "环乙", "环甲");
    addAt(200000, "孙", "子");
    Mark("祖", 7);
    for (const auto& [name, generation] : {std::pair{"祖", 1}, {"子", 2}, {"孙", 3}}) {
        EXPECT_EQ(Gen(name), generation) << name;
        EXPECT_EQ(Flag(name), 7) << name;
    }
    for (const char* name : {"旁", "环甲", "环乙"}) EXPECT_EQ(Flag(name), -9) << name;
}

// A marking that rewrites most of a large book builds the flag index again rather than update it row by
// row: afterwards the book's schema is the one it had (a book that lacked the index still lacks it), the
// file checks whole, and the index finds the branch.
TEST_F(Generations, ABookRewrittenWholeKeepsItsSchemaAndItsFlagIndex) {
    const int sons = 5000;
    {
        auto tx = db().BeginTrans();
        Add("祖", "");
        for (int i = 0; i < sons; ++i)
            Add(QStringLiteral("子%1").arg(i), i < 2 ? "祖" : QStringLiteral("子%1").arg(i - 2));
        // Blanks are no mother; anything else is.
        db().Execute("UPDATE \"本姓成员\" SET mother='  ' WHERE filial='子7'");
        db().Execute("UPDATE \"本姓成员\" SET mother=' 氏' WHERE filial='子8'");
        tx.Commit();
    }
    const auto schema = [&] {
        QStringList entries;
        for (dao::Recordset rs = db().OpenRecordset(
                 "SELECT type || '|' || name || '|' || tbl_name || '|' || ifnull(sql, '') FROM sqlite_master "
                 "ORDER BY type, name");
             rs.hasRow(); rs.MoveNext())
            entries << rs.value(0).toString();
        return entries;
    };
    for (const bool withIndex : {true, false}) {
        if (!withIndex) db().Execute("DROP INDEX \"idx_member_flag\"");
        const QStringList before = schema();
        for (const qint32 branch : {5, 6}) {
            Mark("祖", branch, 0, 1, -1);
            EXPECT_EQ(db().Scalar("SELECT count(*) FROM \"本姓成员\" WHERE flag=?", {branch}).toInt(),
                      sons + 1);
            EXPECT_EQ(schema(), before) << withIndex;
            EXPECT_TRUE(App().FormParamString.endsWith("%1")) << App().FormParamString.toStdString();
            EXPECT_EQ(db().Scalar("PRAGMA integrity_check").toString(), "ok") << withIndex;
        }
        QString plan;
        for (dao::Recordset rs =
                 db().OpenRecordset("EXPLAIN QUERY PLAN SELECT filial FROM \"本姓成员\" WHERE flag=6");
             rs.hasRow(); rs.MoveNext())
            plan += rs.value(rs.fieldCount() - 1).toString();
        EXPECT_EQ(plan.contains("idx_member_flag"), withIndex) << plan.toStdString();
        EXPECT_EQ(Gen("子4999"), 2501);
    }
}
