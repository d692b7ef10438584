#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "../../bench/book_generator.h"
#include "frame/app_state.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/forms/frm_little.h"
#include "print/golden.h"
#include "print/chart_branch.h"
#include "print/print_tree.h"
#include "print/print_zp.h"
#include "store/data_ops.h"
#include "support/book_fixture.h"
#include "support/scripted_ui.h"

namespace {

using NameMap = std::function<QString(const QString& name)>;

// A forest from (name, parent) pairs in the order the nodes are added; a map shows other texts.
class Forest : public ChartForest {
public:
    explicit Forest(const std::vector<std::pair<QString, QString>>& nodes, NameMap map = {})
        : map_(std::move(map)), children_(nodes.size() + 1) {
        for (const auto& [name, parent] : nodes) {
            names_ << name;
            const auto at = std::find(names_.begin(), names_.end(), parent);
            (parent.isEmpty() ? roots_ : children_[size_t(at - names_.begin()) + 1])
                .push_back(int(names_.size()));
        }
    }
    std::span<const int> Roots() const override { return roots_; }
    std::span<const int> Children(int node) const override { return children_[size_t(node)]; }
    QString Shown(int node) const override { return map_ ? map_(names_[node - 1]) : names_[node - 1]; }
    bool ShowsNumbers() const override { return bool(map_); }

private:
    NameMap map_;
    QStringList names_;
    std::vector<int> roots_;
    std::vector<std::vector<int>> children_;
};

QStringList Lines(const ChartForest& forest, int nameLength, int generations, qint64 first = 1) {
    const auto section = BuildChartSection(forest, first, {nameLength, generations});
    return section ? section->lines : QStringList{"<none>"};
}

TEST(ChartSection, GlyphColumnsAndCells) {
    struct Case {
        const char* what;
        std::vector<std::pair<QString, QString>> forest;
        int nameLength;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"one child: a rule, no line down", {{"甲", ""}, {"乙", "甲"}}, 2, {"  甲━━乙        "}},
        {"three children, the first with two rows",
         {{"祖", ""}, {"甲", "祖"}, {"乙", "祖"}, {"丙", "祖"}, {"戊", "甲"}, {"己", "甲"}},
         2,
         {"  祖┳━甲┳━戊  ", "    ┃    ┗━己  ", "    ┣━乙        ", "    ┗━丙        "}},
        {"bracket numbers hidden, long names cut, odd fill keeps a space",
         {{"王甲[2]", ""}, {"长长长长名", "王甲[2]"}, {"A张", "长长长长名"}},
         2,
         {"王甲━长长━ A张  "}},
        {"two roots, the second reached as a sibling",
         {{"甲", ""}, {"乙", ""}},
         2,
         {"  甲              ", "  乙              "}},
        {"a path deeper than the section keeps its first columns",
         {{"甲", ""}, {"乙", "甲"}, {"丙", "乙"}, {"丁", "丙"}},
         2,
         {"  甲━━乙━━丙  "}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lines(Forest(c.forest), c.nameLength, 3), c.lines) << c.what;
    }
    EXPECT_FALSE(BuildChartSection(Forest({}), 1, {2, 3}));
}

TEST(ChartSection, HeaderLines) {
    EXPECT_EQ(ChartHeaderLine(1, {3, 3}), "   1世     2世     3世  ");
    EXPECT_EQ(ChartHeaderLine(123, {2, 3}), "23世  24世  25世  ");
    EXPECT_EQ(ChartHeaderLine(-5, {3, 2}), "  -5世    -4世  ");
    EXPECT_EQ(ChartHeaderLine(37, {2, 12}).count(u'世'), 12);
}

TEST(ChartSection, LinksShowMemberNumbers) {
    const Forest tree({{"甲", ""}, {"乙[1]", "甲"}, {"丙", "甲"}},
                      [](const QString& name) { return name == "甲" ? QString("7") : QString("12345"); });
    EXPECT_EQ(Lines(tree, 2, 2), QStringList({"   7┳12345  ", "    ┗12345  "}));
    EXPECT_EQ(Lines(tree, 3, 2), QStringList({"     7┳ 12345  ", "      ┗ 12345  "}));
}

