#include <gtest/gtest.h>
#include <QStringList>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "member/member_record.h"
#include "support/suite_book_fixture.h"

namespace {

// One book for the suite: creating and keying the files costs far more than the cases themselves.
class MemberLookups : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    void SetUp() override {
        App().DataDb.Execute("DELETE FROM \"本姓成员\"");
        App().DataDb.Execute("DELETE FROM \"sqlite_sequence\" WHERE \"name\" = ?", {"本姓成员"});
    }

    // Adds a member row; columns not given keep the table's defaults.
    void Add(const QString& filial, const QVariant& father, const QVariantMap& more = {}) {
        QVariantMap cols = more;
        cols.insert("filial", filial);
        cols.insert("father", father);
        QStringList names, marks;
        dao::Params values;
        for (auto it = cols.cbegin(); it != cols.cend(); ++it) {
            names << dao::QuoteIdent(it.key());
            marks << "?";
            values << it.value();
        }
        App().DataDb.Execute(
            QString("INSERT INTO \"本姓成员\" (%1) VALUES (%2)").arg(names.join(","), marks.join(",")),
            values);
    }

    Cls子女 m_;
};

const QVariant kNull{};

TEST_F(MemberLookups, LoadsEveryFieldOfARow) {
    Add("张三", "张父",
        {{"mother", "李氏"},
         {"mother_birthday", "1900"},
         {"mother_death", "1970"},
         {"Mother_active", 0},
         {"m_education", "私塾"},
         {"m_position", "主妇"},
         {"mother_folk", "汉族"},
         {"boy_birthday", "1920"},
         {"boy_death", kNull},
         {"boy_active", 1},
         {"boy_education", "大学"},
         {"boy_position", "教师"},
         {"boy_folk", "汉族"},
         {"Boy_Sex", 0},
         {"generation", 7},
         {"c_jc_w_z_h", "公%12%讳%字%号%谥"},
         {"filial_protect", 3},
         {"mysql_id", 501},
         {"myacc_id", 77}});
    ASSERT_EQ(m_.Find自已("张三"), 0);
    EXPECT_EQ(m_.strFather, "张父");
    EXPECT_EQ(m_.strMother, "李氏");
    EXPECT_EQ(m_.strMother_Birthday, "1900");
    EXPECT_EQ(m_.strMother_Death, "1970");
    EXPECT_FALSE(m_.bMother_Active);
    EXPECT_EQ(m_.strMother_Education, "私塾");
    EXPECT_EQ(m_.strMother_Position, "主妇");
    EXPECT_EQ(m_.strMother_Folk, "汉族");
    EXPECT_EQ(m_.strBoy, "张三");
    EXPECT_EQ(m_.strBoy_Birthday, "1920");
    EXPECT_EQ(m_.strBoy_Death, "");
    EXPECT_FALSE(m_.strBoy_Death.isNull());
    EXPECT_TRUE(m_.bBoy_Active);
    EXPECT_EQ(m_.strBoy_Education, "大学");
    EXPECT_EQ(m_.strBoy_Position, "教师");
    EXPECT_EQ(m_.strBoy_Folk, "汉族");
    EXPECT_FALSE(m_.bBoy_Sex);
    EXPECT_EQ(m_.lBoy_ID, 1);
    EXPECT_EQ(m_.lBoy_Generation, 7);
    EXPECT_EQ(QStringList({m_.boy_c, m_.boy_wei, m_.boy_zhi, m_.boy_hao, m_.boy_yi}),
              QStringList({"公", "讳", "字", "号", "谥"}));
    EXPECT_EQ(m_.boy_jc, 12);
    EXPECT_EQ(m_.boy_protect, 0);  // the record never reads filial_protect
    EXPECT_EQ(m_.mysql_id(), 501);
    EXPECT_EQ(m_.myacc_id(), 77);

    // Find父母 is the same load; Find子女 loads the first child but keeps the server ids.
    Cls子女 other;
    ASSERT_EQ(other.Find父母("张三"), 0);
    EXPECT_EQ(other.mysql_id(), 501);
    Add("张四", "张父", {{"mysql_id", 9}, {"myacc_id", 9}});
    ASSERT_EQ(m_.Find子女("张父"), 0);
    EXPECT_EQ(m_.strBoy, "张三");
    EXPECT_EQ(m_.mysql_id(), 501);
    EXPECT_EQ(m_.myacc_id(), 77);
}

