#include <gtest/gtest.h>

#include <QStringList>
#include <stdexcept>

#include "frame/text_utils.h"
#include "platform/tree_node_sink.h"

namespace {

QString Replaced(QString text, const QString& search, const QString& replacement) {
    ReplaceAll(text, search, replacement);
    return text;
}

// A flat tree: enough to see whether ClearTreeNodes empties it, and that a failing tree is survived.
class FlatTree : public TreeNodeSink {
public:
    bool failClear = false;
    QStringList keys;
    void Clear() override {
        if (failClear) throw std::runtime_error("tree gone");
        keys.clear();
    }
    void Add(const QString&, const QString& key, const QString&, int) override { keys << key; }
    bool Exists(const QString& key) const override { return keys.contains(key); }
    int Count() const override { return int(keys.size()); }
    int IndexOf(const QString& key) const override { return int(keys.indexOf(key)) + 1; }
    QString KeyAt(int index) const override { return keys.value(index - 1); }
    QString TextAt(int index) const override { return keys.value(index - 1); }
    int ImageAt(int) const override { return 0; }
    QString ParentKeyAt(int) const override { return {}; }
    void Expand(int) override {}
    bool IsExpanded(int) const override { return false; }
    void Select(int) override {}
    int SelectedIndex() const override { return 0; }
    void SetParent(const QString&, const QString&) override {}
    void Remove(int index) override { keys.removeAt(index - 1); }
};

}  // namespace

TEST(TextUtilsReplaceAll, ReplacementHoldingTheSearchEndsAndKeepsOrder) {
    EXPECT_EQ(Replaced("it's Tom's", "'", "''"), "it''s Tom''s");
    EXPECT_EQ(Replaced("''", "'", "''"), "''''");
    // Text that a random capital-letter token could have collided with stays in place.
    EXPECT_EQ(Replaced("A'AB'B", "'", "''"), "A''AB''B");
    EXPECT_EQ(Replaced("xabx", "ab", "abab"), "xababx");
    EXPECT_EQ(Replaced("no quote", "'", "''"), "no quote");
}

TEST(TextUtilsReplaceAll, ShrinkingReplacementRescansFromTheLeft) {
    EXPECT_EQ(Replaced("aab", "ab", "b"), "b");
    EXPECT_EQ(Replaced("aaaab", "ab", "b"), "b");
    EXPECT_EQ(Replaced("x０００y００", "００", "０"), "x０y０");
    // Pairs of spaces become rule glyphs, an odd leftover space stays in front of the name.
    EXPECT_EQ(Replaced("     张三", "  ", "━"), "━━ 张三");
    EXPECT_EQ(Replaced("a@~b@~", "@~", ""), "ab");
    EXPECT_EQ(Replaced("@@~~", "@~", ""), "");
}

TEST(TextUtilsReplaceAll, CaseSensitiveSameLengthAndEmptySearch) {
    EXPECT_EQ(Replaced("Ab ab AB", "ab", "xy"), "Ab xy AB");
    EXPECT_EQ(Replaced("a\\b\\c", "\\", "/"), "a/b/c");
    EXPECT_EQ(Replaced("aab", "ab", "ba"), "aba");  // each original occurrence once
    EXPECT_EQ(Replaced("abc", "", "x"), "abc");
    EXPECT_EQ(Replaced("", "a", "b"), "");
}

TEST(TextUtilsNumToChineseGen, Labels) {
    const std::vector<std::pair<int, QString>> cases = {
        {0, "始"},
        {7, "七"},
        {10, "十"},
        {15, "十五"},
        {19, "十九"},
        {20, "二十"},
        {100, "一百"},
        {105, "一百０五"},
        {110, "一百一十"},
        {1001, "一千０一"},
        {1010, "一千０一十"},
        {2000, "二千"},
        {9999, "九千九百九十九"},
        {-5, "前五"},
        {-15, "前一十五"},
        {-9999, "前九千九百九十九"},
        {10000, "10000"},
        {12000, "12000"},
        {32767, "32767"},
        {-12345, "前二千三百四十五"},
        {-32768, "前二千七百六十八"},
    };
    for (const auto& [n, label] : cases) EXPECT_EQ(NumToChineseGen(qint16(n)), label) << n;
}

TEST(TextUtilsWidth, CountCharKinds) {
    EXPECT_EQ(CountCharKinds("张a"), "1%1");
    EXPECT_EQ(CountCharKinds(""), "0%0");
    EXPECT_EQ(CountCharKinds("━┃ ab１"), "3%3");  // box glyphs and full-width digits are double-byte
}

TEST(TextUtilsWidth, PadToWidth) {
    EXPECT_EQ(PadToWidth(QString("张三丰"), 5), "张三 ");
    EXPECT_EQ(PadToWidth(QString("张三丰"), 6), "张三丰");
    EXPECT_EQ(PadToWidth(QString("ab"), 5), "ab   ");
    EXPECT_EQ(PadToWidth(QString("abcdef"), 3), "abc");
    EXPECT_EQ(PadToWidth(QString("a张"), 2), "a ");
    EXPECT_EQ(PadToWidth(QVariant(), 3), "   ");
    EXPECT_EQ(PadToWidth(QVariant(42), 4), "42  ");
    EXPECT_EQ(PadToWidth(QString("张三丰"), 0), "张三丰");
}

TEST(TextUtilsWidth, PadToWidthRight) {
    EXPECT_EQ(PadToWidthRight("ab", 5), "   ab");
    EXPECT_EQ(PadToWidthRight("张三", 5), " 张三");
    EXPECT_EQ(PadToWidthRight("张三丰", 5), " 张三");
    EXPECT_EQ(PadToWidthRight(" a ", 4), "   a");
    EXPECT_EQ(PadToWidthRight("", 3), "   ");
    EXPECT_EQ(PadToWidthRight("ab", 0), "ab");
}

TEST(TextUtilsNames, BracketAndBrace) {
    EXPECT_EQ(StripBracketSuffix("张三[2]"), "张三");
    EXPECT_EQ(StripBracketSuffix("张三"), "张三");
    EXPECT_EQ(StripBracketSuffix("[1]"), "");
    EXPECT_EQ(TextAfterBrace("{3}张三"), "张三");
    EXPECT_EQ(TextAfterBrace("{-2} 张三 }x "), "张三 }x");
    EXPECT_EQ(TextAfterBrace(" 张三 "), " 张三 ");
}

TEST(TextUtilsTree, ClearTreeNodesEmptiesAndSurvivesAFailingTree) {
    FlatTree tree;
    tree.Add("", "_a", "a", 0);
    tree.Add("_a", "_b", "b", 0);
    ClearTreeNodes(tree);
    EXPECT_EQ(tree.Count(), 0);
    tree.Add("", "_c", "c", 0);
    tree.failClear = true;
    EXPECT_NO_THROW(ClearTreeNodes(tree));
    EXPECT_EQ(tree.Count(), 1);
}
