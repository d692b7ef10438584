#include <gtest/gtest.h>
#include <QSet>
#include <QStringList>

#include "frame/app_state.h"
#include "member/member_input_rules.h"
#include "member/member_record.h"

namespace {

using Rules = MemberInputRules;

std::string S(const QString& text) {
    return text.toStdString();
}

// Stands in for the stored members: a name in `stored` (without regard to case) gets the next "[n]".
Rules::Uniquifier StoredNames(const QStringList& stored) {
    return [stored](const QString& name) {
        if (!stored.contains(name, Qt::CaseInsensitive)) return name;
        int n = 1;
        while (stored.contains(name + QStringLiteral("[%1]").arg(n), Qt::CaseInsensitive)) ++n;
        return name + QStringLiteral("[%1]").arg(n);
    };
}

TEST(MemberInputRulesTest, CleanTextDropsPercentQuoteAndLineBreakPairs) {
    EXPECT_EQ(S(Rules::MemberFormCleanText(QStringLiteral("汉%族'\r\n人"), 8)), S(QStringLiteral("汉族人")));
    // A lone CR or LF stays; pairs formed by a removal go as well.
    EXPECT_EQ(S(Rules::MemberFormCleanText(QStringLiteral("a\rb\nc\r\r\n\nd"), 50)), "a\rb\ncd");
    EXPECT_EQ(S(Rules::MemberFormCleanText(QStringLiteral("一二三四五"), 3)), S(QStringLiteral("一二三")));
    // A character outside the basic plane is never cut in half.
    const QString rare = QStringLiteral("甲") + QString::fromUcs4(U"\U00020000");
    EXPECT_EQ(S(Rules::MemberFormCleanText(rare, 2)), S(QStringLiteral("甲")));
    EXPECT_EQ(S(Rules::MemberFormCleanText(rare, 3)), S(rare));
}

TEST(MemberInputRulesTest, EachFieldKeepsItsLength) {
    const QString sixty = QString(60, QChar(0x5B57));
    const QList<QPair<const char*, int>> lengths{
        {"Txt母", 50},     {"Txt母职位", 50}, {"Txt母生日", 64}, {"Txt母过世", 64},
        {"Cmb母民族", 8},  {"Cmb母文化", 12}, {"Txt子职位", 50}, {"Txt子生日", 64},
        {"Txt子过世", 64}, {"Cmb子民族", 8},  {"Cmb子文化", 12}, {"Cmb称", 30},
        {"Txt讳", 30},     {"Txt字", 30},     {"Txt谥", 30},     {"Txt号", 50}};
    for (const auto& [name, length] : lengths) {
        const QString control = QString::fromUtf8(name);
        EXPECT_EQ(Rules::FieldLength(control), length) << name;
        const QString longText = QString(70, QChar(0x5B57));
        EXPECT_EQ(Rules::CleanField(control, longText).size(), length) << name;
    }
    EXPECT_EQ(Rules::CleanField(QStringLiteral("Txt号"), sixty).size(), 50);
    // Not cleaned on leaving.
    for (const char* name : {"Cmb加称", "Txt父", "Txt子女"})
        EXPECT_EQ(S(Rules::CleanField(QString::fromUtf8(name), QStringLiteral("a%'b"))), "a%'b") << name;
    EXPECT_EQ(S(Rules::CleanField(QStringLiteral("Cmb子民族"), QStringLiteral("汉%族'"))),
              S(QStringLiteral("汉族")));
    // Only the mother's name loses its braces.
    EXPECT_EQ(S(Rules::CleanField(QStringLiteral("Txt母"), QStringLiteral("{李氏}"))),
              S(QStringLiteral("李氏")));
    EXPECT_EQ(S(Rules::CleanField(QStringLiteral("Txt讳"), QStringLiteral("{李}"))),
              S(QStringLiteral("{李}")));
}

TEST(MemberInputRulesTest, SeveralChildrenSeparatorsAndCleaning) {
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("甲，乙、丙"), 2)), S(QStringLiteral("甲;乙;丙")));
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("  甲,{乙}/%'\r\n丙  "), 2)),
              S(QStringLiteral("甲;乙丙")));
    // Empty pieces stay: the save reports them.
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral(";甲;"), 2)), S(QStringLiteral(";甲;")));
}