TEST_F(MemberLookups, UnknownNameClearsAllButTheNameParts) {
    Add("甲", "", {{"c_jc_w_z_h", "公%3%讳%字%号%谥"}, {"Boy_Sex", 0}, {"boy_active", 0}, {"mysql_id", 5}});
    ASSERT_EQ(m_.Find自已("甲"), 0);
    m_.boy_protect = 2;
    m_.strBoy_Folk = "满族";

    EXPECT_EQ(m_.Find自已("无此人"), -1);
    EXPECT_EQ(m_.strBoy, "");
    EXPECT_EQ(m_.strBoy_Folk, "");
    EXPECT_TRUE(m_.bBoy_Sex);
    EXPECT_TRUE(m_.bBoy_Active);
    EXPECT_TRUE(m_.bMother_Active);
    EXPECT_EQ(m_.lBoy_ID, 0);
    EXPECT_EQ(m_.boy_protect, 0);
    EXPECT_EQ(m_.mysql_id(), 0);
    EXPECT_EQ(QStringList({m_.boy_c, m_.boy_wei, m_.boy_zhi, m_.boy_hao, m_.boy_yi}),
              QStringList({"公", "讳", "字", "号", "谥"}));
    EXPECT_EQ(m_.boy_jc, 3);

    EXPECT_EQ(m_.Find子女("甲"), -1);  // no children
    EXPECT_EQ(m_.Find始祖("无此人"), "");
    EXPECT_TRUE(m_.This始祖dspt("无此人"));
    EXPECT_EQ(m_.Find配偶("无此人"), "");
    EXPECT_EQ(m_.Return父亲信息("无此人"), "");
    EXPECT_EQ(m_.Get母亲信息("无此人", "甲"), "");
    EXPECT_FALSE(m_.Get配偶生死("无此人", "甲"));
    // A quote in a name is only a character.
    EXPECT_EQ(m_.Find自已("O'Neil' OR '1'='1"), -1);
}

TEST_F(MemberLookups, SplitsTheSixNameParts) {
    Add("a", "", {{"c_jc_w_z_h", "公%3"}});
    Add("b", "", {{"c_jc_w_z_h", kNull}});
    Add("c", "", {{"c_jc_w_z_h", "x%300%w%z%h%y"}});
    Add("d", "", {{"c_jc_w_z_h", "%abc%%%%"}});
    Add("e", "", {{"c_jc_w_z_h", "%2.5%%%%%extra"}});
    const auto parts = [&] {
        return QStringList(
            {m_.boy_c, QString::number(m_.boy_jc), m_.boy_wei, m_.boy_zhi, m_.boy_hao, m_.boy_yi});
    };
    ASSERT_EQ(m_.Find自已("a"), 0);
    EXPECT_EQ(parts(), QStringList({"公", "3", "", "", "", ""}));
    ASSERT_EQ(m_.Find自已("c"), 0);
    EXPECT_EQ(parts(), QStringList({"x", "0", "w", "z", "h", "y"}));  // beyond a byte reads as 0
    ASSERT_EQ(m_.Find自已("b"), 0);
    EXPECT_EQ(parts(), QStringList({"", "0", "", "", "", ""}));
    ASSERT_EQ(m_.Find自已("d"), 0);
    EXPECT_EQ(m_.boy_jc, 0);
    ASSERT_EQ(m_.Find自已("e"), 0);
    EXPECT_EQ(parts(), QStringList({"", "2", "", "", "", ""}));  // half to even, extra parts ignored
}

TEST_F(MemberLookups, SpousesFollowSiblingOrder) {
    Add("父", "");
    Add("c1", "父", {{"mother", "甲氏"}, {"boy_sort", 1}});
    Add("c3", "父", {{"mother", " 甲氏 "}, {"boy_sort", 3}});
    Add("c2", "父", {{"mother", "乙氏"}, {"boy_sort", 2}});
    Add("c2b", "父", {{"mother", "乙氏"}, {"boy_sort", 2}});
    Add("c4", "父", {{"mother", ""}, {"boy_sort", 4}});
    Add("c5", "父", {{"mother", kNull}, {"boy_sort", 5}});
    Add("c6", "父", {{"mother", "丙氏"}, {"boy_sort", 6}});
    Add("x", "别人", {{"mother", "丁氏"}});
    EXPECT_EQ(m_.Find配偶("父"), "%_甲氏%_乙氏%_甲氏%_丙氏");

    Add("单", "");
    Add("d1", "单", {{"mother", ""}});
    Add("d2", "单", {{"mother", kNull}});
    Add("d3", "单", {{"mother", "  "}});
    EXPECT_EQ(m_.Find配偶("单"), "");
}