// A name cell as the chart has always made it: the name without its "[n]" right-aligned in the cell,
// and beyond the first column every pair of blanks a rule.
QString ReferenceCell(const QString& name, int column, int width) {
    QString cell = PadToWidthRight(StripBracketSuffix(name), width);
    if (column > 0) ReplaceAll(cell, QStringLiteral("  "), QStringLiteral("━"));
    return cell;
}

// A root and its only child, both shown as one name.
class TwoOfAName : public ChartForest {
public:
    explicit TwoOfAName(QString name) : name_(std::move(name)) {}
    std::span<const int> Roots() const override { return root_; }
    std::span<const int> Children(int node) const override {
        return node == 1 ? std::span<const int>(child_) : std::span<const int>();
    }
    QString Shown(int) const override { return name_; }
    bool ShowsNumbers() const override { return false; }

private:
    QString name_;
    const int root_[1] = {1};
    const int child_[1] = {2};
};

TEST(ChartSection, NameCellsAsTheTextHelpersMakeThem) {
    const QStringList names = {"甲",      "王甲[2]",    "[1]",      "",       "长长长长名", "A长长",
                               "A长长长", "王  三",     "王   三",  " 甲 ",   "a b  c d",   "𠀀甲",
                               "甲𠀀𠀀",  "ABCDEFGHIJ", "王[2][3]", "李 [1]", "é甲",        "１２３４"};
    for (int nameLength : {2, 3, 5}) {
        for (const QString& name : names) {
            const int width = 2 * nameLength;
            const QString expected =
                ReferenceCell(name, 0, width) + "━" + ReferenceCell(name, 1, width) + "  ";
            EXPECT_EQ(Lines(TwoOfAName(name), nameLength, 2), QStringList{expected})
                << name.toStdString() << " in cells of " << width;
        }
    }
}

class ChartGenerator : public BookFixture {
protected:
    void SetUp() override {
        BookFixture::SetUp();
        previousSink_ = SetProgressSink(std::make_unique<CountingProgress>());
        script_ = InstallScriptedInteraction(&previousUi_);
        OpenDataDb(DataDbPath(), BookDbPassword());
    }
    void TearDown() override {
        SetInteraction(std::move(previousUi_));
        SetProgressSink(std::move(previousSink_));
        BookFixture::TearDown();
    }

    void Add(const QString& name, const QString& father, int sort = 0) {
        App().DataDb.Execute(
            "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"boy_sort\") VALUES (?, ?, ?)",
            {name, father, sort});
    }
    // The start-generation prompt answers `answer` (accepted) or is cancelled.
    void ExpectPrompt(const QString& answer, bool accept = true) {
        script_->ExpectForm("FrmLittle", [answer, accept](QObject*) {
            EXPECT_EQ(App().LittleRunType, 6);
            App().FormParamString = answer;
            return accept ? 1 : 0;
        });
    }
    bool Chart(const QString& root, const QString& title, bool links = false) {
        App().FormParamString = title;
        return clsPrintZp().PrintPxt(root, links);
    }
    // The chart table, a row without a value as "<null>".
    static QStringList Rows() {
        QStringList rows;
        for (auto rs = App().DataDb.OpenRecordset("SELECT \"code\" FROM \"skrslt\" ORDER BY \"id\"");
             rs.hasRow(); rs.MoveNext())
            rows << (rs.value(0).isNull() ? QString("<null>") : rs.value(0).toString());
        return rows;
    }
    static QStringList Generations() {
        QStringList out;
        for (auto rs = App().DataDb.OpenRecordset(
                 "SELECT \"filial\" || '=' || \"generation\" FROM \"本姓成员\" ORDER BY \"filial_id\"");
             rs.hasRow(); rs.MoveNext())
            out << rs.value(0).toString();
        return out;
    }

    ScriptedInteraction* script_ = nullptr;
    std::unique_ptr<Interaction> previousUi_;
    std::unique_ptr<ProgressSink> previousSink_;
};

