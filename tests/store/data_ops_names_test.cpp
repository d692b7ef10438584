#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "data_ops_fixture.h"
#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/db_connections.h"
#include "store/data_ops.h"

// Reaches the server-id variant, which only the on-line half calls.
class UniqueNamesProbe {
public:
    static QString Sql(Cls数据操作& ops, const QString& name, qint32 mysql_id) {
        return ops.TongMing字Sql(name, mysql_id);
    }
};

namespace {

class UniqueNames : public DataOpsFixture {
protected:
    qint32 Add(const QString& name, qint32 mysql_id = 0) {
        App().DataDb.Execute("INSERT INTO \"本姓成员\" (filial, father, mysql_id) VALUES (?, '', ?)",
                             {name, mysql_id});
        return qint32(App().DataDb.LastInsertId());
    }
    QString Unique(const QString& name, qint32 id = 0) { return ops_->TongMing字(false, name, id); }
};

}  // namespace

TEST_F(UniqueNames, CreatingTheObjectOpensTheMembersFile) {
    const auto first = App().DataDb.connection();
    ASSERT_TRUE(App().DataDb.isOpen());
    EXPECT_EQ(App().DataDb.path(), DataDbPath());
    Cls数据操作 another;
    EXPECT_TRUE(App().DataDb.isOpen());
    EXPECT_EQ(App().DataDb.connection(), first);  // the same cached file, reopened
}

TEST_F(UniqueNames, NamesakesAreNumberedAndOwnNameIsKept) {
    EXPECT_EQ(Unique("王三"), "王三");
    const qint32 own = Add("王三");
    EXPECT_EQ(Unique("王三"), "王三[1]");
    Add("王三[1]");
    EXPECT_EQ(Unique("王三"), "王三[2]");
    EXPECT_EQ(Unique("王三", own), "王三");
    EXPECT_EQ(ops_->TongMing字(true, "王三", 0), "王三");  // no look-up asked for
}

TEST_F(UniqueNames, HighestSuffixWinsAndOddSuffixesCountZero) {
    Add("王三");
    Add("王三[1]");
    const qint32 seventh = Add("王三[7]");
    EXPECT_EQ(Unique("王三"), "王三[8]");
    // Renaming the [7] member back: its own row is left out of the scan too.
    EXPECT_EQ(Unique("王三", seventh), "王三[2]");

    Add("李四");
    Add("李四[abc]");
    Add("李四[ 3]");
    Add("李四[2.5]");  // the nearest whole number, half to even: 2
    EXPECT_EQ(Unique("李四"), "李四[4]");
    Add("赵五");
    Add("赵五[abc]");
    EXPECT_EQ(Unique("赵五"), "赵五[1]");
}

TEST_F(UniqueNames, LongNamesKeepTheirLastFortyNineCharacters) {
    const QString sixty = QString("甲").repeated(12) + QString("乙").repeated(48);
    const QString cut = QString("甲") + QString("乙").repeated(48);
    EXPECT_EQ(Unique(sixty), cut);
    Add(cut);
    EXPECT_EQ(Unique(sixty), cut.mid(3) + "[1]");
    ASSERT_EQ(Unique(sixty).size(), 49);
    // The cut can meet another stored name; the answer then moves on to a free one.
    Add(cut.mid(3) + "[1]");
    EXPECT_EQ(Unique(sixty), cut.mid(3) + "[2]");
}

TEST_F(UniqueNames, QuotesPercentsAndBracketsAreLiteral) {
    Add("O'Neil");
    EXPECT_EQ(Unique("O'Neil"), "O'Neil[1]");
    Add("张%");
    Add("张x[5]");
    Add("张_[6]");
    EXPECT_EQ(Unique("张%"), "张%[1]");
    // A name that already carries a suffix: the next free one, never an existing name.
    Add("甲[1]");
    Add("甲[1][1]");
    Add("甲[1][2]");
    EXPECT_EQ(Unique("甲[1]"), "甲[1][3]");
}

TEST_F(UniqueNames, LetterCaseDoesNotMakeANameDifferent) {
    Add("Wang");
    EXPECT_EQ(Unique("WANG"), "WANG[1]");
    Add("wANG[4]");
    const QString answer = Unique("wang");
    EXPECT_EQ(answer, "wang[5]");
    EXPECT_NO_THROW(Add(answer));  // the name index takes it
}

TEST_F(UniqueNames, ServerIdsStandInForLocalIds) {
    Add("张三", 77);
    EXPECT_EQ(UniqueNamesProbe::Sql(*ops_, "张三", 77), "张三");
    EXPECT_EQ(UniqueNamesProbe::Sql(*ops_, "张三", 88), "张三[1]");
    // Id 0 is every member never uploaded, not one particular member.
    Add("李四", 0);
    EXPECT_EQ(UniqueNamesProbe::Sql(*ops_, "李四", 0), "李四[1]");
}

TEST_F(UniqueNames, CountAndLookUpsStayFastOnALargeBook) {
    EXPECT_EQ(ops_->TotalRecnNum(), 0);
    {
        auto tx = App().DataDb.BeginTrans();
        for (int i = 0; i < 200000; ++i) Add(QStringLiteral("成员%1").arg(i));
        for (int i = 1; i <= 300; ++i) Add(QStringLiteral("王三[%1]").arg(i));
        Add("王三");
        tx.Commit();
    }
    EXPECT_EQ(ops_->TotalRecnNum(), 200301);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(Unique("王三"), "王三[301]");
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(Unique(QStringLiteral("成员%1").arg(i * 7)), QStringLiteral("成员%1[1]").arg(i * 7));
    // A scan of the table per call would take seconds here.
    EXPECT_LT(timer.elapsed(), 1500);
}