TEST(MemberInputRulesTest, OneMemberStyleJoinsAndCuts) {
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("王甲;乙"), 1)), S(QStringLiteral("王甲乙")));
    EXPECT_EQ(
        Rules::CleanChildrenText(QString(30, QChar(0x7532)) + ";" + QString(30, QChar(0x4E59)), 1).size(),
        49);
    // No range in one-member style.
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("1..3"), 1)), "1..3");
    // Any other style leaves the field as typed.
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral(" a%..3 "), 0)), " a%..3 ");
}

TEST(MemberInputRulesTest, NumberRanges) {
    bool capped = true;
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("3..6"), 2, &capped)), "3;4;5;6");
    EXPECT_FALSE(capped);
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("1.."), 2)), "1;2;3;4;5;6;7;8;9;10");
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("12..14"), 2)), "12;13;14");
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("5..3"), 2)), "");
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("7..7"), 2)), "7");
    // Everything else that was typed goes; text without a number counts 0.
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("甲，2..4号"), 2)), "0;1;2;3;4");
    EXPECT_EQ(S(Rules::CleanChildrenText(QStringLiteral("2..4，乙"), 2)), "2;3;4");
}

TEST(MemberInputRulesTest, LongRangeIsCappedAt500) {
    bool capped = false;
    const QStringList numbers = Rules::CleanChildrenText(QStringLiteral("1..30000"), 2, &capped).split(';');
    EXPECT_TRUE(capped);
    ASSERT_EQ(numbers.size(), 500);
    EXPECT_EQ(S(numbers.first()), "1");
    EXPECT_EQ(S(numbers.last()), "500");
    EXPECT_EQ(Rules::ExpandNumberRange(QStringLiteral("1..500"), &capped).split(';').size(), 500);
    EXPECT_FALSE(capped);
    // Numbers beyond what the program counts read as 0: no endless list.
    EXPECT_EQ(Rules::ExpandNumberRange(QStringLiteral("1..99999999999999"), &capped).split(';').size(), 10);
    EXPECT_EQ(Rules::ExpandNumberRange(QStringLiteral("-99999999..1"), &capped).split(';').size(), 500);
    EXPECT_TRUE(capped);
}

TEST(MemberInputRulesTest, TitleSuffixCodesBothWays) {
    ResetAppState();
    const QStringList texts = Rules::TitleSuffixTexts();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(S(texts.join('|')), S(QStringLiteral("|姓加[公]|名加[公]|全名加[公]|世祖庙")));
    for (int code = 0; code < 5; ++code) {
        EXPECT_EQ(Rules::TitleSuffixText(code), texts[code]);
        EXPECT_EQ(Rules::TitleSuffixCode(QStringLiteral(" ") + texts[code] + QStringLiteral(" ")), code);
    }
    EXPECT_EQ(Rules::TitleSuffixText(5), QString());
    EXPECT_EQ(Rules::TitleSuffixCode(QStringLiteral("加[公]")), 0);
    EXPECT_EQ(S(Rules::TitleTexts().join('|')), S(QStringLiteral("|世祖|世|远祖|本世祖|始祖|房")));
}

TEST(MemberInputRulesTest, NameChecksFindRepeatsBeforeBlanks) {
    using F = Rules::NamesFault;
    EXPECT_EQ(Rules::CheckNames({QStringLiteral("甲"), QStringLiteral("乙")}), F::None);
    EXPECT_EQ(Rules::CheckNames({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("甲")}),
              F::Duplicate);
    EXPECT_EQ(Rules::CheckNames({QStringLiteral(""), QStringLiteral("甲")}), F::Blank);
    EXPECT_EQ(Rules::CheckNames({QStringLiteral("甲"), QStringLiteral(""), QStringLiteral("")}),
              F::Duplicate);
    // Exact comparison: letter case makes two names.
    EXPECT_EQ(Rules::CheckNames({QStringLiteral("a"), QStringLiteral("A")}), F::None);
}