TEST_F(ChartGenerator, SectionsOverlapByOneGenerationInTheTableLayout) {
    Add("甲", "");
    Add("乙", "甲");
    Add("丙", "乙");
    Add("丁'\\[3]", "丙");
    Add("戊", "丁'\\[3]");
    App().PrintNameLength = 2;
    App().PrintGenerationsPerRow = 3;
    App().SelectedNodeIndex = 4;
    // The prompt itself, answered as a user would.
    FrmLittle::RegisterForm();
    script_->ExpectForm("FrmLittle", [](QObject* form) {
        auto* little = qobject_cast<FrmLittle*>(form);
        EXPECT_EQ(little->findChild<QLabel*>("LblMsg")->text(), "甲世系图 的起始世代数：");
        little->findChild<QLineEdit*>("TxtDestNode")->setText("37");
        little->CmdOK_Click();
        return little->result();
    });
    ASSERT_TRUE(Chart("甲", "甲世系图"));

    QStringList expected{"甲世系图"};
    for (int i = 0; i < 80; ++i) expected << "<null>";
    expected << "<null>"
             << "37世  38世  39世  "
             << "<null>"
             << "  甲━━乙━━丙  "
             << "<null>"
             << "39世  40世  41世  "
             << "<null>"
             << "  丙━丁'\\━━戊  ";
    EXPECT_EQ(Rows().mid(81), expected.mid(81));
    EXPECT_EQ(Rows().mid(0, 81), expected.mid(0, 81));
    EXPECT_EQ(App().FormParamString, "甲世系图");
    EXPECT_TRUE(script_->AllConsumed());
}

TEST_F(ChartGenerator, OtherBranchesKeepTheirNumbersAndStayOffTheChart) {
    Add("甲", "");
    Add("甲子", "甲");
    Add("乙", "");
    Add("乙子", "乙");
    Add("乙孙", "乙子");
    Cls数据操作 ops;
    qint32 first = 1;
    qint16 force = -1;
    quint8 keep = 99;
    ops.标识世祖("乙", 2, 0, first, force, keep);
    const QStringList before = Generations();

    App().PrintNameLength = 2;
    App().PrintGenerationsPerRow = 2;
    App().SelectedNodeIndex = 1;
    ExpectPrompt("");  // an empty answer numbers from 1
    ASSERT_TRUE(Chart("甲", "T"));
    EXPECT_EQ(Rows().mid(81), QStringList({"<null>", " 1世   2世  ", "<null>", "  甲━甲子  "}));
    QStringList after = before;
    after[1] = "甲子=2";
    after[0] = "甲=1";
    EXPECT_EQ(Generations(), after);
    EXPECT_EQ(Generations().mid(2), QStringList({"乙=1", "乙子=2", "乙孙=3"}));
}

TEST_F(ChartGenerator, FathersMatchWithoutRegardToCase) {
    Add("Li", "");
    Add("Li子", "LI");
    App().PrintNameLength = 2;
    App().PrintGenerationsPerRow = 2;
    ExpectPrompt("1");
    ASSERT_TRUE(Chart("Li", "T"));
    EXPECT_EQ(Rows().mid(84), QStringList({"  Li━Li子  "}));
}

// Siblings in the order of their sort numbers (none first, then by number, then text), then of their
// member numbers: read alone, and as a small branch among many other members.
TEST_F(ChartGenerator, SiblingsInSortOrderWhateverTheBranchSize) {
    struct Case {
        const char* what;
        std::vector<QVariant> sorts;  // of 子1, 子2, ... in that order
        QStringList order;
    };
    const std::vector<Case> cases = {
        {"whole numbers and none", {3, QVariant(), -1, 3, 0}, {"子2", "子3", "子5", "子1", "子4"}},
        {"a text among them", {2, QStringLiteral("b"), QVariant(), 1}, {"子3", "子4", "子1", "子2"}},
    };
    for (const Case& c : cases) {
        for (const int others : {0, 40}) {
            App().DataDb.Execute("DELETE FROM \"本姓成员\"");
            Add("甲", "");
            for (size_t i = 0; i < c.sorts.size(); ++i)
                App().DataDb.Execute(
                    "INSERT INTO \"本姓成员\" (\"filial\", \"father\", \"boy_sort\") VALUES (?, '甲', ?)",
                    {QString("子%1").arg(i + 1), c.sorts[i]});
            for (int i = 0; i < others; ++i) Add(QString("外%1").arg(i), "");
            App().PrintNameLength = 2;
            App().PrintGenerationsPerRow = 2;
            ExpectPrompt("1");
            const int secureDelete = App().DataDb.Scalar("PRAGMA secure_delete").toInt();
            ASSERT_TRUE(Chart("甲", "T"));
            QStringList order;
            for (const QString& row : Rows().mid(84)) order << row.trimmed().right(2);
            EXPECT_EQ(order, c.order) << c.what << " beside " << others << " others";
            EXPECT_FALSE(App().DataDb.TableExists("skrslt_previous"));
            EXPECT_EQ(App().DataDb.Scalar("PRAGMA secure_delete").toInt(), secureDelete);
        }
    }
}

