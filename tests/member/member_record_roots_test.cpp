#include <gtest/gtest.h>
#include <QStringList>

#include "frame/app_state.h"
#include "frame/book_schema.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "member/member_record.h"
#include "platform/interaction/scripted_interaction.h"
#include "store/memory_tree_nodes.h"
#include "support/scripted_ui.h"
#include "support/suite_book_fixture.h"

namespace {

const QString kRefused = "不能移到自己或自己的后代之下！";

// One book for the suite: creating and keying the files costs far more than the cases themselves.
class MemberRoots : public SuiteBookFixture {
protected:
    static void SetUpTestSuite() {
        SuiteBookFixture::SetUpTestSuite();
        OpenDataDb(DataDbPath(), BookDbPassword());
        OpenImageDb(ImageDbPath(), BookDbPassword());
        OpenDescriptDb(DescriptDbPath(), BookDbPassword());
    }
    void SetUp() override {
        for (const char* table : {"本姓成员", "temp世祖"})
            App().DataDb.Execute(QString("DELETE FROM \"%1\"").arg(table));
        App().ImageDb.Execute("DELETE FROM \"imageylk\"");
        App().DescriptDb.Execute("DELETE FROM \"story\"");
        ui_ = InstallScriptedInteraction(&previous_);
    }
    void TearDown() override {
        EXPECT_TRUE(ui_->AllConsumed());
        SetInteraction(std::move(previous_));
    }

    void Add(const QString& filial, const QVariant& father, int sex = 1) {
        App().DataDb.Execute(
            "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"Boy_Sex\") VALUES (?, ?, ?)",
            {filial, father, sex});
    }
    QVariant Column(const QString& filial, const QString& column) {
        return App().DataDb.Scalar(
            QString("SELECT %1 FROM \"本姓成员\" WHERE \"filial\" = ?").arg(dao::QuoteIdent(column)),
            {filial});
    }
    // "name<father" for every member, in the order of the table: the whole father structure at a glance.
    QStringList Fathers() {
        QStringList out;
        for (auto rs = App().DataDb.OpenRecordset(
                 "SELECT \"filial\", \"father\" FROM \"本姓成员\" ORDER BY \"filial_id\"");
             rs.hasRow(); rs.MoveNext())
            out << rs.Text("filial") + "<" + rs.Text("father");
        return out;
    }
    // "key<parentKey" for every node in index order.
    static QStringList Nodes(const MemoryTreeNodes& tree) {
        QStringList out;
        for (int i = 1; i <= tree.Count(); ++i) out << tree.KeyAt(i) + "<" + tree.ParentKeyAt(i);
        return out;
    }

    // 甲 ─ 乙 ─ 丁 ─ 戊 and 甲 ─ 丙 in the book; the tree page shows 甲, 乙, 丙, 丁 (戊 is on the next page).
    void FamilyOnPage(MemoryTreeNodes& tree) {
        Add("甲", "");
        Add("乙", "甲");
        Add("丙", "甲");
        Add("丁", "乙");
        Add("戊", "丁");
        tree.Add("", "_甲", "甲", 1);
        tree.Add("_甲", "_乙", "乙", 1);
        tree.Add("_甲", "_丙", "丙", 1);
        tree.Add("_乙", "_丁", "丁", 1);
    }

