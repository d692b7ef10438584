#include <gtest/gtest.h>
#include <QStringList>
#include <memory>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "member/member_record.h"
#include "platform/interaction/scripted_interaction.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

// Every column of a table's rows in stored order, one "|"-joined line per row, Null as "~".
QStringList Rows(dao::Database& db, const QString& sql) {
    QStringList rows;
    for (dao::Recordset rs = db.OpenRecordset(sql); rs.hasRow(); rs.MoveNext()) {
        QStringList cols;
        for (int i = 0; i < rs.fieldCount(); ++i)
            cols << (rs.value(i).isNull() ? QStringLiteral("~") : rs.value(i).toString());
        rows << cols.join(QLatin1Char('|'));
    }
    return rows;
}

const QString kMembers =
    QStringLiteral("SELECT \"filial\", \"father\", \"mother\" FROM \"本姓成员\" ORDER BY \"filial_id\"");
const QString kPageStarts =
    QStringLiteral("SELECT \"father\", \"currentpage\" FROM \"temp世祖\" ORDER BY rowid");
const QString kKeywords = QStringLiteral("SELECT \"filial\", \"page_key\" FROM \"pageindx\" ORDER BY rowid");
const QString kPictures =
    QStringLiteral("SELECT \"filial\", \"imagepath\" FROM \"imageylk\" ORDER BY \"image_id\"");
const QString kPages = QStringLiteral("SELECT \"filial\", \"Hisdescript\" FROM \"story\" ORDER BY rowid");

// One book for the suite; each case starts from empty tables.
class MemberSave : public SuiteBookFixture {
protected:
    void SetUp() override {
        ResetAppState();
        OpenDataDb(DataDbPath(), BookDbPassword());
        OpenImageDb(ImageDbPath(), BookDbPassword());
        OpenDescriptDb(DescriptDbPath(), BookDbPassword());
        for (const char* table : {"本姓成员", "temp世祖", "pageindx"})
            Data().Execute("DELETE FROM " + dao::QuoteIdent(QString::fromUtf8(table)));
        Data().Execute("DELETE FROM \"sqlite_sequence\"");
        Image().Execute("DELETE FROM \"imageylk\"");
        Image().Execute("DELETE FROM \"sqlite_sequence\"");
        Story().Execute("DELETE FROM \"story\"");
        ui_ = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
        ResetAppState();
    }

    static dao::Database& Data() { return App().DataDb; }
    static dao::Database& Image() { return App().ImageDb; }
    static dao::Database& Story() { return App().DescriptDb; }

    void Add(const QString& filial, const QString& father, const QString& mother = QString("")) {
        Data().Execute("INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\") VALUES (?, ?, ?)",
                       {filial, father, mother});
    }
    void AddPageStart(const QString& name, int page) {
        Data().Execute("INSERT INTO \"temp世祖\" (\"father\", \"currentpage\") VALUES (?, ?)", {name, page});
    }
    void AddKeyword(const QString& name, const QString& key) {
        Data().Execute("INSERT INTO \"pageindx\" (\"filial\", \"page_key\") VALUES (?, ?)", {name, key});
    }
    void AddPicture(const QString& name, const QString& path) {
        Image().Execute("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES (?, ?, ?)",
                        {name, QByteArray("png"), path});
    }
    void AddPage(const QString& name, const QString& text) {
        Story().Execute("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES (?, ?)", {name, text});
    }

    // A father with two children, two page starts, keywords, pictures and a page, beside a second
    // family whose rows no operation on the first may touch.
    void AddTwoFamilies() {
        Add("王父", "", "");
        Add("王甲", "王父", "李氏");
        Add("王乙", "王父", "李氏");
        Add("赵父", "", "");
        Add("赵甲", "赵父", "孙氏");
        AddPageStart("王父", 1);
        AddPageStart("赵父", 1);
        AddPageStart("王父", 5);
        AddKeyword("王父", "农");
        AddKeyword("赵父", "商");
        AddKeyword("王父", "儒");
        AddPicture("王父", "p1");
        AddPicture("赵父", "z1");
        AddPicture("王父", "p2");
        AddPage("王父", "王父传");
        AddPage("赵父", "赵父传");
    }

    // Rows of all five tables the rename and the deletion reach.
    QStringList Snapshot() {
        return QStringList{Rows(Data(), kMembers).join(';'), Rows(Data(), kPageStarts).join(';'),
                           Rows(Data(), kKeywords).join(';'), Rows(Image(), kPictures).join(';'),
                           Rows(Story(), kPages).join(';')};
    }