TEST_F(ChartGenerator, LongSectionsKeepTheirLineOrder) {
    Add("甲", "");
    dao::Transaction tx = App().DataDb.BeginTrans();
    for (int i = 1; i <= 1234; ++i) Add(QString("子%1").arg(i, 4, 10, QChar('0')), "甲", i);
    tx.Commit();
    App().PrintNameLength = 3;
    App().PrintGenerationsPerRow = 2;
    ExpectPrompt("1");
    ASSERT_TRUE(Chart("甲", "T"));
    const QStringList rows = Rows();
    ASSERT_EQ(rows.size(), 81 + 3 + 1234);
    for (int i = 1; i <= 1234; ++i)
        ASSERT_TRUE(rows[83 + i].endsWith(QString("子%1  ").arg(i, 4, 10, QChar('0')))) << i;
}

TEST_F(ChartGenerator, CancelLeavesBookAndChartTableAlone) {
    Add("甲", "");
    Add("乙", "甲");
    App().DataDb.Execute("INSERT INTO \"skrslt\" (\"code\") VALUES ('旧图')");
    ExpectPrompt("5", false);
    EXPECT_FALSE(Chart("甲", "T"));
    EXPECT_EQ(Rows(), QStringList({"旧图"}));
    EXPECT_EQ(Generations(), QStringList({"甲=-9999", "乙=-9999"}));
    EXPECT_EQ(App().FormParamString, "T");
}

// Two generated branches, checked in whole: a book from its root, and a branch inside a bigger book
// started at generation 37 with member numbers for links.
TEST_F(ChartGenerator, GeneratedBranchesMatchGoldenFiles) {
    struct Case {
        const char* golden;
        int members;
        int rootIndex;
        int nameLength;
        int generations;
        QString start;
        bool links;
    };
    const Case cases[] = {{"chart_generated_root.txt", 300, 0, 3, 12, "", false},
                          {"chart_generated_branch_links.txt", 600, 2, 2, 6, "37", true}};
    for (const Case& c : cases) {
        App().DataDb.Execute("DELETE FROM \"本姓成员\"");
        book_generator::GenerateBook(App().DataDb, c.members, 20240601u);
        App().PrintNameLength = qint16(c.nameLength);
        App().PrintGenerationsPerRow = qint16(c.generations);
        App().SelectedNodeIndex = 3;
        ExpectPrompt(c.start);
        ASSERT_TRUE(Chart(book_generator::BookMemberName(c.rootIndex), "世系图", c.links));
        ExpectGolden(c.golden, Rows().mid(81).join("\n").toUtf8() + "\n");
    }
}

// A disk that fills while the chart's rows are written: the user is told why, the previous chart stays
// whole with nothing of the new one, and the book takes the next chart as before.
TEST_F(ChartGenerator, AFullDiskKeepsThePreviousChart) {
    dao::Database& db = App().DataDb;
    book_generator::GenerateBook(db, 3000, 20240601u);
    App().PrintNameLength = 3;
    App().PrintGenerationsPerRow = 12;
    App().SelectedNodeIndex = 3;
    const QString root = book_generator::BookMemberName(0);
    ExpectPrompt("1");
    ASSERT_TRUE(Chart(root, "世系图"));
    const QStringList chart = Rows();
    ASSERT_GT(chart.size(), 2000);

    // Room for a small part of the new chart's rows.
    const int pages = db.Scalar("PRAGMA page_count").toInt();
    db.Execute(QStringLiteral("PRAGMA max_page_count=%1").arg(pages + 30));
    ExpectPrompt("1");
    script_->ExpectMsgBox(vb::OK);
    EXPECT_FALSE(Chart(root, "世系图"));
    ASSERT_FALSE(script_->log().empty());
    EXPECT_EQ(script_->log().back().text, QStringLiteral("生成世系图时出错：磁盘已满，不能写入文件 '%1'。")
                                              .arg(QFileInfo(DataDbPath()).canonicalFilePath()));
    EXPECT_EQ(Rows(), chart);
    EXPECT_FALSE(db.TableExists("skrslt_previous"));
    EXPECT_EQ(App().FormParamString, "世系图");

    db.Execute(QStringLiteral("PRAGMA max_page_count=%1").arg(pages * 4));
    ExpectPrompt("1");
    ASSERT_TRUE(Chart(root, "世系图"));
    EXPECT_EQ(Rows(), chart);
    EXPECT_TRUE(script_->AllConsumed());
}

}  // namespace

