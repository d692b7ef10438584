#include <gtest/gtest.h>
#include <QStringList>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "platform/dao/dao_database.h"
#include "store/test_data_generator.h"
#include "support/book_fixture.h"

namespace {

// Every stored column of a member row but its running number, in table order.
const QString kMemberRow = QStringLiteral(
    "SELECT \"filial\", \"father\", \"mother\", \"mother_birthday\", \"mother_death\", \"m_education\", "
    "\"m_position\", \"mother_folk\", \"Mother_active\", \"boy_birthday\", \"boy_death\", \"boy_education\", "
    "\"boy_position\", \"boy_folk\", \"boy_active\", \"Boy_Sex\", \"c_jc_w_z_h\", \"generation\", \"flag\", "
    "\"boy_sort\", \"filial_protect\", \"mysql_id\", \"myacc_id\" FROM \"本姓成员\" ORDER BY \"filial_id\"");

// A generated row: name and father given, the sex set, everything else the table's default.
QStringList GeneratedRow(const QString& name, const QString& father) {
    const QString null = QStringLiteral("<null>");
    return {name, father, null, null, null, null,    null, null, "1", null, null, null,
            null, null,   "1",  "1",  null, "-9999", "-9", "0",  "0", "0",  "0"};
}

class TestDataGenerator : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousSink_ = SetProgressSink(std::make_unique<CountingProgress>());
        OpenDataDb(DataDbPath(), BookDbPassword());
        dao::Database& db = App().DataDb;
        db.Execute(
            "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\") VALUES ('王大', '', '李氏')");
        db.Execute("INSERT INTO \"本姓成员\" (\"filial\", \"father\") VALUES ('王二', '王大')");
        db.Execute("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES ('王大', '族长')");
        db.Execute(
            "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") VALUES ('王大', 1, 0)");
        dao::Database::Open(ImageDbPath(), BookDbPassword())
            .Execute("INSERT INTO \"imageylk\" (\"filial\", \"imagepath\") VALUES ('王大', 'a.jpg')");
        dao::Database::Open(DescriptDbPath(), BookDbPassword())
            .Execute("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES ('王大', 'x')");
        App().RootAncestorName = QStringLiteral("Test0");
    }
    void TearDown() override {
        SetProgressSink(std::move(previousSink_));
        BookFixture::TearDown();
    }

    static QList<QStringList> Members() {
        QList<QStringList> rows;
        for (dao::Recordset rs = App().DataDb.OpenRecordset(kMemberRow); rs.hasRow(); rs.MoveNext()) {
            QStringList row;
            for (int i = 0; i < 23; ++i)
                row << (rs.value(i).isNull() ? QStringLiteral("<null>") : rs.value(i).toString());
            rows << row;
        }
        return rows;
    }
    // Rows of the tables outside the members: keywords, page starts, pictures, pages.
    static QList<qint64> SideCounts() {
        return {App().DataDb.Scalar("SELECT count(*) FROM \"pageindx\"").toLongLong(),
                App().DataDb.Scalar("SELECT count(*) FROM \"temp世祖\"").toLongLong(),
                dao::Database::Open(ImageDbPath(), BookDbPassword())
                    .Scalar("SELECT count(*) FROM \"imageylk\"")
                    .toLongLong(),
                dao::Database::Open(DescriptDbPath(), BookDbPassword())
                    .Scalar("SELECT count(*) FROM \"story\"")
                    .toLongLong()};
    }
    static CountingProgress& Counter() { return static_cast<CountingProgress&>(Progress()); }

    std::unique_ptr<ProgressSink> previousSink_;
};

TEST_F(TestDataGenerator, CountZeroLeavesTheFiveRootsAndEmptiesEveryOtherTable) {
    ClsTest().生成测试数据(0);
    const QList<QStringList> expected = {GeneratedRow("Test0", ""), GeneratedRow("Test1", ""),
                                         GeneratedRow("Test2", ""), GeneratedRow("Test3", ""),
                                         GeneratedRow("Test4", "")};
    EXPECT_EQ(Members(), expected);
    EXPECT_EQ(SideCounts(), (QList<qint64>{0, 0, 0, 0}));
    // The wait window was shown for the run and is gone again.
    EXPECT_EQ(Counter().shows, 1);
    EXPECT_EQ(Counter().hides, 1);
    EXPECT_TRUE(App().RootAncestorName.isEmpty());
}

TEST_F(TestDataGenerator, CountTwoGivesFiveLinesOfFathersAndSons) {
    ClsTest().生成测试数据(2);
    const QList<QStringList> expected = {
        GeneratedRow("Test0", ""),   GeneratedRow("Test1", ""),   GeneratedRow("Test2", ""),
        GeneratedRow("Test3", ""),   GeneratedRow("Test4", ""),   GeneratedRow("A1", "Test0"),
        GeneratedRow("B1", "Test1"), GeneratedRow("C1", "Test2"), GeneratedRow("D1", "Test3"),
        GeneratedRow("E1", "Test4"), GeneratedRow("A2", "A1"),    GeneratedRow("B2", "B1"),
        GeneratedRow("C2", "C1"),    GeneratedRow("D2", "D1"),    GeneratedRow("E2", "E1")};
    EXPECT_EQ(Members(), expected);
    EXPECT_EQ(SideCounts(), (QList<qint64>{0, 0, 0, 0}));
    // Running numbers continue without gaps in the order the rows were added.
    const qint64 first = App().DataDb.Scalar("SELECT min(\"filial_id\") FROM \"本姓成员\"").toLongLong();
    EXPECT_EQ(App().DataDb.Scalar("SELECT max(\"filial_id\") FROM \"本姓成员\"").toLongLong(), first + 14);
}

TEST_F(TestDataGenerator, NamesCarryTheLineLetterAndTheGenerationWithoutBlanks) {
    EXPECT_EQ(ClsTest::MemberName(2, 12), QStringLiteral("C12"));
    EXPECT_EQ(ClsTest::MemberName(4, 100000000), QStringLiteral("E100000000"));
    EXPECT_EQ(ClsTest::MemberName(3, 0), QStringLiteral("Test3"));
}

TEST_F(TestDataGenerator, RegenerationReplacesTheEarlierTestBook) {
    ClsTest().生成测试数据(3);
    ClsTest().生成测试数据(1);
    EXPECT_EQ(Members().size(), 10);
    EXPECT_EQ(App().DataDb.Scalar("SELECT \"father\" FROM \"本姓成员\" WHERE \"filial\"='E1'").toString(),
              QStringLiteral("Test4"));
}

TEST_F(TestDataGenerator, AFailureHalfWayLeavesAllThreeFilesAsTheyWere) {
    const QList<QStringList> before = Members();
    // Stands in for a full disk in the middle of the run.
    App().DataDb.Execute(
        "CREATE TRIGGER \"stop_c2\" BEFORE INSERT ON \"本姓成员\" WHEN NEW.\"filial\"='C2' "
        "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    EXPECT_THROW(ClsTest().生成测试数据(5), dao::DaoError);
    EXPECT_EQ(Members(), before);
    EXPECT_EQ(SideCounts(), (QList<qint64>{1, 1, 1, 1}));
    EXPECT_FALSE(Progress().IsShown());
    EXPECT_EQ(App().RootAncestorName, QStringLiteral("Test0"));
    // The picture and page files are detached again: a later run works.
    App().DataDb.Execute("DROP TRIGGER \"stop_c2\"");
    ClsTest().生成测试数据(0);
    EXPECT_EQ(Members().size(), 5);
}

}  // namespace