TEST(MemberInputRulesTest, BatchNamesGetSurnameAndStayDistinct) {
    const auto none = StoredNames({});
    EXPECT_EQ(S(Rules::PrepareNames({QStringLiteral("甲"), QStringLiteral("乙")}, QStringLiteral("王"), none)
                    .join(';')),
              S(QStringLiteral("王甲;王乙")));
    // One name gets no surname.
    EXPECT_EQ(S(Rules::PrepareNames({QStringLiteral("甲")}, QStringLiteral("王"), none).join(';')),
              S(QStringLiteral("甲")));
    EXPECT_EQ(
        S(Rules::PrepareNames({QStringLiteral("甲"), QStringLiteral("王甲")}, QStringLiteral("王"), none)
              .join(';')),
        S(QStringLiteral("王甲;王王甲")));
    // Bracket numbers are dropped before the names are made unique, which made two equal names.
    EXPECT_EQ(
        S(Rules::PrepareNames({QStringLiteral("甲[1]"), QStringLiteral("甲")}, QStringLiteral("王"), none)
              .join(';')),
        S(QStringLiteral("王甲;王甲[1]")));
    // Stored members count as well as the batch, and letter case does not make a name new.
    EXPECT_EQ(S(Rules::PrepareNames({QStringLiteral("甲"), QStringLiteral("甲[2]"), QStringLiteral("甲[9]")},
                                    QStringLiteral("王"),
                                    StoredNames({QStringLiteral("王甲"), QStringLiteral("王甲[1]")}))
                    .join(';')),
              S(QStringLiteral("王甲[2];王甲[3];王甲[4]")));
    EXPECT_EQ(S(Rules::PrepareNames({QStringLiteral("ab"), QStringLiteral("AB")}, QString(), none).join(';')),
              "ab;AB[1]");
    const QStringList many = Rules::PrepareNames(
        QStringList(20, QString()).replaceInStrings(QString(), QStringLiteral("x[0]")), QString(), none);
    EXPECT_EQ(QSet<QString>(many.begin(), many.end()).size(), 20);
}

TEST(MemberInputRulesTest, FatherParticularsNeedEightParts) {
    Cls子女 m;
    const QString info = QStringLiteral("1900%_1960%_False%_大学%_教师%_True%_汉族%_世%3%讳%字%号%谥");
    ASSERT_TRUE(Rules::TakeFatherParticulars(info, m));
    EXPECT_EQ(S(m.strBoy_Birthday), "1900");
    EXPECT_EQ(S(m.strBoy_Death), "1960");
    EXPECT_FALSE(m.bBoy_Active);
    EXPECT_EQ(S(m.strBoy_Education), S(QStringLiteral("大学")));
    EXPECT_EQ(S(m.strBoy_Position), S(QStringLiteral("教师")));
    EXPECT_TRUE(m.bBoy_Sex);
    EXPECT_EQ(S(m.strBoy_Folk), S(QStringLiteral("汉族")));
    EXPECT_EQ(S(m.boy_c + m.boy_wei + m.boy_zhi + m.boy_hao + m.boy_yi), S(QStringLiteral("世讳字号谥")));
    EXPECT_EQ(m.boy_jc, 3);

    // Five name parts leave the 谥 as it was; a code that is no Byte reads as 0.
    Cls子女 five;
    five.boy_yi = QStringLiteral("旧");
    ASSERT_TRUE(
        Rules::TakeFatherParticulars(QStringLiteral("a%_b%_True%_c%_d%_False%_e%_称%300%讳%字%号"), five));
    EXPECT_EQ(S(five.boy_yi), S(QStringLiteral("旧")));
    EXPECT_EQ(five.boy_jc, 0);
    EXPECT_FALSE(five.bBoy_Sex);

    Cls子女 untouched;
    untouched.strBoy_Birthday = QStringLiteral("keep");
    EXPECT_FALSE(Rules::TakeFatherParticulars(QString(), untouched));
    EXPECT_FALSE(Rules::TakeFatherParticulars(QStringLiteral("a%_b%_c"), untouched));
    EXPECT_EQ(S(untouched.strBoy_Birthday), "keep");
}

}  // namespace