// A branch the numbering walks over the whole table (one member far out in the member numbers makes
// the book look large) is charted from the walk as it would be from the table: names stored with
// blanks, fathers in another letter case, a father who is his own descendant, a nameless row, sort
// numbers tied and missing, another branch's members, and member numbers for links.
TEST_F(ChartGenerator, BranchFromTheNumberingsWalkChartsAsFromTheTable) {
    const auto addAt = [](qint64 id, const QString& name, const QString& father, const QVariant& sort) {
        App().DataDb.Execute(
            "INSERT INTO \"本姓成员\" (\"filial_id\", \"filial\", \"father\", \"boy_sort\") VALUES (?, ?, ?, ?)",
            {id, name, father, sort});
    };
    addAt(1, "祖", "孙丙", QVariant());
    addAt(2, " 子甲 ", "祖", 2);
    addAt(3, "Li", "祖", 1);
    addAt(4, "子丙", "祖", 1);
    addAt(5, "孙甲", "子甲", QVariant());
    addAt(6, "孙乙", "LI", -3);
    addAt(7, "孙丙", "li", 0);
    addAt(8, "", "子丙", QVariant());
    addAt(9, "  ", "子丙", QVariant());
    addAt(10, "外", "", QVariant());
    addAt(11, "外子", "外", QVariant());
    addAt(40, "孙丁", "Li", QVariant());
    for (qint64 id = 12; id < 40; ++id) addAt(id, QString("曾%1").arg(id), id % 2 ? "孙甲" : "孙乙", id % 3);
    addAt(500000, "远", "孙丙", 7);
    Cls数据操作 ops;
    qint32 first = 1;
    qint16 force = -1;
    quint8 keep = 99;
    ops.标识世祖("外", 3, 0, first, force, keep);

    for (const bool textSort : {false, true}) {
        if (textSort) App().DataDb.Execute("UPDATE \"本姓成员\" SET \"boy_sort\"='b' WHERE \"filial\"='子丙'");
        first = 1;
        ops.KeepWalkedBranch();
        ops.标识世祖("祖", 5, 0, first, force, keep);
        const std::optional<WalkedBranch> walked = ops.TakeWalkedBranch();
        ASSERT_TRUE(walked) << "the numbering walked over the whole table";
        EXPECT_EQ(qint64(walked->members.size()),
                  App().DataDb.Scalar("SELECT count(*) FROM \"本姓成员\" WHERE \"flag\"=5").toLongLong());
        EXPECT_EQ(walked->SortsHere(), !textSort);
        if (textSort) continue;
        for (const auto& [from, to] : {std::pair{1, 2}, {2, 4}, {1, 5}}) {
            const ChartBranch fromWalk(App().DataDb, *walked, from, to);
            const ChartBranch fromTable(App().DataDb, 5, from, to);
            for (const bool links : {false, true}) {
                const QStringList expected = Lines(*fromTable.Section(from, to, links), 2, to - from + 1, from);
                EXPECT_EQ(Lines(*fromWalk.Section(from, to, links), 2, to - from + 1, from), expected)
                    << from << "-" << to << (links ? " with links" : "");
                EXPECT_GT(expected.size(), 1);
            }
        }
    }

    ops.标识世祖("外", 3, 0, first, force, keep);  // small, asked for by children: nothing kept
    ops.KeepWalkedBranch();
    ops.标识世祖("外", 4, 0, first, force, keep);
    EXPECT_FALSE(ops.TakeWalkedBranch());
}