    ScriptedInteraction* ui_ = nullptr;
    std::unique_ptr<Interaction> previous_;
    Cls子女 m_;
};

TEST_F(MemberRoots, CreateRootRewritesAnExistingPairAndAddsANewOne) {
    App().DataDb.Execute(
        "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"mother\", \"boy_birthday\") "
        "VALUES ('张三', '张父', '王氏', '1920')");
    EXPECT_EQ(m_.创建世祖("张父", "李氏", "张三"), 0);
    EXPECT_EQ(Column("张三", "mother"), "李氏");
    EXPECT_EQ(Column("张三", "boy_birthday"), "1920");

    EXPECT_EQ(m_.创建世祖("", "赵氏", "张四"), 0);
    EXPECT_EQ(Fathers(), QStringList({"张三<张父", "张四<"}));
    EXPECT_EQ(Column("张四", "mother"), "赵氏");
    EXPECT_EQ(Column("张四", "Boy_Sex").toInt(), 1);
    EXPECT_EQ(Column("张四", "generation").toInt(), -9999);

    // A name already used under another father is a second row for one key: the database refuses it.
    try {
        m_.创建世祖("别人", "孙氏", "张三");
        ADD_FAILURE() << "a duplicate name was stored";
    } catch (const dao::DaoError& e) {
        EXPECT_EQ(e.Number(), dao::kErrDuplicateKey);
    }
    EXPECT_EQ(Fathers(), QStringList({"张三<张父", "张四<"}));
    EXPECT_EQ(Column("张三", "mother"), "李氏");
}

TEST_F(MemberRoots, MakeSelfRootKeepsTheChildren) {
    Add("甲", "");
    Add("乙", "甲");
    Add("丙", "乙");
    EXPECT_EQ(m_.Whnt自己为始祖("乙"), 0);
    EXPECT_EQ(m_.Whnt自己为始祖("无此人"), 0);
    EXPECT_EQ(Fathers(), QStringList({"甲<", "乙<", "丙<乙"}));
}

TEST_F(MemberRoots, BranchSplitKeepsSexesAndGivesTheRootAFreeName) {
    Add("张二", "张一");
    Add("长子", "张二", 1);
    Add("长女", "张二", 0);
    Add("次子", "张二", 1);
    Add("新谱", "");
    App().DataDb.Execute(
        "INSERT INTO \"temp世祖\" (\"father\", \"currentpage\", \"generation\") VALUES ('张一', 1, 5)");
    App().CurrentPage = 3;

    EXPECT_EQ(m_.创建分支谱("新谱", "张二"), "新谱[1]");

    EXPECT_EQ(Fathers(), QStringList({"张二<张一", "长子<新谱[1]", "长女<新谱[1]", "次子<新谱[1]", "新谱<",
                                      "新谱[1]<"}));
    EXPECT_EQ(Column("长子", "Boy_Sex").toInt(), 1);
    EXPECT_EQ(Column("长女", "Boy_Sex").toInt(), 0);
    EXPECT_EQ(Column("次子", "Boy_Sex").toInt(), 1);
    EXPECT_FALSE(Column("新谱[1]", "father").isNull());
    EXPECT_EQ(Column("新谱[1]", "generation").toInt(), -9999);

    QStringList starts;
    for (auto rs = App().DataDb.OpenRecordset("SELECT * FROM \"temp世祖\" ORDER BY rowid"); rs.hasRow();
         rs.MoveNext())
        starts << QString("%1/%2/%3/%4")
                      .arg(rs.Text("father"))
                      .arg(rs.Long("currentpage"))
                      .arg(rs.Long("generation"))
                      .arg(rs.Long("No_Display"));
    EXPECT_EQ(starts, QStringList({"张一/1/5/0", "新谱[1]/3/0/0"}));
}

TEST_F(MemberRoots, BranchSplitIsWholeOrNotAtAll) {
    Add("张二", "");
    Add("长子", "张二");
    // The last step fails: the children must not be left under a root that was never stored.
    App().DataDb.Execute(
        "CREATE TEMP TRIGGER \"no_page_start\" BEFORE INSERT ON main.\"temp世祖\" "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_THROW(m_.创建分支谱("新谱", "张二"), dao::DaoError);
    App().DataDb.Execute("DROP TRIGGER temp.\"no_page_start\"");
    EXPECT_EQ(Fathers(), QStringList({"张二<", "长子<张二"}));
}

TEST_F(MemberRoots, BranchSplitWithABlankNameIsRefused) {
    Add("张二", "");
    Add("长子", "张二");
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_EQ(m_.创建分支谱("  ", "张二"), "");
    ASSERT_EQ(ui_->log().size(), 1u);
    EXPECT_EQ(ui_->log()[0].text, "始祖名为空白，不能创建分支谱！");
    EXPECT_EQ(ui_->log()[0].style, vb::Exclamation);
    EXPECT_EQ(Fathers(), QStringList({"张二<", "长子<张二"}));
    EXPECT_TRUE(App().DataDb.Scalar("SELECT 1 FROM \"temp世祖\"").isNull());
}

TEST_F(MemberRoots, DragOntoAFatherOnThisPageMovesTheNodeWithItsSubtree) {
    MemoryTreeNodes tree;
    FamilyOnPage(tree);
    EXPECT_EQ(m_.拖动到(tree, "乙", "丙"), 0);
    EXPECT_EQ(Fathers(), QStringList({"甲<", "乙<丙", "丙<甲", "丁<乙", "戊<丁"}));
    EXPECT_EQ(Nodes(tree), QStringList({"_甲<", "_乙<_丙", "_丙<_甲", "_丁<_乙"}));
    EXPECT_EQ(tree.ChildKeys("_甲"), QStringList({"_丙"}));
    EXPECT_EQ(tree.ChildKeys("_丙"), QStringList({"_乙"}));
}

TEST_F(MemberRoots, DragOntoAFatherOnAnotherPageTakesTheDraggedNodeOutOfView) {
    MemoryTreeNodes tree;
    FamilyOnPage(tree);
    Add("己", "");                     // a root on another page
    tree.Select(tree.IndexOf("_丙"));  // the selection is not what moves
    EXPECT_EQ(m_.拖动到(tree, "乙", "己"), 0);
    EXPECT_EQ(Column("乙", "father"), "己");
    EXPECT_EQ(Nodes(tree), QStringList({"_甲<", "_丙<_甲"}));
    EXPECT_EQ(tree.SelectedIndex(), tree.IndexOf("_丙"));
}

TEST_F(MemberRoots, DragOntoOrOfAnUnknownNameChangesNothing) {
    MemoryTreeNodes tree;
    FamilyOnPage(tree);
    const QStringList before = Fathers();
    EXPECT_EQ(m_.拖动到(tree, "乙", "无此人"), -1);
    EXPECT_EQ(m_.拖动到(tree, "无此人", "丙"), -1);
    EXPECT_EQ(Fathers(), before);
    EXPECT_EQ(Nodes(tree), QStringList({"_甲<", "_乙<_甲", "_丙<_甲", "_丁<_乙"}));
}

TEST_F(MemberRoots, DragUnderItselfOrADescendantIsRefused) {
    MemoryTreeNodes tree;
    FamilyOnPage(tree);
    const QStringList before = Fathers();
    const QStringList nodes = Nodes(tree);
    // Itself, a descendant on this page, one on another page, and itself spelt in other letter case.
    Add("Ann", "丁");
    const QStringList withAnn = Fathers();
    for (const auto& [moved, dest] : {std::pair<QString, QString>{"乙", "乙"},
                                      {"乙", "丁"},
                                      {"乙", "戊"},
                                      {"乙", "Ann"},
                                      {"Ann", "ANN"}}) {
        ui_->ExpectMsgBox(vb::OK);
        EXPECT_EQ(m_.拖动到(tree, moved, dest), 1) << moved.toStdString() << " onto " << dest.toStdString();
    }
    ASSERT_EQ(ui_->log().size(), 5u);
    for (const auto& shown : ui_->log()) {
        EXPECT_EQ(shown.text, kRefused);
        EXPECT_EQ(shown.style, vb::Exclamation);
    }
    EXPECT_EQ(Fathers(), withAnn);
    EXPECT_EQ(Nodes(tree), nodes);
    EXPECT_EQ(before.size() + 1, withAnn.size());
}

TEST_F(MemberRoots, DragEndsTheClimbOnALoopInTheFatherLinks) {
    MemoryTreeNodes tree;
    FamilyOnPage(tree);
    Add("环一", "环二");
    Add("环二", "环一");
    EXPECT_EQ(m_.拖动到(tree, "乙", "环一"), 0);
    EXPECT_EQ(Column("乙", "father"), "环一");
    // A member inside the loop cannot go under the other one: that is its own descendant.
    ui_->ExpectMsgBox(vb::OK);
    EXPECT_EQ(m_.拖动到(tree, "环二", "环一"), 1);
    EXPECT_EQ(Column("环二", "father"), "环一");
}

TEST_F(MemberRoots, FamousPersonCopiesGoBothWays) {
    auto& img = App().ImageDb;
    auto& story = App().DescriptDb;
    const QByteArray first("\x89PNG\x00\x01", 6);
    story.Execute("INSERT INTO \"story\" (\"filial\", \"Hisdescript\") VALUES ('张三', 'scrambled-page')");

    // A page but no picture: only the page entry appears.
    EXPECT_EQ(m_.LfntoNotable("张三", true), 0);
    EXPECT_EQ(story.Scalar("SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = '.张三'"),
              "scrambled-page");
    EXPECT_EQ(story.Scalar("SELECT count(*) FROM \"story\"").toInt(), 2);
    EXPECT_EQ(img.Scalar("SELECT count(*) FROM \"imageylk\"").toInt(), 0);

    // Back the other way: the famous-person entry overwrites the member's page and first picture.
    story.Execute("UPDATE \"story\" SET \"Hisdescript\" = 'famous-page' WHERE \"filial\" = '.张三'");
    img.Execute("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES ('.张三', ?, 'p1')",
                {first});
    img.Execute("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES ('.张三', ?, 'p2')",
                {QByteArray("second")});
    img.Execute("INSERT INTO \"imageylk\" (\"filial\", \"myimage\", \"imagepath\") VALUES ('张三', ?, 'old')",
                {QByteArray("old")});
    EXPECT_EQ(m_.LfntoNotable("张三", false), 0);
    EXPECT_EQ(story.Scalar("SELECT \"Hisdescript\" FROM \"story\" WHERE \"filial\" = '张三'"), "famous-page");
    EXPECT_EQ(story.Scalar("SELECT count(*) FROM \"story\"").toInt(), 2);
    QStringList rows;
    for (auto rs = img.OpenRecordset("SELECT * FROM \"imageylk\" ORDER BY \"image_id\""); rs.hasRow();
         rs.MoveNext())
        rows << rs.Text("filial") + "/" + rs.Text("imagepath") + "/" +
                    QString::fromLatin1(rs.Bytes("myimage").toHex());
    EXPECT_EQ(rows, QStringList({".张三/p1/89504e470001",
                                 ".张三/p2/" + QString::fromLatin1(QByteArray("second").toHex()),
                                 "张三/p1/89504e470001"}));

    // A member without entries leaves the famous-person entry alone.
    EXPECT_EQ(m_.LfntoNotable("李四", true), 0);
    EXPECT_EQ(story.Scalar("SELECT count(*) FROM \"story\"").toInt(), 2);
    EXPECT_EQ(img.Scalar("SELECT count(*) FROM \"imageylk\"").toInt(), 3);
}

}  // namespace