    // Files still attached to the members database besides its own.
    QStringList Attached() {
        QStringList names;
        for (dao::Recordset rs = Data().OpenRecordset("PRAGMA database_list"); rs.hasRow(); rs.MoveNext())
            if (rs.Text("name") != "main" && rs.Text("name") != "temp") names << rs.Text("name");
        return names;
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    Cls子女 m_;
};

const QString kAllColumns = QStringLiteral(
    "SELECT \"father\", \"mother\", \"mother_birthday\", \"mother_death\", \"Mother_active\", "
    "\"m_education\", "
    "\"m_position\", \"mother_folk\", \"filial\", \"Boy_Sex\", \"boy_birthday\", \"boy_death\", "
    "\"boy_active\", "
    "\"boy_education\", \"boy_position\", \"boy_folk\", \"c_jc_w_z_h\", \"generation\", \"flag\", "
    "\"boy_sort\", "
    "\"filial_protect\", \"mysql_id\", \"myacc_id\" FROM \"本姓成员\" WHERE \"filial\" = ?");

QString RowOf(dao::Database& db, const QString& name) {
    QStringList cols;
    dao::Recordset rs = db.OpenRecordset(kAllColumns, {name});
    if (rs.EOF_()) return QStringLiteral("<none>");
    for (int i = 0; i < rs.fieldCount(); ++i)
        cols << (rs.value(i).isNull() ? QStringLiteral("~") : rs.value(i).toString());
    return cols.join(QLatin1Char('|'));
}

void FillMember(Cls子女& m) {
    m.strFather = "王父";
    m.strMother = "李氏";
    m.strMother_Birthday = "1900";
    m.strMother_Death = "1960";
    m.bMother_Active = false;
    m.strMother_Education = "私塾";
    m.strMother_Position = "主妇";
    m.strMother_Folk = "汉族";
    m.strBoy = "王丙";
    m.bBoy_Sex = false;
    m.strBoy_Birthday = "1925";
    m.strBoy_Death = "";
    m.bBoy_Active = true;
    m.strBoy_Education = "大学";
    m.strBoy_Position = "教师";
    m.strBoy_Folk = "满族";
    m.boy_c = "世祖";
    m.boy_jc = 3;
    m.boy_wei = "讳德润之长名";
    m.boy_zhi = "字仲和字仲和";
    m.boy_hao = "号松园居士号松园居士";
    m.boy_yi = "谥文贞";
}

// Longer than 30 characters: kept whole.
const QString kJoinedParts = QStringLiteral("世祖%3%讳德润之长名%字仲和字仲和%号松园居士号松园居士%谥文贞");

}  // namespace

TEST_F(MemberSave, OneChildStoresEveryColumnAndTheWholeNameParts) {
    Add("王父", "");
    FillMember(m_);
    ASSERT_GT(kJoinedParts.size(), 30);
    EXPECT_EQ(m_.Save子女(1), 0);
    EXPECT_EQ(RowOf(Data(), "王丙"), "王父|李氏|1900|1960|0|私塾|主妇|汉族|王丙|0|1925||1|大学|教师|满族|" +
                                         kJoinedParts + "|-9999|-9|0|0|0|0");

    Cls子女 back;
    ASSERT_EQ(back.Find自已("王丙"), 0);
    EXPECT_EQ(back.boy_hao, "号松园居士号松园居士");
    EXPECT_EQ(back.boy_yi, "谥文贞");
    EXPECT_EQ(back.boy_jc, 3);
}

TEST_F(MemberSave, SeveralChildrenAreTrimmedAndTheParticularsGoToTheFather) {
    Add("王父", "王祖", "张氏");
    FillMember(m_);
    m_.strBoy = " 王甲 ; 王乙 ";
    m_.bBoy_Sex = true;
    EXPECT_EQ(m_.Save子女(2), 0);

    EXPECT_EQ(Rows(Data(), kMembers), (QStringList{"王父|王祖|张氏", "王甲|王父|李氏", "王乙|王父|李氏"}));
    // The children get the mother's particulars and the sex; their own columns keep the defaults.
    EXPECT_EQ(RowOf(Data(), "王甲"),
              "王父|李氏|1900|1960|0|私塾|主妇|汉族|王甲|1|~|~|1|~|~|~|~|-9999|-9|0|0|0|0");
    EXPECT_EQ(RowOf(Data(), "王乙"),
              "王父|李氏|1900|1960|0|私塾|主妇|汉族|王乙|1|~|~|1|~|~|~|~|-9999|-9|0|0|0|0");
    // The father's own particulars, and nothing of his mother, change.
    EXPECT_EQ(RowOf(Data(), "王父"),
              "王祖|张氏|~|~|1|~|~|~|王父|1|1925||1|大学|教师|满族|" + kJoinedParts + "|-9999|-9|0|0|0|0");
}