TEST_F(MemberLookups, SpousesInOneReadAgreeWithTheSingleLookUps) {
    Add("父", "");
    Add("c1", "父", {{"mother", " 甲氏 "}, {"boy_sort", 1}, {"Mother_active", 0}});
    Add("c2", "父", {{"mother", "甲氏"}, {"boy_sort", 4}, {"mother_birthday", "1900年"}});
    Add("c3", "父", {{"mother", "Li"}, {"boy_sort", 2}, {"Mother_active", 0}, {"m_position", "主妇"}});
    Add("c4", "父", {{"mother", "LI"}, {"boy_sort", 3}});
    Add("c5", "父", {{"mother", "  "}, {"boy_sort", 5}});
    Add("x", "别人", {{"mother", "甲氏"}});
    const QStringList names = m_.Find配偶("父").split("%_").mid(1);
    const QList<Cls子女::Spouse> spouses = m_.Spouses("父");
    ASSERT_EQ(spouses.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(spouses[i].name, names[i]);
        EXPECT_EQ(spouses[i].living, m_.Get配偶生死(names[i], "父")) << i;
        EXPECT_EQ(spouses[i].description, m_.Get母亲信息(names[i], "父")) << i;
    }
    EXPECT_EQ(names, QStringList({"甲氏", "Li", "LI", "甲氏"}));
    EXPECT_TRUE(m_.Spouses("别人")[0].living);
}

TEST_F(MemberLookups, FatherParticularsString) {
    Add("父", "",
        {{"boy_birthday", "1890"},
         {"boy_death", "1950"},
         {"boy_active", 0},
         {"boy_education", "秀才"},
         {"boy_position", "县令"},
         {"Boy_Sex", 1},
         {"boy_folk", "汉族"},
         {"c_jc_w_z_h", "公%2%讳%字%号%"}});
    EXPECT_EQ(m_.Return父亲信息("父"), "1890%_1950%_False%_秀才%_县令%_True%_汉族%_公%2%讳%字%号%");

    Add("空", kNull, {{"boy_active", 0}, {"Boy_Sex", 0}});
    EXPECT_EQ(m_.Return父亲信息("空"), "%_%_False%_%_%_False%_%_");
}

TEST_F(MemberLookups, MotherSentenceAndLivingFlag) {
    Add("父", "");
    Add("c1", "父",
        {{"mother", "王氏"},
         {"mother_folk", " 汉族 "},
         {"m_education", "私塾"},
         {"m_position", "主妇"},
         {"mother_birthday", "1900年"},
         {"mother_death", "1980年"},
         {"Mother_active", 0}});
    Add("c2", "父", {{"mother", "陈氏"}, {"mother_birthday", "1910年"}, {"Mother_active", 1}});
    Add("c3", "父", {{"mother", "林氏"}, {"mother_folk", "  "}});
    EXPECT_EQ(m_.Get母亲信息("王氏", "父"), "王氏，汉族人士，私塾，主妇，生于1900年，卒于1980年。");
    EXPECT_EQ(m_.Get母亲信息("陈氏", "父"), "陈氏，生于1910年。");
    EXPECT_EQ(m_.Get母亲信息("林氏", "父"), "林氏。");
    EXPECT_EQ(m_.Get母亲信息("王氏", "别人"), "");

    EXPECT_FALSE(m_.Get配偶生死("王氏", "父"));
    EXPECT_TRUE(m_.Get配偶生死("陈氏", "父"));
    EXPECT_FALSE(m_.Get配偶生死("陈氏", "别人"));
}

TEST_F(MemberLookups, ClimbsToTheRoot) {
    Add("祖", "");
    Add("父", "祖");
    Add("子", "父");
    Add("Root", kNull);
    Add("kid", "root");  // names compare without case
    Add("隐", "No_Display");
    Add("隐子", "隐");
    Add("孤", "不存在");
    Add("孤子", "孤");
    Add("环甲", "环乙");
    Add("环乙", "环丙");
    Add("环丙", "环甲");
    Add("环下", "环甲");
    Add("自", "自");

    EXPECT_EQ(m_.Find始祖("祖"), "祖");
    EXPECT_EQ(m_.Find始祖("子"), "祖");
    EXPECT_EQ(m_.Find始祖("kid"), "Root");
    EXPECT_EQ(m_.Find始祖("隐"), "隐");
    EXPECT_EQ(m_.Find始祖("隐子"), "隐");
    EXPECT_EQ(m_.Find始祖("孤子"), "");
    EXPECT_EQ(m_.Find始祖("环下"), "");
    EXPECT_EQ(m_.Find始祖("自"), "");
    EXPECT_EQ(m_.Find始祖(""), "");

    EXPECT_FALSE(m_.This始祖dspt("隐"));
    EXPECT_TRUE(m_.This始祖dspt("隐子"));
    EXPECT_TRUE(m_.This始祖dspt("祖"));
    EXPECT_TRUE(m_.This始祖dspt("Root"));
}

}  // namespace