TEST_F(MemberSave, SeveralChildrenOfAMissingFatherWriteNothingAndSaySo) {
    Add("王父", "");
    FillMember(m_);
    m_.strFather = "王无";
    m_.strBoy = "王甲;王乙";
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_EQ(m_.Save子女(2), 1);
    ASSERT_EQ(ui_->log().size(), 1u);
    EXPECT_EQ(ui_->log()[0].text, "父亲“王无”不在本谱中，子女没有保存！");
    EXPECT_EQ(ui_->log()[0].style, 48);
    EXPECT_EQ(Rows(Data(), kMembers), QStringList{"王父||"});

    // A root's children typed in several-children style have no father row either.
    m_.strFather = "";
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_EQ(m_.Save子女(2), 1);
    EXPECT_EQ(Rows(Data(), kMembers), QStringList{"王父||"});
}

TEST_F(MemberSave, SeveralChildrenWithATakenNameAddNoneAndLeaveTheFather) {
    Add("王父", "");
    Add("王乙", "王父");
    const QString before = RowOf(Data(), "王父");
    FillMember(m_);
    m_.strBoy = "王甲;王乙";
    try {
        m_.Save子女(2);
        FAIL() << "a taken name was stored twice";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), dao::kErrDuplicateKey);
    }
    EXPECT_EQ(Rows(Data(), kMembers), (QStringList{"王父||", "王乙|王父|"}));
    EXPECT_EQ(RowOf(Data(), "王父"), before);
}

TEST_F(MemberSave, RenameCarriesChildrenPageStartsKeywordsPicturesAndPage) {
    AddTwoFamilies();
    ASSERT_EQ(m_.Find自已("王父"), 0);
    m_.strBoy = "王新";
    m_.strBoy_Position = "县令";
    m_.boy_c = "始祖";
    m_.boy_jc = 0;
    EXPECT_EQ(m_.Whnt自已("王父"), 0);

    EXPECT_EQ(Snapshot(), (QStringList{"王新||;王甲|王新|李氏;王乙|王新|李氏;赵父||;赵甲|赵父|孙氏",
                                       "王新|1;赵父|1;王新|5", "王新|农;赵父|商;王新|儒",
                                       "王新|p1;赵父|z1;王新|p2", "王新|王父传;赵父|赵父传"}));
    EXPECT_EQ(RowOf(Data(), "王新"), "||||1||||王新|1|||1||县令||始祖%0%%%%|-9999|-9|0|0|0|0");
    EXPECT_EQ(Attached(), QStringList{});
}

TEST_F(MemberSave, RenameWithTheSameNameRewritesOnlyTheRow) {
    AddTwoFamilies();
    const QStringList before = Snapshot();
    ASSERT_EQ(m_.Find自已("王甲"), 0);
    m_.strMother_Death = "1970";
    m_.boy_wei = "讳";
    EXPECT_EQ(m_.Whnt自已("王甲"), 0);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(RowOf(Data(), "王甲"), "王父|李氏||1970|1||||王甲|1|||1||||%0%讳%%%|-9999|-9|0|0|0|0");
}

TEST_F(MemberSave, RenameRollsBackWholeWhenItsLastStepFails) {
    AddTwoFamilies();
    const QStringList before = Snapshot();
    const QString row = RowOf(Data(), "王父");
    Story().Execute("ALTER TABLE \"story\" RENAME TO \"story_away\"");
    ASSERT_EQ(m_.Find自已("王父"), 0);
    m_.strBoy = "王新";
    m_.strBoy_Birthday = "1888";
    EXPECT_THROW(m_.Whnt自已("王父"), dao::DaoError);
    Story().Execute("ALTER TABLE \"story_away\" RENAME TO \"story\"");

    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(RowOf(Data(), "王父"), row);
    EXPECT_EQ(Attached(), QStringList{});
}

TEST_F(MemberSave, RenameToAnotherMembersNameChangesNothing) {
    AddTwoFamilies();
    const QStringList before = Snapshot();
    ASSERT_EQ(m_.Find自已("王父"), 0);
    m_.strBoy = "赵父";
    try {
        m_.Whnt自已("王父");
        FAIL() << "two members share a name";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), dao::kErrDuplicateKey);
    }
    EXPECT_EQ(Snapshot(), before);

    // A member that is not there has no row to write.
    m_.strBoy = "王新";
    try {
        m_.Whnt自已("王无");
        FAIL() << "a missing member was reported saved";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), 3021);
        EXPECT_EQ(e.Description(), "无当前记录。");
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Attached(), QStringList{});
}

TEST_F(MemberSave, FatherMotherAndSiblingOrderChangeOnlyTheirRows) {
    AddTwoFamilies();
    EXPECT_EQ(m_.Whnt父亲("赵父", "王甲"), 0);
    EXPECT_EQ(Rows(Data(), kMembers).join(';'), "王父||;王甲|赵父|李氏;王乙|王父|李氏;赵父||;赵甲|赵父|孙氏");
    EXPECT_EQ(m_.Whnt父母("王父", "周氏", "赵父"), 0);
    EXPECT_EQ(Rows(Data(), kMembers).join(';'), "王父||;王甲|王父|周氏;王乙|王父|李氏;赵父||;赵甲|王父|周氏");
    EXPECT_EQ(m_.Whnt_BoySort("王乙", 200), 0);
    EXPECT_EQ(
        Rows(Data(), "SELECT \"filial\", \"boy_sort\" FROM \"本姓成员\" ORDER BY \"filial_id\"").join(';'),
        "王父|0;王甲|0;王乙|200;赵父|0;赵甲|0");
}

TEST_F(MemberSave, ShowingAndHidingRootsGiveTheirThreeAnswers) {
    AddTwoFamilies();
    const QString fathers = "SELECT \"filial\", \"father\" FROM \"本姓成员\" ORDER BY \"filial_id\"";
    const QStringList before = Rows(Data(), fathers);
    EXPECT_EQ(m_.SetDisplayYesNo("王甲", false), 1);
    EXPECT_EQ(m_.SetDisplayYesNo("王甲", true), 1);
    EXPECT_EQ(m_.SetDisplayYesNo("王父", true), 2);
    EXPECT_EQ(Rows(Data(), fathers), before);

    EXPECT_EQ(m_.SetDisplayYesNo("王父", false), 0);
    EXPECT_EQ(Rows(Data(), fathers).first(), "王父|No_Display");
    EXPECT_EQ(m_.SetDisplayYesNo("王父", false), 0);
    EXPECT_EQ(Rows(Data(), fathers).first(), "王父|No_Display");
    EXPECT_EQ(m_.SetDisplayYesNo("王父", true), 0);
    EXPECT_EQ(Rows(Data(), fathers), before);

    Data().Execute("UPDATE \"本姓成员\" SET \"father\" = NULL WHERE \"filial\" = ?", {"赵父"});
    EXPECT_EQ(m_.SetDisplayYesNo("赵父", true), 2);
    EXPECT_EQ(m_.SetDisplayYesNo("赵父", false), 0);
    EXPECT_EQ(Rows(Data(), fathers).at(3), "赵父|No_Display");

    try {
        m_.SetDisplayYesNo("王无", true);
        FAIL() << "a missing member was answered";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), 3021);
    }
}

TEST_F(MemberSave, DeletionTakesTheMembersRowsInEveryTableAndLeavesItsChildren) {
    AddTwoFamilies();
    m_.Delete子女("王父");
    EXPECT_EQ(Snapshot(), (QStringList{"王甲|王父|李氏;王乙|王父|李氏;赵父||;赵甲|赵父|孙氏", "赵父|1",
                                       "赵父|商", "赵父|z1", "赵父|赵父传"}));
    EXPECT_EQ(Attached(), QStringList{});

    // A later namesake starts with nothing of the deleted member.
    FillMember(m_);
    m_.strFather = "";
    m_.strBoy = "王父";
    EXPECT_EQ(m_.Save子女(1), 0);
    EXPECT_EQ(Data().Scalar("SELECT count(*) FROM \"pageindx\" WHERE \"filial\" = ?", {"王父"}).toInt(), 0);
}

TEST_F(MemberSave, DeletionRollsBackWholeWhenThePageFileFails) {
    AddTwoFamilies();
    const QStringList before = Snapshot();
    Story().Execute("ALTER TABLE \"story\" RENAME TO \"story_away\"");
    EXPECT_THROW(m_.Delete子女("王父"), dao::DaoError);
    Story().Execute("ALTER TABLE \"story_away\" RENAME TO \"story\"");
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Attached(), QStringList{});
}
